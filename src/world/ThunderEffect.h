#pragma once
// An animated lightning beam: two crossed quads showing one picture of a 2 x 2 atlas.
#include <cstdint>

#include "world/Effect.h"

namespace port::gpu {
class Device;
}

class ThunderEffect : public Effect {
 public:
  ThunderEffect() { type = kEffectThunder; }

  static ThunderEffect* Spawn(float x, float y, float z, float scale, float pitch, float yaw,
                              float spare, uint8_t active);
  static void LoadResources(port::gpu::Device* device);
  static void ReleaseResources();

  void Init(float x, float y, float z, float scale, float pitch, float yaw, float spare,
            uint8_t active);
  void Update() override;
  void DrawAdditive(port::Matrix view, port::Matrix projection) override;

  int32_t picture = 0;  // 0..3: top-left, top-right, bottom-left, bottom-right
  float pitch = 0.0f;
  float yaw = 0.0f;
  float scale = 1.0f;
};
