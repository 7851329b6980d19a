#pragma once
// RGBA pictures, simple drawing, text through SDL2_ttf, and the file
// encodings the game reads (PNG, BMP, TGA, JPEG).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace datagen {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 0;
};
Rgba Hex(uint32_t rgb, uint8_t a = 255);
Rgba Lerp(Rgba x, Rgba y, float t);

class Image {
 public:
  Image(int w, int h, Rgba fill = {});
  int Width() const { return w_; }
  int Height() const { return h_; }
  Rgba& At(int x, int y) {
    return px_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
  }
  const Rgba& At(int x, int y) const {
    return px_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
  }
  // Source-over blend of c with coverage k (0 to 1).
  void Blend(int x, int y, Rgba c, float k = 1.0f);
  void FillRect(int l, int t, int r, int b, Rgba c);
  // Rounded rectangle (right and bottom exclusive), antialiased edges.
  void RoundRect(int l, int t, int r, int b, float radius, Rgba c);
  // The same, shaded from top to bottom.
  void RoundRectGradient(int l, int t, int r, int b, float radius, Rgba top, Rgba bottom);
  void Frame(int l, int t, int r, int b, int thickness, Rgba c);
  // Disc with a soft edge; falloff > 0 makes a radial glow instead.
  void Disc(float cx, float cy, float radius, Rgba c, float falloff = 1.0f);
  void Ring(float cx, float cy, float radius, float width, Rgba c);
  void Line(float x0, float y0, float x1, float y1, float width, Rgba c);
  void Triangle(float x0, float y0, float x1, float y1, float x2, float y2, Rgba c);
  void VerticalGradient(int l, int t, int r, int b, Rgba top, Rgba bottom);
  // Copies src scaled (bilinear) into the rectangle, blending.
  void Draw(const Image& src, float l, float t, float r, float b);
  // The picture reduced to w by h, each texel the average of the area it
  // covers (no aliasing, whatever the factor).
  Image Shrunk(int w, int h) const;

 private:
  int w_, h_;
  std::vector<Rgba> px_;
};

// Renders text with the game's Japanese font.
class TextRenderer {
 public:
  explicit TextRenderer(const std::string& fontPath);  // throws GenError naming a missing font
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;
  // The text as a white-on-transparent picture.
  Image Render(const std::string& utf8) const;
  // Text fitted into the rectangle (centred, aspect kept), with an outline.
  void DrawFitted(Image& img, const std::string& utf8, int l, int t, int r, int b, Rgba fill,
                  Rgba outline, float margin = 0.08f) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

std::vector<uint8_t> EncodePng(const Image& img);
std::vector<uint8_t> EncodeBmp(const Image& img);  // 24-bit, bottom-up
std::vector<uint8_t> EncodeTga(const Image& img);  // 32-bit, top-down
std::vector<uint8_t> EncodeJpeg(const Image& img, int quality = 85);

}  // namespace datagen
