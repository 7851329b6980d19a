#include "port/audio_wav.h"

#include <cstring>

namespace port {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kMinRate = 8000;
constexpr uint32_t kMaxRate = 96000;
constexpr uint64_t kMaxDecodedPerFileByte = 24;
constexpr uint64_t kMaxDecodedBytes = uint64_t{64} << 20;
constexpr int kMaxChunks = 1024;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

WavCheck Refuse(WavCheck check, const char* reason) {
  check.playable = false;
  check.reason = reason;
  return check;
}

}  // namespace

WavCheck CheckWavFile(const uint8_t* data, size_t size, const MixFormat& mix) {
  WavCheck check;
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 ||
      std::memcmp(data + 8, "WAVE", 4) != 0)
    return Refuse(check, "not a RIFF/WAVE file");
  const uint64_t riffEnd = 8 + uint64_t{Le32(data + 4)};
  if (riffEnd > uint64_t{size} + 1) return Refuse(check, "RIFF length past the end of the file");
  const uint64_t end = riffEnd < size ? riffEnd : size;

  bool haveFormat = false;
  uint64_t pos = 12;
  for (int chunks = 0; chunks < kMaxChunks; ++chunks) {
    if (pos > end || end - pos < 8) return Refuse(check, "no data chunk");
    const uint8_t* chunk = data + pos;
    const uint32_t length = Le32(chunk + 4);
    const uint64_t body = pos + 8;
    if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return Refuse(check, "data chunk before the format");
      if (length > size - body) return Refuse(check, "data chunk past the end of the file");
      const uint32_t frameBytes = check.channels * (check.bits / 8u);
      const uint32_t frames = length / frameBytes;
      if (frames == 0) return Refuse(check, "no samples");
      check.dataOffset = static_cast<size_t>(body);
      check.dataBytes = frames * frameBytes;
      const uint64_t outFrames = (uint64_t{frames} * mix.rate + check.rate - 1) / check.rate;
      check.decodedBytes = outFrames * mix.channels * mix.bytesPerSample;
      if (check.decodedBytes > kMaxDecodedPerFileByte * size)
        return Refuse(check, "decoded clip out of proportion to the file");
      if (check.decodedBytes > kMaxDecodedBytes) return Refuse(check, "clip too long");
      check.playable = true;
      return check;
    }
    if (length > end - body) return Refuse(check, "chunk past the end of the file");
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (haveFormat) return Refuse(check, "a second format chunk");
      if (length < 16) return Refuse(check, "format chunk too short");
      const uint8_t* f = data + body;
      uint16_t format = Le16(f);
      // Extensible: the real format is the first two bytes of the subformat.
      if (format == kFormatExtensible && length >= 40) format = Le16(f + 24);
      check.channels = Le16(f + 2);
      check.rate = Le32(f + 4);
      check.bits = Le16(f + 14);
      const uint16_t blockAlign = Le16(f + 12);
      if (format != kFormatPcm) return Refuse(check, "not PCM");
      if (check.channels < 1 || check.channels > 2)
        return Refuse(check, "unsupported channel count");
      if (check.bits != 8 && check.bits != 16) return Refuse(check, "unsupported sample size");
      if (check.rate < kMinRate || check.rate > kMaxRate) return Refuse(check, "unsupported rate");
      if (blockAlign != check.channels * check.bits / 8) return Refuse(check, "wrong block size");
      haveFormat = true;
    }
    pos = body + length + (length & 1);
    if (pos > end) return Refuse(check, "no data chunk");
  }
  return Refuse(check, "too many chunks");
}

}  // namespace port
