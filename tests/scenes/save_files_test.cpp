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

using scenetest::SceneTest;

// The files as a first run writes them: Shift-JIS keys, CR LF line ends.
std::string Line(const std::string& key, int value) {
  return key + "=" + std::to_string(value) + "\r\n";
}
const std::string kPlayer = "\x83\x76\x83\x8c\x83\x43\x83\x84\x81\x5b\x81\x46";
const std::string kAttack = "\x83\x41\x83\x5e\x83\x62\x83\x4e\x83\x7b\x83\x5e\x83\x93";
const std::string kShift = "\x83\x56\x83\x74\x83\x67\x83\x7b\x83\x5e\x83\x93";
const std::string kJump = "\x83\x57\x83\x83\x83\x93\x83\x76\x83\x7b\x83\x5e\x83\x93";

struct Options {
  int screen = 0, view = 0, volume = 500, interval = 1;
  int buttons[4][3] = {{0, 1, 2}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}};
};

std::string OptionFile(const Options& o) {
  std::string s = Line("\x89\xe6\x96\xca\x83\x82\x81\x5b\x83\x68", o.screen) +
                  Line("\x8e\x8b\x93\x5f\x83\x5e\x83\x43\x83\x76", o.view) +
                  Line("\x83\x94\x83\x48\x83\x8a\x83\x85\x81\x5b\x83\x80", o.volume) +
                  Line("\x95\x60\x89\xe6\x8a\xd4\x8a\x75", o.interval);
  for (int p = 0; p < 4; ++p) {
    const std::string who = std::to_string(p + 1) + "P" + kPlayer;
    s += Line(who + kAttack, o.buttons[p][0]) + Line(who + kShift, o.buttons[p][1]) +
         Line(who + kJump, o.buttons[p][2]);
  }
  return s;
}

struct Row {
  std::vector<int> letters;
  int value, stages;
};
const std::vector<Row> kNormalDefaults = {{{3, 4, 5, 6, 7}, 24123, 2},
                                          {{11, 12, 13, 14, 15}, 31323, 2},
                                          {{19, 20, 21, 22, 23}, 38523, 2},
                                          {{27, 28, 29, 30, 31}, 45723, 1},
                                          {{35, 36, 37, 38, 39}, 52923, 1}};
const std::vector<Row> kSokaiDefaults = {{{10, 10, 10, 10, 10}, 500, 0},
                                         {{11, 11, 11, 11, 11}, 450, 0},
                                         {{12, 12, 12, 12, 12}, 400, 0},
                                         {{13, 13, 13, 13, 13}, 350, 0},
                                         {{14, 14, 14, 14, 14}, 300, 0}};

std::string RankingFile(const std::vector<Row>& rows, bool normal) {
  std::string s;
  for (const Row& r : rows) {
    for (int l : r.letters) s += Line("\x83\x6c\x81\x5b\x83\x80", l);
    if (normal)
      s += Line("\x8e\x9e\x8a\xd4", r.value) +
           Line("\x83\x58\x83\x65\x81\x5b\x83\x57\x90\x94", r.stages);
    else
      s += Line("\x83\x58\x83\x52\x83\x41", r.value);
  }
  return s;
}

std::vector<Row> Rows(const std::vector<RankingEntry>& table, bool normal) {
  std::vector<Row> out;
  for (const RankingEntry& e : table)
    out.push_back({std::vector<int>(e.letters, e.letters + 5), e.value, normal ? e.stages : 0});
  return out;
}

bool operator==(const Row& a, const Row& b) {
  return a.letters == b.letters && a.value == b.value && a.stages == b.stages;
}
void PrintTo(const Row& r, std::ostream* os) {
  *os << "{";
  for (int l : r.letters) *os << l << " ";
  *os << "| " << r.value << " " << r.stages << "}";
}

class SaveFiles : public SceneTest {
 protected:
  void SaveAll() {
    EXPECT_TRUE(app.SaveOptions(kOptionFile));
    EXPECT_TRUE(app.SaveNormalRanking(kNormalRankingFile));
    EXPECT_TRUE(app.SaveSokaiRanking(kSokaiRankingFile));
  }
  // A new program start in the same folder: everything the files fill is
  // scrambled first, so what the load leaves is what it set.
  void Restart() {
    app.normalRanking.assign(7, RankingEntry{});
    app.sokaiRanking.clear();
    app.spareRanking3.clear();
    app.spareRanking4.assign(9, RankingEntry{});
    app.options = {9, 9, 9, 9};
    g_sound.masterVolume = -1;
    for (int a = 0; a < 3; ++a) {
      g_player.SetButton(a, 99);
      for (int p = 1; p < 4; ++p) app.SetBattleButton(p, a, 99);
    }
    StartGame();
  }
  std::vector<std::string> AllBytes() const {
    return {SaveBytes(kOptionFile), SaveBytes(kNormalRankingFile), SaveBytes(kSokaiRankingFile)};
  }
};

