// The name entry: the result inserted at its place with the rows below moved
// down, the letter keys with their wrap, back-space and cancel rules, the way
// back to the title, entries with no row to fill, and a look at the page.
#include <gtest/gtest.h>

#include <vector>

#include "support/gl_context.h"
#include "support/scene_fixture.h"

namespace {

using namespace scenetest;

struct Row {
  std::vector<int32_t> letters;
  int32_t value, stages, extra1;
  bool operator==(const Row&) const = default;
};
void PrintTo(const Row& r, std::ostream* os) {
  *os << "{";
  for (int32_t l : r.letters) *os << l << " ";
  *os << "| " << r.value << " " << r.stages << " " << r.extra1 << "}";
}
std::vector<Row> Rows(const std::vector<RankingEntry>& table) {
  std::vector<Row> out;
  for (const RankingEntry& e : table)
    out.push_back({{e.letters, e.letters + 5}, e.value, e.stages, e.extra1});
  return out;
}
const std::vector<int32_t> kBlank = {10, 10, 10, 10, 10};

class NameEntryTest : public SceneTest {
 protected:
  void SetUp() override { StartGame(); }
  // A stage-mode run that reached `stages` in `frames`, handed over as a
  // stage does: place the result, then ask for the entry when it placed.
  void FinishRun(int32_t stages, int32_t frames) {
    app.stageMode.framesUsed = frames;
    if (app.NormalRankPosition(stages) < kNotPlaced) Enter(SceneNameEntry1);
  }
  int32_t* Name() { return app.normalRanking[static_cast<size_t>(app.result.rankPlace)].letters; }
};

TEST_F(NameEntryTest, ResultIsInsertedAtItsPlaceAndTheRowsBelowMoveDown) {
  for (int place = 0; place < kRankingRows; ++place) {
    SCOPED_TRACE(place);
    StartGame();
    const std::vector<Row> before = Rows(app.normalRanking);
    app.result.time = 777;
    app.result.stages = 3;
    app.result.rankPlace = place;
    Enter(SceneNameEntry1);

    const std::vector<Row> after = Rows(app.normalRanking);
    for (int r = 0; r < kRankingRows; ++r) {
      Row want = r < place ? before[r] : r == place ? Row{kBlank, 777, 3, 0} : before[r - 1];
      want.extra1 = before[r].extra1;  // the extra columns stay in place
      EXPECT_EQ(after[r], want) << "row " << r;
    }
    EXPECT_EQ(app.result.nameCursor, 0);
  }

  // The sokai table moves the score but not the stages column.
  StartGame();
  const std::vector<Row> before = Rows(app.sokaiRanking);
  app.result.score = 420;
  app.result.rankPlace = 2;
  Enter(SceneNameEntrySokai);
  const std::vector<Row> after = Rows(app.sokaiRanking);
  EXPECT_EQ(after[1], before[1]);
  EXPECT_EQ(after[2], (Row{kBlank, 420, before[2].stages, before[2].extra1}));
  EXPECT_EQ(after[3], (Row{before[2].letters, 400, before[3].stages, before[3].extra1}));
  EXPECT_EQ(after[4], (Row{before[3].letters, 350, before[4].stages, before[4].extra1}));

  // Spare table 3 moves names and times only.
  app.result.time = 100;
  app.result.rankPlace = 0;
  Enter(SceneNameEntry1 + 2);
  EXPECT_EQ(app.spareRanking3[0].time, 100);
  EXPECT_EQ(app.spareRanking3[1].time, 36000);
  EXPECT_EQ(app.spareRanking3[1].letters[0], 10);
  EXPECT_EQ(app.spareRanking3[1].a, 90);
  EXPECT_EQ(app.spareRanking3[4].time, 57600);
}

TEST_F(NameEntryTest, LettersWrapAndConfirmMovesOn) {
  Hold(kZ);  // the attack button still down from the stage
  FinishRun(2, 30000);
  ASSERT_EQ(app.currentScene, SceneNameEntry1);
  ASSERT_EQ(app.result.rankPlace, 1);
  Frames(5);
  EXPECT_EQ(app.result.nameCursor, 0) << "a held confirm waits for a release";
  Release(kZ);
  Frames();

  // 10 steps left reach 0, one more wraps to 46, one right wraps back to 0.
  for (int i = 0; i < 10; ++i) Tap(kLeft);
  EXPECT_EQ(Name()[0], 0);
  Tap(kLeft);
  EXPECT_EQ(Name()[0], 46);
  Tap(kRight);
  EXPECT_EQ(Name()[0], 0);
  Hold(kRight);  // held: one letter
  Frames(15);
  Release(kRight);
  Frames();
  EXPECT_EQ(Name()[0], 1);

  Tap(kZ);
  EXPECT_EQ(app.result.nameCursor, 1);
  Tap(kRight);
  EXPECT_EQ(Name()[1], 11);
  EXPECT_EQ(Name()[0], 1);
  Hold(kZ);  // held: one letter
  Frames(10);
  Release(kZ);
  Frames();
  EXPECT_EQ(app.result.nameCursor, 2);
}

TEST_F(NameEntryTest, BackSpaceAndCancelRules) {
  FinishRun(2, 30000);
  Frames();
  // Back-space at cursor 0 just moves on.
  for (int i = 0; i < 12; ++i) Tap(kLeft);
  ASSERT_EQ(Name()[0], kLetterBackSpace);
  Tap(kZ);
  EXPECT_EQ(app.result.nameCursor, 1);
  // Cancel steps back; at 0 it does nothing.
  Tap(kX);
  EXPECT_EQ(app.result.nameCursor, 0);
  Tap(kX);
  EXPECT_EQ(app.result.nameCursor, 0);

  TapEach({kRight, kZ, kZ, kZ});  // letters 46, 10, 10; cursor at 3
  ASSERT_EQ(app.result.nameCursor, 3);
  for (int i = 0; i < 12; ++i) Tap(kLeft);
  ASSERT_EQ(Name()[3], kLetterBackSpace);
  Tap(kZ);
  EXPECT_EQ(app.result.nameCursor, 2) << "one step back from where it stood";
  EXPECT_EQ(Name()[3], kLetterBackSpace) << "the sign stays until it is changed";

  TapEach({kZ, kRight, kZ, kZ});  // position 3 becomes 46; done
  EXPECT_EQ(app.result.nameCursor, 5);
  EXPECT_EQ(std::vector<int32_t>(Name(), Name() + 5), (std::vector<int32_t>{46, 10, 10, 46, 10}));
  // Complete: cancel and the letter keys change nothing.
  TapEach({kX, kLeft, kZ});
  EXPECT_EQ(app.result.nameCursor, 5);
  EXPECT_EQ(Name()[4], 10);
}

TEST_F(NameEntryTest, TitleFollows121FramesAfterTheLastLetter) {
  FinishRun(4, 90000);
  ASSERT_EQ(app.result.rankPlace, 0);
  Frames();
  TapEach({kZ, kZ, kZ, kZ});
  Hold(kZ);
  Frames();  // the fifth letter: the name is done, the count starts again
  Release(kZ);
  ASSERT_EQ(app.result.nameCursor, 5);
  ASSERT_EQ(app.sceneFrame, 0);
  Frames(120);
  EXPECT_EQ(app.currentScene, SceneNameEntry1);
  Frames();
  EXPECT_EQ(app.requestedScene, SceneTitle);
  EXPECT_EQ(app.currentScene, SceneNone);
  Frames();
  EXPECT_EQ(app.currentScene, SceneTitle);

  // The new row is what the exit item saves.
  ASSERT_TRUE(app.SaveNormalRanking(kNormalRankingFile));
  app.LoadNormalRanking(kNormalRankingFile);
  EXPECT_EQ(app.normalRanking[0].value, 90000);
  EXPECT_EQ(app.normalRanking[0].stages, 4);
  EXPECT_EQ(app.normalRanking[1].value, 24123);
}

TEST_F(NameEntryTest, NoRowToFillReturnsToTheTitle) {
  const std::vector<Row> normal = Rows(app.normalRanking);
  const std::vector<Row> sokai = Rows(app.sokaiRanking);
  for (int32_t place : {kNotPlaced, -1, 99}) {
    SCOPED_TRACE(place);
    app.result.rankPlace = place;
    Enter(SceneNameEntry1);
    EXPECT_EQ(app.requestedScene, SceneTitle);
    Frames();
    EXPECT_EQ(app.currentScene, SceneTitle);
  }
  app.result.rankPlace = 0;
  app.sokaiRanking.clear();  // no table at all
  Enter(SceneNameEntrySokai);
  Frames();
  EXPECT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(Rows(app.normalRanking), normal);
}

// ---- The picture ----

// The font sheet coloured by 32 by 44 cell, so each glyph drawn tells its cell.
uint32_t CellColour(int cx, int cy) {
  return (40u + 24u * static_cast<uint32_t>(cx)) << 16 |
         (40u + 30u * static_cast<uint32_t>(cy)) << 8 | 0x80u;
}
uint32_t Glyph(int code) { return CellColour(code % 8, code / 8); }

class NameEntryPicture : public gltest::GameDeviceTest, public SceneRig {
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
  // Frames until the scene frame's place in the 30-frame blink is `phase`.
  void UntilBlinkPhase(int phase) {
    for (int i = 0; i < 30 && app.sceneFrame % 30 != phase; ++i) Frames();
  }
  // The colour inside the glyph drawn at 1.5 times with its left edge at x.
  static uint32_t BigAt(const std::vector<uint32_t>& p, int x, int y) {
    return gltest::Rgb(p, x + 18, y + 22);
  }
};

TEST_F(NameEntryPicture, TheNameTimeAndStagesShowAndTheLetterUnderTheCursorBlinks) {
  app.stageMode.framesUsed = 24123;  // 6:42:05
  ASSERT_EQ(app.NormalRankPosition(3), 0);
  Enter(SceneNameEntry1);
  ASSERT_EQ(app.currentScene, SceneNameEntry1);
  const int32_t name[kNameLength] = {20, 9, 46, 45, 0};
  for (int i = 0; i < kNameLength; ++i) app.normalRanking[0].letters[i] = name[i];
  TapEach({kZ, kZ});  // the cursor on the third letter

  UntilBlinkPhase(21);  // the first frame it is hidden
  auto p = Picture();
  for (int i = 0; i < kNameLength; ++i)
    EXPECT_EQ(BigAt(p, 246 + 37 * i, 175), i == 2 ? 0x0000FFu : Glyph(name[i])) << i;
  EXPECT_EQ(BigAt(p, 356, 310), Glyph(6));  // minutes
  EXPECT_EQ(BigAt(p, 421, 310), Glyph(4));  // seconds 42
  EXPECT_EQ(BigAt(p, 458, 310), Glyph(2));
  EXPECT_EQ(BigAt(p, 523, 310), Glyph(0));  // hundredths 05
  EXPECT_EQ(BigAt(p, 560, 310), Glyph(5));
  EXPECT_EQ(BigAt(p, 146, 310), Glyph(3));  // stages
  EXPECT_EQ(gltest::Rgb(p, 620, 420), 0x0000FFu);

  UntilBlinkPhase(0);  // shown again
  p = Picture();
  EXPECT_EQ(BigAt(p, 246 + 37 * 2, 175), Glyph(name[2]));
}

}  // namespace
