#include "port/mesh_x.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "port/path.h"
#include "support/recording_device.h"
#include "support/temp_dir.h"
#include "support/x_writer.h"

using port::Mesh;
using port::SkinInfo;
using port::Vec3;
using port::XMaterial;
namespace fvf = port::gpu::fvf;

namespace {

using testsupport::TempDir;

struct Loaded {
  Mesh* mesh = nullptr;
  SkinInfo* skin = nullptr;
  std::vector<XMaterial> materials;
  std::vector<uint32_t> adjacency;
  ~Loaded() {
    port::SafeRelease(mesh);
    port::SafeRelease(skin);
  }
};

Vec3 Element(const Mesh* m, uint32_t v, port::gpu::DeclUsage usage) {
  const auto* e = m->GetDeclaration().Find(usage);
  Vec3 out;
  if (e) std::memcpy(&out, m->Vertices() + v * m->GetNumBytesPerVertex() + e->offset, 12);
  return out;
}

const char* kStaticModel = R"(xof 0303txt 0032
Material Shared { 0.0; 0.0; 1.0; 0.5;; 4.0; 1.0; 1.0; 1.0;; 0.1; 0.2; 0.3;; }
Frame Root {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1;; }
  Frame Child {
    FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,5,0,1;; }
    Mesh Quad {
      4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;;
      2; 3;0,3,2;, 3;0,2,1;;
      MeshNormals { 1; 0;0;-1;; 2; 3;0,0,0;, 3;0,0,0;; }
      MeshTextureCoords { 4; 0;1;, 1;1;, 1;0;, 0;0;; }
      MeshMaterialList { 2; 2; 1, 0;;
        Material Red { 1.0; 0.0; 0.0; 1.0;; 8.0; 0.5; 0.5; 0.5;; 0.0; 0.0; 0.0;;
          TextureFilename { "Texture\Red.png"; } }
        { Shared }
      }
    }
  }
}
Mesh Bare { 3; 0;0;0;, 0;0;1;, 1;0;0;; 1; 3;0,1,2;; }
)";

}  // namespace

