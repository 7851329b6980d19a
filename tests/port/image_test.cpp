#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "port/image.h"
#include "support/hostile_files.h"
#include "support/image_encoders.h"
#include "support/temp_dir.h"

using port::Image;
using namespace testimg;

namespace {

std::vector<uint8_t> Row(std::initializer_list<int> bytes) {
  std::vector<uint8_t> r;
  for (int b : bytes) r.push_back(static_cast<uint8_t>(b));
  return r;
}

void ExpectPixels(const Image& img, uint32_t w, uint32_t h, const std::vector<uint32_t>& want) {
  ASSERT_EQ(img.width, w);
  ASSERT_EQ(img.height, h);
  ASSERT_EQ(img.argb.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_EQ(img.argb[i], want[i])
        << "texel " << i << std::hex << " got 0x" << img.argb[i] << " want 0x" << want[i];
}

bool Decode(const std::vector<uint8_t>& bytes, Image* img) {
  return port::DecodeImage(bytes.data(), bytes.size(), img);
}

}  // namespace

TEST(ImagePng, DecodesColourTypesAndDepthsToArgb) {
  auto png = [](uint32_t w, uint32_t h, int type, int depth,
                std::vector<std::vector<uint8_t>> rows) {
    PngLayout l{w, h, type, depth};
    l.rows = std::move(rows);
    return l;
  };
  PngLayout pal = png(3, 1, PNG_COLOR_TYPE_PALETTE, 8, {Row({1, 0, 1})});
  pal.palette = {{10, 20, 30}, {200, 100, 50}};
  pal.trns = {255, 0};
  PngLayout pal4 = png(2, 1, PNG_COLOR_TYPE_PALETTE, 4, {Row({0x21})});
  pal4.palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}};
  const struct {
    const char* what;
    PngLayout layout;
    std::vector<uint32_t> want;
  } cases[] = {
      {"rgba",
       png(2, 2, PNG_COLOR_TYPE_RGBA, 8,
           {Row({255, 0, 0, 255, 0, 255, 0, 128}), Row({0, 0, 255, 0, 10, 20, 30, 40})}),
       {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x280A141E}},
      {"rgb decodes opaque",
       png(2, 1, PNG_COLOR_TYPE_RGB, 8, {Row({1, 2, 3, 250, 251, 252})}),
       {0xFF010203, 0xFFFAFBFC}},
      {"palette with per-entry alpha", pal, {0x00C86432, 0xFF0A141E, 0x00C86432}},
      {"4-bit palette, two texels a byte", pal4, {0xFF030303, 0xFF020202}},
      {"grey", png(2, 1, PNG_COLOR_TYPE_GRAY, 8, {Row({0, 77})}), {0xFF000000, 0xFF4D4D4D}},
      {"grey with alpha", png(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {Row({200, 100})}), {0x64C8C8C8}},
      {"1-bit grey",
       png(3, 1, PNG_COLOR_TYPE_GRAY, 1, {Row({0xA0})}),
       {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
      {"16-bit keeps the high bytes",
       png(1, 1, PNG_COLOR_TYPE_RGBA, 16, {Row({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF})}),
       {0xFF12569A}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image img;
    ASSERT_TRUE(Decode(EncodePng(c.layout), &img));
    ExpectPixels(img, c.layout.width, c.layout.height, c.want);
  }
}

TEST(ImagePng, InterlacedMatchesPlain) {
  PngLayout s{9, 7, PNG_COLOR_TYPE_RGB, 8};
  std::vector<uint32_t> want;
  for (uint32_t y = 0; y < s.height; ++y) {
    std::vector<uint8_t> r;
    for (uint32_t x = 0; x < s.width; ++x) {
      uint8_t c[3] = {static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 30),
                      static_cast<uint8_t>(x + y)};
      r.insert(r.end(), c, c + 3);
      want.push_back(0xFF000000u | (c[0] << 16) | (c[1] << 8) | c[2]);
    }
    s.rows.push_back(r);
  }
  s.interlaced = true;
  Image img;
  ASSERT_TRUE(Decode(EncodePng(s), &img));
  ExpectPixels(img, 9, 7, want);
}

TEST(ImageJpeg, DecodesColourAndGreyWithinCompressionError) {
  const uint32_t w = 16, h = 16;
  std::vector<uint8_t> rgb;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      bool left = x < 8;
      rgb.push_back(left ? 200 : 20);
      rgb.push_back(left ? 40 : 180);
      rgb.push_back(y < 8 ? 60 : 240);
    }
  for (bool progressive : {false, true}) {
    Image img;
    ASSERT_TRUE(Decode(EncodeJpeg(w, h, 3, rgb, progressive), &img));
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    // Block centres are far from the colour edges.
    for (auto [x, y] : {std::pair{3u, 3u}, {12u, 3u}, {3u, 12u}, {12u, 12u}}) {
      uint32_t t = img.argb[y * w + x];
      const uint8_t* want = rgb.data() + (y * w + x) * 3;
      EXPECT_EQ(t >> 24, 0xFFu);
      EXPECT_NEAR(static_cast<int>((t >> 16) & 0xFF), want[0], 6);
      EXPECT_NEAR(static_cast<int>((t >> 8) & 0xFF), want[1], 6);
      EXPECT_NEAR(static_cast<int>(t & 0xFF), want[2], 6);
    }
  }
  std::vector<uint8_t> grey(64, 90);
  Image img;
  ASSERT_TRUE(Decode(EncodeJpeg(8, 8, 1, grey), &img));
  EXPECT_NEAR(static_cast<int>(img.argb[27] & 0xFF), 90, 2);
  EXPECT_EQ(img.argb[27] >> 8 & 0xFF, img.argb[27] & 0xFF);
}

