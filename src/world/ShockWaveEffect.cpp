#include "world/ShockWaveEffect.h"

#include "world/EffectList.h"

ShockWaveEffect* ShockWaveEffect::Spawn(float x, float y, float z, float pitch, float yaw, float roll,
                                        float spare, uint8_t active) {
  ShockWaveEffect* s = g_effects.ReuseOrAdd<ShockWaveEffect>(kEffectShockWave);
  s->Init(x, y, z, pitch, yaw, roll, spare, active);
  return s;
}

void ShockWaveEffect::Init(float x, float y, float z, float pitch_, float yaw_, float roll_, float,
                           uint8_t active_) {
  position = {x, y, z};
  pitch = pitch_;
  yaw = yaw_;
  roll = roll_;
  size = 0.0f;
  active = active_;
  age = 0;
}

void ShockWaveEffect::Update() {
  if (!active) return;
  ++age;
  size += 1.3f;
  if (age > 15) active = 0;
}
