#include "platform/SoundManager.h"

#include <cmath>
#include <utility>

#include "platform/MathHelpers.h"

// ---- SoundClip ----

SoundClip::~SoundClip() { Release(); }

SoundClip::SoundClip(SoundClip&& other) noexcept
    : segment(std::exchange(other.segment, nullptr)),
      volume(other.volume),
      queued(std::exchange(other.queued, uint8_t{0})),
      kind(other.kind) {}

SoundClip& SoundClip::operator=(SoundClip&& other) noexcept {
  if (this != &other) {
    Release();
    segment = std::exchange(other.segment, nullptr);
    volume = other.volume;
    queued = std::exchange(other.queued, uint8_t{0});
    kind = other.kind;
  }
  return *this;
}

void SoundClip::Load(int32_t clipKind, const char* path) {
  Release();
  volume = 0;
  kind = clipKind;
  if (port::IsAudioOpen()) {
    segment = port::LoadAudioSegment(
        path, clipKind == kClipMusic ? port::AudioKind::Music : port::AudioKind::Effect);
    port::SetAudioSegmentVolume(segment, volume);
  }
  queued = 0;
}

void SoundClip::SetVolume(int32_t v) {
  volume = v;
  port::SetAudioSegmentVolume(segment, v);
}

void SoundClip::Play() {
  if (!segment || !queued) return;
  port::PlayAudioSegment(segment);
  queued = 0;
}

void SoundClip::Stop() { port::StopAudioSegment(segment); }

void SoundClip::Release() {
  port::FreeAudioSegment(segment);
  segment = nullptr;
}

// ---- SoundManager ----

SoundManager::~SoundManager() { Shutdown(); }

bool SoundManager::Init(port::Window* window) { return InitDirectMusic(window); }

bool SoundManager::InitDirectMusic(port::Window* window) {
  if (performance) return true;
  std::string error;
  // Without an audio device the game runs silent.
  performance = port::OpenAudio(&error);
  return performance;
}

void SoundManager::LoadSystemSounds() {
  if (systemClips.size() == kSystemSoundCount) return;
  systemClips.clear();
  systemClips.resize(kSystemSoundCount);
  for (int id = 0; id < kSystemSoundCount; ++id)
    systemClips[id].Load(kClipEffect, kSystemSoundFiles[id]);
}

void SoundManager::LoadStageSounds() {
  if (stageClips.size() == kStageSoundCount) return;
  stageClips.clear();
  stageClips.resize(kStageSoundCount);
  for (int id = 0; id < kStageSoundCount; ++id) {
    // 45 is loaded before 44.
    const int which = id == 44 ? 45 : id == 45 ? 44 : id;
    stageClips[which].Load(kClipEffect, kStageSoundFiles[which]);
  }
}

void SoundManager::LoadMusic(const char* path) {
  musicClip.Release();
  musicClip.Load(kClipMusic, path);
}

void SoundManager::PlaySystemSound(SystemSoundId id, int32_t offset) {
  if (id < 0 || id >= static_cast<int>(systemClips.size())) return;
  systemClips[id].queued = 1;
  systemClips[id].SetVolume(masterVolume + offset);
}

void SoundManager::PlaySound(SoundId id, int32_t offset) {
  SoundClip* clip = nullptr;
  if (id == kMusicSoundId) {
    clip = &musicClip;
  } else if (id >= 0 && id < static_cast<int>(stageClips.size())) {
    clip = &stageClips[id];
  } else {
    return;
  }
  clip->queued = 1;
  clip->SetVolume(masterVolume + offset);
}

int32_t SoundManager::DistanceAttenuation(double d) {
  if (d <= 10.0) return 0;
  const float df = static_cast<float>(d);
  if (df < 43.0) return static_cast<int32_t>(std::trunc(df * -33.0));
  return -1000;
}

void SoundManager::PlaySoundAt(float x, float y, float z, SoundId id, int32_t offset) {
  if (id < 0 || id >= static_cast<int>(stageClips.size())) return;
  const port::Vec3 listener = ListenerPosition();
  const double d = Distance3(x, y, z, listener.x, listener.y, listener.z);
  stageClips[id].queued = 1;
  stageClips[id].SetVolume(masterVolume + DistanceAttenuation(d) + offset);
}

void SoundManager::Flush() {
  musicClip.Play();
  for (SoundClip& clip : systemClips) clip.Play();
  for (SoundClip& clip : stageClips) clip.Play();
}

void SoundManager::StopAll() {
  if (performance) port::StopAllAudio();
}

void SoundManager::StopSound(SoundId id) {
  if (id == kMusicSoundId) {
    musicClip.Stop();
  } else if (id >= 0 && id < static_cast<int>(stageClips.size())) {
    stageClips[id].Stop();
  }
}

void SoundManager::Shutdown() {
  StopAll();
  for (SoundClip& clip : systemClips) clip.Release();
  systemClips.clear();
  for (SoundClip& clip : stageClips) clip.Release();
  stageClips.clear();
  musicClip.Release();
  ShutdownDirectMusic();
}

void SoundManager::ShutdownDirectMusic() {
  if (!performance) return;
  port::StopAllAudio();
  port::CloseAudio();
  performance = false;
}

void SoundManager::SetListenerSource(std::function<port::Vec3()> source) {
  listenerSource_ = std::move(source);
}

port::Vec3 SoundManager::ListenerPosition() const {
  return listenerSource_ ? listenerSource_() : port::Vec3{0.0f, 0.0f, 0.0f};
}
