#include "actors/Player3Shots.h"

#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "world/Character.h"
#include "world/ParticleEffect.h"

using port::gpu::RenderState;

namespace {

struct HomingNumbers {
  float radius = 0.7f;
  float damage = 20.0f;
  float turn = 8.0f;  // degrees a frame toward the target
  float speed = 0.1f;
  float height = 0.8f;
  int32_t lifetime = 400;
  int32_t humEvery = 60;     // the hum plays on frames 1, 61, 121, ...
  int32_t sparkEvery = 5;    // a star on frames 1, 6, 11, ...
  float sparkSpread = 1.0f;  // stars within this of the shot on each axis
};
constexpr HomingNumbers kHoming;

struct FlameNumbers {
  float coreRadius = 0.6f;  // until the first update
  float radius = 0.8f;      // once risen
  int32_t risen = 30;       // harmless before this frame
  float damage = 20.0f;
  float turn = 1.5f;  // degrees a frame
  float speed = 0.1f;
  float height = 0.3f;
  float wallReach = 0.3f;
  float slide = 0.1f;  // the slide along a wall, units a frame
  int32_t lifetime = 450;
  int32_t roarEvery = 30;
  float coreScale = 0.25f;
  port::Vec3 flameScale{2.0f, 3.0f, 2.0f};
  float flameSpin = 17.0f;  // degrees a frame about y
};
constexpr FlameNumbers kFlame;

// Never destroyed, so nothing runs after the device is gone.
ShotModel& FlameModel() {
  static ShotModel* m = new ShotModel("Xfile/tama/player3_largetama3.X");
  return *m;
}

}  // namespace

// ---- Player3LargeTama1 ----

Player3LargeTama1::Player3LargeTama1()
    : ShotClass({.radius = kHoming.radius, .damage = kHoming.damage}) {}

void Player3LargeTama1::Init(const Player3LargeTama1Spawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  target = spawn.target;
}

void Player3LargeTama1::Steer() {
  if (!target) return;
  port::Vec3 p;
  target->GetPosition(&p);
  rotation.y = TurnToward(YawTo(position.x, position.z, p.x, p.z), rotation.y, kHoming.turn);
}

void Player3LargeTama1::Update() {
  if (!alive) return;
  ++frameCounter;
  Steer();
  const port::Vec3 f = Orient();
  MoveAlong(f, kHoming.speed);
  if (frameCounter % kHoming.humEvery == 1) g_sound.PlaySound(kSoundHoming, kQuieter40dB);
  if (frameCounter % kHoming.sparkEvery == 1) {
    const float r1 = RandomFloat(20.0f, 0.1f);
    const float r2 = RandomFloat(20.0f, 0.1f);
    const float r3 = RandomFloat(20.0f, 0.1f);
    ParticleEffect::Spawn(
        position.x - kHoming.sparkSpread + r1, position.y - kHoming.sparkSpread + r2,
        position.z - kHoming.sparkSpread + r3, 0.0f, 0.0f, 0.0f, 0.0f, kParticleStarPulse, 1);
  }
  KeepAboveGround(&position, kHoming.height);
  // It keeps its hit state and flies through walls: only time ends it.
  if (frameCounter > kHoming.lifetime) alive = 0;
}

void Player3LargeTama1::Draw() {
  if (!alive) return;
  Model().Draw(TumblingWorld(1.0f, frameCounter, position));
}

// ---- Player3LargeTama2 ----

Player3LargeTama2::Player3LargeTama2()
    : ShotClass({.radius = kFlame.coreRadius, .damage = kFlame.damage}) {}

void Player3LargeTama2::Load(port::gpu::Device* device) {
  Model().Load(device);
  FlameModel().Load(device);
}

void Player3LargeTama2::Unload() {
  Model().Unload();
  FlameModel().Unload();
}

void Player3LargeTama2::Init(const ShotSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  previous = position;
  // A reused flame would keep its burning radius until its first update.
  radius = kCannotHit;
  extraPoints.assign(kColumnPoints, port::Vec3{});
  PlaceColumn();
}

void Player3LargeTama2::PlaceColumn() {
  for (int i = 0; i < kColumnPoints; ++i) {
    extraPoints[i] = {position.x, position.y + 1.0f + static_cast<float>(i), position.z};
  }
}

void Player3LargeTama2::Update() {
  if (!alive) return;
  previous = position;
  ++frameCounter;
  rotation.y += kFlame.turn;
  if (frameCounter % kFlame.roarEvery == 0) g_sound.PlaySound(kSoundFlame, kLouder5dB);
  // Rising, it cannot hit (a radius of 0 would still reach the hit margins).
  radius = frameCounter < kFlame.risen ? kCannotHit : kFlame.radius;
  const port::Vec3 f = Orient();
  MoveAlong(f, kFlame.speed);
  PlaceColumn();
  KeepAboveGround(&position, kFlame.height);
  FollowGround();
  if (frameCounter > kFlame.lifetime) alive = 0;
}

void Player3LargeTama2::FollowGround() {
  if (position == previous) return;
  const port::Vec3 d =
      DirectionTo(previous.x, previous.y, previous.z, position.x, position.y, position.z);
  const WallContact wall =
      FindWall(previous, d, rotation.x, rotation.z, kFlame.wallReach, WallTest::kMoveDirection);
  if (!wall.found) return;
  const port::Vec3 s = SlideDirection(d, wall);
  position.x = previous.x + s.x * kFlame.slide;
  position.z = previous.z + s.z * kFlame.slide;
  if (PathBlocked(previous, position, kFlame.wallReach)) {
    position.x = previous.x;
    position.z = previous.z;
  }
}

void Player3LargeTama2::Draw() {
  if (!alive) return;
  Model().Draw(port::MatrixScaling(kFlame.coreScale, kFlame.coreScale, kFlame.coreScale) *
               port::MatrixRotationX(6.5f * static_cast<float>(frameCounter) * kDegToRad) *
               port::MatrixTranslation(position.x, position.y, position.z));
}

void Player3LargeTama2::DrawSecondPass() {
  if (!alive || frameCounter < kFlame.risen) return;
  port::gpu::Device* device = FlameModel().Device();
  if (!device || device != port::gpu::Device::Current()) return;
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendOne);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendOne);
  device->SetRenderState(RenderState::ZWriteEnable, 0);
  FlameModel().Draw(
      port::MatrixScaling(kFlame.flameScale.x, kFlame.flameScale.y, kFlame.flameScale.z) *
      port::MatrixRotationY(kFlame.flameSpin * static_cast<float>(frameCounter) * kDegToRad) *
      port::MatrixTranslation(position.x, position.y, position.z));
  device->SetRenderState(RenderState::ZWriteEnable, 1);
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendSrcAlpha);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendInvSrcAlpha);
}
