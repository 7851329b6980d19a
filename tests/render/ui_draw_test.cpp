#include <gtest/gtest.h>

#include <string>

#include <fstream>

#include "render/Texture.h"
#include "render/UiDraw.h"
#include "support/gl_context.h"
#include "support/image_encoders.h"
#include "support/temp_dir.h"

namespace {

// Texel colour by font cell (32 wide, 44 tall), so a read-back tells which
// cell was drawn; every texel of a cell shares its colour.
uint32_t CellColour(int cx, int cy) {
  return 0xFF000000u | (40u + cx * 12u) << 16 | (40u + cy * 16u) << 8 | 200u;
}
uint32_t CellColourAt(int x, int y) { return CellColour(x / 32, y / 44); }
uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFFu; }

// The font sheet as a 512x512 24-bit BMP.
bool WriteSheet(const std::string& path) {
  std::vector<std::vector<uint8_t>> rows(512);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x)
      for (int shift = 0; shift < 24; shift += 8)
        rows[y].push_back(static_cast<uint8_t>(CellColourAt(x, y) >> shift));
  const std::vector<uint8_t> bmp = testimg::EncodeBmp(512, 512, 24, rows, false);
  std::ofstream out(path, std::ios::binary);
  return static_cast<bool>(out.write(reinterpret_cast<const char*>(bmp.data()),
                                     static_cast<std::streamsize>(bmp.size())));
}

