// The character select's turning figures: each panel rendered into the
// shared picture and shown at its place (read back), the stand and pose
// tracks, the spin and the turn back to the front; without a picture, or
// without some model files, the select still works.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/MenuItem.h"
#include "app/SelectModel.h"
#include "platform/InputDevice.h"
#include "port/gpu.h"
#include "port/input.h"
#include "render/AnimTrack.h"
#include "render/SkinnedModel.h"
#include "support/stage_scene_fixture.h"

namespace {

using namespace stagescene;

constexpr uint32_t kPanelBackground = 0x000096;
constexpr int kPanel = SelectModel::kPanelSize;
// The labels cover the panels' top left corners.
constexpr int kLabelRows = 40;

struct PanelCount {
  int background = 0, figure = 0;
};

class SelectPreviewTest : public StageSceneTest {
 protected:
  void SetUp() override {
    StageSceneTest::SetUp();
    app.battle.drawInterval = 2;
    app.battle.matchTime = 6000;
  }
  void TearDown() override {
    device->ForceRenderTargetFailure(false);
    app.ReleaseCharacterSelect();
    StageSceneTest::TearDown();
  }
  void EnterSelect(int players) {
    app.battle.players = players;
    app.requestedScene = SceneCharacterSelect;
    Frames();
    ASSERT_EQ(app.currentScene, SceneCharacterSelect);
  }
  // One drawn frame; the pixels of each of the four panel places below the labels.
  std::vector<PanelCount> DrawnPanels() {
    drawing = true;
    Frames();
    drawing = false;
    const std::vector<uint32_t> p = Picture();
    std::vector<PanelCount> out(4);
    for (int i = 0; i < 4; ++i) {
      const port::Vec2 at = SelectModel::PanelPlace(i);
      for (int y = static_cast<int>(at.y) + kLabelRows; y < static_cast<int>(at.y) + kPanel; ++y)
        for (int x = static_cast<int>(at.x); x < static_cast<int>(at.x) + kPanel; ++x) {
          const uint32_t rgb = gltest::Rgb(p, x, y);
          if (rgb == kPanelBackground) {
            ++out[static_cast<size_t>(i)].background;
          } else if (rgb != 0x0000FF) {
            ++out[static_cast<size_t>(i)].figure;
          }
        }
    }
    if (const char* dir = std::getenv("POMELVANE_CHECKPOINTS"))
      WritePicture(p, std::string(dir) + "/select.ppm");
    return out;
  }
  static void WritePicture(const std::vector<uint32_t>& p, const std::string& path) {
    std::string ppm = "P6 640 480 255\n";
    for (uint32_t px : p)
      for (int shift : {16, 8, 0}) ppm.push_back(static_cast<char>((px >> shift) & 0xFF));
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(ppm.data(), 1, ppm.size(), f);
      std::fclose(f);
    }
  }
};

