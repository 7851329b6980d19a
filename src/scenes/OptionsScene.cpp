// The options page (scene 15): the stage player's view type, the volume, the
// stage drawing's interval and the screen mode, the way to player 1's button
// page, the defaults and back. Nothing is written here: the title's exit
// item saves the option file. The volume is heard once the page is left by
// its back item.
#include "app/Application.h"
#include "app/MenuItem.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"

namespace {

enum OptionsTexture { kSettingText, kFont, kCourse, kCursorTexture, kOptionText, kOptionText2 };

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
constexpr menu::Caption kCursor = {kCursorTexture, menu::kWholeTexture, 15, 0, 0.6f, 0.6f};

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
constexpr int32_t kNoteX = 200, kNoteY = 450;

// The page top to bottom: each item's caption, and its value beside it.
constexpr menu::Caption kHeading = {kCourse, 9, 183, 5, 1.0f, 1.0f};
constexpr menu::Caption kViewTypeCaption = {kOptionText2, 64, 100, 90, 0.56f, 0.58f};
constexpr menu::NumberPlace kViewTypeValue = {kFont, 0, 490, 90, 1.4f};  // shown from 1
constexpr menu::Caption kVolumeCaption = {kOptionText, 65, 100, 140, 0.65f, 0.85f};
constexpr menu::NumberPlace kVolumeValue = {kFont, 2, 490, 140, 1.4f};  // in steps
constexpr menu::Caption kIntervalCaption = {kSettingText, 38, 100, 190, 1.3f, 1.3f};
constexpr float kIntervalScale = 1.35f;
constexpr menu::IntervalLayout kInterval = {
    .everyFrame = {kSettingText, 42, 435, 190, kIntervalScale, kIntervalScale},
    .one = {kFont, 1, 438, 193, kIntervalScale},
    .slash = {kSettingText, 41, 467, 190, kIntervalScale, kIntervalScale},
    .n = {kFont, 1, 490, 193, kIntervalScale},
    .frames = {kSettingText, 43, 521, 193, kIntervalScale, kIntervalScale},
};
constexpr menu::Caption kScreenModeCaption = {kOptionText2, 61, 100, 240, 0.56f, 0.58f};
constexpr menu::Caption kScreenModes[2] = {{kOptionText2, 62, 386, 240, 0.62f, 0.62f},
                                           {kOptionText2, 63, 374, 240, 0.5f, 0.62f}};
constexpr menu::Caption kLastItems[] = {{kOptionText, 67, 100, 290, 0.8f, 0.8f},
                                        {kOptionText, 66, 100, 340, 0.8f, 0.8f},
                                        {kOptionText, 68, 100, 390, 0.8f, 0.8f}};

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

  menu::OnSidePresses(menus.keys[kRightCounter], menus.keys[kLeftCounter], [this](int direction) {
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
        return;  // nothing changes, nothing sounds
    }
    menu::Play(menu::kValueSound);
  });

  menu::StepOnPress(kRows, menus.cursor, menus.keys[kUpCounter], menu::UpHeld(), -1);
  menu::StepOnPress(kRows, menus.cursor, menus.keys[kDownCounter], menu::DownHeld(), 1);
}

void Application::DrawOptions() {
  menu::BeginFrame();
  menu::Draw(*this, kHeading);
  menu::Draw(*this, kViewTypeCaption);
  menu::Draw(*this, kViewTypeValue, options.viewType + 1);
  menu::Draw(*this, kVolumeCaption);
  menu::Draw(*this, kVolumeValue, options.volume / kVolumes.step);
  menu::Draw(*this, kIntervalCaption);
  menu::DrawInterval(*this, kInterval, options.drawInterval);
  menu::Draw(*this, kScreenModeCaption);
  menu::Draw(*this, kScreenModes[options.screenMode == 0 ? 0 : 1]);
  menu::Draw(*this, kLastItems);
  menu::DrawCursor(*this, kCursor, kRows, menus.cursor);
  // The note goes over the sprites, after them.
  const bool white = sceneFrame % kBlinkPeriod < kBlinkWhite;
  menu::EndFrameWithText(menus.cursor == kItemScreenMode ? kNextStart : nullptr, kNoteX, kNoteY,
                         white ? kUiWhite : kRed);
}
