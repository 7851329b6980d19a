#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "GlTestContext.h"
#include "render/Texture.h"
#include "render/UiDraw.h"

namespace {

// Texel colour by font cell (32 wide, 44 tall), so a read-back tells which
// cell was drawn; every texel of a cell shares its colour.
uint32_t CellColour(int cx, int cy) { return 0xFF000000u | (40u + cx * 12u) << 16 | (40u + cy * 16u) << 8 | 200u; }
uint32_t CellColourAt(int x, int y) { return CellColour(x / 32, y / 44); }
uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFFu; }

class UiDraw : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (HasFatalFailure()) return;
    path_ = ::testing::TempDir() + "ui_sheet_" + std::to_string(getpid()) + ".bmp";
    ASSERT_TRUE(WriteBmp(path_, 512, 512, CellColourAt));
    ASSERT_TRUE(sheet.Load(device, path_.c_str(), 0));
    ClearTo(0xFF000000u);
  }
  void TearDown() override {
    sheet.Release();
    std::remove(path_.c_str());
    GlTest::TearDown();
  }

  // Draws between the sprite's Begin and End, then reads the picture.
  template <typename F>
  std::vector<uint32_t> Draw(F draw) {
    g_graphics.GetSprite()->Begin();
    draw();
    g_graphics.GetSprite()->End();
    return Picture();
  }

  Texture sheet;

 private:
  std::string path_;
};

TEST_F(UiDraw, FixedDigitCountPadsWithZerosToTheLeft) {
  const auto p = Draw([&] { DrawNumber(&sheet, 3, 100, 50, 1.0f, 5); });
  // Digit 5 is cell (5, 0); 0 is cell (0, 0). Cells are 24 by 31 pixels.
  EXPECT_EQ(At(p, 100, 50), Rgb(CellColour(5, 0)));
  EXPECT_EQ(At(p, 123, 80), Rgb(CellColour(5, 0)));
  EXPECT_EQ(At(p, 124, 65), 0u);
  EXPECT_EQ(At(p, 100, 81), 0u);
  EXPECT_EQ(At(p, 99, 65), 0u) << "one pixel between digits";
  EXPECT_EQ(At(p, 75, 50), Rgb(CellColour(0, 0)));
  EXPECT_EQ(At(p, 98, 80), Rgb(CellColour(0, 0)));
  EXPECT_EQ(At(p, 50, 65), Rgb(CellColour(0, 0)));
  EXPECT_EQ(At(p, 49, 65), 0u);
}

TEST_F(UiDraw, NaturalDigitCountAndTheSecondRowOfDigits) {
  const auto p = Draw([&] { DrawNumber(&sheet, 0, 200, 100, 1.0f, 1289); });
  EXPECT_EQ(At(p, 210, 110), Rgb(CellColour(1, 1))) << "9 sits in the second row";
  EXPECT_EQ(At(p, 185, 110), Rgb(CellColour(0, 1))) << "8 too";
  EXPECT_EQ(At(p, 160, 110), Rgb(CellColour(2, 0)));
  EXPECT_EQ(At(p, 135, 110), Rgb(CellColour(1, 0)));
  EXPECT_EQ(At(p, 115, 110), 0u) << "no fifth digit";
}

TEST_F(UiDraw, HalfScaleStepsThirteenPixels) {
  const auto p = Draw([&] { DrawNumber(&sheet, 0, 100, 100, 0.5f, 12); });
  EXPECT_EQ(At(p, 100, 100), Rgb(CellColour(2, 0)));
  EXPECT_EQ(At(p, 111, 114), Rgb(CellColour(2, 0)));
  EXPECT_EQ(At(p, 112, 107), 0u);
  EXPECT_EQ(At(p, 87, 100), Rgb(CellColour(1, 0)));
  EXPECT_EQ(At(p, 98, 107), Rgb(CellColour(1, 0)));
  EXPECT_EQ(At(p, 99, 107), 0u);
}

TEST_F(UiDraw, NegativeValuesShowZeros) {
  const auto p = Draw([&] { DrawNumber(&sheet, 2, 300, 300, 1.0f, -5); });
  EXPECT_EQ(At(p, 310, 310), Rgb(CellColour(0, 0)));
  EXPECT_EQ(At(p, 285, 310), Rgb(CellColour(0, 0)));
}

TEST_F(UiDraw, GlyphCellsAndCodesOutOfRange) {
  const auto p = Draw([&] {
    DrawGlyph(&sheet, 300, 200, 1.0f, 10);  // cell (2, 1)
    DrawGlyph(&sheet, 10, 10, 1.0f, 47);
    DrawGlyph(&sheet, 10, 10, 1.0f, -1);
    DrawGlyph(&sheet, 10, 10, 1.0f, 1 << 30);
  });
  EXPECT_EQ(At(p, 300, 200), Rgb(CellColour(2, 1)));
  EXPECT_EQ(At(p, 323, 236), Rgb(CellColour(2, 1)));
  EXPECT_EQ(At(p, 324, 210), 0u);
  EXPECT_EQ(At(p, 310, 237), 0u);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(At(p, x, y), 0u) << x << "," << y;
}

