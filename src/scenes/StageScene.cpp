// The stage scenes 3, 4 and 5 (stages 1 to 3): the enter routines, the
// phase machine with the clock, the in-stage keys shared with the sokai
// stage, and the releases. One table holds what the three stages differ in;
// the named routines run the shared code on their row.
#include <array>
#include <span>

#include "actors/BallLauncher.h"
#include "actors/EnemyClasses.h"
#include "actors/Hammer.h"
#include "actors/Player.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
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

namespace {

struct SunPlace {
  float pitch, yaw, distance;  // degrees, degrees, world units
};

struct StageConfig {
  int32_t scene;
  int32_t number;  // 1 to 3
  const char* loadingPicture;
  SunPlace sun;
  int32_t fieldDrawMode;
  const char* ground;
  const char* round;  // "" loads nothing
  const char* collision;
  std::span<const int32_t> classes;  // the enemy classes loaded, by placement kind
  bool hazards;                      // stage 3's hammers and ball launchers
  const char* music;
  const char* playerFile;
  std::array<const char*, 4> areaFiles;
  int32_t areas;
  std::array<int32_t, 3> areaBonus;  // paid at the entry of areas 2, 3 and 4
  int32_t areaSoundOffset;
  const char* bossFile;
  int32_t bossBonus;
  int32_t nextIntroTarget;   // after the clear; 0: the run is ranked
  int32_t stagesOnGameOver;  // the stages a game over ranks with
};

constexpr int32_t kStage1Classes[] = {kAppearZako1, kAppearZako2, kAppearBoss1};
constexpr int32_t kStage2Classes[] = {kAppearZako1, kAppearZako2, kAppearZako3, kAppearBoss2};
constexpr int32_t kStage3Classes[] = {kAppearZako3, kAppearZako4, kAppearBoss3};
// What the stage-1 release after a clear unloads: stage 2 uses the zako again.
constexpr int32_t kStage1ClassesAfterClear[] = {kAppearBoss1};

constexpr int32_t kStagesWhenAllCleared = 4;

const StageConfig kStages[3] = {
    {SceneStage1,
     1,
     "texture/load_tex/stage1_load_tex.jpg",
     {70, 90, 100},
     1,
     "Xfile/stage1/stage1.X",
     "Xfile/stage1/round.X",
     "Xfile/stage1/stage1_collision.X",
     kStage1Classes,
     false,
     "sound/bgm/nangoku_gm.mid",
     "AppearData/stage1/stage1_player.arg",
     {"AppearData/stage1/stage1_erea1.arg", "AppearData/stage1/stage1_erea2.arg"},
     2,
     {1500, 0, 0},
     kQuieter5dB,
     "AppearData/stage1/stage1_boss.arg",
     2500,
     SceneStage2,
     1},
    {SceneStage2,
     2,
     "texture/load_tex/stage2_load_tex.jpg",
     {60, -70, 150},
     2,
     "Xfile/stage2/stage2.X",
     "Xfile/stage2/stage2_round.X",
     "Xfile/stage2/stage2_collision.X",
     kStage2Classes,
     false,
     "sound/bgm/bsyt_gm.mid",
     "AppearData/stage2/stage2_player.arg",
     {"AppearData/stage2/stage2_erea1.arg", "AppearData/stage2/stage2_erea2.arg",
      "AppearData/stage2/stage2_erea3.arg", "AppearData/stage2/stage2_erea4.arg"},
     4,
     {1500, 2000, 2500},
     kQuieter10dB,
     "AppearData/stage2/stage2_boss.arg",
     3000,
     SceneStage3,
     2},
    {SceneStage3,
     3,
     "texture/load_tex/stage3_load_tex.jpg",
     {70, 90, 100},
     4,
     "Xfile/stage3/stage3.X",
     "",
     "Xfile/stage3/collision.X",
     kStage3Classes,
     true,
     "sound/bgm/y-maf_gm.mid",
     "AppearData/stage3/stage3_player.arg",
     {"AppearData/stage3/stage3_erea1.arg", "AppearData/stage3/stage3_erea2.arg",
      "AppearData/stage3/stage3_erea3.arg", "AppearData/stage3/stage3_erea4.arg"},
     4,
     {2500, 3500, 4000},
     kQuieter5dB,
     "AppearData/stage3/stage3_boss.arg",
     3500,
     0,
     3},
};

constexpr int32_t kStartTime = 5000;  // frames
constexpr int32_t kBossMusicFrame = 60;
constexpr const char* kBossMusic = "sound/bgm/bsj_gm.mid";
constexpr int32_t kClearFrames = 260;     // the clear pose, then the next scene
constexpr int32_t kEndPoseFrames = 180;   // time over, and game over
constexpr int32_t kLauncherPeriod = 200;  // scene frames

// Stage 3's hammers, placed with the player.
constexpr HammerSpawn kHammers[] = {
    {{-28.8f, 1.5f, -28.8f}, 0, 0, kHammerSwing},
    {{-28.8f, 1.5f, -28.8f}, 0, 120, kHammerSwing},
    {{-28.8f, 1.5f, -28.8f}, 0, 240, kHammerSwing},
    {{28.8f, 1.5f, -28.8f}, 30, 0, kHammerSeesawUp},
    {{28.8f, 1.5f, -28.8f}, -30, 90, kHammerSeesawDown},
    {{28.8f, 1.5f, -28.8f}, 30, 180, kHammerSeesawUp},
    {{28.8f, 1.5f, -28.8f}, -30, 270, kHammerSeesawDown},
    {{-28.8f, 1.5f, 28.8f}, 0, 0, kHammerFast},
    {{-28.8f, 4.0f, 28.8f}, 0, 0, kHammerFast},
    {{-28.8f, 1.5f, 28.8f}, 0, 180, kHammerFast},
    {{-28.8f, 4.0f, 28.8f}, 0, 180, kHammerFast},
    {{28.8f, 0.8f, 28.8f}, 0, 0, kHammerSteady},
    {{28.8f, 2.8f, 28.8f}, 0, 0, kHammerBack},
};

// Stage 3's ball launchers round the centre, by scene frame of the period.
struct LauncherPlace {
  int32_t frame;
  port::Vec3 at;
  float heading;
};
constexpr LauncherPlace kLaunchers[] = {{1, {5.3f, 1.2f, 0.0f}, 90},
                                        {1, {-5.3f, 1.2f, 0.0f}, 270},
                                        {100, {0.0f, 1.2f, 5.3f}, 0},
                                        {100, {0.0f, 1.2f, -5.3f}, 180}};

// Key counters: 0 the pause key, 1 up and down, 2 the pause menu's confirm.
constexpr int kPauseCounter = 0;
constexpr int kUpDownCounter = 1;
constexpr int kPauseConfirmCounter = 2;

const StageConfig& ConfigOf(int32_t scene) {
  for (const StageConfig& c : kStages)
    if (c.scene == scene) return c;
  return kStages[0];
}

bool IsArea(int32_t phase) { return phase >= kPhaseArea1 && phase <= kPhaseArea4; }
bool ClockRuns(int32_t phase) { return phase >= kPhaseArea1 && phase <= kPhaseBoss; }

void LoadAndSpawn(Application& app, const char* path) {
  app.LoadAppearData(path);
  app.SpawnAppearData();
}

// The run is over: the ranking decides between the name entry and the title.
void RankRun(Application& app, int32_t stages) {
  const int32_t place = app.NormalRankPosition(stages);
  app.requestedScene = place < kNotPlaced ? SceneNameEntry1 : SceneTitle;
  app.currentScene = SceneNone;
}

void InitStage(Application& app, const StageConfig& cfg) {
  port::gpu::Device* device = g_graphics.GetDevice();
  stage::ShowLoadingPicture(cfg.loadingPicture);
  if (cfg.hazards) Hammer::Load(device);
  g_sun.Init(device, 1);
  g_sun.SetPosition(cfg.sun.pitch, cfg.sun.yaw, cfg.sun.distance);
  g_camera.SetDevice(device);
  g_characters.Init(device, g_graphics.GetCaps(), app.toonEffectAvailable);
  g_objects.Init(device);
  g_effects.Init(device);
  g_stageField.Init(device);
  g_stageField.SetDrawMode(cfg.fieldDrawMode);
  g_stageField.LoadGround(cfg.ground);
  if (*cfg.round) g_stageField.LoadRound(cfg.round);  // stage 3 has none
  g_stageField.LoadCollision(cfg.collision);
  stage::LoadHudTextures(app, stage::kStageHudTextures);
  g_player.Load(stage::RenderMethod(app), &g_camera, g_characters.GetToonEffect(),
                g_characters.GetToonRamp());
  LoadEnemyClasses(cfg.classes, stage::ClassLoad(app));

  app.sceneFrame = 0;
  app.phaseFrame = 0;
  app.stagePhase = kPhaseIntro;
  if (cfg.number == 1) app.stageMode.framesUsed = 0;
  app.timeLeft = kStartTime;
  app.bonus = 0;
  app.stageMode.paused = 0;
  g_sound.StopAll();
  stage::PlayMusic(cfg.music);
}

// The first frame of a phase.
void EnterPhase(Application& app, const StageConfig& cfg) {
  const int32_t phase = app.stagePhase;
  if (phase == kPhaseIntro) {
    LoadAndSpawn(app, cfg.playerFile);
    if (cfg.hazards)
      for (const HammerSpawn& h : kHammers) Hammer::Spawn(h);
  } else if (IsArea(phase)) {
    if (phase > kPhaseArea1) {
      g_sound.PlaySound(stage::kSoundAreaEntry, cfg.areaSoundOffset);
    }
    LoadAndSpawn(app, cfg.areaFiles[static_cast<size_t>(phase - kPhaseArea1)]);
    // Added, not set: a bonus not yet paid when the next area begins is
    // kept (StageSceneFlow.BonusNotYetPaidIsKeptByTheNextArea).
    if (phase > kPhaseArea1) app.bonus += cfg.areaBonus[static_cast<size_t>(phase - kPhaseArea2)];
  } else if (phase == kPhaseBoss) {
    LoadAndSpawn(app, cfg.bossFile);
    app.bonus += cfg.bossBonus;
    g_sound.StopSound(kMusicSoundId);
    g_sound.PlaySound(stage::kSoundBossEntry, stage::kCueOffset);
  } else if (phase == kPhaseClear) {
    g_sound.StopAll();
    stage::PlayMusic(stage::kClearMusic);
  } else if (phase == kPhaseGameOver) {
    g_sound.PlaySound(stage::kSoundGameOver, stage::kCueOffset);
  }
}

void NextPhase(Application& app, int32_t phase) {
  app.stagePhase = phase;
  app.phaseFrame = 0;
}

// The phase's own logic; true when the scene was left.
bool RunPhase(Application& app, const StageConfig& cfg) {
  const int32_t phase = app.stagePhase;
  const bool emptied = g_characters.CountAlive() < 1 && app.phaseFrame > 1;
  if (phase == kPhaseIntro) {
    if (app.phaseFrame == stage::kReadyFrame)
      g_sound.PlaySound(stage::kSoundReady, stage::kCueOffset);
    if (app.phaseFrame == stage::kGoFrame) g_sound.PlaySound(stage::kSoundGo, stage::kCueOffset);
    if (app.phaseFrame >= stage::kIntroFrames) NextPhase(app, kPhaseArea1);
  } else if (IsArea(phase)) {
    if (emptied) NextPhase(app, phase < cfg.areas ? phase + 1 : kPhaseBoss);
  } else if (phase == kPhaseBoss) {
    if (app.phaseFrame == kBossMusicFrame) {
      g_sound.StopSound(kMusicSoundId);
      stage::PlayMusic(kBossMusic);
    }
    if (emptied) NextPhase(app, kPhaseClear);
  } else if (phase == kPhaseClear) {
    g_player.SetClear();
    if (app.phaseFrame > kClearFrames) {
      if (cfg.nextIntroTarget != 0) {
        app.requestedScene = SceneStageIntro;
        app.currentScene = SceneNone;
        app.stageMode.introTarget = cfg.nextIntroTarget;
        if (cfg.number == 1) {
          app.ReleaseStage1AfterClear();
        } else {
          app.ReleaseStage2();
        }
      } else {
        RankRun(app, kStagesWhenAllCleared);
        app.ReleaseStage3();
      }
      return true;
    }
  } else if (phase == kPhaseTimeOver) {
    g_player.SetTimeUp();
    if (app.phaseFrame > kEndPoseFrames) NextPhase(app, kPhaseGameOver);
  } else if (phase == kPhaseGameOver) {
    g_player.SetGameOver();
    if (app.phaseFrame > kEndPoseFrames) {
      RankRun(app, cfg.stagesOnGameOver);
      if (cfg.number == 1) app.ReleaseStage1();
      if (cfg.number == 2) app.ReleaseStage2();
      if (cfg.number == 3) app.ReleaseStage3();
      return true;
    }
  }
  return false;
}

void UpdateStage(Application& app, const StageConfig& cfg) {
  if (app.StageKeys()) return;
  if (app.stageMode.paused) return;
  ++app.sceneFrame;
  ++app.phaseFrame;
  if (ClockRuns(app.stagePhase)) stage::RunClock(app, true);
  if (app.phaseFrame == 1) EnterPhase(app, cfg);
  if (RunPhase(app, cfg)) return;
  if (cfg.hazards && IsArea(app.stagePhase)) {
    for (const LauncherPlace& l : kLaunchers)
      if (app.sceneFrame % kLauncherPeriod == l.frame)
        BallLauncher::Spawn({.at = l.at, .heading = l.heading, .owner = kOwnerEnemy});
  }
  stage::UpdateWorld();
}

// The release of the scene that is current (a stage or the sokai stage).
void ReleaseCurrent(Application& app) {
  switch (app.currentScene) {
    case SceneStage2:
      app.ReleaseStage2();
      break;
    case SceneStage3:
      app.ReleaseStage3();
      break;
    case SceneSokai:
      app.ReleaseSokai();
      break;
    default:
      app.ReleaseStage1();
      break;
  }
}

void LeaveToTitle(Application& app) {
  ReleaseCurrent(app);
  app.currentScene = SceneNone;
  app.requestedScene = SceneTitle;
}

bool PauseKeyHeld() {
  return g_input.IsKeyDown(port::kKeyF1) || g_input.IsKeyDown(port::kKeyEscape);
}
bool UpDownHeld() {
  return g_input.IsKeyDown(port::kKeyUp) || g_input.IsKeyDown(port::kKeyDown) ||
         g_input.IsPadDirection(0, kPadUp) || g_input.IsPadDirection(0, kPadDown);
}

}  // namespace

