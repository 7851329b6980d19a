// Flexible-vertex-format sizes and the layouts they stand for.
#include "port/gpu.h"

namespace port::gpu {

namespace {

uint32_t BetaCount(uint32_t fvf) {
  switch (fvf & fvf::PositionMask) {
    case fvf::XYZB1: return 1;
    case fvf::XYZB2: return 2;
    case fvf::XYZB3: return 3;
    case fvf::XYZB4: return 4;
    case fvf::XYZB5: return 5;
    default: return 0;
  }
}

bool SameElements(const VertexLayout& a, const VertexLayout& b) {
  if (a.stride != b.stride || a.elements.size() != b.elements.size()) return false;
  for (size_t i = 0; i < a.elements.size(); ++i) {
    const VertexElement &x = a.elements[i], &y = b.elements[i];
    if (x.offset != y.offset || x.type != y.type || x.usage != y.usage || x.usageIndex != y.usageIndex) {
      return false;
    }
  }
  return true;
}

}  // namespace

uint32_t FvfVertexSize(uint32_t fvf) { return LayoutFromFvf(fvf).stride; }

const VertexElement* VertexLayout::Find(DeclUsage usage, uint8_t index) const {
  for (const VertexElement& e : elements) {
    if (e.usage == usage && e.usageIndex == index) return &e;
  }
  return nullptr;
}

VertexLayout LayoutFromFvf(uint32_t f) {
  VertexLayout l;
  uint16_t off = 0;
  auto add = [&](DeclType type, DeclUsage usage, uint8_t index, uint16_t size) {
    l.elements.push_back(VertexElement{off, type, usage, index});
    off = static_cast<uint16_t>(off + size);
  };
  uint32_t pos = f & fvf::PositionMask;
  if (pos == fvf::XYZ || BetaCount(f) > 0) {
    add(DeclType::Float3, DeclUsage::Position, 0, 12);
    uint32_t betas = BetaCount(f);
    bool ubyte4 = (f & fvf::LastBetaUByte4) && betas > 0;
    uint32_t weights = ubyte4 ? betas - 1 : betas;
    if (weights > 4) weights = 4;
    if (weights > 0) {
      add(static_cast<DeclType>(static_cast<int>(DeclType::Float1) + weights - 1), DeclUsage::BlendWeight, 0,
          static_cast<uint16_t>(4 * weights));
    }
    if (ubyte4) add(DeclType::UByte4, DeclUsage::BlendIndices, 0, 4);
    if (!ubyte4 && betas == 5) off = static_cast<uint16_t>(off + 4);  // a fifth beta has no element
  }
  if (f & fvf::Normal) add(DeclType::Float3, DeclUsage::Normal, 0, 12);
  if (f & fvf::PSize) add(DeclType::Float1, DeclUsage::PSize, 0, 4);
  if (f & fvf::Diffuse) add(DeclType::Color, DeclUsage::Color, 0, 4);
  if (f & fvf::Specular) add(DeclType::Color, DeclUsage::Color, 1, 4);
  uint32_t tex = (f & fvf::TexCountMask) >> 8;
  if (tex > 8) tex = 8;
  for (uint32_t i = 0; i < tex; ++i) add(DeclType::Float2, DeclUsage::TexCoord, static_cast<uint8_t>(i), 8);
  l.stride = off;
  return l;
}

uint32_t FvfFromLayout(const VertexLayout& layout) {
  uint32_t f = 0;
  uint32_t weights = 0, tex = 0;
  bool position = false, indices = false;
  for (const VertexElement& e : layout.elements) {
    switch (e.usage) {
      case DeclUsage::Position: position = true; break;
      case DeclUsage::BlendWeight:
        if (e.type <= DeclType::Float4) weights = static_cast<uint32_t>(e.type) + 1;
        break;
      case DeclUsage::BlendIndices: indices = true; break;
      case DeclUsage::Normal: f |= fvf::Normal; break;
      case DeclUsage::PSize: f |= fvf::PSize; break;
      case DeclUsage::Color: f |= e.usageIndex == 0 ? fvf::Diffuse : fvf::Specular; break;
      case DeclUsage::TexCoord: ++tex; break;
    }
  }
  if (!position) return 0;
  uint32_t betas = weights + (indices ? 1 : 0);
  static constexpr uint32_t kPos[] = {fvf::XYZ, fvf::XYZB1, fvf::XYZB2, fvf::XYZB3, fvf::XYZB4, fvf::XYZB5};
  if (betas > 5) return 0;
  f |= kPos[betas];
  if (indices) f |= fvf::LastBetaUByte4;
  f |= (tex << 8) & fvf::TexCountMask;
  return SameElements(LayoutFromFvf(f), layout) ? f : 0;
}

}  // namespace port::gpu
