// The button pages: which joystick buttons serve as attack, shift and jump.
// Scene 16 assigns the stage player's (pad 0, player 1), scene 17 those of
// battle players 2 to 4, each on his own pad with his own cursor. On an
// action's item, holding button b gives the action b; the action that had b
// takes the old button, so every button serves one action at most.
#include "actors/Player.h"
#include "actors/PlayerInput.h"
#include "app/Application.h"
#include "app/MenuItem.h"
#include "platform/InputDevice.h"
#include "scenes/MenuScene.h"

namespace {

// Buttons 0 to 9 are read on an action's item, in that order, every frame.
constexpr int kAssignable = 10;
constexpr int kActions = Player::kActionCount;
constexpr int32_t kDefaultButtons[kActions] = {0, 1, 2};

// The items in the order the down key walks them, with the cursor's height
// on each page; the action items' rows hold their buttons on the 2P-4P page.
constexpr menu::MenuRow kRows1P[] = {{kItemAttackButton, 75},
                                     {kItemShiftButton, 135},
                                     {kItemJumpButton, 195},
                                     {kItemDefaults, 255},
                                     {kItemBack, 315}};
constexpr menu::MenuRow kRows2P4P[] = {{kItemAttackButton, 120},
                                       {kItemShiftButton, 180},
                                       {kItemJumpButton, 240},
                                       {kItemDefaults, 300},
                                       {kItemBack, 360}};

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

// The swap rule for every held button of the player's pad (the keyboard
// assigns nothing), when the cursor is on an action's item; the last held
// button ends on the action.
void AssignHeld(int32_t item, const InputSource& input, Buttons& buttons) {
  const int action = ActionOf(item);
  if (action < 0) return;
  for (int b = 0; b < kAssignable; ++b) {
    if (!input.IsPadButtonDown(b)) continue;
    const int32_t old = buttons.Get(action);
    for (int other = 0; other < kActions; ++other)
      if (other != action && buttons.Get(other) == b) buttons.Set(other, old);
    buttons.Set(action, b);
  }
}

void ResetButtons(Buttons& buttons) {
  for (int a = 0; a < kActions; ++a) buttons.Set(a, kDefaultButtons[a]);
}

// Key counters. The 1P page: confirm, up, down. The 2P-4P page: up and down
// of battle player k (1 to 3) at 2k + 2 and 2k + 3.
constexpr int kConfirmCounter = 0;
constexpr int kUpCounter = 1;
constexpr int kDownCounter = 2;
int UpCounterOf(int k) { return 2 * k + 2; }
int DownCounterOf(int k) { return 2 * k + 3; }

// Two digits, as the page has room for; a button above 99 (from an option
// file) shows all three rather than a wrong number.
int DigitsOf(int32_t button) { return button > 99 ? 3 : 2; }

enum Config1PTexture { kOptionText1P, kFont1P, kCursorTexture1P };
enum Config2P4PTexture { kOptionText2P, kFont2P, kSettingText2P };

// The 1P page: the heading; attack, shift (with the lock-on note) and jump,
// each "button n"; then the buttons' numbers; then defaults and back.
constexpr menu::Caption kPage1P[] = {
    {kOptionText1P, 67, 174, 5, 1.0f, 1.0f},    {kOptionText1P, 69, 90, 90, 0.5f, 0.85f},
    {kOptionText1P, 72, 236, 85, 0.5f, 0.85f},  {kOptionText1P, 72, 415, 90, 0.5f, 0.85f},
    {kOptionText1P, 70, 90, 150, 0.5f, 0.85f},  {kOptionText1P, 73, 195, 145, 0.4f, 0.85f},
    {kOptionText1P, 72, 415, 150, 0.5f, 0.85f}, {kOptionText1P, 71, 90, 210, 0.5f, 0.85f},
    {kOptionText1P, 72, 415, 210, 0.5f, 0.85f},
};
constexpr menu::NumberPlace kButtons1P[kActions] = {
    {kFont1P, 2, 575, 90, 1.4f}, {kFont1P, 2, 575, 150, 1.4f}, {kFont1P, 2, 575, 210, 1.4f}};
constexpr menu::Caption kPageEnd1P[] = {{kOptionText1P, 66, 90, 270, 0.6f, 0.85f},
                                        {kOptionText1P, 68, 90, 330, 0.8f, 0.85f}};
constexpr menu::Caption kCursor1P = {kCursorTexture1P, menu::kWholeTexture, 5, 0, 0.6f, 0.6f};

// The 2P-4P page: the heading, the actions, defaults and back, and the
// column heads 2P, 3P, 4P.
constexpr menu::Caption kPage2P4P[] = {
    {kOptionText2P, 67, 174, 5, 1.0f, 1.0f},     {kOptionText2P, 69, 90, 120, 0.4f, 0.85f},
    {kOptionText2P, 72, 209, 115, 0.45f, 0.85f}, {kOptionText2P, 70, 90, 180, 0.4f, 0.85f},
    {kOptionText2P, 73, 175, 175, 0.35f, 0.85f}, {kOptionText2P, 71, 90, 240, 0.35f, 0.85f},
    {kOptionText2P, 66, 90, 300, 0.5f, 0.85f},   {kOptionText2P, 68, 90, 360, 0.7f, 0.85f},
    {kSettingText2P, 50, 385, 75, 1.0f, 1.0f},   {kSettingText2P, 51, 470, 75, 1.0f, 1.0f},
    {kSettingText2P, 52, 555, 75, 1.0f, 1.0f},
};
// Battle player k's buttons stand in column kColumnStep k + kColumnX, on
// the rows of their items.
constexpr menu::NumberPlace kButton2P4P = {kFont2P, 2, 0, 0, 1.4f};
constexpr float kColumnStep = 85, kColumnX = 325;
// His cursor is his label (sprite + k), in a column of its own (x + kCursorStep (k - 1)).
constexpr menu::Caption kCursor2P4P = {kSettingText2P, 49, 2, 0, 0.5f, 1.15f};
constexpr float kCursorStep = 30;

// A button's number in its place, with the digits it needs.
void DrawButton(Application& app, menu::NumberPlace place, int32_t button) {
  place.digits = DigitsOf(button);
  menu::Draw(app, place, button);
}

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
  AssignHeld(menus.cursor, kStagePlayerInput, buttons);

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