void Application::InitStage1() { InitStage(*this, ConfigOf(SceneStage1)); }
void Application::InitStage2() { InitStage(*this, ConfigOf(SceneStage2)); }
void Application::InitStage3() { InitStage(*this, ConfigOf(SceneStage3)); }
void Application::UpdateStage1() { UpdateStage(*this, ConfigOf(SceneStage1)); }
void Application::UpdateStage2() { UpdateStage(*this, ConfigOf(SceneStage2)); }
void Application::UpdateStage3() { UpdateStage(*this, ConfigOf(SceneStage3)); }

bool Application::StageKeys() {
  menu::Poll();
  if (g_input.IsKeyDown(port::kKeyF12)) {
    LeaveToTitle(*this);
    return true;
  }
  if (menu::CountPress(menus.keys[kPauseCounter], PauseKeyHeld())) {
    if (!stageMode.paused) {
      stageMode.paused = 1;
      menus.cursor = kItemResume;
      // A confirm held when the pause opens (the attack being charged) does
      // not close it again: it must be let go first
      // (StageSceneFlow.ConfirmHeldWhenPausingDoesNotResume).
      menus.keys[kPauseConfirmCounter] = 1;
    } else {
      stageMode.paused = 0;
    }
  }
  if (!stageMode.paused) return false;
  if (menu::CountPress(menus.keys[kPauseConfirmCounter], menu::ConfirmHeld())) {
    if (menus.cursor == kItemQuitToTitle) {
      LeaveToTitle(*this);
      return true;
    }
    stageMode.paused = 0;
    return false;
  }
  if (menu::CountPress(menus.keys[kUpDownCounter], UpDownHeld()))
    menus.cursor = menus.cursor == kItemResume ? kItemQuitToTitle : kItemResume;
  return false;
}

void Application::ReleaseStage1() {
  UnloadEnemyClasses(kStage1Classes);
  stage::ReleaseWorld(*this);
  currentScene = SceneNone;
}

void Application::ReleaseStage1AfterClear() {
  UnloadEnemyClasses(kStage1ClassesAfterClear);
  stage::ReleaseWorld(*this);
  currentScene = SceneNone;
}

void Application::ReleaseStage2() {
  UnloadEnemyClasses(kStage2Classes);
  stage::ReleaseWorld(*this);
  currentScene = SceneNone;
}

// Stage 3 unloads what it loaded, the hammer included, so nothing of it
// waits for the end of the program.
void Application::ReleaseStage3() {
  UnloadEnemyClasses(kStage3Classes);
  Hammer::Unload();
  stage::ReleaseWorld(*this);
  currentScene = SceneNone;
}
