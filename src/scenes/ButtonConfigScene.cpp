// The button pages: which joystick buttons serve as attack, shift and jump.
// Scene 16 assigns the stage player's (pad 0, player 1), scene 17 those of
// battle players 2 to 4, each on his own pad with his own cursor. On an
// action's item, holding button b gives the action b; the action that had b
// takes the old button, so every button serves one action at most.
#include "actors/Player.h"
#include "app/Application.h"
#include "app/MenuItem.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"

namespace {

// Buttons 0 to 9 are read on an action's item, in that order, every frame.
constexpr int kAssignable = 10;
constexpr int kActions = Player::kActionCount;
constexpr int32_t kDefaultButtons[kActions] = {0, 1, 2};

// The items in the order the down key walks them.
constexpr int32_t kCycle[] = {kItemAttackButton, kItemShiftButton, kItemJumpButton, kItemDefaults,
                              kItemBack};
constexpr int kItemCount = static_cast<int>(sizeof kCycle / sizeof kCycle[0]);
// Each item's row on both pages.
constexpr float kRowY1P[kItemCount] = {75, 135, 195, 255, 315};
constexpr float kRowY2P4P[kItemCount] = {120, 180, 240, 300, 360};

int RowOf(int32_t item) {
  for (int i = 0; i < kItemCount; ++i)
    if (kCycle[i] == item) return i;
  return 0;
}

int32_t Stepped(int32_t item, int direction) {
  return kCycle[(RowOf(item) + kItemCount + direction) % kItemCount];
}

// The action an item assigns, or -1.
int ActionOf(int32_t item) {
  switch (item) {
    case kItemAttackButton:
      return 0;
    case kItemShiftButton:
      return 1;
    case kItemJumpButton:
      return 2;
    default:
      return -1;
  }
}

// The buttons of one player, whoever keeps them.
class Buttons {
 public:
  virtual ~Buttons() = default;
  virtual int32_t Get(int action) const = 0;
  virtual void Set(int action, int32_t button) = 0;
};

class StagePlayerButtons : public Buttons {
 public:
  int32_t Get(int action) const override { return g_player.GetButton(action); }
  void Set(int action, int32_t button) override { g_player.SetButton(action, button); }
};

class BattlePlayerButtons : public Buttons {
 public:
  explicit BattlePlayerButtons(BattlePlayer& p) : player_(p) {}
  int32_t Get(int action) const override { return player_.GetButton(action); }
  void Set(int action, int32_t button) override { player_.SetButton(action, button); }

 private:
  BattlePlayer& player_;
};

// The swap rule for every held button of the pad, when the cursor is on an
// action's item; the last held button ends on the action.
void AssignHeld(int32_t item, int pad, Buttons& buttons) {
  const int action = ActionOf(item);
  if (action < 0) return;
  for (int b = 0; b < kAssignable; ++b) {
    if (!g_input.IsPadButton(pad, b)) continue;
    const int32_t old = buttons.Get(action);
    for (int other = 0; other < kActions; ++other)
      if (other != action && buttons.Get(other) == b) buttons.Set(other, old);
    buttons.Set(action, b);
  }
}

void ResetButtons(Buttons& buttons) {
  for (int a = 0; a < kActions; ++a) buttons.Set(a, kDefaultButtons[a]);
}

// The pad of battle player k (1 to 3) among `players` with `pads` attached:
// pad k with a pad for every player, else pad k - 1; -1 when that pad is
// not there.
int PadOfBattlePlayer(int k, int players, int pads) {
  const int pad = pads >= players ? k : k - 1;
  return pad >= 0 && pad < pads ? pad : -1;
}

// Key counters. The 1P page: confirm, up, down. The 2P-4P page: up and down
// of battle player k (1 to 3) at 2k + 2 and 2k + 3.
constexpr int kConfirmCounter = 0;
constexpr int kUpCounter = 1;
constexpr int kDownCounter = 2;
int UpCounterOf(int k) { return 2 * k + 2; }
int DownCounterOf(int k) { return 2 * k + 3; }

constexpr int kPadUp = 0;
constexpr int kPadDown = 1;

// Two digits, as the page has room for; a button above 99 (from an option
// file) shows all three rather than a wrong number.
int DigitsOf(int32_t button) { return button > 99 ? 3 : 2; }

enum Config1PTexture { kOptionText1P, kFont1P, kCursor1P };
enum Config2P4PTexture { kOptionText2P, kFont2P, kSettingText2P };

}  // namespace

