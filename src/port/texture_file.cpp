#include "port/texture_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace port {

namespace {

// Says on standard error why a texture's file gave no picture, once a path:
// a scene loads its textures again each time it is entered.
void SayNotLoaded(const std::string& path, const std::string& reason) {
  static std::set<std::string> said;  // the game loads on its one thread
  if (!said.insert(path).second) return;
  std::fprintf(stderr, "%s: not loaded: %s\n", path.c_str(), reason.c_str());
}

}  // namespace

uint32_t NextPowerOfTwo(uint32_t v) {
  uint32_t p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

uint32_t FullMipLevels(uint32_t width, uint32_t height) {
  uint32_t side = std::max(width, height), levels = 1;
  while (side > 1) {
    side >>= 1;
    ++levels;
  }
  return levels;
}

void ApplyColourKey(Image* image, Argb key) {
  if (key == 0) return;
  for (uint32_t& t : image->argb)
    if (t == key) t = 0;
}

Image ResizeLinear(const Image& image, uint32_t width, uint32_t height) {
  if (width == image.width && height == image.height) return image;
  Image out;
  out.width = width;
  out.height = height;
  out.argb.resize(static_cast<size_t>(width) * height);
  if (image.width == 0 || image.height == 0) return out;

  // Source sample positions and weights, per column and per row.
  struct Tap {
    uint32_t i0, i1;
    float f;
  };
  auto taps = [](uint32_t src, uint32_t dst) {
    std::vector<Tap> t(dst);
    const float scale = static_cast<float>(src) / static_cast<float>(dst);
    for (uint32_t i = 0; i < dst; ++i) {
      float s = (static_cast<float>(i) + 0.5f) * scale - 0.5f;
      s = std::clamp(s, 0.0f, static_cast<float>(src - 1));
      uint32_t i0 = static_cast<uint32_t>(s);
      uint32_t i1 = std::min(i0 + 1, src - 1);
      t[i] = {i0, i1, s - static_cast<float>(i0)};
    }
    return t;
  };
  const std::vector<Tap> xs = taps(image.width, width), ys = taps(image.height, height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* r0 = image.argb.data() + static_cast<size_t>(ys[y].i0) * image.width;
    const uint32_t* r1 = image.argb.data() + static_cast<size_t>(ys[y].i1) * image.width;
    const float fy = ys[y].f;
    uint32_t* dst = out.argb.data() + static_cast<size_t>(y) * width;
    for (uint32_t x = 0; x < width; ++x) {
      const Tap& tx = xs[x];
      uint32_t a = r0[tx.i0], b = r0[tx.i1], c = r1[tx.i0], d = r1[tx.i1];
      uint32_t texel = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        float ca = static_cast<float>((a >> shift) & 0xFF),
              cb = static_cast<float>((b >> shift) & 0xFF);
        float cc = static_cast<float>((c >> shift) & 0xFF),
              cd = static_cast<float>((d >> shift) & 0xFF);
        float top = ca + (cb - ca) * tx.f, bottom = cc + (cd - cc) * tx.f;
        float v = top + (bottom - top) * fy;
        uint32_t q = static_cast<uint32_t>(std::clamp(std::lround(v), 0l, 255l));
        texel |= q << shift;
      }
      dst[x] = texel;
    }
  }
  return out;
}

Image HalveBox(const Image& image) {
  Image out;
  out.width = std::max(1u, image.width / 2);
  out.height = std::max(1u, image.height / 2);
  out.argb.resize(static_cast<size_t>(out.width) * out.height);
  if (image.argb.empty()) return out;
  const uint32_t sx = image.width > 1 ? 2 : 1, sy = image.height > 1 ? 2 : 1;
  const uint32_t n = sx * sy;
  for (uint32_t y = 0; y < out.height; ++y) {
    for (uint32_t x = 0; x < out.width; ++x) {
      uint32_t sum[4] = {0, 0, 0, 0};
      for (uint32_t dy = 0; dy < sy; ++dy) {
        for (uint32_t dx = 0; dx < sx; ++dx) {
          uint32_t t = image.argb[static_cast<size_t>(y * sy + dy) * image.width + x * sx + dx];
          for (int c = 0; c < 4; ++c) sum[c] += (t >> (c * 8)) & 0xFF;
        }
      }
      uint32_t texel = 0;
      for (int c = 0; c < 4; ++c) texel |= ((sum[c] + n / 2) / n) << (c * 8);
      out.argb[static_cast<size_t>(y) * out.width + x] = texel;
    }
  }
  return out;
}

std::vector<Image> BuildTextureLevels(Image image, Argb colourKey) {
  std::vector<Image> levels;
  if (image.width == 0 || image.height == 0) return levels;
  ApplyColourKey(&image, colourKey);
  levels.push_back(ResizeLinear(image, NextPowerOfTwo(image.width), NextPowerOfTwo(image.height)));
  const uint32_t count = FullMipLevels(levels[0].width, levels[0].height);
  levels.reserve(count);
  while (levels.size() < count) levels.push_back(HalveBox(levels.back()));
  return levels;
}

Status CreateTextureFromFile(gpu::Device* device, const std::string& path, Argb colourKey,
                             gpu::Texture** out, std::string* error) {
  if (!out) return kInvalidArg;
  *out = nullptr;
  if (!device || device != gpu::Device::Current()) {
    if (error) *error = "no live device";
    return kInvalidCall;
  }
  Image image;
  std::string reason;
  if (!LoadImageFile(path, &image, &reason)) {
    SayNotLoaded(path, reason);
    if (error) *error = reason;
    return kFail;
  }
  std::vector<Image> levels = BuildTextureLevels(std::move(image), colourKey);
  if (levels.empty()) return kFail;
  gpu::Texture* texture = device->CreateTexture(levels[0].width, levels[0].height,
                                                static_cast<uint32_t>(levels.size()));
  if (!texture) {
    if (error) *error = "the device could not create the texture";
    return kOutOfMemory;
  }
  const uint32_t count =
      std::min<uint32_t>(texture->Levels(), static_cast<uint32_t>(levels.size()));
  for (uint32_t i = 0; i < count; ++i) {
    if (!texture->Update(i, levels[i].argb.data())) {
      texture->Release();
      if (error) *error = "the device refused a texture level";
      return kFail;
    }
  }
  *out = texture;
  return kOk;
}

}  // namespace port
