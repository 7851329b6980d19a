// Feeds arbitrary bytes to the .X reader and the mesh loaders built on it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "port/mesh.h"
#include "port/mesh_x.h"
#include "port/skin.h"
#include "port/xfile.h"

namespace {

void Exercise(port::Mesh* mesh) {
  port::IntersectInfo hit;
  port::Intersect(mesh, {0.1f, 0.2f, -10}, {0, 0, 1}, &hit);
  port::Vec3 c;
  float r;
  port::ComputeMeshBoundingSphere(mesh, &c, &r);
  port::Mesh* clone = nullptr;
  if (!port::Failed(
          mesh->CloneMeshFVF(0, port::gpu::fvf::XYZ | port::gpu::fvf::Normal | port::gpu::fvf::Tex1,
                             nullptr, &clone))) {
    clone->OptimizeInplace(port::meshopt::kCompact | port::meshopt::kAttrSort);
    port::ComputeNormals(clone);
    clone->Release();
  }
}

void Walk(const port::x::Object& o, int depth) {
  if (depth > 100) return;
  auto r = o.Data();
  for (const port::x::Value& v : o.Values()) {
    uint32_t d;
    float f;
    std::string s;
    bool ok = v.type == port::x::ValueType::String ? r.ReadString(&s)
              : v.type == port::x::ValueType::Float || v.type == port::x::ValueType::Double
                  ? r.ReadFloat(&f)
                  : r.ReadDword(&d);
    if (!ok) __builtin_trap();  // a value the reader itself typed must read back
  }
  if (o.Is(port::x::guids::kMesh)) {
    port::Mesh* mesh = nullptr;
    port::SkinInfo* skin = nullptr;
    std::vector<uint32_t> adjacency;
    std::vector<port::XMaterial> materials;
    if (!port::Failed(
            port::LoadSkinMeshFromXof(o, 0, nullptr, &adjacency, &materials, &skin, &mesh))) {
      Exercise(mesh);
      skin->GetMaxVertexInfluences();
      mesh->Release();
      skin->Release();
    }
  }
  for (const port::x::Child& c : o.Children()) {
    if (!c.IsReference()) Walk(*c.object, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  port::x::Limits limits;
  limits.maxDecompressedBytes = size_t{16} << 20;
  port::x::Error err;
  auto file = port::x::File::LoadMemory(data, size, &err, limits);
  if (!file) return 0;
  for (const port::x::Object* o : file->Objects()) Walk(*o, 0);
  port::Mesh* mesh = nullptr;
  std::vector<port::XMaterial> materials;
  std::vector<uint32_t> adjacency;
  if (!port::Failed(port::LoadMeshFromXFile(*file, 0, nullptr, &adjacency, &materials, &mesh))) {
    Exercise(mesh);
    mesh->Release();
  }
  return 0;
}
