#pragma once
// An animated lightning beam: two crossed quads showing one picture of a 2 x 2 atlas.
#include <cstdint>

#include "world/Effect.h"

namespace port::gpu {
class Device;
}

struct ThunderSpawn {
  port::Vec3 at;
  float scale = 1.0f;
  float pitch = 0.0f;  // degrees
  float yaw = 0.0f;
  uint8_t active = 1;
};

class ThunderEffect : public Effect {
 public:
  ThunderEffect() { type = kEffectThunder; }

  static ThunderEffect* Spawn(const ThunderSpawn& spawn);
  static void LoadResources(port::gpu::Device* device);
  static void ReleaseResources();

  void Init(const ThunderSpawn& spawn);
  void Update() override;
  void DrawAdditive(port::Matrix view, port::Matrix projection) override;

  int32_t picture = 0;  // 0..3: top-left, top-right, bottom-left, bottom-right
  float pitch = 0.0f;
  float yaw = 0.0f;
  float scale = 1.0f;
};
