// The two draw methods on a live device: the same posed model must cover the
// same pixels whether skinned on the CPU or through the toon effect's palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "port/effect.h"
#include "port/gpu.h"
#include "render/EffectHolder.h"
#include "render/SkinnedModel.h"
#include "support/gl_context.h"
#include "support/model_files.h"

namespace {

namespace gpu = port::gpu;
using port::Matrix;

constexpr port::Argb kBackground = 0xFF203040u;

class ModelRender : public gltest::DeviceTest {
 protected:
  void SetUp() override {
    gltest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    view_ = port::MatrixLookAtLH({0, 1, -4}, {0, 1, 0}, {0, 1, 0});
    projection_ = port::MatrixPerspectiveFovLH(3.14159265f / 4, 640.0f / 480.0f, 0.1f, 100.0f);
    device_->SetTransform(gpu::TransformType::View, view_);
    device_->SetRenderState(gpu::RenderState::CullMode, gpu::CullNone);
    device_->SetRenderState(gpu::RenderState::ZEnable, 1);
    model_path_ = modeltest::WriteFile("arm.x", modeltest::ArmModel());
    bend_path_ = modeltest::WriteFile("bend.x", modeltest::BendFile(60, 10));
  }
  void TearDown() override {
    effect_.Release();
    port::SafeRelease(ramp_);
    models_.clear();
    gltest::DeviceTest::TearDown();
  }

  SkinnedModel& LoadModel(int method, bool hand = false) {
    if (hand)
      model_path_ = modeltest::WriteFile("arm_hand.x", modeltest::ArmModel({.rigidHand = true}));
    models_.push_back(std::make_unique<SkinnedModel>());
    SkinnedModel& m = *models_.back();
    m.Init(device_.get(), nullptr);
    EXPECT_EQ(m.Load(model_path_.c_str(), method), port::kOk);
    EXPECT_EQ(m.AddAnimation(bend_path_.c_str()), port::kOk);
    return m;
  }

  bool CreateEffect() {
    const std::string path = std::string(POMELVANE_SOURCE_DIR) + "/data/toonSkinEffect.fx";
    if (!effect_.Create(device_.get(), path.c_str(), "TShader")) return false;
    ramp_ = device_->CreateTexture(1, 1, 1);
    const uint32_t white = 0xFFFFFFFFu;
    ramp_->Update(0, &white);
    return true;
  }

  // Poses the model 5 frames into the bend and draws it at x.
  void Pose(SkinnedModel& m, float x) {
    std::vector<AnimTrack> tracks{{5.0f, 10.0f, 1.0f}};
    m.SetView(view_);
    m.SetWorld(port::MatrixTranslation(x, 0, 0));
    m.SetProjection(projection_);
    m.Animate(tracks, false, nullptr);
  }

  void DrawSoftware(SkinnedModel& m, float x) {
    gpu::Light light;
    light.diffuse = {1, 1, 1, 1};
    light.direction = {0, 0, 1};
    device_->SetRenderState(gpu::RenderState::Lighting, 1);
    Pose(m, x);
    ASSERT_EQ(m.SetLight(0, 0, 1, 0, &light), port::kOk);
    ASSERT_EQ(m.Render(1), port::kOk);
  }

  void DrawToon(SkinnedModel& m, float x, uint8_t flag = 1) {
    m.SetEffect(&effect_);
    m.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                           "mWorldMatrixArray");
    effect_.GetEffect()->SetVector(effect_.GetEffect()->GetParameterByName("vCol"), {1, 1, 1, 1});
    device_->SetTexture(0, ramp_);
    Pose(m, x);
    ASSERT_EQ(m.SetLight(0, 0, 1, 0, nullptr), port::kOk);
    effect_.Begin(0, 0);
    ASSERT_EQ(m.Render(flag), port::kOk);
    effect_.End();
  }

  std::vector<bool> Mask() {
    const std::vector<uint32_t> px = device_->ReadBackBuffer();
    std::vector<bool> mask(px.size());
    for (size_t i = 0; i < px.size(); ++i) mask[i] = px[i] != kBackground;
    return mask;
  }

  void Clear() { device_->Clear(gpu::ClearTarget | gpu::ClearZBuffer, kBackground); }

  static size_t Count(const std::vector<bool>& m) {
    return static_cast<size_t>(std::count(m.begin(), m.end(), true));
  }

