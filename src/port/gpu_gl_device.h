#pragma once
// The graphics device on OpenGL 3.3 core, as its files share it. Private to
// the device. The class is one, its work is spread by concern; each group of
// its state below names the file that owns it:
//   gpu_gl.cpp            the device: context, back buffer, the states the game
//                         sets, resources made, clears, targets
//   gpu_gl_resources.cpp  textures, buffers, render targets
//   gpu_gl_states.cpp     the cache of what the context holds, sent per draw
//   gpu_gl_program.cpp    the fixed-function program chosen and its uniforms
//   gpu_gl_draw.cpp       the draw calls and the views they are left out of
//   gpu_gl_regroup.cpp    held draws: runs and groups drawn instanced
//   gpu_gl_present.cpp    the window's back buffer, present and read back
#include <SDL2/SDL.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "port/gl_shader.h"
#include "port/gpu.h"
#include "port/gpu_cull.h"
#include "port/gpu_gl_resources.h"

namespace port::gpu::impl {

inline ColorValue FromArgb(uint32_t c) {
  return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
          ((c >> 24) & 0xFF) / 255.0f};
}

inline float AsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

inline uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

inline GLenum GlBlend(uint32_t b) {
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

inline bool SameElements(const std::vector<VertexElement>& a, const std::vector<VertexElement>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].offset != b[i].offset || a[i].type != b[i].type || a[i].usage != b[i].usage ||
        a[i].usageIndex != b[i].usageIndex)
      return false;
  }
  return true;
}

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

constexpr int kStageCount = Device::kStages;
constexpr int kRenderStates = static_cast<int>(RenderState::Count);
constexpr int kStageStates = static_cast<int>(StageState::Count);
constexpr int kSamplerStates = static_cast<int>(SamplerState::Count);

// gpu_gl.cpp: the context and what the device made in it once.
struct ContextObjects {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  uint64_t generation = 0;
  Caps caps;
  GLuint fbo = 0, colour = 0, depth = 0;  // the device's own back buffer
  GLuint probeFbo = 0, probeColour = 0;   // the window's buffer copied to be read
  GLuint vao = 0, streamVbo = 0, instanceVbo = 0;
  GLuint samplers[kStageCount] = {};
  bool clipControl = false;  // depth 0..1 in clip space natively
  bool failTargets = false;
};

// gpu_gl.cpp: the states the game sets, as it set them.
struct DrawState {
  uint32_t rs[kRenderStates] = {};
  uint32_t tss[kStageCount][kStageStates] = {};
  uint32_t ss[kStageCount][kSamplerStates] = {};
  Texture* textures[kStageCount] = {};
  Matrix transforms[3];
  Light light;
  bool lightOn = false;
  Material material;
  Viewport viewport;
  VertexLayout layout;
  uint32_t layoutFvf = 0;  // the FVF layout was last set from; 0: set as a layout
  GLBuffer* stream = nullptr;
  uint32_t streamOffset = 0, streamStride = 0;
  GLBuffer* indices = nullptr;
  ShaderProgram* program = nullptr;
  GLRenderTarget* target = nullptr;  // null: the back buffer
};

