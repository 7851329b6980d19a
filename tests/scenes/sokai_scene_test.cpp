// The sokai stage from the title: the introduction that hands over at once,
// the crowd phase with its own clock, the bursts and kills counted into the
// scene's counters, the tally row by row, and the ranking that decides
// between the name entry and the title.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "actors/Player.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"

namespace {

using namespace stagescene;

class SokaiScene : public StageSceneTest {
 protected:
  // From the title into the crowd phase.
  void StartCrowd() {
    StartFromTitle(kItemSokai);
    ASSERT_EQ(app.currentScene, SceneSokai);
    ASSERT_GT(UntilPhase(kPhaseCrowd), 0);
  }
  // The zako's part of a kill: its count, then the application's.
  void Kill() {
    ++app.sokai.kills;
    app.AddSokaiKill();
  }
};

TEST_F(SokaiScene, TitleLeadsStraightIntoTheSokaiStage) {
  StartFromTitle(kItemSokai, false);
  EXPECT_EQ(app.stageMode.introTarget, SceneSokai);
  // The introduction's first update already requested the stage.
  EXPECT_EQ(app.currentScene, SceneNone);
  EXPECT_EQ(app.requestedScene, SceneSokai);
  Frames();
  ASSERT_EQ(app.currentScene, SceneSokai);
  EXPECT_EQ(app.sceneTextures.size(), 10u);
  EXPECT_EQ(app.timeLeft, 3500);
  EXPECT_EQ(app.sokai.framesSinceKill, 121) << "120 at the start, one frame run";
  EXPECT_EQ(app.sokai.score, 0);
  EXPECT_EQ(g_player.sokai, 1);
  EXPECT_TRUE(g_player.IsAlive());

  // The introduction does not use the 3500 frames.
  ASSERT_GT(UntilPhase(kPhaseCrowd), 0);
  EXPECT_EQ(app.timeLeft, 3500);
  Frames(100);
  EXPECT_EQ(app.timeLeft, 3400);
  EXPECT_EQ(app.stageMode.framesUsed, 0) << "the sokai stage does not count the stage mode's time";
}

TEST_F(SokaiScene, KillsBuildCombosThatEachBurstStartsAgain) {
  StartCrowd();
  // Three kills score 1 + 2 + 3; the combo shows for 121 frames.
  for (int i = 0; i < 3; ++i) Kill();
  EXPECT_EQ(app.sokai.score, 6);
  EXPECT_EQ(app.sokai.framesSinceKill, 0);
  Frames();
  EXPECT_EQ(app.sokai.maxCombo, 3);
  EXPECT_EQ(app.sokai.framesSinceKill, 1);

  // The player's attack sends a burst: counted, and the combo starts again.
  Hold(kZ);
  ASSERT_GT(FramesUntil([&] { return app.sokai.bursts > 0; }, 200), 0);
  Let(kZ);
  EXPECT_EQ(app.sokai.combo, 0);
  Kill();
  Kill();
  EXPECT_EQ(app.sokai.score, 6 + 1 + 2);
  Frames();
  EXPECT_EQ(app.sokai.maxCombo, 3) << "the best combo stays";
}

TEST_F(SokaiScene, TallyAddsEachRowAndTheScoreIsRanked) {
  struct Case {
    int32_t kills, bursts, maxCombo, scoreBefore;
    int32_t rows[3];  // what each row adds
    int32_t place;    // against the default table: 500, 450, 400, 350, 300
    int32_t next;     // the scene after the ranked or unranked pose
  };
  const Case cases[] = {
      {12, 3, 6, 60, {60, 280, 270}, 0, SceneNameEntrySokai},  // 670
      {0, 0, 0, 0, {0, 0, 0}, kNotPlaced, SceneTitle},         // nothing done
      {7, 0, 7, 28, {35, 0, 315}, 3, SceneNameEntrySokai},     // no burst: no division
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kills);
    app.requestedScene = SceneNone;
    app.LoadSokaiRanking("no-such-folder/sokai.sav");  // the last case's name left out
    StartCrowd();
    app.timeLeft = 2;
    ASSERT_EQ(UntilPhase(kPhaseTimeOver), 3);
    EXPECT_EQ(app.timeLeft, 0);
    app.sokai.kills = c.kills;
    app.sokai.bursts = c.bursts;
    app.sokai.maxCombo = c.maxCombo;
    app.sokai.combo = 0;
    app.sokai.score = c.scoreBefore;
    ASSERT_EQ(UntilPhase(kPhaseTally), 181);
    const int rowFrames[3] = {40, 100, 160};
    int32_t score = c.scoreBefore;
    for (int r = 0; r < 3; ++r) {
      Frames(rowFrames[r] - app.phaseFrame - 1);
      EXPECT_EQ(app.sokai.score, score) << "before row " << r;
      Frames();
      score += c.rows[r];
      EXPECT_EQ(app.sokai.score, score) << "row " << r;
    }
    const bool ranked = c.next != SceneTitle;
    ASSERT_EQ(UntilPhase(ranked ? kPhaseClear : kPhaseGameOver), 301 - 160);
    EXPECT_EQ(app.result.score, score);
    EXPECT_EQ(app.result.rankPlace, c.place);
    ASSERT_EQ(FramesUntil([&] { return app.currentScene == SceneNone; }, 400), ranked ? 261 : 181);
    EXPECT_EQ(app.requestedScene, c.next);
    EXPECT_TRUE(app.sceneTextures.empty());
    Frames();
    EXPECT_EQ(app.currentScene, c.next);
  }
}

