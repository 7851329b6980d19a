#include "actors/BallLauncher.h"

#include "actors/LargeBalls.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/ParticleEffect.h"

namespace {

struct LauncherNumbers {
  float radius = -10.0f;   // never within any hit test's reach
  int32_t cycle = 200;     // the charge runs while age % cycle < chargeFor
  int32_t chargeFor = 90;  // frames
  int32_t sparkEvery = 3;  // a converging spark on ages divisible by it
  float sparkFrom = 3.0f;  // units out from the launcher
  float sparkSpeed = -0.3f;
  float glowGrowth = 0.04f;  // the glow's scale a frame of age
  int32_t fireAt = 95;
  float ballSpeed = 0.5f;
  float ballDamage = 20.0f;
};
constexpr LauncherNumbers kLauncher;

}  // namespace

BallLauncher::BallLauncher()
    : ShotClass({.radius = kLauncher.radius, .damage = 0.0f, .owner = kOwnerEnemy}) {}

void BallLauncher::Update() {
  if (!alive) return;
  ++frameCounter;
  const int32_t phase = frameCounter % kLauncher.cycle;
  if (phase < kLauncher.chargeFor && frameCounter % kLauncher.sparkEvery == 0) {
    // Sparks start on a sphere round the launcher and fly in.
    const float a = static_cast<float>(RandomInt(180) - 90);
    const float b = static_cast<float>(RandomInt(360));
    const port::Vec3 from = position + DirectionFromAngles(a, b, 0.0f) * kLauncher.sparkFrom;
    ParticleEffect::Spawn(from.x, from.y, from.z, 1.0f, a, b, kLauncher.sparkSpeed,
                          kParticleDustSlow, 1);
  }
  if (frameCounter < kLauncher.chargeFor && frameCounter % 2 == 0) {
    ParticleEffect::Spawn(position.x, position.y, position.z,
                          static_cast<float>(phase) * kLauncher.glowGrowth, 0.0f, 0.0f, 0.0f,
                          kParticleCharge, 1);
  }
  if (frameCounter == 1) {
    g_sound.PlaySoundAt(position.x, position.y, position.z, kSoundLauncher, kQuieter20dB);
  }
  if (frameCounter == kLauncher.fireAt) {
    alive = 0;
    g_sound.PlaySoundAt(position.x, position.y, position.z, kSoundLaunch, kQuieter10dB);
    LargeBall1::Spawn({.at = position,
                       .heading = rotation.y,
                       .speed = kLauncher.ballSpeed,
                       .damage = kLauncher.ballDamage});
  }
}
