#include "port/skin.h"

#include <algorithm>

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

Status SkinInfo::SetBoneInfluence(uint32_t bone, uint32_t count, const uint32_t* vertices, const float* weights) {
  if (bone >= bones_.size() || (count > 0 && (!vertices || !weights))) return kInvalidArg;
  for (uint32_t i = 0; i < count; ++i) {
    if (vertices[i] >= numVertices_) return kInvalidArg;
  }
  bones_[bone].vertices.assign(vertices, vertices + count);
  bones_[bone].weights.assign(weights, weights + count);
  return kOk;
}

}  // namespace port
