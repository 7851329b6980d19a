#pragma once
// Skin information of a mesh: its bones, each with a name, an offset matrix
// and the vertices it moves with their weights; and the two ways a mesh is
// skinned by it: on the CPU, or as a bone-palette mesh for a vertex program.
#include <cstdint>
#include <string>
#include <vector>

#include "port/math.h"
#include "port/mesh.h"
#include "port/resource.h"

namespace port {

class SkinInfo : public Resource {
 public:
  // numVertices: the vertex count of the mesh the influences refer to.
  static SkinInfo* Create(uint32_t numVertices, uint32_t numBones);

  uint32_t GetNumVertices() const { return numVertices_; }
  uint32_t GetNumBones() const { return static_cast<uint32_t>(bones_.size()); }
  // Null past the end.
  const char* GetBoneName(uint32_t bone) const;
  const Matrix* GetBoneOffsetMatrix(uint32_t bone) const;
  uint32_t GetNumBoneInfluences(uint32_t bone) const;  // 0 past the end
  // Copies the bone's vertex indices and weights (either may be null).
  Status GetBoneInfluence(uint32_t bone, uint32_t* vertices, float* weights) const;
  const std::vector<uint32_t>& BoneVertices(uint32_t bone) const;  // empty past the end
  const std::vector<float>& BoneWeights(uint32_t bone) const;
  // The largest number of bones influencing one vertex.
  uint32_t GetMaxVertexInfluences() const;

  Status SetBoneName(uint32_t bone, const std::string& name);
  Status SetBoneOffsetMatrix(uint32_t bone, const Matrix& offset);
  // Vertex indices must be below GetNumVertices().
  Status SetBoneInfluence(uint32_t bone, uint32_t count, const uint32_t* vertices,
                          const float* weights);

 protected:
  SkinInfo() = default;
  ~SkinInfo() override = default;

 private:
  struct Bone {
    std::string name;
    Matrix offset;  // identity
    std::vector<uint32_t> vertices;
    std::vector<float> weights;
  };
  uint32_t numVertices_ = 0;
  std::vector<Bone> bones_;
};

// Software skinning: every vertex of dst gets the weighted sum of src's
// position and normal transformed by each influencing bone's matrix (the
// bone matrix itself for normals); every other element is copied from src.
// src and dst share layout and vertex count; boneCount must cover every bone.
Status UpdateSkinnedMesh(const SkinInfo& skin, const Matrix* boneTransforms, uint32_t boneCount,
                         const Mesh& src, Mesh* dst);

constexpr uint32_t kNoBone = 0xFFFFFFFF;
constexpr uint32_t kMaxBlendInfluences = 4;

// One group of faces drawn with one bone palette.
struct BoneCombination {
  uint32_t attribId = 0;  // the source material of every face of the group
  uint32_t faceStart = 0, faceCount = 0;
  uint32_t vertexStart = 0, vertexCount = 0;
  std::vector<uint32_t> boneId;  // palette entries; kNoBone when unused
};

// Converts a skinned mesh into a bone-palette mesh: faces are grouped (per
// material, in order) so that each group needs at most paletteSize bones;
// the output face attribute is the group's index and the attribute table has
// one range per group. Each vertex keeps its largest influences (at most 4),
// renormalised, stored as k - 1 float weights (the last is implied) and four
// UBYTE4 indices into its group's palette; a vertex used by several groups is
// duplicated. k, the largest influence count of any vertex, is
// *maxFaceInfluences. Fails on a skin that does not fit the mesh, a palette
// of 0 or more than 256 entries, a face needing more bones than the palette
// holds, or more than 65535 output vertices.
Status ConvertToIndexedBlendedMesh(const SkinInfo& skin, const Mesh& src, uint32_t options,
                                   uint32_t paletteSize, uint32_t* maxFaceInfluences,
                                   std::vector<BoneCombination>* combinations, Mesh** out);

}  // namespace port