TEST_F(SaveFiles, FirstRunGivesTheDefaultsAndWritesThemByteForByte) {
  StartGame();
  EXPECT_EQ(Rows(app.normalRanking, true), kNormalDefaults);
  EXPECT_EQ(Rows(app.sokaiRanking, false), kSokaiDefaults);
  EXPECT_EQ(app.sokaiRanking[4].stages, 30);  // the unsaved columns of the defaults
  EXPECT_EQ(app.sokaiRanking[4].extra1, 6);
  EXPECT_EQ(app.normalRanking[2].extra2, 36);
  ASSERT_EQ(app.spareRanking3.size(), 5u);
  ASSERT_EQ(app.spareRanking4.size(), 5u);
  EXPECT_EQ(app.spareRanking3[4].time, 64800);
  EXPECT_EQ(app.spareRanking3[4].a, 60);
  EXPECT_EQ(app.spareRanking4[1].letters[0], 11);
  EXPECT_EQ(app.spareRanking4[1].stages, 1);

  EXPECT_EQ(app.options.screenMode, 0);
  EXPECT_EQ(app.options.viewType, 0);
  EXPECT_EQ(app.options.volume, 500);
  EXPECT_EQ(app.options.drawInterval, 1);
  EXPECT_EQ(g_sound.masterVolume, 500);
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(g_player.GetButton(a), a);
    for (int p = 0; p < 4; ++p) EXPECT_EQ(app.BattleButton(p, a), a);
  }
  EXPECT_TRUE(fs::is_empty(dir.path() / "save")) << "reading writes nothing";

  SaveAll();
  EXPECT_EQ(SaveBytes(kOptionFile), OptionFile({}));
  EXPECT_EQ(SaveBytes(kNormalRankingFile), RankingFile(kNormalDefaults, true));
  EXPECT_EQ(SaveBytes(kSokaiRankingFile), RankingFile(kSokaiDefaults, false));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "save"), {}), 3)
      << "no temporary file stays";
}

TEST_F(SaveFiles, ChangedOptionsAndPlacedResultsSurviveARestart) {
  StartGame();
  app.options = {1, 3, 700, 2};  // screen, interval, volume, view
  g_player.SetButton(kActionAttack, 5);
  g_player.SetButton(kActionJump, 127);
  app.SetBattleButton(2, kActionShift, 9);
  app.SetBattleButton(3, kActionAttack, 4);
  app.normalRanking[1] = {{0, 46, 45, 12, 10}, 30000, 4, 0, 0};
  app.sokaiRanking[0].value = 2000000000;
  SaveAll();
  const std::vector<std::string> written = AllBytes();

  Restart();
  EXPECT_EQ(app.options.screenMode, 1);
  EXPECT_EQ(app.options.viewType, 2);
  EXPECT_EQ(app.options.volume, 700);
  EXPECT_EQ(app.options.drawInterval, 3);
  EXPECT_EQ(g_sound.masterVolume, 700);
  EXPECT_EQ(g_player.GetButton(kActionAttack), 5);
  EXPECT_EQ(g_player.GetButton(kActionShift), 1);
  EXPECT_EQ(g_player.GetButton(kActionJump), 127);
  EXPECT_EQ(app.BattleButton(2, kActionShift), 9);
  EXPECT_EQ(app.BattleButton(3, kActionAttack), 4);
  EXPECT_EQ(Rows(app.normalRanking, true)[1], (Row{{0, 46, 45, 12, 10}, 30000, 4}));
  EXPECT_EQ(app.sokaiRanking[0].value, 2000000000);

  // Written again unchanged, every byte is the same.
  SaveAll();
  EXPECT_EQ(AllBytes(), written);
}

// ---- Damaged files ----

struct DamagedCase {
  const char* name;
  std::string bytes;
};

// Files that open but hold no usable values.
std::vector<DamagedCase> UnusableFiles() {
  return {{"empty", ""},
          {"no equals sign", "this is not a save file\r\n"},
          {"binary", std::string("\x00\xff\x13\x37\x89\x50\x4e\x47", 8)},
          {"keys without values", "a=\r\nb=\r\n"}};
}

