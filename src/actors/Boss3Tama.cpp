#include "actors/Boss3Tama.h"

#include "actors/ScreenPicture.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/ParticleEffect.h"

namespace {

struct Boss3TamaNumbers {
  float radius = 0.5f;
  float damage = 6.0f;
  int32_t moveOutUntil = 60;  // moves out while the age is below it, then circles
  float moveOutStep = 0.04f;  // units a frame
  float circleStep = 2.0f;    // degrees a frame
  int32_t pulsePeriod = 30;   // widens for the first half, narrows for the second
  float pulseStep = 0.05f;
  float puffScale = 0.5f;
  int32_t lifetime = 1000;  // bursts when the age passes it
  float spin = 13.0f;       // degrees a frame on screen
};
constexpr Boss3TamaNumbers kBoss3Tama;

ScreenPicture& Picture() {
  static ScreenPicture* p = new ScreenPicture("texture/3boss_tama1.png");
  return *p;
}

}  // namespace

// Each spawn gives its own owner.
Boss3Tama::Boss3Tama()
    : ShotClass({.radius = kBoss3Tama.radius, .damage = kBoss3Tama.damage, .owner = kOwnerPlayer}) {
}

void Boss3Tama::Load(port::gpu::Device* device) { Picture().Load(device); }
void Boss3Tama::Unload() { Picture().Unload(); }

void Boss3Tama::Init(const Boss3TamaSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  rotation.x = spawn.pitch;
  centre = previousPosition = spawn.at;
  mode = spawn.mode;
  distance = 0.0f;
  widthScale = heightScale = 1.0f;
}

void Boss3Tama::Update() {
  if (!alive) return;
  ++frameCounter;
  previousPosition = position;
  if (mode == kBoss3TamaCircle) {
    if (frameCounter < kBoss3Tama.moveOutUntil) {
      distance += kBoss3Tama.moveOutStep;
    } else {
      rotation.y += kBoss3Tama.circleStep;
    }
  }
  const port::Matrix turn =
      port::MatrixRotationYawPitchRoll(rotation.y * kDegToRad, rotation.x * kDegToRad, 0.0f);
  position = centre + port::Vec3TransformNormal({0.0f, 0.0f, distance}, turn);
  widthScale += frameCounter % kBoss3Tama.pulsePeriod < kBoss3Tama.pulsePeriod / 2
                    ? kBoss3Tama.pulseStep
                    : -kBoss3Tama.pulseStep;
  if (hitState == 1) {
    // A hit only flashes: the bullet circles on.
    g_sound.PlaySound(kSoundHit, kQuieter10dB);
    Puff(kParticleHit, kBoss3Tama.puffScale);
    hitState = 0;
  }
  if (frameCounter > kBoss3Tama.lifetime) {
    alive = 0;
    Burst({30, 0.5f, 10.0f, 0.1f, 0.05f, kParticleSparkShrink});
  }
}

void Boss3Tama::Draw() {
  if (!alive) return;
  const port::Vec4 c = ScreenPicture::Clip(position);
  if (c.z < 1.0f) return;
  Picture().Draw(c, widthScale / (c.z + 1.0f), heightScale / (c.z + 1.0f),
                 static_cast<float>(frameCounter) * kBoss3Tama.spin);
}
