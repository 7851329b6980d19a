// Held draws: unlit draws of the stream that differ only in the world matrix
// (billboards, particles) are held and drawn as one instanced draw,
// each instance with its own world-view matrix. Consecutive ones form a run;
// those whose order does not change the picture are gathered into groups by
// their states, whatever lies between them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "port/gpu_gl_device.h"

namespace port::gpu::impl {

// Unlit fixed-function draws of the stream; not the reference path.
bool GLDevice::Batchable(PrimitiveType type) const {
  return cache_.filter && programs_.useVariants && !state_.program && type != PointList &&
         state_.rs[static_cast<int>(RenderState::Lighting)] == 0;
}

// A draw only its world matrix tells apart: gathered with the draws of the
// same states where their order does not matter, else added to the run.
void GLDevice::Hold(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  if (held_.regroup && OrderFree()) {
    Gather(type, startVertex, primitiveCount);
    return;
  }
  if (held_.groupCount != 0) FlushGroups();
  const PendingDraws& p = held_.pending;
  if (!p.worlds.empty() &&
      (p.type != type || p.startVertex != startVertex || p.primitiveCount != primitiveCount))
    FlushPending();
  held_.pending.type = type;
  held_.pending.startVertex = startVertex;
  held_.pending.primitiveCount = primitiveCount;
  held_.pending.worlds.push_back(state_.transforms[static_cast<int>(TransformType::World)]);
}

// The held run, drawn as it was asked for.
void GLDevice::FlushPending() {
  PendingDraws p;
  std::swap(p, held_.pending);
  DrawInstances(p.type, p.startVertex, p.primitiveCount, p.worlds);
  held_.pending.worlds.swap(p.worlds);  // keeps the storage
  held_.pending.worlds.clear();
}

// Draws of the stream that differ only in the world matrix, in their order:
// one alone as it was asked for, more as one instanced draw. Every state but
// the world matrix is the current one.
void GLDevice::DrawInstances(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount,
                             const std::vector<Matrix>& worlds) {
  Matrix& current = state_.transforms[static_cast<int>(TransformType::World)];
  const Matrix saved = current;
  if (worlds.size() == 1) {
    current = worlds[0];
    DrawNow(type, startVertex, primitiveCount);
    current = saved;
    return;
  }
  // Without the instanced program (it failed to build) they are drawn one by one.
  programs_.instancing = true;
  const bool instanced = SelectFixedProgram(type) != &programs_.general;
  programs_.instancing = false;
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
  SetupAttributes(state_.stream->Name(), static_cast<GLintptr>(state_.streamOffset),
                  state_.streamStride);
  // The world-view matrices as the uniform path makes them.
  const Matrix& view = state_.transforms[static_cast<int>(TransformType::View)];
  held_.instanceMatrices.resize(worlds.size());
  for (size_t i = 0; i < worlds.size(); ++i)
    held_.instanceMatrices[i] = MatrixMultiply(worlds[i], view);
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(sizeof(Matrix) * held_.instanceMatrices.size());
  glBindBuffer(GL_ARRAY_BUFFER, context_.instanceVbo);
  glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, held_.instanceMatrices.data());
  for (GLuint c = 0; c < 4; ++c) {
    const GLuint l = static_cast<GLuint>(attrib::WorldView) + c;
    glVertexAttribPointer(l, 4, GL_FLOAT, GL_FALSE, sizeof(Matrix),
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(c) * 16));
    glVertexAttribDivisor(l, 1);
    glEnableVertexAttribArray(l);
  }
  programs_.instancing = true;
  ApplyFixedFunction(type);
  programs_.instancing = false;
  ++draws_.calls;
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
  auto rs = [this](RenderState s) { return state_.rs[static_cast<int>(s)]; };
  if (state_.program || rs(RenderState::AlphaBlendEnable) == 0) return false;
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
         h.stream == state_.stream && h.streamOffset == state_.streamOffset &&
         h.streamStride == state_.streamStride && h.textures[0] == state_.textures[0] &&
         h.textures[1] == state_.textures[1] && h.lightOn == state_.lightOn &&
         std::memcmp(h.rs, state_.rs, sizeof state_.rs) == 0 &&
         std::memcmp(h.tss, state_.tss, sizeof state_.tss) == 0 &&
         std::memcmp(h.ss, state_.ss, sizeof state_.ss) == 0 &&
         std::memcmp(&h.view, &state_.transforms[static_cast<int>(TransformType::View)],
                     sizeof h.view) == 0 &&
         std::memcmp(&h.projection, &state_.transforms[static_cast<int>(TransformType::Projection)],
                     sizeof h.projection) == 0 &&
         std::memcmp(&h.viewport, &state_.viewport, sizeof state_.viewport) == 0 &&
         std::memcmp(&h.light, &state_.light, sizeof state_.light) == 0 &&
         std::memcmp(&h.material, &state_.material, sizeof state_.material) == 0 &&
         h.layout.stride == state_.layout.stride &&
         SameElements(h.layout.elements, state_.layout.elements);
}

