#include "world/LineEffect.h"

#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "render/StaticMesh.h"
#include "world/EffectList.h"

namespace {

struct Resources {
  port::gpu::Device* device = nullptr;
  StaticMesh mesh;
};

// Class-wide, and never destroyed (see the effect list's release at exit).
Resources& Shared() {
  static Resources* resources = new Resources;
  return *resources;
}

}  // namespace

LineEffect* LineEffect::Spawn(const LineSpawn& spawn) {
  LineEffect* l = g_effects.ReuseOrAdd<LineEffect>(kEffectLine);
  l->Init(spawn);
  return l;
}

void LineEffect::Init(const LineSpawn& spawn) {
  position = spawn.at;
  scale = spawn.scale;
  pitch = spawn.pitch;
  yaw = spawn.yaw;
  speed = spawn.speed;
  active = spawn.active;
  age = 0;
  direction = port::Vec3TransformCoord(
      {0.0f, 0.0f, 1.0f},
      port::MatrixRotationYawPitchRoll(yaw * kDegToRad, pitch * kDegToRad, 0.0f));
}

void LineEffect::Update() {
  if (!active) return;
  ++age;
  if (age > 10) active = 0;
  position += direction * speed;
}

void LineEffect::LoadResources(port::gpu::Device* device) {
  Shared().device = device;
  Shared().mesh.Load(device, "Xfile/kouka_line.x");
}

void LineEffect::ReleaseResources() { Shared().mesh.Release(); }

void LineEffect::Draw(port::Matrix, port::Matrix) {
  if (!active) return;
  Resources& r = Shared();
  if (!r.device || r.device != port::gpu::Device::Current()) return;
  const port::Matrix world = port::MatrixScaling(scale, scale, scale) *
                             port::MatrixRotationX(pitch * kDegToRad) *
                             port::MatrixRotationY(yaw * kDegToRad) *
                             port::MatrixTranslation(position.x, position.y, position.z);
  r.device->SetTransform(port::gpu::TransformType::World, world);
  r.mesh.Draw();
}
