// Posing and drawing 100 instances of one skinned model a frame, by each draw method.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "port/gpu.h"
#include "port/window.h"
#include "render/EffectHolder.h"
#include "render/SkinnedModel.h"

namespace {

namespace gpu = port::gpu;

constexpr int kInstances = 100;
constexpr int kRings = 41, kRingVerts = 12, kBones = 20;

std::string Floats(const std::vector<float>& v) {
  std::string s;
  char buf[32];
  for (size_t i = 0; i < v.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%.6g%s", v[i], i + 1 < v.size() ? "," : ";");
    s += buf;
  }
  return s + "\n";
}

std::string Ints(const std::vector<uint32_t>& v) {
  std::string s;
  for (size_t i = 0; i < v.size(); ++i) s += std::to_string(v[i]) + (i + 1 < v.size() ? "," : ";");
  return s + "\n";
}

std::vector<float> Translation(float x, float y, float z) {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

// A tube of rings 0.1 apart around a chain of 20 bones, 0.2 apart; each ring
// blends the two nearest bones. 492 vertices, 960 triangles.
std::string TubeModel() {
  std::string x = "xof 0303txt 0032\nFrame Root {\nFrameTransformMatrix {" +
                  Floats(Translation(0, 0, 0)) + "}\n";
  for (int b = 0; b < kBones; ++b) {
    x += "Frame Bone" + std::to_string(b) + " {\nFrameTransformMatrix {" +
         Floats(Translation(0, b == 0 ? 0.0f : 0.2f, 0)) + "}\n";
  }
  for (int b = 0; b < kBones; ++b) x += "}\n";
  std::vector<float> pos, nrm, uv;
  for (int r = 0; r < kRings; ++r) {
    for (int i = 0; i < kRingVerts; ++i) {
      const float a = 6.2831853f * static_cast<float>(i) / kRingVerts;
      pos.insert(pos.end(), {0.3f * std::cos(a), 0.1f * static_cast<float>(r), 0.3f * std::sin(a)});
      nrm.insert(nrm.end(), {std::cos(a), 0, std::sin(a)});
      uv.insert(uv.end(),
                {static_cast<float>(i) / kRingVerts, static_cast<float>(r) / (kRings - 1)});
    }
  }
  std::vector<uint32_t> faces;
  const int quads = (kRings - 1) * kRingVerts;
  for (int r = 0; r + 1 < kRings; ++r) {
    for (int i = 0; i < kRingVerts; ++i) {
      const uint32_t a = r * kRingVerts + i, b = r * kRingVerts + (i + 1) % kRingVerts;
      faces.insert(faces.end(), {3, a, a + kRingVerts, b + kRingVerts, 3, a, b + kRingVerts, b});
    }
  }
  const uint32_t nv = kRings * kRingVerts;
  x += "Mesh Tube {\n" + std::to_string(nv) + ";\n" + Floats(pos) + std::to_string(quads * 2) +
       ";\n" + Ints(faces);
  x += "MeshNormals {\n" + std::to_string(nv) + ";\n" + Floats(nrm) + std::to_string(quads * 2) +
       ";\n" + Ints(faces) + "}\n";
  x += "MeshTextureCoords {\n" + std::to_string(nv) + ";\n" + Floats(uv) + "}\n";
  x += "MeshMaterialList {\n1;\n" + std::to_string(quads * 2) + ";\n" +
       Ints(std::vector<uint32_t>(quads * 2, 0)) +
       "Material {\n1;1;1;1;;\n8;\n0;0;0;;\n0.2;0.2;0.2;;\n}\n}\n";
  x += "XSkinMeshHeader {\n2;\n4;\n" + std::to_string(kBones) + ";\n}\n";
  for (int b = 0; b < kBones; ++b) {
    std::vector<uint32_t> verts;
    std::vector<float> weights;
    for (int r = 0; r < kRings; ++r) {
      const float at = static_cast<float>(r) / 2.0f;  // rings per bone: 2
      const float w = 1.0f - std::fabs(at - static_cast<float>(b));
      if (w <= 0.0f && !(b == kBones - 1 && at > b)) continue;
      for (int i = 0; i < kRingVerts; ++i) {
        verts.push_back(static_cast<uint32_t>(r * kRingVerts + i));
        weights.push_back(b == kBones - 1 && at > b ? 1.0f : w);
      }
    }
    x += "SkinWeights {\n\"Bone" + std::to_string(b) + "\";\n" + std::to_string(verts.size()) +
         ";\n" + Ints(verts) + Floats(weights) +
         Floats(Translation(0, -0.2f * static_cast<float>(b), 0)) + ";\n}\n";
  }
  x += "}\n}\n";
  return x;
}

// Every bone swings about z, a quarter out of phase with the one below.
std::string SwingAnimation() {
  std::string x = "xof 0303txt 0032\nAnimationSet Swing {\n";
  for (int b = 0; b < kBones; ++b) {
    x += "Animation {\n{ Bone" + std::to_string(b) + " }\nAnimationKey {\n0;\n5;\n";
    for (int k = 0; k < 5; ++k) {
      const float h = 0.1f * std::sin(1.5707963f * static_cast<float>(k + b));
      x += std::to_string(k * 15) + ";4;" + std::to_string(std::cos(h)) + ",0,0," +
           std::to_string(std::sin(h)) + (k < 4 ? ";;,\n" : ";;;\n");
    }
    x += "}\n}\n";
  }
  return x + "}\n";
}

std::string Write(const std::string& name, const std::string& text) {
  const std::string path = "/tmp/pomelvane_bench_" + std::to_string(getpid()) + "_" + name;
  std::ofstream(path) << text;
  return path;
}

// What is drawn: the synthetic tube, or a character of the generated data set
// (its standing model and one motion, as the actors load them).
enum class Figure { Tube, Zako, Boss, Player };

struct FigureFiles {
  std::string model, animation;
  bool temporary = false;
};

FigureFiles FilesFor(Figure figure) {
  const std::string run = POMELVANE_RUN_DIR "/Xfile/";
  switch (figure) {
    case Figure::Zako:
      return {run + "zako1/stop.X", run + "zako1/run.X"};
    case Figure::Boss:
      return {run + "1boss/stop.X", run + "1boss/run.X"};
    case Figure::Player:
      return {run + "player/stop.X", run + "player/run.X"};
    default:
      return {Write("tube.x", TubeModel()), Write("swing.x", SwingAnimation()), true};
  }
}

struct Scene {
  port::Window* window = nullptr;
  std::unique_ptr<gpu::Device> device;
  EffectHolder effect;
  gpu::Texture* ramp = nullptr;
  FigureFiles files;
  port::Matrix view, projection;

  bool Open(benchmark::State& state, Figure figure) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    if (!port::InitVideo(&error) ||
        !(window = port::CreateMainWindow("bench", 640, 480, false, &error)) ||
        !(device = gpu::Device::Create(window, &error))) {
      state.SkipWithError(error.c_str());
      return false;
    }
    files = FilesFor(figure);
    view = port::MatrixLookAtLH({0, 2, -12}, {0, 2, 0}, {0, 1, 0});
    projection = port::MatrixPerspectiveFovLH(0.8f, 640.0f / 480.0f, 0.1f, 100.0f);
    device->SetTransform(gpu::TransformType::View, view);
    return true;
  }
  ~Scene() {
    effect.Release();
    port::SafeRelease(ramp);
    device.reset();
    if (window) port::DestroyMainWindow(window);
    port::ShutdownVideo();
    if (files.temporary) {
      std::remove(files.model.c_str());
      std::remove(files.animation.c_str());
    }
  }
};

// Draw calls one instance makes: one per subset and pass.
double DrawsPerInstance(const SkinnedModel& model, int method) {
  size_t subsets = 0;
  std::vector<const ModelFrame*> open{model.GetScene()->root.get()};
  while (!open.empty()) {
    const ModelFrame* f = open.back();
    open.pop_back();
    f->ForEachContainer([&](const ModelMeshContainer& c) {
      subsets += c.skin ? c.attributeTable.size() : c.attributeRangeCount;
    });
    f->ForEachChild([&](const ModelFrame& child) { open.push_back(&child); });
  }
  return static_cast<double>(subsets * (method == SkinnedModel::kMethodToon ? 2 : 1));
}

// A frame of kInstances characters posed and drawn as the character list
// does, then presented: the work the game does each frame, without reading
// the picture back.
void PoseAndDraw(benchmark::State& state, Figure figure, int method) {
  Scene scene;
  if (!scene.Open(state, figure)) return;
  gpu::Device& device = *scene.device;
  // The reference path (everything re-sent every draw), kept to measure against.
  device.SetStateFilter(state.range(1) != 0);
  if (method == SkinnedModel::kMethodToon) {
    // The generated data set, else the source tree's copy.
    const std::string source =
        std::string(__FILE__).substr(0, std::string(__FILE__).rfind("/bench/"));
    if (!scene.effect.Create(&device, POMELVANE_RUN_DIR "/data/toonSkinEffect.fx", "TShader") &&
        !scene.effect.Create(&device, (source + "/data/toonSkinEffect.fx").c_str(), "TShader")) {
      state.SkipWithError("no toon effect");
      return;
    }
    scene.ramp = device.CreateTexture(1, 1, 1);
    const uint32_t white = 0xFFFFFFFFu;
    scene.ramp->Update(0, &white);
  }
  SkinnedModel model;
  model.Init(&device, nullptr);
  if (port::Failed(model.Load(scene.files.model.c_str(), method)) ||
      port::Failed(model.AddAnimation(scene.files.animation.c_str()))) {
    state.SkipWithError("model did not load");
    return;
  }
  model.SetEffect(&scene.effect);
  model.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                             "mWorldMatrixArray");
  // The character list's sampler states for the ramp and the decal.
  device.SetSamplerState(0, gpu::SamplerState::AddressU, gpu::AddressClamp);
  device.SetSamplerState(0, gpu::SamplerState::AddressV, gpu::AddressClamp);
  device.SetSamplerState(1, gpu::SamplerState::MipFilter, gpu::FilterLinear);
  device.SetSamplerState(1, gpu::SamplerState::MagFilter, gpu::FilterLinear);
  device.SetSamplerState(1, gpu::SamplerState::MinFilter, gpu::FilterLinear);
  gpu::Light light;
  light.diffuse = {1, 1, 1, 1};
  light.direction = {0.3f, -0.5f, 1};
  const size_t sets = model.GetAnimationSetCount();
  std::vector<std::vector<AnimTrack>> tracks(kInstances, std::vector<AnimTrack>(sets));
  for (int i = 0; i < kInstances; ++i) {
    model.GetAnimationLengths(tracks[i]);
    tracks[i][sets - 1].weight = 1.0f;
    tracks[i][sets - 1].time = static_cast<float>(i);
  }
  // Characters stand 1.5 apart, ten to a row; a figure of the data set is
  // about 2 tall, the tube 4.
  const float spacing = figure == Figure::Tube ? 1.0f : 1.5f;
  port::Effect* fx = scene.effect.GetEffect();
  const port::EffectHandle colour = fx ? fx->GetParameterByName("vCol") : 0;
  for (auto _ : state) {
    device.Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000u);
    device.LightEnable(0, true);
    device.SetRenderState(gpu::RenderState::Lighting, 1);
    for (int i = 0; i < kInstances; ++i) {
      tracks[i][sets - 1].time += 1.0f;
      model.SetView(scene.view);
      model.SetWorld(port::MatrixTranslation(spacing * (static_cast<float>(i % 10) - 4.5f), 0,
                                             static_cast<float>(i / 10) * 2));
      model.SetProjection(scene.projection);
      model.SetLight(0.3f, -0.5f, 1, 0, method == SkinnedModel::kMethodSoftware ? &light : nullptr);
      model.Animate(tracks[i], true, nullptr);
      if (method == SkinnedModel::kMethodSoftware) {
        model.Render(1);
        continue;
      }
      // A character's toon draw: the outline, then the shaded figure.
      device.SetTexture(0, scene.ramp);
      device.SetRenderState(gpu::RenderState::CullMode, gpu::CullCW);
      device.SetRenderState(gpu::RenderState::ZWriteEnable, 0);
      scene.effect.Begin(1, 0);
      model.Render(0);
      scene.effect.End();
      device.SetRenderState(gpu::RenderState::ZWriteEnable, 1);
      device.SetRenderState(gpu::RenderState::CullMode, gpu::CullCCW);
      scene.effect.Begin(0, 0);
      fx->SetVector(colour, {1, 1, 1, 1});
      model.Render(1);
      scene.effect.End();
    }
    device.Present();
  }
  state.counters["instances"] = kInstances;
  state.counters["draws"] = DrawsPerInstance(model, method) * kInstances;
}

