// The graphics device on OpenGL 3.3 core.
#include <SDL2/SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "port/gl_shader.h"
#include "port/gpu.h"
#include "port/gpu_cull.h"
#include "port/window_sdl.h"

namespace port::gpu {

namespace {

class GLDevice;
GLDevice* g_current = nullptr;
// Bumped for every device made, so resources of a dead context never touch a new one.
uint64_t g_generation = 0;

bool Alive(uint64_t generation) { return g_current && generation == g_generation; }

// Bumped by every clear and draw of any device, and by every device made.
uint64_t g_pictureSerial = 0;

// A texture or buffer name about to be unbound or deleted behind the device's
// back: the device forgets what it believed was bound.
void ForgetTextureBindings();
void ForgetBufferBindings();
// Texels or vertices about to change: held draws that read them are drawn first.
void FlushPendingDraws();

// The normal matrix of the column-vector form: the inverse transpose of the
// upper 3x3, stored column-major for glUniformMatrix3fv.
void NormalMatrix(const Matrix& m, float out[9]) {
  // Row-vector n' = n * A, A the upper 3x3; normals use inverse-transpose(A).
  const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
  const float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
  const float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
  const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  const float det = a * A + b * B + c * C;
  if (std::fabs(det) < 1e-30f) {
    for (int k = 0; k < 9; ++k) out[k] = 0;
    return;
  }
  const float inv = 1.0f / det;
  // Cofactor matrix / det = inverse-transpose of A (rows of the row-vector form).
  const float it[3][3] = {{A * inv, B * inv, C * inv},
                          {-(b * i - c * h) * inv, (a * i - c * g) * inv, -(a * h - b * g) * inv},
                          {(b * f - c * e) * inv, -(a * f - c * d) * inv, (a * e - b * d) * inv}};
  // n' = n * it in row form; GLSL computes M * n with M column-major, so the
  // floats go in row-major order of it (same trick as the 4x4 matrices).
  for (int r = 0; r < 3; ++r)
    for (int col = 0; col < 3; ++col) out[r * 3 + col] = it[r][col];
}

Vec3 TransformDir(const Vec3& v, const Matrix& m) {
  return Vec3(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
              v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
              v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]);
}

Vec3 TransformPoint(const Vec3& v, const Matrix& m) {
  Vec3 r = TransformDir(v, m);
  return Vec3(r.x + m.m[3][0], r.y + m.m[3][1], r.z + m.m[3][2]);
}

ColorValue FromArgb(uint32_t c) {
  return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
          ((c >> 24) & 0xFF) / 255.0f};
}

float AsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

GLenum GlCompare(uint32_t c) {
  switch (c) {
    case CmpNever:
      return GL_NEVER;
    case CmpLess:
      return GL_LESS;
    case CmpEqual:
      return GL_EQUAL;
    case CmpLessEqual:
      return GL_LEQUAL;
    case CmpGreater:
      return GL_GREATER;
    case CmpNotEqual:
      return GL_NOTEQUAL;
    case CmpGreaterEqual:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum GlBlend(uint32_t b) {
  switch (b) {
    case BlendZero:
      return GL_ZERO;
    case BlendOne:
      return GL_ONE;
    case BlendSrcColor:
      return GL_SRC_COLOR;
    case BlendInvSrcColor:
      return GL_ONE_MINUS_SRC_COLOR;
    case BlendSrcAlpha:
      return GL_SRC_ALPHA;
    case BlendInvSrcAlpha:
      return GL_ONE_MINUS_SRC_ALPHA;
    case BlendDestAlpha:
      return GL_DST_ALPHA;
    case BlendInvDestAlpha:
      return GL_ONE_MINUS_DST_ALPHA;
    case BlendDestColor:
      return GL_DST_COLOR;
    case BlendInvDestColor:
      return GL_ONE_MINUS_DST_COLOR;
    default:
      return GL_ONE;
  }
}

// ---------------------------------------------------------------- resources

class GLTexture final : public Texture {
 public:
  GLTexture(uint64_t generation, uint32_t w, uint32_t h, uint32_t levels)
      : generation_(generation), width_(w), height_(h), levels_(levels) {
    glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
    for (uint32_t l = 0; l < levels_; ++l) {
      const GLsizei lw = static_cast<GLsizei>(std::max(1u, width_ >> l));
      const GLsizei lh = static_cast<GLsizei>(std::max(1u, height_ >> l));
      glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), GL_RGBA8, lw, lh, 0, GL_BGRA,
                   GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
    glBindTexture(GL_TEXTURE_2D, 0);
    ForgetTextureBindings();
  }
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  uint32_t Levels() const override { return levels_; }
  bool Update(uint32_t level, const uint32_t* argb) override {
    if (level >= levels_ || !argb || !Alive(generation_)) return false;
    FlushPendingDraws();
    const GLsizei lw = static_cast<GLsizei>(std::max(1u, width_ >> level));
    const GLsizei lh = static_cast<GLsizei>(std::max(1u, height_ >> level));
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, lw, lh, GL_BGRA,
                    GL_UNSIGNED_INT_8_8_8_8_REV, argb);
    glBindTexture(GL_TEXTURE_2D, 0);
    ForgetTextureBindings();
    const size_t count = static_cast<size_t>(lw) * static_cast<size_t>(lh);
    const bool opaque =
        std::all_of(argb, argb + count, [](uint32_t p) { return p >= 0xFF000000u; });
    const uint32_t bit = level < 32 ? 1u << level : 0;
    opaqueLevels_ = opaque ? (opaqueLevels_ | bit) : (opaqueLevels_ & ~bit);
    return true;
  }
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
  ~GLBuffer() override {
    if (!Alive(generation_)) return;
    glDeleteBuffers(1, &name_);
    ForgetBufferBindings();
  }

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

// ---------------------------------------------------------------- device

// The fixed-function program's uniforms, for the cache of values last sent.
enum class Slot : int {
  WorldView,
  Projection,
  NormalMatrix,
  Lighting,
  Normalize,
  DiffuseFromVertex,
  Ambient,
  MatDiffuse,
  MatAmbient,
  MatEmissive,
  LightOn,
  LightType,
  LightDirView,
  LightPosView,
  LightDiffuse,
  LightAmbient,
  LightAtten,
  TexCoord1Present,
  Points,
  PointSprite,
  PointScale,
  PointParams,
  PointClamp,
  HasTexture,
  ColorOps,
  AlphaOps,
  AlphaTest,
  AlphaFunc,
  AlphaRef,
  Count
};

bool SameElements(const std::vector<VertexElement>& a, const std::vector<VertexElement>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].offset != b[i].offset || a[i].type != b[i].type || a[i].usage != b[i].usage ||
        a[i].usageIndex != b[i].usageIndex)
      return false;
  }
  return true;
}

class GLDevice final : public Device {
 public:
  GLDevice() = default;
  ~GLDevice() override;

  bool Init(Window* window, std::string* error);

  const Caps& GetCaps() const override { return caps_; }

