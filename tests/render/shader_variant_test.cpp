// The fixed-function programs built for one path draw exactly what the
// general program draws: a sweep of device states, and a frame of every kind
// of scene drawn both ways. A variant that cannot be built falls back to the
// general program with one line on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "actors/BattlePlayer.h"
#include "actors/Player1Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "app/Application.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "port/effect.h"
#include "port/gl_shader.h"
#include "port/random.h"
#include "render/Camera.h"
#include "support/battle_fixture.h"
#include "support/gl_context.h"
#include "support/picture_diff.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

namespace {

using port::gpu::Device;
using namespace port::gpu;
using GpuTexture = port::gpu::Texture;

// Pixels that differ, and the first of them, for the message.
using testsupport::Differences;

// Draws with the general program, then with the variants, then generally
// again (the draw must repeat itself for the comparison to mean anything).
void ExpectSameBothWays(Device& device, const std::function<void()>& draw) {
  device.SetShaderVariants(false);
  draw();
  const std::vector<uint32_t> general = device.ReadBackBuffer();
  device.SetShaderVariants(true);
  draw();
  const std::vector<uint32_t> variant = device.ReadBackBuffer();
  device.SetShaderVariants(false);
  draw();
  ASSERT_EQ(Differences(general, device.ReadBackBuffer()), "") << "the draw does not repeat";
  device.SetShaderVariants(true);
  EXPECT_EQ(Differences(general, variant), "");
  int bright = 0;
  for (uint32_t p : general) bright += (p & 0xFFFFFF) != 0;
  EXPECT_GT(bright, 1000) << "the frame draws something";
}

// ---- The device's states ----

struct LitVertex {
  float x, y, z, nx, ny, nz;
  uint32_t colour;
  float u0, v0, u1, v1;
};
constexpr uint32_t kLitFvf = fvf::XYZ | fvf::Normal | fvf::Diffuse | 0x200;  // two texture sets

class VariantDevice : public gltest::DeviceTest {
 protected:
  void SetUp() override {
    gltest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    for (int t = 0; t < 2; ++t) {
      textures_[t] = dev().CreateTexture(8, 8, 1);
      std::vector<uint32_t> texels(64);
      for (int i = 0; i < 64; ++i)
        texels[i] = ((static_cast<uint32_t>(i * 37 + t * 91) & 0xFF) << 24) |
                    ((static_cast<uint32_t>(i) * 2654435761u >> (8 + t * 4)) & 0xFFFFFF);
      textures_[t]->Update(0, texels.data());
    }
    // A fan over most of the screen, a colour, normal and texture place each.
    for (int i = 0; i < 8; ++i) {
      const float a = 6.2831853f * static_cast<float>(i) / 8.0f;
      fan_[i + 1] = {
          0.9f * std::cos(a),
          0.9f * std::sin(a),
          0.3f + 0.05f * static_cast<float>(i),
          std::cos(a),
          std::sin(a),
          -0.5f,
          0x40000000u * static_cast<uint32_t>(i % 4) + 0x00FF8040u * static_cast<uint32_t>(i % 3),
          static_cast<float>(i % 3),
          static_cast<float>(i % 2),
          0.25f * i,
          1.0f};
    }
    fan_[0] = {0, 0, 0.5f, 0, 0, -1, 0xFF8080FFu, 0.5f, 0.5f, 0.5f, 0.5f};
    fan_[9] = fan_[1];
  }
  void TearDown() override {
    dev().SetTexture(0, nullptr);
    dev().SetTexture(1, nullptr);
    for (GpuTexture* t : textures_) port::SafeRelease(t);
    gltest::DeviceTest::TearDown();
  }

