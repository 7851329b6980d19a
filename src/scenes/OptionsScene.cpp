// The options page (scene 15): the stage player's view type, the volume, the
// stage drawing's interval and the screen mode, the way to player 1's button
// page, the defaults and back. Nothing is written here: the title's exit
// item saves the option file. The volume is heard once the page is left by
// its back item.
#include "app/Application.h"
#include "app/MenuItem.h"
#include "platform/GraphicsDevice.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"

namespace {

enum OptionsTexture { kSettingText, kFont, kCourse, kCursor, kOptionText, kOptionText2 };

// Key counters: confirm, then one edge counter per direction.
constexpr int kConfirmCounter = 0;
constexpr int kRightCounter = 1;
constexpr int kLeftCounter = 2;
constexpr int kUpCounter = 3;
constexpr int kDownCounter = 4;

// The items in the order the down key walks them, with the cursor's height.
constexpr menu::MenuRow kRows[] = {
    {kItemViewType, 75},   {kItemVolume, 125},   {kItemDrawInterval, 175}, {kItemScreenMode, 225},
    {kItemButtons1P, 275}, {kItemDefaults, 325}, {kItemBack, 375}};
constexpr int kRowCount = static_cast<int>(sizeof kRows / sizeof kRows[0]);

// Each value wraps at both ends.
struct Range {
  int32_t low, high, step;
};
constexpr Range kViewTypes = {0, 2, 1};
constexpr Range kVolumes = {0, 1000, 100};
constexpr Range kIntervals = {1, 3, 1};

int32_t Stepped(int32_t value, const Range& r, int direction) {
  value += direction * r.step;
  if (value > r.high) return r.low;
  if (value < r.low) return r.high;
  return value;
}

struct Defaults {
  int32_t volume = 500;
  int32_t drawInterval = 1;
};
constexpr Defaults kDefaults;

// The screen mode is read only at start: the page says so, blinking white
// and red every half second.
constexpr const char kNextStart[] =
    "\x8e\x9f\x89\xf1\x82\xcc\x8b\x4e\x93\xae\x82\xa9\x82\xe7\x95\xcf\x82\xed\x82\xe8\x82\xdc\x82"
    "\xb7";  // 次回の起動から変わります
constexpr int kBlinkPeriod = 60;
constexpr int kBlinkWhite = 30;
constexpr port::Argb kRed = 0xFFFF0000u;

}  // namespace

void Application::InitOptions() {
  menus.keys[kConfirmCounter] = 1;  // a confirm still held from before does nothing
  sceneFrame = 0;
  menus.cursor = kItemViewType;
  menu::LoadSceneTextures(*this, {"texture/battle/battlesetting_text.png", "texture/font.png",
                                  "texture/title/course.png", "texture/cursor.png",
                                  "texture/optiontext.png", "texture/optiontext2.png"});
}

void Application::UpdateOptions() { InputOptions(); }

void Application::InputOptions() {
  menu::Poll();
  ++sceneFrame;

  if (menu::CountPress(menus.keys[kConfirmCounter], menu::ConfirmHeld())) {
    switch (menus.cursor) {
      case kItemBack:
        g_sound.masterVolume = options.volume;
        requestedScene = SceneTitle;
        LeaveScene();
        return;
      case kItemDefaults:
        // The screen mode and the view type stay.
        menu::Play(menu::kValueSound);
        options.volume = kDefaults.volume;
        options.drawInterval = kDefaults.drawInterval;
        break;
      case kItemButtons1P:
        menu::Play(menu::kDecideSound);
        requestedScene = SceneButtonConfig1P;
        LeaveScene();
        return;
      default:
        break;
    }
  }

  if (menu::CancelHeld() || menu::EscapeHeld()) menus.cursor = kItemBack;

  for (const int direction : {1, -1}) {
    const bool held = direction > 0 ? menu::RightHeld() : menu::LeftHeld();
    if (!menu::CountPress(menus.keys[direction > 0 ? kRightCounter : kLeftCounter], held)) continue;
    switch (menus.cursor) {
      case kItemDrawInterval:
        options.drawInterval = Stepped(options.drawInterval, kIntervals, direction);
        break;
      case kItemScreenMode:
        options.screenMode = options.screenMode ? 0 : 1;
        break;
      case kItemViewType:
        options.viewType = Stepped(options.viewType, kViewTypes, direction);
        break;
      case kItemVolume:
        options.volume = Stepped(options.volume, kVolumes, direction);
        break;
      default:
        continue;  // nothing changes, nothing sounds
    }
    menu::Play(menu::kValueSound);
  }

  if (menu::CountPress(menus.keys[kUpCounter], menu::UpHeld())) {
    menu::Play(menu::kStepSound);
    menus.cursor = kRows[(menu::RowOf(kRows, menus.cursor) + kRowCount - 1) % kRowCount].item;
  }
  if (menu::CountPress(menus.keys[kDownCounter], menu::DownHeld())) {
    menu::Play(menu::kStepSound);
    menus.cursor = kRows[(menu::RowOf(kRows, menus.cursor) + 1) % kRowCount].item;
  }
}

