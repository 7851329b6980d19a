// The battle match's picture read back: the split screen for two, three
// and four players (each viewport the same as its player's view drawn
// alone, with that player in the middle), the draw intervals building one
// picture over two or three frames, and the HUD's gauges, countdown,
// captions and labels at their places.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/MenuItem.h"
#include "render/Camera.h"
#include "support/battle_match_fixture.h"
#include "support/image_encoders.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

using namespace battlematch;
using gltest::Rgb;

constexpr uint32_t kBlue = 0x0000FF;
// A colour per digit, and one per texture or region.
constexpr uint32_t kDigit[10] = {0xF01010, 0x10F010, 0x1010F0, 0xF0F010, 0x10F0F0,
                                 0xF010F0, 0x808010, 0x108080, 0x801080, 0xF08040};
constexpr uint32_t kBattleText = 0x30A0A0, kLine = 0xE0E040, kWinner = 0x20C020, kLoser = 0xC02020,
                   kSetting = 0x6040C0, kStageText = 0x3060E0, kCourse = 0xC0C0C0;

struct Rect {
  int x, y, w, h;
};
// The viewports of 2, 3 and 4 players.
const std::vector<Rect> kLayouts[3] = {
    {{0, 0, 320, 480}, {320, 0, 320, 480}},
    {{0, 0, 320, 240}, {320, 0, 320, 240}, {0, 240, 320, 240}},
    {{0, 0, 320, 240}, {320, 0, 320, 240}, {0, 240, 320, 240}, {320, 240, 320, 240}},
};

class BattleMatchDraw : public BattleMatchTest {
 protected:
  void SetUp() override {
    BattleMatchTest::SetUp();
    if (HasFatalFailure()) return;
    // The sun stands still, so a picture can be drawn twice alike.
    g_sun.clock = [] { return 0u; };
  }
  void TearDown() override {
    g_sun.clock = nullptr;
    BattleMatchTest::TearDown();
  }

  // Digit d's cell of the font in its colour; the rest black.
  void WriteFont() {
    WriteTexture("texture/font.png", 256, 512, [](int x, int y) {
      for (int d = 0; d < 10; ++d) {
        const int left = 32 * (d % 8) + 3, top = d < 8 ? 2 : 46;
        if (x >= left && x < left + 24 && y >= top && y < top + 31) return kDigit[d];
      }
      return 0u;
    });
  }
  void WriteTexture(const std::string& path, int w, int h,
                    const std::function<uint32_t(int, int)>& rgbAt) {
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int shift = 0; shift < 24; shift += 8)
          rows[static_cast<size_t>(y)].push_back(static_cast<uint8_t>(rgbAt(x, y) >> shift));
    const std::vector<uint8_t> bmp = testimg::EncodeBmp(w, h, 24, rows, false);
    WriteData(path, std::string_view(reinterpret_cast<const char*>(bmp.data()), bmp.size()));
  }
  // The HUD's textures in known colours; the gauge frames taken away.
  void WriteHud() {
    WriteFont();
    WriteTexture("texture/battle/battle_text.png", 256, 256, [](int x, int y) {
      if (x >= 174 && x < 241 && y >= 72 && y < 79) return kLine;
      if (y >= 213 && x >= 127 && x < 189) return kWinner;
      if (y >= 213 && x >= 194) return kLoser;
      return kBattleText;
    });
    WriteFlatTexture("texture/battle/battlesetting_text.png", 256, 256, kSetting);
    WriteFlatTexture("texture/stage_text.png", 256, 256, kStageText);
    WriteFlatTexture("texture/title/course.png", 512, 128, kCourse);
    WriteFlatTexture("texture/battle/charge_gazi_bar.tga", 32, 16, 0xFFFFFF);
    for (const char* t : {"charge_gazi_waku.png", "piyori_waku.png", "poyori_gazi.png"})
      Remove(std::string("texture/battle/") + t);
  }

  std::vector<uint32_t> DrawnFrame() {
    drawing = true;
    Frames();
    drawing = false;
    return Picture();
  }
  // The HUD alone over what stands, as the match draws it.
  std::vector<uint32_t> HudOnly() {
    ClearTo(0xFF000000u);
    app.DrawBattleHud();
    return Picture();
  }

  // Player i's viewport drawn alone onto black, as the match draws it;
  // without the player itself when `withSelf` is false.
  std::vector<uint32_t> ViewAlone(int i, const Rect& r, bool withSelf) {
    ClearTo(0xFF000000u);
    g_graphics.SetViewport(r.x, r.y, r.w, r.h, 1);
    app.battlePlayers[i].ApplyCamera();
    port::Matrix view;
    GetCameraViewMatrix(&view);
    const port::Matrix projection = g_camera.GetProjection();
    const port::Vec4 light = g_sun.GetLightDirection();
    g_stageField.Draw(view, projection, light);
    g_sun.Draw();
    const uint8_t alive = P(i).alive;
    if (!withSelf) P(i).alive = 0;
    for (int j = 0; j < battle::PlayersOf(app); ++j) P(j).Draw(view, projection, light);
    P(i).alive = alive;
    g_objects.DrawAll();
    g_effects.DrawAll(view, projection);
    g_graphics.SetFullViewport(0);
    return Picture();
  }

  static int CountDiffering(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                            const Rect& r, int dx = 0, int dy = 0) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) n += Rgb(a, x, y) != Rgb(b, x + dx, y + dy) ? 1 : 0;
    return n;
  }
  static int CountOf(const std::vector<uint32_t>& p, const Rect& r, uint32_t rgb) {
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) n += Rgb(p, x, y) == rgb ? 1 : 0;
    return n;
  }
  static int DigitAt(const std::vector<uint32_t>& p, int x, int y) {
    for (int d = 0; d < 10; ++d)
      if (Rgb(p, x, y) == kDigit[d]) return d;
    return -1;
  }
};