// ---- Player 1 (scene 16) ----

void Application::InitButtonConfig1P() {
  menus.keys[kConfirmCounter] = 1;  // a confirm still held from before does nothing
  sceneFrame = 0;
  menus.cursor = kItemAttackButton;
  menu::LoadSceneTextures(*this,
                          {"texture/optiontext.png", "texture/font.png", "texture/cursor.png"});
}

void Application::UpdateButtonConfig1P() { InputButtonConfig1P(); }

void Application::InputButtonConfig1P() {
  menu::Poll();
  StagePlayerButtons buttons;
  AssignHeld(menus.cursor, 0, buttons);

  // Read after the swaps: on an action's item the pad's attack button is
  // assigned first and then confirms as the new attack button.
  if (menu::CountPress(menus.keys[kConfirmCounter], menu::ConfirmHeld())) {
    if (menus.cursor == kItemBack) {
      menu::Play(menu::kDecideSound);
      requestedScene = SceneOptions;
      LeaveScene();
      return;
    }
    if (menus.cursor == kItemDefaults) {
      menu::Play(menu::kValueSound);
      ResetButtons(buttons);
    }
  }

  if (menu::CountPress(menus.keys[kUpCounter], menu::UpHeld())) {
    menu::Play(menu::kStepSound);
    menus.cursor = Stepped(menus.cursor, -1);
  }
  if (menu::CountPress(menus.keys[kDownCounter], menu::DownHeld())) {
    menu::Play(menu::kStepSound);
    menus.cursor = Stepped(menus.cursor, 1);
  }
}

void Application::DrawButtonConfig1P() {
  Texture* text = menu::SceneTexture(*this, kOptionText1P);
  Texture* font = menu::SceneTexture(*this, kFont1P);
  menu::BeginFrame();
  menu::Sprite(text, 67, 174, 5, 1.0f, 1.0f);
  // Attack, shift (with the lock-on note) and jump, each "button n".
  menu::Sprite(text, 69, 90, 90, 0.5f, 0.85f);
  menu::Sprite(text, 72, 236, 85, 0.5f, 0.85f);
  menu::Sprite(text, 72, 415, 90, 0.5f, 0.85f);
  menu::Sprite(text, 70, 90, 150, 0.5f, 0.85f);
  menu::Sprite(text, 73, 195, 145, 0.4f, 0.85f);
  menu::Sprite(text, 72, 415, 150, 0.5f, 0.85f);
  menu::Sprite(text, 71, 90, 210, 0.5f, 0.85f);
  menu::Sprite(text, 72, 415, 210, 0.5f, 0.85f);
  constexpr float kRows[kActions] = {90, 150, 210};
  for (int a = 0; a < kActions; ++a) {
    const int32_t b = g_player.GetButton(a);
    DrawNumber(font, DigitsOf(b), 575, kRows[a], 1.4f, b);
  }
  menu::Sprite(text, 66, 90, 270, 0.6f, 0.85f);
  menu::Sprite(text, 68, 90, 330, 0.8f, 0.85f);
  if (Texture* cursor = menu::SceneTexture(*this, kCursor1P)) {
    const port::Vec2 scaling{0.6f, 0.6f};
    const port::Vec2 at{5.0f, kRowY1P[RowOf(menus.cursor)]};
    cursor->DrawSprite(g_graphics.GetSprite(), &scaling, &at, nullptr, kUiWhite);
  }
  menu::EndFrame();
}

// ---- Players 2 to 4 (scene 17) ----

void Application::InitButtonConfig2P4P() {
  menus.keys[kConfirmCounter] = 1;
  sceneFrame = 0;
  for (int32_t& cursor : menus.playerCursors) cursor = kItemAttackButton;
  menu::LoadSceneTextures(*this, {"texture/optiontext.png", "texture/font.png",
                                  "texture/battle/battlesetting_text.png"});
}

