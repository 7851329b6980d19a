// The stage picture read back at checkpoints: the HUD clock's digits in
// their places, the phase captions, the pause overlay with its cursor, the
// sokai overlay's counters, and the draw interval spreading a picture over
// two or three frames (a value from outside 1 to 3 clamped; every character
// drawn once a picture).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "support/image_encoders.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"

namespace {

using namespace stagescene;

// A colour per digit, and one per texture drawn whole or by rectangles.
constexpr uint32_t kDigit[10] = {0xF01010, 0x10F010, 0x1010F0, 0xF0F010, 0x10F0F0,
                                 0xF010F0, 0x808010, 0x108080, 0x801080, 0xF08040};
constexpr uint32_t kStageText = 0x3060E0, kPauseText = 0xC04080, kCursor = 0x40C040,
                   kSokaiText = 0xE0A030;

class StageDraw : public StageSceneTest {
 protected:
  void SetUp() override {
    StageSceneTest::SetUp();
    if (HasFatalFailure()) return;
    WriteFont();
    WriteFlatTexture("texture/stage_text.png", 256, 256, kStageText);
    WriteFlatTexture("texture/pausetext.png", 512, 256, kPauseText);
    WriteFlatTexture("texture/cursor.png", 64, 64, kCursor);
    WriteFlatTexture("texture/white.png", 1, 1, 0xFFFFFF);
    WriteFlatTexture("texture/sokaitext.png", 512, 512, kSokaiText);
    // The gauges would cover the charge level's digit.
    for (const char* t : {"charge_gazi_waku.png", "charge_gazi_bar.tga", "piyori_waku.png",
                          "poyori_gazi.png", "enemygazi.png", "enemybar.png"})
      Remove(std::string("texture/battle/") + t);
  }

  // Digit d's cell of the font in its colour; the rest black.
  void WriteFont() {
    std::vector<std::vector<uint8_t>> rows(512);
    for (int y = 0; y < 512; ++y) {
      for (int x = 0; x < 256; ++x) {
        uint32_t rgb = 0;
        for (int d = 0; d < 10; ++d) {
          const int left = 32 * (d % 8) + 3, top = d < 8 ? 2 : 46;
          if (x >= left && x < left + 24 && y >= top && y < top + 31) rgb = kDigit[d];
        }
        for (int shift = 0; shift < 24; shift += 8)
          rows[static_cast<size_t>(y)].push_back(static_cast<uint8_t>(rgb >> shift));
      }
    }
    const std::vector<uint8_t> bmp = testimg::EncodeBmp(256, 512, 24, rows, false);
    WriteData("texture/font.png",
              std::string_view(reinterpret_cast<const char*>(bmp.data()), bmp.size()));
  }

  // One drawn frame, read back.
  std::vector<uint32_t> DrawnFrame() {
    drawing = true;
    Frames();
    drawing = false;
    return Picture();
  }

