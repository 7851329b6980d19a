#include "actors/Player1Shots.h"

#include "actors/Motion.h"
#include "actors/ScreenPicture.h"
#include "actors/SokaiCounters.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "world/CharacterList.h"
#include "world/ParticleEffect.h"
#include "world/ShockWaveEffect.h"
#include "world/ThunderEffect.h"

using port::gpu::RenderState;

namespace {

// What each shot class is made of and how it flies.
struct ShotNumbers {
  float radius, damage;
  float speed;       // units a frame (the stage speed of the steering ball)
  float height;      // flies this high over the ground
  int32_t lifetime;  // ends when the frame counter passes it
};
constexpr ShotNumbers kTama = {0.7f, 10.0f, 0.7f, 0.8f, 40};
constexpr ShotNumbers kLarge1 = {1.2f, 10.0f, 0.4f, 0.8f, 70};
constexpr ShotNumbers kLarge2 = {1.8f, 25.0f, 0.003f, 1.3f, 400};
constexpr ShotNumbers kLarge3 = {DynamicObject::kCannotHit, 10.0f, 0.5f, 0.8f, 10};
constexpr ShotNumbers kBurst = {4.0f, 20.0f, 0.0f, 0.0f, 40};

struct SteerRule {
  float cone;   // degrees either side of the heading a target must lie in
  float reach;  // the best score must be below this
  float turn;   // degrees a frame
};
constexpr SteerRule kSteerStage = {35.0f, 180.0f, 1.0f};
constexpr SteerRule kSteerBattle = {30.0f, 180.0f, 0.25f};
constexpr float kLarge1BattleSpeed = 0.3f;
constexpr int32_t kLarge1Hits = 3;

constexpr float kTamaRoll = 6.5f;  // degrees a frame
constexpr float kPi = 3.14159265f;
constexpr int32_t kLarge2Launch = 200;  // from here frame x 0.6 a frame
constexpr float kLarge2Flung = 0.6f;
constexpr int32_t kLarge2ChirpEvery = 50;
constexpr float kLarge3Spin = 13.0f;  // degrees a frame on screen
constexpr int32_t kBurstSmokeUntil = 30;

struct Large1Targets {
  Character* const* targets = nullptr;
  int32_t count = 0;
};
Large1Targets g_large1Targets;

// Never destroyed, so nothing runs after the device is gone.
ScreenPicture& Large3Picture() {
  static ScreenPicture* p = new ScreenPicture("texture/player1_largetama3.png");
  return *p;
}

struct BurstContext {
  port::gpu::Device* device = nullptr;
  SokaiCounters* counters = nullptr;
};
BurstContext g_burstContext;

}  // namespace

// ---- Tama ----

Tama::Tama() : ShotClass({.radius = kTama.radius, .damage = kTama.damage}) {}

void Tama::Update() { Fly(); }

void Tama::Fly() {
  if (!alive) return;
  ++frameCounter;
  rotation.z += kTamaRoll;
  FlyOn({kTama.speed, kTama.height, kTama.lifetime});
}

void Tama::Draw() {
  if (!alive) return;
  // The model faces the other way.
  Model().Draw(port::MatrixScaling(1.0f, 1.0f, 1.0f) * port::MatrixRotationY(kPi) * orientation *
               port::MatrixTranslation(position.x, position.y, position.z));
}

// ---- Player1LargeTama1 ----

Player1LargeTama1::Player1LargeTama1()
    : ShotClass({.radius = kLarge1.radius, .damage = kLarge1.damage}) {}

void Player1LargeTama1::Load(port::gpu::Device* device, Character* const* targets,
                             int32_t targetCount) {
  g_large1Targets = {targets, targetCount};
  Model().Load(device);
}

void Player1LargeTama1::Init(const Player1LargeTama1Spawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  battleMode = spawn.battleMode;
  hitsLeft = kLarge1Hits;
}

void Player1LargeTama1::Steer() {
  const float heading = rotation.y;
  bool found = false;
  float bestYaw = 0.0f;
  if (battleMode == 0) {
    double best = kSteerStage.reach;
    g_characters.ForEach([&](Character* c) {
      if (!c->IsAlive()) return;
      port::Vec3 p;
      c->GetPosition(&p);
      const float yaw = YawTo(position.x, position.z, p.x, p.z);
      const float a = AngleDistance(heading, yaw);
      if (a >= kSteerStage.cone) return;
      const double score = a * 0.1f + Distance3(position.x, position.y, position.z, p.x, p.y, p.z);
      if (score < best) {
        best = score;
        bestYaw = yaw;
        found = true;
      }
    });
    if (found) rotation.y = TurnToward(bestYaw, heading, kSteerStage.turn);
    return;
  }
  float best = kSteerBattle.reach;
  for (int32_t i = 0; g_large1Targets.targets && i < g_large1Targets.count; ++i) {
    const Character* c = g_large1Targets.targets[i];
    if (!c || c->GetId() == owner) continue;
    port::Vec3 p;
    c->GetPosition(&p);
    const float yaw = YawTo(position.x, position.z, p.x, p.z);
    const float a = AngleDistance(heading, yaw);
    if (a >= kSteerBattle.cone || a >= best) continue;
    best = a;
    bestYaw = yaw;
    found = true;
  }
  if (found) rotation.y = TurnToward(bestYaw, heading, kSteerBattle.turn);
}

