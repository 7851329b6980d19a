// The three save files: what a first run writes, byte for byte; what survives
// a restart; what damaged files and unwritable folders leave; and where a
// result is placed in a ranking table.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/scene_fixture.h"

namespace fs = std::filesystem;

namespace {

using Values = std::vector<int>;

// The option file's keys in line order (Shift-JIS), then its default values.
std::vector<std::string> OptionKeys() {
  const std::string player = "\x83\x76\x83\x8c\x83\x43\x83\x84\x81\x5b\x81\x46";
  std::vector<std::string> k = {
      "\x89\xe6\x96\xca\x83\x82\x81\x5b\x83\x68", "\x8e\x8b\x93\x5f\x83\x5e\x83\x43\x83\x76",
      "\x83\x94\x83\x48\x83\x8a\x83\x85\x81\x5b\x83\x80", "\x95\x60\x89\xe6\x8a\xd4\x8a\x75"};
  for (char p = '1'; p <= '4'; ++p)
    for (const char* action : {"\x83\x41\x83\x5e\x83\x62\x83\x4e\x83\x7b\x83\x5e\x83\x93",
                               "\x83\x56\x83\x74\x83\x67\x83\x7b\x83\x5e\x83\x93",
                               "\x83\x57\x83\x83\x83\x93\x83\x76\x83\x7b\x83\x5e\x83\x93"})
      k.push_back(std::string(1, p) + "P" + player + action);
  return k;
}
const Values kDefaultOptions = {0, 0, 500, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2};

std::string Line(const std::string& key, int value) {
  return key + "=" + std::to_string(value) + "\r\n";
}
std::string OptionFile(const Values& v) {
  std::string s;
  for (size_t i = 0; i < v.size(); ++i) s += Line(OptionKeys()[i], v[i]);
  return s;
}
// What the game holds, in the option file's order; the master volume follows the volume.
Values HeldOptions(const Application& app) {
  EXPECT_EQ(g_sound.masterVolume, app.options.volume);
  Values v = {app.options.screenMode, app.options.viewType, app.options.volume,
              app.options.drawInterval};
  for (int p = 0; p < 4; ++p)
    for (int a = 0; a < 3; ++a)
      v.push_back(p == 0 ? g_player.GetButton(a) : app.BattleButton(p, a));
  return v;
}

// Rows as five letters, the value and (normal table) the stages.
using Rows = std::vector<Values>;
const Rows kNormalDefaults = {{3, 4, 5, 6, 7, 24123, 2},
                              {11, 12, 13, 14, 15, 31323, 2},
                              {19, 20, 21, 22, 23, 38523, 2},
                              {27, 28, 29, 30, 31, 45723, 1},
                              {35, 36, 37, 38, 39, 52923, 1}};
const Rows kSokaiDefaults = {{10, 10, 10, 10, 10, 500},
                             {11, 11, 11, 11, 11, 450},
                             {12, 12, 12, 12, 12, 400},
                             {13, 13, 13, 13, 13, 350},
                             {14, 14, 14, 14, 14, 300}};

std::string RankingFile(const Rows& rows) {
  std::string s;
  for (const Values& r : rows) {
    for (int i = 0; i < 5; ++i) s += Line("\x83\x6c\x81\x5b\x83\x80", r[i]);
    if (r.size() == 7)
      s += Line("\x8e\x9e\x8a\xd4", r[5]) + Line("\x83\x58\x83\x65\x81\x5b\x83\x57\x90\x94", r[6]);
    else
      s += Line("\x83\x58\x83\x52\x83\x41", r[5]);
  }
  return s;
}
Rows Held(const std::vector<RankingEntry>& table, bool normal) {
  Rows out;
  for (const RankingEntry& e : table) {
    Values r(e.letters, e.letters + 5);
    r.push_back(e.value);
    if (normal) r.push_back(e.stages);
    out.push_back(r);
  }
  return out;
}

class SaveFiles : public scenetest::SceneTest {
 protected:
  void SaveAll() {
    EXPECT_TRUE(app.SaveOptions(kOptionFile));
    EXPECT_TRUE(app.SaveNormalRanking(kNormalRankingFile));
    EXPECT_TRUE(app.SaveSokaiRanking(kSokaiRankingFile));
  }
  // A new start in the same folder: what the files fill is scrambled first,
  // so what the load leaves is what it set.
  void Restart() {
    app.normalRanking.assign(7, RankingEntry{});
    app.sokaiRanking.clear();
    app.spareRanking4.clear();
    app.options = {9, 9, 9, 9};
    for (int a = 0; a < 3; ++a) {
      g_player.SetButton(a, 99);
      for (int p = 1; p < 4; ++p) app.SetBattleButton(p, a, 99);
    }
    StartGame();
    EXPECT_EQ(app.spareRanking3.size(), 5u);
    EXPECT_EQ(app.spareRanking4.size(), 5u);
  }
  std::vector<std::string> AllBytes() const {
    return {SaveBytes(kOptionFile), SaveBytes(kNormalRankingFile), SaveBytes(kSokaiRankingFile)};
  }
  size_t FilesInSaveFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir.path() / "save"), {}));
  }
};