TEST_F(SelectPreviewTest, EachTakingPartPlayersFigureIsDrawnAtHisPanelsPlace) {
  EnterSelect(4);
  ASSERT_NE(SelectModel::PanelTexture(), nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(SelectModel::Model(i).IsLoaded()) << i;
  EXPECT_NE(SelectModel::Flower(), nullptr);
  const std::vector<PanelCount> four = DrawnPanels();
  for (int i = 0; i < 4; ++i) {
    EXPECT_GT(four[static_cast<size_t>(i)].background, kPanel * kPanel / 4) << i;
    EXPECT_GT(four[static_cast<size_t>(i)].figure, 300) << i;
  }
  // The scene's own picture comes back: the view and viewport are the screen's.
  EXPECT_EQ(device->GetViewport().width, 640u);
  EXPECT_EQ(device->GetRenderTarget(), nullptr);

  // Two players: panels 3 and 4 are not drawn.
  app.battle.players = 2;
  const std::vector<PanelCount> two = DrawnPanels();
  EXPECT_GT(two[0].figure, 300);
  EXPECT_GT(two[1].figure, 300);
  EXPECT_EQ(two[2].background, 0);
  EXPECT_EQ(two[3].background, 0);
}

TEST_F(SelectPreviewTest, WithoutAPictureThePanelsAreSkippedAndTheSelectStillWorks) {
  device->ForceRenderTargetFailure(true);
  EnterSelect(2);
  EXPECT_EQ(SelectModel::PanelTexture(), nullptr);
  const std::vector<PanelCount> panels = DrawnPanels();
  for (const PanelCount& c : panels) EXPECT_EQ(c.background, 0);
  app.selectModels[0].Render();  // nothing to render into: nothing happens
  Hold(kZ);
  app.battle.decided[1] = 1;
  app.selectModels[1].SetDecided();
  drawing = true;
  Frames();
  Let(kZ);
  EXPECT_GT(FramesUntil([&] { return app.requestedScene == SceneStageSelect; }, 125), 100);
  drawing = false;
}

TEST_F(SelectPreviewTest, MissingModelFilesLeaveTheirPanelsEmptyAndTheSelectWorks) {
  Remove("Xfile/battleplayer2p");
  Remove("Xfile/player/stop.X");
  Remove("Xfile/battleplayer3p/select_pausing.X");
  EnterSelect(3);
  EXPECT_FALSE(SelectModel::Model(0).IsLoaded());
  EXPECT_FALSE(SelectModel::Model(1).IsLoaded());
  EXPECT_TRUE(SelectModel::Model(2).IsLoaded());
  const std::vector<PanelCount> panels = DrawnPanels();
  EXPECT_EQ(panels[0].figure, 0);
  EXPECT_EQ(panels[1].figure, 0);
  EXPECT_GT(panels[2].figure, 300);  // standing without its pose
  // Player 1 walks over every character and decides; the others too.
  drawing = true;
  for (int key : {kRight, kDown, kLeft, kUp}) Tap(key);
  Tap(kZ);
  app.battle.decided[1] = app.battle.decided[2] = 1;
  app.selectModels[1].SetDecided();
  app.selectModels[2].SetDecided();
  EXPECT_GT(FramesUntil([&] { return app.requestedScene == SceneStageSelect; }, 125), 100);
  drawing = false;
}

// ---- The figure's motion ----

TEST_F(SelectPreviewTest, TheFigureTurnsStandsAndStrikesItsPoseOnce) {
  EnterSelect(2);
  SelectModel& m = app.selectModels[0];
  m.Init();
  ASSERT_EQ(m.tracks.size(), 2u);
  ASSERT_GT(m.tracks[0].length, 0.0f);
  ASSERT_GT(m.tracks[1].length, 0.0f);
  EXPECT_NE(m.upperFrames[SelectModel::kUpperFrameCount - 1], nullptr);

  // Undecided: 2 degrees and one frame of the stand a frame.
  for (int i = 0; i < 5; ++i) m.Update();
  EXPECT_FLOAT_EQ(m.spin.y, 10.0f);
  EXPECT_FLOAT_EQ(m.tracks[0].time, 5.0f);
  EXPECT_FLOAT_EQ(m.tracks[0].weight, 1.0f);
  // The same choice changes nothing; another restarts the stand at full
  // weight, with nothing fading out.
  m.SetCharacter(1);
  EXPECT_FLOAT_EQ(m.tracks[0].time, 5.0f);
  m.tracks[1].weight = 0.5f;
  m.SetCharacter(2);
  EXPECT_EQ(m.characterIndex, 1);
  EXPECT_FLOAT_EQ(m.tracks[0].time, 0.0f);
  EXPECT_FLOAT_EQ(m.tracks[0].weight, 1.0f);
  EXPECT_FLOAT_EQ(m.tracks[1].weight, 0.0f);
  std::vector<AnimTrack> lengths(2);
  SelectModel::Model(1).GetAnimationLengths(lengths);
  EXPECT_FLOAT_EQ(m.tracks[0].length, lengths[0].length);
  EXPECT_FLOAT_EQ(m.tracks[1].length, lengths[1].length);
  m.SetCharacter(9);  // no such character
  EXPECT_EQ(m.characterIndex, 1);

  // Decided: back to the front the shorter way, at most 12 degrees a frame.
  struct Turn {
    float from;
    std::vector<float> steps;
  };
  const Turn turns[] = {{190.0f, {202.0f, 214.0f}},
                        {170.0f, {158.0f, 146.0f}},
                        {-20.0f, {352.0f, 4.0f, 0.0f}},
                        {5.0f, {0.0f}}};
  m.SetDecided();
  for (const Turn& t : turns) {
    SCOPED_TRACE(t.from);
    m.spin.y = t.from;
    for (float want : t.steps) {
      m.Update();
      EXPECT_FLOAT_EQ(m.spin.y, want);
    }
  }
  // Up through 360 it may pass the front by less than a step, then stops there.
  m.spin.y = 190.0f;
  float last = 190.0f;
  for (int i = 0; i < 16 && m.spin.y != 0.0f; ++i) {
    m.Update();
    EXPECT_TRUE(m.spin.y > last || m.spin.y < 12.0f) << m.spin.y;
    last = m.spin.y;
  }
  EXPECT_EQ(m.spin.y, 0.0f);

  // The pose plays once and holds at 0.99 of its length; the stand fades
  // out by 0.05 a frame.
  m.Init();
  m.SetDecided();
  m.Update();
  EXPECT_FLOAT_EQ(m.tracks[1].time, 0.35f);
  EXPECT_FLOAT_EQ(m.tracks[1].weight, 0.05f);
  EXPECT_FLOAT_EQ(m.tracks[0].weight, 0.95f);
  const int frames = static_cast<int>(m.tracks[1].length / 0.35f) + 50;
  for (int i = 0; i < frames; ++i) m.Update();
  EXPECT_FLOAT_EQ(m.tracks[1].time, 0.99f * m.tracks[1].length);
  EXPECT_FLOAT_EQ(m.tracks[1].weight, 1.0f);
  EXPECT_FLOAT_EQ(m.tracks[0].weight, 0.0f);
  EXPECT_FLOAT_EQ(m.tracks[0].time, 0.0f);
  // Undecided again: the stand fades back in, the pose out.
  m.ClearDecided();
  m.Update();
  EXPECT_FLOAT_EQ(m.tracks[0].weight, 0.1f);
  EXPECT_FLOAT_EQ(m.tracks[1].weight, 0.9f);
}

TEST_F(SelectPreviewTest, TheGamesReleaseUnloadsTheSelectModels) {
  EnterSelect(2);
  ASSERT_TRUE(SelectModel::Model(2).IsLoaded());
  app.ReleaseGame();
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(SelectModel::Model(i).IsLoaded()) << i;
  EXPECT_EQ(SelectModel::PanelTexture(), nullptr);
  app.ReleaseGame();
  app.selectModels[1].Release();
}

// The stage select shows the chosen field's picture and the cursor on its
// item; the arrows blink, 30 frames of every 50.
TEST_F(SelectPreviewTest, TheStageSelectShowsTheChosenFieldAndTheCursor) {
  constexpr uint32_t kCursor = 0x40C040, kField1 = 0xC08030, kField3 = 0x3080C0;
  WriteFlatTexture("texture/cursor.png", 64, 64, kCursor);
  WriteFlatTexture("texture/battle/stage1_picture.png", 128, 128, kField1);
  WriteFlatTexture("texture/battle/stage3_picture.png", 128, 128, kField3);
  app.requestedScene = SceneStageSelect;
  Frames();
  ASSERT_EQ(app.currentScene, SceneStageSelect);
  const auto drawn = [&] {
    drawing = true;
    Frames();
    drawing = false;
    return Picture();
  };
  std::vector<uint32_t> p = drawn();
  EXPECT_EQ(gltest::Rgb(p, 300, 150), kField1);
  const int cursorY[3] = {270, 325, 380};
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(gltest::Rgb(p, 160, cursorY[row] + 10) == kCursor, row == 0);
  Tap(kRight);
  Tap(kDown);
  Tap(kDown);
  p = drawn();
  EXPECT_EQ(gltest::Rgb(p, 300, 150), kField3);
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(gltest::Rgb(p, 160, cursorY[row] + 10) == kCursor, row == 2);
  if (const char* dir = std::getenv("POMELVANE_CHECKPOINTS"))
    WritePicture(p, std::string(dir) + "/stage_select.ppm");
  // The arrows: shown at frame 10 of 50, gone at frame 40.
  std::vector<uint32_t> shown, hidden;
  app.sceneFrame = 9;
  shown = drawn();
  app.sceneFrame = 39;
  hidden = drawn();
  int differ = 0;
  for (int y = 290; y < 340; ++y)
    for (int x = 230; x < 410; ++x) differ += gltest::Rgb(shown, x, y) != gltest::Rgb(hidden, x, y);
  EXPECT_GT(differ, 100);
}

}  // namespace
