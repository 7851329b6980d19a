// Sprites and text over the back buffer.
#include <cstring>

#include "port/sprite.h"
#include "support/gl_context.h"

namespace gltest {
namespace {

using namespace port::gpu;

// 4 by 2 texels, each a different opaque colour.
const uint32_t kTexels[8] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u,
                             0xFF00FFFFu, 0xFFFF00FFu, 0xFF808080u, 0xFFFFFFFFu};

class SpriteTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    sprite_ = port::Sprite::Create(dev());
    ASSERT_TRUE(sprite_);
    texture_ = dev().CreateTexture(4, 2, 1);
    ASSERT_NE(texture_, nullptr);
    texture_->Update(0, kTexels);
    dev().Clear(ClearTarget | ClearZBuffer, 0xFF000000u);
  }
  void TearDown() override {
    port::SafeRelease(texture_);
    sprite_.reset();
    DeviceTest::TearDown();
  }
  std::unique_ptr<port::Sprite> sprite_;
  Texture* texture_ = nullptr;
};

TEST_F(SpriteTest, DrawsEachTexelAtItsPixel) {
  const port::Vec2 at{10, 20};
  sprite_->Begin();
  sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFFu);
  sprite_->End();
  const auto px = dev().ReadBackBuffer();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(At(px, 10 + x, 20 + y), kTexels[y * 4 + x]) << x << "," << y;
  EXPECT_EQ(At(px, 9, 20), 0xFF000000u);
  EXPECT_EQ(At(px, 14, 20), 0xFF000000u);
  EXPECT_EQ(At(px, 10, 19), 0xFF000000u);
  EXPECT_EQ(At(px, 10, 22), 0xFF000000u);
}

TEST_F(SpriteTest, SourceRectScalingAndColourModulation) {
  port::Rect src;
  src.left = 1;
  src.top = 1;
  src.right = 3;
  src.bottom = 2;  // texels (1,1) and (2,1)
  const port::Vec2 at{100, 100}, scale{2, 3};
  sprite_->Begin();
  sprite_->Draw(texture_, &src, &scale, nullptr, 0.0f, &at, 0xFFFF0000u);
  sprite_->End();
  const auto px = dev().ReadBackBuffer();
  // Scaled 2 by 3 and kept only the red of magenta and grey.
  EXPECT_EQ(At(px, 100, 100), 0xFFFF0000u);
  EXPECT_EQ(At(px, 101, 102), 0xFFFF0000u);
  EXPECT_EQ(At(px, 102, 100), 0xFF800000u);
  EXPECT_EQ(At(px, 103, 102), 0xFF800000u);
  EXPECT_EQ(At(px, 104, 100), 0xFF000000u);
  EXPECT_EQ(At(px, 100, 103), 0xFF000000u);
}

TEST_F(SpriteTest, NegativeQuarterTurnIsCounterClockwiseAboutTheTopLeft) {
  const port::Vec2 at{100, 100};
  sprite_->Begin();
  sprite_->Draw(texture_, nullptr, nullptr, nullptr, -1.57f, &at, 0xFFFFFFFFu);
  sprite_->End();
  const auto px = dev().ReadBackBuffer();
  // Texel (x, y) lands at (100 + y, 99 - x): the top row now runs upward on the left.
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(At(px, 100 + y, 99 - x), kTexels[y * 4 + x]) << x << "," << y;
  EXPECT_EQ(At(px, 100, 100), 0xFF000000u);
}

TEST_F(SpriteTest, RotationCentreTurnsAboutThatPoint) {
  const port::Vec2 at{200, 200}, centre{2, 1};
  sprite_->Begin();
  sprite_->Draw(texture_, nullptr, nullptr, &centre, 3.14159265f, &at, 0xFFFFFFFFu);
  sprite_->End();
  const auto px = dev().ReadBackBuffer();
  // A half turn about the middle mirrors the image in place.
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(At(px, 200 + 3 - x, 200 + 1 - y), kTexels[y * 4 + x]) << x << "," << y;
}

