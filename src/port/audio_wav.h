#pragma once
// The check of an effect sound before anything is decoded. The game's effects
// are RIFF/WAVE files of plain PCM; the mixer's own loader also guesses at
// other formats and trusts their size fields, so only a file this check
// accepts reaches it, and the samples it names are known to lie in the file.
#include <cstddef>
#include <cstdint>

namespace port {

struct WavCheck {
  bool playable = false;
  const char* reason = "";  // why not, when not playable
  uint32_t rate = 0;        // frames per second
  uint16_t channels = 0;
  uint16_t bits = 0;          // per sample
  size_t dataOffset = 0;      // the first sample byte
  uint32_t dataBytes = 0;     // whole frames only
  uint64_t decodedBytes = 0;  // the clip in the mixer's format
};

// The mixer's format, which clips are converted to when loaded.
struct MixFormat {
  uint32_t rate = 44100;
  uint16_t channels = 2;
  uint16_t bytesPerSample = 2;
};

// Accepted: "RIFF" with a length inside the file (a byte more for a missing
// pad byte), form "WAVE", chunks inside the RIFF chunk; a "fmt " chunk of at
// least 16 bytes before the "data" chunk, of format 1 (PCM, or extensible
// PCM), 1 or 2 channels, 8 or 16 bits, 8000 to 96000 frames a second and the
// block size those give; a "data" chunk inside the file with at least one
// frame. The clip decoded to `mix` may be at most 24 times the file's size
// (8-bit mono at 8000 Hz into 16-bit stereo at 44100 Hz is 22.05 times) and
// at most 64 MiB, about six minutes of CD-quality sound.
WavCheck CheckWavFile(const uint8_t* data, size_t size, const MixFormat& mix = MixFormat{});

}  // namespace port
