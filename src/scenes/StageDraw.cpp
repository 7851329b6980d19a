// The drawing of the stage scenes (3 to 8): the world from the camera, then
// the HUD of the stages or the sokai stage's overlay, and the pause menu.
// The draw interval spreads one picture over one, two or three frames.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "actors/Player.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "platform/GraphicsDevice.h"
#include "render/Camera.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"
#include "scenes/StageScene.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

using port::gpu::RenderState;
using port::gpu::StageState;

constexpr port::Argb kClearBlue = 0xFF0000FFu;
constexpr port::Argb kWhite = 0xFFFFFFFFu;

// The charge bar: alpha tested at 254 with the texture's alpha added to the
// colour's, so the bar's left-to-right alpha ramp fills as the colour's
// alpha grows.
constexpr uint32_t kGaugeAlphaRef = 254;
constexpr uint32_t kDefaultAlphaRef = 5;
constexpr int32_t kChargeLevel1 = 80;   // frames: large attack 1
constexpr int32_t kChargeLevel2 = 240;  // frames: large attack 2
constexpr port::Vec2 kChargeBarScale{1.4f, 1.4f};
constexpr port::Vec2 kChargeFrameScale{0.7f, 0.7f};
constexpr port::Vec2 kChargeAt{9.0f, 6.0f};
// Full charge flashes green, red and blue, two frames each.
constexpr port::Argb kChargeFlash[3] = {0xC800FF00u, 0xC8FF0000u, 0xC80000FFu};
constexpr port::Argb kChargeHalf = 0x80FF0000u;
constexpr float kStunFullWidth = 0.65f;
constexpr float kStunFull = 50.0f;  // the gauge's width stops growing here
constexpr float kStunWidthPerPoint = 0.013f;
constexpr float kStunHeight = 0.46f;
constexpr port::Vec2 kStunBarAt{73, 4}, kStunFrameAt{71, 4};

using menu::Caption;
using menu::NumberPlace;
constexpr NumberPlace kChargeLevelValue = {stage::kFont, 1, 43, 33, 1.0f};
constexpr Caption kClockCaption = {stage::kStageText, 26, 247, 5, 0.7f, 0.7f};
constexpr Caption kReadyCaption = {stage::kStageText, 24, 232, 90, 1.7f, 1.7f};
constexpr Caption kGoCaption = {stage::kStageText, 25, 247, 90, 1.7f, 1.7f};
constexpr Caption kClearCaption = {stage::kStageText, 29, 145, 90, 1.5f, 2.0f};
constexpr Caption kTimeOverCaption = {stage::kStageText, 27, 153, 90, 1.7f, 1.8f};
constexpr Caption kGameOverCaption = {stage::kStageText, 28, 120, 90, 1.7f, 2.0f};
constexpr Caption kSokaiClearCaption = {stage::kSokaiText, 78, 119, 90, 1.0f, 1.0f};
constexpr Caption kSokaiGameOverCaption = {stage::kSokaiText, 79, 102, 90, 1.0f, 0.9f};
constexpr Caption kScoreCaption = {stage::kSokaiText, 84, 51, 5, 0.35f, 0.35f};
constexpr Caption kKillsCaption = {stage::kSokaiText, 80, 470, 5, 0.35f, 0.35f};
constexpr Caption kMaxComboCaption = {stage::kSokaiText, 83, 427, 5, 0.35f, 0.35f};
constexpr Caption kComboCaption = {stage::kSokaiText, 81, 566, 100, 0.25f, 0.4f};
constexpr Caption kResultCaption = {stage::kSokaiText, 85, 263, 55, 0.7f, 0.7f};
constexpr Caption kVeil = {stage::kWhite, kUiSpriteVeil, 0, 0, 641, 481};
constexpr Caption kPauseTitle = {stage::kPauseText, 75, 210, 90, 1.0f, 1.0f};
constexpr Caption kPauseResume = {stage::kPauseText, 76, 198, 165, 0.5f, 0.7f};
constexpr Caption kPauseQuit = {stage::kPauseText, 77, 198, 230, 0.5f, 0.7f};
constexpr port::Vec2 kCursorScale{0.6f, 0.6f};
constexpr port::Vec2 kCursorOnResume{117, 153};
constexpr port::Vec2 kCursorOnQuit{117, 218};

