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

ShotModel& Ball1Model() {
  static ShotModel* m = new ShotModel("Xfile/tama/large_tama1.X");
  return *m;
}
ShotModel& Ball2Model() {
  static ShotModel* m = new ShotModel("Xfile/tama/large_tama2.X");
  return *m;
}

void Configure(PlayerShot* ball, int32_t type, const BallNumbers& n) {
  ball->type = type;
  ball->owner = kOwnerEnemy;
  ball->radius = n.radius;
  ball->damage = n.damage;
}

}  // namespace

void LargeBall::InitBall(const LargeBallSpawn& spawn) {
  InitShot(spawn.at.x, spawn.at.y, spawn.at.z, spawn.heading, owner);
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

LargeBall1::LargeBall1() { Configure(this, kObjectLargeBall1, kBall1); }

void LargeBall1::Load(port::gpu::Device* device) { Ball1Model().Load(device); }
void LargeBall1::Unload() { Ball1Model().Unload(); }

LargeBall1* LargeBall1::Spawn(const LargeBallSpawn& spawn) {
  LargeBall1* b = ReuseOrAddShot<LargeBall1>(kObjectLargeBall1);
  if (b) b->Init(spawn);
  return b;
}

void LargeBall1::Init(const LargeBallSpawn& spawn) { InitBall(spawn); }

void LargeBall1::Update() {
  if (!alive) return;
  ++frameCounter;
  rotation.z += kRoll.ball1Roll;
  Roll();
}

void LargeBall1::Draw() {
  if (!alive) return;
  Ball1Model().Draw(orientation * port::MatrixTranslation(position.x, position.y, position.z));
}

// ---- LargeBall2 ----

LargeBall2::LargeBall2() { Configure(this, kObjectLargeBall2, kBall2); }

void LargeBall2::Load(port::gpu::Device* device) { Ball2Model().Load(device); }
void LargeBall2::Unload() { Ball2Model().Unload(); }

LargeBall2* LargeBall2::Spawn(const LargeBallSpawn& spawn, int32_t curve) {
  LargeBall2* b = ReuseOrAddShot<LargeBall2>(kObjectLargeBall2);
  if (b) b->Init(spawn, curve);
  return b;
}

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
  Ball2Model().Draw(port::MatrixRotationZ(spin) * orientation *
                    port::MatrixTranslation(position.x, position.y, position.z));
}