TEST_F(BattleMatchDraw, EachViewportShowsItsOwnPlayerAndNothingBleedsAcross) {
  Remove("texture");  // no HUD over the viewports
  for (int players = 2; players <= 4; ++players) {
    SCOPED_TRACE(players);
    StartMatch({.players = players, .interval = 1});
    ASSERT_GT(UntilPhase(battle::kFirstHalf), 0);
    Frames(30);
    const std::vector<uint32_t> split = DrawnFrame();
    const std::vector<Rect>& layout = kLayouts[players - 2];
    for (int i = 0; i < players; ++i) {
      SCOPED_TRACE(i);
      const Rect& r = layout[static_cast<size_t>(i)];
      EXPECT_EQ(CountDiffering(split, ViewAlone(i, r, true), r), 0);
      // The player stands in the middle of its own picture.
      const Rect middle{r.x + r.w / 2 - 20, r.y + r.h / 2, 40, r.h / 4};
      EXPECT_GT(CountDiffering(split, ViewAlone(i, r, false), middle), 100);
      // Every other viewport of its size looks at the field another way.
      for (int j = 0; j < i; ++j) {
        const Rect& o = layout[static_cast<size_t>(j)];
        EXPECT_GT(CountDiffering(split, split, r, o.x - r.x, o.y - r.y), r.w * r.h / 20) << j;
      }
    }
    if (players == 3) {
      const Rect lowerRight{320, 240, 320, 240};
      EXPECT_EQ(CountOf(split, lowerRight, kBlue), 320 * 240) << "only the clear colour";
    }
  }
}

TEST_F(BattleMatchDraw, SeparatorsAndTheEmptyQuarterOfThreePlayers) {
  WriteFlatTexture("texture/battle/battle_text.png", 256, 256, kLine);
  for (int players = 2; players <= 4; ++players) {
    SCOPED_TRACE(players);
    StartMatch({.players = players, .interval = 1});
    ASSERT_GT(UntilPhase(battle::kFirstHalf), 0);
    const std::vector<uint32_t> p = DrawnFrame();
    EXPECT_EQ(Rgb(p, 320, 100), kLine) << "the vertical line";
    EXPECT_EQ(Rgb(p, 320, 400), kLine);
    EXPECT_EQ(Rgb(p, 100, 240) == kLine, players != 2) << "the horizontal line";
    if (players == 3) {
      const Rect lowerRight{320, 240, 320, 240};
      EXPECT_EQ(CountOf(p, lowerRight, kBlue) + CountOf(p, lowerRight, kLine), 320 * 240);
      EXPECT_GT(CountOf(p, lowerRight, kLine), 320 * 3);
    }
  }
}

