// The device's draw calls: each checked against what it reads, left out
// where the view cannot see it, held for the regrouping where only its world
// matrix tells it apart (gpu_gl_regroup.cpp), else drawn at once with its
// states, attributes and program brought up to date.
#include <cstdint>

#include "port/gpu_gl_device.h"

namespace port::gpu::impl {

// The GL mode and vertex count of a draw; false for one that cannot be made
// (no primitives or too many, an unknown type, no vertex layout).
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
  return !state_.layout.elements.empty();
}

// The byte offset of the position in a vertex when the draw may be left out
// as unseen: the fixed-function shader, an untransformed float3 position
// (read with w = 1), no blend weights, and not points, whose sprites reach
// past their centres. Negative otherwise.
int32_t GLDevice::CullablePosition(PrimitiveType type) const {
  if (!draws_.cull || state_.program || type == PointList) return -1;
  const VertexElement* position = nullptr;
  for (const VertexElement& e : state_.layout.elements) {
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
  const Matrix wv = MatrixMultiply(state_.transforms[static_cast<int>(TransformType::World)],
                                   state_.transforms[static_cast<int>(TransformType::View)]);
  return OutsideView(box, wv, state_.transforms[static_cast<int>(TransformType::Projection)]);
}

// Whether a draw of count stream vertices from vertex first lies wholly
// outside the view.
bool GLDevice::StreamUnseen(PrimitiveType type, int64_t first, uint32_t count) {
  const int32_t position = CullablePosition(type);
  if (position < 0 || first < 0 || state_.stream->Locked()) return false;
  const uint64_t byte = state_.streamOffset + static_cast<uint64_t>(first) * state_.streamStride +
                        static_cast<uint32_t>(position);
  return Unseen(state_.stream->Bounds(byte, state_.streamStride, count));
}

// A draw left out: the device stays as it was, the picture serial moves on
// as for a draw, and nothing reaches the context.
void GLDevice::LeaveOut() {
  ++g_pictureSerial;
  ++draws_.culled;
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
  glBindBuffer(GL_ARRAY_BUFFER, context_.streamVbo);
  // Orphan the old storage so the driver never waits on the previous draw.
  glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices);
  SetupAttributes(context_.streamVbo, 0, stride);
  ApplyProgram(type);
  ++draws_.calls;
  glDrawArrays(mode, 0, count);
}

void GLDevice::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  GLenum mode;
  GLsizei count;
  if (!state_.stream || state_.streamStride == 0 || !Prepare(type, primitiveCount, &mode, &count))
    return;
  const uint64_t end =
      state_.streamOffset +
      (static_cast<uint64_t>(startVertex) + static_cast<uint64_t>(count)) * state_.streamStride;
  if (end > state_.stream->Size()) return;
  if (StreamUnseen(type, startVertex, static_cast<uint32_t>(count))) {
    LeaveOut();
    return;
  }
  if (Batchable(type)) {
    Hold(type, startVertex, primitiveCount);
    return;
  }
  FlushHeld();
  DrawNow(type, startVertex, primitiveCount);
}

void GLDevice::DrawNow(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  GLenum mode;
  GLsizei count;
  if (!Prepare(type, primitiveCount, &mode, &count)) return;
  ++g_pictureSerial;
  ApplyStates(type);
  SetupAttributes(state_.stream->Name(), static_cast<GLintptr>(state_.streamOffset),
                  state_.streamStride);
  ApplyProgram(type);
  ++draws_.calls;
  glDrawArrays(mode, static_cast<GLint>(startVertex), count);
}

void GLDevice::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                    uint32_t numVertices, uint32_t startIndex,
                                    uint32_t primitiveCount) {
  GLenum mode;
  GLsizei count;
  if (!state_.stream || !state_.indices || state_.streamStride == 0 ||
      !Prepare(type, primitiveCount, &mode, &count))
    return;
  if ((static_cast<uint64_t>(startIndex) + static_cast<uint64_t>(count)) * 2 >
      state_.indices->Size())
    return;
  const GLBuffer::IndexSpan span =
      cache_.filter ? state_.indices->Span(startIndex, static_cast<uint32_t>(count))
                    : state_.indices->ScanSpan(startIndex, static_cast<uint32_t>(count));
  // An index past the vertices, or before the first (a corrupt model), must
  // not reach the GPU.
  const int64_t first = static_cast<int64_t>(span.min) + baseVertex;
  const int64_t last = static_cast<int64_t>(span.max) + baseVertex;
  const uint64_t available =
      state_.stream->Size() > state_.streamOffset
          ? (state_.stream->Size() - state_.streamOffset) / state_.streamStride
          : 0;
  if (first < 0 || static_cast<uint64_t>(last) >= available) {
    FlushHeld();
    return;
  }
  // Every vertex from the least index to the largest is in the box.
  if (!state_.indices->Locked() && StreamUnseen(type, first, span.max - span.min + 1)) {
    LeaveOut();
    return;
  }
  FlushHeld();
  ++g_pictureSerial;
  ApplyStates(type);
  SetupAttributes(state_.stream->Name(), static_cast<GLintptr>(state_.streamOffset),
                  state_.streamStride);
  BindElements(state_.indices->Name());
  ApplyProgram(type);
  ++draws_.calls;
  glDrawElementsBaseVertex(mode, count, GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * 2),
                           baseVertex);
  // The reference path leaves no index buffer bound.
  if (!cache_.filter) BindElements(0);
}

}  // namespace port::gpu::impl
