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
// A format-0 file of one track at 10,000 ticks a quarter note.
inline Bytes SingleTrackMidi(const Bytes& track) {
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
  return SingleTrackMidi(track);
}

// A Roland GS data set message (F0 41 10 42 12 address value checksum F7)
// as a MIDI file event at delta 0; `checksum` overrides the right one when
// not -1.
inline Bytes GsDataSet(uint32_t address, uint8_t value, int checksum = -1) {
  const uint8_t a[3] = {static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                        static_cast<uint8_t>(address)};
  const uint32_t sum = a[0] + a[1] + a[2] + value;
  const uint8_t right = static_cast<uint8_t>((128 - sum % 128) % 128);
  return {0x00, 0xF0, 0x0A, 0x41, 0x10,  0x42,
          0x12, a[0], a[1], a[2], value, static_cast<uint8_t>(checksum < 0 ? right : checksum),
          0xF7};
}

// GS "use for rhythm part" 1 for MIDI channel 0 (part 1: block 1).
inline Bytes GsChannel0Drums() { return GsDataSet(0x401115, 0x01); }

// A loop of `seconds` (10000 ticks a 50 ms beat) holding `head` at its start,
// then `changes` program changes on channel 0 to programs 1 to 7 (no General
// MIDI drum kit, nor any of the small font's), spread evenly, around one note.
inline Bytes ProgramChangeLoop(const Bytes& head, uint32_t changes, double seconds) {
  Bytes track = {0x00, 0xFF, 0x51, 0x03, 0x00, 0xC3, 0x50};
  track.insert(track.end(), head.begin(), head.end());
  track.insert(track.end(), {0x00, 0x99, 36, 100});
  const uint32_t ticks = static_cast<uint32_t>(seconds * 200000);
  for (uint32_t i = 0; i < changes; ++i) {
    uint32_t delta =
        static_cast<uint32_t>((uint64_t{i} + 1) * ticks / changes - uint64_t{i} * ticks / changes);
    Bytes d{static_cast<uint8_t>(delta & 0x7F)};
    while (delta >>= 7) d.insert(d.begin(), static_cast<uint8_t>(0x80 | (delta & 0x7F)));
    track.insert(track.end(), d.begin(), d.end());
    track.insert(track.end(), {0xC0, static_cast<uint8_t>(1 + i % 7)});
  }
  uint32_t rest = changes ? 0 : ticks;
  Bytes d{static_cast<uint8_t>(rest & 0x7F)};
  while (rest >>= 7) d.insert(d.begin(), static_cast<uint8_t>(0x80 | (rest & 0x7F)));
  track.insert(track.end(), d.begin(), d.end());
  track.insert(track.end(), {0x89, 36, 0, 0x00, 0xFF, 0x2F, 0x00});
  return SingleTrackMidi(track);
}

// Channel 0 made a drum part, then 1,980 program changes to kits no font has
// in a 0.1 s loop: each one a warning from the synthesiser at every pass.
inline Bytes DrumPartFlood() { return ProgramChangeLoop(GsChannel0Drums(), 1980, 0.1); }

// An 8-bit mono 8 kHz PCM effect of `dataBytes` samples: 22 times its size
// once converted to the mixer's 16-bit stereo at 44.1 kHz.
inline Bytes LowRateWav(uint32_t dataBytes) {
  Bytes v = {'R', 'I', 'F', 'F'};
  auto le = [&v](uint32_t x, int n) {
    for (int i = 0; i < n; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
  };
  le(36 + dataBytes, 4);
  for (char c : std::string("WAVEfmt ")) v.push_back(static_cast<uint8_t>(c));
  le(16, 4);
  le(1, 2);  // PCM
  le(1, 2);  // mono
  le(8000, 4);
  le(8000, 4);
  le(1, 2);
  le(8, 2);
  for (char c : std::string("data")) v.push_back(static_cast<uint8_t>(c));
  le(dataBytes, 4);
  v.reserve(v.size() + dataBytes);
  for (uint32_t i = 0; i < dataBytes; ++i) v.push_back(static_cast<uint8_t>(128 + (i * 7 % 64)));
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

// What this process has read through read calls so far, in bytes (its
// rchar): a reader that refuses a file from its size adds nothing to it. 0
// when it cannot be read.
inline uint64_t BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t bytes = 0;
  while (io >> key)
    if (key == "rchar:") io >> bytes;
  return bytes;
}

}  // namespace testsupport
