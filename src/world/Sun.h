#pragma once
// Stand-in for the sun until its class is written: no mesh, a fixed light.
#include <cstdint>

#include "port/math.h"

namespace port::gpu {
class Device;
}

class Sun {
 public:
  void Init(port::gpu::Device* device, uint8_t withMesh) {}
  void SetPosition(float pitch, float yaw, float distance) {}
  void Draw() {}
  port::Vec4 GetLightDirection() const { return {-0.4f, -0.8f, 0.45f, 0.0f}; }
};

extern Sun g_sun;
