// The sokai stage (scene 8): small enemies drop round the player, at most
// 100 at a time, until the time is up; the player's bursts knock them flying
// for kills and combos. A tally turns kills, kills per burst and the best
// combo into score, and the ranking decides between the name entry and the
// title.
#include "actors/EnemyClasses.h"
#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "app/StagePhase.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "render/Camera.h"
#include "scenes/StageScene.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

constexpr const char* kLoadingPicture = "texture/load_tex/sokai_stage_load_tex.jpg";
constexpr const char* kMusic = "sound/bgm/mjdm_gm.mid";
constexpr int32_t kFieldDrawMode = 10;
constexpr const char* kGround = "Xfile/sokai_stage/sokai_stage.X";
constexpr const char* kRound = "Xfile/sokai_stage/sokai_round.X";
constexpr const char* kCollision = "Xfile/sokai_stage/sokai_stage_collision.X";

constexpr int32_t kStartTime = 3500;  // frames
constexpr port::Vec3 kPlayerStart{0.0f, 10.0f, 0.0f};

// The crowd: a zako every 10 frames while fewer than 100 characters live,
// dropped from 10 up over a square of 10 by 10 round the centre.
constexpr int32_t kCrowdCap = 100;
constexpr int32_t kSpawnPeriod = 10;
constexpr float kSpawnHeight = 10.0f;
constexpr float kSpawnReach = 5.0f;  // x and z from 5 down to -5

// The tally: what each row adds, and when.
struct TallyRow {
  int32_t frame;
  int32_t factor;
};
constexpr TallyRow kKillsRow = {40, 5};
constexpr TallyRow kKillsPerBurstRow = {100, 70};
constexpr TallyRow kMaxComboRow = {160, 45};
constexpr int32_t kTallyFrames = 300;

constexpr int32_t kTimeOverFrames = 180;
constexpr int32_t kRankedFrames = 261;
constexpr int32_t kNotRankedFrames = 181;

void EnterPhase(Application& app) {
  if (app.stagePhase == kPhaseIntro) {
    g_player.sokai = 1;
    g_player.viewType = app.options.viewType;
    g_player.Place(kPlayerStart.x, kPlayerStart.y, kPlayerStart.z, 0.0f);
  } else if (app.stagePhase == kPhaseClear) {
    g_sound.StopAll();
    stage::PlayMusic(stage::kClearMusic);
  } else if (app.stagePhase == kPhaseGameOver) {
    g_sound.PlaySound(stage::kSoundGameOver, stage::kCueOffset);
  }
}

void NextPhase(Application& app, int32_t phase) {
  app.stagePhase = phase;
  app.phaseFrame = 0;
}

void SpawnCrowd(const Application& app) {
  if (g_characters.CountAlive() >= kCrowdCap || app.phaseFrame % kSpawnPeriod != 0) return;
  const EnemyClass* zako = FindEnemyClass(kSokaiZakoClass);
  // Drawn in this order, whether or not there is a class to spawn.
  const float r1 = RandomFloat(100.0f, 0.1f);
  const float r2 = RandomFloat(100.0f, 0.1f);
  const float heading = static_cast<float>(RandomInt(360));
  if (zako) zako->spawn(kSpawnReach - r1, kSpawnHeight, kSpawnReach - r2, heading);
}

void RunTally(Application& app) {
  SokaiCounters& s = app.sokai;
  if (app.phaseFrame == kKillsRow.frame) s.score += s.kills * kKillsRow.factor;
  // No burst fired: the row adds nothing.
  if (app.phaseFrame == kKillsPerBurstRow.frame && s.bursts > 0)
    s.score += s.kills / s.bursts * kKillsPerBurstRow.factor;
  if (app.phaseFrame == kMaxComboRow.frame) s.score += s.maxCombo * kMaxComboRow.factor;
  if (app.phaseFrame > kTallyFrames) {
    const int32_t place = app.SokaiRankPosition();
    NextPhase(app, place < kNotPlaced ? kPhaseClear : kPhaseGameOver);
  }
}

