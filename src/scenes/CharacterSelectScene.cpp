// The character select (scene 12): each taking part player walks a 2 by 2
// grid of the four characters with his own keys or pad and confirms; his
// choice turns in a panel of its own. Once everyone has confirmed and stayed
// so for 121 frames the stage select follows; a cancel while nobody has
// confirmed goes back to the battle settings. Each player reads the keys or
// pad the controller rule gives him (actors/PlayerInput.h).
#include <algorithm>
#include <initializer_list>

#include "actors/PlayerInput.h"
#include "app/Application.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "scenes/MenuScene.h"
#include "world/CharacterList.h"
#include "world/Sun.h"

namespace {

enum SelectTexture {
  kPicture1,  // 0 to 3: the four characters
  kBattleText = 4,
  kCharaStand = 5,  // loaded, not drawn
  kSettingText = 6,
};

// The first of the keys that is not `taken`.
int FirstFree(std::initializer_list<int> keys, int taken) {
  for (int k : keys)
    if (k != taken) return k;
  return kNoKey;
}

// The keyboard's confirm and cancel keys for a player whose attack and shift
// buttons are these. Each follows its button number; a number without a key
// (above 2) would leave the keyboard player unable to confirm or cancel, and
// so stuck on this page, so the confirm then falls back to Z and the cancel
// to X, or to the first of Z, X and C the other does not use.
struct KeyboardKeys {
  int confirm, cancel;
};
KeyboardKeys KeysOf(int32_t attackButton, int32_t shiftButton) {
  constexpr int kZ = kActionKeys[0], kX = kActionKeys[1], kC = kActionKeys[2];
  int confirm = KeyOfButton(attackButton);
  int cancel = KeyOfButton(shiftButton);
  if (confirm == kNoKey) confirm = FirstFree({kZ, kX, kC}, cancel);
  if (cancel == kNoKey || cancel == confirm) cancel = FirstFree({kX, kZ, kC}, confirm);
  return {confirm, cancel};
}

// Per player i: up and down share counter 3i, left and right 3i + 1, confirm
// and cancel 3i + 2: twelve in all.
int UpDownCounter(int i) { return 3 * i; }
int SideCounter(int i) { return 3 * i + 1; }
int ButtonCounter(int i) { return 3 * i + 2; }

// The grid: 1 2 over 3 4.
constexpr int32_t kColumns = 2;
constexpr int32_t kChoices = 4;

// The 121st frame with everyone decided leads on.
constexpr int32_t kDecidedWait = 120;

struct SunPlace {
  float pitch = 70.0f, yaw = 90.0f, distance = 100.0f;
};
constexpr SunPlace kSun;

// Where things go: the headings, the four pictures, each player's label
// beside his panel.
constexpr menu::Caption kHeadings[] = {{kBattleText, 47, 178, 5, 1.0f, 1.0f},
                                       {kBattleText, 48, 341, 5, 1.0f, 1.0f}};
constexpr menu::Caption kPictures[kChoices] = {
    {kPicture1, menu::kWholeTexture, 215, 56, 0.7f, 0.7f},
    {kPicture1 + 1, menu::kWholeTexture, 330, 56, 0.7f, 0.7f},
    {kPicture1 + 2, menu::kWholeTexture, 215, 156, 0.7f, 0.7f},
    {kPicture1 + 3, menu::kWholeTexture, 330, 156, 0.7f, 0.7f}};
constexpr int kLabelId = 49;  // + the player index
constexpr menu::Caption kLabels[BattlePlayer::kMaxPlayers] = {
    {kSettingText, kLabelId, 10, 57, 0.9f, 0.9f},
    {kSettingText, kLabelId + 1, 441, 57, 0.9f, 0.9f},
    {kSettingText, kLabelId + 2, 10, 260, 0.9f, 0.9f},
    {kSettingText, kLabelId + 3, 441, 260, 0.9f, 0.9f}};
constexpr float kTagScale = 0.8f;

// Each player's tag on the picture of his choice: players 1 and 2 along the
// top of the picture, 3 and 4 along its bottom, a step apart.
struct TagLine {
  float leftX, rightX, topY, bottomY;  // on the left and right, top and bottom pictures
};
constexpr TagLine kTagLines[2] = {{217, 332, 58, 158}, {123, 238, 119, 219}};
constexpr float kTagStep = 47;
port::Vec2 TagPlace(int player, int32_t choice) {
  const bool left = choice == 1 || choice == 3;
  const bool top = choice == 1 || choice == 2;
  const float step = kTagStep * static_cast<float>(player);
  const TagLine& line = kTagLines[player < 2 ? 0 : 1];
  return {step + (left ? line.leftX : line.rightX), top ? line.topY : line.bottomY};
}

}  // namespace

// ---- The controller rule (PlayerInput.h) ----

bool Application::IsPlayerDirection(int direction, int player) const {
  return BattlePlayerInput(player, battle.players).IsDirectionDown(direction);
}

bool Application::IsPlayerButton(int32_t button, int player) const {
  return BattlePlayerInput(player, battle.players).IsButtonDown(button);
}

// ---- The scene ----

namespace {

int TakingPart(const BattleSettings& b) {
  return std::clamp(b.players, 1, static_cast<int32_t>(BattlePlayer::kMaxPlayers));
}

bool AnyDecided(const BattleSettings& b) {
  for (int i = 0; i < TakingPart(b); ++i)
    if (b.decided[i]) return true;
  return false;
}

}  // namespace

