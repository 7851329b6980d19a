#include "world/CharacterList.h"

#include "port/gpu.h"
#include "render/CircleShadow.h"

using port::gpu::RenderState;
using port::gpu::SamplerState;

namespace {
constexpr const char* kToonEffectPath = "data/toonSkinEffect.fx";
constexpr const char* kToonTechnique = "TShader";
constexpr const char* kToonRampPath = "data/toon.bmp";

// trunc(v) kept within 0..count (a tiny parts value can make v huge).
size_t SlotBound(float v, size_t count) {
  if (!(v > 0.0f)) return 0;
  if (v >= static_cast<float>(count)) return count;
  return static_cast<size_t>(v);
}
}  // namespace

CharacterList::~CharacterList() = default;

void CharacterList::Init(port::gpu::Device* device, const port::gpu::Caps&, int withEffect) {
  device_ = device;
  if (withEffect >= 1) {
    toonEffect_.Create(device, kToonEffectPath, kToonTechnique);
    toonRamp_.Load(device, kToonRampPath, 0);
  }
  LoadCircleShadow(device);
  SetModelStates();
}

void CharacterList::InitForSelect(port::gpu::Device* device) {
  device_ = device;
  toonEffect_.Create(device, kToonEffectPath, kToonTechnique);
  toonRamp_.Load(device, kToonRampPath, 0);
  SetModelStates();
}

void CharacterList::Release() {
  ReleaseCircleShadow();
  Clear();
  toonEffect_.Release();
  toonRamp_.Release();
}

// The ramp on stage 0 is clamped; the decal on stage 1 wraps and is filtered.
void CharacterList::SetModelStates() {
  if (!device_) return;
  device_->SetSamplerState(1, SamplerState::AddressU, port::gpu::AddressWrap);
  device_->SetSamplerState(1, SamplerState::AddressV, port::gpu::AddressWrap);
  device_->SetSamplerState(0, SamplerState::AddressU, port::gpu::AddressClamp);
  device_->SetSamplerState(0, SamplerState::AddressV, port::gpu::AddressClamp);
  device_->SetTextureStageState(1, port::gpu::StageState::ColorOp, port::gpu::TexOpModulate);
  device_->SetSamplerState(1, SamplerState::MipFilter, port::gpu::FilterLinear);
  device_->SetSamplerState(1, SamplerState::MagFilter, port::gpu::FilterLinear);
  device_->SetSamplerState(1, SamplerState::MinFilter, port::gpu::FilterLinear);
}

int CharacterList::FindReusable(int kind) const {
  for (size_t i = 0; i < slots_.size(); ++i) {
    const Character* c = slots_[i].get();
    if (c && c->GetKind() == kind && !c->IsAlive()) return static_cast<int>(i);
  }
  return -1;
}

int CharacterList::CountAlive() const {
  int n = 0;
  for (const auto& c : slots_) {
    if (c && c->IsAlive()) ++n;
  }
  return n;
}

void CharacterList::UpdateAll() {
  ForEach([](Character* c) { c->Update(); });
}

void CharacterList::DrawAll(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {
  if (!device_) return;
  device_->LightEnable(0, true);
  device_->SetRenderState(RenderState::Lighting, 1);
  ForEach([&](Character* c) { c->Draw(view, projection, lightDirection); });
}

void CharacterList::DrawSlice(float parts, float part, port::Matrix view, port::Matrix projection,
                              port::Vec4 lightDirection) {
  const float perShare = static_cast<float>(slots_.size()) / parts;
  // Written so that NaN also draws nothing.
  if (!(parts > 0.0f) || !(part > 0.0f) || !(part <= parts)) return;
  if (!device_) return;
  device_->LightEnable(0, true);
  device_->SetRenderState(RenderState::Lighting, 1);
  const size_t first = SlotBound((part - 1.0f) * perShare, slots_.size());
  const size_t last = SlotBound(perShare * part, slots_.size());
  for (size_t i = first; i < last; ++i) {
    if (Character* c = slots_[i].get()) c->Draw(view, projection, lightDirection);
  }
  device_->SetRenderState(RenderState::Lighting, 0);
}

void CharacterList::Draw2DAll(port::Sprite* sprite) {
  ForEach([&](Character* c) { c->Draw2D(sprite); });
}
