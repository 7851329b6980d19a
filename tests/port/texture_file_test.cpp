#include <gtest/gtest.h>

#include "port/texture_file.h"

using port::Image;

namespace {
Image Make(uint32_t w, uint32_t h, std::vector<uint32_t> texels) {
  Image img;
  img.width = w;
  img.height = h;
  img.argb = std::move(texels);
  return img;
}
}  // namespace

TEST(TextureLevels, SidesRoundUpToPowersOfTwoWithThePictureStretched) {
  EXPECT_EQ(port::NextPowerOfTwo(0), 1u);
  EXPECT_EQ(port::NextPowerOfTwo(1), 1u);
  EXPECT_EQ(port::NextPowerOfTwo(3), 4u);
  EXPECT_EQ(port::NextPowerOfTwo(64), 64u);
  EXPECT_EQ(port::NextPowerOfTwo(65), 128u);

  // 3 texels stretched to 4: the ends keep their colours, the middle blends linearly.
  Image row = Make(3, 1, {0xFF000000, 0xFF808080, 0xFFFFFFFF});
  std::vector<Image> levels = port::BuildTextureLevels(row, 0);
  ASSERT_EQ(levels.size(), 3u);
  ASSERT_EQ(levels[0].width, 4u);
  ASSERT_EQ(levels[0].height, 1u);
  EXPECT_EQ(levels[0].argb[0], 0xFF000000u);
  EXPECT_EQ(levels[0].argb[3], 0xFFFFFFFFu);
  // Texel 1 samples source position 0.625: 0x80 * 0.625 = 80.
  EXPECT_EQ(levels[0].argb[1], 0xFF505050u);
  // Texel 2 samples 1.375: 0x80 + (0xFF - 0x80) * 0.375 = 176.
  EXPECT_EQ(levels[0].argb[2], 0xFFB0B0B0u);

  // A plain colour stays plain at any stretch; a power-of-two image is untouched.
  Image plain = Make(5, 3, std::vector<uint32_t>(15, 0x80112233));
  Image big = port::ResizeLinear(plain, 8, 4);
  for (uint32_t t : big.argb) EXPECT_EQ(t, 0x80112233u);
  Image exact = Make(2, 2, {1, 2, 3, 4});
  EXPECT_EQ(port::BuildTextureLevels(exact, 0)[0].argb, exact.argb);
}

TEST(TextureLevels, ColourKeyClearsExactMatchesBeforeResizing) {
  // The key includes alpha: 0x00FF00FF does not match 0xFFFF00FF.
  Image img = Make(2, 2, {0xFFFF00FF, 0x00FF00FF, 0xFF00FF00, 0xFFFF00FF});
  port::ApplyColourKey(&img, 0xFFFF00FF);
  EXPECT_EQ(img.argb, (std::vector<uint32_t>{0, 0x00FF00FF, 0xFF00FF00, 0}));
  Image same = Make(1, 1, {0});
  port::ApplyColourKey(&same, 0);
  EXPECT_EQ(same.argb[0], 0u);

  // Keyed before the stretch: the keyed texel's transparent black blends into its neighbour.
  Image row = Make(3, 1, {0xFFFF00FF, 0xFFFFFFFF, 0xFFFFFFFF});
  std::vector<Image> levels = port::BuildTextureLevels(row, 0xFFFF00FF);
  EXPECT_EQ(levels[0].argb[0], 0u);
  EXPECT_EQ(levels[0].argb[1], 0xFFFFFFFFu & 0x9F9F9F9Fu);  // 0.625 of the way to white
}

TEST(TextureLevels, FullMipChainIsBoxFiltered) {
  EXPECT_EQ(port::FullMipLevels(1, 1), 1u);
  EXPECT_EQ(port::FullMipLevels(256, 256), 9u);
  EXPECT_EQ(port::FullMipLevels(8, 2), 4u);

  Image img = Make(4, 2,
                   {0xFF000000, 0xFF040404, 0x00000000, 0x00000000, 0xFF080808, 0xFF0C0C0C,
                    0xFFFFFFFF, 0xFFFFFFFF});
  std::vector<Image> levels = port::BuildTextureLevels(img, 0);
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[1].width, 2u);
  EXPECT_EQ(levels[1].height, 1u);
  EXPECT_EQ(levels[1].argb[0], 0xFF060606u);
  EXPECT_EQ(levels[1].argb[1], 0x80808080u);  // channels averaged on their own, alpha included
  EXPECT_EQ(levels[2].width, 1u);
  EXPECT_EQ(levels[2].height, 1u);
  EXPECT_EQ(levels[2].argb[0], 0xC0434343u);

  // A 1-wide column halves only its height.
  Image column = Make(1, 4, {0xFF000000, 0xFF020202, 0xFF101010, 0xFF101010});
  Image half = port::HalveBox(column);
  EXPECT_EQ(half.width, 1u);
  EXPECT_EQ(half.argb, (std::vector<uint32_t>{0xFF010101, 0xFF101010}));
}

TEST(TextureLevels, EmptyImageGivesNoLevels) {
  EXPECT_TRUE(port::BuildTextureLevels(Image{}, 0).empty());
  port::gpu::Texture* texture = reinterpret_cast<port::gpu::Texture*>(1);
  EXPECT_TRUE(
      port::Failed(port::CreateTextureFromFile(nullptr, "data/circle_shadow.png", 0, &texture)));
  EXPECT_EQ(texture, nullptr);
}
