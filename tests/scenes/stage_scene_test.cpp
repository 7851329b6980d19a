// The stage scenes driven from the title frame by frame: the phases with
// their cues and sounds, the clock with its bonus and warnings, time over and
// game over with the ranking check, the clear leading through the
// introduction into the next stage, the pause menu, F12, and stages that
// lack their data files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actors/Player.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

namespace {

using namespace stagescene;

// The stage sounds of the scenes.
constexpr int kBossEntry = 3, kReady = 21, kGo = 22, kGameOverVoice = 23, kTimeOverBell = 24,
              kTick = 25, kAreaEntry = 40;

class StageSceneFlow : public StageSceneTest {
 protected:
  // Each placement file of stage n taken away but the player's: every area
  // and the boss end on their second frame.
  void EmptyAreas(int stage, int areas) {
    const std::string base =
        "AppearData/stage" + std::to_string(stage) + "/stage" + std::to_string(stage);
    for (int a = 1; a <= areas; ++a) Remove(base + "_erea" + std::to_string(a) + ".arg");
    Remove(base + "_boss.arg");
  }
  // The phases of the frames to come, one entry per phase change.
  std::vector<int32_t> PhasesUntil(int32_t scene, int limit) {
    std::vector<int32_t> seen{app.stagePhase};
    for (int i = 0; i < limit && app.currentScene == scene; ++i) {
      Frames();
      if (app.currentScene == scene && app.stagePhase != seen.back())
        seen.push_back(app.stagePhase);
    }
    return seen;
  }
};

TEST_F(StageSceneFlow, IdleRunEndsInTimeOverAndGameOverAndIsRanked) {
  StartFromTitle(kItemStageMode);
  ASSERT_EQ(app.currentScene, SceneStage1);
  const int start = frame;
  EXPECT_EQ(app.stagePhase, kPhaseIntro);
  EXPECT_EQ(app.timeLeft, 5000);
  EXPECT_EQ(app.stageMode.framesUsed, 0);
  EXPECT_EQ(app.sceneTextures.size(), 9u);
  EXPECT_EQ(g_stageField.GetDrawMode(), 1);
  EXPECT_TRUE(g_player.IsAlive()) << "placed by the player file";

  // The two cues, then the first area at phase frame 230; the clock stands.
  ASSERT_EQ(app.phaseFrame, 1);
  ASSERT_EQ(UntilPhase(kPhaseArea1), 229);
  EXPECT_EQ(FramesOf(kReady), (std::vector<int>{start + 29}));
  EXPECT_EQ(FramesOf(kGo), (std::vector<int>{start + 139}));
  EXPECT_EQ(app.timeLeft, 5000);
  Frames();
  AddSentinel();  // the area never empties

  // Nothing is done until the time runs out: 5001 frames of the clock.
  ClearSounds();
  const int areaStart = frame - 1;
  ASSERT_GT(UntilPhase(kPhaseTimeOver, 6000), 0);
  EXPECT_EQ(frame - areaStart, 5001);
  EXPECT_EQ(app.timeLeft, 0);
  EXPECT_EQ(app.stageMode.framesUsed, 5001);
  EXPECT_EQ(CountSound(kTick), 10) << "at 1000, 900, ... 100";
  EXPECT_EQ(FramesOf(kTimeOverBell), (std::vector<int>{frame}));
  EXPECT_EQ(app.bonus, 0);

  // Time over holds 181 frames, game over 181 more; the voice on its first.
  Frames();
  EXPECT_EQ(g_player.mode, kPlayerTimeUp);
  ASSERT_EQ(UntilPhase(kPhaseGameOver), 180);
  Frames();
  EXPECT_EQ(FramesOf(kGameOverVoice), (std::vector<int>{frame}));
  EXPECT_EQ(g_player.mode, kPlayerGameOver);
  ASSERT_EQ(FramesUntil([&] { return app.currentScene == SceneNone; }, 400), 180);

  // 1 stage in 5001 frames: third of the default table.
  EXPECT_EQ(app.requestedScene, SceneNameEntry1);
  EXPECT_EQ(app.result.rankPlace, 2 + 1);
  EXPECT_EQ(app.result.stages, 1);
  EXPECT_EQ(app.result.time, 5001);
  EXPECT_TRUE(app.sceneTextures.empty());
  EXPECT_EQ(g_characters.Size(), 0u);
  EXPECT_EQ(g_stageField.Ground().GetMesh(), nullptr);
  Frames();
  EXPECT_EQ(app.currentScene, SceneNameEntry1);
}

TEST_F(StageSceneFlow, GameOverRanksWithTheStagesOfEachStage) {
  struct Case {
    int32_t scene;
    int32_t stages;
    bool tableBeaten;  // false: every row has cleared all four stages
    int32_t next;
  };
  const Case cases[] = {{SceneStage1, 1, true, SceneNameEntry1},
                        {SceneStage2, 2, true, SceneNameEntry1},
                        {SceneStage3, 3, true, SceneNameEntry1},
                        {SceneStage2, 2, false, SceneTitle}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    app.LoadNormalRanking("no-such-folder/normal.sav");
    if (!c.tableBeaten)
      for (RankingEntry& row : app.normalRanking) row.stages = 4;
    app.requestedScene = c.scene;
    Frames();
    ASSERT_EQ(app.currentScene, c.scene);
    ASSERT_GT(UntilPhase(kPhaseArea1), 0);
    Frames();
    AddSentinel();
    app.timeLeft = 3;
    ASSERT_EQ(UntilPhase(kPhaseTimeOver), 4);
    ASSERT_GT(FramesUntil([&] { return app.currentScene == SceneNone; }, 400), 0);
    EXPECT_EQ(app.result.stages, c.stages);
    EXPECT_EQ(app.requestedScene, c.next);
    app.requestedScene = SceneNone;
  }
}

TEST_F(StageSceneFlow, ClearLeadsThroughTheIntroductionIntoStageTwoKeepingFramesUsed) {
  EmptyAreas(1, 2);
  StartFromTitle(kItemStageMode);
  ClearSounds();
  EXPECT_EQ(PhasesUntil(SceneStage1, 1000),
            (std::vector<int32_t>{kPhaseIntro, kPhaseArea1, kPhaseArea2, kPhaseBoss, kPhaseClear}));
  EXPECT_EQ(app.requestedScene, SceneStageIntro);
  EXPECT_EQ(app.stageMode.introTarget, SceneStage2);
  // Two frames in each of areas 1, 2 and the boss: the clock ran six.
  EXPECT_EQ(app.stageMode.framesUsed, 6);
  EXPECT_EQ(CountSound(kAreaEntry), 1);
  EXPECT_EQ(CountSound(kBossEntry), 1);
  EXPECT_EQ(CountSound(kMusicSoundId), 1) << "the clear's music";
  EXPECT_EQ(g_player.mode, kPlayerClear);

  Frames();
  ASSERT_EQ(app.currentScene, SceneStageIntro);
  SkipIntroduction();
  ASSERT_EQ(app.currentScene, SceneStage2);
  EXPECT_EQ(app.stageMode.framesUsed, 6) << "stage 2 goes on counting the run";
  EXPECT_EQ(app.timeLeft, 5000);
  EXPECT_EQ(app.stagePhase, kPhaseIntro);
  EXPECT_EQ(g_stageField.GetDrawMode(), 2);
}

TEST_F(StageSceneFlow, StageThreeClearRanksTheRunWithFourStages) {
  EmptyAreas(3, 4);
  app.stageMode.framesUsed = 20000;  // from stages 1 and 2
  app.requestedScene = SceneStage3;
  Frames();
  EXPECT_EQ(app.stageMode.framesUsed, 20000) << "kept by stages 2 and 3";
  EXPECT_EQ(g_objects.CountAlive(), 13) << "the hammers";
  EXPECT_EQ(PhasesUntil(SceneStage3, 1000),
            (std::vector<int32_t>{kPhaseIntro, kPhaseArea1, kPhaseArea2, kPhaseArea3, kPhaseArea4,
                                  kPhaseBoss, kPhaseClear}));
  EXPECT_EQ(app.result.stages, 4);
  EXPECT_EQ(app.result.time, 20000 + 10) << "two frames in each of four areas and the boss";
  EXPECT_EQ(app.result.rankPlace, 0);
  EXPECT_EQ(app.requestedScene, SceneNameEntry1);
}

TEST_F(StageSceneFlow, EmptiedAreaMovesOnAndPaysItsBonus) {
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  Frames();
  EXPECT_GT(g_characters.CountAlive(), 0) << "the area file's zako";
  Frames(100);
  EXPECT_EQ(app.stagePhase, kPhaseArea1);
  ClearSounds();
  KillAll();
  Frames();
  EXPECT_EQ(app.stagePhase, kPhaseArea2);
  Frames();  // the entry: the sound and the bonus, paid from the next frame
  AddSentinel();
  EXPECT_EQ(FramesOf(kAreaEntry), (std::vector<int>{frame}));
  EXPECT_EQ(app.bonus, 1500);
  const int32_t before = app.timeLeft;
  Frames(15);
  EXPECT_EQ(app.bonus, 0);
  EXPECT_EQ(app.timeLeft, before + 15 * 99) << "each frame pays 100 and uses 1";
  Frames();
  EXPECT_EQ(app.timeLeft, before + 15 * 99 - 1);
}

TEST_F(StageSceneFlow, BonusNotYetPaidIsKeptByTheNextArea) {
  EmptyAreas(1, 2);
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseClear), 0);
  // Area 2 lasted two frames: 100 of its 1500 paid before the boss's 2500
  // were added; the boss paid 200 more. The rest waits: the clock stands.
  EXPECT_EQ(app.bonus, 1500 + 2500 - 300);
  EXPECT_EQ(app.timeLeft, 5000 - 6 + 300);
}

