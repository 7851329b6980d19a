#pragma once
// Sound effects and music, played by number. Sounds are queued during a frame
// and started together by Flush at its end.
#include <cstdint>
#include <functional>
#include <vector>

#include "port/audio.h"
#include "port/math.h"

namespace port {
class Window;
}

using SystemSoundId = int32_t;
using SoundId = int32_t;

constexpr int kSystemSoundCount = 4;
constexpr int kStageSoundCount = 46;
constexpr SoundId kMusicSoundId = 1000;

inline constexpr const char* kSystemSoundFiles[kSystemSoundCount] = {
    "sound/system/sha00.wav",
    "sound/system/puu28.wav",
    "sound/system/kachi24.wav",
    "sound/system/gun16.wav",
};

inline constexpr const char* kStageSoundFiles[kStageSoundCount] = {
    "sound/stage/player1/shoot12.wav",
    "sound/stage/player1/gun06.wav",
    "sound/stage/player1/mecha04.wav",
    "sound/stage/beep12.wav",
    "sound/stage/move/pi25.wav",
    "sound/stage/move/pi14.wav",
    "sound/stage/enemy/shoot18.wav",
    "sound/stage/move/crash10.wav",
    "sound/stage/move/crash02.wav",
    "sound/stage/player3/flame.wav",
    "sound/stage/player4/unari00.wav",
    "sound/stage/pyoro18.wav",
    "sound/stage/player1/power23.wav",
    "sound/stage/enemy/power09.wav",
    "sound/stage/enemy/gun10.wav",
    "sound/stage/player2/shoot05.wav",
    "sound/stage/player2/bom00.wav",
    "sound/stage/player3/noise16.wav",
    "sound/stage/player4/kachi03.wav",
    "sound/stage/player4/bom24.wav",
    "sound/stage/player4/mecha04.wav",
    "sound/stage/voice/voice023_a.wav",
    "sound/stage/voice/voice015.wav",
    "sound/stage/voice/voice016_a.wav",
    "sound/stage/bell09.wav",
    "sound/stage/pi00.wav",
    "sound/stage/beep01.wav",
    "sound/stage/player1/power06.wav",
    "sound/stage/voice/voice009.wav",
    "sound/stage/voice/voice023_c.wav",
    "sound/stage/voice/voice012.wav",
    "sound/stage/voice/voice011.wav",
    "sound/stage/voice/voice017.wav",
    "sound/stage/voice/voice022.wav",
    "sound/stage/voice/voice010.wav",
    "sound/stage/voice/voice023_b.wav",
    "sound/stage/voice/voice016_b.wav",
    "sound/stage/voice/voice004.wav",
    "sound/stage/voice/voice006.wav",
    "sound/stage/bom22.wav",
    "sound/stage/puu17.wav",
    "sound/stage/enemy/kachi25.wav",
    "sound/stage/enemy/push05.wav",
    "sound/stage/enemy/close01.wav",
    "sound/stage/eco00_e.wav",
    "sound/stage/mecha11_b.wav",
};

// Volume offsets a sound is played at: hundredths of a decibel added to the
// master volume.
constexpr int32_t kAtMasterVolume = 0;
constexpr int32_t kLouder5dB = 500;
constexpr int32_t kQuieter5dB = -500;
constexpr int32_t kQuieter10dB = -1000;
constexpr int32_t kQuieter15dB = -1500;
constexpr int32_t kQuieter20dB = -2000;
constexpr int32_t kQuieter40dB = -4000;

// Clip kinds.
constexpr int32_t kClipMusic = 0;   // MIDI, replaces the music playing, loops forever
constexpr int32_t kClipEffect = 1;  // WAV, mixes over everything

// One loaded sound with its own volume.
class SoundClip {
 public:
  SoundClip() = default;
  ~SoundClip();
  SoundClip(SoundClip&& other) noexcept;
  SoundClip& operator=(SoundClip&& other) noexcept;
  SoundClip(const SoundClip&) = delete;
  SoundClip& operator=(const SoundClip&) = delete;

  // Loads the file; a file that cannot be loaded, or no audio device, leaves
  // the clip silent.
  void Load(int32_t clipKind, const char* path);
  void SetVolume(int32_t volume);  // hundredths of a decibel
  void Play();                     // starts the clip if it is queued
  void Stop();
  void Release();

  port::AudioSegment* segment = nullptr;
  int32_t volume = 0;  // hundredths of a decibel, kept until the next queue
  uint8_t queued = 0;
  int32_t kind = kClipEffect;
};

class SoundManager {
 public:
  SoundManager() = default;
  ~SoundManager();
  SoundManager(const SoundManager&) = delete;
  SoundManager& operator=(const SoundManager&) = delete;

  bool Init(port::Window* window);
  bool InitDirectMusic(port::Window* window);
  void LoadSystemSounds();
  void LoadStageSounds();
  void LoadMusic(const char* path);  // replaces the music; does not start it

  void PlaySystemSound(SystemSoundId id, int32_t offset);
  void PlaySound(SoundId id, int32_t offset);  // 0..45, or 1000 for the music
  void PlaySoundAt(float x, float y, float z, SoundId id, int32_t offset);
  void Flush();  // starts everything queued this frame, once each

  void StopAll();
  void StopSound(SoundId id);  // 1000 stops the music
  void Shutdown();
  void ShutdownDirectMusic();

  // Where positional sounds are heard from: the stage player registers its
  // position here. Without one the listener stands at the origin.
  void SetListenerSource(std::function<port::Vec3()> source);
  port::Vec3 ListenerPosition() const;

  // Volume change of a sound d units from the listener.
  static int32_t DistanceAttenuation(double d);

  bool performance = false;  // the audio device is open
  SoundClip musicClip;
  int32_t masterVolume = 0;  // 0..1000, added to every volume
  std::vector<SoundClip> stageClips;
  std::vector<SoundClip> systemClips;

 private:
  std::function<port::Vec3()> listenerSource_;
};

extern SoundManager g_sound;
