#pragma once
// The sound the mixer has mixed since this was made, counted from its own
// output: a clock of the sound's time, which a busy machine slows down along
// with the sound, so a test waits for "a second of sound" and not a second.
// Make it once the audio is open and let it go before the audio closes.
#include <SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <cstdint>

#include "support/waiting.h"

namespace testsupport {

class MixedAudio {
 public:
  MixedAudio() {
    int rate = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&rate, &format, &channels))
      bytesPerSecond_ = static_cast<double>(rate) * channels * (SDL_AUDIO_BITSIZE(format) / 8);
    Mix_SetPostMix(&Count, &bytes_);
  }
  ~MixedAudio() { Mix_SetPostMix(nullptr, nullptr); }
  MixedAudio(const MixedAudio&) = delete;
  MixedAudio& operator=(const MixedAudio&) = delete;

  double Seconds() const { return bytesPerSecond_ > 0 ? bytes_ / bytesPerSecond_ : 0.0; }
  // Waits until `seconds` of sound have been mixed since this was made; false
  // when they were not within `patience` of wall time.
  bool WaitUntil(double seconds, std::chrono::seconds patience = std::chrono::seconds(30)) const {
    return WaitFor([&] { return Seconds() >= seconds; }, patience);
  }

 private:
  static void Count(void* bytes, Uint8*, int len) {
    static_cast<std::atomic<uint64_t>*>(bytes)->fetch_add(static_cast<uint64_t>(len));
  }
  std::atomic<uint64_t> bytes_{0};
  double bytesPerSecond_ = 0;
};

}  // namespace testsupport
