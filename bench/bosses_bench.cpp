// Each stage's boss phase at its busiest: the boss placed by the stage's
// boss file, held in its entrance (the announcement and the close-up drawn
// into its own target every frame) while it fights on with every attack it
// chooses, the player firing at it. Measured through the scenes' own
// routines after a warm-up: the update alone, and the whole frame (update,
// then the draw with its HUD and the present). Nothing is read back inside
// the timed loop; the picture is read once after it, to check the close-up
// was on screen.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "actors/Boss.h"
#include "actors/EnemyClasses.h"
#include "actors/Hammer.h"
#include "actors/Player.h"
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

constexpr int kWarmUp = 300;
// The boss is kept between these life frames: past its levy pose, with the
// announcement and the close-up still showing.
constexpr int32_t kHeldFrom = 100, kHeldUntil = 230;

class BossPhase {
 public:
  bool Open(int32_t scene, std::string* error) {
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
    app_.toonEffectAvailable = 1;
    app_.windowActive = 1;
    scene_ = scene;
    app_.requestedScene = scene;
    app_.Frame();
    // Straight into the boss phase: its first frame places the boss.
    app_.stagePhase = kPhaseBoss;
    app_.phaseFrame = 0;
    for (int i = 0; i < kWarmUp; ++i) Update();
    if (!Find()) {
      *error = "no boss placed";
      return false;
    }
    return true;
  }

  void Close() {
    port::ClearTestKeys();
    app_.ReleaseStage1();
    app_.ReleaseStage3();
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
  // held on between. The boss never falls and stays in its entrance.
  void Update() {
    port::SetTestKey(port::kKeyZ, (++frame_ / 10) % 2 == 0);
    switch (scene_) {
      case SceneStage1:
        app_.UpdateStage1();
        break;
      case SceneStage2:
        app_.UpdateStage2();
        break;
      default:
        app_.UpdateStage3();
        break;
    }
    app_.timeLeft = 5000;
    if (Boss* boss = Find()) {
      boss->hitPoints = 100.0f;
      if (boss->lifeFrames >= kHeldUntil) boss->lifeFrames = kHeldFrom;
    }
  }

  void Draw() { app_.DrawStage(); }

  // close_up_pixels: the close-up's clear colour at its place on the last
  // picture (0 when no close-up was drawn there).
  void Report(benchmark::State& state, bool drawn) {
    state.counters["objects_alive"] = g_objects.CountAlive();
    state.counters["effect_slots"] = static_cast<double>(g_effects.Size());
    Boss* boss = Find();
    state.counters["close_up_target"] = boss && boss->bossClass.closeUp ? 1 : 0;
    if (!drawn || !boss) return;
    // A frame whose picture shows the close-up (life frame mod 30 below 20).
    while (boss->lifeFrames % 30 >= 20) Update();
    Draw();
    const std::vector<uint32_t> picture = g_graphics.GetDevice()->ReadBackBuffer();
    int sky = 0;
    for (int y = 150; y < 278; ++y)
      for (int x = 400; x < 528; ++x) sky += (picture[y * 640 + x] & 0xFFFFFFu) == 0x0096FFu;
    state.counters["close_up_pixels"] = sky;
  }

 private:
  static Boss* Find() {
    for (size_t i = 0; i < g_characters.Size(); ++i)
      if (auto* b = dynamic_cast<Boss*>(g_characters.At(i)); b && b->IsAlive()) return b;
    return nullptr;
  }

  Application app_;
  int32_t scene_ = SceneStage1;
  int frame_ = 0;
  port::Window* window_ = nullptr;
  bool inputStarted_ = false;
  std::optional<testsupport::ScopedCwd> cwd_;
};

const int32_t kScenes[] = {SceneStage1, SceneStage2, SceneStage3};

void Run(benchmark::State& state, bool draw) {
  BossPhase phase;
  std::string error;
  if (!phase.Open(kScenes[state.range(0)], &error)) {
    state.SkipWithError(("cannot stand the boss phase up: " + error).c_str());
    phase.Close();
    return;
  }
  for (auto _ : state) {
    phase.Update();
    if (draw) phase.Draw();
  }
  phase.Report(state, draw);
  phase.Close();
}

void BM_BossPhaseUpdate(benchmark::State& state) { Run(state, false); }
void BM_BossPhaseFrame(benchmark::State& state) { Run(state, true); }

// Arguments 0 to 2: the bosses of stages 1, 2 and 3.
BENCHMARK(BM_BossPhaseUpdate)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BossPhaseFrame)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
