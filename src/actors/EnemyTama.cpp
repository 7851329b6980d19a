#include "actors/EnemyTama.h"

#include "actors/Motion.h"
#include "actors/ScreenPicture.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/ParticleEffect.h"

namespace {

struct EnemyTamaNumbers {
  float radius = 0.7f;
  float height = 0.8f;     // a level bullet settles this high over the ground
  int32_t lifetime = 100;  // balls and rings end when the age passes it
  int32_t probeLife = 2;   // probes end when the age passes it
  float puffScale = 0.5f;
  float ballSpin = 12.0f;  // degrees a frame about the flight
  float ringSpinZ = 7.0f;  // degrees a frame
  float ringSpinX = 13.0f;
  float centreSpin = 27.0f;  // degrees a frame on screen
  float centreSize = 0.6f;   // divided by the clip depth
};
constexpr EnemyTamaNumbers kEnemyTama;

// Class-wide data; never destroyed, so nothing runs after the device is gone.
struct EnemyTamaResources {
  ShotModel ball{"Xfile/tama/enemy_tama1.X"};
  ShotModel ring{"Xfile/tama/enemy_tama2_ring.X"};
  ScreenPicture centre{"texture/effect/enemy_tama2_center.png"};
};
EnemyTamaResources& Resources() {
  static EnemyTamaResources* r = new EnemyTamaResources;
  return *r;
}

}  // namespace

EnemyTama::EnemyTama()
    : ShotClass({.radius = kEnemyTama.radius, .damage = 10.0f, .owner = kOwnerEnemy}) {}

void EnemyTama::Load(port::gpu::Device* device) {
  EnemyTamaResources& r = Resources();
  const bool loaded = r.ball.Mesh().GetMesh() != nullptr;
  r.ball.Load(device);
  if (loaded) return;
  r.ring.Load(device);
  r.centre.Load(device);
}

void EnemyTama::Unload() {
  EnemyTamaResources& r = Resources();
  r.ball.Unload();
  r.ring.Unload();
  r.centre.Unload();
}

void EnemyTama::Init(float pitch, const EnemyTamaSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, owner);
  rotation.x = pitch;
  speed = spawn.speed;
  damage = spawn.damage;
  kind = spawn.kind;
}

void EnemyTama::Update() {
  if (!alive) return;
  ++frameCounter;
  const port::Vec3 d = Orient();
  position += d * speed;
  if (hitState == 1) {
    // The rest of the frame still runs: an old bullet hit now puffs twice.
    g_sound.PlaySound(kSoundHit, kQuieter10dB);
    Puff(kParticleHit, kEnemyTama.puffScale);
    alive = 0;
  }
  if (rotation.x == 0.0f) KeepAboveGround(&position, kEnemyTama.height);
  if (kind == kEnemyTamaProbe) {
    if (frameCounter > kEnemyTama.probeLife) alive = 0;
    return;
  }
  // Balls, rings, and any other kind: an unknown kind ends like a ball
  // rather than flying on for ever (EnemyTamaEnds, UnknownKindAgesOutLikeABall).
  if (frameCounter > kEnemyTama.lifetime || WallAhead(position, d)) {
    Puff(kParticleHit, kEnemyTama.puffScale);
    alive = 0;
  }
}

void EnemyTama::Draw() {
  if (!alive || kind == kEnemyTamaProbe) return;
  const float age = static_cast<float>(frameCounter);
  const port::Matrix at = port::MatrixTranslation(position.x, position.y, position.z);
  if (kind != kEnemyTamaRing) {
    Resources().ball.Draw(port::MatrixRotationZ(age * kEnemyTama.ballSpin * kDegToRad) *
                          orientation * at);
    return;
  }
  DrawCenter();
  Resources().ring.Draw(port::MatrixRotationZ(age * kEnemyTama.ringSpinZ * kDegToRad) *
                        port::MatrixRotationX(age * kEnemyTama.ringSpinX * kDegToRad) *
                        orientation * at);
}

void EnemyTama::DrawCenter() {
  const port::Vec4 c = ScreenPicture::Clip(position);
  if (c.z < 1.0f) return;
  const float s = kEnemyTama.centreSize / c.z;
  Resources().centre.Draw(c, s, s, static_cast<float>(frameCounter) * kEnemyTama.centreSpin);
}
