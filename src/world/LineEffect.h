#pragma once
// A small mesh streak flying off along its direction.
#include <cstdint>

#include "world/Effect.h"

namespace port::gpu {
class Device;
}

class LineEffect : public Effect {
 public:
  LineEffect() { type = kEffectLine; }

  static LineEffect* Spawn(float x, float y, float z, float scale, float pitch, float yaw,
                           float speed, uint8_t active);
  static void LoadResources(port::gpu::Device* device);
  static void ReleaseResources();

  void Init(float x, float y, float z, float scale, float pitch, float yaw, float speed,
            uint8_t active);
  void Update() override;
  void Draw(port::Matrix view, port::Matrix projection) override;

  float scale = 1.0f;
  float pitch = 0.0f;
  float yaw = 0.0f;
  float speed = 0.0f;
};