TEST_F(BattleMatchDraw, IntervalsTwoAndThreeBuildThePictureOverFrames) {
  WriteHud();
  struct Case {
    int players, interval;
  };
  for (const Case c : {Case{4, 2}, Case{2, 2}, Case{3, 3}, Case{4, 3}}) {
    SCOPED_TRACE(c.players * 10 + c.interval);
    StartMatch({.players = c.players, .interval = c.interval});
    ASSERT_GT(UntilPhase(battle::kFirstHalf), 0);
    Frames(20 + (6 - app.sceneFrame % 6));  // a whole picture starts next
    const std::vector<Rect>& layout = kLayouts[c.players - 2];
    const int firstHalf = c.players == 2 ? 1 : 2;
    // What each frame draws, onto black.
    for (int f = 0; f < 6; ++f) {
      ClearTo(0xFF000000u);
      const std::vector<uint32_t> p = DrawnFrame();
      const int32_t part = app.sceneFrame % c.interval;
      const bool presents = part == (c.interval == 2 ? 0 : 2);
      SCOPED_TRACE(app.sceneFrame);
      EXPECT_EQ(Rgb(p, 10, 10) == kSetting, presents) << "the HUD with the picture shown";
      for (int i = 0; i < c.players; ++i) {
        const Rect& r = layout[static_cast<size_t>(i)];
        const Rect inner{r.x + 8, r.y + 20, r.w - 16, r.h - 40};
        const int black = CountOf(p, inner, 0), blue = CountOf(p, inner, kBlue);
        const int all = inner.w * inner.h;
        if (c.interval == 2) {
          const bool mine = (i < firstHalf) == (part == 0);
          if (mine) {
            EXPECT_TRUE(black == 0 && blue < all) << i << ": drawn";
          } else if (part == 0) {
            EXPECT_GT(black, all * 9 / 10) << i << ": left as it was, under the HUD";
          } else {
            EXPECT_EQ(blue, all) << i << ": cleared, drawn next frame";
          }
        } else if (part == 0) {
          EXPECT_TRUE(black == 0 && blue < all) << i << ": cleared, the field";
        } else {
          EXPECT_GT(black, all / 2) << i << ": one layer over what stands";
        }
      }
    }
    // The whole picture, as presented: the same as drawing it at once.
    const int32_t first = c.interval == 2 ? 1 : 0;  // the part that clears
    while ((app.sceneFrame + 1) % c.interval != first) Frames();
    drawing = true;
    Frames(c.interval);
    drawing = false;
    const std::vector<uint32_t> spread = Picture();
    app.battle.drawInterval = 1;
    const std::vector<uint32_t> atOnce = DrawnFrame();
    app.battle.drawInterval = c.interval;
    EXPECT_LT(CountDiffering(spread, atOnce, {0, 0, 640, 480}), 640 * 480 / 40);
  }
}

