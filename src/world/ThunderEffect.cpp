#include "world/ThunderEffect.h"

#include "world/EffectList.h"
#include "world/MathHelpers.h"

ThunderEffect* ThunderEffect::Spawn(float x, float y, float z, float scale, float pitch, float yaw,
                                    float spare, uint8_t active) {
  ThunderEffect* t = g_effects.ReuseOrAdd<ThunderEffect>(kEffectThunder);
  t->Init(x, y, z, scale, pitch, yaw, spare, active);
  return t;
}

void ThunderEffect::Init(float x, float y, float z, float scale_, float pitch_, float yaw_, float,
                         uint8_t active_) {
  position = {x, y, z};
  scale = scale_;
  pitch = pitch_;
  yaw = yaw_;
  active = active_;
  age = 0;
  // RandomInt(4) is 4 once in 32768 draws; the atlas has four pictures.
  picture = RandomInt(4) % 4;
}

void ThunderEffect::Update() {
  if (!active) return;
  ++age;
  if (age % 2 == 0) picture = (picture + 1) % 4;
  if (age > 15) active = 0;
}