TEST_F(SpriteTest, BeginSetsTwoDimensionalStatesAndEndRestoresThem) {
  dev().SetRenderState(RenderState::Lighting, 1);
  dev().SetRenderState(RenderState::ZEnable, 1);
  dev().SetRenderState(RenderState::CullMode, CullCW);
  dev().SetRenderState(RenderState::AlphaBlendEnable, 0);
  dev().SetTextureStageState(1, StageState::ColorOp, TexOpModulate);
  port::Matrix world = port::MatrixTranslation(1, 2, 3);
  dev().SetTransform(TransformType::World, world);
  dev().SetFVF(fvf::XYZ | fvf::Normal);

  sprite_->Begin();
  EXPECT_EQ(dev().GetRenderState(RenderState::Lighting), 0u);
  EXPECT_EQ(dev().GetRenderState(RenderState::ZEnable), 0u);
  EXPECT_EQ(dev().GetRenderState(RenderState::CullMode), CullNone);
  EXPECT_EQ(dev().GetRenderState(RenderState::AlphaBlendEnable), 1u);
  // Half-transparent texels blend over what lies below.
  const uint32_t half[1] = {0x80FFFFFFu};
  Texture* t = dev().CreateTexture(1, 1, 1);
  t->Update(0, half);
  const port::Vec2 at{5, 5};
  sprite_->Draw(t, nullptr, nullptr, nullptr, 0, &at, 0xFFFFFFFFu);
  sprite_->End();
  t->Release();
  EXPECT_TRUE(NearArgb(At(dev().ReadBackBuffer(), 5, 5) & 0x00FFFFFF, 0x00808080u, 1));

  EXPECT_EQ(dev().GetRenderState(RenderState::Lighting), 1u);
  EXPECT_EQ(dev().GetRenderState(RenderState::ZEnable), 1u);
  EXPECT_EQ(dev().GetRenderState(RenderState::CullMode), CullCW);
  EXPECT_EQ(dev().GetRenderState(RenderState::AlphaBlendEnable), 0u);
  EXPECT_EQ(dev().GetTextureStageState(1, StageState::ColorOp), TexOpModulate);
  EXPECT_EQ(dev().GetTransform(TransformType::World), world);
  EXPECT_EQ(FvfFromLayout(dev().GetVertexLayout()), fvf::XYZ | fvf::Normal);
  EXPECT_EQ(dev().GetTexture(0), nullptr);
}

TEST_F(SpriteTest, NullTextureDrawsNothing) {
  sprite_->Begin();
  sprite_->Draw(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0xFFFFFFFFu);
  sprite_->End();
  EXPECT_EQ(At(dev().ReadBackBuffer(), 0, 0), 0xFF000000u);
}

TEST_F(DeviceTest, FontDrawsShiftJisTextInsideItsRectangle) {
  if (!port::Font::Available()) GTEST_SKIP() << "no Japanese font installed";
  auto font = port::Font::Create(dev(), 20, 10);
  ASSERT_TRUE(font);
  dev().Clear(ClearTarget, 0xFF000000u);
  port::Rect r;
  r.left = 10;
  r.top = 10;
  r.right = 640;
  r.bottom = 480;
  // "エラー" then a second line "AB".
  const char text[] = "\x83\x47\x83\x89\x81\x5b\nAB";
  EXPECT_EQ(font->DrawText(text, -1, r, port::FontExpandTabs, 0xFFFFFFFFu), 40);
  auto px = dev().ReadBackBuffer();
  auto lit = [&](int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += (At(px, x, y) & 0xFF) > 128;
    return n;
  };
  EXPECT_GT(lit(10, 10, 70, 30), 20);  // first line, three full-width glyphs
  EXPECT_GT(lit(10, 30, 30, 50), 10);  // second line
  EXPECT_EQ(lit(0, 0, 640, 10), 0);    // nothing above the rectangle
  EXPECT_EQ(lit(40, 30, 640, 50), 0);  // "AB" is two half-width cells

  // Clipped to a small rectangle.
  dev().Clear(ClearTarget, 0xFF000000u);
  r.right = 20;
  r.bottom = 20;
  font->DrawText(text, -1, r, port::FontExpandTabs, 0xFFFFFFFFu);
  px = dev().ReadBackBuffer();
  EXPECT_EQ(lit(20, 0, 640, 480), 0);
  EXPECT_EQ(lit(0, 20, 640, 480), 0);
}

}  // namespace
}  // namespace gltest
