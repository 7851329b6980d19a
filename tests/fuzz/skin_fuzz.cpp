// Feeds arbitrary bytes to the skinned-model path: the .X reader, the skinned
// mesh loader, posing the mesh on the CPU with bone matrices taken from the
// input, and the bone-palette conversion the toon effect draws.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "port/math.h"
#include "port/mesh.h"
#include "port/mesh_x.h"
#include "port/skin.h"
#include "port/xfile.h"

namespace {

void Pose(const port::SkinInfo& skin, port::Mesh& mesh, const uint8_t* data, size_t size) {
  std::vector<port::Matrix> bones(skin.GetNumBones(), port::MatrixIdentity());
  for (size_t i = 0; i < bones.size(); ++i) {
    // A turn and a shift per bone, from the input's own bytes.
    const uint8_t b = size ? data[i % size] : 0;
    bones[i] = port::MatrixRotationY(b * 0.05f);
    bones[i].m[3][0] = static_cast<float>(b) - 128.0f;
    bones[i] = *skin.GetBoneOffsetMatrix(static_cast<uint32_t>(i)) * bones[i];
  }
  port::Mesh* posed = nullptr;
  if (!port::Failed(mesh.CloneMeshFVF(0, mesh.GetFVF(), nullptr, &posed)) && mesh.GetFVF()) {
    port::UpdateSkinnedMesh(skin, bones.data(), static_cast<uint32_t>(bones.size()), mesh, posed);
  }
  if (posed) posed->Release();

  uint32_t influences = 0;
  std::vector<port::BoneCombination> groups;
  port::Mesh* blended = nullptr;
  if (!port::Failed(
          port::ConvertToIndexedBlendedMesh(skin, mesh, 0, 26, &influences, &groups, &blended))) {
    if (influences > port::kMaxBlendInfluences) __builtin_trap();
    for (const port::BoneCombination& g : groups)
      for (uint32_t bone : g.boneId)
        if (bone != port::kNoBone && bone >= skin.GetNumBones()) __builtin_trap();
    blended->Release();
  }
}

void Walk(const port::x::Object& o, int depth, const uint8_t* data, size_t size) {
  if (depth > 100) return;
  if (o.Is(port::x::guids::kMesh)) {
    port::Mesh* mesh = nullptr;
    port::SkinInfo* skin = nullptr;
    std::vector<uint32_t> adjacency;
    std::vector<port::XMaterial> materials;
    if (!port::Failed(
            port::LoadSkinMeshFromXof(o, 0, nullptr, &adjacency, &materials, &skin, &mesh))) {
      Pose(*skin, *mesh, data, size);
      mesh->Release();
      skin->Release();
    }
  }
  for (const port::x::Child& c : o.Children()) {
    if (!c.IsReference()) Walk(*c.object, depth + 1, data, size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  port::x::Limits limits;
  limits.maxDecompressedBytes = size_t{16} << 20;
  port::x::Error err;
  auto file = port::x::File::LoadMemory(data, size, &err, limits);
  if (!file) return 0;
  for (const port::x::Object* o : file->Objects()) Walk(*o, 0, data, size);
  return 0;
}
