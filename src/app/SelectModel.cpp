#include "app/SelectModel.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "port/resource.h"
#include "port/sprite.h"
#include "render/Camera.h"
#include "render/EffectHolder.h"
#include "render/ModelScene.h"
#include "render/SkinnedModel.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"
#include "render/UiDraw.h"

using port::gpu::RenderState;

namespace {

struct ModelFiles {
  const char* stand;
  const char* pose;
};
constexpr ModelFiles kModelFiles[SelectModel::kModelCount] = {
    {"Xfile/player/stop.X", "Xfile/player/select_pausing.X"},
    {"Xfile/battleplayer2p/stop.X", "Xfile/battleplayer2p/select_pausing.X"},
    {"Xfile/battleplayer3p/stop.X", "Xfile/battleplayer3p/select_pausing.X"},
    {"Xfile/battleplayer4p/stop.X", "Xfile/battleplayer4p/select_pausing.X"},
};
constexpr const char* kFlowerPath = "Xfile/battleplayer2p/himawari.X";
constexpr int kFlowerCharacter = 1;  // character index: character 2 wears it

struct Motion {
  float spinStep = 2.0f;  // degrees a frame while undecided
  float standStep = 1.0f;
  float standFadeIn = 0.1f;
  float turnBack = 12.0f;  // degrees a frame at most, back to the front
  float poseStep = 0.35f;
  float poseFadeIn = 0.05f;
  float poseHold = 0.99f;  // of its length: the pose plays once and stays
};
constexpr Motion kMotion;

struct PanelView {
  port::Vec3 eye{0.0f, -0.6f, 2.1f};
  port::Vec3 at{0.0f, -0.3f, 0.0f};
  float fieldOfView = 0.7853982f;
  float nearZ = 1.0f, farZ = 150.0f;
  port::Argb background = 0xFF000096u;
  port::Vec4 light{1.0f, -1.0f, 0.0f, 0.0f};
};
constexpr PanelView kView;

struct FlowerPlace {
  float scale = 0.2f;
  port::Vec3 turn{-0.6108652f, 0.0f, -0.5934119f};  // radians about x, y, z
  port::Vec3 at{-0.07f, -0.07f, 0.3f};              // from the head frame
};
constexpr FlowerPlace kFlower;

constexpr float kPanelPlaces[SelectModel::kModelCount][2] = {
    {8, 56}, {438, 56}, {8, 259}, {438, 259}};

// ---- What the four slots share ----

port::gpu::Device* g_selectDevice = nullptr;
EffectHolder* g_selectEffect = nullptr;
Texture* g_selectToonRamp = nullptr;
SkinnedModel g_selectModelMeshes[SelectModel::kModelCount];
std::vector<std::unique_ptr<StaticMesh>> g_selectExtraMeshes;
port::gpu::RenderTarget* g_selectRenderTarget = nullptr;  // with its own depth

void LoadModel(int index, int method) {
  SkinnedModel& m = g_selectModelMeshes[index];
  m.Load(kModelFiles[index].stand, method);
  m.AddAnimation(kModelFiles[index].pose);
}

}  // namespace

SelectModel::SelectModel() = default;
SelectModel::~SelectModel() = default;

// ---- Class-wide ----

void SelectModel::LoadShared(int method, EffectHolder* effect, Texture* toonRamp) {
  g_selectDevice = g_graphics.GetDevice();
  g_selectEffect = effect;
  g_selectToonRamp = toonRamp;
  for (SkinnedModel& m : g_selectModelMeshes) {
    m.Init(g_selectDevice, &g_graphics.GetCaps());
    if (method != SkinnedModel::kMethodSoftware) {
      m.SetEffect(effect);
      m.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                             "mWorldMatrixArray");
    }
  }
  LoadModel(0, method);
  LoadModel(1, method);
  for (auto& mesh : g_selectExtraMeshes) mesh->Release();
  g_selectExtraMeshes.clear();
  g_selectExtraMeshes.push_back(std::make_unique<StaticMesh>());
  g_selectExtraMeshes.front()->Load(g_selectDevice, kFlowerPath);
  LoadModel(2, method);
  LoadModel(3, method);
  port::SafeRelease(g_selectRenderTarget);
  g_selectRenderTarget = g_graphics.CreateRenderTarget(kPanelSize, kPanelSize);
}