TEST_F(SaveFiles, UnusableFilesGiveTheDefaults) {
  for (const DamagedCase& c : UnusableFiles()) {
    SCOPED_TRACE(c.name);
    dir.Write(kOptionFile, c.bytes);
    dir.Write(kNormalRankingFile, c.bytes);
    dir.Write(kSokaiRankingFile, c.bytes);
    Restart();
    EXPECT_EQ(Rows(app.normalRanking, true), kNormalDefaults);
    EXPECT_EQ(Rows(app.sokaiRanking, false), kSokaiDefaults);
    EXPECT_EQ(app.spareRanking3.size(), 5u);
    EXPECT_EQ(app.spareRanking4.size(), 5u);
    EXPECT_EQ(app.options.volume, 500);
    EXPECT_EQ(app.options.drawInterval, 1);
    EXPECT_EQ(g_sound.masterVolume, 500);
    for (int a = 0; a < 3; ++a) EXPECT_EQ(g_player.GetButton(a), a);
  }
  // A folder where a file should be reads as a missing file.
  for (const char* f : {kOptionFile, kNormalRankingFile}) {
    fs::remove(SavePath(f));
    fs::create_directory(SavePath(f));
  }
  Restart();
  EXPECT_EQ(Rows(app.normalRanking, true), kNormalDefaults);
  EXPECT_EQ(app.options.volume, 500);
}

TEST_F(SaveFiles, OutOfRangeOptionsFallBackOneByOne) {
  Options o;
  o.screen = 2;            // no such mode
  o.view = 1;              // kept
  o.volume = 1001;         // above the range
  o.interval = 0;          // drawing would stall
  o.buttons[0][0] = 128;   // past the pad's buttons
  o.buttons[0][1] = -5;    // negative
  o.buttons[0][2] = 127;   // the last button is fine
  o.buttons[2][1] = 9999;  // a battle player's
  o.buttons[3][2] = 6;     // kept
  dir.Write(kOptionFile, OptionFile(o));
  Restart();
  EXPECT_EQ(app.options.screenMode, 0);
  EXPECT_EQ(app.options.viewType, 1);
  EXPECT_EQ(app.options.volume, 500);
  EXPECT_EQ(g_sound.masterVolume, 500);
  EXPECT_EQ(app.options.drawInterval, 1);
  EXPECT_EQ(g_player.GetButton(0), 0);
  EXPECT_EQ(g_player.GetButton(1), 1);
  EXPECT_EQ(g_player.GetButton(2), 127);
  EXPECT_EQ(app.BattleButton(2, 1), 1);
  EXPECT_EQ(app.BattleButton(3, 2), 6);

  // A file cut short keeps what it holds; the rest are defaults.
  Options kept;
  kept.volume = 0;
  kept.buttons[0][0] = 3;
  const std::string full = OptionFile(kept);
  dir.Write(kOptionFile, full.substr(0, full.size() / 2));
  Restart();
  EXPECT_EQ(app.options.volume, 0);
  EXPECT_EQ(g_player.GetButton(0), 3);
  EXPECT_EQ(app.BattleButton(3, 2), 2);
}

TEST_F(SaveFiles, DamagedRankingRowsAreRepairedRowByRow) {
  std::vector<Row> normal = kNormalDefaults;
  normal[0] = {{9, 47, -1, 46, 0}, 1000, 4};  // two letters that are no letters
  normal[1] = {{1, 2, 3, 4, 5}, -7, 2};       // a negative time
  normal[2] = {{1, 2, 3, 4, 5}, 5000, 0};     // no stage reached
  normal[3] = {{1, 2, 3, 4, 5}, 6000, 99};    // more stages than the game has
  normal[4] = {{1, 1, 1, 1, 1}, 99999, 1};
  dir.Write(kNormalRankingFile, RankingFile(normal, true));
  std::vector<Row> sokai = kSokaiDefaults;
  sokai[3] = {{2, 2, 2, 2, 2}, -1, 0};
  sokai[4] = {{3, 3, 3, 3, 3}, 0, 0};
  dir.Write(kSokaiRankingFile, RankingFile(sokai, false));
  Restart();

  const std::vector<Row> wantNormal = {{{9, 10, 10, 46, 0}, 1000, 4},
                                       kNormalDefaults[1],
                                       kNormalDefaults[2],
                                       kNormalDefaults[3],
                                       {{1, 1, 1, 1, 1}, 99999, 1}};
  EXPECT_EQ(Rows(app.normalRanking, true), wantNormal);
  std::vector<Row> wantSokai = kSokaiDefaults;
  wantSokai[4] = {{3, 3, 3, 3, 3}, 0, 0};
  EXPECT_EQ(Rows(app.sokaiRanking, false), wantSokai);

  // Cut inside the third row: the first two stay, the rest are the defaults.
  const std::vector<Row> mine = {{{1, 1, 1, 1, 1}, 100, 4}, {{2, 2, 2, 2, 2}, 200, 3}};
  const std::string full = RankingFile(
      {mine[0], mine[1], {{3, 3, 3, 3, 3}, 300, 3}, kNormalDefaults[3], kNormalDefaults[4]}, true);
  const size_t cut = full.find("\x8e\x9e\x8a\xd4=300");  // before the third row's time
  dir.Write(kNormalRankingFile, full.substr(0, cut));
  Restart();
  const std::vector<Row> got = Rows(app.normalRanking, true);
  EXPECT_EQ(got[0], mine[0]);
  EXPECT_EQ(got[1], mine[1]);
  for (int r = 2; r < 5; ++r) EXPECT_EQ(got[static_cast<size_t>(r)], kNormalDefaults[r]) << r;
}

