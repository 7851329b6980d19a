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

struct Scene {
  port::Window* window = nullptr;
  std::unique_ptr<gpu::Device> device;
  EffectHolder effect;
  gpu::Texture* ramp = nullptr;
  std::string model, animation;
  port::Matrix view, projection;

  bool Open(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    if (!port::InitVideo(&error) ||
        !(window = port::CreateMainWindow("bench", 640, 480, false, &error)) ||
        !(device = gpu::Device::Create(window, &error))) {
      state.SkipWithError(error.c_str());
      return false;
    }
    model = Write("tube.x", TubeModel());
    animation = Write("swing.x", SwingAnimation());
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
    std::remove(model.c_str());
    std::remove(animation.c_str());
  }
};

void PoseAndDraw(benchmark::State& state, int method) {
  Scene scene;
  if (!scene.Open(state)) return;
  if (method == SkinnedModel::kMethodToon) {
    // The generated data set, else the source tree's copy.
    const std::string source =
        std::string(__FILE__).substr(0, std::string(__FILE__).rfind("/bench/"));
    if (!scene.effect.Create(scene.device.get(), POMELVANE_RUN_DIR "/data/toonSkinEffect.fx",
                             "TShader") &&
        !scene.effect.Create(scene.device.get(), (source + "/data/toonSkinEffect.fx").c_str(),
                             "TShader")) {
      state.SkipWithError("no toon effect");
      return;
    }
    scene.ramp = scene.device->CreateTexture(1, 1, 1);
    const uint32_t white = 0xFFFFFFFFu;
    scene.ramp->Update(0, &white);
  }
  SkinnedModel model;
  model.Init(scene.device.get(), nullptr);
  if (port::Failed(model.Load(scene.model.c_str(), method)) ||
      port::Failed(model.AddAnimation(scene.animation.c_str()))) {
    state.SkipWithError("model did not load");
    return;
  }
  model.SetEffect(&scene.effect);
  model.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                             "mWorldMatrixArray");
  gpu::Light light;
  light.diffuse = {1, 1, 1, 1};
  light.direction = {0.3f, -0.5f, 1};
  std::vector<std::vector<AnimTrack>> tracks(kInstances, std::vector<AnimTrack>(1));
  for (int i = 0; i < kInstances; ++i) {
    model.GetAnimationLengths(tracks[i]);
    tracks[i][0].weight = 1.0f;
    tracks[i][0].time = static_cast<float>(i);
  }
  port::Effect* fx = scene.effect.GetEffect();
  for (auto _ : state) {
    scene.device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000u);
    scene.device->SetRenderState(gpu::RenderState::Lighting, 1);
    for (int i = 0; i < kInstances; ++i) {
      tracks[i][0].time += 1.0f;
      model.SetView(scene.view);
      model.SetWorld(port::MatrixTranslation(static_cast<float>(i % 10) - 4.5f, 0,
                                             static_cast<float>(i / 10) * 2));
      model.SetProjection(scene.projection);
      model.SetLight(0.3f, -0.5f, 1, 0, method == SkinnedModel::kMethodSoftware ? &light : nullptr);
      model.Animate(tracks[i], true, nullptr);
      if (method == SkinnedModel::kMethodSoftware) {
        model.Render(1);
        continue;
      }
      // A character's toon draw: the outline, then the shaded figure.
      scene.device->SetTexture(0, scene.ramp);
      scene.device->SetRenderState(gpu::RenderState::CullMode, gpu::CullCW);
      scene.device->SetRenderState(gpu::RenderState::ZWriteEnable, 0);
      scene.effect.Begin(1, 0);
      model.Render(0);
      scene.effect.End();
      scene.device->SetRenderState(gpu::RenderState::ZWriteEnable, 1);
      scene.device->SetRenderState(gpu::RenderState::CullMode, gpu::CullCCW);
      scene.effect.Begin(0, 0);
      fx->SetVector(fx->GetParameterByName("vCol"), {1, 1, 1, 1});
      model.Render(1);
      scene.effect.End();
    }
    // Wait for the picture so the GPU's share is counted.
    benchmark::DoNotOptimize(scene.device->ReadBackBuffer());
  }
  state.counters["instances"] = kInstances;
}

void BM_Model100_Software(benchmark::State& state) {
  PoseAndDraw(state, SkinnedModel::kMethodSoftware);
}
void BM_Model100_Toon(benchmark::State& state) { PoseAndDraw(state, SkinnedModel::kMethodToon); }
BENCHMARK(BM_Model100_Software)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Model100_Toon)->Unit(benchmark::kMillisecond);

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
