// The battle settings (scene 11): how many players, the match time, how many
// frames the battle drawing spreads one picture over, the way to the button
// page of players 2 to 4, start and back. Start needs a pad for every player
// but the first; the page says so while one is missing.
#include "actors/Player.h"
#include "app/Application.h"
#include "app/MenuItem.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"

namespace {

enum SettingsTexture { kSettingText, kFont, kBattleText, kCursor, kOptionText };

// Key counters: 0 the confirm latch, then one edge counter per direction.
constexpr int kConfirmLatch = 0;
constexpr int kRightCounter = 1;
constexpr int kLeftCounter = 2;
constexpr int kUpCounter = 3;
constexpr int kDownCounter = 4;

// The items in the order the down key walks them, with the cursor's height.
constexpr menu::MenuRow kRows[] = {{kItemPlayers, 60},       {kItemMatchTime, 115},
                                   {kItemDrawInterval, 170}, {kItemButtons2P4P, 225},
                                   {kItemStart, 280},        {kItemBack, 335}};
constexpr int kRowCount = static_cast<int>(sizeof kRows / sizeof kRows[0]);

// Each value stops at both ends.
struct Range {
  int32_t low, high, step;
};
constexpr Range kPlayers = {2, 4, 1};
constexpr Range kMatchTimes = {3000, 9900, 1000};  // frames
constexpr Range kIntervals = {1, 3, 1};
// Going down from the longest time skips to 8000.
constexpr int32_t kMatchTimeBelowLongest = 8000;

int32_t StepUp(int32_t value, const Range& r) {
  return value + r.step > r.high ? r.high : value + r.step;
}
int32_t StepDown(int32_t value, const Range& r) {
  return value - r.step < r.low ? r.low : value - r.step;
}

constexpr const char* kMusic = "sound/bgm/fb_gm.mid";
constexpr int32_t kMusicOffset = -1500;

constexpr const char kTooFewPads[] =
    "\x83\x52\x83\x93\x83\x67\x83\x8d\x81\x5b\x83\x89\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9"
    "\x82\xf1";  // コントローラが足りません

// A pad for every player but the first, who may play on the keyboard.
bool EnoughPads(const BattleSettings& b) { return g_input.GetPadCount() >= b.players - 1; }

}  // namespace

void Application::InitBattleSettings() {
  menus.keys[kConfirmLatch] = 1;  // a confirm still held from before does nothing
  sceneFrame = 0;
  menus.cursor = kItemPlayers;
  // Battle player 1 takes the stage player's buttons.
  for (int a = 0; a < Player::kActionCount; ++a)
    battlePlayers[0].SetButton(a, g_player.GetButton(a));
  menu::LoadSceneTextures(
      *this, {"texture/battle/battlesetting_text.png", "texture/font.png",
              "texture/battle/battle_text.png", "texture/cursor.png", "texture/optiontext.png"});
  g_sound.StopAll();
  g_sound.LoadMusic(kMusic);
  g_sound.PlaySound(kMusicSoundId, kMusicOffset);
}

void Application::UpdateBattleSettings() {
  ++sceneFrame;
  InputBattleSettings();
}

