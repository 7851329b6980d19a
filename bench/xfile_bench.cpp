// Reading large .X files: a grid mesh of about 50,000 vertices in each encoding.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "port/mesh_x.h"
#include "port/xfile.h"
#include "support/x_writer.h"

namespace {

// 249 x 199 quads: 50,000 vertices, 49,551 polygons.
constexpr uint32_t kGridW = 249, kGridH = 199;

const std::string& TextModel() {
  static const std::string s = [] {
    xtest::TextWriter w;
    return xtest::GridFile(w, kGridW, kGridH);
  }();
  return s;
}

const std::string& BinaryModel() {
  static const std::string s = [] {
    xtest::BinaryWriter w;
    return xtest::GridFile(w, kGridW, kGridH);
  }();
  return s;
}

void Parse(benchmark::State& state, const std::string& data) {
  for (auto _ : state) {
    auto file = port::x::File::LoadMemory(data.data(), data.size(), nullptr);
    if (!file) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(file);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void Load(benchmark::State& state, const std::string& data) {
  for (auto _ : state) {
    auto file = port::x::File::LoadMemory(data.data(), data.size(), nullptr);
    port::Mesh* mesh = nullptr;
    std::vector<port::XMaterial> materials;
    if (!file ||
        port::Failed(port::LoadMeshFromXFile(*file, 0, nullptr, nullptr, &materials, &mesh))) {
      state.SkipWithError("load failed");
      break;
    }
    mesh->Release();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void BM_XFileParseText(benchmark::State& state) { Parse(state, TextModel()); }
void BM_XFileParseBinary(benchmark::State& state) { Parse(state, BinaryModel()); }
void BM_XFileLoadMeshText(benchmark::State& state) { Load(state, TextModel()); }
void BM_XFileLoadMeshBinary(benchmark::State& state) { Load(state, BinaryModel()); }

void BM_XFileLoadSkinMeshBinary(benchmark::State& state) {
  auto file = port::x::File::LoadMemory(BinaryModel().data(), BinaryModel().size(), nullptr);
  const port::x::Object* mesh = file ? file->FindObject("Grid") : nullptr;
  if (!mesh) {
    state.SkipWithError("no mesh");
    return;
  }
  for (auto _ : state) {
    port::Mesh* m = nullptr;
    port::SkinInfo* skin = nullptr;
    std::vector<uint32_t> adjacency;
    std::vector<port::XMaterial> materials;
    if (port::Failed(
            port::LoadSkinMeshFromXof(*mesh, 0, nullptr, &adjacency, &materials, &skin, &m))) {
      state.SkipWithError("load failed");
      break;
    }
    m->Release();
    skin->Release();
  }
}

}  // namespace

BENCHMARK(BM_XFileParseText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XFileParseBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XFileLoadMeshText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XFileLoadMeshBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XFileLoadSkinMeshBinary)->Unit(benchmark::kMillisecond);