TEST_F(StageSceneFlow, ClockTicksPaysAndEndsAsTable) {
  struct Case {
    int32_t timeLeft, bonus;
    int32_t timeAfter;  // after one frame
    bool tick, over;
  };
  const Case cases[] = {
      {1101, 0, 1100, false, false},  // 1100 is not below 1100
      {1001, 0, 1000, true, false},  {101, 0, 100, true, false},
      {1, 0, 0, false, false},       // exactly 0 goes on
      {0, 0, 0, false, true},        // -1 is over, shown as 0
      {401, 300, 500, true, false},  // the bonus lands on a hundred
      {0, 300, 99, false, false},    // paid before the test
  };
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  Frames();
  AddSentinel();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeLeft);
    app.stagePhase = kPhaseArea1;
    app.phaseFrame = 10;
    app.timeLeft = c.timeLeft;
    app.bonus = c.bonus;
    ClearSounds();
    Frames();
    EXPECT_EQ(app.timeLeft, c.timeAfter);
    EXPECT_EQ(CountSound(kTick), c.tick ? 1 : 0);
    EXPECT_EQ(app.stagePhase, c.over ? kPhaseTimeOver : kPhaseArea1);
    EXPECT_EQ(CountSound(kTimeOverBell), c.over ? 1 : 0);
  }
}