  // Random states of every kind that selects a path, odd values included.
  void RandomStates() {
    auto pick = [](std::initializer_list<uint32_t> values) {
      return values.begin()[port::CrtRand() % static_cast<int>(values.size())];
    };
    Device& d = dev();
    d.SetRenderState(RenderState::Lighting, pick({0, 1, 1}));
    d.SetRenderState(RenderState::NormalizeNormals, pick({0, 1}));
    d.SetRenderState(RenderState::ColorVertex, pick({0, 1}));
    d.SetRenderState(RenderState::Ambient, pick({0, 0xFF202020u, 0xFF406080u}));
    Light light;
    light.type = pick({LightPoint, LightSpot, LightDirectional, LightDirectional});
    light.diffuse = {0.9f, 0.7f, 0.5f, 1.0f};
    light.ambient = {0.2f, 0.1f, 0.3f, 1.0f};
    light.position = {0.3f, 0.2f, -1.0f};
    light.direction = {0.2f, -0.4f, 1.0f};
    light.range = pick({0, 1, 5}) * 0.5f;
    light.attenuation0 = 0.5f;
    light.attenuation1 = 0.3f;
    d.SetLight(0, light);
    d.LightEnable(0, pick({0, 1, 1}) != 0);
    Material m;
    m.diffuse = {0.8f, 0.6f, 0.4f, 0.7f};
    m.ambient = {0.3f, 0.3f, 0.3f, 1.0f};
    m.emissive = {0.05f, 0.1f, 0.0f, 0.0f};
    d.SetMaterial(m);
    for (int s = 0; s < 2; ++s) {
      d.SetTexture(s, pick({0, 1, 1}) ? textures_[s] : nullptr);
      d.SetTextureStageState(s, StageState::ColorOp, pick({1, 2, 3, 4, 4, 5, 6, 7, 0, 99}));
      d.SetTextureStageState(s, StageState::ColorArg1, pick({0, 1, 2, 2, 7}));
      d.SetTextureStageState(s, StageState::ColorArg2, pick({0, 1, 1, 2}));
      d.SetTextureStageState(s, StageState::AlphaOp, pick({1, 2, 3, 4, 5, 6, 7, 0}));
      d.SetTextureStageState(s, StageState::AlphaArg1, pick({0, 1, 2, 2}));
      d.SetTextureStageState(s, StageState::AlphaArg2, pick({0, 1, 2}));
    }
    d.SetRenderState(RenderState::AlphaTestEnable, pick({0, 1}));
    d.SetRenderState(RenderState::AlphaFunc, pick({1, 2, 3, 4, 5, 6, 7, 8, 0, 40}));
    d.SetRenderState(RenderState::AlphaRef, pick({0, 0x40, 0x80, 0xC0}));
    d.SetRenderState(RenderState::AlphaBlendEnable, pick({0, 1}));
    d.SetRenderState(RenderState::SrcBlend, BlendSrcAlpha);
    d.SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);
    d.SetRenderState(RenderState::CullMode, CullNone);
    d.SetRenderState(RenderState::PointSpriteEnable, pick({0, 1}));
    d.SetRenderState(RenderState::PointScaleEnable, pick({0, 1}));
    d.SetRenderStateF(RenderState::PointSize, 24.0f);
    d.SetRenderStateF(RenderState::PointScaleA, 0.0f);
    d.SetRenderStateF(RenderState::PointScaleB, 0.0f);
    d.SetRenderStateF(RenderState::PointScaleC, 1.0f);
  }

  // One texture set or two, as a fan or as points.
  void Draw(bool twoSets, bool points) {
    dev().Clear(ClearTarget | ClearZBuffer, 0xFF102030u);
    dev().SetFVF(twoSets ? kLitFvf : (kLitFvf & ~0x200u) | fvf::Tex1);
    if (twoSets) {
      if (points)
        dev().DrawPrimitiveUP(PointList, 10, fan_, sizeof(LitVertex));
      else
        dev().DrawPrimitiveUP(TriangleFan, 8, fan_, sizeof(LitVertex));
      return;
    }
    // The one-set layout: position, normal, colour, one texture place.
    struct OneSet {
      float x, y, z, nx, ny, nz;
      uint32_t colour;
      float u, v;
    } one[10];
    for (int i = 0; i < 10; ++i)
      one[i] = {fan_[i].x,  fan_[i].y,      fan_[i].z,  fan_[i].nx, fan_[i].ny,
                fan_[i].nz, fan_[i].colour, fan_[i].u0, fan_[i].v0};
    if (points)
      dev().DrawPrimitiveUP(PointList, 10, one, sizeof(OneSet));
    else
      dev().DrawPrimitiveUP(TriangleFan, 8, one, sizeof(OneSet));
  }

  GpuTexture* textures_[2] = {};
  LitVertex fan_[10] = {};
};

