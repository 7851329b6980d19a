// The battle match, scene 14: two to four battle players fight on one of
// two fields for the match time; the clock, the phases with their cues, the
// ranks, the result and the result menu, and the release.
#include "scenes/BattleScene.h"

#include <algorithm>

#include "actors/BattlePlayer.h"
#include "actors/Player1Shots.h"
#include "app/MenuItem.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "render/Camera.h"
#include "scenes/MenuScene.h"
#include "scenes/StageScene.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace battle {

int32_t PlayersOf(const Application& app) {
  return std::clamp(app.battle.players, kMinPlayers, BattlePlayer::kMaxPlayers);
}

}  // namespace battle

namespace {

using namespace battle;

struct BattleField {
  int32_t drawMode;
  const char* ground;
  const char* round;  // "" loads nothing
  const char* collision;
  const char* placement;
};
// By the battle stage setting: 0 the stage-1 field, 1 the stage-3 field.
constexpr BattleField kFields[2] = {
    {1, "Xfile/stage1/stage1.X", "Xfile/stage1/round.X", "Xfile/stage1/stage1_collision.X",
     "AppearData/battle/battle_stage1.arg"},
    {4, "Xfile/stage3/battle_stage3.X", "", "Xfile/stage3/battle_stage3_collision.X",
     "AppearData/battle/battle_stage3.arg"},
};

struct SunPlace {
  float pitch, yaw, distance;
};
constexpr SunPlace kSun = {70, 90, 100};

constexpr const char* kMatchMusic = "sound/bgm/nangoku_gm.mid";
constexpr const char* kResultMusic = "sound/bgm/rari_gm.mid";
constexpr const char* kMenuMusic = "sound/bgm/fb_gm.mid";

// Stage sounds of the match.
constexpr int32_t kSoundSecondHalf = 26;
constexpr int32_t kBeepFrames = 180;  // the second half's beeps: phase frames 1, 61, 121
constexpr int32_t kBeepPeriod = 60;
constexpr int32_t kRankEveryFrameBelow = 1100;  // time left
constexpr int32_t kWarnBelow = 1100;            // the tick sounds on each hundred below this
constexpr int32_t kEndPoseFrames = 180;

// Key counters of the result menu.
constexpr int kConfirmCounter = 0;
constexpr int kRightCounter = 1;
constexpr int kLeftCounter = 2;

const BattleField& FieldOf(const Application& app) { return kFields[app.battle.stage == 1]; }

// Each player taking part, in player order.
template <typename Step>
void EachPlayer(Application& app, Step step) {
  const int32_t n = PlayersOf(app);
  for (int32_t i = 0; i < n; ++i) step(app.battlePlayers[i]);
}

void NextPhase(Application& app, int32_t phase) {
  app.stagePhase = phase;
  app.phaseFrame = 0;
}

// The clock runs in the two halves only; past 0 the time is over.
void RunClock(Application& app) {
  const int32_t phase = app.stagePhase;
  if (phase == kIntro || phase == kResultMenu || phase == kTimeOver || phase == kResult) return;
  --app.timeLeft;
  if (app.timeLeft > 0 && app.timeLeft < kWarnBelow && app.timeLeft % 100 == 0)
    g_sound.PlaySound(stage::kSoundTick, stage::kCueOffset);
  if (app.timeLeft < 0) {
    g_sound.PlaySound(stage::kSoundTimeOver, stage::kTimeOverOffset);
    NextPhase(app, kTimeOver);
    app.timeLeft = 0;
    app.bonus = 0;
  }
}

void EnterPhase(Application& app) {
  switch (app.stagePhase) {
    case kIntro:
      app.SpawnAppearData();
      break;
    case kSecondHalf:
      EachPlayer(app, [](BattlePlayer& p) { p.ComputeRank(); });
      break;
    case kResult:
      g_sound.StopAll();
      stage::PlayMusic(kResultMusic);
      break;
    default:
      break;
  }
}

void RunPhase(Application& app) {
  switch (app.stagePhase) {
    case kIntro:
      if (app.phaseFrame == stage::kReadyFrame)
        g_sound.PlaySound(stage::kSoundReady, stage::kCueOffset);
      if (app.phaseFrame == stage::kGoFrame) g_sound.PlaySound(stage::kSoundGo, stage::kCueOffset);
      if (app.phaseFrame >= stage::kIntroFrames) {
        NextPhase(app, kFirstHalf);
        EachPlayer(app, [](BattlePlayer& p) { p.StartFight(); });
      }
      break;
    case kFirstHalf:
      if (app.timeLeft < app.battle.matchTime / 2) NextPhase(app, kSecondHalf);
      break;
    case kSecondHalf:
      if (app.phaseFrame < kBeepFrames && app.phaseFrame % kBeepPeriod == 1)
        g_sound.PlaySound(kSoundSecondHalf, stage::kCueOffset);
      if (app.timeLeft < kRankEveryFrameBelow)
        EachPlayer(app, [](BattlePlayer& p) { p.ComputeRank(); });
      break;
    case kTimeOver:
      EachPlayer(app, [](BattlePlayer& p) { p.Stop(); });
      if (app.phaseFrame > kEndPoseFrames) {
        EachPlayer(app, [](BattlePlayer& p) { p.DecideResult(); });
        NextPhase(app, kResult);
      }
      break;
    case kResult:
      if (app.phaseFrame > kEndPoseFrames) {
        NextPhase(app, kResultMenu);
        app.menus.cursor = kItemOnceMore;
      }
      break;
    default:
      break;
  }
}

void Leave(Application& app, int32_t scene) {
  app.requestedScene = scene;
  app.currentScene = SceneNone;
}

void RestartMenuMusic() {
  g_sound.StopAll();
  stage::PlayMusic(kMenuMusic);
}

// The chosen item of the result menu.
void Choose(Application& app) {
  switch (app.menus.cursor) {
    case kItemOnceMore:
      // Everything stays loaded; the enter routine runs again.
      Leave(app, SceneBattle);
      break;
    case kItemToSettings:
      Leave(app, SceneBattleSettings);
      app.ReleaseBattle();
      break;
    case kItemToCharacterSelect:
      Leave(app, SceneCharacterSelect);
      app.ReleaseBattle();
      RestartMenuMusic();
      break;
    case kItemToStageSelect:
      // The players keep their models for the next match.
      Leave(app, SceneStageSelect);
      app.ReleaseSceneTextures();
      g_stageField.Release();
      g_graphics.SetFullViewport(0);
      RestartMenuMusic();
      break;
    case kItemToTitle:
      Leave(app, SceneTitle);
      app.ReleaseBattle();
      break;
    default:
      break;
  }
}

int32_t NextItem(int32_t item) {
  return item >= kItemOnceMore && item < kItemToTitle ? item + 1 : kItemOnceMore;
}
int32_t PreviousItem(int32_t item) {
  return item > kItemOnceMore && item <= kItemToTitle ? item - 1 : kItemToTitle;
}

}  // namespace

