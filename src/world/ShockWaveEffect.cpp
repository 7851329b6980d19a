#include "world/ShockWaveEffect.h"

#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "render/Billboard.h"
#include "render/Texture.h"
#include "world/EffectList.h"

namespace {

struct Resources {
  port::gpu::Device* device = nullptr;
  Texture ring;
  Billboard billboard;
};

// Class-wide, and never destroyed (see the effect list's release at exit).
Resources& Shared() {
  static Resources* resources = new Resources;
  return *resources;
}

}  // namespace

ShockWaveEffect* ShockWaveEffect::Spawn(const ShockWaveSpawn& spawn) {
  ShockWaveEffect* s = g_effects.ReuseOrAdd<ShockWaveEffect>(kEffectShockWave);
  s->Init(spawn);
  return s;
}

void ShockWaveEffect::Init(const ShockWaveSpawn& spawn) {
  position = spawn.at;
  pitch = spawn.pitch;
  yaw = spawn.yaw;
  roll = spawn.roll;
  size = 0.0f;
  active = spawn.active;
  age = 0;
}

void ShockWaveEffect::Update() {
  if (!active) return;
  ++age;
  size += 1.3f;
  if (age > 15) active = 0;
}

void ShockWaveEffect::LoadResources(port::gpu::Device* device) {
  Resources& r = Shared();
  r.device = device;
  r.ring.Load(device, "texture/effect/shock_wave1.png", 0);
  r.billboard.Create(device);
}

void ShockWaveEffect::ReleaseResources() {
  Shared().ring.Release();
  Shared().billboard.Release();
}

void ShockWaveEffect::Draw(port::Matrix, port::Matrix) {
  if (!active) return;
  Resources& r = Shared();
  if (!r.device || r.device != port::gpu::Device::Current()) return;
  // The quad laid flat on the ground, then turned.
  const port::Matrix world =
      port::MatrixScaling(size, size, 1.0f) * port::MatrixRotationX(90.0f * kDegToRad) *
      port::MatrixRotationZ(roll * kDegToRad) * port::MatrixRotationX(pitch * kDegToRad) *
      port::MatrixRotationY(yaw * kDegToRad) *
      port::MatrixTranslation(position.x, position.y, position.z);
  r.device->SetRenderState(port::gpu::RenderState::CullMode, port::gpu::CullNone);
  r.billboard.Draw(world, r.ring.Get());
  r.device->SetRenderState(port::gpu::RenderState::CullMode, port::gpu::CullCCW);
}
