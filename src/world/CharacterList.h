#pragma once
// The list that owns every character of a scene (g_characters), with the
// shared toon effect and ramp the character loaders receive.
#include <memory>

#include "port/math.h"
#include "render/EffectHolder.h"
#include "render/Texture.h"
#include "world/Character.h"
#include "world/ListSlots.h"

namespace port {
class Sprite;
namespace gpu {
class Device;
struct Caps;
}  // namespace gpu
}  // namespace port

class CharacterList : public ListSlots<Character> {
 public:
  CharacterList() = default;
  ~CharacterList();

  // Stores the device; with withEffect 1 or more creates the shared toon
  // effect and loads its ramp (either may fail: the effect is then absent);
  // loads the circle shadow; sets the samplers the models draw with.
  void Init(port::gpu::Device* device, const port::gpu::Caps& caps, int withEffect);
  // The same, always with the effect and without the circle shadow.
  void InitForSelect(port::gpu::Device* device);
  // The circle shadow, the characters, the effect and the ramp.
  void Release();
  // Null inside when no effect could be made.
  EffectHolder* GetToonEffect() { return &toonEffect_; }
  Texture* GetToonRamp() { return &toonRamp_; }

  void Add(std::unique_ptr<Character> character) { ListSlots::Add(std::move(character)); }
  // The first dead character of the kind, or -1.
  int FindReusable(int kind) const;
  int CountAlive() const;
  // Every non-null character, alive or not (each tests its own flag).
  void UpdateAll();
  void Clear() { ClearSlots(); }

  // Stores the device without loading anything.
  void SetDevice(port::gpu::Device* device) { device_ = device; }
  port::gpu::Device* GetDevice() const { return device_; }

  void DrawAll(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection);
  // Draws share `part` (1..parts) of the slots, so a scene can spread the
  // characters over several frames.
  void DrawSlice(float parts, float part, port::Matrix view, port::Matrix projection,
                 port::Vec4 lightDirection);
  void Draw2DAll(port::Sprite* sprite);

 private:
  void SetModelStates();

  port::gpu::Device* device_ = nullptr;
  EffectHolder toonEffect_;
  Texture toonRamp_;
};

extern CharacterList g_characters;
