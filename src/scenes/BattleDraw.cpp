// The battle match's picture: a viewport per player, each seen through that
// player's camera, and the HUD over the whole screen. The battle draw
// interval spreads one picture over one, two or three frames: by halves of
// the viewports, or by layers of every viewport.
#include <algorithm>

#include "actors/BattlePlayer.h"
#include "app/MenuItem.h"
#include "platform/GraphicsDevice.h"
#include "render/Camera.h"
#include "render/UiDraw.h"
#include "scenes/BattleScene.h"
#include "scenes/MenuScene.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

using namespace battle;
using port::gpu::RenderState;
using port::gpu::StageState;

constexpr port::Argb kClearBlue = 0xFF0000FFu;
constexpr port::Argb kWhite = 0xFFFFFFFFu;

struct Rectangle {
  int32_t x, y, width, height;
};
// By the number of players (2 to 4), player i's viewport.
constexpr Rectangle kViewports[3][BattlePlayer::kMaxPlayers] = {
    {{0, 0, 320, 480}, {320, 0, 320, 480}},
    {{0, 0, 320, 240}, {320, 0, 320, 240}, {0, 240, 320, 240}},
    {{0, 0, 320, 240}, {320, 0, 320, 240}, {0, 240, 320, 240}, {320, 240, 320, 240}},
};

// The layers of a viewport's content, drawn in this order.
enum Layer : unsigned {
  kFieldLayer = 1,      // the field and the sun
  kCharacterLayer = 2,  // every player taking part
  kObjectLayer = 4,     // the objects and the effects
  kAllLayers = 7,
};

// The charge bar: alpha tested at 254 with the texture's alpha added to the
// colour's, so the bar's left-to-right alpha ramp fills as the colour's
// alpha grows.
constexpr uint32_t kGaugeAlphaRef = 254;
constexpr uint32_t kDefaultAlphaRef = 5;
constexpr int32_t kChargeLevel1 = 80;   // frames: large attack 1
constexpr int32_t kChargeLevel2 = 240;  // frames: large attack 2
constexpr port::Argb kChargeHalf = 0x80FF0000u;
// Full charge flashes green, red and blue, two frames each.
constexpr port::Argb kChargeFlash[3] = {0xC800FF00u, 0xC8FF0000u, 0xC80000FFu};
constexpr float kStunFull = 50.0f;  // the stun bar stops growing here
constexpr float kStunWidthPerPoint = 0.008f;
// The stun gauges and the vertical separator stand upright: a quarter turn
// clockwise about the top-left corner, so the separator runs down the middle
// of the screen and each gauge hangs inside its viewport's right edge.
constexpr float kTurned = 1.57f;

// A sprite of a scene texture: id, place, scale.
struct Caption {
  int texture;
  int sprite;
  float x, y, scaleX, scaleY;
};
constexpr Caption kHorizontalLine = {kBattleText, 31, -4, 237, 9.77f, 1.0f};
constexpr Caption kVerticalLine = {kBattleText, 30, 324, -4, 9.77f, 1.0f};  // turned
constexpr Caption kReadyCaption = {kStageText, 24, 202, 197, 2, 2};
constexpr Caption kGoCaption = {kStageText, 25, 223, 197, 2, 2};
constexpr Caption kTimeOverCaption = {kStageText, 27, 124, 200, 2, 2};
// The result menu's label of each item, 14 to 18; the character select's
// takes two sprites.
constexpr Caption kItemLabels[5][2] = {
    {{kBattleText, 55, 197, 211, 2.1f, 1.6f}},
    {{kBattleText, 44, 197, 211, 2.0f, 1.5f}},
    {{kBattleText, 47, 197, 211, 0.85f, 1.4f}, {kBattleText, 48, 335, 211, 0.85f, 1.4f}},
    {{kBattleText, 53, 197, 211, 1.0f, 1.5f}},
    {{kBattleText, 56, 197, 211, 1.16f, 1.53f}},
};
constexpr Caption kRightArrow = {kCourse, 2, 452, 210, 0.5f, 1.0f};
constexpr Caption kLeftArrow = {kCourse, 2, 188, 210, -0.5f, 1.0f};  // mirrored
constexpr int32_t kArrowPeriod = 30, kArrowShown = 20;               // scene frames
constexpr int kWinnerSprite = 34, kLoserSprite = 35;
constexpr int kPointsSprite = 32;
constexpr int kSecondHalfSprite = 33;
// The intro cues show between these phase frames.
constexpr int32_t kReadyShown[2] = {31, 119};
constexpr int32_t kGoShown[2] = {141, 229};

