#pragma once
// A static .X mesh with its materials and textures: drawn whole, opaque
// subsets first, and usable for ray tests against its triangles.
#include <cstdint>
#include <vector>

#include "port/gpu.h"
#include "port/math.h"
#include "port/mesh.h"

class StaticMesh {
 public:
  StaticMesh() = default;
  StaticMesh(const StaticMesh&) = delete;
  StaticMesh& operator=(const StaticMesh&) = delete;
  ~StaticMesh();

  // Releases what is held, then reads every mesh of the file with its
  // materials and textures, compacted and sorted by material, in the layout
  // position, normal, texture coordinate (32 bytes), with normals recomputed
  // and the bounding sphere taken. False, and an empty mesh, on any failure.
  // The device may be null: the mesh then serves ray tests only.
  bool Load(port::gpu::Device* device, const char* path);
  // Subsets whose diffuse alpha is exactly 1 first, then the others; the
  // caller sets the world transform and render states.
  void Draw();
  // Whether Draw, with the current states and lighting on or off as given,
  // writes every fragment it keeps unblended, whatever the picture held
  // there. False for an empty mesh or where the device cannot tell.
  bool DrawOverwrites(bool lit) const;
  // Keeps a copy of the vertices and indices for IntersectNormal.
  void LockForCollision();
  // The nearest hit of the ray (distance in lengths of direction) when it is
  // nearer than *inOutDistance, which then receives it.
  bool Intersect(const port::Vec3& origin, const port::Vec3& direction, float* inOutDistance) const;
  // As Intersect, also giving the hit triangle's normal; needs LockForCollision.
  bool IntersectNormal(const port::Vec3& origin, const port::Vec3& direction, float* inOutDistance,
                       port::Vec3* outNormal) const;
  // Releases the textures, materials and mesh; the radius keeps its value.
  void Release();

  port::Mesh* GetMesh() const { return mesh_; }
  uint32_t MaterialCount() const { return materialCount_; }
  const port::gpu::Material* Materials() const { return materials_.data(); }
  port::gpu::Texture* SubsetTexture(uint32_t i) const {
    return i < textures_.size() ? textures_[i] : nullptr;
  }
  const port::Vec3& Centre() const { return centre_; }
  float Radius() const { return radius_; }
  bool HasCollisionData() const { return !collisionIndices_.empty(); }
  // The device every static mesh draws with: the one of the last Load.
  static port::gpu::Device* DrawDevice();

  static constexpr uint32_t kVertexStride = 32;

 private:
  std::vector<uint8_t> collisionVertices_;  // 32-byte vertices, position first
  std::vector<uint16_t> collisionIndices_;  // 3 a face
  port::Mesh* mesh_ = nullptr;
  uint32_t materialCount_ = 0;
  std::vector<port::gpu::Material> materials_;
  std::vector<port::gpu::Texture*> textures_;
  port::Vec3 centre_;
  float radius_ = 1.0f;
};