void Application::InitCharacterSelect() {
  sceneFrame = 0;
  for (int i = 0; i < BattlePlayer::kMaxPlayers; ++i) {
    battle.character[i] = i + 1;
    battle.decided[i] = 0;
  }
  for (int32_t& k : menus.keys) k = 1;  // keys held from before do nothing
  menu::LoadSceneTextures(*this,
                          {"texture/battle/player1_stand.jpg", "texture/battle/player2_stand.jpg",
                           "texture/battle/player3_stand.jpg", "texture/battle/player4_stand.jpg",
                           "texture/battle/battle_text.png", "texture/battle/chara_stand.png",
                           "texture/battle/battlesetting_text.png"});
  port::gpu::Device* device = g_graphics.GetDevice();
  g_characters.InitForSelect(device);
  EffectHolder* effect = g_characters.GetToonEffect();
  const bool toon = toonEffectAvailable == 1 && effect->GetEffect() != nullptr;
  SelectModel::LoadShared(toon ? SkinnedModel::kMethodToon : SkinnedModel::kMethodSoftware, effect,
                          g_characters.GetToonRamp());
  for (int i = 0; i < BattlePlayer::kMaxPlayers; ++i) {
    selectModels[i].Init();
    selectModels[i].SetCharacter(battle.character[i]);
    selectModels[i].ClearDecided();
  }
  g_sun.Init(device, 1);
  g_sun.SetPosition(kSun.pitch, kSun.yaw, kSun.distance);
}

void Application::ReleaseCharacterSelect() {
  ReleaseSceneTextures();
  for (SelectModel& m : selectModels) m.Release();
}

void Application::UpdateCharacterSelect() {
  ++sceneFrame;
  const int players = TakingPart(battle);
  for (int i = 0; i < players; ++i)
    if (!battle.decided[i]) sceneFrame = 0;
  if (sceneFrame > kDecidedWait) {
    requestedScene = SceneStageSelect;
    currentScene = SceneNone;
    ReleaseCharacterSelect();
    return;
  }
  InputCharacterSelect();
  if (currentScene == SceneNone) return;  // left: the models are released
  for (int i = 0; i < players; ++i) {
    selectModels[i].SetCharacter(battle.character[i]);
    static_cast<Character&>(selectModels[i]).Update();
  }
}

void Application::InputCharacterSelect() {
  menu::Poll();
  // A player whose pad was unplugged after he confirmed can neither cancel
  // nor let the wait end; Escape takes everyone back to the settings.
  if (menu::EscapeHeld()) {
    requestedScene = SceneBattleSettings;
    currentScene = SceneNone;
    ReleaseCharacterSelect();
    return;
  }
  const int players = TakingPart(battle);
  for (int i = 0; i < players; ++i) {
    const InputSource input = BattlePlayerInput(i, battle.players);
    int32_t& choice = battle.character[i];
    if (!battle.decided[i]) {
      const bool up = input.IsDirectionDown(kPadUp);
      if (menu::CountPress(menus.keys[UpDownCounter(i)], up || input.IsDirectionDown(kPadDown))) {
        const int32_t to = up ? choice - kColumns : choice + kColumns;
        if (to >= 1 && to <= kChoices) {
          choice = to;
          menu::Play(menu::kStepSound);
        }
      }
      const bool right = input.IsDirectionDown(kPadRight);
      if (menu::CountPress(menus.keys[SideCounter(i)], right || input.IsDirectionDown(kPadLeft))) {
        const bool leftColumn = choice % kColumns == 1;
        if (right ? leftColumn : !leftColumn) {
          choice += right ? 1 : -1;
          menu::Play(menu::kStepSound);
        }
      }
    }

    const int32_t attack = battlePlayers[i].GetButton(kBattleActionAttack);
    const int32_t shift = battlePlayers[i].GetButton(kBattleActionShift);
    bool confirm = input.IsButtonDown(attack);
    bool cancel = input.IsButtonDown(shift);
    if (input.keyboard) {
      const KeyboardKeys keys = KeysOf(attack, shift);
      confirm = confirm || g_input.IsKeyDown(keys.confirm);
      cancel = cancel || g_input.IsKeyDown(keys.cancel);
    }
    if (!menu::CountPress(menus.keys[ButtonCounter(i)], confirm || cancel)) continue;
    if (confirm) {
      menu::Play(menu::kDecideSound);
      battle.decided[i] = 1;
      selectModels[i].SetDecided();
      continue;
    }
    const bool leave = !AnyDecided(battle);
    battle.decided[i] = 0;
    selectModels[i].ClearDecided();
    if (leave) {
      requestedScene = SceneBattleSettings;
      currentScene = SceneNone;
      ReleaseCharacterSelect();
      return;
    }
  }
}

void Application::DrawCharacterSelect() {
  port::Sprite* sprite = g_graphics.GetSprite();
  menu::BeginFrame();
  menu::Draw(*this, kHeadings);
  menu::Draw(*this, kPictures);
  for (int i = 0; i < TakingPart(battle); ++i) {
    selectModels[i].DrawPanel(sprite, i);
    menu::Draw(*this, kLabels[i]);
    const port::Vec2 tag = TagPlace(i, battle.character[i]);
    menu::Draw(*this, {kSettingText, kLabelId + i, tag.x, tag.y, kTagScale, kTagScale});
  }
  menu::EndFrame();
}
