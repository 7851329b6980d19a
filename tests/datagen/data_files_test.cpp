// Checks the generated data set in the run folder (the tests' working
// folder) against the manifest, and the game's sources against both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "datagen/manifest.h"

namespace fs = std::filesystem;
using datagen::DataKind;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

uint32_t Be32(const std::string& d, size_t at) {
  return (uint32_t(uint8_t(d[at])) << 24) | (uint32_t(uint8_t(d[at + 1])) << 16) |
         (uint32_t(uint8_t(d[at + 2])) << 8) | uint8_t(d[at + 3]);
}
uint32_t Le16(const std::string& d, size_t at) {
  return uint8_t(d[at]) | (uint32_t(uint8_t(d[at + 1])) << 8);
}
uint32_t Le32(const std::string& d, size_t at) { return Le16(d, at) | (Le16(d, at + 2) << 16); }

// Width and height from the file's header; {0, 0} when it is not a picture.
std::pair<uint32_t, uint32_t> PictureSize(const std::string& path, const std::string& d) {
  std::string ext = path.substr(path.rfind('.') + 1);
  if (ext == "png" && d.size() > 24 && d.compare(1, 3, "PNG") == 0)
    return {Be32(d, 16), Be32(d, 20)};
  if (ext == "bmp" && d.size() > 26 && d.compare(0, 2, "BM") == 0)
    return {Le32(d, 18), Le32(d, 22)};
  if (ext == "tga" && d.size() > 18 && d[2] == 2) return {Le16(d, 12), Le16(d, 14)};
  if (ext == "jpg" && d.size() > 4 && uint8_t(d[0]) == 0xFF && uint8_t(d[1]) == 0xD8) {
    size_t i = 2;
    while (i + 9 < d.size() && uint8_t(d[i]) == 0xFF) {
      uint8_t marker = uint8_t(d[i + 1]);
      uint32_t len = (uint32_t(uint8_t(d[i + 2])) << 8) | uint8_t(d[i + 3]);
      if (marker == 0xC0 || marker == 0xC2)
        return {(uint32_t(uint8_t(d[i + 7])) << 8) | uint8_t(d[i + 8]),
                (uint32_t(uint8_t(d[i + 5])) << 8) | uint8_t(d[i + 6])};
      i += 2 + len;
    }
  }
  return {0, 0};
}

bool PowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

