#pragma once
// Small sound files written on the fly for the sound tests and benchmarks.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace soundtest {

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline void PutLe(std::vector<uint8_t>& v, uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

inline void PutBe(std::vector<uint8_t>& v, uint32_t x, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// 16-bit mono PCM sine tone.
inline std::vector<uint8_t> ToneWav(double seconds, double hz = 440.0, int rate = 22050) {
  const uint32_t frames = static_cast<uint32_t>(seconds * rate);
  std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
  PutLe(v, 36 + frames * 2, 4);
  for (char c : std::string("WAVEfmt ")) v.push_back(static_cast<uint8_t>(c));
  PutLe(v, 16, 4);
  PutLe(v, 1, 2);  // PCM
  PutLe(v, 1, 2);  // mono
  PutLe(v, rate, 4);
  PutLe(v, rate * 2, 4);
  PutLe(v, 2, 2);
  PutLe(v, 16, 2);
  for (char c : std::string("data")) v.push_back(static_cast<uint8_t>(c));
  PutLe(v, frames * 2, 4);
  for (uint32_t i = 0; i < frames; ++i) {
    const int16_t s = static_cast<int16_t>(12000.0 * std::sin(2.0 * M_PI * hz * i / rate));
    PutLe(v, static_cast<uint16_t>(s), 2);
  }
  return v;
}

// PCM of `frames` frames of silence, 8 or 16 bits, mono or stereo.
inline std::vector<uint8_t> SilentWav(uint32_t rate, uint16_t bits, uint16_t channels,
                                      uint32_t frames) {
  const uint32_t frameBytes = channels * bits / 8u, bytes = frames * frameBytes;
  std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
  PutLe(v, 36 + bytes, 4);
  for (char c : std::string("WAVEfmt ")) v.push_back(static_cast<uint8_t>(c));
  PutLe(v, 16, 4);
  PutLe(v, 1, 2);  // PCM
  PutLe(v, channels, 2);
  PutLe(v, rate, 4);
  PutLe(v, rate * frameBytes, 4);
  PutLe(v, frameBytes, 2);
  PutLe(v, bits, 2);
  for (char c : std::string("data")) v.push_back(static_cast<uint8_t>(c));
  PutLe(v, bytes, 4);
  v.resize(v.size() + bytes, bits == 8 ? 0x80 : 0x00);
  return v;
}

// A one-track Standard MIDI File: piano, middle C held for `ticks` (96 per beat).
inline std::vector<uint8_t> NoteMidi(uint32_t ticks = 96) {
  std::vector<uint8_t> track = {0x00, 0xC0, 0x00, 0x00, 0x90, 60, 100};
  // Variable-length delta time.
  std::vector<uint8_t> delta;
  uint32_t t = ticks;
  delta.push_back(t & 0x7F);
  while (t >>= 7) delta.insert(delta.begin(), static_cast<uint8_t>(0x80 | (t & 0x7F)));
  track.insert(track.end(), delta.begin(), delta.end());
  track.insert(track.end(), {0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
  std::vector<uint8_t> v = {'M', 'T', 'h', 'd'};
  PutBe(v, 6, 4);
  PutBe(v, 0, 2);
  PutBe(v, 1, 2);
  PutBe(v, 96, 2);
  for (char c : std::string("MTrk")) v.push_back(static_cast<uint8_t>(c));
  PutBe(v, static_cast<uint32_t>(track.size()), 4);
  v.insert(v.end(), track.begin(), track.end());
  return v;
}

// The sound benchmarks use these under their old names.
using testsupport::ScopedCwd;
using testsupport::TempDir;

}  // namespace soundtest
