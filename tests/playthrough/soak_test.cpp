// The soak: the real game, started as the program starts, mashed by a
// monkey for tens of thousands of frames with pads unplugged and plugged
// back, steered through every scene; no scene may hold it, and the memory in
// use must stay flat once every scene has been seen. Then the same on a copy
// of the data with one file of each kind damaged, down to the program's own
// loop ending with status 0. Frames are drawn one in kDrawEvery.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/Program.h"
#include "playthrough/monkey.h"
#include "port/input.h"
#include "support/game_run.h"

namespace {

using namespace gamerun;
using playthrough::MemorySample;
using playthrough::Monkey;
using playthrough::SampleMemory;

constexpr int kDrawEvery = 64;

// The longest any scene may hold the game while steered: a stage played
// to its end (each emptied area pays time back onto its clock), the sokai
// stage's clock and tally, the longest match, or a menu steered out of after
// its mashing.
int StayLimit(int32_t scene) {
  switch (scene) {
    case SceneStage1:
    case SceneStage2:
    case SceneStage3:
      return 20000;
    case SceneSokai:
      return 3500 + 1200;
    case SceneBattle:
      return 9900 + 1200;
    default:
      return 1500;
  }
}

void ExpectNoSceneHeld(const Monkey& m) {
  for (const auto& [scene, stay] : m.longestStay)
    EXPECT_LE(stay, StayLimit(scene)) << "scene " << scene << " held the game";
}

// Drives the monkey, drawing one frame in kDrawEvery.
void RunMonkey(GameRun& run, Monkey& m, int frames) {
  for (int i = 0; i < frames; ++i) {
    run.drawing = i % kDrawEvery == 0;
    m.Step();
  }
  run.drawing = false;
}

std::string ReadBytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

double Mb(int64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST(Soak, MonkeyVisitsEverySceneWithPadsComingAndGoingAndMemoryStaysFlat) {
  GameRun run(2);
  ASSERT_TRUE(run.Start(2703));
  Monkey monkey(run, 2703);
  const int frames = 40000;
  RunMonkey(run, monkey, frames);
  ASSERT_TRUE(monkey.ExitFromTitle(3000)) << monkey.Report();
  std::printf("%s\n", monkey.Report().c_str());
  ASSERT_GE(monkey.titleAfterTour.size(), 2u) << monkey.Report();
  const MemorySample first = monkey.titleAfterTour.front(), last = monkey.titleAfterTour.back();
  std::printf("memory after the first tour (frame %lld): resident %.1f MB, heap %.1f MB\n",
              static_cast<long long>(monkey.afterFirstTourFrame),
              Mb(monkey.afterFirstTour.resident), Mb(monkey.afterFirstTour.heap));
  std::printf(
      "on the title after it, first and last of %zu: resident %.1f and %.1f MB, heap %.1f "
      "and %.1f MB\n",
      monkey.titleAfterTour.size(), Mb(first.resident), Mb(last.resident), Mb(first.heap),
      Mb(last.heap));

  EXPECT_TRUE(monkey.Visited(
      {SceneTitle, SceneStageIntro, SceneStage1, SceneStage2, SceneStage3, SceneSokai, SceneOptions,
       SceneButtonConfig1P, SceneRanking1, SceneRankingSokai, SceneNameEntry1, SceneBattleSettings,
       SceneCharacterSelect, SceneStageSelect, SceneBattle, SceneButtonConfig2P4P}))
      << monkey.Report();
  ExpectNoSceneHeld(monkey);
  EXPECT_GE(monkey.unplugs, 5);
  EXPECT_GE(monkey.restarts, 1);
  // Flat: what every scene holds is given back when it is left. The first
  // tour must end with room left to measure.
  ASSERT_GE(monkey.afterFirstTourFrame, 0);
  EXPECT_LT(monkey.afterFirstTourFrame, frames - 5000) << monkey.Report();
  // Measured: under 4 MB here, under 8 MB with the sanitizer's allocator.
  EXPECT_LT(last.heap - first.heap, (kSanitized ? 16 : 8) << 20);
  // The sanitizer keeps freed memory in quarantine: only its heap figure counts.
  if (!kSanitized) {
    EXPECT_LT(last.resident - first.resident, 32 << 20);
  }
}

// The damaged copy: one file of each kind truncated to half or replaced by
// as many random bytes.
struct Damage {
  std::string file;
  bool garbage;
};

std::string Damaged(const std::string& bytes, bool garbage, std::mt19937& rng) {
  if (!garbage) return bytes.substr(0, bytes.size() / 2);
  std::string out(bytes.size() ? bytes.size() : 64, '\0');
  for (char& c : out) c = static_cast<char>(rng());
  return out;
}

std::string FirstFileIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e :
       std::filesystem::directory_iterator(std::string(POMELVANE_RUN_DIR) + "/" + folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names.empty() ? std::string() : folder + "/" + names.front();
}

void DamageData(GameRun& run, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Damage> damage = {
      {"Xfile/zako1/stop.X", false},      // a model
      {"Xfile/player/run.X", true},       // an animation
      {"Xfile/stage1/stage1.X", true},    // a field model
      {"texture/title/title.png", true},  // textures
      {"texture/font.png", false},
      {FirstFileIn("sound/system"), false},  // sounds
      {FirstFileIn("sound/stage"), true},
      {"AppearData/stage1/stage1_erea1.arg", true},  // placements
      {"AppearData/stage2/stage2_player.arg", false},
      {"data/toonSkinEffect.fx", false},  // the effect
  };
  // Every piece of music, so the one that plays is damaged.
  bool garbage = false;
  for (const auto& e :
       std::filesystem::directory_iterator(std::string(POMELVANE_RUN_DIR) + "/sound/bgm"))
    damage.push_back({"sound/bgm/" + e.path().filename().string(), garbage = !garbage});
  for (const Damage& d : damage) {
    const std::string bytes = ReadBytesOf(std::string(POMELVANE_RUN_DIR) + "/" + d.file);
    ASSERT_FALSE(bytes.empty()) << d.file;
    run.WriteFile(d.file, Damaged(bytes, d.garbage, rng));
  }
  // The save files: a ranking cut short, garbage for the others.
  Application writer;
  writer.LoadNormalRanking("no-such-file");
  ASSERT_TRUE(writer.SaveNormalRanking(kNormalRankingFile));
  run.WriteFile(kNormalRankingFile, Damaged(run.ReadFile(kNormalRankingFile), false, rng));
  run.WriteFile(kOptionFile, Damaged(std::string(300, 'x'), true, rng));
  run.WriteFile(kSokaiRankingFile, Damaged(std::string(500, 'x'), true, rng));
}

// The program's own loop; the title's exit item taken by keys after a few frames.
int g_titleFrames = 0;
void ExitingTitle(Application& a) {
  ++g_titleFrames;
  port::SetTestKey(kX, g_titleFrames == 20);
  port::SetTestKey(kZ, g_titleFrames >= 24 && g_titleFrames < 26);
  GameSceneTable()[SceneTitle].update(a);
}

TEST(Soak, DamagedDataStartsRunsEverySceneItCanAndExitsWithStatusZero) {
  GameRun run(2);
  ASSERT_NO_FATAL_FAILURE(DamageData(run, 2704));
  ASSERT_TRUE(run.Start(2704));
  EXPECT_EQ(g_app.options.volume, 500) << "a garbage option file gives the defaults";
  EXPECT_EQ(g_app.toonEffectAvailable, 0) << "the effect cut short";
  Monkey monkey(run, 2704);
  monkey.playStages = false;
  RunMonkey(run, monkey, kSanitized ? 8000 : 12000);
  ASSERT_TRUE(monkey.ExitFromTitle(3000)) << monkey.Report();
  std::printf("damaged data: %s\n", monkey.Report().c_str());
  EXPECT_TRUE(monkey.Visited({SceneTitle, SceneStageIntro, SceneStage1, SceneSokai, SceneOptions,
                              SceneButtonConfig1P, SceneRanking1, SceneBattleSettings,
                              SceneCharacterSelect}))
      << monkey.Report();
  ExpectNoSceneHeld(monkey);
  run.Stop();

  // Started by the program itself: it starts, shows the title and ends with 0.
  testsupport::ScopedEnv display{"DISPLAY", nullptr};
  testsupport::ScopedEnv wayland{"WAYLAND_DISPLAY", nullptr};
  SceneTable table = GameSceneTable();
  table[SceneTitle].update = &ExitingTitle;
  g_titleFrames = 0;
  testsupport::ScopedProgramState::Reset();
  g_app.sceneTable = &table;
  EXPECT_EQ(RunProgram(), 0);
  g_app.sceneTable = nullptr;
  EXPECT_EQ(g_titleFrames, 24) << "the exit taken on the title's 24th frame";
  port::ClearTestKeys();
}

}  // namespace