  // The digit a number cell shows, or -1: its centre's colour. x is the
  // cell's left edge, the scale the number's.
  static int DigitAt(const std::vector<uint32_t>& p, float x, float y, float scale) {
    const uint32_t rgb =
        gltest::Rgb(p, static_cast<int>(x + 12 * scale), static_cast<int>(y + 15 * scale));
    for (int d = 0; d < 10; ++d)
      if (rgb == kDigit[d]) return d;
    return -1;
  }
  // The three clock digits, hundreds first.
  static std::vector<int> Clock(const std::vector<uint32_t>& p) {
    const float step = 24 * 0.8f + 1;
    return {DigitAt(p, 328 - 2 * step, 32, 0.8f), DigitAt(p, 328 - step, 32, 0.8f),
            DigitAt(p, 328, 32, 0.8f)};
  }
  static bool HasClock(const std::vector<uint32_t>& p) { return Clock(p)[2] >= 0; }
};

TEST_F(StageDraw, HudShowsTheClockTheCuesAndTheChargeLevel) {
  StartFromTitle(kItemStageMode);
  app.phaseFrame = 30;
  std::vector<uint32_t> p = DrawnFrame();
  EXPECT_EQ(Clock(p), (std::vector<int>{0, 5, 0})) << "5000 frames show 50";
  EXPECT_EQ(DigitAt(p, 43, 33, 1.0f), 0) << "charge level 0";
  EXPECT_EQ(gltest::Rgb(p, 250, 100), kStageText) << "the first cue at phase frame 31";
  EXPECT_EQ(gltest::Rgb(p, 300, 15), kStageText) << "the clock's caption";

  app.phaseFrame = 125;
  p = DrawnFrame();
  EXPECT_NE(gltest::Rgb(p, 250, 100), kStageText) << "between the cues";
  app.phaseFrame = 150;
  p = DrawnFrame();
  EXPECT_EQ(gltest::Rgb(p, 300, 100), kStageText) << "the second cue";

  struct Case {
    int32_t timeLeft;
    std::vector<int> digits;
  };
  const Case clocks[] = {{4999 + 1, {0, 4, 9}}, {99 + 1, {0, 0, 0}}, {12345 + 1, {1, 2, 3}}};
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  AddSentinel();
  for (const Case& c : clocks) {
    app.timeLeft = c.timeLeft;  // one frame runs before the picture
    EXPECT_EQ(Clock(DrawnFrame()), c.digits) << c.timeLeft;
  }
  p = DrawnFrame();
  EXPECT_NE(gltest::Rgb(p, 250, 100), kStageText) << "no caption in the areas";
}

TEST_F(StageDraw, PauseOverlayDarkensThePictureAndShowsTheMenu) {
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  AddSentinel();
  const std::vector<uint32_t> before = DrawnFrame();
  Hold(kF1);
  const std::vector<uint32_t> paused = DrawnFrame();
  Let(kF1);
  ASSERT_EQ(app.stageMode.paused, 1);
  EXPECT_EQ(gltest::Rgb(paused, 300, 120), kPauseText) << "the pause caption";
  EXPECT_EQ(gltest::Rgb(paused, 300, 190), kPauseText) << "resume";
  EXPECT_EQ(gltest::Rgb(paused, 300, 255), kPauseText) << "quit";
  EXPECT_EQ(gltest::Rgb(paused, 130, 165), kCursor) << "on resume";
  EXPECT_NE(gltest::Rgb(paused, 130, 230), kCursor);
  // The veil: black at alpha 100 over everything but the menu.
  for (int x : {20, 600}) {
    const uint32_t a = gltest::At(before, x, 400), b = gltest::At(paused, x, 400);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(gltest::Channel(b, shift), gltest::Channel(a, shift) * 155 / 255, 3) << x;
  }

  Tap(kDown);
  const std::vector<uint32_t> quit = DrawnFrame();
  EXPECT_EQ(gltest::Rgb(quit, 130, 230), kCursor) << "on quit";
  EXPECT_NE(gltest::Rgb(quit, 130, 165), kCursor);
}

TEST_F(StageDraw, DrawIntervalSpreadsThePictureAndIsClamped) {
  struct Case {
    int32_t interval;
    std::vector<bool> hudShown;  // for scene frames 1 to 6
  };
  const Case cases[] = {
      {1, {true, true, true, true, true, true}},
      {2, {true, false, true, false, true, false}},
      {3, {false, true, false, false, true, false}},
      {0, {true, true, true, true, true, true}},     // below: 1
      {-4, {true, true, true, true, true, true}},    // below: 1
      {9, {false, true, false, false, true, false}}  // above: 3
  };
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  AddSentinel();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    app.options.drawInterval = c.interval;
    app.sceneFrame = 0;
    std::vector<bool> shown;
    for (int i = 0; i < 6; ++i) {
      ClearTo(0xFF000000u);  // what the frame does not draw stays black
      shown.push_back(HasClock(DrawnFrame()));
    }
    EXPECT_EQ(shown, c.hudShown);
  }
}

// A character that counts the times it is drawn.
class CountedEnemy : public Sentinel {
 public:
  using Sentinel::Sentinel;
  void Draw(port::Matrix, port::Matrix, port::Vec4) override { ++draws; }
  int draws = 0;
};

TEST_F(StageDraw, EveryCharacterIsDrawnOncePerPictureAtEachInterval) {
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  // Fewer characters than the quarters of interval 3, as many, and more in
  // uneven shares.
  for (int count : {1, 2, 4, 7, 13}) {
    for (int32_t interval : {1, 2, 3}) {
      SCOPED_TRACE(count * 10 + interval);
      g_characters.Clear();
      std::vector<CountedEnemy*> enemies;
      for (int i = 0; i < count; ++i) {
        auto e = std::make_unique<CountedEnemy>(port::Vec3{2.0f * static_cast<float>(i), 1, 10});
        enemies.push_back(e.get());
        g_characters.Add(std::move(e));
      }
      app.options.drawInterval = interval;
      for (int picture = 1; picture <= 2; ++picture) {
        // The frames of one picture, from the one that clears.
        for (int32_t part = 0; part < interval; ++part) {
          app.sceneFrame = 6 * picture + part;
          app.DrawStage();
        }
        for (int i = 0; i < count; ++i)
          EXPECT_EQ(enemies[static_cast<size_t>(i)]->draws, picture) << i;
      }
    }
  }
  g_characters.Clear();
}

