// The stage introduction: what each target loads, the camera's turn and
// approach, the captions and pointers with their sounds, the skip, the
// hand-over, and an introduction file that is missing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/MenuItem.h"
#include "render/Camera.h"
#include "support/stage_scene_fixture.h"
#include "world/StageField.h"

namespace {

using namespace stagescene;

constexpr int kCaptionSound = kSystemSoundBase + 0, kPointerSound = kSystemSoundBase + 3;

class StageIntro : public StageSceneTest {
 protected:
  void EnterIntro(int32_t target) {
    app.stageMode.introTarget = target;
    app.requestedScene = SceneStageIntro;
    Frames();
  }
};

TEST_F(StageIntro, CameraCirclesClosesInAndHandsOverAtFrame250) {
  StartFromTitle(kItemStageMode, false);
  const int start = frame - 1;  // the frame before the introduction's first
  EXPECT_EQ(app.sceneFrame, 1);
  EXPECT_EQ(app.stageMode.introCamera.yaw, 64.0f);
  EXPECT_EQ(app.stageMode.introCamera.distance, 120.0f);
  EXPECT_EQ(g_camera.GetPitch(), -40.0f);
  EXPECT_EQ(g_camera.GetMode(), Camera::kOrbit);
  EXPECT_EQ(g_stageField.GetDrawMode(), 1);
  EXPECT_NE(g_stageField.Ground().GetMesh(), nullptr);
  EXPECT_EQ(app.sceneTextures.size(), 2u);

  Frames(89);
  EXPECT_EQ(app.stageMode.introCamera.yaw, 420.0f) << "one whole turn";
  EXPECT_EQ(app.stageMode.introCamera.distance, 120.0f);
  Frames(10);
  EXPECT_EQ(app.stageMode.introCamera.distance, 80.0f);
  EXPECT_EQ(g_camera.GetDistance(), 80.0f);
  Frames(20);
  EXPECT_EQ(app.stageMode.introCamera.distance, 80.0f) << "then it holds";

  ASSERT_EQ(FramesUntil([&] { return app.currentScene == SceneNone; }, 300), 250 - 120);
  EXPECT_EQ(app.requestedScene, SceneStage1);
  EXPECT_TRUE(app.sceneTextures.empty());
  EXPECT_EQ(FramesOf(kCaptionSound), (std::vector<int>{start + 10, start + 60}));
  EXPECT_EQ(FramesOf(kPointerSound), (std::vector<int>{start + 130, start + 170}));
  EXPECT_EQ(CountSound(kMusicSoundId), 1);
  Frames();
  EXPECT_EQ(app.currentScene, SceneStage1);
}

TEST_F(StageIntro, SkipJumpsToTheEndOfTheMoveAndTheStageFollows20FramesLater) {
  StartFromTitle(kItemStageMode, false);
  Frames(3);
  Hold(kZ);
  Frames();
  EXPECT_EQ(app.sceneFrame, 230);
  EXPECT_EQ(app.stageMode.introCamera.yaw, 420.0f);
  EXPECT_EQ(app.stageMode.introCamera.distance, 80.0f);
  Frames(10);
  EXPECT_EQ(app.sceneFrame, 240) << "holding on skips nothing more";
  Let(kZ);
  ASSERT_EQ(FramesUntil([&] { return app.currentScene == SceneStage1; }, 30), 11);
}

TEST_F(StageIntro, ConfirmHeldFromTheTitleDoesNotSkip) {
  app.requestedScene = SceneTitle;
  Frames();
  Hold(kZ);
  Frames(2);  // the title acts, the introduction starts
  ASSERT_EQ(app.currentScene, SceneStageIntro);
  Frames(20);
  EXPECT_EQ(app.sceneFrame, 21);
  Let(kZ);
  Frames();
  Tap(kZ);
  EXPECT_EQ(app.sceneFrame, 231);
}

TEST_F(StageIntro, EachTargetShowsItsGroundAndPlaces) {
  struct Case {
    int32_t target;
    int32_t drawMode;
    float pitch;
    float scale;  // of the introduction file's places
    int32_t leadsTo;
  };
  const Case cases[] = {{SceneStage1, 1, -40, 1.0f, SceneStage1},
                        {SceneStage2, 3, -70, 0.4f, SceneStage2},
                        {SceneStage3, 5, -40, 0.8f, SceneStage3},
                        {42, 1, -40, 1.0f, SceneStage1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    g_stageField.Release();
    EnterIntro(c.target);
    EXPECT_EQ(g_stageField.GetDrawMode(), c.drawMode);
    EXPECT_EQ(g_camera.GetPitch(), c.pitch);
    // The data set's files put the start at z -28 and the boss at z 15.
    ASSERT_EQ(app.appearRecords.size(), 2u);
    EXPECT_EQ(app.appearRecords[0].kind, 0);
    EXPECT_FLOAT_EQ(app.appearRecords[0].z, -28.0f * c.scale);
    EXPECT_FLOAT_EQ(app.appearRecords[1].z, 15.0f * c.scale);
    app.sceneFrame = 249;
    Frames();
    EXPECT_EQ(app.requestedScene, c.leadsTo);
    app.requestedScene = SceneNone;
  }
}

TEST_F(StageIntro, SokaiTargetDrawsNothingAndHandsOverAtOnce) {
  drawing = true;
  ClearTo(0xFF123456u);
  const std::vector<uint32_t> before = Picture();
  EnterIntro(SceneSokai);
  EXPECT_EQ(app.currentScene, SceneNone);
  EXPECT_EQ(app.requestedScene, SceneSokai);
  EXPECT_EQ(g_stageField.Ground().GetMesh(), nullptr) << "no ground loaded";
  EXPECT_EQ(CountSound(kCaptionSound), 0);
  app.DrawStageIntro();  // a redraw of the window draws nothing either
  EXPECT_EQ(Picture(), before);
}

// ---- The picture ----

TEST_F(StageIntro, CaptionsAndPointersAppearOnTheirFrames) {
  WriteFlatTexture("texture/stageintroduce/stage_introduce1.png", 512, 512, 0xE0C020);
  WriteFlatTexture("texture/stageintroduce/stage_introduce2.png", 256, 256, 0x20E0C0);
  StartFromTitle(kItemStageMode, false);
  auto pictureAt = [&](int sceneFrame) {
    Frames(sceneFrame - app.sceneFrame - 1);
    drawing = true;
    Frames();
    drawing = false;
    return Picture();
  };
  auto countColour = [](const std::vector<uint32_t>& p, uint32_t rgb) {
    int n = 0;
    for (uint32_t px : p) n += (px & 0xFFFFFF) == rgb ? 1 : 0;
    return n;
  };
  // The heading (sprite 11, 303 by 60 at 0.8) from frame 11; the stage's
  // caption (499 by 54) from frame 61; each pointer's three parts from 131 and 171.
  const std::vector<uint32_t> at10 = pictureAt(10);
  EXPECT_EQ(countColour(at10, 0xE0C020), 0);
  EXPECT_EQ(gltest::Rgb(at10, 20, 20), 0x0000FFu) << "the blue clear round the ground";
  const std::vector<uint32_t> at11 = pictureAt(11);
  EXPECT_EQ(gltest::Rgb(at11, 300, 30), 0xE0C020u);
  EXPECT_NEAR(countColour(at11, 0xE0C020), 242 * 48, 600);
  const std::vector<uint32_t> at61 = pictureAt(61);
  EXPECT_EQ(gltest::Rgb(at61, 300, 90), 0xE0C020u);
  EXPECT_EQ(countColour(pictureAt(130), 0x20E0C0), 0);
  const int onePointer = countColour(pictureAt(131), 0x20E0C0);
  EXPECT_GT(onePointer, 1000);
  EXPECT_GT(countColour(pictureAt(171), 0x20E0C0), onePointer + 1000);
}

TEST_F(StageIntro, MissingIntroductionFileShowsNoPointers) {
  WriteFlatTexture("texture/stageintroduce/stage_introduce2.png", 256, 256, 0x20E0C0);
  Remove("AppearData/stage1/stage1_introduce.arg");
  StartFromTitle(kItemStageMode, false);
  EXPECT_TRUE(app.appearRecords.empty());
  Frames(200);
  drawing = true;
  Frames();
  int n = 0;
  for (uint32_t px : Picture()) n += (px & 0xFFFFFF) == 0x20E0C0 ? 1 : 0;
  EXPECT_EQ(n, 0);
  drawing = false;
  ASSERT_GT(FramesUntil([&] { return app.currentScene == SceneStage1; }, 100), 0);
}

}  // namespace
