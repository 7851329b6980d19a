// The title driven frame by frame: the menu walk, the confirm latch, cancel,
// each item's scene, the exit item with its save files, and a look at the
// picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/MenuItem.h"
#include "app/Program.h"
#include "support/gl_context.h"
#include "support/scene_fixture.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace {

using namespace scenetest;

class TitleTest : public SceneTest {
 protected:
  void SetUp() override {
    StartGame();
    Enter(SceneTitle);
  }
  // The cursor after each press of a key.
  std::vector<int32_t> Walk(int key, int presses) {
    std::vector<int32_t> seen;
    for (int i = 0; i < presses; ++i) {
      Tap(key);
      seen.push_back(app.menus.cursor);
    }
    return seen;
  }
};

TEST_F(TitleTest, ArrowsWalkTheSixItemsOneStepPerPress) {
  EXPECT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(app.menus.cursor, kItemStageMode);
  EXPECT_EQ(Walk(kRight, 6), (std::vector<int32_t>{1, 4, 5, 6, 7, 0}));
  EXPECT_EQ(Walk(kLeft, 6), (std::vector<int32_t>{7, 6, 5, 4, 1, 0}));

  // Held keys move one step only.
  Hold(kRight);
  Frames(30);
  Release(kRight);
  Frames();
  EXPECT_EQ(app.menus.cursor, kItemSokai);
  Hold(kLeft);
  Frames(30);
  EXPECT_EQ(app.menus.cursor, kItemStageMode);
  Release(kLeft);

  // Cancel and Escape jump to the exit item, without leaving the scene.
  for (int key : {kX, kEscape}) {
    Tap(kRight);
    EXPECT_NE(app.menus.cursor, kItemExit);
    Tap(key);
    EXPECT_EQ(app.menus.cursor, kItemExit) << key;
    Tap(kRight);
  }
  EXPECT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(app.requestedScene, SceneNone);
  EXPECT_EQ(g_quit, 0);
}

TEST_F(TitleTest, ConfirmHeldFromBeforeActsOnlyAfterARelease) {
  Hold(kZ);
  Enter(SceneTitle);  // entered again with Z down, as after a name entry
  Frames(20);
  EXPECT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(app.requestedScene, SceneNone);
  EXPECT_EQ(app.sceneTextures.size(), 4u);

  Release(kZ);
  Frames();
  Hold(kZ);
  Frames();
  EXPECT_EQ(app.requestedScene, SceneStageIntro);
  EXPECT_EQ(app.stageMode.introTarget, SceneStage1);
  EXPECT_EQ(app.currentScene, SceneNone);  // nothing drawn this frame
  EXPECT_TRUE(app.sceneTextures.empty());
  Frames();
  EXPECT_EQ(app.currentScene, SceneStageIntro);
}

TEST_F(TitleTest, EachItemRequestsItsScene) {
  struct Case {
    int rights;
    int32_t scene, introTarget;
  };
  const Case cases[] = {{0, SceneStageIntro, SceneStage1},
                        {1, SceneStageIntro, SceneSokai},
                        {2, SceneBattleSettings, -1},
                        {3, SceneRanking1, -1},
                        {4, SceneOptions, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rights);
    app.stageMode.introTarget = -1;
    Enter(SceneTitle);
    Frames();  // the latch clears once Z is seen up
    for (int i = 0; i < c.rights; ++i) Tap(kRight);
    Hold(kZ);
    Frames();
    Release(kZ);
    EXPECT_EQ(app.requestedScene, c.scene);
    EXPECT_EQ(app.stageMode.introTarget, c.introTarget);
    EXPECT_EQ(app.currentScene, SceneNone);
    EXPECT_TRUE(app.sceneTextures.empty());
    EXPECT_EQ(g_quit, 0);
    Frames();
    if (c.introTarget == SceneSokai) {
      // The sokai stage's introduction hands over in its first frame.
      EXPECT_EQ(app.currentScene, SceneNone);
      EXPECT_EQ(app.requestedScene, SceneSokai);
    } else {
      EXPECT_EQ(app.currentScene, c.scene);
    }
  }
  EXPECT_TRUE(fs::is_empty(dir.path() / "save")) << "only the exit item writes";
}