// The intro cues show between these phase frames.
constexpr int32_t kReadyShown[2] = {30, 120};
constexpr int32_t kGoShown[2] = {140, 230};

// The clock: hundreds of frames left, three digits.
constexpr NumberPlace kClockValue = {stage::kFont, 3, 328, 32, 0.8f};
constexpr int32_t kFramesShownAsOne = 100;
// The sokai numbers.
constexpr NumberPlace kScoreValue = {stage::kFont, 0, 120, 35, 1.0f};
constexpr NumberPlace kCounterValue = {stage::kFont, 0, 533, 37, 1.0f};
constexpr int32_t kCounterSwap = 60;  // scene frames each counter shows
constexpr int32_t kComboShownFor = 120;
// The combo grows with its count.
struct ComboSize {
  int32_t below;  // the combo counts below which this size serves
  NumberPlace place;
};
constexpr ComboSize kComboSizes[] = {
    {20, {stage::kFont, 0, 540, 100, 1.0f}},
    {30, {stage::kFont, 0, 530, 93, 1.5f}},
    {INT32_MAX, {stage::kFont, 0, 519, 86, 2.0f}},
};

// A tally row: its captions and the line its numbers stand on.
struct TallyRow {
  int32_t shownAfter;  // phase frames
  Caption captions[3];
  int captionCount;
  float y;
  int32_t factor;
};
constexpr TallyRow kTallyRows[3] = {
    {30,
     {{stage::kSokaiText, 80, 177, 110, 0.5f, 0.5f}, {stage::kSokaiText, 86, 305, 110, 0.5f, 0.5f}},
     2,
     154,
     5},
    {90,
     {{stage::kSokaiText, 87, 120, 200, 0.5f, 0.5f},
      {stage::kSokaiText, 82, 207, 200, 0.5f, 0.5f},
      {stage::kSokaiText, 86, 377, 200, 0.5f, 0.5f}},
     3,
     244,
     70},
    {150,
     {{stage::kSokaiText, 83, 120, 290, 0.5f, 0.5f}, {stage::kSokaiText, 86, 377, 290, 0.5f, 0.5f}},
     2,
     334,
     45},
};
// Each row's numbers and signs, on the row's line: value x factor = product.
constexpr NumberPlace kTallyValue = {stage::kFont, 0, 180, 0, 1.0f};
constexpr Caption kTallyTimes = {stage::kSokaiText, 89, 218, 0, 0.6f, 0.6f};
constexpr NumberPlace kTallyFactor = {stage::kFont, 0, 315, 0, 1.0f};
constexpr Caption kTallyEquals = {stage::kSokaiText, 88, 355, 0, 0.6f, 0.9f};
constexpr NumberPlace kTallyProduct = {stage::kFont, 0, 510, 0, 1.0f};

// The caption a phase shows over the stage, on the stage HUD and on the
// sokai overlay.
struct PhaseCaption {
  int32_t phase;
  Caption stage, sokai;
};
constexpr PhaseCaption kPhaseCaptions[] = {
    {kPhaseClear, kClearCaption, kSokaiClearCaption},
    {kPhaseTimeOver, kTimeOverCaption, kTimeOverCaption},
    {kPhaseGameOver, kGameOverCaption, kSokaiGameOverCaption},
};

// The first size whose bound is above the count.
const NumberPlace& ComboPlace(int32_t combo) {
  for (const ComboSize& size : kComboSizes)
    if (combo < size.below) return size.place;
  return kComboSizes[std::size(kComboSizes) - 1].place;
}

// The place on another line.
template <typename Place>
Place OnLine(Place place, float y) {
  place.y = y;
  return place;
}

void WholeTexture(Application& app, int texture, const port::Vec2& scale, const port::Vec2& at,
                  port::Argb colour) {
  if (Texture* t = stage::HudTexture(app, texture))
    t->DrawSprite(g_graphics.GetSprite(), &scale, &at, nullptr, colour);
}

void DrawClock(Application& app) {
  menu::Draw(app, kClockCaption);
  menu::Draw(app, kClockValue, app.timeLeft / kFramesShownAsOne);
}

