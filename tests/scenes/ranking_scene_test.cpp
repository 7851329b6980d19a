// The ranking pages: reached from the title, turned in place by left and
// right, left by any confirm, cancel or Escape once released; and a look at a
// page's rows.
#include <gtest/gtest.h>

#include "app/MenuItem.h"
#include "support/gl_context.h"
#include "support/scene_fixture.h"

namespace {

using namespace scenetest;

class RankingTest : public SceneTest {
 protected:
  // From the title's ranking item, as a player gets there; Z stays down.
  void OpenFromTitle() {
    StartGame();
    Enter(SceneTitle);
    TapEach({kRight, kRight, kRight});
    ASSERT_EQ(app.menus.cursor, kItemRanking);
    Hold(kZ);
    Frames(2);
    ASSERT_EQ(app.currentScene, SceneRanking1);
  }
};

TEST_F(RankingTest, ConfirmFromTheTitleDoesNotLeaveUntilReleased) {
  OpenFromTitle();
  Frames(10);
  EXPECT_EQ(app.currentScene, SceneRanking1);
  EXPECT_EQ(app.sceneTextures.size(), 6u);
  Release(kZ);
  Frames();
  Hold(kZ);
  Frames();
  EXPECT_EQ(app.requestedScene, SceneTitle);
  EXPECT_EQ(app.currentScene, SceneNone);
  EXPECT_TRUE(app.sceneTextures.empty());
  Release(kZ);
  Frames();
  EXPECT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(app.menus.cursor, kItemStageMode);  // the title starts on its first item
}

TEST_F(RankingTest, LeftAndRightTurnThePagesInPlace) {
  OpenFromTitle();
  Release(kZ);
  Frames();
  const int32_t frame = app.sceneFrame;
  // Pages 18 and 19 swap either way.
  Tap(kRight);
  EXPECT_EQ(app.currentScene, 19);
  Tap(kRight);
  EXPECT_EQ(app.currentScene, 18);
  Tap(kLeft);
  EXPECT_EQ(app.currentScene, 19);
  Tap(kLeft);
  EXPECT_EQ(app.currentScene, 18);
  EXPECT_EQ(app.sceneFrame, frame + 8) << "the page turns without entering again";

  // Held: one turn.
  Hold(kRight);
  Frames(20);
  Release(kRight);
  Frames();
  EXPECT_EQ(app.currentScene, 19);

  // The pages no menu reaches.
  struct Turn {
    int32_t from;
    int key;
    int32_t to;
  };
  const Turn turns[] = {{20, kLeft, 19}, {20, kRight, 21}, {21, kLeft, 20}, {21, kRight, 18}};
  for (const Turn& t : turns) {
    app.currentScene = t.from;
    Tap(t.key);
    EXPECT_EQ(app.currentScene, t.to) << t.from;
  }
  EXPECT_EQ(app.requestedScene, SceneNone);
}

TEST_F(RankingTest, EveryLeaveKeyReturnsToTheTitle) {
  for (int key : {kZ, kX, kEscape}) {
    SCOPED_TRACE(key);
    StartGame();
    Enter(SceneRankingSokai);
    Frames();
    Hold(key);
    Frames();
    Release(key);
    EXPECT_EQ(app.requestedScene, SceneTitle);
    EXPECT_EQ(app.currentScene, SceneNone);
    app.requestedScene = SceneNone;
  }
}

// ---- The picture ----

// The font sheet coloured by 32 by 44 cell, so each digit and letter drawn
// tells its cell.
uint32_t CellColour(int cx, int cy) {
  return (40u + 24u * static_cast<uint32_t>(cx)) << 16 |
         (40u + 30u * static_cast<uint32_t>(cy)) << 8 | 0x80u;
}
uint32_t Digit(int d) { return CellColour(d % 8, d / 8); }  // digits 8 and 9 sit in row 1
uint32_t Letter(int code) { return CellColour(code % 8, code / 8); }

class RankingPicture : public gltest::GameDeviceTest, public SceneRig {
 protected:
  void SetUp() override {
    gltest::GameDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    WriteTexture("texture/font.png", 256, 512,
                 [](int x, int y) { return CellColour(x / 32, y / 44); });
    StartGame();
  }
  void TearDown() override {
    app.ReleaseSceneTextures();
    gltest::GameDeviceTest::TearDown();
  }
  // The colour in the middle of the digit cell whose left edge is at x.
  uint32_t DigitAt(const std::vector<uint32_t>& p, int x, int y) {
    return gltest::Rgb(p, x + 12, y + 15);
  }
};

TEST_F(RankingPicture, RowDigitsAndLettersStandInTheirColumns) {
  // Row 2 of the normal table: a name and 1:02:50 with stage 3.
  app.normalRanking[2] = {{20, 9, 46, 45, 0}, 3750, 3, 0, 0};
  Enter(SceneRanking1);
  auto p = Picture();
  const int y = 150 + 70 * 2;
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(gltest::Rgb(p, 140 + 28 * i + 12, y + 18), Letter(app.normalRanking[2].letters[i]))
        << "letter " << i;
  EXPECT_EQ(DigitAt(p, 341, y), Digit(1));  // minutes
  EXPECT_EQ(DigitAt(p, 378, y), Digit(0));  // seconds: 02
  EXPECT_EQ(DigitAt(p, 403, y), Digit(2));
  EXPECT_EQ(DigitAt(p, 440, y), Digit(5));  // hundredths: 50
  EXPECT_EQ(DigitAt(p, 465, y), Digit(0));
  EXPECT_EQ(DigitAt(p, 551, y), Digit(3));  // stages
  // Row 0 of the defaults: 6:42:05 with 2 stages.
  EXPECT_EQ(DigitAt(p, 341, 150), Digit(6));
  EXPECT_EQ(DigitAt(p, 403, 150), Digit(2));
  EXPECT_EQ(DigitAt(p, 465, 150), Digit(5));
  EXPECT_EQ(DigitAt(p, 551, 150), Digit(2));
  EXPECT_EQ(gltest::Rgb(p, 620, 300), 0x0000FFu);

  // The sokai page: the score, ones digit at 495.
  Tap(kRight);
  p = Picture();
  EXPECT_EQ(DigitAt(p, 495, 150), Digit(0));
  EXPECT_EQ(DigitAt(p, 470, 150), Digit(0));
  EXPECT_EQ(DigitAt(p, 445, 150), Digit(5));
  EXPECT_EQ(DigitAt(p, 495, 150 + 70 * 4), Digit(0));
  EXPECT_EQ(DigitAt(p, 445, 150 + 70 * 4), Digit(3));
  EXPECT_EQ(DigitAt(p, 551, 150), 0x0000FFu) << "no stages column";
}

}  // namespace

namespace {

// A page that stays draws nothing new: its picture in the back buffer is
// presented again until the page turns or another draw covers it.
TEST_F(RankingPicture, AStillPageIsPresentedAgainUntilItTurnsOrIsDrawnOver) {
  Enter(SceneRanking1);
  const auto drawn = Picture();
  const uint64_t serial = device->PictureSerial();
  Frames(30);
  EXPECT_EQ(device->PictureSerial(), serial) << "nothing drawn while the page stays";
  EXPECT_EQ(Picture(), drawn);

  ClearTo(0xFF00FF00u);
  Frames();
  EXPECT_EQ(Picture(), drawn) << "drawn again over someone else's clear";

  Tap(kRight);  // the sokai page
  EXPECT_EQ(DigitAt(Picture(), 445, 150), Digit(5));
  Tap(kLeft);
  EXPECT_EQ(Picture(), drawn);

  // Entered again after a change to the table: drawn afresh.
  app.normalRanking[0].letters[0] = 9;
  Enter(SceneRanking1);
  EXPECT_EQ(gltest::Rgb(Picture(), 140 + 12, 150 + 18), Letter(9));
}

}  // namespace
