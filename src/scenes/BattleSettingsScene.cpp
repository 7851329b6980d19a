// The battle settings (scene 11): how many players, the match time, how many
// frames the battle drawing spreads one picture over, the way to the button
// page of players 2 to 4, start and back. Start needs the pad of every player
// but the first plugged in; the page says so while one is missing.
#include "actors/Player.h"
#include "actors/PlayerInput.h"
#include "app/Application.h"
#include "app/MenuItem.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"

namespace {

enum SettingsTexture { kSettingText, kFont, kBattleText, kCursorTexture, kOptionText };

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
constexpr menu::Caption kCursor = {kCursorTexture, menu::kWholeTexture, 54, 0, 0.6f, 0.6f};

// Each value stops at both ends.
struct Range {
  int32_t low, high, step;
};
constexpr Range kPlayers = {2, 4, 1};
constexpr Range kMatchTimes = {3000, 9900, 1000};  // frames
constexpr Range kIntervals = {1, 3, 1};
// Going down from the longest time skips to 8000.
constexpr int32_t kMatchTimeBelowLongest = 8000;

int32_t Stepped(int32_t value, const Range& r, int direction) {
  if (direction > 0) return value + r.step > r.high ? r.high : value + r.step;
  return value - r.step < r.low ? r.low : value - r.step;
}

constexpr const char* kMusic = "sound/bgm/fb_gm.mid";
constexpr int32_t kMusicOffset = kQuieter15dB;

// The scene a confirm on the item leads to, or SceneNone.
int32_t ConfirmedScene(int32_t item, const BattleSettings& b) {
  switch (item) {
    case kItemStart:
      if (!EnoughPads(b.players)) return SceneNone;
      menu::Play(menu::kDecideSound);
      return SceneCharacterSelect;
    case kItemBack:
      return SceneTitle;
    case kItemButtons2P4P:
      return SceneButtonConfig2P4P;
    default:
      return SceneNone;
  }
}

// The page top to bottom: each item's caption with its value, or the item alone.
constexpr menu::Caption kHeading = {kBattleText, 44, 224, 6, 1.5f, 1.0f};
constexpr menu::Caption kPlayersCaption = {kSettingText, 36, 145, 80, 1.0f, 1.0f};
constexpr menu::NumberPlace kPlayersValue = {kFont, 1, 350, 80, 1.0f};
constexpr menu::Caption kPlayersUnit = {kSettingText, 39, 385, 80, 1.0f, 1.0f};
constexpr menu::Caption kMatchTimeCaption = {kSettingText, 37, 145, 135, 1.0f, 1.0f};
constexpr menu::NumberPlace kMatchTimeValue = {kFont, 2, 375, 135, 1.0f};
constexpr int32_t kFramesShownAsOne = 100;  // the time shows in hundreds of frames
constexpr menu::Caption kMatchTimeUnit = {kSettingText, 40, 405, 134, 1.0f, 1.0f};
constexpr menu::Caption kIntervalCaption = {kSettingText, 38, 145, 190, 1.0f, 1.0f};
constexpr menu::IntervalLayout kInterval = {
    .everyFrame = {kSettingText, 42, 350, 190, 1.0f, 1.0f},
    .one = {kFont, 1, 353, 193, 1.0f},
    .slash = {kSettingText, 41, 382, 190, 1.0f, 1.0f},
    .n = {kFont, 1, 405, 193, 1.0f},
    .frames = {kSettingText, 43, 436, 193, 1.0f, 1.0f},
};
constexpr menu::Caption kLastItems[] = {{kOptionText, 67, 145, 245, 0.5f, 0.6f},
                                        {kSettingText, 45, 145, 300, 1.0f, 1.0f},
                                        {kSettingText, 46, 145, 355, 1.0f, 1.0f}};
// Under the page while a pad is missing.
constexpr const char kTooFewPads[] =
    "\x83\x52\x83\x93\x83\x67\x83\x8d\x81\x5b\x83\x89\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9"
    "\x82\xf1";  // コントローラが足りません
constexpr int32_t kTooFewPadsX = 250, kTooFewPadsY = 400;

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
  if (menu::Latched(menus.keys[kConfirmLatch], menu::ConfirmHeld()) &&
      menu::LeaveFor(*this, ConfirmedScene(menus.cursor, battle)))
    return;

  if (menu::CancelHeld()) menus.cursor = kItemBack;

  menu::OnSidePresses(menus.keys[kRightCounter], menus.keys[kLeftCounter], [this](int direction) {
    menu::Play(menu::kValueSound);  // whatever the item
    switch (menus.cursor) {
      case kItemPlayers:
        battle.players = Stepped(battle.players, kPlayers, direction);
        break;
      case kItemMatchTime:
        // Pinned by BattleMenusTest.SettingsStepAndStopAtBothEndsAndTheCursorWalksTheSixItems.
        battle.matchTime = direction < 0 && battle.matchTime == kMatchTimes.high
                               ? kMatchTimeBelowLongest
                               : Stepped(battle.matchTime, kMatchTimes, direction);
        break;
      case kItemDrawInterval:
        battle.drawInterval = Stepped(battle.drawInterval, kIntervals, direction);
        break;
      default:
        break;
    }
  });

  menu::StepOnPress(kRows, menus.cursor, menus.keys[kUpCounter], menu::UpHeld(), -1);
  menu::StepOnPress(kRows, menus.cursor, menus.keys[kDownCounter], menu::DownHeld(), 1);
}

void Application::DrawBattleSettings() {
  menu::BeginFrame();
  menu::Draw(*this, kHeading);
  menu::Draw(*this, kPlayersCaption);
  menu::Draw(*this, kPlayersValue, battle.players);
  menu::Draw(*this, kPlayersUnit);
  menu::Draw(*this, kMatchTimeCaption);
  menu::Draw(*this, kMatchTimeValue, battle.matchTime / kFramesShownAsOne);
  menu::Draw(*this, kMatchTimeUnit);
  menu::Draw(*this, kIntervalCaption);
  menu::DrawInterval(*this, kInterval, battle.drawInterval);
  menu::Draw(*this, kLastItems);
  menu::DrawCursor(*this, kCursor, kRows, menus.cursor);
  // The note goes over the sprites, after them.
  menu::EndFrameWithText(EnoughPads(battle.players) ? nullptr : kTooFewPads, kTooFewPadsX,
                         kTooFewPadsY, kUiWhite);
}
