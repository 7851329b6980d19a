#pragma once
// The shared toon effect: created from its file with a named technique, and
// begun on one pass at a time around each character's draw. An empty holder
// (no file, a file that does not compile, no such technique) does nothing,
// and the models then draw without it.
#include <string>

#include "port/effect.h"
#include "port/gpu.h"

class EffectHolder {
 public:
  EffectHolder() = default;
  EffectHolder(const EffectHolder&) = delete;
  EffectHolder& operator=(const EffectHolder&) = delete;
  ~EffectHolder();

  // Releases the effect held, then creates it from the file. False, and an
  // empty holder, when the file is missing, does not compile or lacks the technique.
  bool Create(port::gpu::Device* device, const char* path, const char* techniqueName);
  port::Effect* GetEffect() const { return effect_; }
  // SetTechnique, Begin and Pass(pass) on the effect; nothing when empty.
  void Begin(uint32_t pass, uint32_t flags);
  void End();
  void Release();

  uint32_t PassCount() const { return passCount_; }
  // The reason the last Create failed.
  const std::string& LastError() const { return lastError_; }

 private:
  port::gpu::Device* device_ = nullptr;
  port::Effect* effect_ = nullptr;
  port::EffectHandle technique_ = 0;
  uint32_t passCount_ = 0;
  std::string lastError_;
};