TEST_F(SaveFiles, FirstRunGivesTheDefaultsAndWritesThemByteForByte) {
  StartGame();
  EXPECT_EQ(HeldOptions(app), kDefaultOptions);
  for (int a = 0; a < 3; ++a) EXPECT_EQ(app.BattleButton(0, a), a);
  EXPECT_EQ(Held(app.normalRanking, true), kNormalDefaults);
  EXPECT_EQ(Held(app.sokaiRanking, false), kSokaiDefaults);
  EXPECT_EQ(FilesInSaveFolder(), 0u) << "reading writes nothing";

  fs::remove(dir.path() / "save");  // the folder is made when saving
  SaveAll();
  EXPECT_EQ(SaveBytes(kOptionFile), OptionFile(kDefaultOptions));
  EXPECT_EQ(SaveBytes(kNormalRankingFile), RankingFile(kNormalDefaults));
  EXPECT_EQ(SaveBytes(kSokaiRankingFile), RankingFile(kSokaiDefaults));
  EXPECT_EQ(FilesInSaveFolder(), 3u) << "no temporary file stays";
}

TEST_F(SaveFiles, ChangedValuesSurviveARestartByteForByte) {
  StartGame();
  app.options = {1, 3, 700, 2};  // screen, draw interval, volume, view
  g_player.SetButton(kActionAttack, 5);
  g_player.SetButton(kActionJump, 127);
  app.SetBattleButton(2, kActionShift, 9);
  app.normalRanking[1] = {{0, 46, 45, 12, 10}, 30000, 4, 0, 0};
  app.sokaiRanking[0].value = 2000000000;
  SaveAll();
  const std::vector<std::string> written = AllBytes();

  Restart();
  EXPECT_EQ(HeldOptions(app), (Values{1, 2, 700, 3, 5, 1, 127, 0, 1, 2, 0, 9, 2, 0, 1, 2}));
  EXPECT_EQ(Held(app.normalRanking, true)[1], (Values{0, 46, 45, 12, 10, 30000, 4}));
  EXPECT_EQ(app.sokaiRanking[0].value, 2000000000);
  SaveAll();
  EXPECT_EQ(AllBytes(), written);
}

TEST_F(SaveFiles, UnusableFilesGiveTheDefaults) {
  const std::string cases[] = {"", "not a save file\r\n", std::string("\x00\xff\x13\x89PNG", 7),
                               "a=\r\nb=\r\n"};
  for (const std::string& bytes : cases) {
    for (const char* f : {kOptionFile, kNormalRankingFile, kSokaiRankingFile}) dir.Write(f, bytes);
    Restart();
    EXPECT_EQ(HeldOptions(app), kDefaultOptions) << bytes;
    EXPECT_EQ(Held(app.normalRanking, true), kNormalDefaults) << bytes;
    EXPECT_EQ(Held(app.sokaiRanking, false), kSokaiDefaults) << bytes;
  }
  // A folder where a file should be reads as no file.
  fs::remove(SavePath(kNormalRankingFile));
  fs::create_directory(SavePath(kNormalRankingFile));
  Restart();
  EXPECT_EQ(Held(app.normalRanking, true), kNormalDefaults);
}

