#include "datagen/image.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "datagen/output.h"

namespace datagen {

namespace {
constexpr float kTwoPi = 6.28318531f;
}  // namespace

Rgba Hex(uint32_t rgb, uint8_t a) {
  return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
          static_cast<uint8_t>(rgb), a};
}

Rgba Lerp(Rgba x, Rgba y, float t) {
  auto l = [t](uint8_t a, uint8_t b) { return static_cast<uint8_t>(std::lround(a + (b - a) * t)); };
  return {l(x.r, y.r), l(x.g, y.g), l(x.b, y.b), l(x.a, y.a)};
}

Image::Image(int w, int h, Rgba fill)
    : w_(w), h_(h), px_(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

void Image::Blend(int x, int y, Rgba c, float k) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || k <= 0) return;
  Rgba& d = At(x, y);
  float sa = c.a / 255.0f * std::min(k, 1.0f), da = d.a / 255.0f;
  float oa = sa + da * (1 - sa);
  if (oa <= 0) return;
  auto ch = [&](uint8_t s, uint8_t dd) {
    return static_cast<uint8_t>(std::lround((s * sa + dd * da * (1 - sa)) / oa));
  };
  d = {ch(c.r, d.r), ch(c.g, d.g), ch(c.b, d.b), static_cast<uint8_t>(std::lround(oa * 255))};
}

void Image::FillRect(int l, int t, int r, int b, Rgba c) {
  for (int y = std::max(t, 0); y < std::min(b, h_); ++y)
    for (int x = std::max(l, 0); x < std::min(r, w_); ++x) At(x, y) = c;
}

void Image::RoundRect(int l, int t, int r, int b, float rad, Rgba c) {
  rad = std::min({rad, (r - l) / 2.0f, (b - t) / 2.0f});
  for (int y = std::max(t, 0); y < std::min(b, h_); ++y)
    for (int x = std::max(l, 0); x < std::min(r, w_); ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float qx = std::max({l + rad - px, px - (r - rad), 0.0f});
      float qy = std::max({t + rad - py, py - (b - rad), 0.0f});
      float d = std::sqrt(qx * qx + qy * qy) - rad;
      Blend(x, y, c, std::clamp(0.5f - d, 0.0f, 1.0f));
    }
}

void Image::RoundRectGradient(int l, int t, int r, int b, float rad, Rgba top, Rgba bottom) {
  rad = std::min({rad, (r - l) / 2.0f, (b - t) / 2.0f});
  for (int y = std::max(t, 0); y < std::min(b, h_); ++y) {
    const Rgba c = Lerp(top, bottom, static_cast<float>(y - t) / std::max(b - t - 1, 1));
    for (int x = std::max(l, 0); x < std::min(r, w_); ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float qx = std::max({l + rad - px, px - (r - rad), 0.0f});
      float qy = std::max({t + rad - py, py - (b - rad), 0.0f});
      float d = std::sqrt(qx * qx + qy * qy) - rad;
      Blend(x, y, c, std::clamp(0.5f - d, 0.0f, 1.0f));
    }
  }
}

Image Image::Shrunk(int w, int h) const {
  Image out(w, h);
  const float sx = static_cast<float>(w_) / static_cast<float>(w);
  const float sy = static_cast<float>(h_) / static_cast<float>(h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // Premultiplied, weighted by how much of each source texel the area covers.
      const float x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
      float acc[4] = {0, 0, 0, 0}, area = 0;
      for (int v = static_cast<int>(y0); v < std::min(static_cast<int>(std::ceil(y1)), h_); ++v) {
        const float wy = std::min(y1, v + 1.0f) - std::max(y0, static_cast<float>(v));
        for (int u = static_cast<int>(x0); u < std::min(static_cast<int>(std::ceil(x1)), w_); ++u) {
          const float wgt = wy * (std::min(x1, u + 1.0f) - std::max(x0, static_cast<float>(u)));
          const Rgba& p = At(u, v);
          const float a = p.a / 255.0f;
          acc[0] += p.r * a * wgt;
          acc[1] += p.g * a * wgt;
          acc[2] += p.b * a * wgt;
          acc[3] += a * wgt;
          area += wgt;
        }
      }
      if (acc[3] <= 0 || area <= 0) continue;
      out.At(x, y) = {static_cast<uint8_t>(std::lround(acc[0] / acc[3])),
                      static_cast<uint8_t>(std::lround(acc[1] / acc[3])),
                      static_cast<uint8_t>(std::lround(acc[2] / acc[3])),
                      static_cast<uint8_t>(std::lround(std::min(acc[3] / area, 1.0f) * 255))};
    }
  return out;
}