  void SetRenderState(RenderState s, uint32_t v) override {
    const int i = static_cast<int>(s);
    if (i >= 0 && i < static_cast<int>(RenderState::Count) && rs_[i] != v) {
      Touch();
      rs_[i] = v;
    }
  }
  uint32_t GetRenderState(RenderState s) const override {
    const int i = static_cast<int>(s);
    return (i >= 0 && i < static_cast<int>(RenderState::Count)) ? rs_[i] : 0;
  }
  void SetTextureStageState(int stage, StageState s, uint32_t v) override {
    const int i = static_cast<int>(s);
    if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(StageState::Count) &&
        tss_[stage][i] != v) {
      Touch();
      tss_[stage][i] = v;
    }
  }
  uint32_t GetTextureStageState(int stage, StageState s) const override {
    const int i = static_cast<int>(s);
    if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(StageState::Count))
      return tss_[stage][i];
    return 0;
  }
  void SetSamplerState(int stage, SamplerState s, uint32_t v) override {
    const int i = static_cast<int>(s);
    if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(SamplerState::Count) &&
        ss_[stage][i] != v) {
      Touch();
      ss_[stage][i] = v;
    }
  }
  uint32_t GetSamplerState(int stage, SamplerState s) const override {
    const int i = static_cast<int>(s);
    if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(SamplerState::Count))
      return ss_[stage][i];
    return 0;
  }
  void SetTexture(int stage, Texture* texture) override {
    if (stage < 0 || stage >= kStages || textures_[stage] == texture) return;
    Touch();
    if (texture) texture->AddRef();
    if (textures_[stage]) textures_[stage]->Release();
    textures_[stage] = texture;
  }
  Texture* GetTexture(int stage) const override {
    return (stage >= 0 && stage < kStages) ? textures_[stage] : nullptr;
  }

  void SetTransform(TransformType t, const Matrix& m) override {
    const int i = static_cast<int>(t);
    if (i < 0 || i >= 3) return;
    // Held draws keep their own world matrices.
    if (t != TransformType::World && std::memcmp(&transforms_[i], &m, sizeof m) != 0) Touch();
    transforms_[i] = m;
  }
  const Matrix& GetTransform(TransformType t) const override {
    const int i = static_cast<int>(t);
    return transforms_[(i >= 0 && i < 3) ? i : 0];
  }
  bool SetLight(int index, const Light& light) override {
    if (index != 0) return false;
    if (light.type < LightPoint || light.type > LightDirectional) return false;
    if (light.type != LightPoint) {
      const Vec3& d = light.direction;
      if (d.x == 0 && d.y == 0 && d.z == 0) return false;
    }
    if (std::memcmp(&light_, &light, sizeof light) != 0) Touch();
    light_ = light;
    return true;
  }
  bool GetLight(int index, Light* light) const override {
    if (index != 0 || !light) return false;
    *light = light_;
    return true;
  }
  void LightEnable(int index, bool enable) override {
    if (index != 0 || lightOn_ == enable) return;
    Touch();
    lightOn_ = enable;
  }
  void SetMaterial(const Material& m) override {
    if (std::memcmp(&material_, &m, sizeof m) != 0) Touch();
    material_ = m;
  }
  const Material& GetMaterial() const override { return material_; }

  bool SetViewport(const Viewport& vp) override {
    if (vp.width == 0 || vp.height == 0 || vp.x + vp.width > TargetWidth() ||
        vp.y + vp.height > TargetHeight() || vp.x >= 0x10000 || vp.y >= 0x10000)
      return false;
    // The next viewport is not handed over here: the caller's Submit after
    // each field gives the driver fewer, larger batches, which it spreads
    // over its threads better.
    if (std::memcmp(&viewport_, &vp, sizeof vp) != 0) Touch();
    viewport_ = vp;
    return true;
  }
  const Viewport& GetViewport() const override { return viewport_; }
  void Clear(uint32_t flags, Argb colour, float z) override;

  // Meshes set the same FVF draw after draw: its layout is made only when it changes.
  void SetFVF(uint32_t f) override {
    if (f != 0 && f == layoutFvf_) return;
    SetVertexLayout(LayoutFromFvf(f));
    layoutFvf_ = f;
  }
  void SetVertexLayout(const VertexLayout& layout) override {
    layoutFvf_ = 0;
    if (layout.stride == layout_.stride && SameElements(layout.elements, layout_.elements)) return;
    Touch();
    layout_ = layout;
  }
  const VertexLayout& GetVertexLayout() const override { return layout_; }
  void SetStreamSource(Buffer* vertices, uint32_t offsetBytes, uint32_t stride) override {
    if (vertices != stream_ || offsetBytes != streamOffset_ || stride != streamStride_) Touch();
    if (vertices != stream_) {
      if (vertices) vertices->AddRef();
      if (stream_) stream_->Release();
      stream_ = static_cast<GLBuffer*>(vertices);
    }
    streamOffset_ = offsetBytes;
    streamStride_ = stride;
  }
  void SetIndices(Buffer* indices) override {
    if (indices == indices_) return;
    Touch();
    if (indices) indices->AddRef();
    if (indices_) indices_->Release();
    indices_ = static_cast<GLBuffer*>(indices);
  }
  void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
  void DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                            uint32_t numVertices, uint32_t startIndex,
                            uint32_t primitiveCount) override;
  void DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                       uint32_t stride) override;

  Texture* CreateTexture(uint32_t width, uint32_t height, uint32_t levels) override;
  Buffer* CreateBuffer(uint32_t sizeBytes, bool indices) override;
  RenderTarget* CreateRenderTarget(uint32_t width, uint32_t height) override;
  void SetRenderTarget(RenderTarget* target) override;
  RenderTarget* GetRenderTarget() const override { return target_; }
  void ForceRenderTargetFailure(bool on) override { failTargets_ = on; }

  void SetShaderProgram(ShaderProgram* program) override {
    if (program != program_) Touch();
    program_ = program;
  }
  ShaderProgram* GetShaderProgram() const override { return program_; }

  bool Present() override;
  uint64_t PictureSerial() const override { return g_pictureSerial; }
  std::vector<uint32_t> ReadBackBuffer() override;
  void SetStateFilter(bool on) override {
    FlushHeld();
    filter_ = on;
    Forget();
  }
  bool GetStateFilter() const override { return filter_; }
  void SetShaderVariants(bool on) override {
    FlushHeld();
    useVariants_ = on;
  }
  bool GetShaderVariants() const override { return useVariants_; }
  void SetQuadRegrouping(bool on) override {
    FlushHeld();
    regroup_ = on;
  }
  bool GetQuadRegrouping() const override { return regroup_; }
  void SetViewCulling(bool on) override {
    FlushHeld();
    cull_ = on;
  }
  bool GetViewCulling() const override { return cull_; }
  bool SetDrawIntoWindow(bool on) override;
  bool GetDrawIntoWindow() const override { return intoWindow_; }
  uint64_t DrawCalls() const override { return drawCalls_; }
  uint64_t CulledDraws() const override { return culledDraws_; }
  void Submit() override { SubmitDrawn(); }
  bool DrawOverwrites(const DrawSetup& setup) const override {
    return setup.layout && setup.material && !Blends(setup);
  }

  // A run of held draws is drawn before a state it was made with changes;
  // gathered groups carry their own states.
  void Touch() {
    if (!pending_.worlds.empty()) FlushPending();
  }
  // Everything held is drawn: before any draw that is not held, before the
  // picture is read or cleared or the target changes, and before what held
  // draws read (texels, vertices) changes.
  void FlushHeld() {
    Touch();
    if (groupCount_ != 0) FlushGroups();
  }

  // Everything the device believes the context holds is sent again.
  void Forget() {
    gl_.valid = false;
    attribs_.valid = false;
    for (auto& u : general_.cache) u.valid = false;
    for (auto& entry : variants_)
      if (entry.second)
        for (auto& u : entry.second->cache) u.valid = false;
  }
  void ForgetTextures() {
    for (GLuint& t : gl_.texture) t = kUnknownName;
  }
  void ForgetBuffers() {
    gl_.elements = kUnknownName;
    attribs_.valid = false;
  }

 private:
  static constexpr GLuint kUnknownName = ~0u;
  // What the context holds, as last sent through the device. Mesa compares
  // little of it itself, and every change it sees costs it at the next draw.
  struct Shadow {
    bool valid = false;
    GLuint program = kUnknownName;
    GLint viewport[4] = {};
    GLfloat depthRange[2] = {};
    bool blend = false, depthTest = false, cull = false;
    GLenum blendSrc = 0, blendDst = 0, depthFunc = 0, cullFace = 0;
    GLboolean depthMask = GL_TRUE;
    GLuint texture[kStages] = {};
    GLint sampler[kStages][4] = {};
    GLuint elements = kUnknownName;
  };
  // The vertex attribute setup last made, keyed by what it was made from.
  struct AttribSetup {
    bool valid = false;
    GLuint buffer = 0;
    GLintptr base = 0;
    uint32_t stride = 0, pointSize = 0;
    std::vector<VertexElement> elements;
  };
  struct CachedUniform {
    bool valid = false;
    uint8_t bytes[64];
  };
  // A fixed-function program with the uniform values last sent to it.
  struct FixedProgram {
    GLuint name = 0;
    gl::FixedUniforms u{};
    CachedUniform cache[static_cast<int>(Slot::Count)];
  };
  // True (and remembered) when the value differs from the one last sent.
  bool Fresh(Slot slot, const void* value, size_t bytes) {
    CachedUniform& c = ff_->cache[static_cast<int>(slot)];
    if (c.valid && std::memcmp(c.bytes, value, bytes) == 0) return false;
    std::memcpy(c.bytes, value, bytes);
    c.valid = true;
    return true;
  }
  void Uniform1i(Slot slot, GLint location, GLint v) {
    if (location < 0) return;  // folded away in this variant
    if (Fresh(slot, &v, sizeof v)) glUniform1i(location, v);
  }
  void Uniform1f(Slot slot, GLint location, GLfloat v) {
    if (location < 0) return;  // folded away in this variant
    if (Fresh(slot, &v, sizeof v)) glUniform1f(location, v);
  }
  void Uniform2f(Slot slot, GLint location, GLfloat x, GLfloat y) {
    if (location < 0) return;  // folded away in this variant
    const GLfloat v[2] = {x, y};
    if (Fresh(slot, v, sizeof v)) glUniform2fv(location, 1, v);
  }
  void Uniform3f(Slot slot, GLint location, GLfloat x, GLfloat y, GLfloat z) {
    if (location < 0) return;  // folded away in this variant
    const GLfloat v[3] = {x, y, z};
    if (Fresh(slot, v, sizeof v)) glUniform3fv(location, 1, v);
  }
  void Uniform4f(Slot slot, GLint location, GLfloat x, GLfloat y, GLfloat z, GLfloat w) {
    if (location < 0) return;  // folded away in this variant
    const GLfloat v[4] = {x, y, z, w};
    if (Fresh(slot, v, sizeof v)) glUniform4fv(location, 1, v);
  }
  void UseProgram(GLuint program) {
    if (gl_.valid && gl_.program == program) return;
    glUseProgram(program);
    gl_.program = program;
  }
  void BindElements(GLuint buffer) {
    if (gl_.valid && gl_.elements == buffer) return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
    gl_.elements = buffer;
  }
  void SetupAttributes(GLuint buffer, GLintptr base, uint32_t stride);
  void ApplyProgram(PrimitiveType type);

  void SetDefaults();
  void BindAttributes(GLintptr base, uint32_t stride);
  void ApplyStates(PrimitiveType type);
  void ApplyFixedFunction(PrimitiveType type);
  FixedProgram* SelectFixedProgram(PrimitiveType type);
  // The setup of the draw being made.
  DrawSetup CurrentSetup() const {
    return {&layout_, &material_, textures_[0], rs_[static_cast<int>(RenderState::Lighting)] != 0};
  }
  bool AlphaIsOne(const DrawSetup& setup) const;
  bool Blends(const DrawSetup& setup) const;
  bool Batchable(PrimitiveType type) const;
  void DrawNow(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  void FlushPending();
  void DrawInstances(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount,
                     const std::vector<Matrix>& worlds);
  bool OrderFree() const;
  void Gather(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  void FlushGroups();
  bool Prepare(PrimitiveType type, uint32_t primitiveCount, GLenum* mode, GLsizei* count);
  int32_t CullablePosition(PrimitiveType type) const;
  bool Unseen(const VertexBounds& box) const;
  bool StreamUnseen(PrimitiveType type, int64_t first, uint32_t count);
  void LeaveOut();
  // The back buffer: the window's own (0) or the device's.
  GLuint BackFbo() const { return intoWindow_ ? 0 : fbo_; }
  // What draws land in: the current target, or the back buffer.
  GLuint CurrentFbo() const { return target_ ? target_->Framebuffer() : BackFbo(); }
  uint32_t TargetWidth() const { return target_ ? target_->Width() : kBackBufferWidth; }
  uint32_t TargetHeight() const { return target_ ? target_->Height() : kBackBufferHeight; }

  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  uint64_t generation_ = 0;
  Caps caps_;
  GLuint fbo_ = 0, colour_ = 0, depth_ = 0;
  GLuint vao_ = 0, streamVbo_ = 0;
  GLuint samplers_[kStages] = {};
  bool clipControl_ = false;

  uint32_t rs_[static_cast<int>(RenderState::Count)] = {};
  uint32_t tss_[kStages][static_cast<int>(StageState::Count)] = {};
  uint32_t ss_[kStages][static_cast<int>(SamplerState::Count)] = {};
  Texture* textures_[kStages] = {};
  Matrix transforms_[3];
  Light light_;
  bool lightOn_ = false;
  Material material_;
  Viewport viewport_;
  VertexLayout layout_;
  uint32_t layoutFvf_ = 0;  // the FVF layout_ was last set from; 0: set as a layout
  GLBuffer* stream_ = nullptr;
  uint32_t streamOffset_ = 0, streamStride_ = 0;
  GLBuffer* indices_ = nullptr;
  ShaderProgram* program_ = nullptr;
  GLRenderTarget* target_ = nullptr;  // null: the back buffer
  // Presenting: whether the window's back buffer keeps its contents across a
  // swap, and the picture and size last copied into it.
  enum class Keeps { No, Unknown, Yes };
  Keeps windowKeeps_ = Keeps::No;
  uint64_t copiedSerial_ = 0;
  int copiedWidth_ = 0, copiedHeight_ = 0;
  // The picture as far as it was last handed to the driver; llvmpipe's
  // threads rasterise what is handed over while the rest is sent.
  uint64_t submittedSerial_ = 0;
  void SubmitDrawn() {
    if (submittedSerial_ == g_pictureSerial) return;
    FlushHeld();
    glFlush();
    submittedSerial_ = g_pictureSerial;
  }
  std::vector<uint32_t> ReadRows(GLuint fbo);
  bool WindowKeepsBackBuffer();
  bool WindowCanHoldThePicture();
  void CopyPicture(GLuint from, GLuint to);
  // Whether the window's back buffer may hold the picture, and whether it does.
  bool windowCanHold_ = false;
  bool intoWindow_ = false;
  bool failTargets_ = false;
  bool filter_ = true;
  Shadow gl_;
  AttribSetup attribs_;
  // The general program, and the variants built so far by the key of their
  // path (null for one that failed to build: the general program draws it).
  FixedProgram general_;
  std::unordered_map<uint64_t, std::unique_ptr<FixedProgram>> variants_;
  FixedProgram* ff_ = &general_;  // the program of the current draw
  bool useVariants_ = true;
  // Consecutive DrawPrimitive calls that differ only in the world matrix
  // (billboards, particles), held to be drawn as one instanced draw, each
  // instance with its own world-view matrix.
  struct PendingDraws {
    PrimitiveType type = TriangleList;
    uint32_t startVertex = 0, primitiveCount = 0;
    std::vector<Matrix> worlds;
  };
  PendingDraws pending_;
  bool instancing_ = false;  // the draw being made takes its world-view per instance
  GLuint instanceVbo_ = 0;
  std::vector<Matrix> instanceMatrices_;
  // Held draws that give the same picture in any order among themselves
  // (OrderFree), gathered by every state they are drawn with but the world
  // matrix, in the order each set of states was first seen. They are drawn
  // as one instanced draw a group before any draw that is not held
  // (FlushHeld).
  struct HeldState {
    uint32_t rs[static_cast<int>(RenderState::Count)];
    uint32_t tss[kStages][static_cast<int>(StageState::Count)];
    uint32_t ss[kStages][static_cast<int>(SamplerState::Count)];
    Texture* textures[kStages];  // referenced while held
    Matrix view, projection;
    Light light;
    bool lightOn;
    Material material;
    Viewport viewport;
    VertexLayout layout;
    GLBuffer* stream;  // referenced while held
    uint32_t streamOffset, streamStride;
    PrimitiveType type;
    uint32_t startVertex, primitiveCount;
  };
  struct HeldGroup {
    HeldState state;
    std::vector<Matrix> worlds;
  };
  static constexpr size_t kMaxGroups = 64;
  bool SameAsCurrent(const HeldState& h, PrimitiveType type, uint32_t startVertex,
                     uint32_t primitiveCount) const;
  void HoldCurrent(HeldState* h, PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  void SwapIn(HeldState* h);
  std::vector<HeldGroup> groups_;  // the first groupCount_ are in use; the rest keep storage
  size_t groupCount_ = 0;
  bool regroup_ = true;
  bool cull_ = true;
  uint64_t drawCalls_ = 0;
  uint64_t culledDraws_ = 0;
};

void ForgetTextureBindings() {
  if (g_current) static_cast<GLDevice*>(g_current)->ForgetTextures();
}
void ForgetBufferBindings() {
  if (g_current) static_cast<GLDevice*>(g_current)->ForgetBuffers();
}
void FlushPendingDraws() {
  if (g_current) static_cast<GLDevice*>(g_current)->FlushHeld();
}

void GLBuffer::Upload() {
  locked_ = false;
  spans_.clear();
  bounds_.Clear();
  if (!Alive(generation_)) return;
  FlushPendingDraws();
  // Bound on the array target so no vertex array's index binding changes.
  glBindBuffer(GL_ARRAY_BUFFER, name_);
  // Storage of the same size is written in place: a new store would make the
  // driver rebind every vertex array that uses the buffer.
  if (allocated_ && g_current->GetStateFilter()) {
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(data_.size()), data_.data());
  } else {
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data_.size()), data_.data(),
                 GL_STATIC_DRAW);
    allocated_ = true;
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

GLTexture::~GLTexture() {
  if (!Alive(generation_)) return;
  glDeleteTextures(1, &name_);
  ForgetTextureBindings();
}

GLRenderTarget::GLRenderTarget(uint64_t generation, uint32_t w, uint32_t h)
    : generation_(generation), width_(w), height_(h) {
  const GLsizei gw = static_cast<GLsizei>(w), gh = static_cast<GLsizei>(h);
  while (glGetError() != GL_NO_ERROR) {
  }
  texture_ = new GLTexture(generation, w, h, 1);
  glGenRenderbuffers(1, &colour_);
  glBindRenderbuffer(GL_RENDERBUFFER, colour_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, gw, gh);
  glGenRenderbuffers(1, &depth_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, gw, gh);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glGenFramebuffers(1, &drawFbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  complete_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glGenFramebuffers(1, &resolveFbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, resolveFbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_->Name(), 0);
  complete_ = complete_ && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  complete_ = complete_ && glGetError() == GL_NO_ERROR;
}

GLRenderTarget::~GLRenderTarget() {
  SafeRelease(texture_);
  if (!Alive(generation_)) return;
  if (drawFbo_) glDeleteFramebuffers(1, &drawFbo_);
  if (resolveFbo_) glDeleteFramebuffers(1, &resolveFbo_);
  if (colour_) glDeleteRenderbuffers(1, &colour_);
  if (depth_) glDeleteRenderbuffers(1, &depth_);
}

void GLRenderTarget::Resolve() {
  if (!Alive(generation_)) return;
  const GLint w = static_cast<GLint>(width_), h = static_cast<GLint>(height_);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFbo_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
  glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  texture_->Drawn();
}

void GLDevice::SetDefaults() {
  auto set = [this](RenderState s, uint32_t v) { rs_[static_cast<int>(s)] = v; };
  set(RenderState::Lighting, 1);
  set(RenderState::SpecularEnable, 0);
  set(RenderState::CullMode, CullCCW);
  set(RenderState::ShadeMode, ShadeGouraud);
  set(RenderState::Ambient, 0);
  set(RenderState::AlphaTestEnable, 0);
  set(RenderState::AlphaFunc, CmpAlways);
  set(RenderState::AlphaRef, 0);
  set(RenderState::ZEnable, 1);
  set(RenderState::ZFunc, CmpLessEqual);
  set(RenderState::ZWriteEnable, 1);
  set(RenderState::NormalizeNormals, 0);
  set(RenderState::AlphaBlendEnable, 0);
  set(RenderState::SrcBlend, BlendOne);
  set(RenderState::DestBlend, BlendZero);
  set(RenderState::ColorVertex, 1);
  set(RenderState::PointSpriteEnable, 0);
  set(RenderState::PointScaleEnable, 0);
  set(RenderState::PointSize, FloatBits(1.0f));
  set(RenderState::PointSizeMin, FloatBits(1.0f));
  set(RenderState::PointSizeMax, FloatBits(64.0f));
  set(RenderState::PointScaleA, FloatBits(1.0f));
  set(RenderState::PointScaleB, FloatBits(0.0f));
  set(RenderState::PointScaleC, FloatBits(0.0f));
  for (int s = 0; s < kStages; ++s) {
    auto& t = tss_[s];
    t[static_cast<int>(StageState::ColorOp)] = s == 0 ? TexOpModulate : TexOpDisable;
    t[static_cast<int>(StageState::ColorArg1)] = TexArgTexture;
    t[static_cast<int>(StageState::ColorArg2)] = TexArgCurrent;
    t[static_cast<int>(StageState::AlphaOp)] = s == 0 ? TexOpSelectArg1 : TexOpDisable;
    t[static_cast<int>(StageState::AlphaArg1)] = TexArgTexture;
    t[static_cast<int>(StageState::AlphaArg2)] = TexArgCurrent;
    auto& p = ss_[s];
    p[static_cast<int>(SamplerState::AddressU)] = AddressWrap;
    p[static_cast<int>(SamplerState::AddressV)] = AddressWrap;
    p[static_cast<int>(SamplerState::MagFilter)] = FilterPoint;
    p[static_cast<int>(SamplerState::MinFilter)] = FilterPoint;
    p[static_cast<int>(SamplerState::MipFilter)] = FilterNone;
  }
  for (auto& m : transforms_) m = MatrixIdentity();
  light_ = Light{};
  light_.diffuse = {1, 1, 1, 0};
  light_.direction = Vec3(0, 0, 1);
  lightOn_ = false;
  material_ = Material{};
  viewport_ = Viewport{0, 0, kBackBufferWidth, kBackBufferHeight, 0.0f, 1.0f};
  layout_ = VertexLayout{};
  layoutFvf_ = 0;
}

bool GLDevice::Init(Window* window, std::string* error) {
  auto fail = [error](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  generation_ = g_generation;
  ++g_pictureSerial;
  if (!window || !window->sdl) return fail("no window");
  window_ = window->sdl;
  SetGlAttributes();
  context_ = SDL_GL_CreateContext(window_);
  if (!context_) return fail(std::string("OpenGL context: ") + SDL_GetError());
  if (SDL_GL_MakeCurrent(window_, context_) != 0)
    return fail(std::string("OpenGL context: ") + SDL_GetError());
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major < 3 || (major == 3 && minor < 3)) return fail("OpenGL 3.3 is required");
  SDL_GL_SetSwapInterval(0);
  {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* video = SDL_GetCurrentVideoDriver();
    const bool software =
        renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe"));
    if (software && video && (!std::strcmp(video, "x11") || !std::strcmp(video, "offscreen")))
      windowKeeps_ = Keeps::Unknown;
  }

  // Direct3D's depth range 0..1 in clip space, natively when the driver can.
  using ClipControlFn = void (*)(GLenum, GLenum);
  auto clipControl = reinterpret_cast<ClipControlFn>(SDL_GL_GetProcAddress("glClipControl"));
  if (clipControl && (major > 4 || (major == 4 && minor >= 5))) {
    clipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    clipControl_ = true;
  }

  glGenRenderbuffers(1, &colour_);
  glBindRenderbuffer(GL_RENDERBUFFER, colour_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kBackBufferWidth, kBackBufferHeight);
  glGenRenderbuffers(1, &depth_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kBackBufferWidth, kBackBufferHeight);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glGenFramebuffers(1, &fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    return fail("back buffer incomplete");

  std::string log;
  general_.name = gl::BuildFixedProgram(nullptr, &log);
  if (!general_.name) return fail("fixed-function shader: " + log);
  general_.u = gl::PrepareFixedProgram(general_.name, !clipControl_);

  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenBuffers(1, &streamVbo_);
  glGenBuffers(1, &instanceVbo_);
  glGenSamplers(kStages, samplers_);
  for (int s = 0; s < kStages; ++s) glBindSampler(static_cast<GLuint>(s), samplers_[s]);
  glEnable(GL_PROGRAM_POINT_SIZE);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);

  GLfloat range[2] = {1, 1};
  glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, range);
  caps_.vertexShaderVersion = 0xFFFE0300;
  caps_.maxPointSize = range[1];

  SetDefaults();
  rs_[static_cast<int>(RenderState::PointSizeMax)] = FloatBits(caps_.maxPointSize);
  windowCanHold_ = WindowCanHoldThePicture();
  intoWindow_ = windowCanHold_;
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  return true;
}

GLDevice::~GLDevice() {
  pending_.worlds.clear();  // nothing is drawn any more
  for (size_t i = 0; i < groupCount_; ++i) {
    for (auto& t : groups_[i].state.textures) SafeRelease(t);
    SafeRelease(groups_[i].state.stream);
  }
  groupCount_ = 0;
  for (auto& t : textures_) SafeRelease(t);
  SafeRelease(target_);
  SafeRelease(stream_);
  SafeRelease(indices_);
  if (context_) {
    SDL_GL_MakeCurrent(window_, context_);
    if (general_.name) glDeleteProgram(general_.name);
    for (auto& entry : variants_)
      if (entry.second) glDeleteProgram(entry.second->name);
    if (samplers_[0]) glDeleteSamplers(kStages, samplers_);
    if (streamVbo_) glDeleteBuffers(1, &streamVbo_);
    if (instanceVbo_) glDeleteBuffers(1, &instanceVbo_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
    if (fbo_) glDeleteFramebuffers(1, &fbo_);
    if (colour_) glDeleteRenderbuffers(1, &colour_);
    if (depth_) glDeleteRenderbuffers(1, &depth_);
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
  }
  if (g_current == this) g_current = nullptr;
}

void GLDevice::Clear(uint32_t flags, Argb colour, float z) {
  GLbitfield mask = 0;
  if (flags & ClearTarget) mask |= GL_COLOR_BUFFER_BIT;
  if (flags & ClearZBuffer) mask |= GL_DEPTH_BUFFER_BIT;
  if (!mask) return;
  FlushHeld();
  ++g_pictureSerial;
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(viewport_.x),
            static_cast<GLint>(TargetHeight() - viewport_.y - viewport_.height),
            static_cast<GLsizei>(viewport_.width), static_cast<GLsizei>(viewport_.height));
  const ColorValue c = FromArgb(colour);
  glClearColor(c.r, c.g, c.b, c.a);
  glClearDepth(std::clamp(z, 0.0f, 1.0f));
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  gl_.depthMask = GL_TRUE;
  glClear(mask);
  glDisable(GL_SCISSOR_TEST);
}

void GLDevice::SetupAttributes(GLuint buffer, GLintptr base, uint32_t stride) {
  const uint32_t pointSize = rs_[static_cast<int>(RenderState::PointSize)];
  AttribSetup& a = attribs_;
  if (a.valid && a.buffer == buffer && a.base == base && a.stride == stride &&
      a.pointSize == pointSize && SameElements(a.elements, layout_.elements))
    return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  BindAttributes(base, stride);
  a.valid = true;
  a.buffer = buffer;
  a.base = base;
  a.stride = stride;
  a.pointSize = pointSize;
  a.elements = layout_.elements;
}

void GLDevice::BindAttributes(GLintptr base, uint32_t stride) {
  static const int kAll[] = {attrib::Position, attrib::BlendWeight, attrib::BlendIndices,
                             attrib::Normal,   attrib::Color,       attrib::TexCoord0,
                             attrib::PSize,    attrib::TexCoord1};
  bool used[8] = {};
  for (const VertexElement& e : layout_.elements) {
    int location = -1;
    switch (e.usage) {
      case DeclUsage::Position:
        location = e.usageIndex == 0 ? attrib::Position : -1;
        break;
      case DeclUsage::BlendWeight:
        location = attrib::BlendWeight;
        break;
      case DeclUsage::BlendIndices:
        location = attrib::BlendIndices;
        break;
      case DeclUsage::Normal:
        location = e.usageIndex == 0 ? attrib::Normal : -1;
        break;
      case DeclUsage::PSize:
        location = attrib::PSize;
        break;
      case DeclUsage::Color:
        location = e.usageIndex == 0 ? attrib::Color : -1;
        break;
      case DeclUsage::TexCoord:
        location = e.usageIndex == 0   ? attrib::TexCoord0
                   : e.usageIndex == 1 ? attrib::TexCoord1
                                       : -1;
        break;
    }
    if (location < 0 || used[location]) continue;
    const void* ptr = reinterpret_cast<const void*>(base + e.offset);
    const GLuint l = static_cast<GLuint>(location);
    switch (e.type) {
      case DeclType::Float1:
      case DeclType::Float2:
      case DeclType::Float3:
      case DeclType::Float4:
        glVertexAttribPointer(l, static_cast<int>(e.type) + 1, GL_FLOAT, GL_FALSE,
                              static_cast<GLsizei>(stride), ptr);
        break;
      case DeclType::Color:
        // B, G, R, A bytes in memory arrive as (r, g, b, a).
        glVertexAttribPointer(l, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(stride),
                              ptr);
        break;
      case DeclType::UByte4:
        glVertexAttribPointer(l, 4, GL_UNSIGNED_BYTE, GL_FALSE, static_cast<GLsizei>(stride), ptr);
        break;
      default:
        continue;
    }
    glEnableVertexAttribArray(l);
    used[location] = true;
  }
  for (int l : kAll) {
    if (used[l]) continue;
    glDisableVertexAttribArray(static_cast<GLuint>(l));
    // Missing elements read as Direct3D supplies them: white colour, zero normal.
    if (l == attrib::Color)
      glVertexAttrib4f(static_cast<GLuint>(l), 1, 1, 1, 1);
    else if (l == attrib::PSize)
      glVertexAttrib4f(static_cast<GLuint>(l),
                       AsFloat(rs_[static_cast<int>(RenderState::PointSize)]), 0, 0, 1);
    else
      glVertexAttrib4f(static_cast<GLuint>(l), 0, 0, 0, 1);
  }
}

void GLDevice::ApplyStates(PrimitiveType type) {
  auto rs = [this](RenderState s) { return rs_[static_cast<int>(s)]; };
  // Without the filter every draw sends everything, as the reference path.
  if (!filter_) Forget();
  Shadow& g = gl_;
  const bool fresh = !g.valid;
  if (fresh) {
    glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glFrontFace(GL_CCW);
    glBlendEquation(GL_FUNC_ADD);
  }
  const GLint vp[4] = {static_cast<GLint>(viewport_.x),
                       static_cast<GLint>(TargetHeight() - viewport_.y - viewport_.height),
                       static_cast<GLsizei>(viewport_.width),
                       static_cast<GLsizei>(viewport_.height)};
  if (fresh || std::memcmp(vp, g.viewport, sizeof vp) != 0) {
    glViewport(vp[0], vp[1], vp[2], vp[3]);
    std::memcpy(g.viewport, vp, sizeof vp);
  }
  if (fresh || g.depthRange[0] != viewport_.minZ || g.depthRange[1] != viewport_.maxZ) {
    glDepthRange(viewport_.minZ, viewport_.maxZ);
    g.depthRange[0] = viewport_.minZ;
    g.depthRange[1] = viewport_.maxZ;
  }

  const bool blend = Blends(CurrentSetup());
  if (fresh || blend != g.blend) {
    blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    g.blend = blend;
  }
  if (blend) {
    const GLenum src = GlBlend(rs(RenderState::SrcBlend)),
                 dst = GlBlend(rs(RenderState::DestBlend));
    if (fresh || src != g.blendSrc || dst != g.blendDst) {
      glBlendFunc(src, dst);
      g.blendSrc = src;
      g.blendDst = dst;
    }
  }
  const bool depth = rs(RenderState::ZEnable) != 0;
  if (fresh || depth != g.depthTest) {
    depth ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    g.depthTest = depth;
  }
  if (depth) {
    const GLenum func = GlCompare(rs(RenderState::ZFunc));
    const GLboolean mask = rs(RenderState::ZWriteEnable) ? GL_TRUE : GL_FALSE;
    if (fresh || func != g.depthFunc) {
      glDepthFunc(func);
      g.depthFunc = func;
    }
    if (fresh || mask != g.depthMask) {
      glDepthMask(mask);
      g.depthMask = mask;
    }
  }
  // Winding is judged as seen on screen; the back buffer is not flipped, so
  // GL's counter-clockwise is the screen's.
  const uint32_t cullMode = rs(RenderState::CullMode);
  const bool cull =
      !(cullMode == CullNone || type == PointList || type == LineList || type == LineStrip);
  if (fresh || cull != g.cull) {
    cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
    g.cull = cull;
  }
  if (cull) {
    const GLenum face = cullMode == CullCCW ? GL_FRONT : GL_BACK;
    if (fresh || face != g.cullFace) {
      glCullFace(face);
      g.cullFace = face;
    }
  }

  bool unitChanged = false;
  for (int s = 0; s < kStages; ++s) {
    GLTexture* t = static_cast<GLTexture*>(textures_[s]);
    const GLuint name = t ? t->Name() : 0;
    if (fresh || name != g.texture[s]) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
      glBindTexture(GL_TEXTURE_2D, name);
      g.texture[s] = name;
      unitChanged = true;
    }
    const auto& p = ss_[s];
    const GLuint sm = samplers_[s];
    auto wrap = [](uint32_t a) { return a == AddressClamp ? GL_CLAMP_TO_EDGE : GL_REPEAT; };
    const bool magLinear = p[static_cast<int>(SamplerState::MagFilter)] == FilterLinear;
    const bool minLinear = p[static_cast<int>(SamplerState::MinFilter)] == FilterLinear;
    const uint32_t mip = p[static_cast<int>(SamplerState::MipFilter)];
    GLint minFilter;
    if (mip == FilterNone)
      minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    else if (mip == FilterPoint)
      minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else
      minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    const GLint params[4] = {wrap(p[static_cast<int>(SamplerState::AddressU)]),
                             wrap(p[static_cast<int>(SamplerState::AddressV)]),
                             magLinear ? GL_LINEAR : GL_NEAREST, minFilter};
    static const GLenum kNames[4] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MAG_FILTER,
                                     GL_TEXTURE_MIN_FILTER};
    for (int k = 0; k < 4; ++k) {
      if (fresh || params[k] != g.sampler[s][k]) {
        glSamplerParameteri(sm, kNames[k], params[k]);
        g.sampler[s][k] = params[k];
      }
    }
  }
  if (unitChanged || fresh) glActiveTexture(GL_TEXTURE0);
  if (fresh) {
    g.program = kUnknownName;
    g.elements = kUnknownName;
    attribs_.valid = false;
    g.valid = true;
  }
}

