// The graphics device on OpenGL 3.3 core: the context and its back buffer,
// the states the game sets, the resources it makes, clears and targets. The
// rest of its work lies beside it by concern (gpu_gl_device.h).
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "port/gl_shader.h"
#include "port/gpu.h"
#include "port/gpu_gl_device.h"
#include "port/window_sdl.h"

namespace port::gpu {

namespace impl {

GLDevice* g_current = nullptr;
uint64_t g_generation = 0;
uint64_t g_pictureSerial = 0;

void ForgetTextureBindings() {
  if (g_current) g_current->ForgetTextures();
}
void ForgetBufferBindings() {
  if (g_current) g_current->ForgetBuffers();
}
void FlushPendingDraws() {
  if (g_current) g_current->FlushHeld();
}

void GLDevice::SetRenderState(RenderState s, uint32_t v) {
  const int i = static_cast<int>(s);
  if (i >= 0 && i < static_cast<int>(RenderState::Count) && state_.rs[i] != v) {
    Touch();
    state_.rs[i] = v;
  }
}

uint32_t GLDevice::GetRenderState(RenderState s) const {
  const int i = static_cast<int>(s);
  return (i >= 0 && i < static_cast<int>(RenderState::Count)) ? state_.rs[i] : 0;
}

void GLDevice::SetTextureStageState(int stage, StageState s, uint32_t v) {
  const int i = static_cast<int>(s);
  if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(StageState::Count) &&
      state_.tss[stage][i] != v) {
    Touch();
    state_.tss[stage][i] = v;
  }
}

uint32_t GLDevice::GetTextureStageState(int stage, StageState s) const {
  const int i = static_cast<int>(s);
  if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(StageState::Count))
    return state_.tss[stage][i];
  return 0;
}

void GLDevice::SetSamplerState(int stage, SamplerState s, uint32_t v) {
  const int i = static_cast<int>(s);
  if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(SamplerState::Count) &&
      state_.ss[stage][i] != v) {
    Touch();
    state_.ss[stage][i] = v;
  }
}

uint32_t GLDevice::GetSamplerState(int stage, SamplerState s) const {
  const int i = static_cast<int>(s);
  if (stage >= 0 && stage < kStages && i >= 0 && i < static_cast<int>(SamplerState::Count))
    return state_.ss[stage][i];
  return 0;
}

void GLDevice::SetTexture(int stage, Texture* texture) {
  if (stage < 0 || stage >= kStages || state_.textures[stage] == texture) return;
  Touch();
  if (texture) texture->AddRef();
  if (state_.textures[stage]) state_.textures[stage]->Release();
  state_.textures[stage] = texture;
}

Texture* GLDevice::GetTexture(int stage) const {
  return (stage >= 0 && stage < kStages) ? state_.textures[stage] : nullptr;
}

void GLDevice::SetTransform(TransformType t, const Matrix& m) {
  const int i = static_cast<int>(t);
  if (i < 0 || i >= 3) return;
  // Held draws keep their own world matrices.
  if (t != TransformType::World && std::memcmp(&state_.transforms[i], &m, sizeof m) != 0) Touch();
  state_.transforms[i] = m;
}

const Matrix& GLDevice::GetTransform(TransformType t) const {
  const int i = static_cast<int>(t);
  return state_.transforms[(i >= 0 && i < 3) ? i : 0];
}

bool GLDevice::SetLight(int index, const Light& light) {
  if (index != 0) return false;
  if (light.type < LightPoint || light.type > LightDirectional) return false;
  if (light.type != LightPoint) {
    const Vec3& d = light.direction;
    if (d.x == 0 && d.y == 0 && d.z == 0) return false;
  }
  if (std::memcmp(&state_.light, &light, sizeof light) != 0) Touch();
  state_.light = light;
  return true;
}

bool GLDevice::GetLight(int index, Light* light) const {
  if (index != 0 || !light) return false;
  *light = state_.light;
  return true;
}

void GLDevice::LightEnable(int index, bool enable) {
  if (index != 0 || state_.lightOn == enable) return;
  Touch();
  state_.lightOn = enable;
}

void GLDevice::SetMaterial(const Material& m) {
  if (std::memcmp(&state_.material, &m, sizeof m) != 0) Touch();
  state_.material = m;
}

bool GLDevice::SetViewport(const Viewport& vp) {
  if (vp.width == 0 || vp.height == 0 || vp.x + vp.width > TargetWidth() ||
      vp.y + vp.height > TargetHeight() || vp.x >= 0x10000 || vp.y >= 0x10000)
    return false;
  // The next viewport is not handed over here: the caller's Submit after
  // each field gives the driver fewer, larger batches, which it spreads
  // over its threads better.
  if (std::memcmp(&state_.viewport, &vp, sizeof vp) != 0) Touch();
  state_.viewport = vp;
  return true;
}

// Meshes set the same FVF draw after draw: its layout is made only when it changes.
void GLDevice::SetFVF(uint32_t f) {
  if (f != 0 && f == state_.layoutFvf) return;
  SetVertexLayout(LayoutFromFvf(f));
  state_.layoutFvf = f;
}

