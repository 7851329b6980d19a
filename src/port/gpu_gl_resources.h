#pragma once
// What the OpenGL device's files share of the resources it hands out:
// textures, buffers and render targets, and the program-wide bookkeeping that
// keeps a resource of a dead context from touching a new one. Private to the
// device (gpu_gl*.cpp).
#include <algorithm>
#include <cstdint>
#include <vector>

#include "port/gl_shader.h"
#include "port/gpu.h"
#include "port/gpu_cull.h"

namespace port::gpu::impl {

class GLDevice;
extern GLDevice* g_current;
// Bumped for every device made, so resources of a dead context never touch a new one.
extern uint64_t g_generation;

inline bool Alive(uint64_t generation) { return g_current && generation == g_generation; }

// Bumped by every clear and draw of any device, and by every device made.
extern uint64_t g_pictureSerial;

// A texture or buffer name about to be unbound or deleted behind the device's
// back: the device forgets what it believed was bound.
void ForgetTextureBindings();
void ForgetBufferBindings();
// Texels or vertices about to change: held draws that read them are drawn first.
void FlushPendingDraws();

class GLTexture final : public Texture {
 public:
  GLTexture(uint64_t generation, uint32_t w, uint32_t h, uint32_t levels);
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  uint32_t Levels() const override { return levels_; }
  bool Update(uint32_t level, const uint32_t* argb) override;
  GLuint Name() const { return name_; }
  // Whether every texel of every level has alpha 255, as last uploaded: then
  // any filtering samples an alpha of exactly one.
  bool Opaque() const { return levels_ <= 32 && opaqueLevels_ == AllLevels(); }
  // The texels were drawn into: nothing is known of their alpha.
  void Drawn() { opaqueLevels_ = 0; }

 protected:
  ~GLTexture() override;

 private:
  uint32_t AllLevels() const { return levels_ >= 32 ? ~0u : (1u << levels_) - 1; }
  uint64_t generation_;
  GLuint name_ = 0;
  uint32_t width_, height_, levels_;
  uint32_t opaqueLevels_ = 0;  // bit per level uploaded with alpha 255 throughout
};

class GLBuffer final : public Buffer {
 public:
  GLBuffer(uint64_t generation, uint32_t size, bool indices)
      : generation_(generation), data_(size), indices_(indices) {
    glGenBuffers(1, &name_);
    Upload();
  }
  uint32_t Size() const override { return static_cast<uint32_t>(data_.size()); }
  // While locked the bytes may differ from what the context holds.
  void* Lock() override {
    locked_ = true;
    return data_.data();
  }
  void Unlock() override { Upload(); }
  const void* Data() const override { return data_.data(); }
  GLuint Name() const { return name_; }
  bool Indices() const { return indices_; }
  bool Locked() const { return locked_; }
  struct IndexSpan {
    uint32_t min, max;
  };
  // The least and largest of count indices from start (16-bit), remembered
  // until the next upload: a mesh draws the same ranges frame after frame.
  IndexSpan Span(uint32_t start, uint32_t count) {
    for (const IndexRange& r : spans_)
      if (r.start == start && r.count == count) return r.span;
    const IndexSpan span = ScanSpan(start, count);
    if (spans_.size() >= kMaxRanges) spans_.clear();
    spans_.push_back({start, count, span});
    return span;
  }
  IndexSpan ScanSpan(uint32_t start, uint32_t count) const {
    const uint16_t* idx = reinterpret_cast<const uint16_t*>(data_.data()) + start;
    IndexSpan span = {0xFFFF, 0};
    for (uint32_t i = 0; i < count; ++i) {
      span.min = std::min<uint32_t>(span.min, idx[i]);
      span.max = std::max<uint32_t>(span.max, idx[i]);
    }
    return span;
  }
  // The box of count positions from byte first, stride apart, remembered
  // until the next upload.
  VertexBounds Bounds(uint64_t first, uint32_t stride, uint32_t count) {
    return bounds_.Get(data_.data(), data_.size(), first, stride, count);
  }

 protected:
  ~GLBuffer() override;

 private:
  void Upload();
  struct IndexRange {
    uint32_t start, count;
    IndexSpan span;
  };
  static constexpr size_t kMaxRanges = 64;
  uint64_t generation_;
  GLuint name_ = 0;
  std::vector<uint8_t> data_;
  bool indices_;
  bool allocated_ = false;
  bool locked_ = false;
  std::vector<IndexRange> spans_;
  BoundsCache bounds_;
};

// An offscreen target. Draws land in a framebuffer of its own (colour and a
// 16-bit depth); Resolve copies the picture into the texture upside down, as
// GL counts rows from the bottom and the textures here count from the top.
class GLRenderTarget final : public RenderTarget {
 public:
  GLRenderTarget(uint64_t generation, uint32_t w, uint32_t h);
  Texture* GetTexture() override { return texture_; }
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  bool Complete() const { return complete_; }
  GLuint Framebuffer() const { return drawFbo_; }
  // Leaves the draw and read framebuffers bound to the caller's choice.
  void Resolve();

 protected:
  ~GLRenderTarget() override;

 private:
  uint64_t generation_;
  uint32_t width_, height_;
  GLTexture* texture_ = nullptr;
  GLuint colour_ = 0, depth_ = 0, drawFbo_ = 0, resolveFbo_ = 0;
  bool complete_ = false;
};

}  // namespace port::gpu::impl