void DrawIntroCues(Application& app) {
  if (app.phaseFrame > kReadyShown[0] && app.phaseFrame < kReadyShown[1])
    menu::Draw(app, kReadyCaption);
  if (app.phaseFrame > kGoShown[0] && app.phaseFrame < kGoShown[1]) menu::Draw(app, kGoCaption);
}

void DrawPauseMenu(Application& app) {
  menu::Draw(app, kVeil);
  menu::Draw(app, kPauseTitle);
  menu::Draw(app, kPauseResume);
  menu::Draw(app, kPauseQuit);
  WholeTexture(app, stage::kCursor, kCursorScale,
               app.menus.cursor == kItemQuitToTitle ? kCursorOnQuit : kCursorOnResume, kWhite);
}

port::Argb WithAlpha(port::Argb rgb, int32_t alpha) {
  return (static_cast<port::Argb>(std::clamp(alpha, 0, 255)) << 24) | (rgb & 0xFFFFFFu);
}

void DrawChargeBar(Application& app, int32_t charge) {
  if (charge < kChargeLevel1) {
    WholeTexture(app, stage::kChargeBar, kChargeBarScale, kChargeAt,
                 WithAlpha(0xFF0000u, charge * 128 / kChargeLevel1));
  } else if (charge < kChargeLevel2) {
    WholeTexture(app, stage::kChargeBar, kChargeBarScale, kChargeAt, kChargeHalf);
    WholeTexture(
        app, stage::kChargeBar, kChargeBarScale, kChargeAt,
        WithAlpha(0xFF00FFu, (charge - kChargeLevel1) * 128 / (kChargeLevel2 - kChargeLevel1)));
  } else {
    WholeTexture(app, stage::kChargeBar, kChargeBarScale, kChargeAt,
                 kChargeFlash[(app.sceneFrame % 6) / 2]);
  }
}

void DrawTally(Application& app) {
  menu::Draw(app, kResultCaption);
  const SokaiCounters& s = app.sokai;
  const int32_t values[3] = {s.kills, s.bursts > 0 ? s.kills / s.bursts : 0, s.maxCombo};
  for (int r = 0; r < 3; ++r) {
    const TallyRow& row = kTallyRows[r];
    if (app.phaseFrame <= row.shownAfter) continue;
    for (int i = 0; i < row.captionCount; ++i) menu::Draw(app, row.captions[i]);
    menu::Draw(app, OnLine(kTallyValue, row.y), values[r]);
    menu::Draw(app, OnLine(kTallyTimes, row.y));
    menu::Draw(app, OnLine(kTallyFactor, row.y), row.factor);
    menu::Draw(app, OnLine(kTallyEquals, row.y));
    menu::Draw(app, OnLine(kTallyProduct, row.y), values[r] * row.factor);
  }
}

// The phase's captions, the tally on the sokai overlay, and the pause menu.
void DrawPhaseAndPause(Application& app, bool sokai) {
  if (app.stagePhase == kPhaseIntro) DrawIntroCues(app);
  if (sokai && app.stagePhase == kPhaseTally) DrawTally(app);
  for (const PhaseCaption& c : kPhaseCaptions)
    if (c.phase == app.stagePhase) menu::Draw(app, sokai ? c.sokai : c.stage);
  if (app.stageMode.paused) DrawPauseMenu(app);
}

// The world passes of one picture.
struct WorldPass {
  port::Matrix view, projection;
};

WorldPass Matrices() { return {g_camera.GetView(), g_camera.GetProjection()}; }

void ClearPicture() {
  g_graphics.SetFullViewport(0);
  g_graphics.Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, kClearBlue);
}

void DrawField() {
  const WorldPass m = Matrices();
  g_stageField.Draw(m.view, m.projection, g_sun.GetLightDirection());
  g_sun.Draw();
}

void DrawCharacters(float parts, float part) {
  const WorldPass m = Matrices();
  g_characters.DrawSlice(parts, part, m.view, m.projection, g_sun.GetLightDirection());
}

