#pragma once
// A flat ring that grows on the spot.
#include <cstdint>

#include "world/Effect.h"

namespace port::gpu {
class Device;
}

class ShockWaveEffect : public Effect {
 public:
  ShockWaveEffect() { type = kEffectShockWave; }

  static ShockWaveEffect* Spawn(float x, float y, float z, float pitch, float yaw, float roll,
                                float spare, uint8_t active);
  static void LoadResources(port::gpu::Device* device);
  static void ReleaseResources();

  void Init(float x, float y, float z, float pitch, float yaw, float roll, float spare,
            uint8_t active);
  void Update() override;
  void Draw(port::Matrix view, port::Matrix projection) override;

  float pitch = 0.0f;
  float yaw = 0.0f;
  float roll = 0.0f;
  float size = 0.0f;
};