void Application::DrawOptions() {
  Texture* text = menu::SceneTexture(*this, kSettingText);
  Texture* font = menu::SceneTexture(*this, kFont);
  Texture* option = menu::SceneTexture(*this, kOptionText);
  Texture* option2 = menu::SceneTexture(*this, kOptionText2);
  menu::BeginFrame();
  menu::Sprite(menu::SceneTexture(*this, kCourse), 9, 183, 5, 1.0f, 1.0f);

  menu::Sprite(option2, 64, 100, 90, 0.56f, 0.58f);
  DrawNumber(font, 0, 490, 90, 1.4f, options.viewType + 1);
  menu::Sprite(option, 65, 100, 140, 0.65f, 0.85f);
  DrawNumber(font, 2, 490, 140, 1.4f, options.volume / kVolumes.step);

  // The interval: "every frame", or "1 / n".
  constexpr float kIntervalScale = 1.35f;
  menu::Sprite(text, 38, 100, 190, 1.3f, 1.3f);
  if (options.drawInterval == 1) {
    menu::Sprite(text, 42, 435, 190, kIntervalScale, kIntervalScale);
  } else if (options.drawInterval == 2 || options.drawInterval == 3) {
    DrawNumber(font, 1, 438, 193, kIntervalScale, 1);
    menu::Sprite(text, 41, 467, 190, kIntervalScale, kIntervalScale);
    DrawNumber(font, 1, 490, 193, kIntervalScale, options.drawInterval);
    menu::Sprite(text, 43, 521, 193, kIntervalScale, kIntervalScale);
  }

  menu::Sprite(option2, 61, 100, 240, 0.56f, 0.58f);
  if (options.screenMode == 0) {
    menu::Sprite(option2, 62, 386, 240, 0.62f, 0.62f);
  } else {
    menu::Sprite(option2, 63, 374, 240, 0.5f, 0.62f);
  }
  menu::Sprite(option, 67, 100, 290, 0.8f, 0.8f);
  menu::Sprite(option, 66, 100, 340, 0.8f, 0.8f);
  menu::Sprite(option, 68, 100, 390, 0.8f, 0.8f);

  if (Texture* cursor = menu::SceneTexture(*this, kCursor)) {
    const port::Vec2 scaling{0.6f, 0.6f};
    const port::Vec2 at{15.0f, kRows[menu::RowOf(kRows, menus.cursor)].cursorY};
    cursor->DrawSprite(g_graphics.GetSprite(), &scaling, &at, nullptr, kUiWhite);
  }
  // The text goes over the sprites, after them.
  if (port::Sprite* sprite = g_graphics.GetSprite()) sprite->End();
  if (menus.cursor == kItemScreenMode) {
    const bool white = sceneFrame % kBlinkPeriod < kBlinkWhite;
    g_graphics.DrawTextF(200, 450, kNextStart, white ? kUiWhite : kRed);
  }
  g_graphics.Present();
}