// gpu_gl_states.cpp: what the context holds, as last sent through the device.
// Mesa compares little of it itself, and every change it sees costs it at the
// next draw.
constexpr GLuint kUnknownName = ~0u;
struct Shadow {
  bool valid = false;
  GLuint program = kUnknownName;
  GLint viewport[4] = {};
  GLfloat depthRange[2] = {};
  bool blend = false, depthTest = false, cull = false;
  GLenum blendSrc = 0, blendDst = 0, depthFunc = 0, cullFace = 0;
  GLboolean depthMask = GL_TRUE;
  GLuint texture[kStageCount] = {};
  GLint sampler[kStageCount][4] = {};
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
struct StateCache {
  bool filter = true;  // off: every draw sends everything, as the reference path
  Shadow gl;
  AttribSetup attribs;
};

// gpu_gl_program.cpp: a fixed-function program with the uniform values last
// sent to it.
struct CachedUniform {
  bool valid = false;
  uint8_t bytes[64];
};
struct FixedProgram {
  GLuint name = 0;
  gl::FixedUniforms u{};
  CachedUniform cache[static_cast<int>(Slot::Count)];
};
// The general program, and the variants built so far by the key of their
// path (null for one that failed to build: the general program draws it).
struct Programs {
  FixedProgram general;
  std::unordered_map<uint64_t, std::unique_ptr<FixedProgram>> variants;
  FixedProgram* current = &general;  // the program of the current draw
  bool useVariants = true;
  bool instancing = false;  // the draw being made takes its world-view per instance
};

// gpu_gl_regroup.cpp. Consecutive DrawPrimitive calls that differ only in the
// world matrix (billboards, particles), held to be drawn as one instanced
// draw, each instance with its own world-view matrix.
struct PendingDraws {
  PrimitiveType type = TriangleList;
  uint32_t startVertex = 0, primitiveCount = 0;
  std::vector<Matrix> worlds;
};
// Held draws that give the same picture in any order among themselves
// (OrderFree), gathered by every state they are drawn with but the world
// matrix, in the order each set of states was first seen. They are drawn as
// one instanced draw a group before any draw that is not held (FlushHeld).
struct HeldState {
  uint32_t rs[kRenderStates];
  uint32_t tss[kStageCount][kStageStates];
  uint32_t ss[kStageCount][kSamplerStates];
  Texture* textures[kStageCount];  // referenced while held
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
struct HeldDraws {
  bool regroup = true;
  PendingDraws pending;
  std::vector<HeldGroup> groups;  // the first groupCount are in use; the rest keep storage
  size_t groupCount = 0;
  std::vector<Matrix> instanceMatrices;
  static constexpr size_t kMaxGroups = 64;
};

// gpu_gl_draw.cpp: leaving out draws the view cannot see, and the counts.
struct DrawCounts {
  bool cull = true;
  uint64_t calls = 0;
  uint64_t culled = 0;
};

// gpu_gl_present.cpp: whether the picture is drawn into the window's back
// buffer, whether that buffer keeps its contents across a swap, and the
// picture and size last copied into it.
struct PresentState {
  enum class Keeps { No, Unknown, Yes };
  Keeps windowKeeps = Keeps::No;
  uint64_t copiedSerial = 0;
  int copiedWidth = 0, copiedHeight = 0;
  // The picture as far as it was last handed to the driver; llvmpipe's
  // threads rasterise what is handed over while the rest is sent.
  uint64_t submittedSerial = 0;
  // Whether the window's back buffer may hold the picture, and whether it does.
  bool windowCanHold = false;
  bool intoWindow = false;
};

class GLDevice final : public Device {
 public:
  GLDevice() = default;
  ~GLDevice() override;

  bool Init(Window* window, std::string* error);

