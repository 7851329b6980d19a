#include "render/StaticMesh.h"

#include <cstring>

#include "port/mesh_x.h"
#include "port/texture_file.h"

namespace {

// The device of the last StaticMesh::Load.
port::gpu::Device* g_meshDevice = nullptr;

port::gpu::VertexLayout MeshLayout() {
  using port::gpu::DeclType;
  using port::gpu::DeclUsage;
  port::gpu::VertexLayout layout;
  layout.elements = {{0, DeclType::Float3, DeclUsage::Position, 0},
                     {12, DeclType::Float3, DeclUsage::Normal, 0},
                     {24, DeclType::Float2, DeclUsage::TexCoord, 0}};
  layout.stride = StaticMesh::kVertexStride;
  return layout;
}

}  // namespace

StaticMesh::~StaticMesh() { Release(); }

port::gpu::Device* StaticMesh::DrawDevice() { return g_meshDevice; }

bool StaticMesh::Load(port::gpu::Device* device, const char* path) {
  Release();
  g_meshDevice = device;
  if (!path) return false;

  std::vector<port::XMaterial> loadedMaterials;
  port::Mesh* loaded = nullptr;
  if (port::Failed(port::LoadMeshFromX(path, port::meshopt::kSystemMem, device, nullptr,
                                       &loadedMaterials, &loaded)))
    return false;

  materialCount_ = static_cast<uint32_t>(loadedMaterials.size());
  materials_.resize(materialCount_);
  textures_.assign(materialCount_, nullptr);
  for (uint32_t i = 0; i < materialCount_; ++i) {
    materials_[i] = loadedMaterials[i].material;
    const std::string& name = loadedMaterials[i].textureFilename;
    if (!name.empty() && device) port::CreateTextureFromFile(device, name, 0, &textures_[i]);
  }

  // Any failure from here on leaves the mesh empty: a half-built mesh in
  // another layout would be read at the wrong stride by the ray tests.
  port::Mesh* clone = nullptr;
  port::Status status = loaded->OptimizeInplace(port::meshopt::kCompact | port::meshopt::kAttrSort);
  if (!port::Failed(status))
    status = loaded->CloneMesh(port::meshopt::kManaged, MeshLayout(), device, &clone);
  loaded->Release();
  if (port::Failed(status) || !clone) {
    Release();
    return false;
  }
  mesh_ = clone;
  if (port::Failed(port::ComputeNormals(mesh_)) ||
      port::Failed(port::ComputeMeshBoundingSphere(mesh_, &centre_, &radius_))) {
    Release();
    return false;
  }
  return true;
}

void StaticMesh::Draw() {
  port::gpu::Device* device = g_meshDevice;
  if (!mesh_ || !device || device != port::gpu::Device::Current()) return;
  for (int pass = 0; pass < 2; ++pass) {
    for (uint32_t i = 0; i < materialCount_; ++i) {
      const bool opaque = materials_[i].diffuse.a == 1.0f;
      if (opaque != (pass == 0)) continue;
      device->SetMaterial(materials_[i]);
      device->SetTexture(0, textures_[i]);
      mesh_->DrawSubset(i);
    }
  }
}

bool StaticMesh::DrawOverwrites(bool lit) const {
  const port::gpu::Device* device = g_meshDevice;
  if (!mesh_ || !device || device != port::gpu::Device::Current()) return false;
  const port::gpu::VertexLayout& layout = mesh_->GetDeclaration();
  for (uint32_t i = 0; i < materialCount_; ++i)
    if (!device->DrawOverwrites({&layout, &materials_[i], textures_[i], lit})) return false;
  return true;
}

void StaticMesh::LockForCollision() {
  if (!mesh_) return;
  const uint8_t* vertices =
      static_cast<const uint8_t*>(mesh_->LockVertexBuffer(port::kLockReadOnly));
  collisionVertices_.assign(
      vertices, vertices + static_cast<size_t>(mesh_->GetNumVertices()) * kVertexStride);
  mesh_->UnlockVertexBuffer();
  const uint16_t* indices = mesh_->LockIndexBuffer(port::kLockReadOnly);
  collisionIndices_.assign(indices, indices + static_cast<size_t>(mesh_->GetNumFaces()) * 3);
  mesh_->UnlockIndexBuffer();
}

bool StaticMesh::Intersect(const port::Vec3& origin, const port::Vec3& direction,
                           float* inOutDistance) const {
  if (!mesh_ || !inOutDistance) return false;
  port::IntersectInfo hit;
  if (port::Failed(port::Intersect(mesh_, origin, direction, &hit)) || !hit.hit) return false;
  if (!(hit.dist < *inOutDistance)) return false;
  *inOutDistance = hit.dist;
  return true;
}

bool StaticMesh::IntersectNormal(const port::Vec3& origin, const port::Vec3& direction,
                                 float* inOutDistance, port::Vec3* outNormal) const {
  if (!mesh_ || !inOutDistance || collisionVertices_.empty() || collisionIndices_.empty())
    return false;
  port::IntersectInfo hit;
  if (port::Failed(port::Intersect(mesh_, origin, direction, &hit)) || !hit.hit) return false;
  if (!(hit.dist < *inOutDistance)) return false;
  const size_t first = static_cast<size_t>(hit.face) * 3;
  if (first + 2 >= collisionIndices_.size()) return false;
  port::Vec3 corner[3];
  for (int k = 0; k < 3; ++k) {
    const size_t at =
        static_cast<size_t>(collisionIndices_[first + static_cast<size_t>(k)]) * kVertexStride;
    if (at + 12 > collisionVertices_.size()) return false;
    std::memcpy(&corner[k], collisionVertices_.data() + at, 12);
  }
  *inOutDistance = hit.dist;
  if (outNormal)
    *outNormal = port::Vec3Normalize(port::Vec3Cross(corner[1] - corner[0], corner[2] - corner[0]));
  return true;
}

void StaticMesh::Release() {
  for (port::gpu::Texture*& t : textures_) port::SafeRelease(t);
  textures_.clear();
  materials_.clear();
  port::SafeRelease(mesh_);
  materialCount_ = 0;
  collisionVertices_.clear();
  collisionIndices_.clear();
}
