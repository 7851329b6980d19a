#include "render/CircleShadow.h"

#include "render/Billboard.h"

namespace {
Texture g_circleShadowTexture;
}  // namespace

Texture& CircleShadowTexture() { return g_circleShadowTexture; }

void LoadCircleShadow(port::gpu::Device* device) {
  if (g_circleShadowTexture.IsLoaded()) return;
  g_circleShadowTexture.Load(device, "data/circle_shadow.png", 0);
}

void ReleaseCircleShadow() { g_circleShadowTexture.Release(); }

void DrawCircleShadow(port::gpu::Device* device, float x, float y, float z, float size, int alpha) {
  using port::gpu::RenderState;
  if (!device || device != port::gpu::Device::Current()) return;
  device->SetTransform(port::gpu::TransformType::World, port::MatrixTranslation(x, y, z));

  const port::Argb colour = (static_cast<uint32_t>(alpha) << 24) | 0xFFFFFFu;
  QuadVertex quad[4];
  SetQuadVertex(&quad[0], -size, 0.0f, -size, colour, 0.0f, 0.0f);
  SetQuadVertex(&quad[1], -size, 0.0f, size, colour, 0.0f, 1.0f);
  SetQuadVertex(&quad[2], size, 0.0f, size, colour, 1.0f, 1.0f);
  SetQuadVertex(&quad[3], size, 0.0f, -size, colour, 1.0f, 0.0f);

  // The states this draw changes are put back as they were.
  const uint32_t lighting = device->GetRenderState(RenderState::Lighting);
  const uint32_t srcBlend = device->GetRenderState(RenderState::SrcBlend);
  const uint32_t destBlend = device->GetRenderState(RenderState::DestBlend);
  device->SetRenderState(RenderState::SrcBlend, port::gpu::BlendZero);
  device->SetRenderState(RenderState::DestBlend, port::gpu::BlendInvSrcColor);
  device->SetRenderState(RenderState::Lighting, 0);
  device->SetTexture(0, g_circleShadowTexture.Get());
  device->SetFVF(kQuadFvf);
  device->DrawPrimitiveUP(port::gpu::TriangleFan, 2, quad, sizeof(QuadVertex));
  device->SetRenderState(RenderState::Lighting, lighting);
  device->SetRenderState(RenderState::SrcBlend, srcBlend);
  device->SetRenderState(RenderState::DestBlend, destBlend);
}
