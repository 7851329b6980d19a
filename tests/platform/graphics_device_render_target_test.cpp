// The game's graphics device drawing into an offscreen target: the caller's
// target and viewport come back, pairs nest, and a refused target is null.
#include <gtest/gtest.h>

#include "platform/GraphicsDevice.h"
#include "support/gl_context.h"

namespace gltest {
namespace {

using namespace port::gpu;

class GraphicsRenderTargetTest : public GameDeviceTest {
 protected:
  void TearDown() override {
    port::SafeRelease(inner_);
    port::SafeRelease(outer_);
    GameDeviceTest::TearDown();
  }
  RenderTarget* outer_ = nullptr;
  RenderTarget* inner_ = nullptr;
};

TEST_F(GraphicsRenderTargetTest, TargetsNestAndPutTheCallersTargetAndViewportBack) {
  g_graphics.SetDefaultStates();
  ClearTo(0xFF000000u);
  outer_ = g_graphics.CreateRenderTarget(128, 128);
  inner_ = g_graphics.CreateRenderTarget(32, 32);
  ASSERT_NE(outer_, nullptr);
  ASSERT_NE(inner_, nullptr);
  g_graphics.SetViewport(10, 20, 300, 200, 0);

  ASSERT_TRUE(g_graphics.BeginRenderTarget(outer_));
  EXPECT_EQ(device->GetRenderTarget(), outer_);
  EXPECT_EQ(device->GetViewport().width, 128u);
  g_graphics.Clear(ClearTarget | ClearZBuffer, 0xFF0096FFu);
  ASSERT_TRUE(g_graphics.BeginRenderTarget(inner_));
  g_graphics.Clear(ClearTarget | ClearZBuffer, 0xFFFF0000u);
  g_graphics.EndRenderTarget();
  EXPECT_EQ(device->GetRenderTarget(), outer_);
  EXPECT_EQ(device->GetViewport().width, 128u);
  g_graphics.EndRenderTarget();
  EXPECT_EQ(device->GetRenderTarget(), nullptr);
  const Viewport& vp = device->GetViewport();
  EXPECT_EQ(vp.x, 10u);
  EXPECT_EQ(vp.y, 20u);
  EXPECT_EQ(vp.width, 300u);
  EXPECT_EQ(vp.height, 200u);
  g_graphics.EndRenderTarget();  // one too many does nothing
  EXPECT_EQ(device->GetViewport().x, 10u);

  // The two pictures, each where the sprite puts it on the full picture.
  g_graphics.SetFullViewport(0);
  port::Sprite* sprite = g_graphics.GetSprite();
  sprite->Begin();
  const port::Vec2 closeUpAt{400, 150}, innerAt{20, 20};
  sprite->Draw(outer_->GetTexture(), nullptr, nullptr, nullptr, 0, &closeUpAt, 0xFFFFFFFFu);
  sprite->Draw(inner_->GetTexture(), nullptr, nullptr, nullptr, 0, &innerAt, 0xFFFFFFFFu);
  sprite->End();
  const auto px = Picture();
  EXPECT_TRUE(NearArgb(At(px, 464, 214), 0xFF0096FFu, 2));
  EXPECT_TRUE(NearArgb(At(px, 36, 36), 0xFFFF0000u, 2));
  EXPECT_EQ(Rgb(px, 300, 300), 0u);
  EXPECT_EQ(CountNot(px, 0xFF000000u), 128u * 128u + 32u * 32u);
}

TEST_F(GraphicsRenderTargetTest, RefusedTargetIsNullAndBeginDoesNothing) {
  device->ForceRenderTargetFailure(true);
  outer_ = g_graphics.CreateRenderTarget(128, 128);
  EXPECT_EQ(outer_, nullptr);
  g_graphics.SetViewport(0, 0, 320, 240, 0);
  EXPECT_FALSE(g_graphics.BeginRenderTarget(outer_));
  g_graphics.EndRenderTarget();
  EXPECT_EQ(device->GetViewport().width, 320u);
  EXPECT_EQ(device->GetRenderTarget(), nullptr);
  device->ForceRenderTargetFailure(false);

  // Released with a pair still open, the device puts the back buffer back first.
  outer_ = g_graphics.CreateRenderTarget(16, 16);
  ASSERT_NE(outer_, nullptr);
  ASSERT_TRUE(g_graphics.BeginRenderTarget(outer_));
  g_graphics.Release();
  EXPECT_EQ(g_graphics.CreateRenderTarget(16, 16), nullptr);
  EXPECT_FALSE(g_graphics.BeginRenderTarget(outer_));
}

}  // namespace
}  // namespace gltest
