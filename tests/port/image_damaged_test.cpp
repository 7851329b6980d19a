// Damaged copies of the data set's own pictures: refused or decoded whole,
// never a crash, and (in the sanitizer build) no memory left behind by a
// decoder that gave up half way.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "port/image.h"
#include "support/leak_check.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Damage {
  const char* name;
  bool mustFail;  // a cut that loses pixel data can never decode
  std::vector<uint8_t> (*apply)(std::vector<uint8_t>);
};

const Damage kDamages[] = {
    {"cut to half", true,
     [](std::vector<uint8_t> v) {
       v.resize(v.size() / 2);
       return v;
     }},
    {"cut after the header", true,
     [](std::vector<uint8_t> v) {
       v.resize(std::min<size_t>(v.size(), 40));
       return v;
     }},
    {"cut to three quarters", true,
     [](std::vector<uint8_t> v) {
       v.resize(v.size() * 3 / 4);
       return v;
     }},
    {"second half zeroed", false,
     [](std::vector<uint8_t> v) {
       std::fill(v.begin() + static_cast<long>(v.size() / 2), v.end(), 0);
       return v;
     }},
    {"bytes flipped in the middle", false,
     [](std::vector<uint8_t> v) {
       for (size_t i = v.size() / 3; i < v.size() * 2 / 3; i += 7) v[i] ^= 0x5A;
       return v;
     }},
};

TEST(DamagedImages, DataSetPicturesCutOrCorruptedAreRefusedWithoutLeaks) {
  const fs::path run(POMELVANE_RUN_DIR);
  // One picture of each format the game reads.
  const char* const pictures[] = {"data/circle_shadow.png", "data/HERE_COME_THE_BOSS.png",
                                  "data/toon.bmp", "texture/load_tex/stage1_load_tex.jpg",
                                  "texture/battle/charge_gazi_bar.tga"};
  testsupport::TempDir dir;
  int tried = 0;
  for (const char* picture : pictures) {
    const std::vector<uint8_t> whole = ReadAll(run / picture);
    if (whole.empty()) continue;
    port::Image original;
    ASSERT_TRUE(port::DecodeImage(whole.data(), whole.size(), &original)) << picture;
    for (const Damage& damage : kDamages) {
      SCOPED_TRACE(std::string(picture) + ", " + damage.name);
      // Through the file reader, as the game loads it.
      const std::string path = dir.Write(fs::path(picture).filename(), damage.apply(whole));
      port::Image img;
      img.width = 77;
      std::string error;
      if (port::LoadImageFile(path, &img, &error)) {
        EXPECT_FALSE(damage.mustFail);
        EXPECT_EQ(img.width, original.width);
        EXPECT_EQ(img.height, original.height);
        EXPECT_EQ(img.argb.size(), original.argb.size());
      } else {
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(img.width, 0u);
        EXPECT_TRUE(img.argb.empty());
      }
      ++tried;
    }
  }
  if (tried == 0) GTEST_SKIP() << "no generated data";
  EXPECT_TRUE(testsupport::NoLeaksSoFar());
}

}  // namespace
