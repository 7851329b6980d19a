#pragma once
// The list that owns every visual effect of a scene (g_effects).
#include <memory>

#include "port/math.h"
#include "world/Effect.h"
#include "world/ListSlots.h"

namespace port::gpu {
class Device;
}

class EffectList : public ListSlots<Effect> {
 public:
  EffectList() = default;
  ~EffectList();

  // Stores the device and loads the four effect classes' shared resources.
  void Init(port::gpu::Device* device);
  // Releases them again and clears the list; a second call does nothing more.
  void Release();

  int Add(std::unique_ptr<Effect> effect) { return ListSlots::Add(std::move(effect)); }
  // The first inactive effect of the type, or -1.
  int FindReusable(int type) const;
  void UpdateAll();
  void Clear() { ClearSlots(); }

  // Stores the device without loading anything.
  void SetDevice(port::gpu::Device* device) { device_ = device; }
  port::gpu::Device* GetDevice() const { return device_; }

  // The alpha-blended pass, then the additive pass without depth writes.
  void DrawAll(port::Matrix view, port::Matrix projection);

  // The spawn contract: an inactive effect of the type when there is one,
  // else a new one registered in the list. The caller initialises it.
  template <typename T>
  T* ReuseOrAdd(int type) {
    const int i = FindReusable(type);
    if (i >= 0) {
      if (T* reused = dynamic_cast<T*>(At(static_cast<size_t>(i)))) return reused;
    }
    auto made = std::make_unique<T>();
    T* effect = made.get();
    Add(std::move(made));
    return effect;
  }

 private:
  port::gpu::Device* device_ = nullptr;
  bool classesLoaded_ = false;
};

extern EffectList g_effects;