TEST(MeshX, StaticLoadCollapsesMeshesAppliesFramesAndConcatenatesMaterials) {
  TempDir dir;
  dir.Write("Xfile/Stage.X", kStaticModel);
  Loaded l;
  // The game's spelling differs in case and separators from the file on disk.
  std::string path = dir.path().string() + "\\xfile\\\\stage.x";
  ASSERT_EQ(port::LoadMeshFromX(path, port::meshopt::kSystemMem, nullptr, &l.adjacency,
                                &l.materials, &l.mesh),
            port::kOk);
  ASSERT_NE(l.mesh, nullptr);
  EXPECT_EQ(l.mesh->GetFVF(), fvf::XYZ | fvf::Normal | fvf::Tex1);
  EXPECT_EQ(l.mesh->GetNumVertices(), 7u);
  EXPECT_EQ(l.mesh->GetNumFaces(), 3u);
  // Quad vertex 2 (1,1,0) scaled by 2, moved by (0,5,0) then (10,0,0).
  EXPECT_EQ(Element(l.mesh, 2, port::gpu::DeclUsage::Position), (Vec3{12, 7, 0}));
  EXPECT_EQ(Element(l.mesh, 2, port::gpu::DeclUsage::Normal), (Vec3{0, 0, -2}));
  EXPECT_EQ(Element(l.mesh, 5, port::gpu::DeclUsage::Position),
            (Vec3{0, 0, 1}));  // top-level: untransformed

  ASSERT_EQ(l.materials.size(), 3u);
  EXPECT_EQ(l.materials[0].material.diffuse, (port::ColorValue{1, 0, 0, 1}));
  EXPECT_EQ(l.materials[0].material.power, 8.0f);
  EXPECT_EQ(l.materials[0].material.specular, (port::ColorValue{0.5f, 0.5f, 0.5f, 1}));
  EXPECT_EQ(l.materials[0].material.ambient, (port::ColorValue{0, 0, 0, 1}));
  EXPECT_EQ(l.materials[0].textureFilename, "Texture\\Red.png");
  EXPECT_EQ(l.materials[1].material.diffuse,
            (port::ColorValue{0, 0, 1, 0.5f}));  // through the reference
  EXPECT_EQ(l.materials[1].material.emissive, (port::ColorValue{0.1f, 0.2f, 0.3f, 1}));
  EXPECT_EQ(l.materials[1].textureFilename, "");
  EXPECT_EQ(l.materials[2].material.diffuse.a, 1.0f);  // the bare mesh's default material

  // Faces sorted by material: quad face 1 (material 0), quad face 0 (material 1), the bare one.
  std::vector<uint32_t> attr(l.mesh->Attributes(), l.mesh->Attributes() + 3);
  EXPECT_EQ(attr, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(l.mesh->AttributeTable().size(), 3u);
  EXPECT_EQ(l.mesh->Indices()[1], 2);
  ASSERT_EQ(l.adjacency.size(), 9u);
  EXPECT_EQ(l.adjacency[0], 1u);  // the two quad triangles share the edge 0-2
  EXPECT_EQ(l.adjacency[6], 0xFFFFFFFFu);
}

TEST(MeshX, BadStaticFilesFailWithoutAMesh) {
  TempDir dir;
  const std::string full(kStaticModel);
  std::vector<std::pair<std::string, std::string>> bad = {
      {"empty", ""},
      {"no mesh", "xof 0303txt 0032\nFrame A { }\n"},
      {"face index", "xof 0303txt 0032\nMesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }\n"},
      {"material index",
       "xof 0303txt 0032\nMesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; "
       "1; 5;; } }\n"},
  };
  for (size_t cut : {size_t{10}, size_t{100}, full.size() / 2, full.size() - 40})
    bad.push_back({"cut at " + std::to_string(cut), full.substr(0, cut)});
  Loaded l;
  EXPECT_TRUE(port::Failed(port::LoadMeshFromX(dir.path().string() + "/missing.x", 0, nullptr,
                                               nullptr, &l.materials, &l.mesh)));
  EXPECT_EQ(l.mesh, nullptr);
  for (const auto& [name, text] : bad) {
    EXPECT_TRUE(port::Failed(
        port::LoadMeshFromX(dir.Write("bad.x", text), 0, nullptr, nullptr, &l.materials, &l.mesh)))
        << name;
    EXPECT_EQ(l.mesh, nullptr) << name;
  }
}

namespace {

// A square of two triangles whose vertex 0 is a corner of both with
// different normals, and a pentagon fan; two bones.
const char* kSkinModel = R"(xof 0303txt 0032
Mesh Body {
  6; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;0;0;, 2;1;0;;
  2; 4;0,3,2,1;, 4;1,2,5,4;;
  MeshNormals { 2; 0;0;-2;, 0;1;0;; 2; 4;0,0,0,0;, 4;1,1,1,1;; }
  MeshMaterialList { 2; 2; 1, 0;;
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
    Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; } }
  XSkinMeshHeader { 2; 2; 2; }
  SkinWeights { "Frame_hip"; 3; 0, 1, 2; 1.0, 0.75, 0.5;
    1,0,0,0, 0,1,0,0, 0,0,1,0, 0,-1,0,1;; }
  SkinWeights { "Frame_leg"; 2; 1, 4; 0.25, 1.0;
    1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
}
Mesh Empty { 0;; 0;; }
Mesh Plain { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
)";

}  // namespace

TEST(MeshX, SkinMeshSplitsVerticesByNormalAndCopiesTheirWeights) {
  port::x::Error err;
  auto file = port::x::File::LoadMemory(kSkinModel, std::strlen(kSkinModel), &err);
  ASSERT_TRUE(file) << err.ToString();
  RecordingDevice dev;
  Loaded l;
  ASSERT_EQ(port::LoadSkinMeshFromXof(*file->Objects()[0], port::meshopt::kManaged, &dev,
                                      &l.adjacency, &l.materials, &l.skin, &l.mesh),
            port::kOk);
  EXPECT_EQ(l.mesh->GetDevice(), &dev);
  EXPECT_EQ(l.mesh->GetFVF(), fvf::XYZ | fvf::Normal);
  // Vertices 1 and 2 are used with both normals: one copy each, appended.
  ASSERT_EQ(l.mesh->GetNumVertices(), 8u);
  EXPECT_EQ(Element(l.mesh, 6, port::gpu::DeclUsage::Position), (Vec3{1, 0, 0}));
  EXPECT_EQ(Element(l.mesh, 6, port::gpu::DeclUsage::Normal), (Vec3{0, 1, 0}));
  EXPECT_EQ(Element(l.mesh, 7, port::gpu::DeclUsage::Position), (Vec3{1, 1, 0}));
  EXPECT_EQ(Element(l.mesh, 0, port::gpu::DeclUsage::Normal), (Vec3{0, 0, -1}));  // normalised
  ASSERT_EQ(l.mesh->GetNumFaces(), 4u);
  // Faces sorted by material: the second quad (material 0) first, still fanned from its first
  // corner.
  std::vector<uint16_t> idx(l.mesh->Indices(), l.mesh->Indices() + 12);
  EXPECT_EQ(idx, (std::vector<uint16_t>{6, 7, 5, 6, 5, 4, 0, 3, 2, 0, 2, 1}));
  std::vector<uint32_t> attr(l.mesh->Attributes(), l.mesh->Attributes() + 4);
  EXPECT_EQ(attr, (std::vector<uint32_t>{0, 0, 1, 1}));
  ASSERT_EQ(l.adjacency.size(), 12u);
  // The two quads meet along file edge 1-2 although their vertices were split.
  EXPECT_NE(std::find(l.adjacency.begin(), l.adjacency.begin() + 6, 3u), l.adjacency.begin() + 6);

  ASSERT_EQ(l.materials.size(), 2u);
  EXPECT_EQ(l.materials[1].material.diffuse, (port::ColorValue{0, 1, 0, 1}));

  ASSERT_NE(l.skin, nullptr);
  EXPECT_EQ(l.skin->GetNumVertices(), 8u);
  ASSERT_EQ(l.skin->GetNumBones(), 2u);
  EXPECT_STREQ(l.skin->GetBoneName(0), "Frame_hip");
  EXPECT_STREQ(l.skin->GetBoneName(1), "Frame_leg");
  EXPECT_EQ(l.skin->GetBoneName(2), nullptr);
  EXPECT_EQ(l.skin->GetBoneOffsetMatrix(2), nullptr);
  EXPECT_EQ(l.skin->GetBoneOffsetMatrix(0)->m[3][1], -1.0f);
  EXPECT_EQ(l.skin->BoneVertices(0), (std::vector<uint32_t>{0, 1, 6, 2, 7}));
  EXPECT_EQ(l.skin->BoneWeights(0), (std::vector<float>{1.0f, 0.75f, 0.75f, 0.5f, 0.5f}));
  EXPECT_EQ(l.skin->BoneVertices(1), (std::vector<uint32_t>{1, 6, 4}));
  EXPECT_EQ(l.skin->GetMaxVertexInfluences(), 2u);
  std::vector<uint32_t> v(l.skin->GetNumBoneInfluences(1));
  std::vector<float> w(v.size());
  ASSERT_EQ(l.skin->GetBoneInfluence(1, v.data(), w.data()), port::kOk);
  EXPECT_EQ(w[1], 0.25f);
}

TEST(MeshX, SkinMeshWithoutDataOrSkin) {
  auto file = port::x::File::LoadMemory(kSkinModel, std::strlen(kSkinModel), nullptr);
  ASSERT_TRUE(file);
  Loaded l;
  EXPECT_EQ(port::LoadSkinMeshFromXof(*file->Objects()[1], 0, nullptr, nullptr, &l.materials,
                                      &l.skin, &l.mesh),
            port::kMeshHasNoData);
  EXPECT_EQ(l.mesh, nullptr);
  EXPECT_EQ(l.skin, nullptr);
  ASSERT_EQ(port::LoadSkinMeshFromXof(*file->Objects()[2], 0, nullptr, &l.adjacency, &l.materials,
                                      &l.skin, &l.mesh),
            port::kOk);
  ASSERT_NE(l.skin, nullptr);
  EXPECT_EQ(l.skin->GetNumBones(), 0u);
  EXPECT_TRUE(l.materials.empty());
  EXPECT_EQ(l.adjacency, (std::vector<uint32_t>{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}));
}

TEST(MeshX, MalformedSkinDataIsRefused) {
  const char* bad[] = {
      // Bone count disagreeing with the header.
      "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; XSkinMeshHeader { 1; 1; 2; }"
      " SkinWeights { \"a\"; 1; 0; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }",
      // A weight on a vertex the mesh lacks.
      "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;"
      " SkinWeights { \"a\"; 1; 3; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }",
      // Normals for another face layout.
      "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } "
      "}",
      // Texture coordinates for fewer vertices.
      "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshTextureCoords { 2; 0;0;, 1;1;; } }",
      // A polygon of two corners.
      "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }",
  };
  for (const char* body : bad) {
    std::string text = std::string("xof 0303txt 0032\n") + body + "\n";
    port::x::Error err;
    auto file = port::x::File::LoadMemory(text.data(), text.size(), &err);
    ASSERT_TRUE(file) << err.ToString() << body;
    Loaded l;
    EXPECT_TRUE(port::Failed(port::LoadSkinMeshFromXof(*file->Objects()[0], 0, nullptr, nullptr,
                                                       &l.materials, &l.skin, &l.mesh)))
        << body;
    EXPECT_EQ(l.mesh, nullptr);
    EXPECT_EQ(l.skin, nullptr);
  }
}

TEST(MeshX, TextAndBinaryGridsLoadAlike) {
  xtest::TextWriter tw;
  xtest::BinaryWriter bw;
  std::string text = xtest::GridFile(tw, 3, 2), bin = xtest::GridFile(bw, 3, 2);
  auto ft = port::x::File::LoadMemory(text.data(), text.size(), nullptr);
  auto fb = port::x::File::LoadMemory(bin.data(), bin.size(), nullptr);
  ASSERT_TRUE(ft && fb);
  Loaded a, b;
  ASSERT_EQ(port::LoadMeshFromXFile(*ft, 0, nullptr, nullptr, &a.materials, &a.mesh), port::kOk);
  ASSERT_EQ(port::LoadMeshFromXFile(*fb, 0, nullptr, nullptr, &b.materials, &b.mesh), port::kOk);
  EXPECT_EQ(a.mesh->GetNumFaces(), 12u);
  ASSERT_EQ(a.mesh->GetNumVertices(), b.mesh->GetNumVertices());
  EXPECT_EQ(std::memcmp(a.mesh->Vertices(), b.mesh->Vertices(), a.mesh->GetNumVertices() * 32), 0);
  EXPECT_EQ(std::memcmp(a.mesh->Indices(), b.mesh->Indices(), 36 * 2), 0);
  ASSERT_EQ(a.materials.size(), 2u);
  EXPECT_EQ(a.materials[1].material.diffuse.a, 0.5f);
  EXPECT_EQ(b.materials[0].textureFilename, "texture\\grid.png");
}

TEST(DataPath, ResolvesSeparatorsAndCase) {
  TempDir dir;
  std::string real = dir.Write("Xfile/Player/stop.X", "data");
  EXPECT_EQ(port::ResolvePath(dir.path().string() + "\\xfile\\\\PLAYER//Stop.x"), real);
  EXPECT_EQ(port::ResolvePath(real), real);
  // Nothing matches: the normalised path as written.
  EXPECT_EQ(port::ResolvePath(dir.path().string() + "\\XFILE\\none\\a.x"),
            dir.path().string() + "/Xfile/none/a.x");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(port::ReadFileBytes(dir.path().string() + "/XFILE/player/STOP.X", &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "data");
  EXPECT_FALSE(port::ReadFileBytes(dir.path().string() + "/Xfile/Player/missing.X", &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(port::ReadFileBytes(dir.path().string() + "/Xfile", &bytes));  // a directory
  EXPECT_FALSE(port::ReadFileBytes(real, &bytes, 2));                         // over the size limit
}

TEST(DataPath, RelativePathsResolveFromTheWorkingDirectory) {
  TempDir dir;
  dir.Write("Data/Toon.BMP", "x");
  std::string resolved, dotted;
  {
    testsupport::ScopedCwd cwd(dir.path());
    resolved = port::ResolvePath("data\\toon.bmp");
    dotted = port::ResolvePath("./DATA/toon.bmp");
  }
  EXPECT_EQ(resolved, "Data/Toon.BMP");
  EXPECT_EQ(dotted, "./Data/Toon.BMP");
}

namespace {

// Neighbours as their definition reads: across each edge a -> b (in file
// vertices), the triangle of the first half-edge b -> a, unless that is the
// triangle itself.
std::vector<uint32_t> ReferenceAdjacency(const Mesh* m, const std::vector<uint32_t>& fileVertex) {
  const uint32_t nt = m->GetNumFaces();
  const uint16_t* idx = m->Indices();
  auto key = [&](uint32_t t, int k) { return fileVertex[idx[t * 3 + k]]; };
  std::vector<uint32_t> adj(nt * 3, 0xFFFFFFFFu);
  for (uint32_t t = 0; t < nt; ++t) {
    for (int e = 0; e < 3; ++e) {
      const uint32_t a = key(t, e), b = key(t, (e + 1) % 3);
      bool found = false;
      for (uint32_t u = 0; u < nt && !found; ++u) {
        for (int f = 0; f < 3 && !found; ++f) {
          if (key(u, f) != b || key(u, (f + 1) % 3) != a) continue;
          found = true;
          if (u != t) adj[t * 3 + e] = u;
        }
      }
    }
  }
  return adj;
}

}  // namespace

// One mesh read by the static path and by the skinned one: the same vertices,
// faces, materials and neighbours, whichever encoding.
TEST(MeshX, StaticAndSkinnedPathsBuildTheSameMesh) {
  xtest::TextWriter tw;
  xtest::BinaryWriter bw;
  for (xtest::XWriter* w : std::initializer_list<xtest::XWriter*>{&tw, &bw}) {
    const std::string data = xtest::GridFile(*w, 5, 4);
    auto file = port::x::File::LoadMemory(data.data(), data.size(), nullptr);
    ASSERT_TRUE(file);
    Loaded a, b;
    ASSERT_EQ(port::LoadMeshFromXFile(*file, 0, nullptr, &a.adjacency, &a.materials, &a.mesh),
              port::kOk);
    ASSERT_EQ(port::LoadSkinMeshFromXof(*file->FindObject("Grid"), 0, nullptr, &b.adjacency,
                                        &b.materials, &b.skin, &b.mesh),
              port::kOk);
    const uint32_t nv = a.mesh->GetNumVertices(), nt = a.mesh->GetNumFaces();
    ASSERT_EQ(nv, b.mesh->GetNumVertices());
    ASSERT_EQ(nt, 40u);
    ASSERT_EQ(nt, b.mesh->GetNumFaces());
    EXPECT_EQ(a.mesh->GetFVF(), b.mesh->GetFVF());
    EXPECT_EQ(std::memcmp(a.mesh->Vertices(), b.mesh->Vertices(),
                          size_t{nv} * a.mesh->GetNumBytesPerVertex()),
              0);
    EXPECT_EQ(std::memcmp(a.mesh->Indices(), b.mesh->Indices(), size_t{nt} * 6), 0);
    EXPECT_EQ(std::memcmp(a.mesh->Attributes(), b.mesh->Attributes(), size_t{nt} * 4), 0);
    // Faces alternate materials in the file; the mesh holds them sorted, in file order within each.
    EXPECT_EQ(a.mesh->AttributeTable().size(), 2u);
    EXPECT_EQ(a.mesh->Attributes()[nt / 2 - 1], 0u);
    EXPECT_EQ(a.mesh->Attributes()[nt / 2], 1u);
    EXPECT_EQ(a.adjacency, b.adjacency);
    // The grid has one normal: no vertex is split, and file vertices are the mesh's.
    std::vector<uint32_t> identity(nv);
    for (uint32_t v = 0; v < nv; ++v) identity[v] = v;
    EXPECT_EQ(a.adjacency, ReferenceAdjacency(a.mesh, identity));
    EXPECT_EQ(a.materials.size(), 2u);
    EXPECT_EQ(b.materials.size(), 2u);
  }
}

// Neighbours join across vertices split by normal, as the file's vertices.
TEST(MeshX, AdjacencyJoinsVerticesSplitByNormal) {
  Loaded l;
  const std::string data = std::string("xof 0303txt 0032\n") + R"(
Mesh Fold {
  6; 0;0;0;, 1;0;0;, 2;0;0;, 0;1;0;, 1;1;0;, 2;1;1;;
  4; 3;0,3,4;, 3;0,4,1;, 3;1,4,5;, 3;1,5,2;;
  MeshNormals { 2; 0;0;-1;, 0;-0.7;-0.7;; 4; 3;0,0,0;, 3;0,0,0;, 3;1,1,1;, 3;1,1,1;; }
})";
  auto file = port::x::File::LoadMemory(data.data(), data.size(), nullptr);
  ASSERT_TRUE(file);
  ASSERT_EQ(port::LoadSkinMeshFromXof(*file->Objects()[0], 0, nullptr, &l.adjacency, &l.materials,
                                      &l.skin, &l.mesh),
            port::kOk);
  ASSERT_EQ(l.mesh->GetNumVertices(), 8u);  // vertices 1 and 4 split in two
  // Output vertices 6 and 7 are copies of file vertices 1 and 4.
  const std::vector<uint32_t> fileVertex = {0, 1, 2, 3, 4, 5, 1, 4};
  EXPECT_EQ(l.adjacency, ReferenceAdjacency(l.mesh, fileVertex));
  EXPECT_EQ(l.adjacency[1 * 3 + 1], 2u);  // across the fold, edge 4-1
}
