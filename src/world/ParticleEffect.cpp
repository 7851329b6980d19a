#include "world/ParticleEffect.h"

#include "world/EffectList.h"
#include "world/MathHelpers.h"

namespace {
port::Vec3 DirectionOf(float pitch, float yaw) {
  return port::Vec3TransformCoord({0.0f, 0.0f, 1.0f},
                                  port::MatrixRotationYawPitchRoll(yaw * kDegToRad, pitch * kDegToRad, 0.0f));
}
}  // namespace

ParticleEffect* ParticleEffect::Spawn(float x, float y, float z, float scale, float pitch, float yaw,
                                      float speed, int32_t kind, uint8_t active) {
  ParticleEffect* p = g_effects.ReuseOrAdd<ParticleEffect>(kEffectParticle);
  p->Init(x, y, z, scale, pitch, yaw, speed, kind, active);
  return p;
}

ParticleEffect* ParticleEffect::SpawnUnitScale(float x, float y, float z, float pitch, float yaw,
                                               float speed, int32_t kind, uint8_t active) {
  return Spawn(x, y, z, 1.0f, pitch, yaw, speed, kind, active);
}

void ParticleEffect::Init(float x, float y, float z, float scale_, float pitch, float yaw,
                          float speed_, int32_t kind_, uint8_t active_) {
  position = {x, y, z};
  scale = scale_;
  speed = speed_;
  kind = kind_;
  active = active_;
  age = 0;
  direction = DirectionOf(pitch, yaw);
  spin = static_cast<float>(RandomInt(360));
}

void ParticleEffect::Update() {
  if (!active) return;
  ++age;
  bool ends = false;
  switch (kind) {
    case kParticleGlow:
      ends = age > 20;
      break;
    case kParticleGlowShrink:
      scale -= 0.03f;
      ends = age > 15 || scale < 0.0f;
      break;
    case kParticleSpark:
      ends = age > 3;
      break;
    case kParticleSparkShrink:
      scale -= 0.03f;
      ends = scale < 0.0f;
      break;
    case kParticleDust:
      scale -= 0.1f;
      ends = scale < 1.0f;
      break;
    case kParticleDustSlow:
      scale -= 0.05f;
      ends = scale < 0.5f;
      break;
    case kParticleHit:
      scale += 0.1f;
      ends = age > 15;
      break;
    case kParticleCharge:
      scale += 0.2f;
      ends = age > 5;
      break;
    case kParticleStar:
      spin += 3.0f;
      ends = age > 20;
      break;
    case kParticleStarPulse:
      if (age == 1) scale = 0.1f;
      if (age <= 30) {
        scale -= 0.05f;
      } else {
        scale += 0.05f;
      }
      ends = age >= 60;
      break;
    case kParticleSmoke:
      scale += 0.03f;
      ends = age > 20;
      break;
    default:  // kParticleNone and unknown kinds only age
      ends = age > 20;
      break;
  }
  if (ends) active = 0;
  position += direction * speed;
}
