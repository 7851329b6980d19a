#pragma once
// 2D sprites and text over the 640 by 480 picture.
#include <cstdint>
#include <memory>

#include "port/gpu.h"

namespace port {

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

class Sprite {
 public:
  static std::unique_ptr<Sprite> Create(gpu::Device& device);
  virtual ~Sprite() = default;
  virtual void OnResetDevice() {}
  // Begin sets the 2D states (alpha blend, no depth, no culling, no lighting,
  // stage 0 texture times colour); End restores the caller's states.
  virtual void Begin() = 0;
  virtual void End() = 0;
  // Draws the source rectangle (the whole texture when null) as a quad placed
  // by Scale(s) * T(-centre) * RotZ(rotation) * T(centre) * T(translation),
  // in back-buffer pixels with y down; texels are modulated by colour.
  virtual void Draw(gpu::Texture* texture, const Rect* source, const Vec2* scaling,
                    const Vec2* rotationCentre, float rotation, const Vec2* translation,
                    Argb colour) = 0;
};

enum FontFormat : uint32_t { FontExpandTabs = 0x40, FontSingleLine = 0x20 };

class Font {
 public:
  // A Japanese gothic font with cells height pixels high and width pixels wide
  // for half-width glyphs. Null when no font file can be opened.
  static std::unique_ptr<Font> Create(gpu::Device& device, int height, int width);
  // True when a font file is installed at all.
  static bool Available();
  virtual ~Font() = default;
  virtual void OnResetDevice() {}
  // Shift-JIS text, top-left aligned, clipped to the rectangle; line breaks start new lines.
  virtual int DrawText(const char* textSjis, int length, const Rect& rect, uint32_t format,
                       Argb colour) = 0;
};

}  // namespace port