TEST_F(VariantDevice, EveryPathDrawsAsTheGeneralProgramDoes) {
  port::CrtSrand(25);
  for (int round = 0; round < 64; ++round) {
    RandomStates();
    const bool twoSets = round % 2 == 0, points = round % 5 == 4;
    SCOPED_TRACE("round " + std::to_string(round));
    dev().SetShaderVariants(false);
    Draw(twoSets, points);
    const std::vector<uint32_t> general = dev().ReadBackBuffer();
    dev().SetShaderVariants(true);
    Draw(twoSets, points);
    EXPECT_EQ(Differences(general, dev().ReadBackBuffer()), "");
  }
}

// Paths drawn into a render target, whose picture is then laid over the
// back buffer, texel for texel.
TEST_F(VariantDevice, ARenderTargetDrawsAsTheGeneralProgramDoes) {
  RenderTarget* target = dev().CreateRenderTarget(128, 128);
  ASSERT_NE(target, nullptr);
  struct Screen {
    float x, y, z;
    uint32_t colour;
    float u, v;
  };
  const Screen cover[4] = {{-1, 1, 0.5f, 0xFFFFFFFFu, 0, 0},
                           {1, 1, 0.5f, 0xFFFFFFFFu, 1, 0},
                           {1, -1, 0.5f, 0xFFFFFFFFu, 1, 1},
                           {-1, -1, 0.5f, 0xFFFFFFFFu, 0, 1}};
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto frame = [&] {
      port::CrtSrand(100 + static_cast<uint32_t>(round));
      RandomStates();
      dev().SetRenderTarget(target);
      Draw(round % 2 == 0, round % 4 == 3);
      dev().SetRenderTarget(nullptr);
      dev().SetRenderState(RenderState::Lighting, 0);
      dev().SetRenderState(RenderState::AlphaBlendEnable, 0);
      dev().SetRenderState(RenderState::AlphaTestEnable, 0);
      dev().SetTexture(0, target->GetTexture());
      dev().SetTextureStageState(0, StageState::ColorOp, TexOpSelectArg1);
      dev().SetTextureStageState(0, StageState::ColorArg1, TexArgTexture);
      dev().SetTextureStageState(0, StageState::AlphaOp, TexOpSelectArg1);
      dev().SetTextureStageState(0, StageState::AlphaArg1, TexArgTexture);
      dev().SetTextureStageState(1, StageState::ColorOp, TexOpDisable);
      dev().Clear(ClearTarget | ClearZBuffer, 0xFF000000u);
      dev().SetFVF(0x142);
      dev().DrawPrimitiveUP(TriangleFan, 2, cover, sizeof(Screen));
      dev().SetTexture(0, nullptr);
      return dev().ReadBackBuffer();
    };
    dev().SetShaderVariants(false);
    const std::vector<uint32_t> general = frame();
    dev().SetShaderVariants(true);
    EXPECT_EQ(Differences(general, frame()), "");
  }
  target->Release();
}

// Draws whose alpha is one everywhere skip blending and the alpha test on the
// specialised path: opaque textures, a material alpha of one or none of the
// vertex colours, over a picture that shows any alpha that is not one. A
// texture made opaque, then given one clear texel, counts as clear again.
TEST_F(VariantDevice, OpaqueDrawsSkipBlendingExactly) {
  std::vector<uint32_t> texels(64);
  for (int t = 0; t < 2; ++t) {
    for (int i = 0; i < 64; ++i)
      texels[i] =
          0xFF000000u | ((static_cast<uint32_t>(i) * 2654435761u >> (8 + t * 4)) & 0xFFFFFF);
    textures_[t]->Update(0, texels.data());
  }
  struct Plain {
    float x, y, z, nx, ny, nz;
    float u0, v0, u1, v1;
  } plain[10];
  for (int i = 0; i < 10; ++i)
    plain[i] = {fan_[i].x,  fan_[i].y,  fan_[i].z,  fan_[i].nx, fan_[i].ny,
                fan_[i].nz, fan_[i].u0, fan_[i].v0, fan_[i].u1, fan_[i].v1};
  port::CrtSrand(26);
  for (int round = 0; round < 64; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    if (round == 48) {
      texels[27] = 0x10FFFFFFu;
      textures_[0]->Update(0, texels.data());
    }
    RandomStates();
    const uint32_t r = port::CrtRand();
    Material m;
    m.diffuse = {0.8f, 0.6f, 0.4f, r % 3 == 0 ? 0.5f : 1.0f};
    m.ambient = {0.3f, 0.3f, 0.3f, 1.0f};
    dev().SetMaterial(m);
    dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
    static const uint32_t kFactors[][2] = {{BlendSrcAlpha, BlendInvSrcAlpha},
                                           {BlendSrcAlpha, BlendInvSrcAlpha},
                                           {BlendOne, BlendZero},
                                           {BlendSrcAlpha, BlendZero},
                                           {BlendOne, BlendInvSrcAlpha},
                                           {BlendSrcAlpha, BlendOne}};
    const auto& f = kFactors[(r >> 4) % 6];
    dev().SetRenderState(RenderState::SrcBlend, f[0]);
    dev().SetRenderState(RenderState::DestBlend, f[1]);
    dev().SetRenderState(RenderState::AlphaRef, (r >> 8) % 4 == 0 ? 0xFF : 0x05);
    const bool colours = (r >> 12) % 4 == 0, points = round % 7 == 6;
    auto draw = [&] {
      dev().Clear(ClearTarget | ClearZBuffer, 0x80102030u);
      if (colours) {
        Draw(true, points);
        return;
      }
      dev().SetFVF(fvf::XYZ | fvf::Normal | 0x200);
      dev().DrawPrimitiveUP(points ? PointList : TriangleFan, points ? 10 : 8, plain,
                            sizeof(Plain));
    };
    dev().SetShaderVariants(false);
    draw();
    const std::vector<uint32_t> general = dev().ReadBackBuffer();
    dev().SetShaderVariants(true);
    draw();
    EXPECT_EQ(Differences(general, dev().ReadBackBuffer()), "");
  }
}

