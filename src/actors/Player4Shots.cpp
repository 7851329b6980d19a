#include "actors/Player4Shots.h"

#include <cmath>

#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "world/ParticleEffect.h"

using port::gpu::RenderState;

namespace {

struct MineNumbers {
  float radius = 1.0f;
  float damage = 10.0f;
  int32_t lifetime = 300;
  float puffScale = 1.5f;
};
constexpr MineNumbers kMine;

struct CreatureNumbers {
  float builtRadius = 1.0f;  // until Init
  float radius = 1.3f;
  float damage = 10.0f;
  float scale = 2.0f;
  int32_t pickEvery = 40;  // a new heading on these frames, or 1 in 51 on any other
  int32_t pickChance = 50;
  float turn = 4.0f;      // degrees a frame toward the target heading
  int32_t roaming = 451;  // from this frame it shrinks
  float speed = 0.15f;
  float height = 0.8f;
  float wallReach = 2.0f;
  float wallTurn = 3.0f;     // degrees a frame off a wall it slides along
  int32_t wallSpread = 100;  // new headings within +-50 of the wall's normal
  float shrink = 0.1f;       // scale lost a frame
};
constexpr CreatureNumbers kCreature;

struct BlastNumbers {
  float builtRadius = 1.2f;  // until Init
  float radius = 0.5f;
  float growth = 0.1f;
  float damage = 20.0f;
  float tumble = 17.0f;  // degrees a frame, pitch and heading
  int32_t lifetime = 25;
};
constexpr BlastNumbers kBlast;

port::Matrix Placed(float scale, const PlayerShot& shot) {
  return port::MatrixScaling(scale, scale, scale) * shot.orientation *
         port::MatrixTranslation(shot.position.x, shot.position.y, shot.position.z);
}

}  // namespace

// ---- Player4LargeTama1 ----

Player4LargeTama1::Player4LargeTama1()
    : ShotClass({.radius = kMine.radius, .damage = kMine.damage}) {}

void Player4LargeTama1::Init(const ShotSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  const GroundHit ground = FindGround(position);
  if (ground.found) position.y = ground.point.y;
}

void Player4LargeTama1::Update() {
  if (!alive) return;
  ++frameCounter;
  Orient();
  if (frameCounter > kMine.lifetime) {
    alive = 0;
    Puff(kParticleHit, kMine.puffScale);
  }
  if (hitState > 0) {
    alive = 0;
    Player4LargeTama3::Spawn({.at = position, .owner = owner});
  }
}

void Player4LargeTama1::Draw() {
  if (alive) Model().Draw(Placed(1.0f, *this));
}

// ---- Player4LargeTama2 ----

Player4LargeTama2::Player4LargeTama2()
    : ShotClass({.radius = kCreature.builtRadius, .damage = kCreature.damage}) {}

void Player4LargeTama2::Init(const ShotSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  scale = kCreature.scale;
  damage = kCreature.damage;
  targetHeading = spawn.heading;
  radius = kCreature.radius;
  previous = position;
}

void Player4LargeTama2::Update() {
  if (!alive) return;
  ++frameCounter;
  previous = position;
  if (frameCounter == 1) g_sound.PlaySound(kSoundCreature, kQuieter5dB);
  if (frameCounter % kCreature.pickEvery == 0 || RandomInt(kCreature.pickChance) == 0) {
    targetHeading = static_cast<float>(RandomInt(360));
  }
  rotation.y = TurnToward(targetHeading, rotation.y, kCreature.turn);
  const port::Vec3 f = Orient();
  if (frameCounter < kCreature.roaming) {
    MoveAlong(f, kCreature.speed);
    if (frameCounter % 2 == 0) {
      // Dust thrown out behind; the two draws in this order.
      const float pitch = static_cast<float>(RandomInt(30) - 15);
      const float yaw = static_cast<float>(RandomInt(30)) + rotation.y + 180.0f - 15.0f;
      ParticleEffect::Spawn(position.x, position.y, position.z, 1.5f, pitch, yaw, 0.1f,
                            kParticleSparkShrink, 1);
    }
    FollowGround();
    KeepAboveGround(&position, kCreature.height);
    return;
  }
  // Shrinking away: harmless and out of reach of every hit test.
  scale -= kCreature.shrink;
  damage = 0.0f;
  radius = kCannotHit;
  if (scale < 0.0f) alive = 0;
}

void Player4LargeTama2::FollowGround() {
  if (position == previous) return;
  const port::Vec3 d =
      DirectionTo(previous.x, previous.y, previous.z, position.x, position.y, position.z);
  const WallContact wall =
      FindWall(previous, d, rotation.x, rotation.z, kCreature.wallReach, WallTest::kMoveDirection);
  if (!wall.found) return;
  const float w = YawOfVector(wall.normal.x, wall.normal.y, wall.normal.z);
  position = previous + SlideDirection(d, wall) * kCreature.speed;
  const auto offWall = [&] {
    return std::fmod(w + 50.0f - static_cast<float>(RandomInt(kCreature.wallSpread)), 360.0f);
  };
  if (!PathBlocked(previous, position, kCreature.wallReach)) {
    targetHeading = offWall();
    rotation.y = TurnToward(targetHeading, rotation.y, kCreature.wallTurn);
  } else {
    position = previous;
    targetHeading = offWall();
    rotation.y = targetHeading;
  }
}

void Player4LargeTama2::Draw() {
  if (alive) Model().Draw(Placed(scale, *this));
}

// ---- Player4LargeTama3 ----

Player4LargeTama3::Player4LargeTama3()
    : ShotClass({.radius = kBlast.builtRadius, .damage = kBlast.damage}) {}

void Player4LargeTama3::Init(const ShotSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  radius = kBlast.radius;
}

void Player4LargeTama3::Update() {
  if (!alive) return;
  radius += kBlast.growth;
  rotation.x += kBlast.tumble;
  rotation.y += kBlast.tumble;
  ++frameCounter;
  Orient();
  if (frameCounter > kBlast.lifetime) alive = 0;
}

void Player4LargeTama3::DrawSecondPass() {
  if (!alive) return;
  port::gpu::Device* device = Model().Device();
  if (!device || device != port::gpu::Device::Current()) return;
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendOne);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendOne);
  Model().Draw(Placed(radius, *this));
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendSrcAlpha);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendInvSrcAlpha);
}
