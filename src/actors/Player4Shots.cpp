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

ShotModel& MineModel() {
  static ShotModel* m = new ShotModel("Xfile/tama/player4_largetama1.X");
  return *m;
}
ShotModel& CreatureModel() {
  static ShotModel* m = new ShotModel("Xfile/tama/player4_largetama2.X");
  return *m;
}
ShotModel& BlastModel() {
  static ShotModel* m = new ShotModel("Xfile/tama/player4_largetama3.X");
  return *m;
}

port::Matrix Placed(float scale, const PlayerShot& shot) {
  return port::MatrixScaling(scale, scale, scale) * shot.orientation *
         port::MatrixTranslation(shot.position.x, shot.position.y, shot.position.z);
}

}  // namespace

// ---- Player4LargeTama1 ----

Player4LargeTama1::Player4LargeTama1() {
  type = kObjectPlayer4LargeTama1;
  radius = kMine.radius;
  damage = kMine.damage;
  owner = kOwnerPlayer;
}

void Player4LargeTama1::Load(port::gpu::Device* device) { MineModel().Load(device); }
void Player4LargeTama1::Unload() { MineModel().Unload(); }

Player4LargeTama1* Player4LargeTama1::Spawn(float x, float y, float z, float heading,
                                            int32_t owner) {
  Player4LargeTama1* t = ReuseOrAddShot<Player4LargeTama1>(kObjectPlayer4LargeTama1);
  if (t) t->Init(x, y, z, heading, owner);
  return t;
}

void Player4LargeTama1::Init(float x, float y, float z, float heading, int32_t owner_) {
  InitShot(x, y, z, heading, owner_);
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
    Player4LargeTama3::Spawn(position.x, position.y, position.z, 0.0f, owner);
  }
}

void Player4LargeTama1::Draw() {
  if (alive) MineModel().Draw(Placed(1.0f, *this));
}

// ---- Player4LargeTama2 ----

Player4LargeTama2::Player4LargeTama2() {
  type = kObjectPlayer4LargeTama2;
  radius = kCreature.builtRadius;
  damage = kCreature.damage;
  owner = kOwnerPlayer;
}

void Player4LargeTama2::Load(port::gpu::Device* device) { CreatureModel().Load(device); }
void Player4LargeTama2::Unload() { CreatureModel().Unload(); }

Player4LargeTama2* Player4LargeTama2::Spawn(float x, float y, float z, float heading,
                                            int32_t owner) {
  Player4LargeTama2* t = ReuseOrAddShot<Player4LargeTama2>(kObjectPlayer4LargeTama2);
  if (t) t->Init(x, y, z, heading, owner);
  return t;
}

void Player4LargeTama2::Init(float x, float y, float z, float heading, int32_t owner_) {
  InitShot(x, y, z, heading, owner_);
  scale = kCreature.scale;
  damage = kCreature.damage;
  targetHeading = heading;
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
  if (alive) CreatureModel().Draw(Placed(scale, *this));
}

// ---- Player4LargeTama3 ----

Player4LargeTama3::Player4LargeTama3() {
  type = kObjectPlayer4LargeTama3;
  radius = kBlast.builtRadius;
  damage = kBlast.damage;
  owner = kOwnerPlayer;
}

void Player4LargeTama3::Load(port::gpu::Device* device) { BlastModel().Load(device); }
void Player4LargeTama3::Unload() { BlastModel().Unload(); }

Player4LargeTama3* Player4LargeTama3::Spawn(float x, float y, float z, float heading,
                                            int32_t owner) {
  Player4LargeTama3* t = ReuseOrAddShot<Player4LargeTama3>(kObjectPlayer4LargeTama3);
  if (t) t->Init(x, y, z, heading, owner);
  return t;
}

void Player4LargeTama3::Init(float x, float y, float z, float heading, int32_t owner_) {
  InitShot(x, y, z, heading, owner_);
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
  port::gpu::Device* device = BlastModel().Device();
  if (!device || device != port::gpu::Device::Current()) return;
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendOne);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendOne);
  BlastModel().Draw(Placed(radius, *this));
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendSrcAlpha);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendInvSrcAlpha);
}