void Application::InputBattleSettings() {
  menu::Poll();

  // Latched: acts on every held frame while the latch is 0; only a release
  // clears it. Every item that acts leaves the scene.
  if (!menu::ConfirmHeld()) {
    menus.keys[kConfirmLatch] = 0;
  } else if (menus.keys[kConfirmLatch] == 0) {
    int32_t next = SceneNone;
    if (menus.cursor == kItemStart && EnoughPads(battle)) {
      menu::Play(menu::kDecideSound);
      next = SceneCharacterSelect;
    } else if (menus.cursor == kItemBack) {
      next = SceneTitle;
    } else if (menus.cursor == kItemButtons2P4P) {
      next = SceneButtonConfig2P4P;
    }
    if (next != SceneNone) {
      requestedScene = next;
      currentScene = SceneNone;
      ReleaseStageSelect();
      return;
    }
  }

  if (menu::CancelHeld()) menus.cursor = kItemBack;

  if (menu::CountPress(menus.keys[kRightCounter], menu::RightHeld())) {
    menu::Play(menu::kValueSound);  // whatever the item
    switch (menus.cursor) {
      case kItemPlayers:
        battle.players = StepUp(battle.players, kPlayers);
        break;
      case kItemMatchTime:
        battle.matchTime = StepUp(battle.matchTime, kMatchTimes);
        break;
      case kItemDrawInterval:
        battle.drawInterval = StepUp(battle.drawInterval, kIntervals);
        break;
      default:
        break;
    }
  }
  if (menu::CountPress(menus.keys[kLeftCounter], menu::LeftHeld())) {
    menu::Play(menu::kValueSound);
    switch (menus.cursor) {
      case kItemPlayers:
        battle.players = StepDown(battle.players, kPlayers);
        break;
      case kItemMatchTime:
        // Pinned by BattleMenusTest.SettingsStepAndStopAtBothEndsAndTheCursorWalksTheSixItems.
        battle.matchTime = battle.matchTime == kMatchTimes.high
                               ? kMatchTimeBelowLongest
                               : StepDown(battle.matchTime, kMatchTimes);
        break;
      case kItemDrawInterval:
        battle.drawInterval = StepDown(battle.drawInterval, kIntervals);
        break;
      default:
        break;
    }
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

void Application::DrawBattleSettings() {
  Texture* text = menu::SceneTexture(*this, kSettingText);
  Texture* font = menu::SceneTexture(*this, kFont);
  menu::BeginFrame();
  menu::Sprite(menu::SceneTexture(*this, kBattleText), 44, 224, 6, 1.5f, 1.0f);
  menu::Sprite(text, 36, 145, 80, 1.0f, 1.0f);
  DrawNumber(font, 1, 350, 80, 1.0f, battle.players);
  menu::Sprite(text, 39, 385, 80, 1.0f, 1.0f);
  menu::Sprite(text, 37, 145, 135, 1.0f, 1.0f);
  DrawNumber(font, 2, 375, 135, 1.0f, battle.matchTime / 100);
  menu::Sprite(text, 40, 405, 134, 1.0f, 1.0f);
  menu::Sprite(text, 38, 145, 190, 1.0f, 1.0f);
  // The interval: "every frame", or "1 / n".
  if (battle.drawInterval == 1) {
    menu::Sprite(text, 42, 350, 190, 1.0f, 1.0f);
  } else if (battle.drawInterval == 2 || battle.drawInterval == 3) {
    DrawNumber(font, 1, 353, 193, 1.0f, 1);
    menu::Sprite(text, 41, 382, 190, 1.0f, 1.0f);
    DrawNumber(font, 1, 405, 193, 1.0f, battle.drawInterval);
    menu::Sprite(text, 43, 436, 193, 1.0f, 1.0f);
  }
  menu::Sprite(menu::SceneTexture(*this, kOptionText), 67, 145, 245, 0.5f, 0.6f);
  menu::Sprite(text, 45, 145, 300, 1.0f, 1.0f);
  menu::Sprite(text, 46, 145, 355, 1.0f, 1.0f);
  if (Texture* cursor = menu::SceneTexture(*this, kCursor)) {
    const port::Vec2 scaling{0.6f, 0.6f};
    const port::Vec2 at{54.0f, kRows[menu::RowOf(kRows, menus.cursor)].cursorY};
    cursor->DrawSprite(g_graphics.GetSprite(), &scaling, &at, nullptr, kUiWhite);
  }
  // The text goes over the sprites, after them.
  if (port::Sprite* sprite = g_graphics.GetSprite()) sprite->End();
  if (!EnoughPads(battle)) g_graphics.DrawTextF(250, 400, kTooFewPads, kUiWhite);
  g_graphics.Present();
}
