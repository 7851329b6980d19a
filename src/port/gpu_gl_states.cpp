// The device's cache of what the context holds: the fixed states, textures,
// samplers and vertex attributes each draw needs are sent only where they
// differ from what was last sent (a driver such as Mesa compares little
// itself). And what the states come to: whether a draw blends, whether its
// alpha is one throughout.
#include <cstdint>
#include <cstring>

#include "port/gpu_gl_device.h"

namespace port::gpu::impl {

namespace {

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

// A stage's sampler states as GL's wrap S, wrap T, magnification and
// minification parameters.
void SamplerParameters(const uint32_t (&p)[kSamplerStates], GLint out[4]) {
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
  out[0] = wrap(p[static_cast<int>(SamplerState::AddressU)]);
  out[1] = wrap(p[static_cast<int>(SamplerState::AddressV)]);
  out[2] = magLinear ? GL_LINEAR : GL_NEAREST;
  out[3] = minFilter;
}

// The shader's attribute an element feeds; -1 for one it does not read.
int AttributeLocation(const VertexElement& e) {
  switch (e.usage) {
    case DeclUsage::Position:
      return e.usageIndex == 0 ? attrib::Position : -1;
    case DeclUsage::BlendWeight:
      return attrib::BlendWeight;
    case DeclUsage::BlendIndices:
      return attrib::BlendIndices;
    case DeclUsage::Normal:
      return e.usageIndex == 0 ? attrib::Normal : -1;
    case DeclUsage::PSize:
      return attrib::PSize;
    case DeclUsage::Color:
      return e.usageIndex == 0 ? attrib::Color : -1;
    case DeclUsage::TexCoord:
      return e.usageIndex == 0 ? attrib::TexCoord0 : e.usageIndex == 1 ? attrib::TexCoord1 : -1;
  }
  return -1;
}

}  // namespace

// Everything the device believes the context holds is sent again.
void GLDevice::Forget() {
  cache_.gl.valid = false;
  cache_.attribs.valid = false;
  for (auto& u : programs_.general.cache) u.valid = false;
  for (auto& entry : programs_.variants)
    if (entry.second)
      for (auto& u : entry.second->cache) u.valid = false;
}

// Brings the context's fixed states to what the draw needs, sending only
// what differs from what it holds, in this order: framebuffer, viewport,
// blending, depth, culling, textures and samplers.
void GLDevice::ApplyStates(PrimitiveType type) {
  // Without the filter every draw sends everything, as the reference path.
  if (!cache_.filter) Forget();
  Shadow& g = cache_.gl;
  const bool fresh = !g.valid;
  if (fresh) {
    glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glFrontFace(GL_CCW);
    glBlendEquation(GL_FUNC_ADD);
  }
  ApplyViewport(fresh);
  ApplyBlend(fresh);
  ApplyDepth(fresh);
  ApplyCulling(type, fresh);
  ApplyTextures(fresh);
  if (fresh) {
    g.program = kUnknownName;
    g.elements = kUnknownName;
    cache_.attribs.valid = false;
    g.valid = true;
  }
}

void GLDevice::ApplyViewport(bool fresh) {
  Shadow& g = cache_.gl;
  const Viewport& v = state_.viewport;
  const GLint vp[4] = {static_cast<GLint>(v.x), static_cast<GLint>(TargetHeight() - v.y - v.height),
                       static_cast<GLsizei>(v.width), static_cast<GLsizei>(v.height)};
  if (fresh || std::memcmp(vp, g.viewport, sizeof vp) != 0) {
    glViewport(vp[0], vp[1], vp[2], vp[3]);
    std::memcpy(g.viewport, vp, sizeof vp);
  }
  if (fresh || g.depthRange[0] != v.minZ || g.depthRange[1] != v.maxZ) {
    glDepthRange(v.minZ, v.maxZ);
    g.depthRange[0] = v.minZ;
    g.depthRange[1] = v.maxZ;
  }
}

void GLDevice::ApplyBlend(bool fresh) {
  Shadow& g = cache_.gl;
  const bool blend = Blends(CurrentSetup());
  if (fresh || blend != g.blend) {
    blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    g.blend = blend;
  }
  if (!blend) return;
  const GLenum src = GlBlend(Rs(RenderState::SrcBlend)), dst = GlBlend(Rs(RenderState::DestBlend));
  if (fresh || src != g.blendSrc || dst != g.blendDst) {
    glBlendFunc(src, dst);
    g.blendSrc = src;
    g.blendDst = dst;
  }
}

void GLDevice::ApplyDepth(bool fresh) {
  Shadow& g = cache_.gl;
  const bool depth = Rs(RenderState::ZEnable) != 0;
  if (fresh || depth != g.depthTest) {
    depth ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    g.depthTest = depth;
  }
  if (!depth) return;
  const GLenum func = GlCompare(Rs(RenderState::ZFunc));
  const GLboolean mask = Rs(RenderState::ZWriteEnable) ? GL_TRUE : GL_FALSE;
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
void GLDevice::ApplyCulling(PrimitiveType type, bool fresh) {
  Shadow& g = cache_.gl;
  const uint32_t cullMode = Rs(RenderState::CullMode);
  const bool cull =
      !(cullMode == CullNone || type == PointList || type == LineList || type == LineStrip);
  if (fresh || cull != g.cull) {
    cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
    g.cull = cull;
  }
  if (!cull) return;
  const GLenum face = cullMode == CullCCW ? GL_FRONT : GL_BACK;
  if (fresh || face != g.cullFace) {
    glCullFace(face);
    g.cullFace = face;
  }
}

// Each stage's texture, then its sampler; the active unit is left at 0.
void GLDevice::ApplyTextures(bool fresh) {
  Shadow& g = cache_.gl;
  bool unitChanged = false;
  for (int s = 0; s < kStages; ++s) {
    GLTexture* t = static_cast<GLTexture*>(state_.textures[s]);
    const GLuint name = t ? t->Name() : 0;
    if (fresh || name != g.texture[s]) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
      glBindTexture(GL_TEXTURE_2D, name);
      g.texture[s] = name;
      unitChanged = true;
    }
    ApplySampler(s, fresh);
  }
  if (unitChanged || fresh) glActiveTexture(GL_TEXTURE0);
}

void GLDevice::ApplySampler(int stage, bool fresh) {
  GLint params[4];
  SamplerParameters(state_.ss[stage], params);
  static const GLenum kNames[4] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MAG_FILTER,
                                   GL_TEXTURE_MIN_FILTER};
  GLint* sent = cache_.gl.sampler[stage];
  for (int k = 0; k < 4; ++k) {
    if (fresh || params[k] != sent[k]) {
      glSamplerParameteri(context_.samplers[stage], kNames[k], params[k]);
      sent[k] = params[k];
    }
  }
}

