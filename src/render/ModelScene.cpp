#include "render/ModelScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using port::Matrix;

ModelMeshContainer::~ModelMeshContainer() {
  port::SafeRelease(drawMesh);
  port::SafeRelease(sourceMesh);
  port::SafeRelease(skin);
  for (port::gpu::Texture*& t : textures) port::SafeRelease(t);
}

void ModelMeshContainer::ReleaseDrawMesh() { port::SafeRelease(drawMesh); }

ModelFrame::ModelFrame(std::string frameName) : name(std::move(frameName)) {}

ModelFrame* ModelFrame::AddChild(std::unique_ptr<ModelFrame> child) {
  children_.push_back(std::move(child));
  return children_.back().get();
}

ModelMeshContainer* ModelFrame::AddMeshContainer(std::unique_ptr<ModelMeshContainer> container) {
  containers_.push_back(std::move(container));
  return containers_.back().get();
}

ModelFrame* ModelFrame::Find(const char* frameName) {
  if (!frameName) return nullptr;
  if (!name.empty() && name == frameName) return this;
  ModelFrame* found = nullptr;
  ForEachChild([&](const ModelFrame& child) {
    if (!found) found = const_cast<ModelFrame&>(child).Find(frameName);
  });
  return found;
}

void ModelFrame::LinkBones(ModelScene& scene) {
  ForEachContainer([&](const ModelMeshContainer& cc) {
    auto& c = const_cast<ModelMeshContainer&>(cc);
    if (!c.skin) return;
    c.boneMatrices.assign(c.skin->GetNumBones(), nullptr);
    for (uint32_t i = 0; i < c.skin->GetNumBones(); ++i) {
      ModelFrame* bone = scene.FindFrame(c.skin->GetBoneName(i));
      c.boneMatrices[i] = bone ? &bone->combined : nullptr;
    }
  });
  ForEachChild([&](const ModelFrame& child) { const_cast<ModelFrame&>(child).LinkBones(scene); });
}

void ModelFrame::UpdateMatrices(const Matrix& parent) {
  combined = port::MatrixMultiply(local, parent);
  if (extra.m[3][3] != 0.0f) combined = port::MatrixMultiply(combined, extra);
  for (const auto& child : children_) child->UpdateMatrices(combined);
}

void ModelFrame::ReleaseMeshes() {
  for (const auto& c : containers_) {
    if (c->skin) c->ReleaseDrawMesh();
  }
  for (const auto& child : children_) child->ReleaseMeshes();
}

namespace {

// The two keys around t and how far t lies between them. Past the last key
// the last key holds, so a one-shot animation ends on its final pose.
struct KeySpan {
  size_t prev = 0, next = 0;
  float fraction = 0.0f;
};

template <typename Key>
KeySpan FindKeys(const std::vector<Key>& keys, float t) {
  KeySpan s;
  auto it = std::upper_bound(keys.begin(), keys.end(), t, [](float value, const Key& k) {
    return static_cast<float>(k.time) > value;
  });
  if (it == keys.end()) {
    s.prev = s.next = keys.size() - 1;
    return s;
  }
  s.next = static_cast<size_t>(it - keys.begin());
  s.prev = s.next == 0 ? 0 : s.next - 1;
  const float t0 = static_cast<float>(keys[s.prev].time);
  const float t1 = static_cast<float>(keys[s.next].time);
  s.fraction = t1 == t0 ? 0.0f : (t - t0) / (t1 - t0);
  return s;
}

port::Vec3 Lerp(const port::Vec3& a, const port::Vec3& b, float f) { return a + (b - a) * f; }

}  // namespace

