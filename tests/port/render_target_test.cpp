// Offscreen render targets: drawn into, drawn back as a sprite, each with a
// depth buffer of its own, and the failures.
#include <memory>

#include "port/sprite.h"
#include "support/gl_context.h"

namespace gltest {
namespace {

using namespace port::gpu;

constexpr uint32_t kBlue = 0xFF0000FFu, kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u,
                   kBlack = 0xFF000000u, kGrey = 0xFF808080u;

// A rectangle in clip space (y up) at depth z, as a two-triangle fan.
void DrawRect(Device& d, float x0, float y0, float x1, float y1, float z, uint32_t colour) {
  const ColourVertex v[4] = {
      {x0, y1, z, colour}, {x1, y1, z, colour}, {x1, y0, z, colour}, {x0, y0, z, colour}};
  d.SetRenderState(RenderState::Lighting, 0);
  d.SetRenderState(RenderState::CullMode, CullNone);
  d.SetFVF(kColourFvf);
  d.DrawPrimitiveUP(TriangleFan, 2, v, sizeof(ColourVertex));
}

struct TargetDeleter {
  void operator()(RenderTarget* t) const { t->Release(); }
};
using TargetPtr = std::unique_ptr<RenderTarget, TargetDeleter>;

class RenderTargetTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    sprite_ = port::Sprite::Create(dev());
    ASSERT_TRUE(sprite_);
  }
  void TearDown() override {
    sprite_.reset();
    DeviceTest::TearDown();
  }
  void DrawSprite(Texture* texture, float x, float y) {
    sprite_->Begin();
    const port::Vec2 at{x, y};
    sprite_->Draw(texture, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFFu);
    sprite_->End();
  }
  std::unique_ptr<port::Sprite> sprite_;
};

TEST_F(RenderTargetTest, PictureDrawnIntoATargetShowsUprightAsASprite) {
  dev().Clear(ClearTarget | ClearZBuffer, kBlack);
  const Viewport callers{0, 0, 640, 480, 0, 1};
  TargetPtr target(dev().CreateRenderTarget(64, 32));
  ASSERT_TRUE(target);
  EXPECT_EQ(target->Width(), 64u);
  EXPECT_EQ(target->Height(), 32u);
  ASSERT_NE(target->GetTexture(), nullptr);
  EXPECT_EQ(target->GetTexture()->Levels(), 1u);

  dev().SetRenderTarget(target.get());
  EXPECT_EQ(dev().GetRenderTarget(), target.get());
  EXPECT_EQ(dev().GetViewport().width, 64u);
  EXPECT_EQ(dev().GetViewport().height, 32u);
  dev().Clear(ClearTarget | ClearZBuffer, kBlue);
  // Red in the top-left quarter, green in the bottom-right one.
  dev().SetRenderState(RenderState::ZEnable, 0);
  DrawRect(dev(), -1, 0, 0, 1, 0.5f, kRed);
  DrawRect(dev(), 0, -1, 1, 0, 0.5f, kGreen);
  // A viewport inside the target clears only itself: the top-right corner.
  ASSERT_TRUE(dev().SetViewport(Viewport{56, 0, 8, 4, 0, 1}));
  dev().Clear(ClearTarget, kGrey);
  EXPECT_FALSE(dev().SetViewport(Viewport{0, 0, 65, 32, 0, 1}));
  dev().SetRenderTarget(nullptr);
  EXPECT_EQ(dev().GetRenderTarget(), nullptr);
  EXPECT_EQ(dev().GetViewport().width, callers.width);
  EXPECT_EQ(dev().GetViewport().height, callers.height);

  // Nothing of it reached the back buffer.
  EXPECT_EQ(CountNot(dev().ReadBackBuffer(), kBlack), 0u);

  DrawSprite(target->GetTexture(), 100, 200);
  const auto px = dev().ReadBackBuffer();
  EXPECT_EQ(At(px, 100, 200), kRed);    // top left
  EXPECT_EQ(At(px, 131, 215), kRed);    // the quarter's inner corner
  EXPECT_EQ(At(px, 132, 216), kGreen);  // bottom right
  EXPECT_EQ(At(px, 163, 231), kGreen);
  EXPECT_EQ(At(px, 100, 231), kBlue);  // bottom left
  EXPECT_EQ(At(px, 140, 200), kBlue);  // top right, left of the grey corner
  EXPECT_EQ(At(px, 156, 200), kGrey);
  EXPECT_EQ(At(px, 163, 203), kGrey);
  EXPECT_EQ(At(px, 163, 204), kBlue);
  EXPECT_EQ(At(px, 99, 200), kBlack);  // around it the picture is as it was
  EXPECT_EQ(At(px, 164, 200), kBlack);
  EXPECT_EQ(At(px, 100, 199), kBlack);
  EXPECT_EQ(At(px, 100, 232), kBlack);
  EXPECT_EQ(CountNot(px, kBlack), 64u * 32u);
}

