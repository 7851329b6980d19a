#include "world/LineEffect.h"

#include "world/EffectList.h"
#include "world/MathHelpers.h"

LineEffect* LineEffect::Spawn(float x, float y, float z, float scale, float pitch, float yaw,
                              float speed, uint8_t active) {
  LineEffect* l = g_effects.ReuseOrAdd<LineEffect>(kEffectLine);
  l->Init(x, y, z, scale, pitch, yaw, speed, active);
  return l;
}

void LineEffect::Init(float x, float y, float z, float scale_, float pitch_, float yaw_, float speed_,
                      uint8_t active_) {
  position = {x, y, z};
  scale = scale_;
  pitch = pitch_;
  yaw = yaw_;
  speed = speed_;
  active = active_;
  age = 0;
  direction = port::Vec3TransformCoord(
      {0.0f, 0.0f, 1.0f}, port::MatrixRotationYawPitchRoll(yaw * kDegToRad, pitch * kDegToRad, 0.0f));
}

void LineEffect::Update() {
  if (!active) return;
  ++age;
  if (age > 10) active = 0;
  position += direction * speed;
}