void Leave(Application& app, int32_t scene) {
  app.requestedScene = scene;
  app.currentScene = SceneNone;
  app.ReleaseSokai();
}

// The phase's own logic; true when the scene was left.
bool RunPhase(Application& app) {
  switch (app.stagePhase) {
    case kPhaseIntro:
      if (app.phaseFrame == stage::kReadyFrame)
        g_sound.PlaySound(stage::kSoundReady, stage::kCueOffset);
      if (app.phaseFrame == stage::kGoFrame) g_sound.PlaySound(stage::kSoundGo, stage::kCueOffset);
      if (app.phaseFrame >= stage::kIntroFrames) NextPhase(app, kPhaseCrowd);
      break;
    case kPhaseCrowd:
      SpawnCrowd(app);
      break;
    case kPhaseTimeOver:
      g_player.SetTimeUp();
      if (app.phaseFrame > kTimeOverFrames) NextPhase(app, kPhaseTally);
      break;
    case kPhaseTally:
      RunTally(app);
      break;
    case kPhaseClear:
      g_player.SetClear();
      if (app.phaseFrame >= kRankedFrames) {
        Leave(app, SceneNameEntrySokai);
        return true;
      }
      break;
    case kPhaseGameOver:
      g_player.SetGameOver();
      if (app.phaseFrame >= kNotRankedFrames) {
        Leave(app, SceneTitle);
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}

bool ClockRuns(int32_t phase) {
  return phase != kPhaseIntro && phase != kPhaseTally && phase != kPhaseClear &&
         phase != kPhaseTimeOver && phase != kPhaseGameOver;
}

}  // namespace

void Application::InitSokai() {
  port::gpu::Device* device = g_graphics.GetDevice();
  g_sound.StopAll();
  stage::ShowLoadingPicture(kLoadingPicture);
  g_sun.Init(device, 0);
  g_sun.SetPosition(70, 180, 100);
  g_camera.SetDevice(device);
  g_characters.Init(device, g_graphics.GetCaps(), toonEffectAvailable);
  g_player.Load(stage::RenderMethod(*this), &g_camera, g_characters.GetToonEffect(),
                g_characters.GetToonRamp());
  EnemyLoad load = stage::ClassLoad(*this);
  load.sokai = &sokai;
  const int32_t zako[] = {kSokaiZakoClass};
  LoadEnemyClasses(zako, load);
  Player1TamaBurst::SetContext(device, &sokai);
  g_objects.Init(device);
  g_effects.Init(device);
  g_stageField.Init(device);
  g_stageField.SetDrawMode(kFieldDrawMode);
  g_stageField.LoadGround(kGround);
  g_stageField.LoadRound(kRound);
  g_stageField.LoadCollision(kCollision);
  stage::LoadHudTextures(*this, stage::kSokaiHudTextures);

  sceneFrame = 0;
  phaseFrame = 0;
  stagePhase = kPhaseIntro;
  sokai = SokaiCounters{};
  timeLeft = kStartTime;
  bonus = 0;
  stageMode.paused = 0;
  g_sound.StopAll();
  stage::PlayMusic(kMusic);
}

void Application::UpdateSokai() {
  if (StageKeys()) return;
  if (stageMode.paused) return;
  ++sceneFrame;
  ++phaseFrame;
  ++sokai.framesSinceKill;
  if (sokai.combo > sokai.maxCombo) sokai.maxCombo = sokai.combo;
  if (ClockRuns(stagePhase)) stage::RunClock(*this, false);
  if (phaseFrame == 1) EnterPhase(*this);
  if (RunPhase(*this)) return;
  stage::UpdateWorld();
}

void Application::AddSokaiKill() { sokai.AddKill(); }

void Application::ReleaseSokai() {
  const int32_t zako[] = {kSokaiZakoClass};
  UnloadEnemyClasses(zako);
  // The bursts count nowhere once the scene is gone.
  Player1TamaBurst::SetContext(nullptr, nullptr);
  stage::ReleaseWorld(*this);
}