void Image::Frame(int l, int t, int r, int b, int th, Rgba c) {
  FillRect(l, t, r, t + th, c);
  FillRect(l, b - th, r, b, c);
  FillRect(l, t, l + th, b, c);
  FillRect(r - th, t, r, b, c);
}

void Image::Disc(float cx, float cy, float radius, Rgba c, float falloff) {
  int x0 = static_cast<int>(cx - radius - 1), x1 = static_cast<int>(cx + radius + 2);
  int y0 = static_cast<int>(cy - radius - 1), y1 = static_cast<int>(cy + radius + 2);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      float k = falloff >= 1.0f ? std::clamp(radius - d + 0.5f, 0.0f, 1.0f)
                                : std::pow(std::clamp(1 - d / radius, 0.0f, 1.0f),
                                           1.0f / std::max(falloff, 0.05f));
      Blend(x, y, c, k);
    }
}

void Image::Ring(float cx, float cy, float radius, float width, Rgba c) {
  int x0 = static_cast<int>(cx - radius - width - 1),
      x1 = static_cast<int>(cx + radius + width + 2);
  int y0 = static_cast<int>(cy - radius - width - 1),
      y1 = static_cast<int>(cy + radius + width + 2);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float d = std::fabs(std::hypot(x + 0.5f - cx, y + 0.5f - cy) - radius);
      Blend(x, y, c, std::clamp(width / 2 - d + 0.5f, 0.0f, 1.0f));
    }
}

void Image::Line(float x0, float y0, float x1, float y1, float width, Rgba c) {
  int l = static_cast<int>(std::min(x0, x1) - width - 1),
      r = static_cast<int>(std::max(x0, x1) + width + 2);
  int t = static_cast<int>(std::min(y0, y1) - width - 1),
      b = static_cast<int>(std::max(y0, y1) + width + 2);
  float dx = x1 - x0, dy = y1 - y0, len2 = std::max(dx * dx + dy * dy, 1e-6f);
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) {
      float px = x + 0.5f - x0, py = y + 0.5f - y0;
      float u = std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f);
      float d = std::hypot(px - u * dx, py - u * dy);
      Blend(x, y, c, std::clamp(width / 2 - d + 0.5f, 0.0f, 1.0f));
    }
}

void Image::Triangle(float x0, float y0, float x1, float y1, float x2, float y2, Rgba c) {
  int l = static_cast<int>(std::min({x0, x1, x2})),
      r = static_cast<int>(std::max({x0, x1, x2})) + 1;
  int t = static_cast<int>(std::min({y0, y1, y2})),
      b = static_cast<int>(std::max({y0, y1, y2})) + 1;
  auto edge = [](float ax, float ay, float bx, float by, float px, float py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
  };
  float area = edge(x0, y0, x1, y1, x2, y2);
  if (area == 0) return;
  for (int y = t; y <= b; ++y)
    for (int x = l; x <= r; ++x) {
      // 4x4 supersampling for smooth edges.
      int hits = 0;
      for (int s = 0; s < 16; ++s) {
        float px = x + (s % 4 + 0.5f) / 4, py = y + (s / 4 + 0.5f) / 4;
        float a = edge(x1, y1, x2, y2, px, py) / area, bb = edge(x2, y2, x0, y0, px, py) / area,
              cc = edge(x0, y0, x1, y1, px, py) / area;
        if (a >= 0 && bb >= 0 && cc >= 0) ++hits;
      }
      Blend(x, y, c, hits / 16.0f);
    }
}

void Image::VerticalGradient(int l, int t, int r, int b, Rgba top, Rgba bottom) {
  for (int y = std::max(t, 0); y < std::min(b, h_); ++y) {
    Rgba c = Lerp(top, bottom,
                  b - t > 1 ? static_cast<float>(y - t) / static_cast<float>(b - t - 1) : 0.0f);
    for (int x = std::max(l, 0); x < std::min(r, w_); ++x) At(x, y) = c;
  }
}

