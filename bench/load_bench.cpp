// Loading a skinned grid model of 10,000 and 50,000 vertices from memory, in
// the text and the binary encoding, by the static path, by the skinned-mesh
// path every character uses, and (when the benchmark is built with it) by
// Assimp from the same bytes, so the three compare in one run.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "port/mesh_x.h"
#include "port/skin.h"
#include "port/xfile.h"
#include "support/x_writer.h"

#ifdef POMELVANE_HAVE_ASSIMP
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>
#endif

namespace {

// A grid of quads in the x-y plane with normals, texture coordinates, two
// materials, and a skin of one bone per column band, each vertex blended
// between two bands.
std::string SkinnedGrid(xtest::XWriter& w, uint32_t gw, uint32_t gh) {
  const uint32_t nv = (gw + 1) * (gh + 1), nf = gw * gh;
  constexpr uint32_t kBones = 16;
  w.Begin("Frame", "Root");
  w.Begin("FrameTransformMatrix");
  w.Matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  w.End();
  for (uint32_t b = 0; b < kBones; ++b) {
    w.Begin("Frame", "Bone" + std::to_string(b));
    w.Begin("FrameTransformMatrix");
    w.Matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    w.End();
    w.End();
  }
  w.Begin("Mesh", "Grid");
  w.Int(nv);
  std::vector<float> pos, uv, nrm;
  for (uint32_t y = 0; y <= gh; ++y) {
    for (uint32_t x = 0; x <= gw; ++x) {
      pos.insert(pos.end(), {static_cast<float>(x), static_cast<float>(y), 0.0f});
      uv.insert(uv.end(), {static_cast<float>(x) / gw, static_cast<float>(y) / gh});
      nrm.insert(nrm.end(), {0.0f, 0.0f, -1.0f});
    }
  }
  w.Floats(pos, 3);
  w.Int(nf);
  std::vector<uint32_t> faces;
  for (uint32_t y = 0; y < gh; ++y) {
    for (uint32_t x = 0; x < gw; ++x) {
      const uint32_t i = y * (gw + 1) + x;
      faces.insert(faces.end(), {4, i, i + gw + 1, i + gw + 2, i + 1});
    }
  }
  w.Faces(faces);
  w.Begin("MeshNormals");
  w.Int(nv);
  w.Floats(nrm, 3);
  w.Int(nf);
  w.Faces(faces);
  w.End();
  w.Begin("MeshTextureCoords");
  w.Int(nv);
  w.Floats(uv, 2);
  w.End();
  w.Begin("MeshMaterialList");
  w.Int(2);
  w.Int(nf);
  std::vector<uint32_t> mi;
  for (uint32_t f = 0; f < nf; ++f) mi.push_back(f * 2 / nf);
  w.Ints(mi);
  w.Begin("Material", "Red");
  xtest::WriteMaterial(w, {1, 0, 0, 1}, 8, {0.5f, 0.5f, 0.5f});
  w.End();
  w.Begin("Material", "Blue");
  xtest::WriteMaterial(w, {0, 0, 1, 1}, 4, {1, 1, 1});
  w.End();
  w.End();
  w.Begin("XSkinMeshHeader");
  w.Int(2);
  w.Int(4);
  w.Int(kBones);
  w.End();
  for (uint32_t b = 0; b < kBones; ++b) {
    std::vector<uint32_t> verts;
    std::vector<float> weights;
    for (uint32_t v = 0; v < nv; ++v) {
      const float band = static_cast<float>(v % (gw + 1)) * kBones / static_cast<float>(gw + 1);
      const uint32_t lo = static_cast<uint32_t>(band);
      const float t = band - static_cast<float>(lo);
      if (lo == b) {
        verts.push_back(v);
        weights.push_back(1.0f - t);
      } else if (lo + 1 == b) {
        verts.push_back(v);
        weights.push_back(t);
      }
    }
    w.Begin("SkinWeights");
    w.String("Bone" + std::to_string(b));
    w.Int(static_cast<uint32_t>(verts.size()));
    w.Ints(verts);
    w.Floats(weights);
    w.Matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    w.End();
  }
  w.End();  // Mesh
  w.End();  // Root
  return w.Finish();
}

// 10,000 vertices: 99 x 99 quads; 50,000: 249 x 199.
const std::string& Model(bool binary, bool large) {
  static std::string cache[2][2];
  std::string& s = cache[binary][large];
  if (s.empty()) {
    const uint32_t gw = large ? 249 : 99, gh = large ? 199 : 99;
    if (binary) {
      xtest::BinaryWriter w;
      s = SkinnedGrid(w, gw, gh);
    } else {
      xtest::TextWriter w;
      s = SkinnedGrid(w, gw, gh);
    }
  }
  return s;
}

enum class Loader { Static, Skinned, Assimp };

void LoadModel(benchmark::State& state) {
  const auto loader = static_cast<Loader>(state.range(0));
  const bool binary = state.range(1) != 0, large = state.range(2) != 0;
  const std::string& data = Model(binary, large);
  for (auto _ : state) {
    if (loader == Loader::Assimp) {
#ifdef POMELVANE_HAVE_ASSIMP
      Assimp::Importer importer;
      const aiScene* scene = importer.ReadFileFromMemory(data.data(), data.size(), 0, "x");
      if (!scene || scene->mNumMeshes == 0) {
        state.SkipWithError(importer.GetErrorString());
        break;
      }
      benchmark::DoNotOptimize(scene->mMeshes[0]->mNumVertices);
#else
      state.SkipWithError("built without Assimp");
      break;
#endif
      continue;
    }
    auto file = port::x::File::LoadMemory(data.data(), data.size(), nullptr);
    const port::x::Object* object = file ? file->FindObject("Grid") : nullptr;
    if (!object) {
      state.SkipWithError("parse failed");
      break;
    }
    port::Mesh* mesh = nullptr;
    std::vector<uint32_t> adjacency;
    std::vector<port::XMaterial> materials;
    port::Status s;
    if (loader == Loader::Static) {
      s = port::LoadMeshFromXFile(*file, 0, nullptr, &adjacency, &materials, &mesh);
    } else {
      port::SkinInfo* skin = nullptr;
      s = port::LoadSkinMeshFromXof(*object, port::meshopt::kManaged, nullptr, &adjacency,
                                    &materials, &skin, &mesh);
      port::SafeRelease(skin);
    }
    if (port::Failed(s) || !mesh) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(mesh->GetNumVertices());
    mesh->Release();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

// loader: 0 static path, 1 skinned-mesh path, 2 Assimp.
void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"loader", "binary", "large"});
  for (int large : {0, 1})
    for (int binary : {1, 0})
      for (int loader : {0, 1, 2}) b->Args({loader, binary, large});
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK(LoadModel)->Apply(Cases);

}  // namespace
