#include "render/ToonDraw.h"

#include "port/effect.h"
#include "render/EffectHolder.h"
#include "render/SkinnedModel.h"
#include "render/Texture.h"

using port::gpu::RenderState;

namespace {

constexpr uint32_t kOutlinePass = 1;
constexpr uint32_t kShadedPass = 0;

}  // namespace

void DrawToonModel(port::gpu::Device* device, SkinnedModel& model, EffectHolder& effect,
                   Texture* ramp, const port::Vec4* tint) {
  const uint32_t cull = device->GetRenderState(RenderState::CullMode);
  const uint32_t zWrite = device->GetRenderState(RenderState::ZWriteEnable);
  port::gpu::Texture* stage0 = device->GetTexture(0);
  if (stage0) stage0->AddRef();  // kept while the stage holds the ramp
  device->SetTexture(0, ramp ? ramp->Get() : nullptr);
  device->SetRenderState(RenderState::CullMode, port::gpu::CullCW);
  device->SetRenderState(RenderState::ZWriteEnable, 0);
  effect.Begin(kOutlinePass, 0);
  model.Render(0);
  effect.End();
  device->SetRenderState(RenderState::ZWriteEnable, 1);
  device->SetRenderState(RenderState::CullMode, port::gpu::CullCCW);
  effect.Begin(kShadedPass, 0);
  if (tint) {
    if (port::Effect* fx = effect.GetEffect()) fx->SetVector(fx->GetParameterByName("vCol"), *tint);
  }
  model.Render(tint ? 0 : 1);
  effect.End();
  device->SetRenderState(RenderState::CullMode, cull);
  device->SetRenderState(RenderState::ZWriteEnable, zWrite);
  device->SetTexture(0, stage0);
  port::SafeRelease(stage0);
}