TEST_F(VariantDevice, AVariantThatFailsToBuildFallsBackWithOneLine) {
  port::CrtSrand(7);
  RandomStates();
  dev().SetRenderState(RenderState::Lighting, 0);
  dev().SetShaderVariants(false);
  Draw(true, false);
  const std::vector<uint32_t> general = dev().ReadBackBuffer();
  dev().SetShaderVariants(true);

  // A compile error, then (another path) a link error: no main.
  const char* const faults[] = {"#error forced", "#define main unused_main"};
  for (const char* fault : faults) {
    SCOPED_TRACE(fault);
    port::gl::SetVariantFault(fault);
    dev().SetRenderState(RenderState::Lighting, dev().GetRenderState(RenderState::Lighting) ^ 1);
    testing::internal::CaptureStderr();
    Draw(true, false);
    const std::vector<uint32_t> first = dev().ReadBackBuffer();
    Draw(true, false);  // the failure is remembered: no second line
    const std::string err = testing::internal::GetCapturedStderr();
    port::gl::SetVariantFault(nullptr);
    EXPECT_NE(err.find("general program"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    // What the general program draws for these states.
    dev().SetShaderVariants(false);
    Draw(true, false);
    EXPECT_EQ(Differences(dev().ReadBackBuffer(), first), "");
    dev().SetShaderVariants(true);
  }
  // Paths not yet built still get their variants.
  dev().SetRenderState(RenderState::Lighting, 0);
  dev().SetRenderState(RenderState::AlphaTestEnable,
                       dev().GetRenderState(RenderState::AlphaTestEnable) ^ 1);
  testing::internal::CaptureStderr();
  Draw(true, false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  (void)general;
}

// Quads of one vertex buffer drawn with a world matrix each are held and drawn
// together; whatever else changes between them (a texture, a blend state,
// the buffer's vertices, a read-back) still lands where it did.
TEST_F(VariantDevice, HeldQuadsDrawAsTheyWereAskedFor) {
  struct QuadVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
  };
  Buffer* quad = dev().CreateBuffer(sizeof(QuadVertex) * 4, false);
  auto fill = [&](uint32_t colour) {
    auto* q = static_cast<QuadVertex*>(quad->Lock());
    q[0] = {-1, 1, 0, colour, 1, 0};
    q[1] = {1, 1, 0, colour, 0, 0};
    q[2] = {1, -1, 0, colour, 0, 1};
    q[3] = {-1, -1, 0, colour, 1, 1};
    quad->Unlock();
  };
  auto frame = [&]() {
    std::vector<uint32_t> midway;
    fill(0xC0FFFFFFu);
    dev().Clear(ClearTarget | ClearZBuffer, 0xFF000000u);
    dev().SetRenderState(RenderState::Lighting, 0);
    dev().SetRenderState(RenderState::CullMode, CullNone);
    dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
    dev().SetRenderState(RenderState::SrcBlend, BlendSrcAlpha);
    dev().SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);
    dev().SetFVF(0x142);
    dev().SetStreamSource(quad, 0, sizeof(QuadVertex));
    for (int i = 0; i < 40; ++i) {
      dev().SetTexture(0, textures_[i / 10 % 2]);
      if (i == 20) {
        dev().SetRenderState(RenderState::SrcBlend, BlendOne);
        dev().SetRenderState(RenderState::DestBlend, BlendOne);
      }
      if (i == 25) fill(0x80FF4020u);
      if (i == 30) midway = dev().ReadBackBuffer();
      port::Matrix world = port::MatrixIdentity();
      world.m[0][0] = world.m[1][1] = 0.1f + 0.01f * static_cast<float>(i % 7);
      world.m[3][0] = -0.8f + 0.04f * static_cast<float>(i);
      world.m[3][1] = 0.5f * std::sin(static_cast<float>(i));
      world.m[3][2] = 0.5f;
      dev().SetTransform(TransformType::World, world);
      dev().DrawPrimitive(TriangleFan, 0, 2);
    }
    std::vector<uint32_t> last = dev().ReadBackBuffer();
    last.insert(last.end(), midway.begin(), midway.end());
    return last;
  };
  dev().SetShaderVariants(false);  // the general program draws every quad by itself
  const std::vector<uint32_t> one = frame();
  dev().SetShaderVariants(true);
  const std::vector<uint32_t> held = frame();
  EXPECT_EQ(Differences(one, held), "");

  // The instanced program cannot be built: the quads are drawn one by one.
  port::gl::SetVariantFault("#error forced");
  dev().SetRenderState(RenderState::AlphaTestEnable, 1);
  dev().SetRenderState(RenderState::AlphaFunc, CmpGreater);
  testing::internal::CaptureStderr();
  const std::vector<uint32_t> failing = frame();
  testing::internal::GetCapturedStderr();
  port::gl::SetVariantFault(nullptr);
  dev().SetShaderVariants(false);
  EXPECT_EQ(Differences(frame(), failing), "");
  dev().SetShaderVariants(true);
  dev().SetStreamSource(nullptr, 0, 0);
  quad->Release();
}

// ---- Effect passes ----

// An int that sets a loop's count and a branch in both shaders, and a
// texture whose flag says whether it is read.
const char* const kSwitchedEffect = R"(
param float4 vCol;
param int Mode;
param texture Decal : 0;
vertex VS %{
out vec2 uv;
out float k;
void main() {
  float s = 1.0;
  for (int i = 0; i < clamp(Mode, 0, 4); ++i) s *= 0.93;
  if (Mode == 7) s = -s;
  uv = inTexCoord0 * s;
  k = s;
  gl_Position = ToDeviceClip(vec4(inPosition.xy * s, 0.5, 1.0));
}
%}
fragment FS %{
in vec2 uv;
in float k;
void main() {
  vec4 c = vCol * abs(k);
  if (Mode > 2) c.rg = c.gr;
  if (Decal_bound) c *= texture(Decal, uv);
  FragColor = c;
}
%}
technique T {
  pass { CullMode = None; ZEnable = false; AlphaBlendEnable = false; VertexShader = VS; FragmentShader = FS; }
}
)";