size_t Count(const std::string& hay, const std::string& needle) {
  size_t n = 0;
  for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(DataSet, EveryManifestPathExistsAndIsNotEmpty) {
  for (const auto& e : datagen::Manifest()) {
    std::error_code ec;
    EXPECT_TRUE(fs::is_regular_file(e.path)) << e.path;
    EXPECT_GT(fs::file_size(e.path, ec), 0u) << e.path;
  }
}

TEST(DataSet, ManifestHasNoDuplicates) {
  std::set<std::string> seen;
  for (const auto& e : datagen::Manifest()) EXPECT_TRUE(seen.insert(e.path).second) << e.path;
  EXPECT_GT(seen.size(), 250u);
}

TEST(DataSet, ManifestCoversCodePathsAndPatterns) {
  EXPECT_TRUE(datagen::ManifestCovers("Xfile/player/stop.X"));
  EXPECT_TRUE(datagen::ManifestCovers("Xfile/player/"));
  EXPECT_TRUE(datagen::ManifestCovers("Xfile/battleplayer%dp/"));
  EXPECT_TRUE(datagen::ManifestCovers("AppearData/stage%d/stage%d_erea%d.arg"));
  EXPECT_TRUE(datagen::ManifestCovers("texture/battle/player%d_stand.jpg"));
  EXPECT_TRUE(datagen::ManifestCovers("sound/bgm"));
  EXPECT_TRUE(datagen::ManifestCovers("texture/battle/enemyFace/%s.png"));
  EXPECT_FALSE(datagen::ManifestCovers("Xfile/player/Stop.X"));  // case counts on Linux
  EXPECT_FALSE(datagen::ManifestCovers("Xfile/tama/player2_largetama1.X"));
  EXPECT_FALSE(datagen::ManifestCovers("AppearData/stage%d/stage%d_erea9.arg"));
  EXPECT_FALSE(datagen::ManifestCovers("texture/nothing/"));
  EXPECT_FALSE(datagen::ManifestCovers("Xfile/player%d"));
}

// Any data path the game's code spells out must be something the data set holds.
TEST(DataSet, EveryDataPathInTheGameCodeIsInTheManifest) {
  const char* const prefixes[] = {"Xfile/", "texture/", "data/", "sound/", "AppearData/"};
  int found = 0;
  for (const auto& entry :
       fs::recursive_directory_iterator(fs::path(POMELVANE_SOURCE_DIR) / "src")) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    std::string text = ReadAll(entry.path());
    // Each string literal of the file (escapes kept as written); a quote
    // written as a character literal opens none.
    auto nextQuote = [&](size_t from) {
      size_t q = text.find('"', from);
      while (q != std::string::npos && q > 0 && text[q - 1] == '\'' && q + 1 < text.size() &&
             text[q + 1] == '\'')
        q = text.find('"', q + 1);
      return q;
    };
    for (size_t at = nextQuote(0); at != std::string::npos;) {
      size_t end = at + 1;
      while (end < text.size() && text[end] != '"' && text[end] != '\n')
        end += text[end] == '\\' ? 2 : 1;
      if (end >= text.size()) break;
      std::string lit = text.substr(at + 1, end - at - 1);
      bool data = std::any_of(std::begin(prefixes), std::end(prefixes),
                              [&](const char* p) { return lit.rfind(p, 0) == 0; });
      if (data) {
        ++found;
        EXPECT_TRUE(datagen::ManifestCovers(lit)) << lit << " in " << entry.path();
      }
      at = nextQuote(end + 1);
    }
  }
  RecordProperty("data_paths_in_code", found);
}

TEST(DataSet, TexturesHavePowerOfTwoSizes) {
  for (const auto& e : datagen::Manifest()) {
    if (e.kind != DataKind::Texture) continue;
    auto [w, h] = PictureSize(e.path, ReadAll(e.path));
    EXPECT_TRUE(PowerOfTwo(w) && PowerOfTwo(h)) << e.path << " is " << w << "x" << h;
  }
  EXPECT_EQ(PictureSize("texture/white.png", ReadAll("texture/white.png")), std::make_pair(1u, 1u));
}

TEST(DataSet, SheetsCoverEveryRectangleDrawnFromThem) {
  for (const auto& s : datagen::UiSheets()) {
    auto [w, h] = PictureSize(s.path, ReadAll(s.path));
    EXPECT_EQ(w, uint32_t(s.width)) << s.path;
    EXPECT_EQ(h, uint32_t(s.height)) << s.path;
    for (const auto& r : s.rects) {
      EXPECT_LT(r.left, r.right) << s.path << " id " << r.id;
      EXPECT_LT(r.top, r.bottom) << s.path << " id " << r.id;
      EXPECT_GE(r.left, 0);
      EXPECT_GE(r.top, 0);
      EXPECT_LE(uint32_t(r.right), w) << s.path << " id " << r.id;
      EXPECT_LE(uint32_t(r.bottom), h) << s.path << " id " << r.id;
    }
  }
}

TEST(DataSet, EveryFixedSpriteIdHasASheet) {
  std::set<int> ids;
  for (const auto& s : datagen::UiSheets())
    for (const auto& r : s.rects)
      if (r.id >= 0) ids.insert(r.id);
  for (int id = 2; id <= 113; ++id)
    if (id < 20 || id > 23) {
      EXPECT_TRUE(ids.count(id)) << "sprite id " << id;
    }
  // The sprites that reach past 512 pixels sit on the larger sheets.
  for (const auto& s : datagen::UiSheets())
    for (const auto& r : s.rects)
      if (r.id == 7 || r.id == 9) {
        EXPECT_GE(s.width, 1024) << s.path;
      } else if (r.id == 96) {
        EXPECT_GE(s.height, 1024) << s.path;
      }
}

