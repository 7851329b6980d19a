// The sokai stage played from the program's start on pad 0: the crowd
// knocked away by the scripted player's bursts until the time is up, the
// tally, the name entry, the sokai ranking written by the title's exit and
// read back at the next start.
#include <gtest/gtest.h>

#include <string>

#include "app/StagePhase.h"
#include "playthrough/stage_pilot.h"
#include "support/game_run.h"
#include "support/gl_context.h"

namespace {

using namespace gamerun;
using playthrough::StagePilot;

constexpr uint32_t kSeed = 2702;

TEST(SokaiPlaythrough, TitleToTheTallyTheNameEntryAndTheSavedRanking) {
  GameRun run(1);
  ASSERT_TRUE(run.Start(kSeed));
  StagePilot pilot(run);
  run.Frames();
  ASSERT_EQ(g_app.currentScene, SceneTitle);
  // The menus on the pad: right, then the attack button.
  run.PadStick(0, 1, 0);
  run.Frames();
  run.PadStick(0, 0, 0);
  run.Frames();
  run.TapPadButton(0, 0);
  ASSERT_GT(run.UntilScene(SceneSokai, 5), 0);

  // The crowd phase, played; then the tally and the ranking.
  std::vector<int32_t> phases;
  bool checkpoint = false;
  for (int i = 0; i < 5000 && g_app.currentScene == SceneSokai; ++i) {
    pilot.Step();
    if (phases.empty() || phases.back() != g_app.stagePhase) phases.push_back(g_app.stagePhase);
    if (!checkpoint && g_app.stagePhase == kPhaseCrowd && g_app.phaseFrame == 600) {
      checkpoint = true;
      const std::vector<uint32_t> p = run.DrawnFrame();
      EXPECT_GT(gltest::CountNot(p, p[0]), 100000u);
    }
  }
  EXPECT_EQ(phases, (std::vector<int32_t>{kPhaseIntro, kPhaseCrowd, kPhaseTimeOver, kPhaseTally,
                                          kPhaseClear}));
  EXPECT_GT(g_app.sokai.kills, 20);
  EXPECT_GT(g_app.sokai.bursts, 5);
  const int32_t score = g_app.result.score;
  const int32_t place = g_app.result.rankPlace;
  ASSERT_LT(place, kNotPlaced) << "score " << score;
  ASSERT_GT(run.UntilScene(SceneNameEntrySokai, 5), 0);
  // Two letters and the rest left blank: confirm each.
  run.Tap(kRight);
  run.Tap(kZ);
  run.Tap(kLeft);
  for (int i = 0; i < kNameLength - 1; ++i) run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneTitle, 200), 0);

  run.Frames(2);
  run.Tap(kX);
  run.Hold(kZ);
  run.Frames();
  run.Let(kZ);
  ASSERT_EQ(g_quit, 1);
  EXPECT_NE(run.ReadFile(kSokaiRankingFile).find(std::to_string(score)), std::string::npos);

  ASSERT_TRUE(run.Restart(kSeed + 1));
  const RankingEntry& row = g_app.sokaiRanking.at(static_cast<size_t>(place));
  EXPECT_EQ(row.value, score);
  EXPECT_EQ(row.letters[0], kLetterBlank + 1);
  EXPECT_EQ(row.letters[1], kLetterBlank - 1);
  EXPECT_EQ(row.letters[2], kLetterBlank);
}

}  // namespace