class EffectVariants : public VariantDevice {
 protected:
  void SetUp() override {
    VariantDevice::SetUp();
    if (HasFatalFailure()) return;
    std::string errors;
    ASSERT_EQ(port::Effect::CreateFromText(device_.get(), kSwitchedEffect, &fx_, &errors),
              port::kOk)
        << errors;
    mode_ = fx_->GetParameterByName("Mode");
    decal_ = fx_->GetParameterByName("Decal");
    fx_->SetVector(fx_->GetParameterByName("vCol"), {0.9f, 0.5f, 0.2f, 1.0f});
  }
  void TearDown() override {
    if (fx_) fx_->Release();
    VariantDevice::TearDown();
  }
  std::vector<uint32_t> Draw(int mode, bool decal) {
    struct Vertex {
      float x, y, z, u, v;
    } v[10];
    for (int i = 0; i < 10; ++i) v[i] = {fan_[i].x, fan_[i].y, 0.5f, fan_[i].u1, fan_[i].v0};
    dev().Clear(ClearTarget | ClearZBuffer, 0xFF102030u);
    dev().SetTexture(0, textures_[0]);
    fx_->SetInt(mode_, mode);
    fx_->SetTexture(decal_, decal ? textures_[0] : nullptr);
    uint32_t passes = 0;
    fx_->Begin(&passes, 0);
    fx_->Pass(0);
    dev().SetFVF(fvf::XYZ | fvf::Tex1);
    dev().DrawPrimitiveUP(TriangleFan, 8, v, sizeof(Vertex));
    fx_->End();
    dev().SetTexture(0, nullptr);
    return dev().ReadBackBuffer();
  }
  // Drawn by the general program, then by the variant for these values.
  void ExpectSame(int mode, bool decal) {
    SCOPED_TRACE("mode " + std::to_string(mode) + (decal ? " with" : " without") + " decal");
    dev().SetShaderVariants(false);
    const std::vector<uint32_t> general = Draw(mode, decal);
    dev().SetShaderVariants(true);
    EXPECT_EQ(Differences(general, Draw(mode, decal)), "");
  }