// The program for the path the current state selects: the variant of that
// path, built on first use, or the general program when variants are off or
// the variant failed to build.
GLDevice::FixedProgram* GLDevice::SelectFixedProgram(PrimitiveType type) {
  if (!useVariants_ && !instancing_) return &general_;
  auto rs = [this](RenderState s) { return rs_[static_cast<int>(s)]; };
  auto op = [](uint32_t v) { return v >= 1 && v <= 7 ? static_cast<int>(v) : 0; };
  auto arg = [](uint32_t v) { return v == 1 || v == 2 ? static_cast<int>(v) : 0; };
  gl::FixedPath p;
  p.remapDepth = !clipControl_;
  p.instanced = instancing_;
  p.lighting = rs(RenderState::Lighting) != 0;
  if (p.lighting) {
    p.normalize = rs(RenderState::NormalizeNormals) != 0;
    p.diffuseFromVertex =
        layout_.Find(DeclUsage::Color, 0) != nullptr && rs(RenderState::ColorVertex) != 0;
    p.lightOn = lightOn_;
    if (p.lightOn) {
      p.lightDirectional = light_.type == LightDirectional;
      p.lightRanged = !p.lightDirectional && light_.range > 0.0f;
    }
  }
  p.texCoord1Present = layout_.Find(DeclUsage::TexCoord, 1) != nullptr;
  p.points = type == PointList;
  if (p.points) {
    p.pointScale = rs(RenderState::PointScaleEnable) != 0;
    p.pointSprite = rs(RenderState::PointSpriteEnable) != 0;
  }
  p.alphaTest = rs(RenderState::AlphaTestEnable) != 0;
  if (p.alphaTest) p.alphaFunc = op(rs(RenderState::AlphaFunc));
  if (p.alphaTest && AlphaIsOne(CurrentSetup())) {
    // Every fragment's alpha is 255: the test passes all or none.
    const uint32_t ref = rs(RenderState::AlphaRef) & 0xFF;
    bool passes = true;
    switch (p.alphaFunc) {
      case CmpNever:
        passes = false;
        break;
      case CmpLess:
        passes = 255 < ref;
        break;
      case CmpEqual:
        passes = ref == 255;
        break;
      case CmpLessEqual:
        passes = ref == 255;
        break;
      case CmpNotEqual:
        passes = ref != 255;
        break;
      default:  // greater (or equal) than a byte, always
        passes = p.alphaFunc != CmpGreater || ref < 255;
        break;
    }
    if (passes) {
      p.alphaTest = false;
      p.alphaFunc = 0;
    }
  }
  for (int s = 0; s < kStages; ++s) {
    const auto& t = tss_[s];
    p.colorOps[s][0] = op(t[static_cast<int>(StageState::ColorOp)]);
    if (p.colorOps[s][0] == static_cast<int>(TexOpDisable)) break;  // later stages are never read
    p.hasTexture[s] = textures_[s] != nullptr;
    p.colorOps[s][1] = arg(t[static_cast<int>(StageState::ColorArg1)]);
    p.colorOps[s][2] = arg(t[static_cast<int>(StageState::ColorArg2)]);
    p.alphaOps[s][0] = op(t[static_cast<int>(StageState::AlphaOp)]);
    if (p.alphaOps[s][0] == static_cast<int>(TexOpDisable)) continue;
    p.alphaOps[s][1] = arg(t[static_cast<int>(StageState::AlphaArg1)]);
    p.alphaOps[s][2] = arg(t[static_cast<int>(StageState::AlphaArg2)]);
  }
  const uint64_t key = p.Key();
  auto found = variants_.find(key);
  if (found != variants_.end()) return found->second ? found->second.get() : &general_;
  std::string log;
  const GLuint name = gl::BuildFixedProgram(&p, &log);
  if (!name) {
    // One line: the log's first.
    const std::string first = log.substr(0, log.find('\n'));
    std::fprintf(stderr, "shader variant %016llx failed, drawing with the general program: %s\n",
                 static_cast<unsigned long long>(key), first.c_str());
    variants_.emplace(key, nullptr);
    gl_.program = kUnknownName;
    return &general_;
  }
  auto program = std::make_unique<FixedProgram>();
  program->name = name;
  program->u = gl::PrepareFixedProgram(name, p.remapDepth);
  gl_.program = name;
  FixedProgram* made = program.get();
  variants_.emplace(key, std::move(program));
  return made;
}

