// The stage scenes at their busiest: each stage in its most crowded area
// (the area whose placement file places the most, its enemies spawned, the
// player firing), and the sokai stage with its crowd at the cap and the
// player bursting. Measured through the scenes' own routines after a
// warm-up: the update alone, and the whole frame (update, then the draw with
// its HUD, presented by the scene as every frame is).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "actors/EnemyClasses.h"
#include "actors/Hammer.h"
#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "app/Application.h"
#include "app/StagePhase.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "port/random.h"
#include "port/window.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

struct SceneCase {
  int32_t scene;
  int32_t areas;
  int warmUp;  // frames in the busy phase before measuring
};

class BusyStage {
 public:
  bool Open(const SceneCase& c, std::string* error) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!port::InitVideo(error)) return false;
    window_ = port::CreateMainWindow("bench", 640, 480, false, error);
    if (!window_ || !g_graphics.Create(window_, 0, 640, 480)) return false;
    cwd_.emplace(POMELVANE_RUN_DIR);
    g_graphics.SetDefaultStates();
    port::CrtSrand(1);
    inputStarted_ = port::StartInput();
    g_input.InitKeyboard(nullptr);
    app_.LoadOptions("no-such-folder/option.sav");
    app_.LoadNormalRanking("no-such-folder/normal.sav");
    app_.LoadSokaiRanking("no-such-folder/sokai.sav");
    app_.toonEffectAvailable = 1;
    app_.windowActive = 1;
    scene_ = c.scene;
    app_.requestedScene = c.scene;
    app_.Frame();
    // The introduction's first frame placed the player (and stage 3's hammers).
    busyPhase_ = c.scene == SceneSokai ? kPhaseCrowd : BusiestArea(c);
    app_.stagePhase = busyPhase_;
    app_.phaseFrame = 0;
    for (int i = 0; i < c.warmUp; ++i) Update();
    return true;
  }

  void Close() {
    port::ClearTestKeys();
    app_.ReleaseStage3();
    app_.ReleaseSokai();
    UnloadAllEnemyClasses();
    Hammer::Unload();
    g_player.Release();
    g_player.alive = 0;
    g_objects.Release();
    g_effects.Release();
    g_stageField.Release();
    g_characters.Release();
    g_sun.mesh.Release();
    g_sun.device = nullptr;
    g_input.Release();
    if (inputStarted_) port::StopInput();
    cwd_.reset();
    g_graphics.Release();
    if (window_) port::DestroyMainWindow(window_);
  }

  // One update of the scene, the attack key pressed every tenth frame and
  // held on between (shots, charges and, in the sokai stage, bursts).
  void Update() {
    port::SetTestKey(port::kKeyZ, (++frame_ / 10) % 2 == 0);
    switch (scene_) {
      case SceneStage1:
        app_.UpdateStage1();
        break;
      case SceneStage2:
        app_.UpdateStage2();
        break;
      case SceneStage3:
        app_.UpdateStage3();
        break;
      default:
        app_.UpdateSokai();
        break;
    }
    // Time never runs out while measuring, and an area emptied by the shots
    // is spawned again.
    app_.timeLeft = 5000;
    if (app_.stagePhase != busyPhase_) {
      app_.stagePhase = busyPhase_;
      app_.phaseFrame = 0;
    }
  }

  void Draw() {
    app_.DrawStage();  // presents the frame; nothing is read back
  }

  void Report(benchmark::State& state) {
    state.counters["characters_alive"] = g_characters.CountAlive();
    state.counters["objects_alive"] = g_objects.CountAlive();
    state.counters["effect_slots"] = static_cast<double>(g_effects.Size());
  }

 private:
  // The area whose file places the most.
  int32_t BusiestArea(const SceneCase& c) {
    const std::string n = std::to_string(c.scene - SceneStage1 + 1);
    int32_t best = kPhaseArea1;
    size_t most = 0;
    for (int32_t a = 1; a <= c.areas; ++a) {
      app_.LoadAppearData(
          ("AppearData/stage" + n + "/stage" + n + "_erea" + std::to_string(a) + ".arg").c_str());
      if (app_.appearRecords.size() > most) {
        most = app_.appearRecords.size();
        best = a;
      }
    }
    return best;
  }

  Application app_;
  int32_t scene_ = SceneStage1;
  int32_t busyPhase_ = kPhaseArea1;
  int frame_ = 0;
  port::Window* window_ = nullptr;
  bool inputStarted_ = false;
  std::optional<testsupport::ScopedCwd> cwd_;
};

const SceneCase kCases[] = {
    {SceneStage1, 2, 300}, {SceneStage2, 4, 300}, {SceneStage3, 4, 300}, {SceneSokai, 0, 1200}};

void Run(benchmark::State& state, bool draw) {
  BusyStage stage;
  std::string error;
  if (!stage.Open(kCases[state.range(0)], &error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    stage.Close();
    return;
  }
  for (auto _ : state) {
    stage.Update();
    if (draw) stage.Draw();
  }
  stage.Report(state);
  stage.Close();
}

void BM_StageSceneUpdate(benchmark::State& state) { Run(state, false); }
void BM_StageSceneFrame(benchmark::State& state) { Run(state, true); }

// Arguments 0 to 3: stages 1, 2, 3 and the sokai stage.
BENCHMARK(BM_StageSceneUpdate)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StageSceneFrame)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