void Image::Draw(const Image& src, float l, float t, float r, float b) {
  if (r <= l || b <= t) return;
  for (int y = std::max(static_cast<int>(t), 0); y < std::min(static_cast<int>(std::ceil(b)), h_);
       ++y)
    for (int x = std::max(static_cast<int>(l), 0); x < std::min(static_cast<int>(std::ceil(r)), w_);
         ++x) {
      float u = (x + 0.5f - l) / (r - l) * static_cast<float>(src.w_) - 0.5f;
      float v = (y + 0.5f - t) / (b - t) * static_cast<float>(src.h_) - 0.5f;
      if (u < -0.5f || v < -0.5f || u > static_cast<float>(src.w_) - 0.5f ||
          v > static_cast<float>(src.h_) - 0.5f)
        continue;
      int u0 = static_cast<int>(std::floor(u)), v0 = static_cast<int>(std::floor(v));
      float fu = u - static_cast<float>(u0), fv = v - static_cast<float>(v0);
      float acc[4] = {0, 0, 0, 0};
      for (int k = 0; k < 4; ++k) {
        int sx = std::clamp(u0 + (k & 1), 0, src.w_ - 1),
            sy = std::clamp(v0 + (k >> 1), 0, src.h_ - 1);
        float wgt = ((k & 1) ? fu : 1 - fu) * ((k >> 1) ? fv : 1 - fv);
        const Rgba& p = src.At(sx, sy);
        // Premultiplied so transparent texels do not darken the edges.
        float a = p.a / 255.0f;
        acc[0] += p.r * a * wgt;
        acc[1] += p.g * a * wgt;
        acc[2] += p.b * a * wgt;
        acc[3] += a * wgt;
      }
      if (acc[3] <= 0) continue;
      Rgba c{static_cast<uint8_t>(std::lround(acc[0] / acc[3])),
             static_cast<uint8_t>(std::lround(acc[1] / acc[3])),
             static_cast<uint8_t>(std::lround(acc[2] / acc[3])), 255};
      Blend(x, y, c, acc[3]);
    }
}

struct TextRenderer::Impl {
  TTF_Font* font = nullptr;
  // Rows holding the ink of full-height glyphs: every text is cut to this
  // band, so small signs ('.', '-') keep their size next to letters.
  int inkTop = 0, inkBottom = -1;
};

TextRenderer::TextRenderer(const std::string& fontPath) : impl_(std::make_unique<Impl>()) {
  if (!std::filesystem::exists(fontPath))
    throw GenError("missing font " + fontPath + " (install the IPA Gothic font package)");
  if (TTF_WasInit() == 0 && TTF_Init() != 0)
    throw GenError(std::string("cannot start SDL2_ttf: ") + TTF_GetError());
  impl_->font = TTF_OpenFont(fontPath.c_str(), 72);
  if (!impl_->font) throw GenError("cannot open font " + fontPath + ": " + TTF_GetError());
  Image ref = Render("0Aア漢");
  impl_->inkTop = ref.Height();
  for (int y = 0; y < ref.Height(); ++y)
    for (int x = 0; x < ref.Width(); ++x)
      if (ref.At(x, y).a > 8) {
        impl_->inkTop = std::min(impl_->inkTop, y);
        impl_->inkBottom = std::max(impl_->inkBottom, y);
      }
}

TextRenderer::~TextRenderer() {
  if (impl_ && impl_->font) TTF_CloseFont(impl_->font);
}

Image TextRenderer::Render(const std::string& utf8) const {
  SDL_Color white{255, 255, 255, 255};
  SDL_Surface* s = TTF_RenderUTF8_Blended(impl_->font, utf8.c_str(), white);
  if (!s) throw GenError("cannot render text \"" + utf8 + "\": " + TTF_GetError());
  SDL_Surface* conv = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(s);
  if (!conv) throw GenError(std::string("cannot convert text surface: ") + SDL_GetError());
  Image img(conv->w, conv->h);
  SDL_LockSurface(conv);
  for (int y = 0; y < conv->h; ++y) {
    const uint8_t* row =
        static_cast<const uint8_t*>(conv->pixels) + static_cast<ptrdiff_t>(y) * conv->pitch;
    for (int x = 0; x < conv->w; ++x)
      img.At(x, y) = {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
  }
  SDL_UnlockSurface(conv);
  SDL_FreeSurface(conv);
  // Trim empty columns and rows so the fit uses the ink, not the line box.
  int l = img.Width(), r = -1, t = img.Height(), b = -1;
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x)
      if (img.At(x, y).a > 8) {
        l = std::min(l, x);
        r = std::max(r, x);
        t = std::min(t, y);
        b = std::max(b, y);
      }
  if (r < 0) return Image(1, 1);
  if (impl_->inkBottom >= 0) {
    t = std::min(t, impl_->inkTop);
    b = std::max(b, std::min(impl_->inkBottom, img.Height() - 1));
  }
  Image out(r - l + 1, b - t + 1);
  for (int y = t; y <= b; ++y)
    for (int x = l; x <= r; ++x) out.At(x - l, y - t) = img.At(x, y);
  return out;
}