// Whether a draw with the current states but the setup given blends with the
// picture. Weighing the source by one and the picture by nothing copies the
// source, which is what drawing unblended does, and more cheaply.
bool GLDevice::Blends(const DrawSetup& setup) const {
  if (rs_[static_cast<int>(RenderState::AlphaBlendEnable)] == 0) return false;
  const GLenum src = GlBlend(rs_[static_cast<int>(RenderState::SrcBlend)]),
               dst = GlBlend(rs_[static_cast<int>(RenderState::DestBlend)]);
  return !((src == GL_ONE || src == GL_SRC_ALPHA) &&
           (dst == GL_ZERO || dst == GL_ONE_MINUS_SRC_ALPHA) && AlphaIsOne(setup));
}

// Whether every fragment of a fixed-function draw with the current states but
// the setup given has alpha exactly one: textures uploaded opaque, a diffuse
// alpha of one (no vertex colours), and alpha operations that keep one. Then
// blending that weighs the source by its alpha and an alpha test that passes
// 255 change nothing. Only on the specialised path: the general one keeps
// them, for comparison.
bool GLDevice::AlphaIsOne(const DrawSetup& setup) const {
  if (!useVariants_ || program_) return false;
  auto rs = [this](RenderState s) { return rs_[static_cast<int>(s)]; };
  const bool vertexColour = setup.layout->Find(DeclUsage::Color, 0) != nullptr;
  bool diffuse;
  if (setup.lit)
    diffuse =
        !(vertexColour && rs(RenderState::ColorVertex) != 0) && setup.material->diffuse.a >= 1.0f;
  else
    diffuse = !vertexColour;  // missing colours read as opaque white
  bool cur = diffuse;
  for (int s = 0; s < kStages; ++s) {
    const auto& t = tss_[s];
    if (t[static_cast<int>(StageState::ColorOp)] == TexOpDisable) break;
    const uint32_t op = t[static_cast<int>(StageState::AlphaOp)];
    if (op == TexOpDisable) continue;
    const uint32_t a1 = t[static_cast<int>(StageState::AlphaArg1)],
                   a2 = t[static_cast<int>(StageState::AlphaArg2)];
    const GLTexture* texture = static_cast<const GLTexture*>(s == 0 ? setup.texture : textures_[s]);
    const bool readsTexture = (op != TexOpSelectArg2 && a1 == TexArgTexture) ||
                              (op != TexOpSelectArg1 && a2 == TexArgTexture);
    if (!texture && readsTexture) continue;  // passes the current alpha
    auto one = [&](uint32_t a) {
      if (a == TexArgTexture) return !texture || texture->Opaque();
      if (a == TexArgCurrent) return cur;
      return diffuse;
    };
    switch (op) {
      case TexOpSelectArg2:
        cur = one(a2);
        break;
      case TexOpModulate:
      case TexOpModulate2x:
      case TexOpModulate4x:
        cur = one(a1) && one(a2);
        break;
      case TexOpAdd:
        cur = one(a1) || one(a2);
        break;
      default:  // select the first, as unknown operations do
        cur = one(a1);
        break;
    }
  }
  return cur;
}