TEST_F(RenderTargetTest, TargetAndBackBufferKeepDepthsOfTheirOwn) {
  dev().SetRenderState(RenderState::ZEnable, 1);
  dev().SetRenderState(RenderState::ZFunc, CmpLess);
  dev().SetRenderState(RenderState::ZWriteEnable, 1);
  dev().Clear(ClearTarget | ClearZBuffer, kBlack);
  DrawRect(dev(), -1, -1, 1, 1, 0.1f, kGrey);  // near: back-buffer depth 0.1

  TargetPtr target(dev().CreateRenderTarget(16, 16));
  ASSERT_TRUE(target);
  dev().SetRenderTarget(target.get());
  dev().Clear(ClearTarget | ClearZBuffer, kBlue);
  DrawRect(dev(), -1, -1, 1, 1, 0.5f, kGreen);  // passes the target's own depth 1.0
  DrawRect(dev(), -1, -1, 1, 1, 0.7f, kRed);    // behind the green: hidden
  dev().SetRenderTarget(nullptr);

  // The back buffer's depth is still 0.1: a farther draw stays hidden.
  DrawRect(dev(), -1, -1, 1, 1, 0.5f, kRed);
  auto px = dev().ReadBackBuffer();
  EXPECT_EQ(At(px, 320, 240), kGrey);

  DrawSprite(target->GetTexture(), 0, 0);
  px = dev().ReadBackBuffer();
  EXPECT_EQ(At(px, 0, 0), kGreen);
  EXPECT_EQ(At(px, 15, 15), kGreen);
  EXPECT_EQ(At(px, 16, 16), kGrey);
}

TEST_F(RenderTargetTest, TargetsThatCannotBeMadeAreNullAndNothingElseBreaks) {
  EXPECT_EQ(dev().CreateRenderTarget(0, 16), nullptr);
  EXPECT_EQ(dev().CreateRenderTarget(16, 1u << 20), nullptr);
  dev().ForceRenderTargetFailure(true);
  EXPECT_EQ(dev().CreateRenderTarget(128, 128), nullptr);
  dev().SetRenderTarget(nullptr);  // back to the back buffer, as it was
  dev().Clear(ClearTarget, kBlue);
  EXPECT_EQ(At(dev().ReadBackBuffer(), 639, 479), kBlue);
  dev().ForceRenderTargetFailure(false);
  TargetPtr target(dev().CreateRenderTarget(128, 128));
  EXPECT_TRUE(target);
}

TEST_F(RenderTargetTest, TargetReleasedWhileCurrentLivesUntilTheDeviceLetsItGo) {
  RenderTarget* target = dev().CreateRenderTarget(8, 8);
  ASSERT_NE(target, nullptr);
  dev().SetRenderTarget(target);
  target->Release();  // the device still holds it
  dev().Clear(ClearTarget, kRed);
  dev().SetRenderTarget(nullptr);
  dev().Clear(ClearTarget, kBlue);
  EXPECT_EQ(At(dev().ReadBackBuffer(), 0, 0), kBlue);

  // A device destroyed with a target current lets it go too.
  RenderTarget* last = dev().CreateRenderTarget(8, 8);
  ASSERT_NE(last, nullptr);
  dev().SetRenderTarget(last);
  last->Release();
  device_.reset();
}

}  // namespace
}  // namespace gltest