TEST(ImageBmp, DecodesEachDepthInBothRowOrders) {
  // 3 wide: rows padded from 9 to 12 bytes at 24 bits.
  const std::vector<std::vector<uint8_t>> rows24 = {Row({0, 0, 255, 0, 255, 0, 255, 0, 0}),
                                                    Row({1, 2, 3, 4, 5, 6, 7, 8, 9})};
  const std::vector<uint32_t> want24 = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                        0xFF030201, 0xFF060504, 0xFF090807};
  for (bool topDown : {false, true}) {
    Image img;
    ASSERT_TRUE(Decode(EncodeBmp(3, 2, 24, rows24, topDown), &img));
    ExpectPixels(img, 3, 2, want24);
  }

  // 8-bit palette, 5 wide (padded to 8).
  const std::vector<uint32_t> palette = {0x00102030, 0x00FFFFFF, 0x00000080};
  for (bool topDown : {false, true}) {
    Image img;
    ASSERT_TRUE(Decode(
        EncodeBmp(5, 2, 8, {Row({0, 1, 2, 1, 0}), Row({2, 2, 2, 2, 1})}, topDown, palette), &img));
    ExpectPixels(img, 5, 2,
                 {0xFF102030, 0xFFFFFFFF, 0xFF000080, 0xFFFFFFFF, 0xFF102030, 0xFF000080,
                  0xFF000080, 0xFF000080, 0xFF000080, 0xFFFFFFFF});
  }

  // 32-bit plain: the fourth byte is unused, so texels are opaque.
  Image img;
  ASSERT_TRUE(Decode(EncodeBmp(2, 1, 32, {Row({1, 2, 3, 0, 4, 5, 6, 77})}, false), &img));
  ExpectPixels(img, 2, 1, {0xFF030201, 0xFF060504});

  // 32-bit with bit fields and an alpha mask (108-byte header).
  const std::vector<uint32_t> masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  ASSERT_TRUE(
      Decode(EncodeBmp(2, 1, 32, {Row({1, 2, 3, 0, 4, 5, 6, 77})}, true, {}, 3, masks, 108), &img));
  ExpectPixels(img, 2, 1, {0x00030201, 0x4D060504});
  // Swapped masks with the 40-byte header: fields after the header.
  ASSERT_TRUE(Decode(EncodeBmp(1, 1, 32, {Row({0x11, 0x22, 0x33, 0x44})}, false, {}, 3,
                               {0x000000FF, 0x0000FF00, 0x00FF0000}),
                     &img));
  ExpectPixels(img, 1, 1, {0xFF112233});
}