void ModelAnimation::Apply(float t, float weight, const ModelFrame* frameFilter) const {
  if (weight == 0.0f || !target) return;
  if (frameFilter && frameFilter != target) return;

  if (!matrixKeys.empty()) {
    const KeySpan s = FindKeys(matrixKeys, t);
    target->local = matrixKeys[s.fraction > 0.5f ? s.next : s.prev].matrix;
    return;
  }
  if (scaleKeys.empty() && rotationKeys.empty() && positionKeys.empty()) return;

  Matrix m = port::MatrixIdentity();
  if (!scaleKeys.empty()) {
    const KeySpan s = FindKeys(scaleKeys, t);
    const port::Vec3 v = Lerp(scaleKeys[s.prev].value, scaleKeys[s.next].value, s.fraction);
    m = port::MatrixMultiply(m, port::MatrixScaling(v.x, v.y, v.z));
  }
  if (!rotationKeys.empty()) {
    const KeySpan s = FindKeys(rotationKeys, t);
    const size_t n = rotationKeys.size();
    const port::Quat& q0 = rotationKeys[s.prev == 0 ? n - 1 : s.prev - 1].rotation;
    const port::Quat& q1 = rotationKeys[s.prev].rotation;
    const port::Quat& q2 = rotationKeys[s.next].rotation;
    const port::Quat& q3 = rotationKeys[s.next + 1 >= n ? 0 : s.next + 1].rotation;
    port::Quat a, b, c;
    port::QuatSquadSetup(&a, &b, &c, q0, q1, q2, q3);
    port::Quat q = port::QuatSquad(q1, a, b, c, s.fraction);
    // The file's rotations turn the other way from the matrix builder's.
    q.w = -q.w;
    m = port::MatrixMultiply(m, port::MatrixRotationQuaternion(q));
  }
  if (!positionKeys.empty()) {
    const KeySpan s = FindKeys(positionKeys, t);
    const port::Vec3 v = Lerp(positionKeys[s.prev].value, positionKeys[s.next].value, s.fraction);
    m = port::MatrixMultiply(m, port::MatrixTranslation(v.x, v.y, v.z));
  } else {
    m = port::MatrixMultiply(m, port::MatrixTranslation(target->file.m[3][0], target->file.m[3][1],
                                                        target->file.m[3][2]));
  }
  for (int r = 0; r < 4; ++r) {
    for (int col = 0; col < 4; ++col) {
      target->local.m[r][col] = (1.0f - weight) * target->local.m[r][col] + weight * m.m[r][col];
    }
  }
}

float ModelAnimation::LastKeyTime() const {
  if (!matrixKeys.empty()) return static_cast<float>(matrixKeys.back().time);
  if (!scaleKeys.empty()) return static_cast<float>(scaleKeys.back().time);
  if (!rotationKeys.empty()) return static_cast<float>(rotationKeys.back().time);
  if (!positionKeys.empty()) return static_cast<float>(positionKeys.back().time);
  return -1.0f;
}

ModelAnimation* ModelAnimationSet::AddAnimation(std::unique_ptr<ModelAnimation> animation) {
  animations_.push_back(std::move(animation));
  return animations_.back().get();
}

void ModelAnimationSet::GetLength(AnimTrack* track) const {
  const ModelAnimation* head = Head();
  if (!track || !head) return;
  const float last = head->LastKeyTime();
  if (last >= 0.0f) track->length = last;
}

void ModelAnimationSet::Apply(float t, float weight, const ModelFrame* frameFilter) const {
  for (size_t i = animations_.size(); i-- > 0;) animations_[i]->Apply(t, weight, frameFilter);
}

ModelScene::ModelScene() : root(std::make_unique<ModelFrame>()) {}

namespace {

struct Extents {
  port::Vec3 sum;
  uint32_t count = 0;
  port::Vec3 centre;
  float maxDistSq = 0.0f;
};

// Visits every source-mesh vertex not at the origin, in its frame's file pose.
template <typename F>
void ForEachVertex(const ModelFrame& frame, const Matrix& parent, F&& f) {
  const Matrix m = port::MatrixMultiply(frame.local, parent);
  frame.ForEachContainer([&](const ModelMeshContainer& c) {
    const port::Mesh* mesh = c.sourceMesh;
    if (!mesh) return;
    const port::gpu::VertexElement* pos =
        mesh->GetDeclaration().Find(port::gpu::DeclUsage::Position, 0);
    if (!pos || pos->type != port::gpu::DeclType::Float3) return;
    const uint32_t stride = mesh->GetNumBytesPerVertex();
    const uint8_t* v = mesh->Vertices();
    for (uint32_t i = 0; i < mesh->GetNumVertices(); ++i) {
      float p[3];
      std::memcpy(p, v + size_t{i} * stride + pos->offset, sizeof p);
      if (p[0] == 0.0f && p[1] == 0.0f && p[2] == 0.0f) continue;
      f(port::Vec3TransformCoord({p[0], p[1], p[2]}, m));
    }
  });
  frame.ForEachChild([&](const ModelFrame& child) { ForEachVertex(child, m, f); });
}

}  // namespace

port::Status ModelScene::ComputeRadius() {
  if (!root) return port::kInvalidCall;
  Extents e;
  const Matrix identity = port::MatrixIdentity();
  ForEachVertex(*root, identity, [&](const port::Vec3& p) {
    e.sum += p;
    ++e.count;
  });
  centre = {0, 0, 0};
  radius = 0.0f;
  if (e.count == 0) return port::kOk;
  centre = e.sum / static_cast<float>(e.count);
  ForEachVertex(*root, identity, [&](const port::Vec3& p) {
    e.maxDistSq = std::max(e.maxDistSq, port::Vec3LengthSq(p - centre));
  });
  radius = std::sqrt(e.maxDistSq);
  return port::kOk;
}

void ModelScene::Release() {
  root.reset();
  name.clear();
  sets.clear();
}
