// The boss phase of each stage played through the stage scenes: the boss
// placed by the stage's boss file makes its entrance, is shot down by the
// player's shots, and its death ends the phase; stage 3's clear ranks the
// run with four stages. Missing or damaged boss files never stop a stage.
#include <gtest/gtest.h>

#include <string>

#include "actors/Boss.h"
#include "actors/Boss1.h"
#include "actors/Boss3.h"
#include "app/StagePhase.h"
#include "support/stage_fixture.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"
#include "world/ObjectList.h"

namespace {

using namespace stagescene;

class StageBoss : public StageSceneTest {
 protected:
  // Every area file of stage n taken away: its areas end on their second
  // frame, and the boss phase begins.
  void EmptyAreas(int stage, int areas) {
    for (int a = 1; a <= areas; ++a) Remove(AreaFile(stage, a));
  }
  static std::string AreaFile(int stage, int area) {
    const std::string n = std::to_string(stage);
    return "AppearData/stage" + n + "/stage" + n + "_erea" + std::to_string(area) + ".arg";
  }
  // The first live boss of the character list.
  static Boss* LiveBoss() {
    for (size_t i = 0; i < g_characters.Size(); ++i) {
      auto* b = dynamic_cast<Boss*>(g_characters.At(i));
      if (b && b->IsAlive()) return b;
    }
    return nullptr;
  }
  // Keeps a shot of the player's side on the boss, frame after frame, until
  // the boss is gone or the limit passes; the frames taken, or -1.
  int ShootDown(int limit) {
    stagetest::EnemyObject* shot = nullptr;
    for (int i = 1; i <= limit; ++i) {
      if (Boss* boss = LiveBoss()) {
        if (!shot) {
          auto made = std::make_unique<stagetest::EnemyObject>(boss->position, 0.3f, 10.0f);
          shot = made.get();
          shot->owner = kOwnerPlayer;
          shot->type = kObjectTama;
          g_objects.Add(std::move(made));
        }
        shot->position = boss->position;
      }
      Frames();
      if (!LiveBoss()) return i;
    }
    return -1;
  }
};

TEST_F(StageBoss, EachStagesPlacedBossEntersIsShotDownAndItsDeathEndsThePhase) {
  struct Case {
    int32_t scene;
    int stage, areas;
    int32_t kind;
    float hitPoints;
  };
  const Case cases[] = {{SceneStage1, 1, 2, kCharacterBoss1, 4.0f},
                        {SceneStage2, 2, 4, kCharacterBoss2, 8.0f},
                        {SceneStage3, 3, 4, kCharacterBoss3, 6.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stage);
    EmptyAreas(c.stage, c.areas);
    app.stageMode.framesUsed = 10000;
    app.requestedScene = c.scene;
    Frames();
    ASSERT_GT(UntilPhase(kPhaseBoss), 0);
    Frames();
    Boss* boss = LiveBoss();
    ASSERT_NE(boss, nullptr) << "placed by the boss file";
    EXPECT_EQ(boss->kind, c.kind);
    EXPECT_NEAR(boss->position.x, 0.0f, 0.5f) << "one frame from its place";
    EXPECT_NEAR(boss->position.z, 15.0f, 0.5f);
    EXPECT_FLOAT_EQ(boss->hitPoints, c.hitPoints);
    Frames(2);
    EXPECT_EQ(boss->announcement, 1);

    ASSERT_GT(ShootDown(4000), 0);
    EXPECT_EQ(app.stagePhase, kPhaseBoss) << "the phase ends on the next frame";
    EXPECT_EQ(g_player.gaugeKind, c.kind);
    Frames();
    EXPECT_EQ(app.stagePhase, kPhaseClear);
    ASSERT_GT(FramesUntil([&] { return app.currentScene == SceneNone; }, 400), 0);
    if (c.stage < 3) {
      EXPECT_EQ(app.requestedScene, SceneStageIntro);
      EXPECT_EQ(app.stageMode.introTarget, c.scene + 1);
    } else {
      EXPECT_EQ(app.result.stages, 4);
    }
    app.requestedScene = SceneNone;
    Frames();
  }
}

TEST_F(StageBoss, StageThreesBossPhaseFromThePlacedBossToTheRankingWithFourStages) {
  EmptyAreas(3, 4);
  app.stageMode.framesUsed = 20000;  // from stages 1 and 2
  app.requestedScene = SceneStage3;
  Frames();
  ASSERT_GT(UntilPhase(kPhaseBoss), 0);
  ClearSounds();
  Frames();
  Boss* boss = LiveBoss();
  ASSERT_NE(boss, nullptr);
  ASSERT_EQ(boss->kind, kCharacterBoss3);
  EXPECT_EQ(CountSound(3), 1) << "the boss's entry cue";
  // It runs its entrance whatever the player does: the levy pose at 80.
  Frames(79);
  EXPECT_EQ(boss->lifeFrames, 80);
  EXPECT_EQ(boss->state, kBoss3Levy);
  EXPECT_GT(g_objects.CountAlive(), 13) << "the hammers and the four launchers it dropped";

  const int frames = ShootDown(4000);
  ASSERT_GT(frames, 0);
  EXPECT_EQ(boss->state, kBoss3Defeated);
  ASSERT_GT(UntilPhase(kPhaseClear, 10), 0);
  const int32_t used = app.stageMode.framesUsed;
  ASSERT_GT(FramesUntil([&] { return app.currentScene == SceneNone; }, 400), 0);
  EXPECT_EQ(app.result.stages, 4);
  EXPECT_EQ(app.result.time, used);
  EXPECT_EQ(app.requestedScene, SceneNameEntry1);
  EXPECT_EQ(g_characters.Size(), 0u) << "released with the stage";
  EXPECT_FALSE(Boss3::Shared().HasFigure()) << "unloaded with the stage";
}

// A boss whose model is missing or damaged is not spawned: the phase ends at
// once and the stage is cleared. A missing animation file only leaves its
// track still: the boss comes, fights and dies.
TEST_F(StageBoss, MissingOrDamagedBossFilesNeverStopTheStage) {
  struct Case {
    int32_t scene;
    int stage, areas;
    std::string file;
    bool damaged;  // written with a broken start instead of taken away
    bool spawned;
  };
  const Case cases[] = {
      {SceneStage1, 1, 2, "Xfile/1boss/stop.X", false, false},
      {SceneStage2, 2, 4, "Xfile/2boss/stop.X", true, false},
      {SceneStage3, 3, 4, "Xfile/3boss/attack2.X", false, true},
      {SceneStage1, 1, 2, "Xfile/1boss/large_attack.X", false, true},
      {SceneStage2, 2, 4, "Xfile/2boss/attack2.X", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EmptyAreas(c.stage, c.areas);
    if (c.damaged) {
      WriteData(c.file, "xof 0303txt 0032\nFrame Frame2_center {\n  FrameTransformMatrix {");
    } else {
      Remove(c.file);
    }
    app.requestedScene = c.scene;
    Frames();
    ASSERT_GT(UntilPhase(kPhaseBoss), 0);
    drawing = true;  // the entrance drawn, close-up and all
    Frames(3);
    Boss* boss = LiveBoss();
    EXPECT_EQ(boss != nullptr, c.spawned);
    if (boss) {
      // Posed and drawn in its large attack, whose track is missing or not.
      if (c.stage == 1) boss->SetState(kBoss1LargeAttack);
      Frames(10);
      drawing = false;
      EXPECT_GT(ShootDown(4000), 0);
    }
    drawing = false;
    ASSERT_GT(UntilPhase(kPhaseClear, 10), 0);
    ASSERT_GT(FramesUntil([&] { return app.currentScene == SceneNone; }, 400), 0);
    app.requestedScene = SceneNone;
    Frames();
    Redirect(c.file, c.file);  // the data set's file back
  }
}

}  // namespace