TEST_F(SaveFiles, OutOfRangeValuesAreClampedOrFallBackOneByOne) {
  // Screen mode 2 (a window), view 1 (kept), volume 1001, draw interval 0,
  // buttons 128, -5, 127 (kept), a battle button 9999, one 6 (kept): each
  // option to the nearer end of its range.
  dir.Write(kOptionFile, OptionFile({2, 1, 1001, 0, 128, -5, 127, 0, 1, 2, 0, 9999, 2, 0, 1, 6}));
  // Letters 47 and -1, a negative time, stages 0 and 99, a negative score.
  Rows normal = kNormalDefaults;
  normal[0] = {9, 47, -1, 46, 0, 1000, 4};
  normal[1] = {1, 2, 3, 4, 5, -7, 2};
  normal[2] = {1, 2, 3, 4, 5, 5000, 0};
  normal[3] = {1, 2, 3, 4, 5, 6000, 99};
  normal[4] = {1, 1, 1, 1, 1, 99999, 1};
  dir.Write(kNormalRankingFile, RankingFile(normal));
  Rows sokai = kSokaiDefaults;
  sokai[3] = {2, 2, 2, 2, 2, -1};
  sokai[4] = {3, 3, 3, 3, 3, 0};
  dir.Write(kSokaiRankingFile, RankingFile(sokai));
  Restart();

  EXPECT_EQ(HeldOptions(app), (Values{0, 1, 1000, 1, 127, 0, 127, 0, 1, 2, 0, 127, 2, 0, 1, 6}));
  dir.Write(kOptionFile, OptionFile({-1, 3, -100, 4, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
  Restart();
  EXPECT_EQ(HeldOptions(app), (Values{0, 2, 0, 3, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
  // A bad letter is blank; a row with a bad value is the default row.
  EXPECT_EQ(Held(app.normalRanking, true), (Rows{{9, 10, 10, 46, 0, 1000, 4},
                                                 kNormalDefaults[1],
                                                 kNormalDefaults[2],
                                                 kNormalDefaults[3],
                                                 normal[4]}));
  sokai[3] = kSokaiDefaults[3];
  EXPECT_EQ(Held(app.sokaiRanking, false), sokai);

  // Files cut short keep what they hold whole; the rest are defaults.
  const std::string options = OptionFile({0, 0, 0, 1, 3, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2});
  dir.Write(kOptionFile, options.substr(0, options.size() / 2));
  const std::string ranking =
      RankingFile({{1, 1, 1, 1, 1, 100, 4}, {2, 2, 2, 2, 2, 200, 3}, {3, 3, 3, 3, 3, 300, 3}});
  dir.Write(kNormalRankingFile, ranking.substr(0, ranking.find("\x8e\x9e\x8a\xd4=300")));
  Restart();
  EXPECT_EQ(HeldOptions(app), (Values{0, 0, 0, 1, 3, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
  EXPECT_EQ(Held(app.normalRanking, true), (Rows{{1, 1, 1, 1, 1, 100, 4},
                                                 {2, 2, 2, 2, 2, 200, 3},
                                                 kNormalDefaults[2],
                                                 kNormalDefaults[3],
                                                 kNormalDefaults[4]}));
}

TEST_F(SaveFiles, FailedSavesKeepTheOldFilesWhole) {
  StartGame();
  SaveAll();
  const std::vector<std::string> before = AllBytes();
  app.options.volume = 900;
  app.normalRanking[0].value = 1;
  app.sokaiRanking[0].value = 9999;
  auto saveAllFails = [&] {
    EXPECT_FALSE(app.SaveOptions(kOptionFile));
    EXPECT_FALSE(app.SaveNormalRanking(kNormalRankingFile));
    EXPECT_FALSE(app.SaveSokaiRanking(kSokaiRankingFile));
  };

  // The save folder replaced by a file: nothing can be made in it.
  const fs::path save = dir.path() / "save";
  fs::rename(save, dir.path() / "kept");
  dir.Write("save", "a file");
  saveAllFails();
  fs::remove(save);
  fs::rename(dir.path() / "kept", save);
  EXPECT_EQ(AllBytes(), before);

  // A read-only folder (the superuser writes there anyway).
  if (::geteuid() != 0) {
    fs::permissions(save, fs::perms::owner_read | fs::perms::owner_exec);
    saveAllFails();
    fs::permissions(save, fs::perms::owner_all);
  }

  // A full disk: no file may grow past 64 bytes, so every write fails part way.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct sigaction ignore {
  }, oldAction{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &oldAction);
  struct rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  saveAllFails();
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &oldAction, nullptr);

  EXPECT_EQ(AllBytes(), before);
  EXPECT_EQ(FilesInSaveFolder(), 3u);
  // An empty table writes no file at all.
  app.sokaiRanking.clear();
  fs::remove(SavePath(kSokaiRankingFile));
  EXPECT_FALSE(app.SaveSokaiRanking(kSokaiRankingFile));
  EXPECT_FALSE(fs::exists(SavePath(kSokaiRankingFile)));
}

TEST_F(SaveFiles, ResultsArePlacedAgainstTheTable) {
  StartGame();
  struct Normal {
    int stages, frames, place;
  };
  const Normal normal[] = {
      {2, 30000, 1},   // below 24123, above 31323
      {2, 24123, 0},   // a tie goes above the stored row
      {2, 31323, 1},   // likewise with row 1
      {1, 52923, 4},   // a tie with the last row takes the last place
      {1, 52924, 5},   // one frame slower: not placed
      {1, 10, 3},      // fast, but fewer stages than rows 0 to 2
      {4, 999999, 0},  // more stages beat any time
  };
  for (const Normal& c : normal) {
    app.stageMode.framesUsed = c.frames;
    EXPECT_EQ(app.NormalRankPosition(c.stages), c.place) << c.stages << " " << c.frames;
    EXPECT_EQ(app.result.rankPlace, c.place);
    EXPECT_EQ(app.result.time, c.frames);
    EXPECT_EQ(app.result.stages, c.stages);
  }
  const std::pair<int, int> sokai[] = {{300, 4}, {299, 5}, {500, 0}, {501, 0}, {450, 1}, {-3, 5}};
  for (auto [score, place] : sokai) {
    app.sokai.score = score;
    EXPECT_EQ(app.SokaiRankPosition(), place) << score;
    EXPECT_EQ(app.result.rankPlace, place);
    EXPECT_EQ(app.result.score, score);
  }
}

}  // namespace
