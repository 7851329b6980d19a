#pragma once
// Meshes read from .X data: a whole file collapsed into one static mesh, or
// one Mesh data object with its skin.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "port/gpu.h"
#include "port/mesh.h"
#include "port/resource.h"
#include "port/skin.h"
#include "port/xfile.h"

namespace port {

// A material as the file gives it, with its texture file name (empty when none).
struct XMaterial {
  gpu::Material material;
  std::string textureFilename;
};

// Every Mesh of the file (top level and inside Frames, depth first) in one
// mesh: positions and normals transformed by the frames' matrices, material
// lists concatenated and attribute ids offset per mesh. A Mesh without a
// material list gets one default material. adjacency may be null.
Status LoadMeshFromX(std::string_view path, uint32_t options, gpu::Device* device,
                     std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                     Mesh** mesh);
Status LoadMeshFromXFile(const x::File& file, uint32_t options, gpu::Device* device,
                         std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                         Mesh** mesh);

// One Mesh data object and its children. Polygons are fanned into triangles;
// a file vertex used with several normals is duplicated (copies appended after
// the file's vertices, each keeping the original's skin influences). Faces are
// sorted by material. *skinInfo always receives an object (0 bones without
// skin data). A Mesh without vertices returns kMeshHasNoData and no mesh.
// materials is empty when the Mesh has no material list.
Status LoadSkinMeshFromXof(const x::Object& meshObject, uint32_t options, gpu::Device* device,
                           std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                           SkinInfo** skinInfo, Mesh** mesh);

// The material a mesh without a material list is drawn with.
gpu::Material DefaultXMaterial();

}  // namespace port