TEST(ImageTga, DecodesRawAndRunLengthInBothRowOrders) {
  // 2x2, 24 bits, bottom-up with a 3-byte id field: the file's first row is the picture's bottom.
  std::vector<uint8_t> raw = TgaHeader(2, 2, 2, 24, false, 3);
  for (int v : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) raw.push_back(static_cast<uint8_t>(v));
  Image img;
  ASSERT_TRUE(Decode(raw, &img));
  ExpectPixels(img, 2, 2, {0xFF090807, 0xFF0C0B0A, 0xFF030201, 0xFF060504});

  // 32 bits top-down keeps alpha.
  std::vector<uint8_t> raw32 = TgaHeader(2, 2, 1, 32, true);
  for (int v : {1, 2, 3, 4, 5, 6, 7, 255}) raw32.push_back(static_cast<uint8_t>(v));
  ASSERT_TRUE(Decode(raw32, &img));
  ExpectPixels(img, 2, 1, {0x04030201, 0xFF070605});

  // RLE, 3x2, a run that crosses from the first row of the file into the second.
  for (bool topDown : {false, true}) {
    std::vector<uint8_t> rle = TgaHeader(10, 3, 2, 24, topDown);
    for (int v : {0x83, 10, 20, 30,         // run of 4
                  0x01, 1, 2, 3, 4, 5, 6})  // 2 raw texels
      rle.push_back(static_cast<uint8_t>(v));
    ASSERT_TRUE(Decode(rle, &img));
    const uint32_t r = 0xFF1E140A, a = 0xFF030201, b = 0xFF060504;
    if (topDown)
      ExpectPixels(img, 3, 2, {r, r, r, r, a, b});
    else
      ExpectPixels(img, 3, 2, {r, a, b, r, r, r});
  }

  // RLE 32 bits.
  std::vector<uint8_t> rle32 = TgaHeader(10, 2, 1, 32, true);
  for (int v : {0x81, 9, 8, 7, 6}) rle32.push_back(static_cast<uint8_t>(v));
  ASSERT_TRUE(Decode(rle32, &img));
  ExpectPixels(img, 2, 1, {0x06070809, 0x06070809});
}

TEST(ImageBadInput, MissingEmptyTruncatedAndHostileFilesFail) {
  Image img;
  std::string error;
  EXPECT_FALSE(port::LoadImageFile("no/such/file.png", &img, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(port::DecodeImage(nullptr, 0, &img));
  std::vector<uint8_t> empty;
  EXPECT_FALSE(Decode(empty, &img));
  EXPECT_FALSE(Decode(Row({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), &img));
  EXPECT_TRUE(img.argb.empty());

  // Every truncation of each valid file fails (or, for the longer ones, still decodes) without
  // crashing.
  PngLayout png{4, 4, PNG_COLOR_TYPE_RGB, 8};
  for (int y = 0; y < 4; ++y)
    png.rows.push_back(std::vector<uint8_t>(12, static_cast<uint8_t>(y * 50 + 3)));
  std::vector<uint8_t> jpeg = EncodeJpeg(16, 16, 3, std::vector<uint8_t>(16 * 16 * 3, 128));
  std::vector<uint8_t> bmp = EncodeBmp(
      3, 2, 24, {Row({1, 2, 3, 4, 5, 6, 7, 8, 9}), Row({1, 2, 3, 4, 5, 6, 7, 8, 9})}, false);
  std::vector<uint8_t> tga = TgaHeader(10, 4, 4, 32, false);
  for (int v : {0x8F, 1, 2, 3, 4}) tga.push_back(static_cast<uint8_t>(v));
  for (const std::vector<uint8_t>& file : {EncodePng(png), jpeg, bmp, tga}) {
    ASSERT_TRUE(Decode(file, &img));
    for (size_t cut = 0; cut + 1 < file.size(); ++cut) {
      std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<long>(cut));
      if (Decode(part, &img)) {
        EXPECT_EQ(img.argb.size(), static_cast<size_t>(img.width) * img.height);
      } else {
        EXPECT_TRUE(img.argb.empty());
      }
    }
    // Pixel data cut in half is always refused.
    std::vector<uint8_t> half(file.begin(), file.begin() + static_cast<long>(file.size() / 2));
    EXPECT_FALSE(Decode(half, &img))
        << "format " << static_cast<int>(port::DetectImageFormat(file.data(), file.size()));
  }
}

TEST(ImageBadInput, AbsurdDimensionsAndBadRunsFailWithoutLargeAllocations) {
  Image img;
  // A BMP claiming 100000 x 100000, more rows than it holds, a height of INT_MIN,
  // and pixel data or a header far past the end.
  const std::vector<uint8_t> bmp = EncodeBmp(2, 1, 24, {Row({1, 2, 3, 4, 5, 6})}, false);
  const std::vector<std::pair<size_t, std::vector<uint8_t>>> bmpPatches[] = {
      {{18, {0xA0, 0x86, 0x01}}, {22, {0xA0, 0x86, 0x01}}},
      {{22, {0x00, 0x10}}},
      {{22, {0, 0, 0, 0x80}}},
      {{10, {0xFF, 0xFF, 0xFF, 0x7F}}},
      {{14, {0xFF, 0xFF, 0xFF, 0xFF}}},
  };
  for (const auto& patches : bmpPatches) {
    std::vector<uint8_t> bad = bmp;
    for (const auto& [at, bytes] : patches)
      std::copy(bytes.begin(), bytes.end(), bad.begin() + static_cast<long>(at));
    EXPECT_FALSE(Decode(bad, &img)) << "patch at " << patches[0].first;
  }

  // TGA of 65535 x 65535 with a few bytes of runs, a run longer than the image,
  // a raw packet longer than the data, too few raw texels, an unsupported depth.
  std::vector<uint8_t> huge = TgaHeader(10, 65535, 65535, 24, false);
  for (int i = 0; i < 10; ++i) huge.insert(huge.end(), {0xFF, 1, 2, 3});
  auto tga = [](uint8_t type, uint16_t side, uint8_t bpp, std::vector<uint8_t> data) {
    std::vector<uint8_t> f = TgaHeader(type, side, side, bpp, false);
    f.insert(f.end(), data.begin(), data.end());
    return f;
  };
  for (const auto& bad :
       {huge, tga(10, 2, 24, {0x84, 1, 2, 3}), tga(10, 2, 24, {0x03, 1, 2, 3, 4, 5, 6}),
        tga(2, 4, 24, std::vector<uint8_t>(10, 0)), tga(2, 1, 16, {0, 0})})
    EXPECT_FALSE(Decode(bad, &img)) << "type " << int(bad[2]) << ", " << bad.size() << " bytes";

  // PNG whose header claims 16000 x 16000 but carries a few bytes of data.
  PngLayout small{1, 1, PNG_COLOR_TYPE_RGB, 8};
  small.rows = {Row({1, 2, 3})};
  std::vector<uint8_t> png = EncodePng(small);
  // Rewrite the IHDR size fields (the CRC then fails too: both must be refused).
  png[16] = 0;
  png[17] = 0;
  png[18] = 0x3E;
  png[19] = 0x80;
  png[20] = 0;
  png[21] = 0;
  png[22] = 0x3E;
  png[23] = 0x80;
  const testsupport::Resident before = testsupport::ResidentOf();
  EXPECT_FALSE(Decode(png, &img));
  // Nothing near the gibibyte its size would take was ever filled.
  EXPECT_LT(testsupport::ResidentOf().peakKb, before.peakKb + 64 * 1024);

  // A JPEG header whose size is beyond the limit.
  std::vector<uint8_t> jpeg = EncodeJpeg(8, 8, 3, std::vector<uint8_t>(8 * 8 * 3, 9));
  for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // baseline frame header: height and width
      jpeg[i + 5] = 0xFF;
      jpeg[i + 6] = 0xF0;
      jpeg[i + 7] = 0xFF;
      jpeg[i + 8] = 0xF0;
      break;
    }
  }
  EXPECT_FALSE(Decode(jpeg, &img));
}