  // gpu_gl.cpp: the states, resources, targets and switches.
  const Caps& GetCaps() const override { return context_.caps; }
  void SetRenderState(RenderState s, uint32_t v) override;
  uint32_t GetRenderState(RenderState s) const override;
  void SetTextureStageState(int stage, StageState s, uint32_t v) override;
  uint32_t GetTextureStageState(int stage, StageState s) const override;
  void SetSamplerState(int stage, SamplerState s, uint32_t v) override;
  uint32_t GetSamplerState(int stage, SamplerState s) const override;
  void SetTexture(int stage, Texture* texture) override;
  Texture* GetTexture(int stage) const override;
  void SetTransform(TransformType t, const Matrix& m) override;
  const Matrix& GetTransform(TransformType t) const override;
  bool SetLight(int index, const Light& light) override;
  bool GetLight(int index, Light* light) const override;
  void LightEnable(int index, bool enable) override;
  void SetMaterial(const Material& m) override;
  const Material& GetMaterial() const override { return state_.material; }
  bool SetViewport(const Viewport& vp) override;
  const Viewport& GetViewport() const override { return state_.viewport; }
  void Clear(uint32_t flags, Argb colour, float z) override;
  void SetFVF(uint32_t f) override;
  void SetVertexLayout(const VertexLayout& layout) override;
  const VertexLayout& GetVertexLayout() const override { return state_.layout; }
  void SetStreamSource(Buffer* vertices, uint32_t offsetBytes, uint32_t stride) override;
  void SetIndices(Buffer* indices) override;
  void SetShaderProgram(ShaderProgram* program) override;
  ShaderProgram* GetShaderProgram() const override { return state_.program; }
  Texture* CreateTexture(uint32_t width, uint32_t height, uint32_t levels) override;
  Buffer* CreateBuffer(uint32_t sizeBytes, bool indices) override;
  RenderTarget* CreateRenderTarget(uint32_t width, uint32_t height) override;
  void SetRenderTarget(RenderTarget* target) override;
  RenderTarget* GetRenderTarget() const override { return state_.target; }
  void ForceRenderTargetFailure(bool on) override { context_.failTargets = on; }
  uint64_t PictureSerial() const override { return g_pictureSerial; }
  void SetStateFilter(bool on) override;
  bool GetStateFilter() const override { return cache_.filter; }
  void SetShaderVariants(bool on) override;
  bool GetShaderVariants() const override { return programs_.useVariants; }
  void SetQuadRegrouping(bool on) override;
  bool GetQuadRegrouping() const override { return held_.regroup; }
  void SetViewCulling(bool on) override;
  bool GetViewCulling() const override { return draws_.cull; }
  uint64_t DrawCalls() const override { return draws_.calls; }
  uint64_t CulledDraws() const override { return draws_.culled; }

  // gpu_gl_draw.cpp
  void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
  void DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                            uint32_t numVertices, uint32_t startIndex,
                            uint32_t primitiveCount) override;
  void DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                       uint32_t stride) override;

  // gpu_gl_states.cpp
  bool DrawOverwrites(const DrawSetup& setup) const override {
    return setup.layout && setup.material && !Blends(setup);
  }

  // gpu_gl_present.cpp
  bool Present() override;
  std::vector<uint32_t> ReadBackBuffer() override;
  bool SetDrawIntoWindow(bool on) override;
  bool GetDrawIntoWindow() const override { return present_.intoWindow; }
  void Submit() override;

  // A run of held draws is drawn before a state it was made with changes;
  // gathered groups carry their own states.
  void Touch() {
    if (!held_.pending.worlds.empty()) FlushPending();
  }
  // Everything held is drawn: before any draw that is not held, before the
  // picture is read or cleared or the target changes, and before what held
  // draws read (texels, vertices) changes.
  void FlushHeld() {
    Touch();
    if (held_.groupCount != 0) FlushGroups();
  }

  // gpu_gl_states.cpp: everything the device believes the context holds is
  // sent again.
  void Forget();
  void ForgetTextures() {
    for (GLuint& t : cache_.gl.texture) t = kUnknownName;
  }
  void ForgetBuffers() {
    cache_.gl.elements = kUnknownName;
    cache_.attribs.valid = false;
  }

 private:
  uint32_t Rs(RenderState s) const { return state_.rs[static_cast<int>(s)]; }
  // The setup of the draw being made.
  DrawSetup CurrentSetup() const {
    return {&state_.layout, &state_.material, state_.textures[0], Rs(RenderState::Lighting) != 0};
  }
  // The back buffer: the window's own (0) or the device's.
  GLuint BackFbo() const { return present_.intoWindow ? 0 : context_.fbo; }
  // What draws land in: the current target, or the back buffer.
  GLuint CurrentFbo() const { return state_.target ? state_.target->Framebuffer() : BackFbo(); }
  uint32_t TargetWidth() const { return state_.target ? state_.target->Width() : kBackBufferWidth; }
  uint32_t TargetHeight() const {
    return state_.target ? state_.target->Height() : kBackBufferHeight;
  }

