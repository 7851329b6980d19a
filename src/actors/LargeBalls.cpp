#include "actors/LargeBalls.h"

#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/ParticleEffect.h"

namespace {

struct BallNumbers {
  float radius;
  float damage;  // until a spawn gives its own
};
constexpr BallNumbers kBall1 = {2.1f, 20.0f};
constexpr BallNumbers kBall2 = {2.5f, 15.0f};

struct RollNumbers {
  float height = 0.8f;     // the centre settles this high over the ground
  int32_t lifetime = 150;  // ends when the age passes it
  float puffScale = 2.5f;
  float ball1Roll = 12.0f;   // degrees a frame
  float ball2Spin = 12.0f;   // degrees a frame, drawn only
  int32_t curveUntil = 60;   // turns while the age is below it
  float curveStep = 1.5f;    // degrees a frame
  float trailScale = 10.0f;  // a glow on every even age
};
constexpr RollNumbers kRoll;

}  // namespace

void LargeBall::InitBall(const LargeBallSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, owner);
  speed = spawn.speed;
  damage = spawn.damage;
}

void LargeBall::Roll() {
  const port::Vec3 d = Orient();
  MoveAlong(d, speed);
  if (hitState == 1) {
    // The rest of the frame still runs.
    g_sound.PlaySound(kSoundHit, kAtMasterVolume);
    Puff(kParticleHit, kRoll.puffScale);
    alive = 0;
  }
  KeepAboveGround(&position, kRoll.height);
  if (frameCounter > kRoll.lifetime) {
    Puff(kParticleHit, kRoll.puffScale);
    alive = 0;
  }
}

// ---- LargeBall1 ----

LargeBall1::LargeBall1()
    : ShotClass({.radius = kBall1.radius, .damage = kBall1.damage, .owner = kOwnerEnemy}) {}

void LargeBall1::Init(const LargeBallSpawn& spawn) { InitBall(spawn); }

void LargeBall1::Update() {
  if (!alive) return;
  ++frameCounter;
  rotation.z += kRoll.ball1Roll;
  Roll();
}

void LargeBall1::Draw() {
  if (!alive) return;
  Model().Draw(orientation * port::MatrixTranslation(position.x, position.y, position.z));
}

// ---- LargeBall2 ----

LargeBall2::LargeBall2()
    : ShotClass({.radius = kBall2.radius, .damage = kBall2.damage, .owner = kOwnerEnemy}) {}

void LargeBall2::Init(const LargeBallSpawn& spawn, int32_t curve_) {
  InitBall(spawn);
  curve = curve_;
}

void LargeBall2::Update() {
  if (!alive) return;
  ++frameCounter;
  if (frameCounter < kRoll.curveUntil) {
    rotation.y += curve % 2 == 0 ? kRoll.curveStep : -kRoll.curveStep;
  }
  if (frameCounter % 2 == 0) Puff(kParticleGlowShrink, kRoll.trailScale);
  Roll();
}

void LargeBall2::Draw() {
  if (!alive) return;
  const float spin = static_cast<float>(frameCounter) * kRoll.ball2Spin * kDegToRad;
  Model().Draw(port::MatrixRotationZ(spin) * orientation *
               port::MatrixTranslation(position.x, position.y, position.z));
}
