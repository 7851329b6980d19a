#include "world/StageField.h"

#include "port/gpu.h"

using port::gpu::RenderState;
using port::gpu::SamplerState;

namespace {

// How each draw mode treats the ground.
struct DrawModeRule {
  bool drawn;        // modes 6 to 9 and unknown ones draw nothing
  float scale;       // world scale of both meshes
  bool wrap;         // sampler 0 wraps while drawing, clamps afterwards
  bool alphaCutout;  // alpha reference 150 for the ground's cut-outs
  bool lit;          // the ground is lit
};

DrawModeRule RuleFor(int32_t mode) {
  switch (mode) {
    case 1:
      return {true, 1.0f, false, true, false};
    case 2:
      return {true, 1.0f, true, true, true};
    case 3:
      return {true, 0.4f, true, true, false};
    case 4:
      return {true, 1.0f, true, false, true};
    case 5:
      return {true, 0.8f, true, false, true};
    case 10:
      return {true, 1.0f, true, true, true};
    default:
      return {false, 1.0f, false, false, false};
  }
}

constexpr uint32_t kCutoutAlphaRef = 150;
constexpr uint32_t kDefaultAlphaRef = 5;

}  // namespace

StageField::StageField() { resources.Init(); }

StageField::~StageField() { Release(); }

void StageField::Init(port::gpu::Device* device_) {
  device = device_;
  drawMode = 1;
}

void StageField::LoadGround(const char* path) {
  ground.Release();
  ground.Load(device, path);
}

void StageField::LoadRound(const char* path) {
  round.Release();
  round.Load(device, path);
}

void StageField::LoadCollision(const char* path) {
  collision.Release();
  // A mesh that failed to load stays empty and has nothing to lock.
  if (collision.Load(device, path)) collision.LockForCollision();
}

void StageField::Release() {
  resources.Release();
  round.Release();
  collision.Release();
  ground.Release();
}

void StageField::Draw(port::Matrix, port::Matrix, port::Vec4) {
  if (!device) return;
  const DrawModeRule rule = RuleFor(drawMode);
  const port::Matrix world = port::MatrixScaling(rule.scale, rule.scale, rule.scale) *
                             port::MatrixTranslation(0.0f, 0.0f, 0.0f);
  device->SetTransform(port::gpu::TransformType::World, world);
  device->SetRenderState(RenderState::Lighting, 0);
  if (!rule.drawn) return;

  if (rule.wrap) {
    device->SetSamplerState(0, SamplerState::AddressU, port::gpu::AddressWrap);
    device->SetSamplerState(0, SamplerState::AddressV, port::gpu::AddressWrap);
  }
  if (RoundGoesLast(rule.lit)) {
    // The round mesh finds the alpha reference it would have found first.
    const uint32_t alphaRef = device->GetRenderState(RenderState::AlphaRef);
    DrawGround(rule.lit, rule.alphaCutout);
    if (rule.alphaCutout) device->SetRenderState(RenderState::AlphaRef, alphaRef);
    DrawRoundBehind();
    if (rule.alphaCutout) device->SetRenderState(RenderState::AlphaRef, kDefaultAlphaRef);
  } else {
    device->SetRenderState(RenderState::ZEnable, 0);
    round.Draw();
    DrawGround(rule.lit, rule.alphaCutout);
  }
  if (rule.wrap) {
    device->SetSamplerState(0, SamplerState::AddressU, port::gpu::AddressClamp);
    device->SetSamplerState(0, SamplerState::AddressV, port::gpu::AddressClamp);
  }
  // The field is most of the picture's pixels: rasterised, with whatever
  // the viewport before it held, while the figures are sent.
  device->Submit();
}

// Drawn first, the round mesh is covered wherever a ground fragment passes
// its tests; drawn after, only where the depth is still the cleared 1. Those
// are the same pixels, with the same colours, when every kept ground fragment
// overwrites what is under it (blending cannot see the round mesh), writes its
// depth, and lands nearer than 1: a fragment at the far end itself fails a
// strict less-than test against the cleared depth either way. Cut-outs the
// alpha test drops write nothing, in both orders.
bool StageField::RoundGoesLast(bool groundLit) const {
  return roundAfterGround && round.GetMesh() && ground.GetMesh() &&
         device == StaticMesh::DrawDevice() &&
         device->GetRenderState(RenderState::ZWriteEnable) != 0 &&
         device->GetRenderState(RenderState::ZFunc) == port::gpu::CmpLess &&
         ground.DrawOverwrites(groundLit);
}

void StageField::DrawGround(bool lit, bool alphaCutout) {
  device->SetRenderState(RenderState::ZEnable, 1);
  if (alphaCutout) device->SetRenderState(RenderState::AlphaRef, kCutoutAlphaRef);
  if (lit) device->SetRenderState(RenderState::Lighting, 1);
  ground.Draw();
  if (lit) device->SetRenderState(RenderState::Lighting, 0);
  if (alphaCutout) device->SetRenderState(RenderState::AlphaRef, kDefaultAlphaRef);
}

// The round mesh pinned to the far end of the depth range, tested against
// the depth without writing it: it shows only where nothing was drawn.
void StageField::DrawRoundBehind() {
  const port::gpu::Viewport viewport = device->GetViewport();
  const uint32_t zFunc = device->GetRenderState(RenderState::ZFunc);
  const uint32_t zWrite = device->GetRenderState(RenderState::ZWriteEnable);
  port::gpu::Viewport farEnd = viewport;
  farEnd.minZ = farEnd.maxZ = 1.0f;
  device->SetViewport(farEnd);
  device->SetRenderState(RenderState::ZFunc, port::gpu::CmpLessEqual);
  device->SetRenderState(RenderState::ZWriteEnable, 0);
  round.Draw();
  device->SetRenderState(RenderState::ZFunc, zFunc);
  device->SetRenderState(RenderState::ZWriteEnable, zWrite);
  device->SetViewport(viewport);
}

bool StageField::RayCast(const port::Vec3* origin, const port::Vec3* direction, float* distance) {
  if (!origin || !direction || !distance) return false;
  return collision.Intersect(*origin, *direction, distance);
}

bool StageField::RayCastNormal(const port::Vec3* origin, const port::Vec3* direction,
                               float* distance, port::Vec3* normal) {
  if (!origin || !direction || !distance) return false;
  return collision.IntersectNormal(*origin, *direction, distance, normal);
}
