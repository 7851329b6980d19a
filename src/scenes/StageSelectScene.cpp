// The stage select (scene 13): one of the two battle fields, shown as its
// picture with blinking arrows; start goes to the match, back to the
// character select.
#include "app/Application.h"
#include "app/MenuItem.h"
#include "platform/GraphicsDevice.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"

namespace {

enum StageSelectTexture {
  kBattleText,
  kSettingText,
  kCourse,
  kCursor,
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
constexpr int kRowCount = static_cast<int>(sizeof kRows / sizeof kRows[0]);

// The arrows beside the field's name blink: shown 30 frames of every 50.
constexpr int kBlinkPeriod = 50;
constexpr int kBlinkShown = 30;
constexpr int32_t kFieldCount = 2;

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
  if (!menu::ConfirmHeld()) {
    menus.keys[kConfirmLatch] = 0;
  } else if (menus.keys[kConfirmLatch] == 0) {
    int32_t next = SceneNone;
    if (menus.cursor == kItemStart) {
      menu::Play(menu::kDecideSound);
      next = SceneBattle;
    } else if (menus.cursor == kItemBack) {
      next = SceneCharacterSelect;
    }
    if (next != SceneNone) {
      requestedScene = next;
      currentScene = SceneNone;
      ReleaseStageSelect();
      return;
    }
  }

  if (menu::CancelHeld()) menus.cursor = kItemBack;

  if (menu::CountPress(menus.keys[kSideCounter], menu::LeftHeld() || menu::RightHeld()) &&
      menus.cursor == kItemBattleStage) {
    menu::Play(menu::kValueSound);
    battle.stage = (battle.stage + 1) % kFieldCount;
  }
  const bool up = menu::UpHeld();
  if (menu::CountPress(menus.keys[kUpDownCounter], up || menu::DownHeld())) {
    menu::Play(menu::kStepSound);
    menus.cursor =
        kRows[(menu::RowOf(kRows, menus.cursor) + (up ? kRowCount - 1 : 1)) % kRowCount].item;
  }
}

void Application::DrawStageSelect() {
  Texture* battleText = menu::SceneTexture(*this, kBattleText);
  Texture* settingText = menu::SceneTexture(*this, kSettingText);
  menu::BeginFrame();
  menu::Sprite(battleText, 53, 198, 5, 1.0f, 1.0f);
  menu::Sprite(battleText, 48, 260, 292, 1.0f, 0.8f);
  if (sceneFrame % kBlinkPeriod < kBlinkShown) {
    Texture* course = menu::SceneTexture(*this, kCourse);
    menu::Sprite(course, 2, 252, 290, -0.2f, 0.6f);  // mirrored
    menu::Sprite(course, 2, 387, 290, 0.2f, 0.6f);
  }
  menu::Sprite(settingText, 54, 240, 345, 1.14f, 1.0f);
  menu::Sprite(settingText, 46, 240, 400, 1.0f, 1.0f);
  port::Sprite* sprite = g_graphics.GetSprite();
  const int field = battle.stage == 1 ? kStage3Picture : kStage1Picture;
  if (Texture* picture = menu::SceneTexture(*this, field)) {
    const port::Vec2 scaling{1.5f, 1.5f};
    const port::Vec2 at{224.0f, 70.0f};
    picture->DrawSprite(sprite, &scaling, &at, nullptr, kUiWhite);
  }
  if (Texture* cursor = menu::SceneTexture(*this, kCursor)) {
    const port::Vec2 scaling{0.6f, 0.6f};
    const port::Vec2 at{150.0f, kRows[menu::RowOf(kRows, menus.cursor)].cursorY};
    cursor->DrawSprite(sprite, &scaling, &at, nullptr, kUiWhite);
  }
  menu::EndFrame();
}