void DrawCaption(Application& app, const Caption& c) {
  if (c.scaleX == 0.0f) return;  // an empty slot of a label table
  menu::Sprite(menu::SceneTexture(app, c.texture), c.sprite, c.x, c.y, c.scaleX, c.scaleY);
}

void Number(Application& app, int digits, float x, float y, float scale, int value) {
  DrawNumber(menu::SceneTexture(app, kFont), digits, x, y, scale, value);
}

void Whole(Application& app, int texture, port::Vec2 scale, port::Vec2 at, port::Argb colour) {
  if (Texture* t = menu::SceneTexture(app, texture))
    t->DrawSprite(g_graphics.GetSprite(), &scale, &at, nullptr, colour);
}

void WholeTurned(Application& app, int texture, port::Vec2 scale, port::Vec2 at) {
  if (Texture* t = menu::SceneTexture(app, texture))
    t->DrawSpriteRotated(g_graphics.GetSprite(), &scale, &at, kTurned, nullptr, kWhite);
}

void DrawTurnedCaption(Application& app, const Caption& c) {
  Texture* t = menu::SceneTexture(app, c.texture);
  port::Rect rect;
  if (!t || !UiSpriteRect(c.sprite, &rect)) return;
  const port::Vec2 scale{c.scaleX, c.scaleY}, at{c.x, c.y};
  t->DrawSpriteRotated(g_graphics.GetSprite(), &scale, &at, kTurned, &rect, kWhite);
}

port::Argb WithAlpha(port::Argb rgb, int32_t alpha) {
  return (static_cast<port::Argb>(std::clamp(alpha, 0, 255)) << 24) | (rgb & 0xFFFFFFu);
}

void DrawChargeBar(Application& app, int32_t charge, port::Vec2 at) {
  const port::Vec2 scale{0.8f, 0.8f};
  if (charge < kChargeLevel1) {
    Whole(app, kChargeBar, scale, at, WithAlpha(0xFF0000u, charge * 128 / kChargeLevel1));
  } else if (charge < kChargeLevel2) {
    Whole(app, kChargeBar, scale, at, kChargeHalf);
    Whole(app, kChargeBar, scale, at,
          WithAlpha(0xFF00FFu, (charge - kChargeLevel1) * 128 / (kChargeLevel2 - kChargeLevel1)));
  } else {
    Whole(app, kChargeBar, scale, at, kChargeFlash[(app.sceneFrame % 6) / 2]);
  }
}

// Column and gauge row of player i: with two players both gauges sit in
// the lower row.
float Column(int i, float width) { return width * static_cast<float>(i % 2); }
float GaugeRow(int i, int32_t players) { return i < 2 && players >= 3 ? 0.0f : 243.0f; }

// One viewport of player i: its rectangle, its camera, then the layers.
void DrawViewport(Application& app, int i, bool clear, unsigned layers) {
  const int32_t players = PlayersOf(app);
  const Rectangle& r = kViewports[players - kMinPlayers][i];
  g_graphics.SetViewport(r.x, r.y, r.width, r.height, clear ? 1 : 0);
  app.battlePlayers[i].ApplyCamera();
  port::Matrix view;
  GetCameraViewMatrix(&view);
  const port::Matrix projection = g_camera.GetProjection();
  const port::Vec4 light = g_sun.GetLightDirection();
  if (layers & kFieldLayer) {
    g_stageField.Draw(view, projection, light);
    g_sun.Draw();
  }
  if (layers & kCharacterLayer) {
    for (int j = 0; j < players; ++j) app.battlePlayers[j].Draw(view, projection, light);
  }
  if (layers & kObjectLayer) {
    g_objects.DrawAll();
    g_effects.DrawAll(view, projection);
  }
}

void ClearAll() {
  g_graphics.SetFullViewport(0);
  g_graphics.Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, kClearBlue);
}

void HudAndPresent(Application& app, bool present) {
  g_graphics.SetFullViewport(0);
  if (!present) return;
  app.DrawBattleHud();
  g_graphics.Present();
}

}  // namespace

void Application::DrawBattle() {
  const int32_t players = PlayersOf(*this);
  const int32_t interval = battle.drawInterval == 1 || battle.drawInterval == 3
                               ? battle.drawInterval
                               : 2;  // any other value draws as 2
  if (interval == 1) {
    ClearAll();
    for (int i = 0; i < players; ++i) DrawViewport(*this, i, true, kAllLayers);
    HudAndPresent(*this, true);
  } else if (interval == 2) {
    // Odd frames clear and draw the second half, even frames the first half
    // and present. The HUD goes on only with the presenting half, so it is
    // not blended twice over the second half.
    const bool even = sceneFrame % 2 == 0;
    if (!even) ClearAll();
    const int firstHalf = players == 2 ? 1 : 2;
    for (int i = even ? 0 : firstHalf; i < (even ? firstHalf : players); ++i)
      DrawViewport(*this, i, true, kAllLayers);
    HudAndPresent(*this, even);
  } else {
    const int32_t part = sceneFrame % 3;
    if (part == 0) ClearAll();
    const unsigned layer = part == 0 ? kFieldLayer : part == 1 ? kCharacterLayer : kObjectLayer;
    for (int i = 0; i < players; ++i) DrawViewport(*this, i, part == 0, layer);
    HudAndPresent(*this, part == 2);
  }
}