  Matrix view_, projection_;
  std::string model_path_, bend_path_;
  EffectHolder effect_;
  gpu::Texture* ramp_ = nullptr;
  std::vector<std::unique_ptr<SkinnedModel>> models_;
};

class ModelSilhouette : public ModelRender, public ::testing::WithParamInterface<bool> {};

TEST_P(ModelSilhouette, BothDrawMethodsCoverTheSamePixels) {
  ASSERT_TRUE(CreateEffect()) << effect_.LastError();
  // With the parameter, a rigid part rides on the bent bone as well.
  SkinnedModel& software = LoadModel(SkinnedModel::kMethodSoftware, GetParam());
  SkinnedModel& toon = LoadModel(SkinnedModel::kMethodToon, GetParam());

  Clear();
  DrawSoftware(software, 0.0f);
  const std::vector<bool> a = Mask();
  Clear();
  DrawToon(toon, 0.0f);
  const std::vector<bool> b = Mask();

  // The bent arm covers a good part of the picture, and the upper half leans right.
  const size_t covered = Count(a);
  EXPECT_GT(covered, 10000u);
  size_t differ = 0;
  for (size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
  EXPECT_LT(differ, covered / 50) << covered << " pixels covered";

  // Unposed, the silhouette differs from the bent one: the pose really reached both.
  std::vector<AnimTrack> rest{{0.0f, 10.0f, 1.0f}};
  Clear();
  software.Animate(rest, false, nullptr);
  ASSERT_EQ(software.Render(1), port::kOk);
  const std::vector<bool> straight = Mask();
  size_t moved = 0;
  for (size_t i = 0; i < a.size(); ++i) moved += a[i] != straight[i];
  EXPECT_GT(moved, covered / 10);
}

INSTANTIATE_TEST_SUITE_P(Model, ModelSilhouette, ::testing::Bool(), [](const auto& info) {
  return info.param ? "WithRigidPart" : "SkinOnly";
});

TEST_F(ModelRender, ToonDrawWithoutTexturesLeavesTheOwnersColour) {
  ASSERT_TRUE(CreateEffect()) << effect_.LastError();
  SkinnedModel& toon = LoadModel(SkinnedModel::kMethodToon);
  Clear();
  DrawToon(toon, 0.0f, 0);
  port::Vec4 colour;
  port::Effect* fx = effect_.GetEffect();
  ASSERT_EQ(fx->GetVector(fx->GetParameterByName("vCol"), &colour), port::kOk);
  EXPECT_EQ(colour, (port::Vec4{1, 1, 1, 1}));
  EXPECT_GT(Count(Mask()), 10000u);
  // The decal stage is left empty for the fixed-function draws that follow.
  EXPECT_EQ(device_->GetTexture(1), nullptr);
  int bones = -1;
  ASSERT_EQ(fx->GetInt(fx->GetParameterByName("CurNumBones"), &bones), port::kOk);
  EXPECT_EQ(bones, 1);
}

TEST_F(ModelRender, AToonModelWithoutAnEffectDrawsNothing) {
  SkinnedModel& toon = LoadModel(SkinnedModel::kMethodToon);
  Clear();
  Pose(toon, 0.0f);
  EXPECT_EQ(toon.Render(1), port::kOk);
  EXPECT_EQ(Count(Mask()), 0u);
  EffectHolder empty;  // an effect holder whose effect failed
  toon.SetEffect(&empty);
  toon.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                            "mWorldMatrixArray");
  EXPECT_EQ(toon.Render(1), port::kOk);
  EXPECT_EQ(Count(Mask()), 0u);
}

TEST_F(ModelRender, SoftwareDrawWithTheModelsMaterial) {
  SkinnedModel& software = LoadModel(SkinnedModel::kMethodSoftware);
  gpu::Material red;
  red.emissive = {1, 0, 0, 1};
  red.diffuse = {0, 0, 0, 1};
  software.SetMaterial(red);
  Clear();
  device_->SetRenderState(gpu::RenderState::Lighting, 1);
  Pose(software, 0.0f);
  ASSERT_EQ(software.Render(0), port::kOk);
  const std::vector<uint32_t> px = device_->ReadBackBuffer();
  size_t red_pixels = 0;
  for (uint32_t p : px) red_pixels += (p & 0x00FFFFFFu) == 0x00FF0000u;
  EXPECT_GT(red_pixels, 10000u);
}

}  // namespace