TEST_F(SokaiScene, CrowdGrowsEveryTenFramesUpToTheCapAndBurstsKnockItAway) {
  StartCrowd();
  Frames(199);
  EXPECT_EQ(g_characters.CountAlive(), 19) << "one every tenth crowd frame";
  // The next drops from 10 up over the square of 10 by 10 round the centre.
  std::vector<const Character*> before;
  g_characters.ForEach([&](Character* c) { before.push_back(c); });
  Frames();
  EXPECT_EQ(g_characters.CountAlive(), 20);
  g_characters.ForEach([&](Character* c) {
    EXPECT_EQ(c->GetKind(), kCharacterZako1b);
    if (std::find(before.begin(), before.end(), c) != before.end()) return;
    EXPECT_LE(std::fabs(c->position.x), 5.0f + 0.5f);
    EXPECT_LE(std::fabs(c->position.z), 5.0f + 0.5f);
    EXPECT_GT(c->position.y, 9.0f);
  });

  // At the cap no more come; below it they come again on the next tenth frame.
  std::vector<Sentinel*> sentinels;
  for (int i = g_characters.CountAlive(); i < 100; ++i)
    sentinels.push_back(AddSentinel({30.0f, 1.0f, 30.0f}));
  const size_t slots = g_characters.Size();
  Frames(30);
  EXPECT_EQ(g_characters.CountAlive(), 100);
  EXPECT_EQ(g_characters.Size(), slots);
  for (int i = 0; i < 5; ++i) sentinels[static_cast<size_t>(i)]->alive = 0;
  Frames(10);
  EXPECT_EQ(g_characters.CountAlive(), 96);
  for (Sentinel* s : sentinels) s->alive = 0;

  // Bursts knock them flying: each one thrown is a kill in the combo.
  for (int i = 0; i < 6 && app.sokai.kills == 0; ++i) {
    Hold(kZ);
    Frames(40);
    Let(kZ);
    Frames(40);
  }
  EXPECT_GT(app.sokai.bursts, 0);
  EXPECT_GT(app.sokai.kills, 0);
  EXPECT_GT(app.sokai.score, 0);
  EXPECT_GE(app.sokai.maxCombo, 1);
}

}  // namespace