void Player1LargeTama1::Update() {
  if (!alive) return;
  ++frameCounter;
  Steer();
  const port::Vec3 f = Orient();
  MoveAlong(f, battleMode ? kLarge1BattleSpeed : kLarge1.speed);
  if (hitState == 1) {
    --hitsLeft;
    g_sound.PlaySound(kSoundHit, kQuieter10dB);
    Puff(kParticleHit, 1.0f);
    if (hitsLeft < 1) {
      alive = 0;
      Burst({30, 1.0f, 10.0f, 0.1f, 0.0f});
    }
    // Passes on through the hit.
    hitState = 0;
  }
  const port::Vec3 ahead = position;
  KeepAboveGround(&position, kLarge1.height);
  if (frameCounter > kLarge1.lifetime || WallAhead(ahead, f)) {
    alive = 0;
    Burst({30, 0.5f, 20.0f, 0.01f, 0.01f});
  }
}

void Player1LargeTama1::Draw() {
  if (!alive) return;
  Model().Draw(TumblingWorld(3.0f, frameCounter, position));
}

// ---- Player1LargeTama2 ----

Player1LargeTama2::Player1LargeTama2()
    : ShotClass({.radius = kLarge2.radius, .damage = kLarge2.damage}) {}

void Player1LargeTama2::Update() {
  if (!alive) return;
  if (frameCounter <= kLarge2Launch && frameCounter % kLarge2ChirpEvery == 0) {
    g_sound.PlaySound(kSoundLargeCreep, kQuieter5dB);
  }
  ++frameCounter;
  const port::Vec3 f = Orient();
  const float t = static_cast<float>(frameCounter);
  MoveAlong(f, frameCounter < kLarge2Launch ? t * kLarge2.speed : t * kLarge2Flung);
  if (hitState == 1) {
    g_sound.PlaySound(kSoundHit, kQuieter10dB);
    hitState = 0;
  }
  KeepAboveGround(&position, kLarge2.height);
  if (frameCounter > kLarge2.lifetime) {
    Burst({50, 0.5f, 30.0f, 0.01f, 0.01f});
    alive = 0;
  }
}

void Player1LargeTama2::DrawSecondPass() {
  if (!alive) return;
  port::gpu::Device* device = Model().Device();
  if (!device || device != port::gpu::Device::Current()) return;
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendOne);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendOne);
  Model().Draw(TumblingWorld(1.5f, frameCounter, position));
  Model().Draw(TumblingWorld(2.0f, frameCounter, position));
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendSrcAlpha);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendInvSrcAlpha);
}

// ---- Player1LargeTama3 ----

Player1LargeTama3::Player1LargeTama3()
    : ShotClass({.radius = kLarge3.radius, .damage = kLarge3.damage}) {}

void Player1LargeTama3::Load(port::gpu::Device* device) { Large3Picture().Load(device); }
void Player1LargeTama3::Unload() { Large3Picture().Unload(); }

void Player1LargeTama3::Update() {
  if (!alive) return;
  ++frameCounter;
  const port::Vec3 f = Orient();
  MoveAlong(f, kLarge3.speed);
  const port::Vec3 ahead = position;
  KeepAboveGround(&position, kLarge3.height);
  if (frameCounter > kLarge3.lifetime || WallAhead(ahead, f)) {
    alive = 0;
    g_sound.PlaySound(kSoundBurst, kQuieter10dB);
    Player1TamaBurst::Spawn({.at = position, .owner = owner});
  }
}

void Player1LargeTama3::Draw() {
  if (!alive) return;
  const port::Vec4 c = ScreenPicture::Clip(position);
  // Behind or too near the eye: not drawn. Without its picture (nothing is
  // drawn then) the glow would be a bare square.
  if (c.z < 1.0f) return;
  const float s = 2.0f / (c.z + 1.0f);
  Large3Picture().Draw(c, s, s, kLarge3Spin * static_cast<float>(frameCounter));
}

// ---- Player1TamaBurst ----

Player1TamaBurst::Player1TamaBurst()
    : ShotClass({.radius = kBurst.radius, .damage = kBurst.damage}) {}

void Player1TamaBurst::SetContext(port::gpu::Device* device, SokaiCounters* counters) {
  g_burstContext = {device, counters};
}

void Player1TamaBurst::Init(const ShotSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  ShockWaveEffect::Spawn(spawn.at.x, spawn.at.y, spawn.at.z, 0.0f, spawn.heading, 0.0f, 1.0f, 1);
  if (SokaiCounters* c = g_burstContext.counters) {
    ++c->bursts;
    c->combo = 0;
  }
}

void Player1TamaBurst::Update() {
  if (!alive) return;
  ++frameCounter;
  if (frameCounter < kBurstSmokeUntil && frameCounter % 3 == 1) Puff(kParticleDust, 4.0f);
  if (frameCounter % 2 == 1) {
    const float pitch = static_cast<float>(RandomInt(180) - 90);
    const float yaw = static_cast<float>(RandomInt(360));
    ThunderEffect::Spawn(position.x, position.y, position.z, 2.0f, pitch, yaw, 1.0f, 1);
  }
  // A hit changes nothing: the burst strikes whatever is near for its frames.
  if (frameCounter > kBurst.lifetime) alive = 0;
}