SkinnedModel& SelectModel::Model(int index) {
  return g_selectModelMeshes[index >= 0 && index < kModelCount ? index : 0];
}

StaticMesh* SelectModel::Flower() {
  return g_selectExtraMeshes.empty() ? nullptr : g_selectExtraMeshes.front().get();
}

port::gpu::Texture* SelectModel::PanelTexture() {
  return g_selectRenderTarget ? g_selectRenderTarget->GetTexture() : nullptr;
}

port::Vec2 SelectModel::PanelPlace(int index) {
  const float* p = kPanelPlaces[index >= 0 && index < kModelCount ? index : 0];
  return {p[0], p[1]};
}

void SelectModel::Release() {
  port::SafeRelease(g_selectRenderTarget);
  for (auto& mesh : g_selectExtraMeshes) mesh->Release();
  g_selectExtraMeshes.clear();
  for (SkinnedModel& m : g_selectModelMeshes) m.Release();
}

// ---- Per slot ----

void SelectModel::Init() {
  characterIndex = 0;
  decided = 0;
  angle = {};
  spin = {};
  RebuildTracks();
}

void SelectModel::SetCharacter(int32_t choice) {
  if (choice < 1 || choice > kModelCount || choice - 1 == characterIndex) return;
  characterIndex = choice - 1;
  RebuildTracks();
}

void SelectModel::RebuildTracks() {
  tracks.assign(kTrackCount, AnimTrack{});
  tracks[0].weight = 1.0f;
  const SkinnedModel& m = g_selectModelMeshes[characterIndex];
  m.GetAnimationLengths(tracks);
  FindBodyFrames(m, lowerFrames, upperFrames);
}

void SelectModel::Update() {
  if (tracks.size() < static_cast<size_t>(kTrackCount)) return;
  size_t playing = 0;
  float fade = kMotion.standFadeIn;
  if (decided != 1) {
    spin.y += kMotion.spinStep;
    AnimTrack& stand = tracks[0];
    stand.time += kMotion.standStep;
    stand.weight = std::min(stand.weight + kMotion.standFadeIn, 1.0f);
  } else {
    spin.y = TurnToward(0.0f, spin.y, kMotion.turnBack);
    AnimTrack& pose = tracks[1];
    pose.time += kMotion.poseStep;
    pose.weight = std::min(pose.weight + kMotion.poseFadeIn, 1.0f);
    pose.time = std::min(pose.time, kMotion.poseHold * pose.length);
    playing = 1;
    fade = kMotion.poseFadeIn;
  }
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (i == playing) continue;
    tracks[i].weight -= fade;
    if (tracks[i].weight < 0.0f) {
      tracks[i].weight = 0.0f;
      tracks[i].time = 0.0f;
    }
  }
}

