#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "port/image.h"

// Every picture of the generated data set decodes.
TEST(DataImages, EveryPictureOfTheDataSetDecodes) {
  namespace fs = std::filesystem;
  const fs::path root(POMELVANE_RUN_DIR);
  int count = 0;
  for (const char* dir : {"texture", "data"}) {
    if (!fs::exists(root / dir)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / dir)) {
      if (!entry.is_regular_file()) continue;
      std::string ext = entry.path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(),
                     [](unsigned char c) { return std::tolower(c); });
      if (ext != ".png" && ext != ".jpg" && ext != ".jpeg" && ext != ".bmp" && ext != ".tga")
        continue;
      port::Image img;
      std::string error;
      EXPECT_TRUE(port::LoadImageFile(entry.path().string(), &img, &error))
          << entry.path() << ": " << error;
      ++count;
    }
  }
  if (count == 0) GTEST_SKIP() << "no generated data";
}
