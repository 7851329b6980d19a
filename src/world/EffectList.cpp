#include "world/EffectList.h"

#include "port/gpu.h"
#include "world/LineEffect.h"
#include "world/ParticleEffect.h"
#include "world/ShockWaveEffect.h"
#include "world/ThunderEffect.h"

using port::gpu::RenderState;

EffectList::~EffectList() { Release(); }

void EffectList::Init(port::gpu::Device* device) {
  device_ = device;
  ParticleEffect::LoadResources(device);
  ThunderEffect::LoadResources(device);
  ShockWaveEffect::LoadResources(device);
  LineEffect::LoadResources(device);
  classesLoaded_ = true;
}

void EffectList::Release() {
  if (classesLoaded_) {
    ParticleEffect::ReleaseResources();
    ThunderEffect::ReleaseResources();
    ShockWaveEffect::ReleaseResources();
    LineEffect::ReleaseResources();
    classesLoaded_ = false;
  }
  Clear();
}

int EffectList::FindReusable(int type) const {
  for (size_t i = 0; i < slots_.size(); ++i) {
    const Effect* e = slots_[i].get();
    if (e && e->GetType() == type && !e->IsActive()) return static_cast<int>(i);
  }
  return -1;
}

void EffectList::UpdateAll() {
  ForEach([](Effect* e) { e->Update(); });
}

void EffectList::DrawAll(port::Matrix view, port::Matrix projection) {
  if (!device_) return;
  device_->SetRenderState(RenderState::Lighting, 0);
  ForEach([&](Effect* e) { e->Draw(view, projection); });
  device_->SetRenderState(RenderState::ZWriteEnable, 0);
  device_->SetRenderState(RenderState::SrcBlend, port::gpu::BlendOne);
  device_->SetRenderState(RenderState::DestBlend, port::gpu::BlendOne);
  ForEach([&](Effect* e) { e->DrawAdditive(view, projection); });
  device_->SetRenderState(RenderState::SrcBlend, port::gpu::BlendSrcAlpha);
  device_->SetRenderState(RenderState::DestBlend, port::gpu::BlendInvSrcAlpha);
  device_->SetRenderState(RenderState::ZWriteEnable, 1);
}