// ---- Folders that cannot take the files ----

TEST_F(SaveFiles, UnwritableSaveFolderKeepsTheOldFiles) {
  StartGame();
  SaveAll();
  const std::vector<std::string> before = AllBytes();
  app.options.volume = 900;
  app.normalRanking[0].value = 1;
  app.sokaiRanking[0].value = 9999;

  // The save folder replaced by a file: nothing can be created in it.
  const fs::path save = dir.path() / "save";
  fs::rename(save, dir.path() / "kept");
  dir.Write("save", "a file, not a folder");
  EXPECT_FALSE(app.SaveOptions(kOptionFile));
  EXPECT_FALSE(app.SaveNormalRanking(kNormalRankingFile));
  EXPECT_FALSE(app.SaveSokaiRanking(kSokaiRankingFile));
  EXPECT_EQ(scenetest::ReadBytes(save), "a file, not a folder");
  fs::remove(save);
  fs::rename(dir.path() / "kept", save);
  EXPECT_EQ(AllBytes(), before);

  // A read-only folder (the superuser writes there anyway).
  if (::geteuid() != 0) {
    fs::permissions(save, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(app.SaveOptions(kOptionFile));
    fs::permissions(save, fs::perms::owner_all);
    EXPECT_EQ(AllBytes(), before);
  }
}

TEST_F(SaveFiles, FullDiskKeepsTheOldFilesWhole) {
  StartGame();
  SaveAll();
  const std::vector<std::string> before = AllBytes();
  app.options.volume = 900;
  app.normalRanking[0].value = 1;

  // Files may not grow past 64 bytes: every write of a whole file fails
  // part way, as on a full disk.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct sigaction ignore {
  }, oldAction{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &oldAction);
  struct rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool options = app.SaveOptions(kOptionFile);
  const bool normal = app.SaveNormalRanking(kNormalRankingFile);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &oldAction, nullptr);

  EXPECT_FALSE(options);
  EXPECT_FALSE(normal);
  EXPECT_EQ(AllBytes(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "save"), {}), 3);
}

TEST_F(SaveFiles, MissingSaveFolderIsMadeWhenSaving) {
  StartGame();
  fs::remove_all(dir.path() / "save");
  SaveAll();
  EXPECT_EQ(SaveBytes(kOptionFile), OptionFile({}));
}

TEST_F(SaveFiles, EmptyTableWritesNoFile) {
  StartGame();
  app.sokaiRanking.clear();
  EXPECT_FALSE(app.SaveSokaiRanking(kSokaiRankingFile));
  EXPECT_FALSE(fs::exists(SavePath(kSokaiRankingFile)));
}

// ---- Placing a result ----

TEST_F(SaveFiles, NormalResultsArePlacedByStagesThenFrames) {
  StartGame();
  struct Case {
    int stages, frames, place;
  };
  const Case cases[] = {
      {2, 30000, 1},   // below 24123, above 31323
      {2, 24123, 0},   // a tie goes above the stored row
      {2, 24122, 0},   // the best
      {2, 31323, 1},   // tie with row 1
      {1, 52923, 4},   // tie with the last row takes the last place
      {1, 52924, 5},   // one frame slower: not placed
      {1, 10, 3},      // fast, but fewer stages than rows 0 to 2
      {3, 999999, 0},  // more stages beat any time
      {4, 0, 0},
  };
  for (const Case& c : cases) {
    app.framesUsed = c.frames;
    EXPECT_EQ(app.NormalRankPosition(c.stages), c.place) << c.stages << " " << c.frames;
    EXPECT_EQ(app.rankPlace, c.place);
    EXPECT_EQ(app.resultTime, c.frames);
    EXPECT_EQ(app.resultStages, c.stages);
  }
}

TEST_F(SaveFiles, SokaiScoresArePlacedByScore) {
  StartGame();
  const std::pair<int, int> cases[] = {{300, 4}, {299, 5}, {500, 0}, {501, 0},
                                       {450, 1}, {449, 2}, {0, 5},   {-3, 5}};
  for (auto [score, place] : cases) {
    app.sokai.score = score;
    EXPECT_EQ(app.SokaiRankPosition(), place) << score;
    EXPECT_EQ(app.rankPlace, place);
    EXPECT_EQ(app.resultScore, score);
  }
}

}  // namespace