void BM_Model100_Software(benchmark::State& state) {
  PoseAndDraw(state, static_cast<Figure>(state.range(0)), SkinnedModel::kMethodSoftware);
}
void BM_Model100_Toon(benchmark::State& state) {
  PoseAndDraw(state, static_cast<Figure>(state.range(0)), SkinnedModel::kMethodToon);
}
// figure: 0 tube, 1 zako, 2 boss, 3 player; filtered: 0 the reference path, 1 the game's.
void Figures(benchmark::internal::Benchmark* b) {
  b->ArgNames({"figure", "filtered"});
  for (Figure f : {Figure::Tube, Figure::Zako, Figure::Boss, Figure::Player})
    for (int filtered : {0, 1}) b->Args({static_cast<int>(f), filtered});
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Model100_Software)->Apply(Figures);
BENCHMARK(BM_Model100_Toon)->Apply(Figures);

// Posing alone: every frame's combined matrix for 100 instances.
void BM_Model100_PoseOnly(benchmark::State& state) {
  const std::string model_path = Write("tube_pose.x", TubeModel());
  const std::string anim_path = Write("swing_pose.x", SwingAnimation());
  SkinnedModel model;
  model.Init(nullptr, nullptr);
  if (port::Failed(model.Load(model_path.c_str(), SkinnedModel::kMethodSoftware)) ||
      port::Failed(model.AddAnimation(anim_path.c_str()))) {
    state.SkipWithError("model did not load");
    return;
  }
  std::vector<AnimTrack> tracks(1);
  model.GetAnimationLengths(tracks);
  tracks[0].weight = 1.0f;
  for (auto _ : state) {
    for (int i = 0; i < kInstances; ++i) {
      tracks[0].time = static_cast<float>(i) * 0.7f;
      model.SetWorld(port::MatrixTranslation(static_cast<float>(i), 0, 0));
      model.Animate(tracks, true, nullptr);
      model.UpdateFrameMatrices();
    }
    benchmark::DoNotOptimize(model.FindFrame("Bone19")->combined);
  }
  std::remove(model_path.c_str());
  std::remove(anim_path.c_str());
}
BENCHMARK(BM_Model100_PoseOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
