#pragma once
// Skin information of a mesh: its bones, each with a name, an offset matrix
// and the vertices it moves with their weights.
#include <cstdint>
#include <string>
#include <vector>

#include "port/math.h"
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

}  // namespace port