void GLDevice::SetVertexLayout(const VertexLayout& layout) {
  state_.layoutFvf = 0;
  if (layout.stride == state_.layout.stride &&
      SameElements(layout.elements, state_.layout.elements))
    return;
  Touch();
  state_.layout = layout;
}

void GLDevice::SetStreamSource(Buffer* vertices, uint32_t offsetBytes, uint32_t stride) {
  if (vertices != state_.stream || offsetBytes != state_.streamOffset ||
      stride != state_.streamStride)
    Touch();
  if (vertices != state_.stream) {
    if (vertices) vertices->AddRef();
    if (state_.stream) state_.stream->Release();
    state_.stream = static_cast<GLBuffer*>(vertices);
  }
  state_.streamOffset = offsetBytes;
  state_.streamStride = stride;
}

void GLDevice::SetIndices(Buffer* indices) {
  if (indices == state_.indices) return;
  Touch();
  if (indices) indices->AddRef();
  if (state_.indices) state_.indices->Release();
  state_.indices = static_cast<GLBuffer*>(indices);
}

void GLDevice::SetShaderProgram(ShaderProgram* program) {
  if (program != state_.program) Touch();
  state_.program = program;
}

void GLDevice::SetStateFilter(bool on) {
  FlushHeld();
  cache_.filter = on;
  Forget();
}

void GLDevice::SetShaderVariants(bool on) {
  FlushHeld();
  programs_.useVariants = on;
}

void GLDevice::SetQuadRegrouping(bool on) {
  FlushHeld();
  held_.regroup = on;
}

void GLDevice::SetViewCulling(bool on) {
  FlushHeld();
  draws_.cull = on;
}

void GLDevice::SetDefaults() {
  auto set = [this](RenderState s, uint32_t v) { state_.rs[static_cast<int>(s)] = v; };
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
    auto& t = state_.tss[s];
    t[static_cast<int>(StageState::ColorOp)] = s == 0 ? TexOpModulate : TexOpDisable;
    t[static_cast<int>(StageState::ColorArg1)] = TexArgTexture;
    t[static_cast<int>(StageState::ColorArg2)] = TexArgCurrent;
    t[static_cast<int>(StageState::AlphaOp)] = s == 0 ? TexOpSelectArg1 : TexOpDisable;
    t[static_cast<int>(StageState::AlphaArg1)] = TexArgTexture;
    t[static_cast<int>(StageState::AlphaArg2)] = TexArgCurrent;
    auto& p = state_.ss[s];
    p[static_cast<int>(SamplerState::AddressU)] = AddressWrap;
    p[static_cast<int>(SamplerState::AddressV)] = AddressWrap;
    p[static_cast<int>(SamplerState::MagFilter)] = FilterPoint;
    p[static_cast<int>(SamplerState::MinFilter)] = FilterPoint;
    p[static_cast<int>(SamplerState::MipFilter)] = FilterNone;
  }
  for (auto& m : state_.transforms) m = MatrixIdentity();
  state_.light = Light{};
  state_.light.diffuse = {1, 1, 1, 0};
  state_.light.direction = Vec3(0, 0, 1);
  state_.lightOn = false;
  state_.material = Material{};
  state_.viewport = Viewport{0, 0, kBackBufferWidth, kBackBufferHeight, 0.0f, 1.0f};
  state_.layout = VertexLayout{};
  state_.layoutFvf = 0;
}

bool GLDevice::Init(Window* window, std::string* error) {
  auto fail = [error](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  context_.generation = g_generation;
  ++g_pictureSerial;
  if (!window || !window->sdl) return fail("no window");
  context_.window = window->sdl;
  SetGlAttributes();
  context_.context = SDL_GL_CreateContext(context_.window);
  if (!context_.context) return fail(std::string("OpenGL context: ") + SDL_GetError());
  if (SDL_GL_MakeCurrent(context_.window, context_.context) != 0)
    return fail(std::string("OpenGL context: ") + SDL_GetError());
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major < 3 || (major == 3 && minor < 3)) return fail("OpenGL 3.3 is required");
  SDL_GL_SetSwapInterval(0);

  // Direct3D's depth range 0..1 in clip space, natively when the driver can.
  using ClipControlFn = void (*)(GLenum, GLenum);
  auto clipControl = reinterpret_cast<ClipControlFn>(SDL_GL_GetProcAddress("glClipControl"));
  if (clipControl && (major > 4 || (major == 4 && minor >= 5))) {
    clipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    context_.clipControl = true;
  }

  glGenRenderbuffers(1, &context_.colour);
  glBindRenderbuffer(GL_RENDERBUFFER, context_.colour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kBackBufferWidth, kBackBufferHeight);
  glGenRenderbuffers(1, &context_.depth);
  glBindRenderbuffer(GL_RENDERBUFFER, context_.depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kBackBufferWidth, kBackBufferHeight);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glGenFramebuffers(1, &context_.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, context_.fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, context_.colour);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, context_.depth);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    return fail("back buffer incomplete");

  std::string log;
  programs_.general.name = gl::BuildFixedProgram(nullptr, &log);
  if (!programs_.general.name) return fail("fixed-function shader: " + log);
  programs_.general.u = gl::PrepareFixedProgram(programs_.general.name, !context_.clipControl);

  glGenVertexArrays(1, &context_.vao);
  glBindVertexArray(context_.vao);
  glGenBuffers(1, &context_.streamVbo);
  glGenBuffers(1, &context_.instanceVbo);
  glGenSamplers(kStages, context_.samplers);
  for (int s = 0; s < kStages; ++s) glBindSampler(static_cast<GLuint>(s), context_.samplers[s]);
  glEnable(GL_PROGRAM_POINT_SIZE);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);

  GLfloat range[2] = {1, 1};
  glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, range);
  context_.caps.vertexShaderVersion = 0xFFFE0300;
  context_.caps.maxPointSize = range[1];

  SetDefaults();
  state_.rs[static_cast<int>(RenderState::PointSizeMax)] = FloatBits(context_.caps.maxPointSize);
  StartPresenting();
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  return true;
}