class UiDraw : public gltest::GameDeviceTest {
 protected:
  void SetUp() override {
    gltest::GameDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    path_ = (dir_.path() / "ui_sheet.bmp").string();
    ASSERT_TRUE(WriteSheet(path_));
    ASSERT_TRUE(sheet.Load(device, path_.c_str(), 0));
    ClearTo(0xFF000000u);
  }
  void TearDown() override {
    sheet.Release();
    gltest::GameDeviceTest::TearDown();
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
  testsupport::TempDir dir_;
  std::string path_;
};

TEST_F(UiDraw, FixedDigitCountPadsWithZerosToTheLeft) {
  const auto p = Draw([&] { DrawNumber(&sheet, 3, 100, 50, 1.0f, 5); });
  // Digit 5 is cell (5, 0); 0 is cell (0, 0). Cells are 24 by 31 pixels.
  EXPECT_EQ(gltest::Rgb(p, 100, 50), Rgb(CellColour(5, 0)));
  EXPECT_EQ(gltest::Rgb(p, 123, 80), Rgb(CellColour(5, 0)));
  EXPECT_EQ(gltest::Rgb(p, 124, 65), 0u);
  EXPECT_EQ(gltest::Rgb(p, 100, 81), 0u);
  EXPECT_EQ(gltest::Rgb(p, 99, 65), 0u) << "one pixel between digits";
  EXPECT_EQ(gltest::Rgb(p, 75, 50), Rgb(CellColour(0, 0)));
  EXPECT_EQ(gltest::Rgb(p, 98, 80), Rgb(CellColour(0, 0)));
  EXPECT_EQ(gltest::Rgb(p, 50, 65), Rgb(CellColour(0, 0)));
  EXPECT_EQ(gltest::Rgb(p, 49, 65), 0u);
}

TEST_F(UiDraw, NaturalDigitCountAndTheSecondRowOfDigits) {
  const auto p = Draw([&] { DrawNumber(&sheet, 0, 200, 100, 1.0f, 1289); });
  EXPECT_EQ(gltest::Rgb(p, 210, 110), Rgb(CellColour(1, 1))) << "9 sits in the second row";
  EXPECT_EQ(gltest::Rgb(p, 185, 110), Rgb(CellColour(0, 1))) << "8 too";
  EXPECT_EQ(gltest::Rgb(p, 160, 110), Rgb(CellColour(2, 0)));
  EXPECT_EQ(gltest::Rgb(p, 135, 110), Rgb(CellColour(1, 0)));
  EXPECT_EQ(gltest::Rgb(p, 115, 110), 0u) << "no fifth digit";
}

TEST_F(UiDraw, HalfScaleStepsThirteenPixels) {
  const auto p = Draw([&] { DrawNumber(&sheet, 0, 100, 100, 0.5f, 12); });
  EXPECT_EQ(gltest::Rgb(p, 100, 100), Rgb(CellColour(2, 0)));
  EXPECT_EQ(gltest::Rgb(p, 111, 114), Rgb(CellColour(2, 0)));
  EXPECT_EQ(gltest::Rgb(p, 112, 107), 0u);
  EXPECT_EQ(gltest::Rgb(p, 87, 100), Rgb(CellColour(1, 0)));
  EXPECT_EQ(gltest::Rgb(p, 98, 107), Rgb(CellColour(1, 0)));
  EXPECT_EQ(gltest::Rgb(p, 99, 107), 0u);
}

TEST_F(UiDraw, NegativeValuesShowZeros) {
  const auto p = Draw([&] { DrawNumber(&sheet, 2, 300, 300, 1.0f, -5); });
  EXPECT_EQ(gltest::Rgb(p, 310, 310), Rgb(CellColour(0, 0)));
  EXPECT_EQ(gltest::Rgb(p, 285, 310), Rgb(CellColour(0, 0)));
}

TEST_F(UiDraw, GlyphCellsAndCodesOutOfRange) {
  const auto p = Draw([&] {
    DrawGlyph(&sheet, 300, 200, 1.0f, 10);  // cell (2, 1)
    DrawGlyph(&sheet, 10, 10, 1.0f, 47);
    DrawGlyph(&sheet, 10, 10, 1.0f, -1);
    DrawGlyph(&sheet, 10, 10, 1.0f, 1 << 30);
  });
  EXPECT_EQ(gltest::Rgb(p, 300, 200), Rgb(CellColour(2, 1)));
  EXPECT_EQ(gltest::Rgb(p, 323, 236), Rgb(CellColour(2, 1)));
  EXPECT_EQ(gltest::Rgb(p, 324, 210), 0u);
  EXPECT_EQ(gltest::Rgb(p, 310, 237), 0u);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(gltest::Rgb(p, x, y), 0u) << x << "," << y;
}

TEST_F(UiDraw, SpriteIdsDrawTheirRectangleOrTheWholeTexture) {
  const port::Vec2 one{1.0f, 1.0f};
  const port::Vec2 at{20.0f, 300.0f};
  auto p = Draw([&] { DrawUiSprite(&sheet, &at, &one, 25); });  // 124, 1, 221, 41
  EXPECT_EQ(gltest::Rgb(p, 20, 300), Rgb(CellColour(3, 0)));
  EXPECT_EQ(gltest::Rgb(p, 116, 339), Rgb(CellColour(6, 0)));
  EXPECT_EQ(gltest::Rgb(p, 117, 320), 0u);
  EXPECT_EQ(gltest::Rgb(p, 60, 340), 0u);

  for (int id : {21, 200, -3}) {
    ClearTo(0xFF000000u);
    const port::Vec2 half{0.25f, 0.25f};
    const port::Vec2 corner{0.0f, 0.0f};
    p = Draw([&] { DrawUiSprite(&sheet, &corner, &half, id); });
    EXPECT_EQ(gltest::Rgb(p, 0, 0), Rgb(CellColour(0, 0))) << id;
    EXPECT_NE(gltest::Rgb(p, 127, 127), 0u) << id;
    EXPECT_EQ(gltest::Rgb(p, 128, 64), 0u) << id;
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
  const uint32_t veiled = gltest::Rgb(p, 600, 400);
  EXPECT_NEAR(static_cast<int>(veiled & 0xFF), 155, 2);
  EXPECT_NEAR(static_cast<int>(veiled >> 16), 155, 2);
  // Texel (184, 75) of cell (5, 1) lands 10 pixels above the position.
  EXPECT_EQ(gltest::Rgb(p, 303, 290), Rgb(CellColour(5, 1)))
      << "the rectangle now rises from the position";
  EXPECT_EQ(gltest::Rgb(p, 330, 303), veiled) << "nothing where it would lie unturned";
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

TEST(UiSpriteTable, IdsOutsideTheTableHaveNoRectangle) {
  port::Rect r;
  for (int id : {2, 24, 96, 113}) EXPECT_TRUE(UiSpriteRect(id, &r)) << id;
  for (int id : {-1, 0, 1, 20, 21, 22, 23, 114, 115, 1000})
    EXPECT_FALSE(UiSpriteRect(id, &r)) << id;
}

}  // namespace