TEST_F(TitleTest, ExitItemWritesTheThreeFilesAndQuits) {
  app.options.volume = 300;
  TapEach({kEscape, kZ});
  EXPECT_EQ(g_quit, 1);
  EXPECT_EQ(app.currentScene, SceneTitle);  // the scene stands until the program ends
  app.LoadOptions(kOptionFile);
  EXPECT_EQ(app.options.volume, 300);
  for (const char* f : {kOptionFile, kNormalRankingFile, kSokaiRankingFile})
    EXPECT_TRUE(fs::is_regular_file(SavePath(f))) << f;

  // Files that cannot be written are named on the error stream; the game ends anyway.
  g_quit = 0;
  fs::remove_all(dir.path() / "save");
  dir.Write("save", "a file where the folder should be");
  ::testing::internal::CaptureStderr();
  TapEach({kZ});
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(g_quit, 1);
  for (const char* f : {kOptionFile, kNormalRankingFile, kSokaiRankingFile})
    EXPECT_NE(err.find(f), std::string::npos) << err;
}

TEST_F(TitleTest, PadButtonsFollowTheOptionFile) {
  // Pad 0's attack on button 5, shift on button 7, read back from the file.
  g_player.SetButton(kActionAttack, 5);
  g_player.SetButton(kActionShift, 7);
  ASSERT_TRUE(app.SaveOptions(kOptionFile));
  StartGame();
  ASSERT_EQ(g_player.GetButton(kActionAttack), 5);
  if (!AttachPad()) GTEST_SKIP() << "no virtual pad";
  Enter(SceneTitle);
  Frames();

  auto press = [&](int button) {
    PadButton(button, true);
    Frames();
    PadButton(button, false);
    Frames();
  };
  press(0);  // the default buttons do nothing now
  press(1);
  EXPECT_EQ(app.menus.cursor, kItemStageMode);
  EXPECT_EQ(app.requestedScene, SceneNone);
  press(7);
  EXPECT_EQ(app.menus.cursor, kItemExit);
  PadButton(5, true);
  Frames();
  EXPECT_EQ(g_quit, 1);
}

// The whole program: start, walk to the exit item, confirm; the main loop
// ends and the program returns 0 after writing the files.
int g_titleFrames = 0;

TEST_F(SceneTest, ExitItemEndsTheProgramWithStatusZero) {
  testsupport::ScopedEnv display{"DISPLAY", nullptr};
  testsupport::ScopedEnv wayland{"WAYLAND_DISPLAY", nullptr};
  testsupport::ScopedEnv video{"SDL_VIDEODRIVER", "offscreen"};
  testsupport::ScopedProgramState::Reset();
  g_titleFrames = 0;
  SceneTable table = GameSceneTable();
  table[SceneTitle].update = [](Application& a) {
    ++g_titleFrames;
    port::SetTestKey(kEscape, g_titleFrames == 3);
    port::SetTestKey(kZ, g_titleFrames == 5);
    a.UpdateTitle();
  };
  g_app.sceneTable = &table;
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_EQ(g_titleFrames, 5);
  EXPECT_EQ(g_app.currentScene, SceneTitle);
  for (const char* f : {kOptionFile, kNormalRankingFile, kSokaiRankingFile})
    EXPECT_TRUE(fs::is_regular_file(SavePath(f))) << f;
  g_app.ReleaseSceneTextures();
}

// ---- The picture ----

// Flat colours, one per picture and caption, so a read-back names what is drawn.
constexpr uint32_t kTitleColour = 0x604020, kFigureColour = 0x20A040, kArrowColour = 0xE0E000,
                   kStageCaption = 0xC03030, kRankingCaption = 0x3030C0, kOtherCaption = 0x808080;