// The player, the objects, the effects and the 2D layer, then the picture
// is presented.
void DrawRestAndPresent(Application& app) {
  const WorldPass m = Matrices();
  g_player.Draw(m.view, m.projection, g_sun.GetLightDirection());
  g_objects.DrawAll();
  g_effects.DrawAll(m.view, m.projection);
  if (port::Sprite* sprite = g_graphics.GetSprite()) {
    sprite->Begin();
    if (app.currentScene == SceneSokai) {
      app.DrawStageOverlay();
    } else {
      app.DrawStageHud();
    }
    sprite->End();
  }
  g_graphics.Present();
}

}  // namespace

void Application::DrawStage() {
  // A value from outside 1 to 3 draws as the nearest. While paused the whole
  // picture is drawn every frame: sceneFrame stands still then, and a part
  // that does not present would hide the pause menu for the whole pause
  // (StageDraw.PauseMenuShowsAtEveryDrawInterval).
  const int32_t interval = stageMode.paused ? 1 : std::clamp(options.drawInterval, 1, 3);
  const int32_t part = sceneFrame % interval;
  if (part == 0) ClearPicture();
  if (interval == 1) {
    DrawField();
    const WorldPass m = Matrices();
    g_characters.DrawAll(m.view, m.projection, g_sun.GetLightDirection());
    DrawRestAndPresent(*this);
  } else if (interval == 2) {
    if (part == 0) {
      DrawField();
      DrawCharacters(2, 1);
    } else {
      DrawCharacters(2, 2);
      DrawRestAndPresent(*this);
    }
  } else {
    if (part == 0) {
      DrawField();
      DrawCharacters(4, 1);
    } else if (part == 1) {
      DrawCharacters(4, 2);
      DrawCharacters(4, 3);
    } else {
      DrawCharacters(4, 4);
      DrawRestAndPresent(*this);
    }
  }
}

void Application::DrawStageHud() {
  port::gpu::Device* device = g_graphics.GetDevice();
  if (!device) return;
  const int32_t charge = g_player.charge;
  device->SetRenderState(RenderState::AlphaRef, kGaugeAlphaRef);
  device->SetTextureStageState(0, StageState::AlphaOp, port::gpu::TexOpAdd);
  DrawChargeBar(*this, charge);
  device->SetRenderState(RenderState::AlphaRef, kDefaultAlphaRef);
  device->SetTextureStageState(0, StageState::AlphaOp, port::gpu::TexOpModulate);

  const int level = charge < kChargeLevel1 ? 0 : charge < kChargeLevel2 ? 1 : 2;
  menu::Draw(*this, kChargeLevelValue, level);
  WholeTexture(*this, stage::kChargeFrame, kChargeFrameScale, kChargeAt, kWhite);
  const float stunWidth =
      g_player.stunGauge >= kStunFull ? kStunFullWidth : g_player.stunGauge * kStunWidthPerPoint;
  WholeTexture(*this, stage::kStunBar, {stunWidth, kStunHeight}, kStunBarAt, kWhite);
  WholeTexture(*this, stage::kStunFrame, {kStunFullWidth, kStunHeight}, kStunFrameAt, kWhite);

  port::Sprite* sprite = g_graphics.GetSprite();
  g_characters.Draw2DAll(sprite);
  g_player.Draw2D(sprite);

  DrawClock(*this);
  DrawPhaseAndPause(*this, false);
}

void Application::DrawStageOverlay() {
  if (stagePhase != kPhaseTally && stagePhase != kPhaseClear && stagePhase != kPhaseGameOver)
    DrawClock(*this);
  menu::Draw(*this, kScoreCaption);
  menu::Draw(*this, kScoreValue, sokai.score);
  if (sceneFrame % (2 * kCounterSwap) < kCounterSwap) {
    menu::Draw(*this, kKillsCaption);
    menu::Draw(*this, kCounterValue, sokai.kills);
  } else {
    menu::Draw(*this, kMaxComboCaption);
    menu::Draw(*this, kCounterValue, sokai.maxCombo);
  }
  if (sokai.framesSinceKill <= kComboShownFor) {
    menu::Draw(*this, kComboCaption);
    menu::Draw(*this, ComboPlace(sokai.combo), sokai.combo);
  }
  DrawPhaseAndPause(*this, true);
}
