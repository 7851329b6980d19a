// The stage select (scene 13): one of the two battle fields, shown as its
// picture with blinking arrows; start goes to the match, back to the
// character select.
#include "app/Application.h"
#include "app/MenuItem.h"
#include "scenes/MenuScene.h"

namespace {

enum StageSelectTexture {
  kBattleText,
  kSettingText,
  kCourse,
  kCursorTexture,
  kStage1Picture,
  kStage3Picture
};

// Key counters: 0 the confirm latch; left and right share one, up and down
// share one.
constexpr int kConfirmLatch = 0;
constexpr int kSideCounter = 1;
constexpr int kUpDownCounter = 2;
constexpr int kCounters = 12;

// The items in the order the down key walks them, with the cursor's height.
constexpr menu::MenuRow kRows[] = {{kItemBattleStage, 270}, {kItemStart, 325}, {kItemBack, 380}};

// The arrows beside the field's name blink: shown 30 frames of every 50.
constexpr int kBlinkPeriod = 50;
constexpr int kBlinkShown = 30;
constexpr int32_t kFieldCount = 2;

// The scene a confirm on the item leads to, or SceneNone.
int32_t ConfirmedScene(int32_t item) {
  if (item == kItemStart) {
    menu::Play(menu::kDecideSound);
    return SceneBattle;
  }
  return item == kItemBack ? SceneCharacterSelect : SceneNone;
}

// The heading and the field's name, its blinking arrows, start and back,
// then the field's picture and the cursor.
constexpr menu::Caption kPage[] = {{kBattleText, 53, 198, 5, 1.0f, 1.0f},
                                   {kBattleText, 48, 260, 292, 1.0f, 0.8f}};
constexpr menu::Caption kArrows[] = {{kCourse, 2, 252, 290, -0.2f, 0.6f},  // mirrored
                                     {kCourse, 2, 387, 290, 0.2f, 0.6f}};
constexpr menu::Caption kPageEnd[] = {{kSettingText, 54, 240, 345, 1.14f, 1.0f},
                                      {kSettingText, 46, 240, 400, 1.0f, 1.0f}};
constexpr menu::Caption kPictures[kFieldCount] = {
    {kStage1Picture, menu::kWholeTexture, 224, 70, 1.5f, 1.5f},
    {kStage3Picture, menu::kWholeTexture, 224, 70, 1.5f, 1.5f}};
constexpr menu::Caption kCursor = {kCursorTexture, menu::kWholeTexture, 150, 0, 0.6f, 0.6f};

}  // namespace

void Application::InitStageSelect() {
  for (int32_t& k : menus.keys) k = 1;
  static_assert(sizeof menus.keys / sizeof menus.keys[0] == kCounters);
  sceneFrame = 0;
  menus.cursor = kItemBattleStage;
  battle.stage = 0;
  menu::LoadSceneTextures(
      *this, {"texture/battle/battle_text.png", "texture/battle/battlesetting_text.png",
              "texture/title/course.png", "texture/cursor.png", "texture/battle/stage1_picture.png",
              "texture/battle/stage3_picture.png"});
}

void Application::UpdateStageSelect() {
  ++sceneFrame;
  InputStageSelect();
}

void Application::ReleaseStageSelect() { ReleaseSceneTextures(); }

void Application::InputStageSelect() {
  menu::Poll();

  // Latched as on the battle settings.
  if (menu::Latched(menus.keys[kConfirmLatch], menu::ConfirmHeld()) &&
      menu::LeaveFor(*this, ConfirmedScene(menus.cursor)))
    return;

  if (menu::CancelHeld()) menus.cursor = kItemBack;

  if (menu::CountPress(menus.keys[kSideCounter], menu::LeftHeld() || menu::RightHeld()) &&
      menus.cursor == kItemBattleStage) {
    menu::Play(menu::kValueSound);
    battle.stage = (battle.stage + 1) % kFieldCount;
  }
  const bool up = menu::UpHeld();
  if (menu::CountPress(menus.keys[kUpDownCounter], up || menu::DownHeld())) {
    menu::Play(menu::kStepSound);
    menus.cursor = menu::Stepped(kRows, menus.cursor, up ? -1 : 1);
  }
}

void Application::DrawStageSelect() {
  menu::BeginFrame();
  menu::Draw(*this, kPage);
  if (sceneFrame % kBlinkPeriod < kBlinkShown) menu::Draw(*this, kArrows);
  menu::Draw(*this, kPageEnd);
  menu::Draw(*this, kPictures[battle.stage == 1 ? 1 : 0]);
  menu::DrawCursor(*this, kCursor, kRows, menus.cursor);
  menu::EndFrame();
}