void GLDevice::ApplyFixedFunction(PrimitiveType type) {
  auto rs = [this](RenderState s) { return rs_[static_cast<int>(s)]; };
  ff_ = SelectFixedProgram(type);
  const gl::FixedUniforms& u_ = ff_->u;
  UseProgram(ff_->name);
  const Matrix& world = transforms_[static_cast<int>(TransformType::World)];
  const Matrix& view = transforms_[static_cast<int>(TransformType::View)];
  const Matrix& proj = transforms_[static_cast<int>(TransformType::Projection)];
  const Matrix wv = MatrixMultiply(world, view);
  if (Fresh(Slot::WorldView, &wv.m[0][0], sizeof wv.m))
    glUniformMatrix4fv(u_.worldView, 1, GL_FALSE, &wv.m[0][0]);
  if (Fresh(Slot::Projection, &proj.m[0][0], sizeof proj.m))
    glUniformMatrix4fv(u_.projection, 1, GL_FALSE, &proj.m[0][0]);

  const bool lighting = rs(RenderState::Lighting) != 0;
  Uniform1i(Slot::Lighting, u_.lighting, lighting);
  if (lighting) {
    float nm[9];
    NormalMatrix(wv, nm);
    if (Fresh(Slot::NormalMatrix, nm, sizeof nm))
      glUniformMatrix3fv(u_.normalMatrix, 1, GL_FALSE, nm);
    Uniform1i(Slot::Normalize, u_.normalize, rs(RenderState::NormalizeNormals) != 0);
    const bool vertexColour =
        layout_.Find(DeclUsage::Color, 0) != nullptr && rs(RenderState::ColorVertex) != 0;
    Uniform1i(Slot::DiffuseFromVertex, u_.diffuseFromVertex, vertexColour);
    const ColorValue amb = FromArgb(rs(RenderState::Ambient));
    Uniform4f(Slot::Ambient, u_.ambient, amb.r, amb.g, amb.b, amb.a);
    const Material& m = material_;
    Uniform4f(Slot::MatDiffuse, u_.matDiffuse, m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a);
    Uniform4f(Slot::MatAmbient, u_.matAmbient, m.ambient.r, m.ambient.g, m.ambient.b, m.ambient.a);
    Uniform4f(Slot::MatEmissive, u_.matEmissive, m.emissive.r, m.emissive.g, m.emissive.b,
              m.emissive.a);
    Uniform1i(Slot::LightOn, u_.lightOn, lightOn_);
    Uniform1i(Slot::LightType, u_.lightType, static_cast<GLint>(light_.type));
    const Vec3 dir = TransformDir(light_.direction, view);
    Uniform3f(Slot::LightDirView, u_.lightDirView, dir.x, dir.y, dir.z);
    const Vec3 pos = TransformPoint(light_.position, view);
    Uniform3f(Slot::LightPosView, u_.lightPosView, pos.x, pos.y, pos.z);
    Uniform4f(Slot::LightDiffuse, u_.lightDiffuse, light_.diffuse.r, light_.diffuse.g,
              light_.diffuse.b, light_.diffuse.a);
    Uniform4f(Slot::LightAmbient, u_.lightAmbient, light_.ambient.r, light_.ambient.g,
              light_.ambient.b, light_.ambient.a);
    Uniform4f(Slot::LightAtten, u_.lightAtten, light_.attenuation0, light_.attenuation1,
              light_.attenuation2, light_.range);
  }
  Uniform1i(Slot::TexCoord1Present, u_.texCoord1Present,
            layout_.Find(DeclUsage::TexCoord, 1) != nullptr);

  const bool points = type == PointList;
  Uniform1i(Slot::Points, u_.points, points);
  Uniform1i(Slot::PointSprite, u_.pointSprite, points && rs(RenderState::PointSpriteEnable) != 0);
  if (points) {
    Uniform1i(Slot::PointScale, u_.pointScale, rs(RenderState::PointScaleEnable) != 0);
    Uniform4f(Slot::PointParams, u_.pointParams, AsFloat(rs(RenderState::PointScaleA)),
              AsFloat(rs(RenderState::PointScaleB)), AsFloat(rs(RenderState::PointScaleC)),
              static_cast<float>(viewport_.height));
    Uniform2f(Slot::PointClamp, u_.pointClamp, AsFloat(rs(RenderState::PointSizeMin)),
              std::min(AsFloat(rs(RenderState::PointSizeMax)), caps_.maxPointSize));
  }

  GLint hasTexture[kStages];
  GLint colorOps[kStages * 3], alphaOps[kStages * 3];
  for (int s = 0; s < kStages; ++s) {
    hasTexture[s] = textures_[s] != nullptr;
    const auto& t = tss_[s];
    colorOps[s * 3 + 0] = static_cast<GLint>(t[static_cast<int>(StageState::ColorOp)]);
    colorOps[s * 3 + 1] = static_cast<GLint>(t[static_cast<int>(StageState::ColorArg1)]);
    colorOps[s * 3 + 2] = static_cast<GLint>(t[static_cast<int>(StageState::ColorArg2)]);
    alphaOps[s * 3 + 0] = static_cast<GLint>(t[static_cast<int>(StageState::AlphaOp)]);
    alphaOps[s * 3 + 1] = static_cast<GLint>(t[static_cast<int>(StageState::AlphaArg1)]);
    alphaOps[s * 3 + 2] = static_cast<GLint>(t[static_cast<int>(StageState::AlphaArg2)]);
  }
  if (Fresh(Slot::HasTexture, hasTexture, sizeof hasTexture))
    glUniform1iv(u_.hasTexture, kStages, hasTexture);
  if (Fresh(Slot::ColorOps, colorOps, sizeof colorOps))
    glUniform3iv(u_.colorOps, kStages, colorOps);
  if (Fresh(Slot::AlphaOps, alphaOps, sizeof alphaOps))
    glUniform3iv(u_.alphaOps, kStages, alphaOps);

  Uniform1i(Slot::AlphaTest, u_.alphaTest, rs(RenderState::AlphaTestEnable) != 0);
  Uniform1i(Slot::AlphaFunc, u_.alphaFunc, static_cast<GLint>(rs(RenderState::AlphaFunc)));
  Uniform1f(Slot::AlphaRef, u_.alphaRef, static_cast<float>(rs(RenderState::AlphaRef) & 0xFF));
}

