#pragma once
// Indexed triangle mesh with per-face attribute ids, kept on the CPU and
// uploaded to device buffers when first drawn after a change.
#include <cstdint>
#include <vector>

#include "port/gpu.h"
#include "port/math.h"
#include "port/resource.h"

namespace port {

// Mesh creation and optimisation flags.
namespace meshopt {
constexpr uint32_t kSystemMem = 0x110;
constexpr uint32_t kManaged = 0x220;
constexpr uint32_t kCompact = 0x1000000;
constexpr uint32_t kAttrSort = 0x2000000;
constexpr uint32_t kVertexCache = 0x4000000;
}  // namespace meshopt
constexpr uint32_t kLockReadOnly = 0x10;
constexpr uint32_t kMaxMeshVertices = 65535;  // 16-bit indices

struct AttributeRange {
  uint32_t attribId = 0;
  uint32_t faceStart = 0, faceCount = 0;
  uint32_t vertexStart = 0, vertexCount = 0;
  bool operator==(const AttributeRange&) const = default;
};

class Mesh : public Resource {
 public:
  // A mesh of zeroed vertices, indices and attributes; *out holds one
  // reference. More than kMaxMeshVertices vertices, no faces, or a layout
  // without a FLOAT3 position fails. device may be null (no drawing).
  static Status Create(uint32_t numFaces, uint32_t numVertices, uint32_t options,
                       const gpu::VertexLayout& layout, gpu::Device* device, Mesh** out);
  static Status CreateFVF(uint32_t numFaces, uint32_t numVertices, uint32_t options, uint32_t fvf,
                          gpu::Device* device, Mesh** out);

  uint32_t GetNumFaces() const { return numFaces_; }
  uint32_t GetNumVertices() const { return numVertices_; }
  uint32_t GetNumBytesPerVertex() const { return layout_.stride; }
  uint32_t GetFVF() const { return fvf_; }  // 0 when the layout has no FVF equivalent
  uint32_t GetOptions() const { return options_; }
  const gpu::VertexLayout& GetDeclaration() const { return layout_; }
  gpu::Device* GetDevice() const { return device_; }

  // CPU copies. Locking without kLockReadOnly marks the data for re-upload.
  void* LockVertexBuffer(uint32_t flags = 0);
  void UnlockVertexBuffer() {}
  uint16_t* LockIndexBuffer(uint32_t flags = 0);  // 3 per face
  void UnlockIndexBuffer() {}
  uint32_t* LockAttributeBuffer(uint32_t flags = 0);  // 1 per face
  void UnlockAttributeBuffer() {}
  const uint8_t* Vertices() const { return vertices_.data(); }
  const uint16_t* Indices() const { return indices_.data(); }
  const uint32_t* Attributes() const { return attributes_.data(); }

  // Draws the faces of attribute id as a triangle list with the device's
  // current state. An id with no faces draws nothing and succeeds.
  Status DrawSubset(uint32_t attribId);

  // Copies up to the table's size when table is given; *count is the size.
  Status GetAttributeTable(AttributeRange* table, uint32_t* count) const;
  const std::vector<AttributeRange>& AttributeTable() const { return table_; }
  Status SetAttributeTable(const AttributeRange* table, uint32_t count);

  // Copies faces, indices, attributes and table; vertex elements are matched
  // by usage and usage index and converted; elements the source lacks are zero.
  Status CloneMeshFVF(uint32_t options, uint32_t fvf, gpu::Device* device, Mesh** out) const;
  Status CloneMesh(uint32_t options, const gpu::VertexLayout& layout, gpu::Device* device,
                   Mesh** out) const;

  // kAttrSort: stable sort of the faces by attribute, table rebuilt (implied
  // by kVertexCache). kCompact: drops vertices no face uses, keeping order.
  // The remaps, when given, receive new -> old face and old -> new vertex
  // (0xFFFFFFFF for a dropped vertex).
  Status OptimizeInplace(uint32_t flags, std::vector<uint32_t>* faceRemap = nullptr,
                         std::vector<uint32_t>* vertexRemap = nullptr);

  // Replaces the element descriptions, keeping the bytes; the stride must not change.
  Status UpdateSemantics(const gpu::VertexLayout& layout);

 private:
  Mesh() = default;
  ~Mesh() override;
  Status Upload();
  void BuildTableFromAttributes();

  uint32_t numFaces_ = 0, numVertices_ = 0, options_ = 0, fvf_ = 0;
  gpu::VertexLayout layout_;
  gpu::Device* device_ = nullptr;
  std::vector<uint8_t> vertices_;
  std::vector<uint16_t> indices_;
  std::vector<uint32_t> attributes_;
  std::vector<AttributeRange> table_;
  gpu::Buffer* vb_ = nullptr;
  gpu::Buffer* ib_ = nullptr;
  bool vertsDirty_ = true, indicesDirty_ = true;
};

// Every vertex normal = the normalised sum of the normals of the faces using
// that vertex index. Fails when the mesh has no FLOAT3 normal.
Status ComputeNormals(Mesh* mesh);

// Centre = mean of the vertex positions, radius = largest distance from it.
Status ComputeMeshBoundingSphere(const Mesh* mesh, Vec3* centre, float* radius);

// The nearest hit of the ray with any triangle, either side. dist counts in
// lengths of dir (hit = origin + dist * dir, dist >= 0); hit point =
// V0 + u (V1 - V0) + v (V2 - V0); face is the triangle's index.
struct IntersectInfo {
  bool hit = false;
  uint32_t face = 0;
  float u = 0, v = 0, dist = 0;
};
Status Intersect(const Mesh* mesh, const Vec3& origin, const Vec3& dir, IntersectInfo* out);

}  // namespace port