void Application::InitBattle() {
  for (int32_t& counter : menus.keys) counter = 1;
  menu::LoadSceneTextures(
      *this, {"texture/battle/battle_text.png", "texture/battle/battlesetting_text.png",
              "texture/stage_text.png", "texture/font.png", "texture/battle/charge_gazi_waku.png",
              "texture/battle/charge_gazi_bar.tga", "texture/battle/piyori_waku.png",
              "texture/battle/poyori_gazi.png", "texture/title/course.png"});
  port::gpu::Device* device = g_graphics.GetDevice();
  g_sun.Init(device, 1);
  g_sun.SetPosition(kSun.pitch, kSun.yaw, kSun.distance);
  g_camera.SetDevice(device);
  g_characters.Init(device, g_graphics.GetCaps(), toonEffectAvailable);
  // A shot or effect left from the match before (once more, or back from
  // the stage select) does not fly on into this one.
  g_objects.Clear();
  g_effects.Clear();
  g_objects.Init(device);
  const int32_t players = battle::PlayersOf(*this);
  Player1LargeTama1::Load(device, BattlePlayer::TargetList(battlePlayers, players), players);
  g_effects.Init(device);
  BattlePlayer::LoadShared(players, battlePlayers, g_characters.GetToonEffect(),
                           g_characters.GetToonRamp());
  for (BattlePlayer& p : battlePlayers) p.SetAlive(0);
  for (int32_t i = 0; i < players; ++i)
    battlePlayers[i].LoadModel(stage::RenderMethod(*this), battle.character[i]);

  const BattleField& field = FieldOf(*this);
  g_stageField.Init(device);
  g_stageField.SetDrawMode(field.drawMode);
  g_stageField.LoadGround(field.ground);
  if (*field.round) g_stageField.LoadRound(field.round);
  g_stageField.LoadCollision(field.collision);
  LoadAppearData(field.placement);

  timeLeft = battle.matchTime;
  sceneFrame = 0;
  phaseFrame = 0;
  stagePhase = kIntro;
  g_sound.StopAll();
  stage::PlayMusic(kMatchMusic);
}

void Application::UpdateBattle() {
  ++sceneFrame;
  ++phaseFrame;
  RunClock(*this);
  if (phaseFrame == 1) EnterPhase(*this);
  RunPhase(*this);
  InputBattle();
  // Left (released, or another scene asked for): nothing more this frame.
  if (currentScene != SceneBattle) return;
  if (port::gpu::Device* device = g_graphics.GetDevice()) {
    device->SetTransform(port::gpu::TransformType::View, g_camera.GetView());
    device->SetTransform(port::gpu::TransformType::Projection, g_camera.GetProjection());
  }
  EachPlayer(*this, [](BattlePlayer& p) { p.Update(); });
  g_objects.UpdateAll();
  g_effects.UpdateAll();
}

void Application::InputBattle() {
  menu::Poll();
  if (g_input.IsKeyDown(port::kKeyF12)) {
    // Back to the stage select; the music plays on.
    Leave(*this, SceneStageSelect);
    ReleaseBattle();
    return;
  }
  if (stagePhase != kResultMenu) return;
  if (menu::CountPress(menus.keys[kConfirmCounter], menu::ConfirmHeld())) {
    Choose(*this);
    if (currentScene != SceneBattle) return;
  }
  if (menu::CountPress(menus.keys[kRightCounter], menu::RightHeld()))
    menus.cursor = NextItem(menus.cursor);
  if (menu::CountPress(menus.keys[kLeftCounter], menu::LeftHeld()))
    menus.cursor = PreviousItem(menus.cursor);
}

// Each step finds nothing the second time.
void Application::ReleaseBattle() {
  ReleaseSceneTextures();
  g_stageField.Release();
  for (BattlePlayer& p : battlePlayers) p.Release();
  g_characters.Clear();
  g_objects.Clear();
  g_effects.Clear();
  g_graphics.SetFullViewport(0);
}