// ---- Pause and F12 ----

TEST_F(StageSceneFlow, PauseFreezesTheStageUntilResumedOrQuit) {
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  Frames();
  AddSentinel();
  Frames(10);

  for (int key : {kF1, kEscape}) {
    SCOPED_TRACE(key);
    Tap(key);
    ASSERT_EQ(app.stageMode.paused, 1);
    EXPECT_EQ(app.menus.cursor, kItemResume);
    const int32_t time = app.timeLeft, scene = app.sceneFrame, phase = app.phaseFrame,
                  phaseBefore = app.stagePhase;
    const port::Vec3 at = g_player.position;
    // The area is emptied while paused: nothing moves, nothing changes phase.
    KillAll();
    Frames(100);
    EXPECT_EQ(app.timeLeft, time);
    EXPECT_EQ(app.sceneFrame, scene);
    EXPECT_EQ(app.phaseFrame, phase);
    EXPECT_EQ(app.stagePhase, phaseBefore);
    EXPECT_EQ(g_player.position.y, at.y);

    // Up and down toggle the two items; the pause key again resumes.
    Tap(kDown);
    EXPECT_EQ(app.menus.cursor, kItemQuitToTitle);
    Tap(kUp);
    EXPECT_EQ(app.menus.cursor, kItemResume);
    Hold(kDown);
    Frames(20);  // held: one step
    Let(kDown);
    EXPECT_EQ(app.menus.cursor, kItemQuitToTitle);
    Tap(kUp);
    Hold(key);
    Frames();
    EXPECT_EQ(app.stageMode.paused, 0);
    const int32_t next = phaseBefore == kPhaseArea1 ? kPhaseArea2 : kPhaseBoss;
    EXPECT_EQ(app.stagePhase, next) << "the change waited for the resume";
    AddSentinel();
    Let(key);
    Frames(5);
    EXPECT_EQ(app.stagePhase, next);
  }

  // Confirm on the first item resumes; on the second it quits to the title.
  Tap(kF1);
  Tap(kZ);
  EXPECT_EQ(app.stageMode.paused, 0);
  Tap(kF1);
  Tap(kDown);
  Hold(kZ);
  Frames();
  EXPECT_EQ(app.currentScene, SceneNone);
  EXPECT_EQ(app.requestedScene, SceneTitle);
  EXPECT_TRUE(app.sceneTextures.empty());
  EXPECT_EQ(g_characters.Size(), 0u);
  Let(kZ);
  Frames();
  EXPECT_EQ(app.currentScene, SceneTitle);
}