  // gpu_gl.cpp
  void SetDefaults();

  // gpu_gl_states.cpp
  void ApplyStates(PrimitiveType type);
  void ApplyViewport(bool fresh);
  void ApplyBlend(bool fresh);
  void ApplyDepth(bool fresh);
  void ApplyCulling(PrimitiveType type, bool fresh);
  void ApplyTextures(bool fresh);
  void ApplySampler(int stage, bool fresh);
  void SetupAttributes(GLuint buffer, GLintptr base, uint32_t stride);
  void BindAttributes(GLintptr base, uint32_t stride);
  void BindElements(GLuint buffer) {
    if (cache_.gl.valid && cache_.gl.elements == buffer) return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
    cache_.gl.elements = buffer;
  }
  void UseProgram(GLuint program) {
    if (cache_.gl.valid && cache_.gl.program == program) return;
    glUseProgram(program);
    cache_.gl.program = program;
  }
  bool AlphaIsOne(const DrawSetup& setup) const;
  bool Blends(const DrawSetup& setup) const;

  // gpu_gl_program.cpp
  void ApplyProgram(PrimitiveType type);
  void ApplyFixedFunction(PrimitiveType type);
  void SendTransforms(const Matrix& worldView);
  void SendLighting(const Matrix& worldView);
  void SendPoints(PrimitiveType type);
  void SendStages();
  void SendAlphaTest();
  FixedProgram* SelectFixedProgram(PrimitiveType type);
  gl::FixedPath PathOfStates(PrimitiveType type) const;
  void FoldAlphaTest(gl::FixedPath* path) const;
  void StagePaths(gl::FixedPath* path) const;
  FixedProgram* Variant(const gl::FixedPath& path);
  bool Fresh(Slot slot, const void* value, size_t bytes);
  void Uniform1i(Slot slot, GLint location, GLint v);
  void Uniform1f(Slot slot, GLint location, GLfloat v);
  void Uniform2f(Slot slot, GLint location, GLfloat x, GLfloat y);
  void Uniform3f(Slot slot, GLint location, GLfloat x, GLfloat y, GLfloat z);
  void Uniform4f(Slot slot, GLint location, GLfloat x, GLfloat y, GLfloat z, GLfloat w);

  // gpu_gl_draw.cpp
  bool Prepare(PrimitiveType type, uint32_t primitiveCount, GLenum* mode, GLsizei* count);
  void DrawNow(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  int32_t CullablePosition(PrimitiveType type) const;
  bool Unseen(const VertexBounds& box) const;
  bool StreamUnseen(PrimitiveType type, int64_t first, uint32_t count);
  void LeaveOut();

  // gpu_gl_regroup.cpp
  bool Batchable(PrimitiveType type) const;
  bool OrderFree() const;
  void Hold(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  void FlushPending();
  void DrawInstances(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount,
                     const std::vector<Matrix>& worlds);
  void Gather(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  void FlushGroups();
  bool SameAsCurrent(const HeldState& h, PrimitiveType type, uint32_t startVertex,
                     uint32_t primitiveCount) const;
  void HoldCurrent(HeldState* h, PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  void SwapIn(HeldState* h);
  void ReleaseGroups();

  // gpu_gl_present.cpp
  void StartPresenting();
  std::vector<uint32_t> ReadRows(GLuint fbo);
  std::vector<uint32_t> ReadWindow(uint32_t fill);
  bool WindowKeepsBackBuffer();
  bool WindowCanHoldThePicture();
  void CopyPicture(GLuint from, GLuint to);

  ContextObjects context_;
  DrawState state_;
  StateCache cache_;
  Programs programs_;
  HeldDraws held_;
  DrawCounts draws_;
  PresentState present_;
};

}  // namespace port::gpu::impl