  menu::StepOnPress(kRows1P, menus.cursor, menus.keys[kUpCounter], menu::UpHeld(), -1);
  menu::StepOnPress(kRows1P, menus.cursor, menus.keys[kDownCounter], menu::DownHeld(), 1);
}

void Application::DrawButtonConfig1P() {
  menu::BeginFrame();
  menu::Draw(*this, kPage1P);
  for (int a = 0; a < kActions; ++a) DrawButton(*this, kButtons1P[a], g_player.GetButton(a));
  menu::Draw(*this, kPageEnd1P);
  menu::DrawCursor(*this, kCursor1P, kRows1P, menus.cursor);
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
  const int players =
      battle.players < BattlePlayer::kMaxPlayers ? battle.players : BattlePlayer::kMaxPlayers;
  for (int k = 1; k < players; ++k) {
    // Players 2 to 4 read their pads only.
    const InputSource input = BattlePlayerInput(k, players);
    if (input.pad < 0 || input.pad >= g_input.GetPadSlotCount()) continue;  // no pad: nothing to do
    int32_t& cursor = menus.playerCursors[k];
    BattlePlayerButtons buttons(battlePlayers[k]);
    AssignHeld(cursor, input, buttons);
    // Acts on every frame it is held; only leaving the page matters.
    if (input.IsPadButtonDown(buttons.Get(0))) {
      if (cursor == kItemBack) {
        menu::Play(menu::kDecideSound);
        requestedScene = SceneBattleSettings;
        LeaveScene();
        return;
      }
      if (cursor == kItemDefaults) ResetButtons(buttons);
    }
    menu::StepOnPress(kRows2P4P, cursor, menus.keys[UpCounterOf(k)], input.IsDirectionDown(kPadUp),
                      -1);
    menu::StepOnPress(kRows2P4P, cursor, menus.keys[DownCounterOf(k)],
                      input.IsDirectionDown(kPadDown), 1);
  }
  // The page reads the players' pads only; with a pad gone (or none) nobody
  // could leave it, so the keyboard's cancel or Escape goes back as well.
  if (g_input.IsKeyDown(port::kKeyX) || menu::EscapeHeld()) {
    menu::Play(menu::kDecideSound);
    requestedScene = SceneBattleSettings;
    LeaveScene();
  }
}

void Application::DrawButtonConfig2P4P() {
  menu::BeginFrame();
  menu::Draw(*this, kPage2P4P);
  const int players =
      battle.players < BattlePlayer::kMaxPlayers ? battle.players : BattlePlayer::kMaxPlayers;
  for (int k = 1; k < players; ++k) {
    menu::NumberPlace place = kButton2P4P;
    place.x = kColumnStep * static_cast<float>(k) + kColumnX;
    for (int a = 0; a < kActions; ++a) {
      place.y = kRows2P4P[a].cursorY;
      DrawButton(*this, place, battlePlayers[k].GetButton(a));
    }
    menu::Caption cursor = kCursor2P4P;
    cursor.sprite += k;
    cursor.x += kCursorStep * static_cast<float>(k - 1);
    menu::DrawCursor(*this, cursor, kRows2P4P, menus.playerCursors[k]);
  }
  menu::EndFrame();
}
