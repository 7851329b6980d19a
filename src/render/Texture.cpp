#include "render/Texture.h"

#include <utility>

#include "port/texture_file.h"

Texture::Texture(Texture&& other) noexcept : texture_(std::exchange(other.texture_, nullptr)) {}

Texture& Texture::operator=(Texture&& other) noexcept {
  if (this != &other) {
    Release();
    texture_ = std::exchange(other.texture_, nullptr);
  }
  return *this;
}

Texture::~Texture() { Release(); }

bool Texture::Load(port::gpu::Device* device, const char* path, port::Argb colourKey) {
  Release();
  if (!path || !device || device != port::gpu::Device::Current()) return false;
  port::gpu::Texture* loaded = nullptr;
  if (port::Failed(port::CreateTextureFromFile(device, path, colourKey, &loaded))) return false;
  texture_ = loaded;
  return true;
}

bool Texture::DrawSprite(port::Sprite* sprite, const port::Vec2* scaling,
                         const port::Vec2* translation, const port::Rect* sourceRect,
                         port::Argb colour) {
  if (sprite) sprite->Draw(texture_, sourceRect, scaling, nullptr, 0.0f, translation, colour);
  return true;
}

bool Texture::DrawSpriteRotated(port::Sprite* sprite, const port::Vec2* scaling,
                                const port::Vec2* translation, float rotation,
                                const port::Rect* sourceRect, port::Argb colour) {
  if (sprite) sprite->Draw(texture_, sourceRect, scaling, nullptr, rotation, translation, colour);
  return true;
}

void Texture::Release() { port::SafeRelease(texture_); }
