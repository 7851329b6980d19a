#pragma once
// The list that owns every character of a scene (g_characters), with the
// shared toon effect and ramp the character loaders receive.
#include <memory>

#include "port/math.h"
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
  port::gpu::Device* device_ = nullptr;
};

extern CharacterList g_characters;
