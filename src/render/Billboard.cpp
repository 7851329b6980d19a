#include "render/Billboard.h"

#include <cstring>

namespace {
// The device of the last Billboard::Create.
port::gpu::Device* g_billboardDevice = nullptr;
}  // namespace

void SetQuadVertex(QuadVertex* vertex, float x, float y, float z, port::Argb colour, float u,
                   float v) {
  if (!vertex) return;
  *vertex = QuadVertex{x, y, z, colour, u, v};
}

Billboard::~Billboard() { Release(); }

port::gpu::Device* Billboard::DrawDevice() { return g_billboardDevice; }

bool Billboard::Create(port::gpu::Device* device) {
  Release();
  g_billboardDevice = device;
  if (!device) return false;
  buffer_ = device->CreateBuffer(sizeof(QuadVertex) * 4, false);
  if (!buffer_) return false;
  auto* v = static_cast<QuadVertex*>(buffer_->Lock());
  if (!v) {
    Release();
    return false;
  }
  SetQuadVertex(&v[0], -1.0f, 1.0f, 0.0f, 0xFFFFFFFFu, 1.0f, 0.0f);
  SetQuadVertex(&v[1], 1.0f, 1.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 0.0f);
  SetQuadVertex(&v[2], 1.0f, -1.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 1.0f);
  SetQuadVertex(&v[3], -1.0f, -1.0f, 0.0f, 0xFFFFFFFFu, 1.0f, 1.0f);
  buffer_->Unlock();
  return true;
}

void Billboard::Draw(port::Matrix world, port::gpu::Texture* texture) {
  port::gpu::Device* device = g_billboardDevice;
  if (!device || !buffer_ || device != port::gpu::Device::Current()) return;
  device->SetTransform(port::gpu::TransformType::World, world);
  device->SetFVF(kQuadFvf);
  device->SetTexture(0, texture);
  device->SetStreamSource(buffer_, 0, sizeof(QuadVertex));
  device->DrawPrimitive(port::gpu::TriangleFan, 0, 2);
}

void Billboard::Release() { port::SafeRelease(buffer_); }