TEST(DataSet, ChargeBarCarriesItsAlphaRamp) {
  std::string d = ReadAll("texture/battle/charge_gazi_bar.tga");
  ASSERT_GT(d.size(), 18u);
  uint32_t w = Le16(d, 12);
  ASSERT_EQ(uint8_t(d[16]), 32);
  auto alpha = [&](uint32_t x, uint32_t y) { return uint8_t(d[18 + 4 * (y * w + x) + 3]); };
  EXPECT_EQ(alpha(0, 5), 255);
  EXPECT_NEAR(alpha(w - 1, 5), 128, 2);
  for (uint32_t x = 1; x < w; ++x) EXPECT_LE(alpha(x, 5), alpha(x - 1, 5));
}

TEST(DataSet, ModelsHaveValidHeadersInBothEncodings) {
  int text = 0, binary = 0;
  for (const auto& e : datagen::Manifest()) {
    if (e.kind != DataKind::SkinnedModel && e.kind != DataKind::Animation &&
        e.kind != DataKind::StaticMesh && e.kind != DataKind::FieldMesh)
      continue;
    std::string d = ReadAll(e.path);
    ASSERT_GE(d.size(), 16u) << e.path;
    std::string head = d.substr(0, 16);
    if (head == "xof 0303txt 0032")
      ++text;
    else if (head == "xof 0303bin 0032")
      ++binary;
    else
      ADD_FAILURE() << e.path << " header " << head;
  }
  EXPECT_GT(text, 10);
  EXPECT_GT(binary, 10);
}

TEST(DataSet, CharacterFilesHoldOneSetEachAndTheBodyFrames) {
  for (const auto& c : datagen::Characters()) {
    std::vector<datagen::AnimFile> all = c.files;
    all.insert(all.end(), c.extras.begin(), c.extras.end());
    for (const auto& f : all) {
      std::string d = ReadAll(c.folder + f.name);
      // "AnimationSet" appears once per set, as a word in text and as a name token in binary.
      EXPECT_EQ(Count(d, "AnimationSet"), 1u) << c.folder << f.name;
      for (const auto& frame : datagen::BodyFrameNames())
        EXPECT_GE(Count(d, frame), 1u) << c.folder << f.name << " " << frame;
      EXPECT_GT(f.length, 0);
    }
    std::string model = ReadAll(c.folder + "stop.X");
    EXPECT_GE(Count(model, "SkinWeights"), 10u) << c.folder;
    EXPECT_LE(Count(model, "SkinWeights"), 26u) << c.folder;
  }
}

TEST(DataSet, SoundsAreRiffPcm) {
  for (const auto& e : datagen::Manifest()) {
    if (e.kind != DataKind::Sound) continue;
    std::string d = ReadAll(e.path);
    ASSERT_GE(d.size(), 44u) << e.path;
    EXPECT_EQ(d.substr(0, 4), "RIFF") << e.path;
    EXPECT_EQ(d.substr(8, 8), "WAVEfmt ") << e.path;
    EXPECT_EQ(Le32(d, 4), d.size() - 8) << e.path;
    EXPECT_EQ(Le16(d, 20), 1u) << e.path;   // PCM
    EXPECT_EQ(Le16(d, 34), 16u) << e.path;  // bits
    EXPECT_EQ(d.substr(36, 4), "data") << e.path;
    EXPECT_EQ(Le32(d, 40), d.size() - 44) << e.path;
  }
}

TEST(DataSet, SoundsDifferFromOneAnother) {
  std::set<std::string> bodies;
  size_t n = 0;
  for (const auto& e : datagen::Manifest())
    if (e.kind == DataKind::Sound) {
      bodies.insert(ReadAll(e.path));
      ++n;
    }
  EXPECT_EQ(bodies.size(), n);
}