TEST_F(BattleMatchDraw, HudShowsGaugesCountdownCaptionsAndLabels) {
  WriteHud();
  StartMatch({.players = 2, .interval = 1});
  ASSERT_GT(UntilPhase(battle::kFirstHalf), 0);
  // The charge bar's colour and the level digit of player 1 (lower row).
  struct Charge {
    int32_t charge, sceneFrame;
    uint32_t bar;
    int level;
  };
  const Charge charges[] = {{79, 1, 0xFF0000, 0},  {80, 1, 0xFF00FF, 1},  {239, 1, 0xFF00FF, 1},
                            {240, 0, 0x00FF00, 2}, {240, 3, 0xFF0000, 2}, {240, 5, 0x0000FF, 2},
                            {5000, 7, 0x00FF00, 2}};
  for (const Charge& c : charges) {
    SCOPED_TRACE(c.charge * 10 + c.sceneFrame);
    P(0).charge = c.charge;
    P(1).charge = 0;
    app.sceneFrame = c.sceneFrame;
    const std::vector<uint32_t> p = HudOnly();
    EXPECT_EQ(Rgb(p, 266, 435), c.bar);
    EXPECT_EQ(DigitAt(p, 286, 454), c.level);
    EXPECT_EQ(DigitAt(p, 327 + 286, 454), 0) << "player 2's own level";
  }
  P(0).charge = 0;
  P(0).points = 7;
  P(1).points = 23;
  std::vector<uint32_t> p = HudOnly();
  EXPECT_EQ(Rgb(p, 10, 10), kSetting);
  EXPECT_EQ(DigitAt(p, 82 - 19 + 9, 9 + 12), 0) << "points in two digits";
  EXPECT_EQ(DigitAt(p, 82 + 9, 9 + 12), 7);
  EXPECT_EQ(DigitAt(p, 323 + 82 - 19 + 9, 9 + 12), 2);
  EXPECT_EQ(DigitAt(p, 323 + 82 + 9, 9 + 12), 3);

  // The countdown in the second half: one digit below 1000, two to 1099.
  app.stagePhase = battle::kSecondHalf;
  app.phaseFrame = 500;  // the banner has slid away
  struct Count {
    int32_t timeLeft;
    int tens, ones;  // -1: none
  };
  for (const Count& c : {Count{999, -1, 9}, Count{50, -1, 0}, Count{1000, 1, 0}, Count{1099, 1, 0},
                         Count{1100, -1, -1}}) {
    SCOPED_TRACE(c.timeLeft);
    app.timeLeft = c.timeLeft;
    p = HudOnly();
    if (c.tens < 0) {
      EXPECT_EQ(DigitAt(p, 305, 225), c.ones);
      EXPECT_EQ(DigitAt(p, 290, 225), -1);
    } else {
      EXPECT_EQ(DigitAt(p, 290, 225), c.tens);
      EXPECT_EQ(DigitAt(p, 345, 225), c.ones);
    }
  }
  app.phaseFrame = 10;
  EXPECT_EQ(Rgb(HudOnly(), 640 - 60 + 30, 220), kBattleText) << "the second half's banner";

  // The cues, time over, the result labels, the result menu.
  struct Caption {
    int32_t phase, phaseFrame, sceneFrame;
    int x, y;
    uint32_t rgb;
    bool shown;
  };
  P(0).state = kBattleWin;
  P(1).state = kBattleLose;
  app.menus.cursor = kItemToCharacterSelect;
  const Caption captions[] = {
      {battle::kIntro, 30, 1, 220, 220, kStageText, false},
      {battle::kIntro, 31, 1, 220, 220, kStageText, true},
      {battle::kIntro, 141, 1, 400, 220, kStageText, true},
      {battle::kIntro, 230, 1, 400, 220, kStageText, false},
      {battle::kTimeOver, 1, 1, 150, 220, kStageText, true},
      {battle::kResult, 1, 1, 150, 140, kWinner, true},
      {battle::kResult, 1, 1, 470, 140, kLoser, true},
      {battle::kResultMenu, 1, 1, 250, 240, kBattleText, true},
      {battle::kResultMenu, 1, 1, 380, 230, kBattleText, true},
      {battle::kResultMenu, 1, 19, 470, 240, kCourse, true},
      {battle::kResultMenu, 1, 19, 170, 240, kCourse, true},
      {battle::kResultMenu, 1, 20, 470, 240, kCourse, false},
  };
  for (const Caption& c : captions) {
    SCOPED_TRACE(c.phase * 1000 + c.phaseFrame);
    app.stagePhase = c.phase;
    app.phaseFrame = c.phaseFrame;
    app.sceneFrame = c.sceneFrame;
    EXPECT_EQ(Rgb(HudOnly(), c.x, c.y) == c.rgb, c.shown) << c.x << "," << c.y;
  }
}

}  // namespace
