#pragma once
// A flat ring that grows on the spot.
#include <cstdint>

#include "world/Effect.h"

namespace port::gpu {
class Device;
}

struct ShockWaveSpawn {
  port::Vec3 at;
  float pitch = 0.0f;  // degrees
  float yaw = 0.0f;
  float roll = 0.0f;
  uint8_t active = 1;
};

class ShockWaveEffect : public Effect {
 public:
  ShockWaveEffect() { type = kEffectShockWave; }

  static ShockWaveEffect* Spawn(const ShockWaveSpawn& spawn);
  static void LoadResources(port::gpu::Device* device);
  static void ReleaseResources();

  void Init(const ShockWaveSpawn& spawn);
  void Update() override;
  void Draw(port::Matrix view, port::Matrix projection) override;

  float pitch = 0.0f;
  float yaw = 0.0f;
  float roll = 0.0f;
  float size = 0.0f;
};