void SelectModel::Render() {
  port::gpu::Device* device = g_selectDevice;
  if (!device || device != g_graphics.GetDevice() || !g_selectRenderTarget) return;
  SkinnedModel& model = g_selectModelMeshes[characterIndex];

  const port::Matrix view = port::MatrixLookAtLH(kView.eye, kView.at, port::Vec3{0.0f, 1.0f, 0.0f});
  const port::Matrix projection =
      port::MatrixPerspectiveFovLH(kView.fieldOfView, 1.0f, kView.nearZ, kView.farZ);
  device->SetTransform(port::gpu::TransformType::View, view);
  device->SetTransform(port::gpu::TransformType::Projection, projection);
  // The device's target, depth and viewport come back at EndRenderTarget.
  if (!g_graphics.BeginRenderTarget(g_selectRenderTarget)) return;
  port::gpu::Viewport panel;
  panel.width = panel.height = kPanelSize;
  device->SetViewport(panel);
  device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, kView.background, 1.0f);

  if (model.IsLoaded()) {
    const port::Matrix world = port::MatrixScaling(1.0f, 1.0f, 1.0f) *
                               port::MatrixTranslation(0.0f, 0.0f, 0.0f) *
                               port::MatrixRotationY((spin.y + angle.y) * kDegToRad);
    model.SetView(view);
    model.SetProjection(projection);
    model.SetWorld(world);
    model.SetLight(kView.light.x, kView.light.y, kView.light.z, kView.light.w, nullptr);
    model.Animate(tracks, true, nullptr);

    const uint32_t lighting = device->GetRenderState(RenderState::Lighting);
    const uint32_t cull = device->GetRenderState(RenderState::CullMode);
    const uint32_t zWrite = device->GetRenderState(RenderState::ZWriteEnable);
    port::gpu::Texture* stage0 = device->GetTexture(0);
    if (stage0) stage0->AddRef();  // kept while the stage holds others
    if (model.GetMethod() == SkinnedModel::kMethodSoftware) {
      device->SetRenderState(RenderState::Lighting, 1);
      device->SetTransform(port::gpu::TransformType::View, view);
      model.Render(1);
    } else if (EffectHolder* effect = model.GetEffectHolder()) {
      // The outline pass on the back faces, then the shaded figure.
      device->SetRenderState(RenderState::CullMode, port::gpu::CullCW);
      device->SetRenderState(RenderState::ZWriteEnable, 0);
      effect->Begin(1, 0);
      model.Render(0);
      effect->End();
      device->SetRenderState(RenderState::ZWriteEnable, 1);
      device->SetRenderState(RenderState::CullMode, port::gpu::CullCCW);
      device->SetTexture(0, g_selectToonRamp ? g_selectToonRamp->Get() : nullptr);
      effect->Begin(0, 0);
      model.Render(1);
      effect->End();
    }

    const ModelFrame* head = upperFrames[kUpperFrameCount - 1];
    StaticMesh* flower = Flower();
    if (characterIndex == kFlowerCharacter && head && flower && flower->GetMesh()) {
      const float s = kFlower.scale;
      const port::Matrix local =
          port::MatrixScaling(s, s, s) * port::MatrixRotationZ(kFlower.turn.z) *
          port::MatrixRotationY(kFlower.turn.y) * port::MatrixRotationX(kFlower.turn.x) *
          port::MatrixTranslation(kFlower.at.x, kFlower.at.y, kFlower.at.z);
      device->SetTransform(port::gpu::TransformType::World, local * head->combined);
      device->SetTexture(0, nullptr);
      flower->Draw();
      device->SetTexture(0, nullptr);
    }
    device->SetRenderState(RenderState::Lighting, lighting);
    device->SetRenderState(RenderState::CullMode, cull);
    device->SetRenderState(RenderState::ZWriteEnable, zWrite);
    device->SetTexture(0, stage0);
    port::SafeRelease(stage0);
  }

  g_graphics.EndRenderTarget();
  device->SetTransform(port::gpu::TransformType::View, g_camera.GetView());
}

void SelectModel::DrawPanel(port::Sprite* sprite, int index) {
  if (!g_selectRenderTarget || index < 0 || index >= kModelCount) return;
  // One picture serves the four panels: each is rendered and drawn before
  // the next is rendered.
  if (sprite) sprite->End();
  Render();
  if (!sprite) return;
  sprite->Begin();
  const port::Vec2 scaling{1.0f, 1.0f};
  const port::Vec2 at = PanelPlace(index);
  sprite->Draw(g_selectRenderTarget->GetTexture(), nullptr, &scaling, nullptr, 0.0f, &at, kUiWhite);
}