class TitlePicture : public gltest::GameDeviceTest, public SceneRig {
 protected:
  void SetUp() override {
    gltest::GameDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    WriteTexture("texture/title/title.png", 256, 256, [](int, int) { return kTitleColour; });
    WriteTexture("texture/title/title_hitoObject.png", 128, 128,
                 [](int, int) { return kFigureColour; });
    WriteTexture("texture/title/course.png", 1024, 512, [](int x, int y) {
      if (x >= 315 && x < 391 && y >= 6 && y < 73) return kArrowColour;  // sprite 2
      if (x < 262 && y < 76) return kStageCaption;                       // sprite 3
      return kOtherCaption;
    });
    WriteTexture("texture/optiontext.png", 512, 512, [](int x, int y) {
      return x >= 10 && x < 365 && y >= 328 && y < 380 ? kRankingCaption : kOtherCaption;
    });
    StartGame();
    Enter(SceneTitle);
  }
  void TearDown() override {
    app.ReleaseSceneTextures();
    gltest::GameDeviceTest::TearDown();
  }
};

TEST_F(TitlePicture, CursorItemCaptionArrowsAndFigures) {
  auto p = Picture();
  EXPECT_EQ(gltest::Rgb(p, 20, 15), 0x0000FFu) << "the blue clear around the pictures";
  EXPECT_EQ(gltest::Rgb(p, 300, 100), kTitleColour);
  // Item 0's caption spans 231 to 403 across, 198 to 248 down.
  EXPECT_EQ(gltest::Rgb(p, 300, 220), kStageCaption);
  EXPECT_EQ(gltest::Rgb(p, 220, 220), kTitleColour);
  // Arrows: 471 to 524 on the right, mirrored 115 to 168 on the left.
  EXPECT_EQ(gltest::Rgb(p, 500, 225), kArrowColour);
  EXPECT_EQ(gltest::Rgb(p, 140, 225), kArrowColour);
  // Figures at 6 to 198 and, mirrored, 441 to 633, from 261 down.
  EXPECT_EQ(gltest::Rgb(p, 100, 400), kFigureColour);
  EXPECT_EQ(gltest::Rgb(p, 600, 400), kFigureColour);
  EXPECT_EQ(gltest::Rgb(p, 320, 400), 0x0000FFu);

  // Item 5: the ranking caption from the option texture, 178 to 462 across.
  TapEach({kRight, kRight, kRight});
  p = Picture();
  EXPECT_EQ(gltest::Rgb(p, 300, 220), kRankingCaption);
  EXPECT_EQ(gltest::Rgb(p, 190, 220), kRankingCaption);

  // The arrows are gone for 20 frames of every 60.
  while (app.sceneFrame % 60 != 45) Frames();
  p = Picture();
  EXPECT_EQ(gltest::Rgb(p, 500, 225), kTitleColour);
  EXPECT_EQ(gltest::Rgb(p, 300, 220), kRankingCaption);
}

}  // namespace

namespace {

// An idle title draws nothing new: the picture in the back buffer is
// presented again until the cursor, the blinking arrows or another draw change it.
TEST_F(TitlePicture, IdleFramesPresentTheKeptPicture) {
  while (app.sceneFrame % 60 != 1) Frames();
  const auto drawn = Picture();
  const uint64_t serial = device->PictureSerial();
  Frames(30);  // arrows shown from 0 to 39
  EXPECT_EQ(device->PictureSerial(), serial) << "nothing drawn while nothing changed";
  EXPECT_EQ(Picture(), drawn);

  Frames(10);  // frame 41: the arrows are gone
  EXPECT_NE(device->PictureSerial(), serial);
  EXPECT_EQ(gltest::Rgb(Picture(), 500, 225), kTitleColour);

  // Someone else draws over the back buffer: the title draws its picture again.
  ClearTo(0xFF00FF00u);
  Frames();
  EXPECT_EQ(gltest::Rgb(Picture(), 300, 100), kTitleColour);
  EXPECT_EQ(gltest::Rgb(Picture(), 500, 225), kTitleColour);

  // The cursor moves: the new caption at once.
  Tap(kRight);
  Tap(kRight);
  Tap(kRight);
  EXPECT_EQ(gltest::Rgb(Picture(), 300, 220), kRankingCaption);
}

}  // namespace
