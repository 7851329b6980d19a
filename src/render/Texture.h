#pragma once
// A texture loaded from a file and drawn as a sprite; null means no texture.
#include "port/gpu.h"
#include "port/math.h"
#include "port/sprite.h"

class Texture {
 public:
  Texture() = default;
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  Texture(Texture&& other) noexcept;
  Texture& operator=(Texture&& other) noexcept;
  ~Texture();

  // Releases what is held, then loads the file: sides rounded up to powers of
  // two, full mip chain, texels equal to colourKey made transparent (0: none).
  // False, and no texture, when the file cannot be loaded.
  bool Load(port::gpu::Device* device, const char* path, port::Argb colourKey);
  bool DrawSprite(port::Sprite* sprite, const port::Vec2* scaling, const port::Vec2* translation,
                  const port::Rect* sourceRect, port::Argb colour);
  bool DrawSpriteRotated(port::Sprite* sprite, const port::Vec2* scaling,
                         const port::Vec2* translation, float rotation,
                         const port::Rect* sourceRect, port::Argb colour);
  void Release();

  port::gpu::Texture* Get() const { return texture_; }
  bool IsLoaded() const { return texture_ != nullptr; }

 private:
  port::gpu::Texture* texture_ = nullptr;
};
