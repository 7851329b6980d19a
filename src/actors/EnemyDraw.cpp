// The enemy scheme on screen: the on-screen test, the figure posed once a
// frame and drawn by the class model's method (with the outline pass of the
// toon effect), the one-colour tint, and the circle shadow.
#include "actors/Enemy.h"
#include "platform/MathHelpers.h"
#include "port/effect.h"
#include "render/CircleShadow.h"
#include "render/EffectHolder.h"
#include "render/MaterialColor.h"
#include "render/Texture.h"

using port::gpu::RenderState;

namespace {

constexpr int32_t kShadowAlpha = 255;
constexpr uint32_t kShadedPass = 0, kOutlinePass = 1, kSecondPass = 2;

}  // namespace

port::Matrix Enemy::WorldMatrix() const {
  return port::MatrixScaling(1.0f, 1.0f, 1.0f) *
         port::MatrixRotationZ((angle.z + extraRotation.z) * kDegToRad) *
         port::MatrixRotationX((angle.x + extraRotation.x) * kDegToRad) *
         port::MatrixRotationY((angle.y + extraRotation.y) * kDegToRad) *
         port::MatrixTranslation(position.x, position.y, position.z);
}

bool Enemy::TestOnScreen(port::Matrix world, port::Matrix view, port::Matrix projection) {
  const port::Vec4 p = ProjectToClipW(world, view, projection);
  const float r = shared.model.GetRadius();
  bool on = p.w > 0.0f;
  if (on) {
    const float reach = 1.0f + r / p.w;
    on = p.x >= -reach && p.x <= reach && p.y >= -reach && p.y <= reach;
  }
  onScreen = on ? 1 : 0;
  return on;
}

void Enemy::Pose(bool loop) {
  if (animated) return;
  shared.model.Animate(tracks, loop, nullptr);
  animated = 1;
}

port::Matrix Enemy::PrepareModel(const port::Matrix& view, const port::Matrix& projection,
                                 const port::Vec4& light) {
  SkinnedModel& model = shared.model;
  const port::Matrix world = WorldMatrix();
  model.SetView(view);
  model.SetProjection(projection);
  model.SetWorld(world);
  model.SetLight(light.x, light.y, light.z, light.w, nullptr);
  return world;
}

void Enemy::DrawShadow(int32_t alpha) const {
  if (!shared.device) return;
  DrawCircleShadow(shared.device, position.x, shadowHeight, position.z, traits.shadowSize, alpha);
}

void Enemy::Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {
  if (!alive) return;
  const port::Matrix world = PrepareModel(view, projection, lightDirection);
  if (TestOnScreen(world, view, projection)) {
    Pose(true);
    Render();
  }
  DrawShadow(kShadowAlpha);
}

void Enemy::Render() {
  SkinnedModel& model = shared.model;
  port::gpu::Device* device = shared.device;
  if (!device) return;
  port::Vec4 tint;
  const bool tinted = Tint(&tint);
  if (model.GetMethod() == SkinnedModel::kMethodSoftware) {
    if (tinted) {
      port::gpu::Material m;
      SetMaterialColor(&m, tint.x, tint.y, tint.z, tint.w);
      model.SetMaterial(m);
    }
    model.Render(tinted ? 0 : 1);
    return;
  }

  EffectHolder* effect = shared.effect;
  if (!effect) return;
  const uint32_t cull = device->GetRenderState(RenderState::CullMode);
  const uint32_t zWrite = device->GetRenderState(RenderState::ZWriteEnable);
  port::gpu::Texture* stage0 = device->GetTexture(0);
  if (stage0) stage0->AddRef();  // kept while the stage holds the ramp
  device->SetTexture(0, shared.toonRamp ? shared.toonRamp->Get() : nullptr);
  device->SetRenderState(RenderState::CullMode, port::gpu::CullCW);
  device->SetRenderState(RenderState::ZWriteEnable, 0);
  effect->Begin(kOutlinePass, 0);
  model.Render(0);
  effect->End();
  device->SetRenderState(RenderState::ZWriteEnable, 1);
  device->SetRenderState(RenderState::CullMode, port::gpu::CullCCW);
  effect->Begin(kShadedPass, 0);
  if (tinted) {
    if (port::Effect* fx = effect->GetEffect()) {
      fx->SetVector(fx->GetParameterByName("vCol"), tint);
    }
  }
  model.Render(tinted ? 0 : 1);
  effect->End();
  device->SetRenderState(RenderState::CullMode, cull);
  device->SetRenderState(RenderState::ZWriteEnable, zWrite);
  device->SetTexture(0, stage0);
  port::SafeRelease(stage0);
}

void Enemy::DrawSecondPass(port::Matrix view, port::Matrix projection) {
  if (!alive) return;
  SkinnedModel& model = shared.model;
  model.SetView(view);
  model.SetProjection(projection);
  model.SetWorld(WorldMatrix());
  // A levy pose is held, not wrapped.
  Pose(animId != kAnimLevy);
  EffectHolder* effect = shared.effect;
  if (effect) effect->Begin(kSecondPass, 0);
  model.Render(1);
  if (effect) effect->End();
}
