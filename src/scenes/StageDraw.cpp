// The drawing of the stage scenes (3 to 8): the world from the camera, then
// the HUD of the stages or the sokai stage's overlay, and the pause menu.
// The draw interval spreads one picture over one, two or three frames.
#include <algorithm>

#include "actors/Player.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "platform/GraphicsDevice.h"
#include "render/Camera.h"
#include "render/UiDraw.h"
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

// A sprite of a scene texture: id, place, scale.
struct Caption {
  int texture;
  int sprite;
  float x, y, scaleX, scaleY;
};
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
constexpr float kClockX = 328, kClockY = 32, kClockScale = 0.8f;
// The sokai numbers.
constexpr float kScoreX = 120, kScoreY = 35;
constexpr float kCounterX = 533, kCounterY = 37;
constexpr int32_t kCounterSwap = 60;  // scene frames each counter shows
constexpr int32_t kComboShownFor = 120;

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
constexpr float kTallyValueX = 180, kTallyTimesX = 218, kTallyFactorX = 315, kTallyEqualsX = 355,
                kTallyProductX = 510;
constexpr int kTimesSprite = 89, kEqualsSprite = 88;

void DrawCaption(Application& app, const Caption& c) {
  const port::Vec2 at{c.x, c.y};
  const port::Vec2 scale{c.scaleX, c.scaleY};
  DrawUiSprite(stage::HudTexture(app, c.texture), &at, &scale, c.sprite);
}

void Number(Application& app, int digits, float x, float y, float scale, int value) {
  DrawNumber(stage::HudTexture(app, stage::kFont), digits, x, y, scale, value);
}

void WholeTexture(Application& app, int texture, const port::Vec2& scale, const port::Vec2& at,
                  port::Argb colour) {
  if (Texture* t = stage::HudTexture(app, texture))
    t->DrawSprite(g_graphics.GetSprite(), &scale, &at, nullptr, colour);
}

void DrawClock(Application& app) {
  DrawCaption(app, kClockCaption);
  Number(app, 3, kClockX, kClockY, kClockScale, app.timeLeft / 100);
}

void DrawIntroCues(Application& app) {
  if (app.phaseFrame > kReadyShown[0] && app.phaseFrame < kReadyShown[1])
    DrawCaption(app, kReadyCaption);
  if (app.phaseFrame > kGoShown[0] && app.phaseFrame < kGoShown[1]) DrawCaption(app, kGoCaption);
}

void DrawPauseMenu(Application& app) {
  DrawCaption(app, kVeil);
  DrawCaption(app, kPauseTitle);
  DrawCaption(app, kPauseResume);
  DrawCaption(app, kPauseQuit);
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
  DrawCaption(app, kResultCaption);
  const SokaiCounters& s = app.sokai;
  const int32_t values[3] = {s.kills, s.bursts > 0 ? s.kills / s.bursts : 0, s.maxCombo};
  const port::Vec2 timesScale{0.6f, 0.6f}, equalsScale{0.6f, 0.9f};
  for (int r = 0; r < 3; ++r) {
    const TallyRow& row = kTallyRows[r];
    if (app.phaseFrame <= row.shownAfter) continue;
    for (int i = 0; i < row.captionCount; ++i) DrawCaption(app, row.captions[i]);
    Number(app, 0, kTallyValueX, row.y, 1.0f, values[r]);
    DrawCaption(app,
                {stage::kSokaiText, kTimesSprite, kTallyTimesX, row.y, timesScale.x, timesScale.y});
    Number(app, 0, kTallyFactorX, row.y, 1.0f, row.factor);
    DrawCaption(app, {stage::kSokaiText, kEqualsSprite, kTallyEqualsX, row.y, equalsScale.x,
                      equalsScale.y});
    Number(app, 0, kTallyProductX, row.y, 1.0f, values[r] * row.factor);
  }
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
  Number(*this, 1, 43, 33, 1.0f, level);
  WholeTexture(*this, stage::kChargeFrame, kChargeFrameScale, kChargeAt, kWhite);
  const float stunWidth =
      g_player.stunGauge >= kStunFull ? kStunFullWidth : g_player.stunGauge * kStunWidthPerPoint;
  WholeTexture(*this, stage::kStunBar, {stunWidth, kStunHeight}, {73, 4}, kWhite);
  WholeTexture(*this, stage::kStunFrame, {kStunFullWidth, kStunHeight}, {71, 4}, kWhite);

  port::Sprite* sprite = g_graphics.GetSprite();
  g_characters.Draw2DAll(sprite);
  g_player.Draw2D(sprite);

  DrawClock(*this);
  switch (stagePhase) {
    case kPhaseIntro:
      DrawIntroCues(*this);
      break;
    case kPhaseClear:
      DrawCaption(*this, kClearCaption);
      break;
    case kPhaseTimeOver:
      DrawCaption(*this, kTimeOverCaption);
      break;
    case kPhaseGameOver:
      DrawCaption(*this, kGameOverCaption);
      break;
    default:
      break;
  }
  if (stageMode.paused) DrawPauseMenu(*this);
}

void Application::DrawStageOverlay() {
  if (stagePhase != kPhaseTally && stagePhase != kPhaseClear && stagePhase != kPhaseGameOver)
    DrawClock(*this);
  DrawCaption(*this, kScoreCaption);
  Number(*this, 0, kScoreX, kScoreY, 1.0f, sokai.score);
  if (sceneFrame % (2 * kCounterSwap) < kCounterSwap) {
    DrawCaption(*this, kKillsCaption);
    Number(*this, 0, kCounterX, kCounterY, 1.0f, sokai.kills);
  } else {
    DrawCaption(*this, kMaxComboCaption);
    Number(*this, 0, kCounterX, kCounterY, 1.0f, sokai.maxCombo);
  }
  if (sokai.framesSinceKill <= kComboShownFor) {
    DrawCaption(*this, kComboCaption);
    if (sokai.combo < 20) {
      Number(*this, 0, 540, 100, 1.0f, sokai.combo);
    } else if (sokai.combo < 30) {
      Number(*this, 0, 530, 93, 1.5f, sokai.combo);
    } else {
      Number(*this, 0, 519, 86, 2.0f, sokai.combo);
    }
  }
  switch (stagePhase) {
    case kPhaseIntro:
      DrawIntroCues(*this);
      break;
    case kPhaseTally:
      DrawTally(*this);
      break;
    case kPhaseClear:
      DrawCaption(*this, kSokaiClearCaption);
      break;
    case kPhaseTimeOver:
      DrawCaption(*this, kTimeOverCaption);
      break;
    case kPhaseGameOver:
      DrawCaption(*this, kSokaiGameOverCaption);
      break;
    default:
      break;
  }
  if (stageMode.paused) DrawPauseMenu(*this);
}
