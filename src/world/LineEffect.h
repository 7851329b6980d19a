#pragma once
// A small mesh streak flying off along its direction.
#include <cstdint>

#include "world/Effect.h"

namespace port::gpu {
class Device;
}

struct LineSpawn {
  port::Vec3 at;
  float scale = 1.0f;
  float pitch = 0.0f;  // degrees
  float yaw = 0.0f;    // degrees
  float speed = 0.0f;  // units a frame
  uint8_t active = 1;
};

class LineEffect : public Effect {
 public:
  LineEffect() { type = kEffectLine; }

  static LineEffect* Spawn(const LineSpawn& spawn);
  static void LoadResources(port::gpu::Device* device);
  static void ReleaseResources();

  void Init(const LineSpawn& spawn);
  void Update() override;
  void Draw(port::Matrix view, port::Matrix projection) override;

  float scale = 1.0f;
  float pitch = 0.0f;
  float yaw = 0.0f;
  float speed = 0.0f;
};