TEST_F(StageSceneFlow, ConfirmHeldWhenPausingDoesNotResume) {
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  Hold(kZ);  // charging the large attack
  Frames(30);
  EXPECT_GT(g_player.charge, 0);
  Tap(kF1);
  Frames(10);
  EXPECT_EQ(app.stageMode.paused, 1) << "the held attack does not close the menu";
  Let(kZ);
  Frames();
  EXPECT_EQ(app.stageMode.paused, 1);
  Hold(kZ);
  Frames();
  EXPECT_EQ(app.stageMode.paused, 0) << "a new press resumes in its first frame";
  Let(kZ);
}

TEST_F(StageSceneFlow, F12AndPauseQuitLeaveEveryStageForTheTitle) {
  struct Case {
    int32_t scene;
    bool pauseQuit;
  };
  const Case cases[] = {{SceneStage1, false}, {SceneStage2, false}, {SceneStage3, false},
                        {SceneSokai, false},  {SceneStage1, true},  {SceneStage3, true},
                        {SceneSokai, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene * 10 + (c.pauseQuit ? 1 : 0));
    app.requestedScene = c.scene;
    Frames(40);
    ASSERT_EQ(app.currentScene, c.scene);
    if (c.pauseQuit) {
      Tap(kEscape);
      Tap(kDown);
      Hold(kZ);
      Hold(kF12);  // both in one frame: released once
    } else {
      Hold(kF12);
    }
    Frames();
    Let(kZ);
    Let(kF12);
    EXPECT_EQ(app.currentScene, SceneNone);
    EXPECT_EQ(app.requestedScene, SceneTitle);
    EXPECT_TRUE(app.sceneTextures.empty());
    EXPECT_EQ(g_characters.Size(), 0u);
    EXPECT_EQ(g_objects.Size(), 0u);
    EXPECT_EQ(g_stageField.Ground().GetMesh(), nullptr);
    Frames();
    EXPECT_EQ(app.currentScene, SceneTitle);
  }
}

// ---- Data files missing ----

TEST_F(StageSceneFlow, StagesRunWithoutTheirDataFiles) {
  const char* folders[] = {"AppearData", "texture", "Xfile", "sound"};
  for (const char* folder : folders) {
    SCOPED_TRACE(folder);
    Remove(folder);
    drawing = true;
    app.requestedScene = SceneStage1;
    Frames(3);
    drawing = false;
    ASSERT_EQ(app.currentScene, SceneStage1);
    if (std::string(folder) == "texture") {
      EXPECT_FALSE(app.sceneTextures[1].IsLoaded());
    }
    // Without placement files every area ends on its second frame.
    if (std::string(folder) == "AppearData") {
      ASSERT_GT(UntilPhase(kPhaseClear, 400), 0);
      EXPECT_EQ(app.stageMode.framesUsed, 6);
      drawing = true;
      Frames(3);
      drawing = false;
    }
    Hold(kF12);
    Frames();
    Let(kF12);
    Frames();
    ASSERT_EQ(app.currentScene, SceneTitle);
    Redirect(folder, folder);
  }
}

}  // namespace