GLDevice::~GLDevice() {
  ReleaseGroups();  // nothing is drawn any more
  for (auto& t : state_.textures) SafeRelease(t);
  SafeRelease(state_.target);
  SafeRelease(state_.stream);
  SafeRelease(state_.indices);
  if (context_.context) {
    SDL_GL_MakeCurrent(context_.window, context_.context);
    if (programs_.general.name) glDeleteProgram(programs_.general.name);
    for (auto& entry : programs_.variants)
      if (entry.second) glDeleteProgram(entry.second->name);
    if (context_.samplers[0]) glDeleteSamplers(kStages, context_.samplers);
    if (context_.streamVbo) glDeleteBuffers(1, &context_.streamVbo);
    if (context_.instanceVbo) glDeleteBuffers(1, &context_.instanceVbo);
    if (context_.vao) glDeleteVertexArrays(1, &context_.vao);
    if (context_.fbo) glDeleteFramebuffers(1, &context_.fbo);
    if (context_.colour) glDeleteRenderbuffers(1, &context_.colour);
    if (context_.depth) glDeleteRenderbuffers(1, &context_.depth);
    if (context_.probeFbo) glDeleteFramebuffers(1, &context_.probeFbo);
    if (context_.probeColour) glDeleteRenderbuffers(1, &context_.probeColour);
    SDL_GL_MakeCurrent(context_.window, nullptr);
    SDL_GL_DeleteContext(context_.context);
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
  glScissor(static_cast<GLint>(state_.viewport.x),
            static_cast<GLint>(TargetHeight() - state_.viewport.y - state_.viewport.height),
            static_cast<GLsizei>(state_.viewport.width),
            static_cast<GLsizei>(state_.viewport.height));
  const ColorValue c = FromArgb(colour);
  glClearColor(c.r, c.g, c.b, c.a);
  glClearDepth(std::clamp(z, 0.0f, 1.0f));
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  cache_.gl.depthMask = GL_TRUE;
  glClear(mask);
  glDisable(GL_SCISSOR_TEST);
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
  return new GLTexture(context_.generation, width, height, levels);
}

RenderTarget* GLDevice::CreateRenderTarget(uint32_t width, uint32_t height) {
  if (context_.failTargets) return nullptr;
  GLint maxTexture = 0, maxRenderbuffer = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
  const uint32_t limit = static_cast<uint32_t>(std::min(maxTexture, maxRenderbuffer));
  if (width == 0 || height == 0 || width > limit || height > limit) return nullptr;
  GLRenderTarget* target = new GLRenderTarget(context_.generation, width, height);
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
  if (state_.target) {
    state_.target->Resolve();
    state_.target->Release();
  }
  state_.target = next;
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  state_.viewport = Viewport{0, 0, TargetWidth(), TargetHeight(), 0.0f, 1.0f};
  // The context's viewport is that of another framebuffer now.
  for (GLint& v : cache_.gl.viewport) v = -1;
}

Buffer* GLDevice::CreateBuffer(uint32_t sizeBytes, bool indices) {
  if (sizeBytes == 0 || sizeBytes > (256u << 20)) return nullptr;
  return new GLBuffer(context_.generation, sizeBytes, indices);
}

}  // namespace impl

std::unique_ptr<Device> Device::Create(Window* window, std::string* error) {
  if (impl::g_current) {
    if (error) *error = "a device already exists";
    return nullptr;
  }
  auto device = std::make_unique<impl::GLDevice>();
  ++impl::g_generation;
  impl::g_current = device.get();
  if (!device->Init(window, error)) {
    device.reset();
    impl::g_current = nullptr;
    return nullptr;
  }
  return device;
}

Device* Device::Current() { return impl::g_current; }

}  // namespace port::gpu