void Application::DrawBattleHud() {
  port::Sprite* sprite = g_graphics.GetSprite();
  port::gpu::Device* device = g_graphics.GetDevice();
  if (!sprite || !device) return;
  const int32_t players = PlayersOf(*this);
  sprite->Begin();
  if (players != 2) DrawCaption(*this, kHorizontalLine);
  DrawTurnedCaption(*this, kVerticalLine);
  for (int i = 0; i < players; ++i) {
    const float x = Column(i, 323), row = i < 2 ? 0.0f : 444.0f;
    DrawCaption(*this, {kSettingText, kPointsSprite, x + 5, row + 5, 0.8f, 0.8f});
    Number(*this, 2, x + 82, row + 9, 0.8f, battlePlayers[i].points);
  }

  device->SetRenderState(RenderState::AlphaRef, kGaugeAlphaRef);
  device->SetTextureStageState(0, StageState::AlphaOp, port::gpu::TexOpAdd);
  for (int i = 0; i < players; ++i)
    DrawChargeBar(*this, battlePlayers[i].charge,
                  {Column(i, 327) + 261, GaugeRow(i, players) + 186});
  device->SetRenderState(RenderState::AlphaRef, kDefaultAlphaRef);
  device->SetTextureStageState(0, StageState::AlphaOp, port::gpu::TexOpModulate);

  for (int i = 0; i < players; ++i) {
    const BattlePlayer& p = battlePlayers[i];
    const float x = Column(i, 327), q = GaugeRow(i, players);
    const int level = p.charge < kChargeLevel1 ? 0 : p.charge < kChargeLevel2 ? 1 : 2;
    Number(*this, 1, x + 277, q + 199, 0.8f, level);
    Whole(*this, kChargeFrame, {0.4f, 0.4f}, {x + 261, q + 186}, kWhite);
    const port::Vec2 stun = p.stunGauge < kStunFull
                                ? port::Vec2{p.stunGauge * kStunWidthPerPoint, 0.3f}
                                : port::Vec2{0.4f, 0.3f};
    WholeTurned(*this, kStunBar, stun, {x + 312, q + 99});
    WholeTurned(*this, kStunFrame, {0.4f, 0.3f}, {x + 312, q + 99});
  }

  switch (stagePhase) {
    case kIntro:
      if (phaseFrame >= kReadyShown[0] && phaseFrame <= kReadyShown[1])
        DrawCaption(*this, kReadyCaption);
      if (phaseFrame >= kGoShown[0] && phaseFrame <= kGoShown[1]) DrawCaption(*this, kGoCaption);
      break;
    case kSecondHalf:
      DrawCaption(*this, {kBattleText, kSecondHalfSprite,
                          640.0f - 6.0f * static_cast<float>(phaseFrame), 197, 2, 2});
      if (timeLeft < 1000) {
        Number(*this, 1, 296, 209, 2.0f, timeLeft / 100);
      } else if (timeLeft < 1100) {
        Number(*this, 2, 321, 209, 2.0f, timeLeft / 100);
      }
      break;
    case kResultMenu:
      if (menus.cursor >= kItemOnceMore && menus.cursor <= kItemToTitle) {
        for (const Caption& c : kItemLabels[menus.cursor - kItemOnceMore]) DrawCaption(*this, c);
      }
      if (sceneFrame % kArrowPeriod < kArrowShown) {
        DrawCaption(*this, kRightArrow);
        DrawCaption(*this, kLeftArrow);
      }
      break;
    case kTimeOver:
      DrawCaption(*this, kTimeOverCaption);
      break;
    case kResult:
      for (int i = 0; i < players; ++i) {
        const float top = i >= 2 ? 243.0f : players >= 3 ? 0.0f : 90.0f;
        DrawCaption(*this, {kBattleText, battlePlayers[i].IsWinner() ? kWinnerSprite : kLoserSprite,
                            320.0f * static_cast<float>(i % 2) + 125, top + 30, 1, 1});
      }
      break;
    default:
      break;
  }
  sprite->End();
}