TEST_F(UiDraw, SpriteIdsDrawTheirRectangleOrTheWholeTexture) {
  const port::Vec2 one{1.0f, 1.0f};
  const port::Vec2 at{20.0f, 300.0f};
  auto p = Draw([&] { DrawUiSprite(&sheet, &at, &one, 25); });  // 124, 1, 221, 41
  EXPECT_EQ(At(p, 20, 300), Rgb(CellColour(3, 0)));
  EXPECT_EQ(At(p, 116, 339), Rgb(CellColour(6, 0)));
  EXPECT_EQ(At(p, 117, 320), 0u);
  EXPECT_EQ(At(p, 60, 340), 0u);

  for (int id : {21, 200, -3}) {
    ClearTo(0xFF000000u);
    const port::Vec2 half{0.25f, 0.25f};
    const port::Vec2 corner{0.0f, 0.0f};
    p = Draw([&] { DrawUiSprite(&sheet, &corner, &half, id); });
    EXPECT_EQ(At(p, 0, 0), Rgb(CellColour(0, 0))) << id;
    EXPECT_NE(At(p, 127, 127), 0u) << id;
    EXPECT_EQ(At(p, 128, 64), 0u) << id;
  }
}

TEST_F(UiDraw, VeilDarkensAndIdThirtyTurnsUpward) {
  ClearTo(0xFFFFFFFFu);
  const port::Vec2 one{1.0f, 1.0f};
  const port::Vec2 two{2.0f, 2.0f};
  const port::Vec2 corner{0.0f, 0.0f};
  const port::Vec2 at{300.0f, 300.0f};
  const auto p = Draw([&] {
    DrawUiSprite(&sheet, &corner, &two, kUiSpriteVeil);
    DrawUiSprite(&sheet, &at, &one, 30);  // 67 by 7, turned a quarter to the left
  });
  const uint32_t veiled = At(p, 600, 400);
  EXPECT_NEAR(static_cast<int>(veiled & 0xFF), 155, 2);
  EXPECT_NEAR(static_cast<int>(veiled >> 16), 155, 2);
  // Texel (184, 75) of cell (5, 1) lands 10 pixels above the position.
  EXPECT_EQ(At(p, 303, 290), Rgb(CellColour(5, 1))) << "the rectangle now rises from the position";
  EXPECT_EQ(At(p, 330, 303), veiled) << "nothing where it would lie unturned";
}

TEST_F(UiDraw, AMissingTextureDrawsNothing) {
  Texture missing;
  EXPECT_FALSE(missing.Load(device, "texture/no_such_file.png", 0));
  const port::Vec2 one{1.0f, 1.0f};
  const port::Vec2 at{0.0f, 0.0f};
  const auto p = Draw([&] {
    DrawNumber(nullptr, 3, 100, 100, 1.0f, 123);
    DrawNumber(&missing, 3, 100, 100, 1.0f, 123);
    DrawGlyph(nullptr, 100, 100, 1.0f, 3);
    DrawGlyph(&missing, 100, 100, 1.0f, 3);
    DrawUiSprite(nullptr, &at, &one, 25);
    DrawUiSprite(&missing, &at, &one, 114);
  });
  for (uint32_t px : p) ASSERT_EQ(px & 0xFFFFFFu, 0u);
}

TEST(UiSpriteTable, RectanglesOfTheTable) {
  port::Rect r;
  ASSERT_TRUE(UiSpriteRect(2, &r));
  EXPECT_EQ(r.left, 315);
  EXPECT_EQ(r.bottom, 73);
  ASSERT_TRUE(UiSpriteRect(113, &r));
  EXPECT_EQ(r.left, 481);
  EXPECT_EQ(r.right, 501);
  ASSERT_TRUE(UiSpriteRect(96, &r));
  EXPECT_EQ(r.bottom, 544);
  ASSERT_TRUE(UiSpriteRect(24, &r));
  EXPECT_EQ(r.right, 118);
  for (int id : {-1, 0, 1, 20, 21, 22, 23, 114, 115, 1000}) EXPECT_FALSE(UiSpriteRect(id, &r)) << id;
  const port::Rect nine = DigitRect(9);
  EXPECT_EQ(nine.left, 35);
  EXPECT_EQ(nine.top, 46);
  EXPECT_EQ(nine.bottom, 77);
}

}  // namespace