// After an effect's program has drawn, the device no longer knows which
// program is current.
void GLDevice::ApplyProgram(PrimitiveType type) {
  if (program_) {
    program_->Apply(*this, layout_);
    gl_.program = kUnknownName;
  } else {
    ApplyFixedFunction(type);
  }
}

bool GLDevice::Prepare(PrimitiveType type, uint32_t primitiveCount, GLenum* mode, GLsizei* count) {
  if (primitiveCount == 0 || primitiveCount > (1u << 24)) return false;
  switch (type) {
    case PointList:
      *mode = GL_POINTS;
      *count = static_cast<GLsizei>(primitiveCount);
      break;
    case LineList:
      *mode = GL_LINES;
      *count = static_cast<GLsizei>(primitiveCount * 2);
      break;
    case LineStrip:
      *mode = GL_LINE_STRIP;
      *count = static_cast<GLsizei>(primitiveCount + 1);
      break;
    case TriangleList:
      *mode = GL_TRIANGLES;
      *count = static_cast<GLsizei>(primitiveCount * 3);
      break;
    case TriangleStrip:
      *mode = GL_TRIANGLE_STRIP;
      *count = static_cast<GLsizei>(primitiveCount + 2);
      break;
    case TriangleFan:
      *mode = GL_TRIANGLE_FAN;
      *count = static_cast<GLsizei>(primitiveCount + 2);
      break;
    default:
      return false;
  }
  return !layout_.elements.empty();
}

// The byte offset of the position in a vertex when the draw may be left out
// as unseen: the fixed-function shader, an untransformed float3 position
// (read with w = 1), no blend weights, and not points, whose sprites reach
// past their centres. Negative otherwise.
int32_t GLDevice::CullablePosition(PrimitiveType type) const {
  if (!cull_ || program_ || type == PointList) return -1;
  const VertexElement* position = nullptr;
  for (const VertexElement& e : layout_.elements) {
    if (e.usage == DeclUsage::BlendWeight || e.usage == DeclUsage::BlendIndices) return -1;
    if (e.usage == DeclUsage::Position && e.usageIndex == 0 && !position) position = &e;
  }
  if (!position || position->type != DeclType::Float3) return -1;
  return position->offset;
}

// Whether the box lies wholly outside the view through the current world,
// view and projection, the world-view matrix made as the shader gets it.
bool GLDevice::Unseen(const VertexBounds& box) const {
  if (!box.known) return false;
  const Matrix wv = MatrixMultiply(transforms_[static_cast<int>(TransformType::World)],
                                   transforms_[static_cast<int>(TransformType::View)]);
  return OutsideView(box, wv, transforms_[static_cast<int>(TransformType::Projection)]);
}

// Whether a draw of count stream vertices from vertex first lies wholly
// outside the view.
bool GLDevice::StreamUnseen(PrimitiveType type, int64_t first, uint32_t count) {
  const int32_t position = CullablePosition(type);
  if (position < 0 || first < 0 || stream_->Locked()) return false;
  const uint64_t byte = streamOffset_ + static_cast<uint64_t>(first) * streamStride_ +
                        static_cast<uint32_t>(position);
  return Unseen(stream_->Bounds(byte, streamStride_, count));
}

// A draw left out: the device stays as it was, the picture serial moves on
// as for a draw, and nothing reaches the context.
void GLDevice::LeaveOut() {
  ++g_pictureSerial;
  ++culledDraws_;
}