void GLDevice::HoldCurrent(HeldState* h, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount) {
  std::memcpy(h->rs, state_.rs, sizeof state_.rs);
  std::memcpy(h->tss, state_.tss, sizeof state_.tss);
  std::memcpy(h->ss, state_.ss, sizeof state_.ss);
  for (int s = 0; s < kStages; ++s) {
    h->textures[s] = state_.textures[s];
    if (h->textures[s]) h->textures[s]->AddRef();
  }
  h->view = state_.transforms[static_cast<int>(TransformType::View)];
  h->projection = state_.transforms[static_cast<int>(TransformType::Projection)];
  h->light = state_.light;
  h->lightOn = state_.lightOn;
  h->material = state_.material;
  h->viewport = state_.viewport;
  h->layout = state_.layout;
  h->stream = state_.stream;
  state_.stream->AddRef();
  h->streamOffset = state_.streamOffset;
  h->streamStride = state_.streamStride;
  h->type = type;
  h->startVertex = startVertex;
  h->primitiveCount = primitiveCount;
}

// Exchanges the held states with the current ones; twice puts both back.
void GLDevice::SwapIn(HeldState* h) {
  std::swap(h->rs, state_.rs);
  std::swap(h->tss, state_.tss);
  std::swap(h->ss, state_.ss);
  std::swap(h->textures, state_.textures);
  std::swap(h->view, state_.transforms[static_cast<int>(TransformType::View)]);
  std::swap(h->projection, state_.transforms[static_cast<int>(TransformType::Projection)]);
  std::swap(h->light, state_.light);
  std::swap(h->lightOn, state_.lightOn);
  std::swap(h->material, state_.material);
  std::swap(h->viewport, state_.viewport);
  std::swap(h->layout, state_.layout);
  std::swap(h->stream, state_.stream);
  std::swap(h->streamOffset, state_.streamOffset);
  std::swap(h->streamStride, state_.streamStride);
}

// The draw joins the group of its states, or starts one.
void GLDevice::Gather(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  Touch();
  ++g_pictureSerial;  // the picture is as good as drawn
  const Matrix& world = state_.transforms[static_cast<int>(TransformType::World)];
  for (size_t i = 0; i < held_.groupCount; ++i) {
    HeldGroup& g = held_.groups[i];
    if (SameAsCurrent(g.state, type, startVertex, primitiveCount)) {
      g.worlds.push_back(world);
      return;
    }
  }
  if (held_.groupCount == HeldDraws::kMaxGroups) FlushGroups();
  if (held_.groupCount == held_.groups.size()) held_.groups.emplace_back();
  HeldGroup& g = held_.groups[held_.groupCount++];
  HoldCurrent(&g.state, type, startVertex, primitiveCount);
  g.worlds.clear();
  g.worlds.push_back(world);
}

// Each group with its own states, then the current ones back.
void GLDevice::FlushGroups() {
  const size_t count = held_.groupCount;
  held_.groupCount = 0;
  for (size_t i = 0; i < count; ++i) {
    HeldGroup& g = held_.groups[i];
    SwapIn(&g.state);
    DrawInstances(g.state.type, g.state.startVertex, g.state.primitiveCount, g.worlds);
    SwapIn(&g.state);
    for (auto& t : g.state.textures) SafeRelease(t);
    SafeRelease(g.state.stream);
    g.worlds.clear();
  }
}

// The groups held when the device goes: their references are let go and
// nothing is drawn.
void GLDevice::ReleaseGroups() {
  held_.pending.worlds.clear();
  for (size_t i = 0; i < held_.groupCount; ++i) {
    for (auto& t : held_.groups[i].state.textures) SafeRelease(t);
    SafeRelease(held_.groups[i].state.stream);
  }
  held_.groupCount = 0;
}

}  // namespace port::gpu::impl