  port::Effect* fx_ = nullptr;
  port::EffectHandle mode_ = 0, decal_ = 0;
};

// Every value the switches take, more of them than a pass keeps variants
// for: the rest are drawn by the general program.
TEST_F(EffectVariants, EveryValueDrawsAsTheGeneralProgramDoes) {
  for (int mode = -2; mode <= 8; ++mode)
    for (bool decal : {false, true}) ExpectSame(mode, decal);
  EXPECT_NE(Differences(Draw(1, false), Draw(5, true)), "") << "the switches change the picture";
}

TEST_F(EffectVariants, AVariantThatFailsToBuildFallsBackWithOneLine) {
  port::gl::SetVariantFault("#error forced");
  testing::internal::CaptureStderr();
  dev().SetShaderVariants(true);
  const std::vector<uint32_t> first = Draw(3, true);
  const std::vector<uint32_t> again = Draw(3, true);  // remembered: no second line
  const std::string err = testing::internal::GetCapturedStderr();
  port::gl::SetVariantFault(nullptr);
  EXPECT_NE(err.find("general program"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  dev().SetShaderVariants(false);
  const std::vector<uint32_t> general = Draw(3, true);
  EXPECT_EQ(Differences(general, first), "");
  EXPECT_EQ(Differences(general, again), "");
  // Other values still get their variants.
  dev().SetShaderVariants(true);
  testing::internal::CaptureStderr();
  ExpectSame(2, false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// ---- A frame of each kind of scene ----

class TitleFrame : public gltest::GameDeviceTest {};

TEST_F(TitleFrame, DrawsTheSameWithVariants) {
  EnterFolder(POMELVANE_RUN_DIR);
  Application app;
  app.LoadNormalRanking("no-such-folder/normal.sav");
  app.LoadSokaiRanking("no-such-folder/sokai.sav");
  app.LoadOptions("no-such-folder/option.sav");
  app.windowActive = 1;
  app.requestedScene = SceneTitle;
  for (int i = 0; i < 5; ++i) app.Frame();
  ExpectSameBothWays(*device, [&] { app.Draw(); });
  app.ReleaseSceneTextures();
}

class StageFrame : public stagescene::StageSceneTest, public testing::WithParamInterface<int> {};

// 0, 1: stage 1 without and with toon shading; 2, 3: the sokai crowd likewise.
TEST_P(StageFrame, DrawsTheSameWithVariants) {
  // Shots and their effects in the air.
  ASSERT_NO_FATAL_FAILURE(FireInFirstArea(GetParam(), 120));
  ExpectSameBothWays(*device, [&] { app.DrawStage(); });
}
INSTANTIATE_TEST_SUITE_P(Kinds, StageFrame, testing::Values(0, 1, 2, 3));

class BattleFrame : public battletest::BattleFixture, public testing::WithParamInterface<int> {
 protected:
  BattleFrame() { setup.method = GetParam(); }
};

// The four players' viewports, each a quarter of the screen, shots flying.
TEST_P(BattleFrame, DrawsTheSameWithVariants) {
  port::CrtSrand(11);
  PlaceAll();
  BattleStep(30);
  FireEachCharactersShots();
  BattleStep(20);
  DrawFrom(0);  // poses every player
  ExpectSameBothWays(*device, [&] { DrawSplitScreen(); });
  EXPECT_GT(g_objects.CountAlive(), 0);
}
INSTANTIATE_TEST_SUITE_P(Methods, BattleFrame, testing::Values(2, 3));

}  // namespace
