#include "actors/PlayerShot.h"

#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "world/ParticleEffect.h"

void PlayerShot::InitShot(const port::Vec3& at, float heading, int32_t owner_) {
  owner = owner_;
  position = at;
  rotation = {0.0f, heading, 0.0f};
  alive = 1;
  frameCounter = 0;
  hitState = 0;
  extraPoints.clear();
}

port::Vec3 PlayerShot::Orient() {
  orientation = port::MatrixRotationZ(rotation.z * kDegToRad) *
                port::MatrixRotationX(rotation.x * kDegToRad) *
                port::MatrixRotationY(rotation.y * kDegToRad);
  const port::Vec4 f = port::Vec3Transform({0.0f, 0.0f, 1.0f}, orientation);
  return {f.x, f.y, f.z};
}

void PlayerShot::MoveAlong(const port::Vec3& forward, float speed_) {
  position.x += forward.x * speed_;
  position.z += forward.z * speed_;
}

void PlayerShot::Puff(int32_t kind, float scale) const {
  ParticleEffect::Spawn(position.x, position.y, position.z, scale, 0.0f, 0.0f, 0.0f, kind, 1);
}

void PlayerShot::FlyOn(const Flight& flight) {
  const port::Vec3 f = Orient();
  MoveAlong(f, flight.speed);
  if (hitState == 1) {
    g_sound.PlaySound(kSoundHit, kQuieter10dB);
    Puff(kParticleHit, 0.5f);
    alive = 0;
  }
  const port::Vec3 ahead = position;
  KeepAboveGround(&position, flight.height);
  if (frameCounter > flight.lifetime || WallAhead(ahead, f)) {
    Puff(kParticleHit, 0.5f);
    alive = 0;
  }
}

port::Matrix TumblingWorld(float scale, int32_t frame, const port::Vec3& at) {
  constexpr float kTumbleX = 6.5f;  // degrees a frame
  constexpr float kTumbleZ = 8.0f;
  const float f = static_cast<float>(frame);
  return port::MatrixScaling(scale, scale, scale) *
         port::MatrixRotationX(kTumbleX * f * kDegToRad) *
         port::MatrixRotationZ(kTumbleZ * f * kDegToRad) *
         port::MatrixTranslation(at.x, at.y, at.z);
}

void PlayerShot::Burst(const BurstSpec& spec) const {
  for (int i = 0; i < spec.count; ++i) {
    const float pitch = static_cast<float>(RandomInt(180) - 90);
    const float yaw = static_cast<float>(RandomInt(360));
    const float speed_ = RandomFloat(spec.speedCount, spec.speedUnit) + spec.speedAdd;
    ParticleEffect::Spawn(position.x, position.y, position.z, spec.scale, pitch, yaw, speed_,
                          spec.kind, 1);
  }
}

void ShotModel::Load(port::gpu::Device* device) {
  device_ = device;
  if (!mesh_.GetMesh()) mesh_.Load(device, path_);
}

void ShotModel::Unload() { mesh_.Release(); }

void ShotModel::Draw(const port::Matrix& world) {
  if (!device_ || device_ != port::gpu::Device::Current() || !mesh_.GetMesh()) return;
  device_->SetTransform(port::gpu::TransformType::World, world);
  mesh_.Draw();
}
