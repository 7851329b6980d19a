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

using menu::Caption;
using menu::NumberPlace;

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
// The second half's banner slides in from the right edge; under 11 seconds
// the countdown shows in the middle, in one digit or two.
constexpr Caption kSecondHalfBanner = {kBattleText, 33, 640, 197, 2, 2};
constexpr float kBannerSpeed = 6.0f;  // pixels a phase frame
constexpr NumberPlace kCountdownOneDigit = {kFont, 1, 296, 209, 2.0f};
constexpr NumberPlace kCountdownTwoDigits = {kFont, 2, 321, 209, 2.0f};
// The intro cues show between these phase frames.
constexpr int32_t kReadyShown[2] = {31, 119};
constexpr int32_t kGoShown[2] = {141, 229};

// ---- The HUD: one viewport's laid out once, drawn at each viewport ----

// A viewport's HUD origins. The right column's stand a few pixels right of
// its viewport, by element; the lower row's points stand at the foot of the
// screen; with two players each viewport is the screen's height.
struct HudOrigins {
  port::Vec2 points, gauges, result;
};
struct HudPlaces {
  float points, gauges, result;
};
constexpr HudPlaces kHudColumns[2] = {{0, 0, 0}, {323, 327, 320}};  // x, left and right
constexpr HudPlaces kHudFullHeight = {0, 243, 90};                  // y, two players
constexpr HudPlaces kHudRows[2] = {{0, 0, 0}, {444, 243, 243}};     // y, upper and lower

HudOrigins OriginsOf(int i, int32_t players) {
  const HudPlaces& x = kHudColumns[i % 2];
  const HudPlaces& y = players == 2 ? kHudFullHeight : kHudRows[i / 2];
  return {{x.points, y.points}, {x.gauges, y.gauges}, {x.result, y.result}};
}

// One viewport's HUD, each part from its origin: the points in the corner,
// the charge bar with its frame and level digit and the upright stun gauge
// at the right edge, and the result's label.
struct PlayerHud {
  Caption pointsLabel;
  NumberPlace points;
  port::Vec2 charge;  // the bar and its frame
  float chargeBarScale;
  port::Vec2 chargeFrameScale;
  NumberPlace chargeLevel;
  port::Vec2 stun;            // the bar and its frame, turned
  port::Vec2 stunFrameScale;  // a full bar fills it
  Caption winner, loser;
};
constexpr PlayerHud kPlayerHud = {
    .pointsLabel = {kSettingText, 32, 5, 5, 0.8f, 0.8f},
    .points = {kFont, 2, 82, 9, 0.8f},
    .charge = {261, 186},
    .chargeBarScale = 0.8f,
    .chargeFrameScale = {0.4f, 0.4f},
    .chargeLevel = {kFont, 1, 277, 199, 0.8f},
    .stun = {312, 99},
    .stunFrameScale = {0.4f, 0.3f},
    .winner = {kBattleText, 34, 125, 30, 1, 1},
    .loser = {kBattleText, 35, 125, 30, 1, 1},
};

port::Vec2 Offset(port::Vec2 origin, port::Vec2 at) { return {origin.x + at.x, origin.y + at.y}; }
Caption Offset(port::Vec2 origin, Caption c) {
  c.x = origin.x + c.x;
  c.y = origin.y + c.y;
  return c;
}
NumberPlace Offset(port::Vec2 origin, NumberPlace n) {
  n.x = origin.x + n.x;
  n.y = origin.y + n.y;
  return n;
}

void DrawCaption(Application& app, const Caption& c) {
  if (c.scaleX == 0.0f) return;  // an empty slot of a label table
  menu::Sprite(menu::SceneTexture(app, c.texture), c.sprite, c.x, c.y, c.scaleX, c.scaleY);
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
  const port::Vec2 scale{kPlayerHud.chargeBarScale, kPlayerHud.chargeBarScale};
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
  const PlayerHud& hud = kPlayerHud;
  for (int i = 0; i < players; ++i) {
    const port::Vec2 at = OriginsOf(i, players).points;
    DrawCaption(*this, Offset(at, hud.pointsLabel));
    menu::Draw(*this, Offset(at, hud.points), battlePlayers[i].points);
  }

  device->SetRenderState(RenderState::AlphaRef, kGaugeAlphaRef);
  device->SetTextureStageState(0, StageState::AlphaOp, port::gpu::TexOpAdd);
  for (int i = 0; i < players; ++i)
    DrawChargeBar(*this, battlePlayers[i].charge, Offset(OriginsOf(i, players).gauges, hud.charge));
  device->SetRenderState(RenderState::AlphaRef, kDefaultAlphaRef);
  device->SetTextureStageState(0, StageState::AlphaOp, port::gpu::TexOpModulate);

  for (int i = 0; i < players; ++i) {
    const BattlePlayer& p = battlePlayers[i];
    const port::Vec2 at = OriginsOf(i, players).gauges;
    const int level = p.charge < kChargeLevel1 ? 0 : p.charge < kChargeLevel2 ? 1 : 2;
    menu::Draw(*this, Offset(at, hud.chargeLevel), level);
    Whole(*this, kChargeFrame, hud.chargeFrameScale, Offset(at, hud.charge), kWhite);
    const port::Vec2 stun = p.stunGauge < kStunFull
                                ? port::Vec2{p.stunGauge * kStunWidthPerPoint, hud.stunFrameScale.y}
                                : hud.stunFrameScale;
    WholeTurned(*this, kStunBar, stun, Offset(at, hud.stun));
    WholeTurned(*this, kStunFrame, hud.stunFrameScale, Offset(at, hud.stun));
  }

  switch (stagePhase) {
    case kIntro:
      if (phaseFrame >= kReadyShown[0] && phaseFrame <= kReadyShown[1])
        DrawCaption(*this, kReadyCaption);
      if (phaseFrame >= kGoShown[0] && phaseFrame <= kGoShown[1]) DrawCaption(*this, kGoCaption);
      break;
    case kSecondHalf:
      DrawCaption(
          *this, Offset({-kBannerSpeed * static_cast<float>(phaseFrame), 0.0f}, kSecondHalfBanner));
      if (timeLeft < 1000) {
        menu::Draw(*this, kCountdownOneDigit, timeLeft / 100);
      } else if (timeLeft < 1100) {
        menu::Draw(*this, kCountdownTwoDigits, timeLeft / 100);
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
        const Caption& label = battlePlayers[i].IsWinner() ? hud.winner : hud.loser;
        DrawCaption(*this, Offset(OriginsOf(i, players).result, label));
      }
      break;
    default:
      break;
  }
  sprite->End();
}
