#pragma once
// A unit quad drawn with a world matrix and a texture (particles and the like).
#include <cstdint>

#include "port/gpu.h"
#include "port/math.h"

// One vertex of the XYZ | DIFFUSE | TEX1 format (0x142), 24 bytes.
struct QuadVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};
static_assert(sizeof(QuadVertex) == 24);
constexpr uint32_t kQuadFvf = 0x142;

void SetQuadVertex(QuadVertex* vertex, float x, float y, float z, port::Argb colour, float u,
                   float v);

class Billboard {
 public:
  Billboard() = default;
  Billboard(const Billboard&) = delete;
  Billboard& operator=(const Billboard&) = delete;
  ~Billboard();

  // Records the device for every billboard draw and builds the quad in the
  // x-y plane facing -z, u running from +x to -x. A quad already held is
  // released first, so creating again on each scene start does not leak.
  bool Create(port::gpu::Device* device);
  // Draws the quad as a fan; render states are the caller's.
  void Draw(port::Matrix world, port::gpu::Texture* texture);
  void Release();

  port::gpu::Buffer* Buffer() const { return buffer_; }
  // The device every billboard draws with: the one of the last Create.
  static port::gpu::Device* DrawDevice();

 private:
  port::gpu::Buffer* buffer_ = nullptr;
};
