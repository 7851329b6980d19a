#pragma once
// Files that lie about what they hold, as a careless or malicious modder
// would leave them: other sound formats under a .wav name, music that keeps
// the synthesiser busy, and files far larger than their kind ever is.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// A 40-byte Creative Voice File whose one sound block claims 16 MiB.
inline Bytes LyingVoc() {
  const std::string magic = "Creative Voice File\x1A";
  Bytes v(magic.begin(), magic.end());
  v.insert(v.end(), {0x1A, 0x00, 0x0A, 0x01, 0x29, 0x11});  // header size, version, check
  v.insert(v.end(), {0x01, 0xFF, 0xFF, 0xFF, 0xA6, 0x00});  // sound data, 16 MiB, 11 kHz
  while (v.size() < 40) v.push_back(0x80);
  return v;
}

// Nine bytes that start like a FLAC file.
inline Bytes FlacStub() { return {'f', 'L', 'a', 'C', 0x00, 0x00, 0x00, 0x22, 0x10}; }

inline void PutBe(Bytes& v, uint32_t x, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// A 0.1 s loop of `changes` program changes to drum kit 50 on channel 10,
// spread evenly so no 10 ms holds more than 2000 events, around one note.
inline Bytes ProgramChangeStorm(uint32_t changes = 20000) {
  // 10000 ticks a quarter note of 50 ms: a tick is 5 microseconds.
  Bytes track = {0x00, 0xFF, 0x51, 0x03, 0x00, 0xC3, 0x50, 0x00, 0x90, 60, 100};
  const uint32_t ticks = 20000;  // 0.1 s
  for (uint32_t i = 0; i < changes; ++i) {
    const uint32_t delta = (i + 1) * ticks / changes - i * ticks / changes;
    if (delta >= 0x80) track.push_back(static_cast<uint8_t>(0x80 | (delta >> 7)));
    track.push_back(static_cast<uint8_t>(delta & 0x7F));
    track.insert(track.end(), {0xC9, 50});
  }
  track.insert(track.end(), {0x00, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
  Bytes v = {'M', 'T', 'h', 'd'};
  PutBe(v, 6, 4);
  PutBe(v, 0, 2);
  PutBe(v, 1, 2);
  PutBe(v, 10000, 2);
  v.insert(v.end(), {'M', 'T', 'r', 'k'});
  PutBe(v, static_cast<uint32_t>(track.size()), 4);
  v.insert(v.end(), track.begin(), track.end());
  return v;
}

// A file of `bytes` that takes no disk space: a hole, then `tail`.
inline bool MakeSparseFile(const std::string& path, uint64_t bytes, const std::string& tail = "") {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::ftruncate(fd, static_cast<off_t>(bytes - tail.size())) == 0 &&
            ::lseek(fd, 0, SEEK_END) >= 0 &&
            ::write(fd, tail.data(), tail.size()) == static_cast<ssize_t>(tail.size());
  ok = ::close(fd) == 0 && ok;
  return ok;
}

// The resident memory of a process now and at its peak, in kilobytes; 0 when
// it cannot be read.
struct Resident {
  uint64_t nowKb = 0;
  uint64_t peakKb = 0;
};
inline Resident ResidentOf(const std::string& pid = "self") {
  Resident r;
  std::ifstream status("/proc/" + pid + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") status >> r.nowKb;
    if (key == "VmHWM:") status >> r.peakKb;
  }
  return r;
}

}  // namespace testsupport
