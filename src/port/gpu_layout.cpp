// Vertex layouts and flexible vertex formats.
#include <cstring>

#include "port/gpu.h"

namespace port::gpu {

namespace {

void Add(VertexLayout& l, uint16_t& offset, DeclType type, DeclUsage usage, uint8_t index,
         uint16_t size) {
  VertexElement e;
  e.offset = offset;
  e.type = type;
  e.usage = usage;
  e.usageIndex = index;
  l.elements.push_back(e);
  offset = static_cast<uint16_t>(offset + size);
}

bool SameLayout(const VertexLayout& a, const VertexLayout& b) {
  if (a.stride != b.stride || a.elements.size() != b.elements.size()) return false;
  for (size_t i = 0; i < a.elements.size(); ++i) {
    const VertexElement& x = a.elements[i];
    const VertexElement& y = b.elements[i];
    if (x.offset != y.offset || x.type != y.type || x.usage != y.usage ||
        x.usageIndex != y.usageIndex)
      return false;
  }
  return true;
}

}  // namespace

const VertexElement* VertexLayout::Find(DeclUsage usage, uint8_t index) const {
  for (const VertexElement& e : elements)
    if (e.usage == usage && e.usageIndex == index && e.type != DeclType::Unused) return &e;
  return nullptr;
}

VertexLayout LayoutFromFvf(uint32_t f) {
  VertexLayout l;
  uint16_t offset = 0;
  const uint32_t pos = f & fvf::PositionMask;
  if (pos >= fvf::XYZ && pos <= fvf::XYZB5 && (pos & 1) == 0) {
    Add(l, offset, DeclType::Float3, DeclUsage::Position, 0, 12);
    int betas = pos == fvf::XYZ ? 0 : static_cast<int>((pos - 4) / 2);  // XYZB1 is 6
    const bool lastUByte4 = betas > 0 && (f & fvf::LastBetaUByte4);
    const int weights = lastUByte4 ? betas - 1 : betas;
    if (weights > 0) {
      // A fifth float weight has no attribute of its own; it keeps its room.
      const int kept = weights > 4 ? 4 : weights;
      Add(l, offset, static_cast<DeclType>(kept - 1), DeclUsage::BlendWeight, 0,
          static_cast<uint16_t>(4 * weights));
    }
    if (lastUByte4) Add(l, offset, DeclType::UByte4, DeclUsage::BlendIndices, 0, 4);
  }
  if (f & fvf::Normal) Add(l, offset, DeclType::Float3, DeclUsage::Normal, 0, 12);
  if (f & fvf::PSize) Add(l, offset, DeclType::Float1, DeclUsage::PSize, 0, 4);
  if (f & fvf::Diffuse) Add(l, offset, DeclType::Color, DeclUsage::Color, 0, 4);
  if (f & fvf::Specular) Add(l, offset, DeclType::Color, DeclUsage::Color, 1, 4);
  const uint32_t texCount = (f & fvf::TexCountMask) >> 8;
  for (uint32_t i = 0; i < texCount && i < 8; ++i)
    Add(l, offset, DeclType::Float2, DeclUsage::TexCoord, static_cast<uint8_t>(i), 8);
  l.stride = offset;
  return l;
}

uint32_t FvfVertexSize(uint32_t f) { return LayoutFromFvf(f).stride; }

uint32_t FvfFromLayout(const VertexLayout& layout) {
  uint32_t f = 0;
  const VertexElement* pos = layout.Find(DeclUsage::Position);
  if (!pos || pos->type != DeclType::Float3) return 0;
  int betas = 0;
  if (const VertexElement* w = layout.Find(DeclUsage::BlendWeight)) {
    if (w->type > DeclType::Float4) return 0;
    betas += static_cast<int>(w->type) + 1;
  }
  if (layout.Find(DeclUsage::BlendIndices)) {
    ++betas;
    f |= fvf::LastBetaUByte4;
  }
  if (betas > 5) return 0;
  f |= betas == 0 ? fvf::XYZ : 4 + 2 * static_cast<uint32_t>(betas);
  if (layout.Find(DeclUsage::Normal)) f |= fvf::Normal;
  if (layout.Find(DeclUsage::PSize)) f |= fvf::PSize;
  if (layout.Find(DeclUsage::Color, 0)) f |= fvf::Diffuse;
  if (layout.Find(DeclUsage::Color, 1)) f |= fvf::Specular;
  uint32_t tex = 0;
  while (tex < 8 && layout.Find(DeclUsage::TexCoord, static_cast<uint8_t>(tex))) ++tex;
  f |= tex << 8;
  // Only an exact match has an FVF: same elements, offsets and stride.
  return SameLayout(LayoutFromFvf(f), layout) ? f : 0;
}

void Device::SetRenderStateF(RenderState state, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  SetRenderState(state, bits);
}

}  // namespace port::gpu
