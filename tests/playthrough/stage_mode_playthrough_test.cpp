// The stage mode played from the program's start with the keys alone: the
// title, stages 1, 2 and 3 with their areas and bosses cleared by a scripted
// player, the run ranked and named, the ranking written by the title's exit
// and read back at the next start. Frames are not drawn but at a few
// checkpoints, which read the picture back.
#include <gtest/gtest.h>

#include <string>

#include "actors/Player.h"
#include "app/StagePhase.h"
#include "playthrough/stage_pilot.h"
#include "support/game_run.h"
#include "support/gl_context.h"

namespace {

using namespace gamerun;
using playthrough::StagePilot;

constexpr uint32_t kSeed = 2701;
// The clock ends a stage before this: each emptied area pays time back.
constexpr int kStageLimit = 20000;

// Pixels that differ from the picture's first one.
size_t Drawn(const std::vector<uint32_t>& picture) {
  return picture.empty() ? 0 : gltest::CountNot(picture, picture[0]);
}

// Through a running introduction, skipped, into its stage.
void SkipIntroduction(GameRun& run, int32_t stage) {
  ASSERT_GT(run.UntilScene(SceneStageIntro, 5), 0);
  EXPECT_EQ(g_app.stageMode.introTarget, stage);
  run.Frames(30);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(stage, 400), 0);
}

// One stage played to its clear: every phase seen on the way.
void ClearStage(GameRun& run, StagePilot& pilot, int32_t stage, int areas) {
  SCOPED_TRACE(stage);
  std::vector<int32_t> phases;
  bool checkpoint = false;
  int frames = 0;
  while (frames < kStageLimit && g_app.currentScene == stage) {
    pilot.Step();
    ++frames;
    if (phases.empty() || phases.back() != g_app.stagePhase) phases.push_back(g_app.stagePhase);
    if (!checkpoint && g_app.stagePhase == kPhaseArea1 && g_app.phaseFrame == 100) {
      // The field, the player, the enemies and the clock are drawn.
      checkpoint = true;
      EXPECT_GT(Drawn(run.DrawnFrame()), 100000u);
    }
  }
  std::vector<int32_t> want{kPhaseIntro};
  for (int a = 1; a <= areas; ++a) want.push_back(a);
  want.push_back(kPhaseBoss);
  want.push_back(kPhaseClear);
  ASSERT_EQ(phases, want) << "time left " << g_app.timeLeft << " after " << frames << " frames";
  EXPECT_TRUE(checkpoint);
}

TEST(StageModePlaythrough, TitleThroughThreeStagesAndTheirBossesToTheNamedRanking) {
  GameRun run;
  ASSERT_TRUE(run.Start(kSeed));
  StagePilot pilot(run);
  run.Frames();
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  EXPECT_GT(Drawn(run.DrawnFrame()), 50000u) << "the title";

  run.Tap(kZ);
  const struct {
    int32_t scene;
    int areas;
  } stages[] = {{SceneStage1, 2}, {SceneStage2, 4}, {SceneStage3, 4}};
  for (const auto& s : stages) {
    ASSERT_NO_FATAL_FAILURE(SkipIntroduction(run, s.scene));
    ASSERT_NO_FATAL_FAILURE(ClearStage(run, pilot, s.scene, s.areas));
  }
  EXPECT_GT(pilot.shots, 50);
  EXPECT_GT(pilot.hits, 150);
  EXPECT_GT(pilot.charges, 0);

  // The clear of stage 3 ranks the run with four stages; the name entry.
  EXPECT_EQ(g_app.result.stages, 4);
  const int32_t time = g_app.result.time;
  EXPECT_GT(time, 1000);
  ASSERT_GT(run.UntilScene(SceneNameEntry1, 400), 0);
  const int32_t place = g_app.result.rankPlace;
  ASSERT_LT(place, kNotPlaced);
  EXPECT_GT(Drawn(run.DrawnFrame()), 5000u) << "the name entry";
  // Letters 11 to 15: one to five steps right from the blank each, then confirm.
  for (int i = 1; i <= kNameLength; ++i) {
    for (int k = 0; k < i; ++k) run.Tap(kRight);
    run.Tap(kZ);
  }
  ASSERT_GT(run.UntilScene(SceneTitle, 200), 0);

  // The title's exit writes the table.
  run.Frames(2);
  run.Tap(kX);
  run.Hold(kZ);
  run.Frames();
  run.Let(kZ);
  ASSERT_EQ(g_quit, 1);
  EXPECT_NE(run.ReadFile(kNormalRankingFile).find(std::to_string(time)), std::string::npos);

  // The next start reads it back, and the ranking page shows it.
  ASSERT_TRUE(run.Restart(kSeed + 1));
  const RankingEntry& row = g_app.normalRanking.at(static_cast<size_t>(place));
  EXPECT_EQ(row.value, time);
  EXPECT_EQ(row.stages, 4);
  for (int i = 0; i < kNameLength; ++i) EXPECT_EQ(row.letters[i], kLetterBlank + i + 1) << i;
  run.Frames();
  for (int i = 0; i < 3; ++i) run.Tap(kRight);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneRanking1, 5), 0);
  EXPECT_GT(Drawn(run.DrawnFrame()), 5000u) << "the ranking page";
  run.Tap(kX);
  EXPECT_GT(run.UntilScene(SceneTitle, 5), 0);
}

}  // namespace