void GLDevice::DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                               uint32_t stride) {
  GLenum mode;
  GLsizei count;
  if (!vertices || stride == 0 || !Prepare(type, primitiveCount, &mode, &count)) return;
  if (const int32_t position = CullablePosition(type); position >= 0) {
    const size_t size = static_cast<size_t>(count) * stride;
    if (Unseen(ScanBounds(static_cast<const uint8_t*>(vertices), size,
                          static_cast<uint32_t>(position), stride, static_cast<uint32_t>(count)))) {
      LeaveOut();
      return;
    }
  }
  FlushHeld();
  ++g_pictureSerial;
  ApplyStates(type);
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(count) * stride;
  glBindBuffer(GL_ARRAY_BUFFER, streamVbo_);
  // Orphan the old storage so the driver never waits on the previous draw.
  glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices);
  SetupAttributes(streamVbo_, 0, stride);
  ApplyProgram(type);
  ++drawCalls_;
  glDrawArrays(mode, 0, count);
}

void GLDevice::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  GLenum mode;
  GLsizei count;
  if (!stream_ || streamStride_ == 0 || !Prepare(type, primitiveCount, &mode, &count)) return;
  const uint64_t end =
      streamOffset_ +
      (static_cast<uint64_t>(startVertex) + static_cast<uint64_t>(count)) * streamStride_;
  if (end > stream_->Size()) return;
  if (StreamUnseen(type, startVertex, static_cast<uint32_t>(count))) {
    LeaveOut();
    return;
  }
  if (Batchable(type) && regroup_ && OrderFree()) {
    Gather(type, startVertex, primitiveCount);
    return;
  }
  if (Batchable(type)) {
    if (groupCount_ != 0) FlushGroups();
    const PendingDraws& p = pending_;
    if (!p.worlds.empty() &&
        (p.type != type || p.startVertex != startVertex || p.primitiveCount != primitiveCount))
      FlushPending();
    pending_.type = type;
    pending_.startVertex = startVertex;
    pending_.primitiveCount = primitiveCount;
    pending_.worlds.push_back(transforms_[static_cast<int>(TransformType::World)]);
    return;
  }
  FlushHeld();
  DrawNow(type, startVertex, primitiveCount);
}

// Unlit fixed-function draws of the stream; not the reference path.
bool GLDevice::Batchable(PrimitiveType type) const {
  return filter_ && useVariants_ && !program_ && type != PointList &&
         rs_[static_cast<int>(RenderState::Lighting)] == 0;
}

void GLDevice::DrawNow(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  GLenum mode;
  GLsizei count;
  if (!Prepare(type, primitiveCount, &mode, &count)) return;
  ++g_pictureSerial;
  ApplyStates(type);
  SetupAttributes(stream_->Name(), static_cast<GLintptr>(streamOffset_), streamStride_);
  ApplyProgram(type);
  ++drawCalls_;
  glDrawArrays(mode, static_cast<GLint>(startVertex), count);
}

// The held run, drawn as it was asked for.
void GLDevice::FlushPending() {
  PendingDraws p;
  std::swap(p, pending_);
  DrawInstances(p.type, p.startVertex, p.primitiveCount, p.worlds);
  pending_.worlds.swap(p.worlds);  // keeps the storage
  pending_.worlds.clear();
}

// Draws of the stream that differ only in the world matrix, in their order:
// one alone as it was asked for, more as one instanced draw. Every state but
// the world matrix is the current one.
void GLDevice::DrawInstances(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount,
                             const std::vector<Matrix>& worlds) {
  Matrix& current = transforms_[static_cast<int>(TransformType::World)];
  const Matrix saved = current;
  if (worlds.size() == 1) {
    current = worlds[0];
    DrawNow(type, startVertex, primitiveCount);
    current = saved;
    return;
  }
  // Without the instanced program (it failed to build) they are drawn one by one.
  instancing_ = true;
  const bool instanced = SelectFixedProgram(type) != &general_;
  instancing_ = false;
  GLenum mode;
  GLsizei count;
  if (!instanced || !Prepare(type, primitiveCount, &mode, &count)) {
    for (const Matrix& world : worlds) {
      current = world;
      DrawNow(type, startVertex, primitiveCount);
    }
    current = saved;
    return;
  }
  ++g_pictureSerial;
  ApplyStates(type);
  SetupAttributes(stream_->Name(), static_cast<GLintptr>(streamOffset_), streamStride_);
  // The world-view matrices as the uniform path makes them.
  const Matrix& view = transforms_[static_cast<int>(TransformType::View)];
  instanceMatrices_.resize(worlds.size());
  for (size_t i = 0; i < worlds.size(); ++i) instanceMatrices_[i] = MatrixMultiply(worlds[i], view);
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(sizeof(Matrix) * instanceMatrices_.size());
  glBindBuffer(GL_ARRAY_BUFFER, instanceVbo_);
  glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, instanceMatrices_.data());
  for (GLuint c = 0; c < 4; ++c) {
    const GLuint l = static_cast<GLuint>(attrib::WorldView) + c;
    glVertexAttribPointer(l, 4, GL_FLOAT, GL_FALSE, sizeof(Matrix),
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(c) * 16));
    glVertexAttribDivisor(l, 1);
    glEnableVertexAttribArray(l);
  }
  instancing_ = true;
  ApplyFixedFunction(type);
  instancing_ = false;
  ++drawCalls_;
  glDrawArraysInstanced(mode, static_cast<GLint>(startVertex), count,
                        static_cast<GLsizei>(worlds.size()));
  for (GLuint c = 0; c < 4; ++c)
    glDisableVertexAttribArray(static_cast<GLuint>(attrib::WorldView) + c);
  current = saved;
}

// Blending that adds the draw's own colour to the picture (the destination
// weighed by one, the source by nothing of the destination) without depth
// writes. The 8-bit targets add each draw's colour, already rounded, with
// saturation (as llvmpipe does; the quad tests hold it to the bit), and the
// depth tested against stays as it is, so such draws give the same picture
// in any order among themselves.
bool GLDevice::OrderFree() const {
  auto rs = [this](RenderState s) { return rs_[static_cast<int>(s)]; };
  if (program_ || rs(RenderState::AlphaBlendEnable) == 0) return false;
  if (GlBlend(rs(RenderState::DestBlend)) != GL_ONE) return false;
  switch (GlBlend(rs(RenderState::SrcBlend))) {
    case GL_ZERO:
    case GL_ONE:
    case GL_SRC_COLOR:
    case GL_ONE_MINUS_SRC_COLOR:
    case GL_SRC_ALPHA:
    case GL_ONE_MINUS_SRC_ALPHA:
      break;
    default:
      return false;
  }
  return rs(RenderState::ZEnable) == 0 || rs(RenderState::ZWriteEnable) == 0;
}

bool GLDevice::SameAsCurrent(const HeldState& h, PrimitiveType type, uint32_t startVertex,
                             uint32_t primitiveCount) const {
  return h.type == type && h.startVertex == startVertex && h.primitiveCount == primitiveCount &&
         h.stream == stream_ && h.streamOffset == streamOffset_ &&
         h.streamStride == streamStride_ && h.textures[0] == textures_[0] &&
         h.textures[1] == textures_[1] && h.lightOn == lightOn_ &&
         std::memcmp(h.rs, rs_, sizeof rs_) == 0 && std::memcmp(h.tss, tss_, sizeof tss_) == 0 &&
         std::memcmp(h.ss, ss_, sizeof ss_) == 0 &&
         std::memcmp(&h.view, &transforms_[static_cast<int>(TransformType::View)], sizeof h.view) ==
             0 &&
         std::memcmp(&h.projection, &transforms_[static_cast<int>(TransformType::Projection)],
                     sizeof h.projection) == 0 &&
         std::memcmp(&h.viewport, &viewport_, sizeof viewport_) == 0 &&
         std::memcmp(&h.light, &light_, sizeof light_) == 0 &&
         std::memcmp(&h.material, &material_, sizeof material_) == 0 &&
         h.layout.stride == layout_.stride && SameElements(h.layout.elements, layout_.elements);
}

void GLDevice::HoldCurrent(HeldState* h, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount) {
  std::memcpy(h->rs, rs_, sizeof rs_);
  std::memcpy(h->tss, tss_, sizeof tss_);
  std::memcpy(h->ss, ss_, sizeof ss_);
  for (int s = 0; s < kStages; ++s) {
    h->textures[s] = textures_[s];
    if (h->textures[s]) h->textures[s]->AddRef();
  }
  h->view = transforms_[static_cast<int>(TransformType::View)];
  h->projection = transforms_[static_cast<int>(TransformType::Projection)];
  h->light = light_;
  h->lightOn = lightOn_;
  h->material = material_;
  h->viewport = viewport_;
  h->layout = layout_;
  h->stream = stream_;
  stream_->AddRef();
  h->streamOffset = streamOffset_;
  h->streamStride = streamStride_;
  h->type = type;
  h->startVertex = startVertex;
  h->primitiveCount = primitiveCount;
}

// Exchanges the held states with the current ones; twice puts both back.
void GLDevice::SwapIn(HeldState* h) {
  std::swap(h->rs, rs_);
  std::swap(h->tss, tss_);
  std::swap(h->ss, ss_);
  std::swap(h->textures, textures_);
  std::swap(h->view, transforms_[static_cast<int>(TransformType::View)]);
  std::swap(h->projection, transforms_[static_cast<int>(TransformType::Projection)]);
  std::swap(h->light, light_);
  std::swap(h->lightOn, lightOn_);
  std::swap(h->material, material_);
  std::swap(h->viewport, viewport_);
  std::swap(h->layout, layout_);
  std::swap(h->stream, stream_);
  std::swap(h->streamOffset, streamOffset_);
  std::swap(h->streamStride, streamStride_);
}

// The draw joins the group of its states, or starts one.
void GLDevice::Gather(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  Touch();
  ++g_pictureSerial;  // the picture is as good as drawn
  const Matrix& world = transforms_[static_cast<int>(TransformType::World)];
  for (size_t i = 0; i < groupCount_; ++i) {
    HeldGroup& g = groups_[i];
    if (SameAsCurrent(g.state, type, startVertex, primitiveCount)) {
      g.worlds.push_back(world);
      return;
    }
  }
  if (groupCount_ == kMaxGroups) FlushGroups();
  if (groupCount_ == groups_.size()) groups_.emplace_back();
  HeldGroup& g = groups_[groupCount_++];
  HoldCurrent(&g.state, type, startVertex, primitiveCount);
  g.worlds.clear();
  g.worlds.push_back(world);
}