TEST_F(StageDraw, PauseMenuShowsAtEveryDrawInterval) {
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  for (int interval : {2, 3}) {
    app.options.drawInterval = interval;
    for (int offset = 0; offset < interval; ++offset) {
      SCOPED_TRACE(interval * 10 + offset);
      app.sceneFrame = 100 + offset;  // paused on each part of the picture in turn
      Tap(kEscape);
      ASSERT_EQ(app.stageMode.paused, 1);
      ClearTo(0xFF000000u);
      EXPECT_EQ(gltest::Rgb(DrawnFrame(), 300, 120), kPauseText);
      Tap(kEscape);
    }
  }
}

TEST_F(StageDraw, OptionFileIntervalOutOfRangeIsBroughtToTheNearerEnd) {
  struct Case {
    int fileValue;
    int32_t interval;
    int shownOfSix;  // frames of six that show the HUD
  };
  const Case cases[] = {{-2, 1, 6}, {9, 3, 2}};
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  AddSentinel();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileValue);
    std::string file;
    const int values[16] = {0, 0, 500, c.fileValue, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2};
    for (int v : values) file += "k=" + std::to_string(v) + "\r\n";
    WriteData("save/option.sav", file);
    app.LoadOptions("save/option.sav");
    EXPECT_EQ(app.options.drawInterval, c.interval);
    int shown = 0;
    for (int i = 0; i < 6; ++i) {
      ClearTo(0xFF000000u);
      shown += HasClock(DrawnFrame()) ? 1 : 0;
    }
    EXPECT_EQ(shown, c.shownOfSix);
  }
}

TEST_F(StageDraw, SokaiOverlayShowsScoreCountersComboAndTally) {
  StartFromTitle(kItemSokai);
  ASSERT_GT(UntilPhase(kPhaseCrowd), 0);
  app.sokai.score = 670;
  app.sokai.kills = 12;
  app.sokai.maxCombo = 9;
  app.sceneFrame = 10;
  std::vector<uint32_t> p = DrawnFrame();
  const float step = 25;  // 24 x 1.0 + 1
  EXPECT_EQ(DigitAt(p, 120, 35, 1.0f), 0);
  EXPECT_EQ(DigitAt(p, 120 - step, 35, 1.0f), 7);
  EXPECT_EQ(DigitAt(p, 120 - 2 * step, 35, 1.0f), 6);
  EXPECT_EQ(DigitAt(p, 533, 37, 1.0f), 2) << "kills first";
  EXPECT_EQ(DigitAt(p, 533 - step, 37, 1.0f), 1);
  EXPECT_NE(gltest::Rgb(p, 440, 15), kSokaiText) << "the kills caption starts at 470";
  EXPECT_TRUE(HasClock(p));
  EXPECT_NE(gltest::Rgb(p, 596, 113), kSokaiText) << "no combo shown at the start";

  app.sceneFrame = 70;
  app.sokai.kills = 12;
  app.AddSokaiKill();
  p = DrawnFrame();
  EXPECT_EQ(DigitAt(p, 533, 37, 1.0f), 9) << "then the best combo";
  EXPECT_EQ(gltest::Rgb(p, 440, 15), kSokaiText);
  EXPECT_EQ(gltest::Rgb(p, 596, 113), kSokaiText) << "the combo caption after a kill";
  EXPECT_EQ(DigitAt(p, 540, 100, 1.0f), 1);

  // The tally hides the clock and shows its rows one by one.
  app.stagePhase = kPhaseTally;
  app.phaseFrame = 29;
  p = DrawnFrame();
  EXPECT_FALSE(HasClock(p));
  EXPECT_EQ(gltest::Rgb(p, 300, 70), kSokaiText) << "the result caption";
  EXPECT_EQ(DigitAt(p, 180, 154, 1.0f), -1) << "the kills row from phase frame 31";
  p = DrawnFrame();
  EXPECT_EQ(DigitAt(p, 180, 154, 1.0f), 2);
  EXPECT_EQ(DigitAt(p, 315, 154, 1.0f), 5) << "the factor";
  EXPECT_EQ(DigitAt(p, 510, 154, 1.0f), 0) << "12 x 5 = 60";
  EXPECT_EQ(DigitAt(p, 510 - step, 154, 1.0f), 6);
  EXPECT_EQ(DigitAt(p, 180, 244, 1.0f), -1) << "the next row from phase frame 91";
}

}  // namespace
