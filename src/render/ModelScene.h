#pragma once
// What a skinned model is made of: the frame tree with the mesh containers
// hung on its frames, and the animation sets whose keys pose the frames.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "port/gpu.h"
#include "port/math.h"
#include "port/mesh.h"
#include "port/resource.h"
#include "port/skin.h"
#include "render/AnimTrack.h"

class ModelScene;

// A mesh read from the model file: the source mesh as read, the mesh it is
// drawn from (the skinned clone or the bone-palette mesh), its materials with
// their textures and, for a skinned mesh, its bones.
class ModelMeshContainer {
 public:
  ModelMeshContainer() = default;
  ModelMeshContainer(const ModelMeshContainer&) = delete;
  ModelMeshContainer& operator=(const ModelMeshContainer&) = delete;
  ~ModelMeshContainer();

  // Releases the drawing mesh only (the source stays).
  void ReleaseDrawMesh();
  bool IsSkinned() const { return skin != nullptr; }

  std::string name;
  port::Mesh* sourceMesh = nullptr;
  port::Mesh* drawMesh = nullptr;
  std::vector<port::gpu::Material> materials;
  std::vector<port::gpu::Texture*> textures;  // one per material, null when none
  uint32_t attributeRangeCount = 0;
  port::SkinInfo* skin = nullptr;  // null for a rigid mesh
  std::vector<port::AttributeRange> attributeTable;
  // The combined matrix of each bone's frame; null when no frame has its name.
  std::vector<const port::Matrix*> boneMatrices;
  std::vector<uint32_t> adjacency;  // three per face
  uint32_t maxFaceInfluences = 0;
  std::vector<port::BoneCombination> boneCombinations;
  uint32_t paletteSize = 0;
};

// A node of the frame tree. The root is a node of its own; the file's
// top-level frames are its children.
class ModelFrame {
 public:
  explicit ModelFrame(std::string frameName = {});
  ModelFrame(const ModelFrame&) = delete;
  ModelFrame& operator=(const ModelFrame&) = delete;

  // The first child added stays first; every later one goes directly after
  // it, so children are visited first-added, then newest to oldest.
  ModelFrame* AddChild(std::unique_ptr<ModelFrame> child);
  // Containers are visited newest first.
  ModelMeshContainer* AddMeshContainer(std::unique_ptr<ModelMeshContainer> container);

  // Depth first: this node, then its children's subtrees in visiting order.
  // Names compare byte for byte; a nameless frame never matches.
  ModelFrame* Find(const char* frameName);
  void LinkBones(ModelScene& scene);
  // combined = local x parent, then x extra when extra's last element is not 0.
  void UpdateMatrices(const port::Matrix& parent);
  void ReleaseMeshes();

  template <typename F>
  void ForEachChild(F&& f) const {
    if (children_.empty()) return;
    f(*children_[0]);
    for (size_t i = children_.size(); i-- > 1;) f(*children_[i]);
  }
  template <typename F>
  void ForEachContainer(F&& f) const {
    for (size_t i = containers_.size(); i-- > 0;) f(*containers_[i]);
  }
  bool HasContainers() const { return !containers_.empty(); }
  size_t ChildCount() const { return children_.size(); }

  std::string name;  // empty when the file gave none
  port::Matrix local = port::MatrixIdentity();
  port::Matrix extra = port::MatrixIdentity();
  port::Matrix file = port::MatrixIdentity();  // the frame's matrix as read
  port::Matrix combined = port::MatrixIdentity();

 private:
  std::vector<std::unique_ptr<ModelFrame>> children_;  // in the order added
  std::vector<std::unique_ptr<ModelMeshContainer>> containers_;
};

struct RotationKey {
  uint32_t time = 0;
  port::Quat rotation;
};
struct VectorKey {
  uint32_t time = 0;
  port::Vec3 value;
};
struct MatrixKey {
  uint32_t time = 0;
  port::Matrix matrix;
};

// The keys that drive one frame.
class ModelAnimation {
 public:
  enum KeyType : uint32_t { kRotation = 0, kScale = 1, kPosition = 2, kMatrix = 4 };

  // Poses the target at time t and pulls its local matrix toward that pose by
  // weight. Nothing for weight 0, for another frame than frameFilter (when
  // set), or without a target.
  void Apply(float t, float weight, const ModelFrame* frameFilter) const;
  // The time of the last key: matrix keys, else scale, rotation, position; -1 with none.
  float LastKeyTime() const;

  std::string name;
  ModelFrame* target = nullptr;
  std::vector<RotationKey> rotationKeys;
  std::vector<VectorKey> scaleKeys;
  std::vector<VectorKey> positionKeys;
  std::vector<MatrixKey> matrixKeys;
  uint32_t loadedKeyTypes = 0;  // bit per KeyType: a type may be read once
};

class ModelAnimationSet {
 public:
  explicit ModelAnimationSet(std::string setName = {}) : name(std::move(setName)) {}
  // The newest animation becomes the head.
  ModelAnimation* AddAnimation(std::unique_ptr<ModelAnimation> animation);
  // The head animation's last key time into track->length; nothing when the
  // set has no animation or the head has no keys.
  void GetLength(AnimTrack* track) const;
  // Every animation, head first.
  void Apply(float t, float weight, const ModelFrame* frameFilter) const;
  const ModelAnimation* Head() const {
    return animations_.empty() ? nullptr : animations_.back().get();
  }
  size_t AnimationCount() const { return animations_.size(); }
  void Clear() { animations_.clear(); }

  std::string name;

 private:
  std::vector<std::unique_ptr<ModelAnimation>> animations_;  // in read order
};

class ModelScene {
 public:
  ModelScene();
  ModelScene(const ModelScene&) = delete;
  ModelScene& operator=(const ModelScene&) = delete;

  ModelFrame* FindFrame(const char* frameName) { return root ? root->Find(frameName) : nullptr; }
  // Bounding sphere of the source meshes' vertices in the frames' file pose;
  // vertices exactly at the origin are left out.
  port::Status ComputeRadius();
  void Release();

  std::string name;
  std::unique_ptr<ModelFrame> root;
  std::vector<std::unique_ptr<ModelAnimationSet>> sets;  // in load order
  port::Vec3 centre;
  float radius = 1.0f;
};