// Each group with its own states, then the current ones back.
void GLDevice::FlushGroups() {
  const size_t count = groupCount_;
  groupCount_ = 0;
  for (size_t i = 0; i < count; ++i) {
    HeldGroup& g = groups_[i];
    SwapIn(&g.state);
    DrawInstances(g.state.type, g.state.startVertex, g.state.primitiveCount, g.worlds);
    SwapIn(&g.state);
    for (auto& t : g.state.textures) SafeRelease(t);
    SafeRelease(g.state.stream);
    g.worlds.clear();
  }
}

void GLDevice::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                    uint32_t numVertices, uint32_t startIndex,
                                    uint32_t primitiveCount) {
  GLenum mode;
  GLsizei count;
  if (!stream_ || !indices_ || streamStride_ == 0 || !Prepare(type, primitiveCount, &mode, &count))
    return;
  if ((static_cast<uint64_t>(startIndex) + static_cast<uint64_t>(count)) * 2 > indices_->Size())
    return;
  const GLBuffer::IndexSpan span =
      filter_ ? indices_->Span(startIndex, static_cast<uint32_t>(count))
              : indices_->ScanSpan(startIndex, static_cast<uint32_t>(count));
  // An index past the vertices, or before the first (a corrupt model), must
  // not reach the GPU.
  const int64_t first = static_cast<int64_t>(span.min) + baseVertex;
  const int64_t last = static_cast<int64_t>(span.max) + baseVertex;
  const uint64_t available =
      stream_->Size() > streamOffset_ ? (stream_->Size() - streamOffset_) / streamStride_ : 0;
  if (first < 0 || static_cast<uint64_t>(last) >= available) {
    FlushHeld();
    return;
  }
  // Every vertex from the least index to the largest is in the box.
  if (!indices_->Locked() && StreamUnseen(type, first, span.max - span.min + 1)) {
    LeaveOut();
    return;
  }
  FlushHeld();
  ++g_pictureSerial;
  ApplyStates(type);
  SetupAttributes(stream_->Name(), static_cast<GLintptr>(streamOffset_), streamStride_);
  BindElements(indices_->Name());
  ApplyProgram(type);
  ++drawCalls_;
  glDrawElementsBaseVertex(mode, count, GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * 2),
                           baseVertex);
  // The reference path leaves no index buffer bound.
  if (!filter_) BindElements(0);
}

Texture* GLDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSize) ||
      height > static_cast<uint32_t>(maxSize))
    return nullptr;
  uint32_t full = 1;
  while ((width >> full) > 0 || (height >> full) > 0) ++full;
  if (levels == 0 || levels > full) levels = full;
  return new GLTexture(generation_, width, height, levels);
}

RenderTarget* GLDevice::CreateRenderTarget(uint32_t width, uint32_t height) {
  if (failTargets_) return nullptr;
  GLint maxTexture = 0, maxRenderbuffer = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
  const uint32_t limit = static_cast<uint32_t>(std::min(maxTexture, maxRenderbuffer));
  if (width == 0 || height == 0 || width > limit || height > limit) return nullptr;
  GLRenderTarget* target = new GLRenderTarget(generation_, width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  if (!target->Complete()) {
    target->Release();
    return nullptr;
  }
  return target;
}

void GLDevice::SetRenderTarget(RenderTarget* target) {
  FlushHeld();  // held draws belong to the target they were made for
  GLRenderTarget* next = static_cast<GLRenderTarget*>(target);
  if (next) next->AddRef();
  // The target left behind hands its picture to its texture.
  if (target_) {
    target_->Resolve();
    target_->Release();
  }
  target_ = next;
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  viewport_ = Viewport{0, 0, TargetWidth(), TargetHeight(), 0.0f, 1.0f};
  // The context's viewport is that of another framebuffer now.
  for (GLint& v : gl_.viewport) v = -1;
}

Buffer* GLDevice::CreateBuffer(uint32_t sizeBytes, bool indices) {
  if (sizeBytes == 0 || sizeBytes > (256u << 20)) return nullptr;
  return new GLBuffer(generation_, sizeBytes, indices);
}

// The whole of a 640 by 480 buffer (0: the window's back buffer) as
// 0xAARRGGBB, rows bottom up as GL has them; it stays bound for reading.
std::vector<uint32_t> GLDevice::ReadRows(GLuint fbo) {
  std::vector<uint32_t> rows(static_cast<size_t>(kBackBufferWidth) * kBackBufferHeight);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  if (fbo == 0) glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kBackBufferWidth, kBackBufferHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               rows.data());
  return rows;
}

// Whether the window's back buffer still holds the picture last copied into
// it, now that the picture has not changed: read back and compared once. Asked
// only of Mesa's software rasterisers on X or offscreen, which copy on a swap;
// a chain of buffers flipped on a swap holds older pictures.
bool GLDevice::WindowKeepsBackBuffer() {
  const std::vector<uint32_t> window = ReadRows(0), back = ReadRows(fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  const bool failed = glGetError() != GL_NO_ERROR;
  while (glGetError() != GL_NO_ERROR) {
  }
  return !failed && window == back;
}

// Whether the window's back buffer can be the picture itself: the picture's
// size and format, and kept across a swap. Tried once, on Mesa's software
// rasterisers only, with a nearly black clear swapped and read back: they
// copy on a swap, where a chain of flipped buffers would hand back another.
bool GLDevice::WindowCanHoldThePicture() {
  if (windowKeeps_ != Keeps::Unknown) return false;
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (dw != kBackBufferWidth || dh != kBackBufferHeight) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  GLint bits[5] = {};
  const GLenum sizes[4] = {GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE,
                           GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE,
                           GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE};
  for (int i = 0; i < 4; ++i)
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, sizes[i], &bits[i]);
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH,
                                        GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &bits[4]);
  bool fits = glGetError() == GL_NO_ERROR && bits[0] == 8 && bits[1] == 8 && bits[2] == 8 &&
              bits[3] == 8 && bits[4] >= 24;
  if (fits) {
    constexpr uint32_t kMark = 0xFF010203u;
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(1 / 255.0f, 2 / 255.0f, 3 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window_);
    const std::vector<uint32_t> back = ReadRows(0);
    fits = glGetError() == GL_NO_ERROR &&
           std::all_of(back.begin(), back.end(), [](uint32_t p) { return p == kMark; });
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  gl_.valid = false;
  return fits;
}

// The picture from one back buffer into the other, both bottom up in GL's
// terms; without sRGB writes on, nothing is converted. Depth is not carried:
// every frame clears it.
void GLDevice::CopyPicture(GLuint from, GLuint to) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, 0, 0, kBackBufferWidth,
                    kBackBufferHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  gl_.valid = false;
}

bool GLDevice::SetDrawIntoWindow(bool on) {
  on = on && windowCanHold_;
  if (on == intoWindow_) return intoWindow_;
  FlushHeld();
  CopyPicture(BackFbo(), on ? 0 : fbo_);
  intoWindow_ = on;
  // The window shows what it was last given until the next present.
  copiedSerial_ = 0;
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  return intoWindow_;
}

bool GLDevice::Present() {
  FlushHeld();
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (intoWindow_ && (dw != kBackBufferWidth || dh != kBackBufferHeight)) {
    // The window changed size under the picture: from now on it is copied.
    // What was drawn lies in the window's lower left corner.
    SetDrawIntoWindow(false);
    windowCanHold_ = false;
  }
  if (intoWindow_) {
    // Finished before the swap: the offscreen driver's window otherwise
    // keeps hold of every frame's buffers.
    glFinish();
    SDL_GL_SwapWindow(window_);
    return true;
  }
  // The picture already in the window's back buffer is presented again as it
  // stands: copying it is most of an idle frame's cost.
  if (copiedSerial_ == g_pictureSerial && copiedWidth_ == dw && copiedHeight_ == dh) {
    if (windowKeeps_ == Keeps::Unknown && dw == kBackBufferWidth && dh == kBackBufferHeight)
      windowKeeps_ = WindowKeepsBackBuffer() ? Keeps::Yes : Keeps::No;
    if (windowKeeps_ == Keeps::Yes) {
      SDL_GL_SwapWindow(window_);
      return true;
    }
  }
  copiedSerial_ = g_pictureSerial;
  copiedWidth_ = dw;
  copiedHeight_ = dh;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, dw, dh);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (dw == kBackBufferWidth && dh == kBackBufferHeight) {
    glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, 0, 0, dw, dh, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
  } else if (dw > 0 && dh > 0) {
    // Scaled with the aspect kept; the bars are black.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    int w = dw, h = dw * kBackBufferHeight / kBackBufferWidth;
    if (h > dh) {
      h = dh;
      w = dh * kBackBufferWidth / kBackBufferHeight;
    }
    const int x = (dw - w) / 2, y = (dh - h) / 2;
    glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, x, y, x + w, y + h,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
  }
  SDL_GL_SwapWindow(window_);
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  gl_.valid = false;
  return true;
}

std::vector<uint32_t> GLDevice::ReadBackBuffer() {
  FlushHeld();
  const std::vector<uint32_t> rows = ReadRows(BackFbo());
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  // GL's rows run bottom up.
  std::vector<uint32_t> out(rows.size());
  for (int y = 0; y < kBackBufferHeight; ++y)
    std::memcpy(&out[static_cast<size_t>(y) * kBackBufferWidth],
                &rows[static_cast<size_t>(kBackBufferHeight - 1 - y) * kBackBufferWidth],
                sizeof(uint32_t) * kBackBufferWidth);
  return out;
}

}  // namespace

std::unique_ptr<Device> Device::Create(Window* window, std::string* error) {
  if (g_current) {
    if (error) *error = "a device already exists";
    return nullptr;
  }
  auto device = std::make_unique<GLDevice>();
  ++g_generation;
  g_current = device.get();
  if (!device->Init(window, error)) {
    device.reset();
    g_current = nullptr;
    return nullptr;
  }
  return device;
}

Device* Device::Current() { return g_current; }

}  // namespace port::gpu
