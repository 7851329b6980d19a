// The game's graphics device: creation, default states, viewports, release.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/GraphicsDevice.h"
#include "port/window.h"
#include "support/gl_context.h"
#include "support/scoped_env.h"

namespace {

using namespace port::gpu;

class GraphicsDeviceTest : public gltest::WindowTest {
 protected:
  void TearDown() override {
    graphics_.Release();
    gltest::WindowTest::TearDown();
  }
  GraphicsDevice graphics_;
};

float Bits(uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

TEST_F(GraphicsDeviceTest, CreateSetsUpDeviceSpriteAndDefaultStates) {
  ASSERT_TRUE(graphics_.Create(window_, 0, 640, 480));
  Device* d = graphics_.GetDevice();
  ASSERT_NE(d, nullptr);
  EXPECT_NE(graphics_.GetSprite(), nullptr);
  EXPECT_EQ(graphics_.BackBufferWidth(), 640);
  EXPECT_EQ(graphics_.BackBufferHeight(), 480);
  EXPECT_GE(graphics_.GetCaps().vertexShaderVersion, 0xFFFE0101u);

  graphics_.SetDefaultStates();
  EXPECT_EQ(d->GetRenderState(RenderState::Lighting), 0u);
  EXPECT_EQ(d->GetRenderState(RenderState::Ambient), 0xFF787878u);
  EXPECT_EQ(d->GetRenderState(RenderState::AlphaTestEnable), 1u);
  EXPECT_EQ(d->GetRenderState(RenderState::AlphaFunc), CmpGreater);
  EXPECT_EQ(d->GetRenderState(RenderState::AlphaRef), 5u);
  EXPECT_EQ(d->GetRenderState(RenderState::ZFunc), CmpLess);
  EXPECT_EQ(d->GetRenderState(RenderState::SrcBlend), BlendSrcAlpha);
  EXPECT_EQ(d->GetRenderState(RenderState::DestBlend), BlendInvSrcAlpha);
  EXPECT_EQ(d->GetTextureStageState(0, StageState::AlphaOp), TexOpModulate);
  EXPECT_EQ(d->GetTextureStageState(0, StageState::ColorArg2), TexArgDiffuse);
  EXPECT_EQ(d->GetSamplerState(0, SamplerState::MipFilter), FilterLinear);
  EXPECT_EQ(Bits(d->GetRenderState(RenderState::PointSizeMax)), graphics_.GetCaps().maxPointSize);
  EXPECT_EQ(Bits(d->GetRenderState(RenderState::PointScaleC)), 1.0f);
  Light light;
  ASSERT_TRUE(d->GetLight(0, &light));
  EXPECT_NEAR(light.direction.x, -0.408248f, 1e-5f);
  EXPECT_NEAR(light.direction.z, 0.816497f, 1e-5f);
  EXPECT_EQ(light.diffuse.a, 0.0f);
}

TEST_F(GraphicsDeviceTest, ViewportsClearToBlueAndPresent) {
  ASSERT_TRUE(graphics_.Create(window_, 0, 640, 480));
  graphics_.Clear(ClearTarget | ClearZBuffer, 0xFF000000u);
  graphics_.SetViewport(320, 240, 320, 240, 1);
  auto px = graphics_.GetDevice()->ReadBackBuffer();
  EXPECT_EQ(px[479 * 640 + 639], 0xFF0000FFu);
  EXPECT_EQ(px[240 * 640 + 320], 0xFF0000FFu);
  EXPECT_EQ(px[239 * 640 + 639], 0xFF000000u);
  EXPECT_EQ(px[0], 0xFF000000u);
  graphics_.SetFullViewport(0);
  EXPECT_EQ(graphics_.GetDevice()->GetViewport().width, 640u);
  EXPECT_EQ(graphics_.GetDevice()->ReadBackBuffer()[0], 0xFF000000u);
  graphics_.SetFullViewport(1);
  EXPECT_EQ(graphics_.GetDevice()->ReadBackBuffer()[0], 0xFF0000FFu);
  EXPECT_EQ(graphics_.Present(), port::kOk);
}

TEST_F(GraphicsDeviceTest, TextWithPercentSignsIsDrawnAsItStands) {
  ASSERT_TRUE(graphics_.Create(window_, 0, 640, 480));
  if (!port::Font::Available()) GTEST_SKIP() << "no Japanese font installed";
  ASSERT_TRUE(graphics_.CreateFont(10, 20));
  graphics_.Clear(ClearTarget, 0xFF000000u);
  graphics_.DrawTextF(0, 0, "%s%n%d", 0xFFFFFFFFu);
  graphics_.DrawText("x", 600, 460, 0xFFFFFFFFu);
  const auto px = graphics_.GetDevice()->ReadBackBuffer();
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) lit += (px[y * 640 + x] & 0xFF) > 128;
  EXPECT_GT(lit, 20);
}

TEST_F(GraphicsDeviceTest, ReleaseTwiceAndUseAfterReleaseAreHarmless) {
  ASSERT_TRUE(graphics_.Create(window_, 0, 640, 480));
  graphics_.Release();
  EXPECT_EQ(graphics_.GetDevice(), nullptr);
  EXPECT_EQ(graphics_.GetSprite(), nullptr);
  EXPECT_EQ(Device::Current(), nullptr);
  graphics_.Release();
  graphics_.SetDefaultStates();
  graphics_.SetFullViewport(1);
  graphics_.Clear(ClearTarget, 0);
  graphics_.DrawText("a", 0, 0, 0xFFFFFFFFu);
  EXPECT_TRUE(port::Failed(graphics_.Present()));
  EXPECT_FALSE(graphics_.CreateFont(10, 20));
  // And it can be created again.
  EXPECT_TRUE(graphics_.Create(window_, 0, 640, 480));
}

TEST_F(GraphicsDeviceTest, NoWindowFailsWithTheDeviceMessage) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(graphics_.Create(nullptr, 0, 640, 480));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("CreateDevice関数失敗"), std::string::npos) << err;
  EXPECT_NE(err.find("エラー"), std::string::npos) << err;
  EXPECT_EQ(graphics_.GetDevice(), nullptr);
}

TEST(GraphicsDeviceStartTest, UnknownVideoDriverFailsWithTheMessage) {
  testsupport::ScopedEnv driver("SDL_VIDEODRIVER", "no-such-driver");
  GraphicsDevice graphics;
  testing::internal::CaptureStderr();
  const bool ok = graphics.Create(nullptr, 0, 640, 480);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ok);
  EXPECT_NE(err.find("エラー: Direct3DCreate9関数失敗"), std::string::npos) << err;
  EXPECT_EQ(graphics.GetDevice(), nullptr);
  graphics.Release();
  graphics.Release();
}

}  // namespace
