#include "world/ThunderEffect.h"

#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "render/Billboard.h"
#include "render/Texture.h"
#include "world/EffectList.h"

namespace {

struct Resources {
  port::gpu::Device* device = nullptr;
  Texture atlas;  // 2 x 2 pictures
};

// Class-wide, and never destroyed (see the effect list's release at exit).
Resources& Shared() {
  static Resources* resources = new Resources;
  return *resources;
}

}  // namespace

ThunderEffect* ThunderEffect::Spawn(const ThunderSpawn& spawn) {
  ThunderEffect* t = g_effects.ReuseOrAdd<ThunderEffect>(kEffectThunder);
  t->Init(spawn);
  return t;
}

void ThunderEffect::Init(const ThunderSpawn& spawn) {
  position = spawn.at;
  scale = spawn.scale;
  pitch = spawn.pitch;
  yaw = spawn.yaw;
  active = spawn.active;
  age = 0;
  // RandomInt(4) is 4 once in 32768 draws; the atlas has four pictures.
  picture = RandomInt(4) % 4;
}

void ThunderEffect::Update() {
  if (!active) return;
  ++age;
  if (age % 2 == 0) picture = (picture + 1) % 4;
  if (age > 15) active = 0;
}

void ThunderEffect::LoadResources(port::gpu::Device* device) {
  Shared().device = device;
  Shared().atlas.Load(device, "texture/effect/thunder1.png", 0);
}

void ThunderEffect::ReleaseResources() { Shared().atlas.Release(); }

void ThunderEffect::DrawAdditive(port::Matrix, port::Matrix) {
  if (!active) return;
  Resources& r = Shared();
  port::gpu::Device* device = r.device;
  if (!device || device != port::gpu::Device::Current()) return;
  // A new turn about the beam every draw makes it flicker.
  const float spin = static_cast<float>(RandomInt(360));

  // The current quarter of the atlas, u mirrored, its top at the far end.
  const float u0 = static_cast<float>(picture % 2) * 0.5f;
  const float v0 = static_cast<float>(picture / 2) * 0.5f;
  QuadVertex quad[4];
  SetQuadVertex(&quad[0], -1.0f, 0.0f, 2.0f, 0xFFFFFFFFu, u0 + 0.5f, v0);
  SetQuadVertex(&quad[1], 1.0f, 0.0f, 2.0f, 0xFFFFFFFFu, u0, v0);
  SetQuadVertex(&quad[2], 1.0f, 0.0f, 0.0f, 0xFFFFFFFFu, u0, v0 + 0.5f);
  SetQuadVertex(&quad[3], -1.0f, 0.0f, 0.0f, 0xFFFFFFFFu, u0 + 0.5f, v0 + 0.5f);

  const port::Matrix s = port::MatrixScaling(0.5f * scale, 1.0f, scale);
  device->SetFVF(kQuadFvf);
  device->SetTexture(0, r.atlas.Get());
  device->SetRenderState(port::gpu::RenderState::CullMode, port::gpu::CullNone);
  const port::Matrix place = port::MatrixRotationX(pitch * kDegToRad) *
                             port::MatrixRotationY(yaw * kDegToRad) *
                             port::MatrixTranslation(position.x, position.y, position.z);
  // Two crossed planes make the beam.
  for (float k : {0.0f, 90.0f}) {
    const port::Matrix world = s * port::MatrixRotationZ((spin + k) * kDegToRad) * place;
    device->SetTransform(port::gpu::TransformType::World, world);
    device->DrawPrimitiveUP(port::gpu::TriangleFan, 2, quad, sizeof(QuadVertex));
  }
  device->SetRenderState(port::gpu::RenderState::CullMode, port::gpu::CullCCW);
}