TEST(DataSet, MusicIsStandardMidi) {
  std::set<std::string> tunes;
  for (const auto& e : datagen::Manifest()) {
    if (e.kind != DataKind::Music) continue;
    std::string d = ReadAll(e.path);
    ASSERT_GE(d.size(), 22u) << e.path;
    EXPECT_EQ(d.substr(0, 4), "MThd") << e.path;
    EXPECT_EQ(Be32(d, 4), 6u);
    uint32_t tracks = (uint32_t(uint8_t(d[10])) << 8) | uint8_t(d[11]);
    size_t at = 14;
    uint32_t seen = 0;
    while (at + 8 <= d.size()) {
      EXPECT_EQ(d.substr(at, 4), "MTrk") << e.path;
      uint32_t len = Be32(d, at + 4);
      ASSERT_LE(at + 8 + len, d.size()) << e.path;
      // Every track ends with the end-of-track event.
      EXPECT_EQ(d.substr(at + 8 + len - 3, 3), std::string("\xFF\x2F\x00", 3)) << e.path;
      at += 8 + len;
      ++seen;
    }
    EXPECT_EQ(at, d.size()) << e.path;
    EXPECT_EQ(seen, tracks) << e.path;
    tunes.insert(d);
  }
  EXPECT_EQ(tunes.size(), 8u);
}

namespace {

// The values of a key=value file, in order.
std::vector<std::string> KvValues(const std::string& path) {
  std::vector<std::string> v;
  std::istringstream in(ReadAll(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (eq != std::string::npos) v.push_back(line.substr(eq + 1));
  }
  return v;
}

std::vector<int> Kinds(const std::string& path) {
  std::vector<std::string> v = KvValues(path);
  std::vector<int> kinds;
  if (v.empty()) return kinds;
  int n = std::stoi(v[0]);
  EXPECT_EQ(v.size(), size_t(1 + 5 * n)) << path;
  for (int i = 0; i < n && size_t(5 + 5 * i) < v.size(); ++i)
    kinds.push_back(std::stoi(v[size_t(5 + 5 * i)]));
  return kinds;
}

}  // namespace

TEST(DataSet, PlacementsPutTheRightKindsOnEachStage) {
  const std::set<int> allowed[3] = {{1, 2}, {1, 2, 3}, {3, 4}};
  const int areas[3] = {2, 4, 4};
  for (int s = 1; s <= 3; ++s) {
    std::string base = "AppearData/stage" + std::to_string(s) + "/stage" + std::to_string(s);
    EXPECT_EQ(Kinds(base + "_player.arg"), std::vector<int>{1000});
    EXPECT_EQ(Kinds(base + "_boss.arg"), std::vector<int>{99 + s});
    std::vector<int> intro = Kinds(base + "_introduce.arg");
    EXPECT_EQ(intro, (std::vector<int>{0, 99 + s}));
    for (int a = 1; a <= areas[s - 1]; ++a) {
      std::string area = base + "_erea" + std::to_string(a) + ".arg";
      std::vector<int> k = Kinds(area);
      EXPECT_FALSE(k.empty()) << area;
      for (int kind : k) EXPECT_TRUE(allowed[s - 1].count(kind)) << area << " kind " << kind;
      EXPECT_TRUE(Kinds("fixtures/empty_areas/" + area).empty());
    }
    EXPECT_TRUE(Kinds("fixtures/empty_areas/" + base + "_boss.arg").empty());
  }
  for (const char* b :
       {"AppearData/battle/battle_stage1.arg", "AppearData/battle/battle_stage3.arg"})
    EXPECT_EQ(Kinds(b), (std::vector<int>{1001, 1002, 1003, 1004}));
}

TEST(DataSet, ToonEffectIsCopiedFromTheSources) {
  std::string src = ReadAll(fs::path(POMELVANE_SOURCE_DIR) / "data" / "toonSkinEffect.fx");
  EXPECT_FALSE(src.empty());
  EXPECT_EQ(ReadAll("data/toonSkinEffect.fx"), src);
}