void TextRenderer::DrawFitted(Image& img, const std::string& utf8, int l, int t, int r, int b,
                              Rgba fill, Rgba outline, float margin) const {
  Image text = Render(utf8);
  float bw = static_cast<float>(r - l) * (1 - 2 * margin),
        bh = static_cast<float>(b - t) * (1 - 2 * margin);
  float s = std::min(bw / static_cast<float>(text.Width()), bh / static_cast<float>(text.Height()));
  float w = static_cast<float>(text.Width()) * s, h = static_cast<float>(text.Height()) * s;
  float x = static_cast<float>(l + r) / 2 - w / 2, y = static_cast<float>(t + b) / 2 - h / 2;
  Image tinted = text, shadow = text;
  for (int yy = 0; yy < text.Height(); ++yy)
    for (int xx = 0; xx < text.Width(); ++xx) {
      uint8_t a = text.At(xx, yy).a;
      tinted.At(xx, yy) = {fill.r, fill.g, fill.b, static_cast<uint8_t>(a * fill.a / 255)};
      shadow.At(xx, yy) = {outline.r, outline.g, outline.b,
                           static_cast<uint8_t>(a * outline.a / 255)};
    }
  float o = std::max(1.0f, std::min(w, h) * 0.04f);
  for (int k = 0; k < 8; ++k) {
    float dx = std::cos(kTwoPi * static_cast<float>(k) / 8) * o,
          dy = std::sin(kTwoPi * static_cast<float>(k) / 8) * o;
    img.Draw(shadow, x + dx, y + dy, x + dx + w, y + dy + h);
  }
  img.Draw(tinted, x, y, x + w, y + h);
}

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t len) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + len);
}

void PngFlush(png_structp) {}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& img) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) throw GenError("libpng: cannot create a writer");
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw GenError("libpng: encoding failed");
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(img.Width()),
               static_cast<png_uint_32>(img.Height()), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < img.Height(); ++y)
    png_write_row(png, reinterpret_cast<png_const_bytep>(&img.At(0, y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

namespace {

void Le16(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(static_cast<uint8_t>(v));
  o.push_back(static_cast<uint8_t>(v >> 8));
}

void Le32(std::vector<uint8_t>& o, uint32_t v) {
  Le16(o, v & 0xFFFF);
  Le16(o, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const Image& img) {
  uint32_t stride = (static_cast<uint32_t>(img.Width()) * 3 + 3) & ~3u;
  uint32_t size = stride * static_cast<uint32_t>(img.Height());
  std::vector<uint8_t> o;
  o.push_back('B');
  o.push_back('M');
  Le32(o, 54 + size);
  Le32(o, 0);
  Le32(o, 54);
  Le32(o, 40);
  Le32(o, static_cast<uint32_t>(img.Width()));
  Le32(o, static_cast<uint32_t>(img.Height()));
  Le16(o, 1);
  Le16(o, 24);
  Le32(o, 0);
  Le32(o, size);
  Le32(o, 2835);
  Le32(o, 2835);
  Le32(o, 0);
  Le32(o, 0);
  for (int y = img.Height() - 1; y >= 0; --y) {
    size_t start = o.size();
    for (int x = 0; x < img.Width(); ++x) {
      const Rgba& p = img.At(x, y);
      o.push_back(p.b);
      o.push_back(p.g);
      o.push_back(p.r);
    }
    while (o.size() - start < stride) o.push_back(0);
  }
  return o;
}

std::vector<uint8_t> EncodeTga(const Image& img) {
  std::vector<uint8_t> o = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Le16(o, static_cast<uint32_t>(img.Width()));
  Le16(o, static_cast<uint32_t>(img.Height()));
  o.push_back(32);
  o.push_back(0x28);  // 8 alpha bits, first row at the top
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const Rgba& p = img.At(x, y);
      o.insert(o.end(), {p.b, p.g, p.r, p.a});
    }
  return o;
}

std::vector<uint8_t> EncodeJpeg(const Image& img, int quality) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long len = 0;
  jpeg_mem_dest(&c, &buf, &len);
  c.image_width = static_cast<JDIMENSION>(img.Width());
  c.image_height = static_cast<JDIMENSION>(img.Height());
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(img.Width()) * 3);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < img.Width(); ++x) {
      const Rgba& p = img.At(x, static_cast<int>(c.next_scanline));
      row[3 * static_cast<size_t>(x)] = p.r;
      row[3 * static_cast<size_t>(x) + 1] = p.g;
      row[3 * static_cast<size_t>(x) + 2] = p.b;
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(buf, buf + len);
  jpeg_destroy_compress(&c);
  free(buf);
  return out;
}

}  // namespace datagen