void Application::UpdateButtonConfig2P4P() { InputButtonConfig2P4P(); }

void Application::InputButtonConfig2P4P() {
  menu::Poll();
  const int pads = g_input.GetPadCount();
  const int players =
      battle.players < BattlePlayer::kMaxPlayers ? battle.players : BattlePlayer::kMaxPlayers;
  for (int k = 1; k < players; ++k) {
    const int pad = PadOfBattlePlayer(k, players, pads);
    if (pad < 0) continue;  // no pad: he can do nothing here
    int32_t& cursor = menus.playerCursors[k];
    BattlePlayerButtons buttons(battlePlayers[k]);
    AssignHeld(cursor, pad, buttons);
    // Acts on every frame it is held; only leaving the page matters.
    if (g_input.IsPadButton(pad, buttons.Get(0))) {
      if (cursor == kItemBack) {
        menu::Play(menu::kDecideSound);
        requestedScene = SceneBattleSettings;
        LeaveScene();
        return;
      }
      if (cursor == kItemDefaults) ResetButtons(buttons);
    }
    if (menu::CountPress(menus.keys[UpCounterOf(k)], g_input.IsPadDirection(pad, kPadUp))) {
      menu::Play(menu::kStepSound);
      cursor = Stepped(cursor, -1);
    }
    if (menu::CountPress(menus.keys[DownCounterOf(k)], g_input.IsPadDirection(pad, kPadDown))) {
      menu::Play(menu::kStepSound);
      cursor = Stepped(cursor, 1);
    }
  }
  // The page reads the players' pads only; with a pad gone (or none) nobody
  // could leave it, so the keyboard's cancel or Escape goes back as well.
  if (g_input.IsKeyDown(menu::kKeyX) || menu::EscapeHeld()) {
    menu::Play(menu::kDecideSound);
    requestedScene = SceneBattleSettings;
    LeaveScene();
  }
}

void Application::DrawButtonConfig2P4P() {
  Texture* text = menu::SceneTexture(*this, kOptionText2P);
  Texture* font = menu::SceneTexture(*this, kFont2P);
  Texture* labels = menu::SceneTexture(*this, kSettingText2P);
  menu::BeginFrame();
  menu::Sprite(text, 67, 174, 5, 1.0f, 1.0f);
  menu::Sprite(text, 69, 90, 120, 0.4f, 0.85f);
  menu::Sprite(text, 72, 209, 115, 0.45f, 0.85f);
  menu::Sprite(text, 70, 90, 180, 0.4f, 0.85f);
  menu::Sprite(text, 73, 175, 175, 0.35f, 0.85f);
  menu::Sprite(text, 71, 90, 240, 0.35f, 0.85f);
  menu::Sprite(text, 66, 90, 300, 0.5f, 0.85f);
  menu::Sprite(text, 68, 90, 360, 0.7f, 0.85f);
  // Column heads 2P, 3P, 4P.
  menu::Sprite(labels, 50, 385, 75, 1.0f, 1.0f);
  menu::Sprite(labels, 51, 470, 75, 1.0f, 1.0f);
  menu::Sprite(labels, 52, 555, 75, 1.0f, 1.0f);
  const int players =
      battle.players < BattlePlayer::kMaxPlayers ? battle.players : BattlePlayer::kMaxPlayers;
  for (int k = 1; k < players; ++k) {
    const float x = 85.0f * static_cast<float>(k) + 325.0f;
    for (int a = 0; a < kActions; ++a) {
      const int32_t b = battlePlayers[k].GetButton(a);
      DrawNumber(font, DigitsOf(b), x, kRowY2P4P[a], 1.4f, b);
    }
    // His cursor is his label, in a column of its own.
    menu::Sprite(labels, 49 + k, 2.0f + 30.0f * static_cast<float>(k - 1),
                 kRowY2P4P[RowOf(menus.playerCursors[k])], 0.5f, 1.15f);
  }
  menu::EndFrame();
}
