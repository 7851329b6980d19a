#include "port/skin.h"

#include <algorithm>
#include <cstring>

namespace port {

namespace {
const std::vector<uint32_t> kNoVertices;
const std::vector<float> kNoWeights;
}  // namespace

SkinInfo* SkinInfo::Create(uint32_t numVertices, uint32_t numBones) {
  SkinInfo* s = new SkinInfo;
  s->numVertices_ = numVertices;
  s->bones_.resize(numBones);
  for (Bone& b : s->bones_) {
    for (int i = 0; i < 4; ++i) b.offset.m[i][i] = 1.0f;
  }
  return s;
}

const char* SkinInfo::GetBoneName(uint32_t bone) const {
  return bone < bones_.size() ? bones_[bone].name.c_str() : nullptr;
}

const Matrix* SkinInfo::GetBoneOffsetMatrix(uint32_t bone) const {
  return bone < bones_.size() ? &bones_[bone].offset : nullptr;
}

uint32_t SkinInfo::GetNumBoneInfluences(uint32_t bone) const {
  return bone < bones_.size() ? static_cast<uint32_t>(bones_[bone].vertices.size()) : 0;
}

Status SkinInfo::GetBoneInfluence(uint32_t bone, uint32_t* vertices, float* weights) const {
  if (bone >= bones_.size()) return kInvalidArg;
  const Bone& b = bones_[bone];
  if (vertices) std::copy(b.vertices.begin(), b.vertices.end(), vertices);
  if (weights) std::copy(b.weights.begin(), b.weights.end(), weights);
  return kOk;
}

const std::vector<uint32_t>& SkinInfo::BoneVertices(uint32_t bone) const {
  return bone < bones_.size() ? bones_[bone].vertices : kNoVertices;
}

const std::vector<float>& SkinInfo::BoneWeights(uint32_t bone) const {
  return bone < bones_.size() ? bones_[bone].weights : kNoWeights;
}

uint32_t SkinInfo::GetMaxVertexInfluences() const {
  std::vector<uint32_t> count(numVertices_, 0);
  uint32_t best = 0;
  for (const Bone& b : bones_) {
    for (uint32_t v : b.vertices) {
      if (v < numVertices_) best = std::max(best, ++count[v]);
    }
  }
  return best;
}

Status SkinInfo::SetBoneName(uint32_t bone, const std::string& name) {
  if (bone >= bones_.size()) return kInvalidArg;
  bones_[bone].name = name;
  return kOk;
}

Status SkinInfo::SetBoneOffsetMatrix(uint32_t bone, const Matrix& offset) {
  if (bone >= bones_.size()) return kInvalidArg;
  bones_[bone].offset = offset;
  return kOk;
}

Status SkinInfo::SetBoneInfluence(uint32_t bone, uint32_t count, const uint32_t* vertices,
                                  const float* weights) {
  if (bone >= bones_.size() || (count > 0 && (!vertices || !weights))) return kInvalidArg;
  for (uint32_t i = 0; i < count; ++i) {
    if (vertices[i] >= numVertices_) return kInvalidArg;
  }
  bones_[bone].vertices.assign(vertices, vertices + count);
  bones_[bone].weights.assign(weights, weights + count);
  return kOk;
}

namespace {

struct Influence {
  uint32_t bone;
  float weight;
};

bool Float3At(const gpu::VertexLayout& layout, gpu::DeclUsage usage, uint32_t* offset) {
  const gpu::VertexElement* e = layout.Find(usage, 0);
  if (!e || e->type != gpu::DeclType::Float3) return false;
  *offset = e->offset;
  return true;
}

// The vector routines' sums, kept inline: this is the software path's inner loop.
inline Vec3 TransformCoord(const float* p, const Matrix& m) {
  const float x = p[0] * m.m[0][0] + p[1] * m.m[1][0] + p[2] * m.m[2][0] + m.m[3][0];
  const float y = p[0] * m.m[0][1] + p[1] * m.m[1][1] + p[2] * m.m[2][1] + m.m[3][1];
  const float z = p[0] * m.m[0][2] + p[1] * m.m[1][2] + p[2] * m.m[2][2] + m.m[3][2];
  const float w = p[0] * m.m[0][3] + p[1] * m.m[1][3] + p[2] * m.m[2][3] + m.m[3][3];
  return {x / w, y / w, z / w};
}

inline Vec3 TransformNormal(const float* n, const Matrix& m) {
  return {n[0] * m.m[0][0] + n[1] * m.m[1][0] + n[2] * m.m[2][0],
          n[0] * m.m[0][1] + n[1] * m.m[1][1] + n[2] * m.m[2][1],
          n[0] * m.m[0][2] + n[1] * m.m[1][2] + n[2] * m.m[2][2]};
}

}  // namespace

Status UpdateSkinnedMesh(const SkinInfo& skin, const Matrix* boneTransforms, uint32_t boneCount,
                         const Mesh& src, Mesh* dst) {
  if (!dst || (!boneTransforms && skin.GetNumBones() > 0)) return kInvalidArg;
  const gpu::VertexLayout& layout = src.GetDeclaration();
  const uint32_t n = src.GetNumVertices();
  const uint32_t stride = layout.stride;
  if (dst->GetNumVertices() != n || dst->GetNumBytesPerVertex() != stride ||
      skin.GetNumVertices() > n || boneCount < skin.GetNumBones()) {
    return kInvalidArg;
  }
  uint32_t posOff = 0, nrmOff = 0;
  if (!Float3At(layout, gpu::DeclUsage::Position, &posOff)) return kInvalidArg;
  const bool hasNormal = Float3At(layout, gpu::DeclUsage::Normal, &nrmOff);
  uint32_t dstPos = 0, dstNrm = 0;
  if (!Float3At(dst->GetDeclaration(), gpu::DeclUsage::Position, &dstPos) || dstPos != posOff ||
      (hasNormal &&
       (!Float3At(dst->GetDeclaration(), gpu::DeclUsage::Normal, &dstNrm) || dstNrm != nrmOff))) {
    return kInvalidArg;
  }

  const uint8_t* s = src.Vertices();
  uint8_t* d = static_cast<uint8_t*>(dst->LockVertexBuffer(0));
  if (!s || !d) return kInvalidCall;
  std::memcpy(d, s, size_t{n} * stride);
  const float zero[3] = {0, 0, 0};
  for (uint32_t v = 0; v < n; ++v) {
    std::memcpy(d + size_t{v} * stride + posOff, zero, 12);
    if (hasNormal) std::memcpy(d + size_t{v} * stride + nrmOff, zero, 12);
  }
  for (uint32_t b = 0; b < skin.GetNumBones(); ++b) {
    const Matrix& m = boneTransforms[b];
    const std::vector<uint32_t>& verts = skin.BoneVertices(b);
    const std::vector<float>& weights = skin.BoneWeights(b);
    const size_t count = std::min(verts.size(), weights.size());
    for (size_t i = 0; i < count; ++i) {
      const uint32_t v = verts[i];
      if (v >= n) continue;
      const float w = weights[i];
      float p[3], acc[3];
      std::memcpy(p, s + size_t{v} * stride + posOff, 12);
      const Vec3 tp = TransformCoord(p, m);
      uint8_t* dp = d + size_t{v} * stride + posOff;
      std::memcpy(acc, dp, 12);
      acc[0] += w * tp.x;
      acc[1] += w * tp.y;
      acc[2] += w * tp.z;
      std::memcpy(dp, acc, 12);
      if (hasNormal) {
        std::memcpy(p, s + size_t{v} * stride + nrmOff, 12);
        const Vec3 tn = TransformNormal(p, m);
        uint8_t* dn = d + size_t{v} * stride + nrmOff;
        std::memcpy(acc, dn, 12);
        acc[0] += w * tn.x;
        acc[1] += w * tn.y;
        acc[2] += w * tn.z;
        std::memcpy(dn, acc, 12);
      }
    }
  }
  dst->UnlockVertexBuffer();
  return kOk;
}

Status ConvertToIndexedBlendedMesh(const SkinInfo& skin, const Mesh& src, uint32_t options,
                                   uint32_t paletteSize, uint32_t* maxFaceInfluences,
                                   std::vector<BoneCombination>* combinations, Mesh** out) {
  if (!out) return kInvalidArg;
  *out = nullptr;
  if (!maxFaceInfluences || !combinations) return kInvalidArg;
  const uint32_t numVerts = src.GetNumVertices();
  const uint32_t numFaces = src.GetNumFaces();
  if (paletteSize == 0 || paletteSize > 256 || skin.GetNumVertices() > numVerts) return kInvalidArg;

  // Each vertex's largest influences, strongest first, renormalised.
  std::vector<std::vector<Influence>> infl(numVerts);
  for (uint32_t b = 0; b < skin.GetNumBones(); ++b) {
    const std::vector<uint32_t>& verts = skin.BoneVertices(b);
    const std::vector<float>& weights = skin.BoneWeights(b);
    const size_t count = std::min(verts.size(), weights.size());
    for (size_t i = 0; i < count; ++i) {
      // Non-positive (or NaN) weights move nothing and take no palette slot.
      if (verts[i] < numVerts && weights[i] > 0.0f) infl[verts[i]].push_back({b, weights[i]});
    }
  }
  for (std::vector<Influence>& list : infl) {
    std::stable_sort(list.begin(), list.end(),
                     [](const Influence& a, const Influence& b) { return a.weight > b.weight; });
    if (list.size() > kMaxBlendInfluences) list.resize(kMaxBlendInfluences);
    float sum = 0;
    for (const Influence& i : list) sum += i.weight;
    if (sum > 0) {
      for (Influence& i : list) i.weight /= sum;
    }
  }

  const uint16_t* indices = src.Indices();
  const uint32_t* attributes = src.Attributes();
  uint32_t k = 1;
  for (uint32_t f = 0; f < numFaces; ++f) {
    for (int c = 0; c < 3; ++c) {
      const uint32_t v = indices[f * 3 + c];
      if (v >= numVerts) return kInvalidArg;
      k = std::max<uint32_t>(k, static_cast<uint32_t>(infl[v].size()));
    }
  }

  // Faces in material order (stable), grouped greedily while their bones fit.
  std::vector<uint32_t> order(numFaces);
  for (uint32_t f = 0; f < numFaces; ++f) order[f] = f;
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return attributes[a] < attributes[b]; });

  std::vector<BoneCombination> combos;
  std::vector<uint32_t> faceCombo(numFaces);
  std::vector<uint32_t> slotOf(skin.GetNumBones(), kNoBone);  // palette slot in the open group
  uint32_t used = 0;
  auto openGroup = [&](uint32_t attrib) {
    if (!combos.empty()) {
      for (uint32_t b : combos.back().boneId) {
        if (b != kNoBone) slotOf[b] = kNoBone;
      }
    }
    BoneCombination c;
    c.attribId = attrib;
    c.boneId.assign(paletteSize, kNoBone);
    combos.push_back(std::move(c));
    used = 0;
  };
  for (uint32_t f : order) {
    uint32_t faceBones[3 * kMaxBlendInfluences];
    uint32_t nFaceBones = 0;
    for (int c = 0; c < 3; ++c) {
      for (const Influence& i : infl[indices[f * 3 + c]]) {
        if (std::find(faceBones, faceBones + nFaceBones, i.bone) == faceBones + nFaceBones) {
          faceBones[nFaceBones++] = i.bone;
        }
      }
    }
    if (nFaceBones > paletteSize) return kInvalidArg;
    uint32_t fresh = 0;
    bool newGroup = combos.empty() || combos.back().attribId != attributes[f];
    if (!newGroup) {
      for (uint32_t i = 0; i < nFaceBones; ++i) fresh += slotOf[faceBones[i]] == kNoBone ? 1 : 0;
      newGroup = used + fresh > paletteSize;
    }
    if (newGroup) openGroup(attributes[f]);
    BoneCombination& c = combos.back();
    for (uint32_t i = 0; i < nFaceBones; ++i) {
      if (slotOf[faceBones[i]] == kNoBone) {
        slotOf[faceBones[i]] = used;
        c.boneId[used++] = faceBones[i];
      }
    }
    faceCombo[f] = static_cast<uint32_t>(combos.size() - 1);
    ++c.faceCount;
  }

  // The source converted to the output layout once; the output copies its
  // vertices, duplicating those that several groups use.
  const uint32_t betas = k;  // k - 1 weights and the indices; XYZB1 is 0x006, XYZB2 0x008, ...
  const uint32_t outFvf = (0x004 + 2 * betas) | gpu::fvf::LastBetaUByte4 |
                          (src.GetFVF() & ~(gpu::fvf::PositionMask | gpu::fvf::LastBetaUByte4));
  const gpu::VertexLayout outLayout = gpu::LayoutFromFvf(outFvf);
  Mesh* converted = nullptr;
  Status s = src.CloneMesh(options, outLayout, nullptr, &converted);
  if (Failed(s)) return s;

  std::vector<uint32_t> newIndex(numVerts, kNoBone);
  std::vector<uint32_t> outVertexSource;
  std::vector<uint16_t> outIndices;
  std::vector<uint32_t> outAttributes;
  outIndices.reserve(size_t{numFaces} * 3);
  outAttributes.reserve(numFaces);
  // Faces of a group are contiguous in `order`, so one pass builds each group.
  size_t pos = 0;
  for (uint32_t g = 0; g < combos.size(); ++g) {
    BoneCombination& c = combos[g];
    c.faceStart = static_cast<uint32_t>(outAttributes.size());
    c.vertexStart = static_cast<uint32_t>(outVertexSource.size());
    std::vector<uint32_t> touched;
    for (uint32_t n = 0; n < c.faceCount; ++n, ++pos) {
      const uint32_t f = order[pos];
      for (int corner = 0; corner < 3; ++corner) {
        const uint32_t v = indices[f * 3 + corner];
        if (newIndex[v] == kNoBone) {
          if (outVertexSource.size() >= kMaxMeshVertices) {
            converted->Release();
            return kOutOfMemory;
          }
          newIndex[v] = static_cast<uint32_t>(outVertexSource.size());
          outVertexSource.push_back(v);
          touched.push_back(v);
        }
        outIndices.push_back(static_cast<uint16_t>(newIndex[v]));
      }
      outAttributes.push_back(g);
    }
    for (uint32_t v : touched) newIndex[v] = kNoBone;
    c.vertexCount = static_cast<uint32_t>(outVertexSource.size()) - c.vertexStart;
  }

  Mesh* mesh = nullptr;
  s = Mesh::Create(numFaces, static_cast<uint32_t>(outVertexSource.size()), options, outLayout,
                   src.GetDevice(), &mesh);
  if (Failed(s)) {
    converted->Release();
    return s;
  }
  const uint32_t stride = outLayout.stride;
  const gpu::VertexElement* weightEl = outLayout.Find(gpu::DeclUsage::BlendWeight, 0);
  const gpu::VertexElement* indexEl = outLayout.Find(gpu::DeclUsage::BlendIndices, 0);
  const uint8_t* cv = converted->Vertices();
  uint8_t* dv = static_cast<uint8_t*>(mesh->LockVertexBuffer(0));
  uint32_t vertex = 0;
  for (uint32_t g = 0; g < combos.size(); ++g) {
    const BoneCombination& c = combos[g];
    for (uint32_t n = 0; n < c.vertexCount; ++n, ++vertex) {
      const uint32_t v = outVertexSource[vertex];
      uint8_t* d = dv + size_t{vertex} * stride;
      std::memcpy(d, cv + size_t{v} * stride, stride);
      const std::vector<Influence>& list = infl[v];
      float weights[kMaxBlendInfluences] = {};
      uint8_t slots[4] = {};
      for (size_t i = 0; i < list.size(); ++i) {
        weights[i] = list[i].weight;
        const auto slot = std::find(c.boneId.begin(), c.boneId.end(), list[i].bone);
        slots[i] = static_cast<uint8_t>(slot - c.boneId.begin());
      }
      if (weightEl) std::memcpy(d + weightEl->offset, weights, 4 * (betas - 1));
      std::memcpy(d + indexEl->offset, slots, 4);
    }
  }
  mesh->UnlockVertexBuffer();
  std::memcpy(mesh->LockIndexBuffer(0), outIndices.data(), outIndices.size() * 2);
  mesh->UnlockIndexBuffer();
  std::memcpy(mesh->LockAttributeBuffer(0), outAttributes.data(), outAttributes.size() * 4);
  mesh->UnlockAttributeBuffer();
  std::vector<AttributeRange> table;
  for (uint32_t g = 0; g < combos.size(); ++g) {
    const BoneCombination& c = combos[g];
    table.push_back({g, c.faceStart, c.faceCount, c.vertexStart, c.vertexCount});
  }
  s = mesh->SetAttributeTable(table.data(), static_cast<uint32_t>(table.size()));
  converted->Release();
  if (Failed(s)) {
    mesh->Release();
    return s;
  }
  *maxFaceInfluences = k;
  *combinations = std::move(combos);
  *out = mesh;
  return kOk;
}

}  // namespace port