void GLDevice::SetupAttributes(GLuint buffer, GLintptr base, uint32_t stride) {
  const uint32_t pointSize = state_.rs[static_cast<int>(RenderState::PointSize)];
  AttribSetup& a = cache_.attribs;
  if (a.valid && a.buffer == buffer && a.base == base && a.stride == stride &&
      a.pointSize == pointSize && SameElements(a.elements, state_.layout.elements))
    return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  BindAttributes(base, stride);
  a.valid = true;
  a.buffer = buffer;
  a.base = base;
  a.stride = stride;
  a.pointSize = pointSize;
  a.elements = state_.layout.elements;
}

void GLDevice::BindAttributes(GLintptr base, uint32_t stride) {
  static const int kAll[] = {attrib::Position, attrib::BlendWeight, attrib::BlendIndices,
                             attrib::Normal,   attrib::Color,       attrib::TexCoord0,
                             attrib::PSize,    attrib::TexCoord1};
  bool used[8] = {};
  for (const VertexElement& e : state_.layout.elements) {
    const int location = AttributeLocation(e);
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
                       AsFloat(state_.rs[static_cast<int>(RenderState::PointSize)]), 0, 0, 1);
    else
      glVertexAttrib4f(static_cast<GLuint>(l), 0, 0, 0, 1);
  }
}

// picture. Weighing the source by one and the picture by nothing copies the
// source, which is what drawing unblended does, and more cheaply.
bool GLDevice::Blends(const DrawSetup& setup) const {
  if (state_.rs[static_cast<int>(RenderState::AlphaBlendEnable)] == 0) return false;
  const GLenum src = GlBlend(state_.rs[static_cast<int>(RenderState::SrcBlend)]),
               dst = GlBlend(state_.rs[static_cast<int>(RenderState::DestBlend)]);
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
  if (!programs_.useVariants || state_.program) return false;
  auto rs = [this](RenderState s) { return state_.rs[static_cast<int>(s)]; };
  const bool vertexColour = setup.layout->Find(DeclUsage::Color, 0) != nullptr;
  bool diffuse;
  if (setup.lit)
    diffuse =
        !(vertexColour && rs(RenderState::ColorVertex) != 0) && setup.material->diffuse.a >= 1.0f;
  else
    diffuse = !vertexColour;  // missing colours read as opaque white
  bool cur = diffuse;
  for (int s = 0; s < kStages; ++s) {
    const auto& t = state_.tss[s];
    if (t[static_cast<int>(StageState::ColorOp)] == TexOpDisable) break;
    const uint32_t op = t[static_cast<int>(StageState::AlphaOp)];
    if (op == TexOpDisable) continue;
    const uint32_t a1 = t[static_cast<int>(StageState::AlphaArg1)],
                   a2 = t[static_cast<int>(StageState::AlphaArg2)];
    const GLTexture* texture =
        static_cast<const GLTexture*>(s == 0 ? setup.texture : state_.textures[s]);
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

}  // namespace port::gpu::impl
