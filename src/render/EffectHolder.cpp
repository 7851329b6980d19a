#include "render/EffectHolder.h"

EffectHolder::~EffectHolder() { Release(); }

bool EffectHolder::Create(port::gpu::Device* device, const char* path, const char* techniqueName) {
  device_ = device;
  Release();
  lastError_.clear();
  if (!path || !techniqueName) return false;
  port::Effect* effect = nullptr;
  if (port::Failed(port::Effect::CreateFromFile(device, path, &effect, &lastError_))) return false;
  // Without its technique the effect is no use: the models must fall back.
  port::EffectHandle technique = effect->GetTechniqueByName(techniqueName);
  if (technique == 0 || port::Failed(effect->SetTechnique(technique))) {
    lastError_ = std::string("no technique ") + techniqueName;
    effect->Release();
    return false;
  }
  uint32_t passes = 0;
  effect->Begin(&passes, 0);
  effect->End();
  effect_ = effect;
  technique_ = technique;
  passCount_ = passes;
  return true;
}

void EffectHolder::Begin(uint32_t pass, uint32_t flags) {
  if (!effect_) return;
  effect_->SetTechnique(technique_);
  effect_->Begin(nullptr, flags);
  effect_->Pass(pass);
}

void EffectHolder::End() {
  if (effect_) effect_->End();
}

void EffectHolder::Release() {
  port::SafeRelease(effect_);
  technique_ = 0;
  passCount_ = 0;
}