TEST(ImageBadInput, RandomBytesNeverCrash) {
  std::srand(7);
  Image img;
  PngLayout s{3, 3, PNG_COLOR_TYPE_RGBA, 8};
  for (int y = 0; y < 3; ++y) s.rows.push_back(std::vector<uint8_t>(12, 99));
  const std::vector<std::vector<uint8_t>> seeds = {
      EncodePng(s), EncodeJpeg(8, 8, 3, std::vector<uint8_t>(192, 40)),
      EncodeBmp(2, 2, 8, {Row({0, 1}), Row({1, 0})}, false, {0x112233, 0x445566}),
      TgaHeader(10, 3, 3, 32, true)};
  for (const auto& seed : seeds) {
    for (int round = 0; round < 200; ++round) {
      std::vector<uint8_t> f = seed;
      f.resize(f.size() + 16, 0x80);
      for (int k = 0; k < 4; ++k)
        f[static_cast<size_t>(std::rand()) % f.size()] = static_cast<uint8_t>(std::rand());
      if (Decode(f, &img)) {
        EXPECT_EQ(img.argb.size(), static_cast<size_t>(img.width) * img.height);
        EXPECT_LE(img.width, port::kMaxImageSide);
      }
    }
  }
}

TEST(ImageFile, ReadsFromDiskAndRefusesDirectories) {
  PngLayout s{1, 1, PNG_COLOR_TYPE_RGB, 8};
  s.rows = {Row({9, 8, 7})};
  std::vector<uint8_t> bytes = EncodePng(s);
  testsupport::TempDir dir;
  const std::string path = dir.Write("image_file_test.png", bytes);
  Image img;
  ASSERT_TRUE(port::LoadImageFile(path, &img));
  ExpectPixels(img, 1, 1, {0xFF090807});
  EXPECT_FALSE(port::LoadImageFile(dir.path(), &img));
  std::ofstream(path, std::ios::binary | std::ios::trunc);
  EXPECT_FALSE(port::LoadImageFile(path, &img));
}
