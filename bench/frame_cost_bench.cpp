// The whole frame of each kind of scene, for the frame budget of a small
// machine: update, draw, present, and the GL work finished (glFinish, no read
// back). The title; stage 1 in its busiest area with the player firing; the
// sokai stage with its crowd of 100; a four-player battle drawn in four
// viewports with every player firing and charging its large attacks as fast
// as the controls allow, fixed function (2) and toon (3), and the same battle
// overloaded with every character's shots topped up beyond that. Run with
// LP_NUM_THREADS=0 for one rasterising thread. The stage and battle frames run
// with the device's quad gathering off (0) and on (1), and count the draws
// sent per frame.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "actors/BattlePlayer.h"
#include "actors/EnemyClasses.h"
#include "actors/Hammer.h"
#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/StagePhase.h"
#include "battle_fire.h"
#include "battle_shots.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "port/random.h"
#include "port/window.h"
#include "render/Camera.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

// The window, the device and the run folder of one benchmark.
class Rig {
 public:
  bool Open(std::string* error) {
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
    return true;
  }
  void Close() {
    port::ClearTestKeys();
    g_input.Release();
    if (inputStarted_) port::StopInput();
    cwd_.reset();
    g_graphics.Release();
    if (window_) port::DestroyMainWindow(window_);
    window_ = nullptr;
  }

 private:
  port::Window* window_ = nullptr;
  bool inputStarted_ = false;
  std::optional<testsupport::ScopedCwd> cwd_;
};

// The title with default files, past its first 30 frames.
void StartTitle(Application& app) {
  app.LoadNormalRanking("no-such-folder/normal.sav");
  app.LoadSokaiRanking("no-such-folder/sokai.sav");
  app.LoadOptions("no-such-folder/option.sav");
  app.windowActive = 1;
  app.requestedScene = SceneTitle;
  for (int i = 0; i < 30; ++i) app.Frame();
  glFinish();
}

void BM_FrameCostTitle(benchmark::State& state) {
  Rig rig;
  std::string error;
  if (!rig.Open(&error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    rig.Close();
    return;
  }
  {
    Application app;
    StartTitle(app);
    // Argument 1: a depth clear before each frame, so the title cannot
    // present its kept picture and draws every frame.
    const bool redraw = state.range(0) == 1;
    port::gpu::Device* device = g_graphics.GetDevice();
    for (auto _ : state) {
      if (redraw) device->Clear(port::gpu::ClearZBuffer, 0);
      app.Frame();
      glFinish();
    }
    app.ReleaseSceneTextures();
  }
  rig.Close();
}
BENCHMARK(BM_FrameCostTitle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

double ProcessCpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

// The idle title as the main loop runs it: 60 frames a second paced by the
// frame timer, each frame updated, drawn and presented. cpu_share_pct is the
// whole process's CPU time (the rasteriser's threads too) over the wall time.
void BM_FrameCostIdleTitleShare(benchmark::State& state) {
  Rig rig;
  std::string error;
  if (!rig.Open(&error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    rig.Close();
    return;
  }
  double cpu = 0, wall = 0;
  {
    Application app;
    StartTitle(app);
    FrameTimer timer;
    timer.Init();
    timer.SetRate(60);
    for (auto _ : state) {
      const double cpu0 = ProcessCpuSeconds();
      const auto wall0 = std::chrono::steady_clock::now();
      for (int frames = 0; frames < 60;) {
        timer.Sample();
        if (timer.IsFrameDue()) {
          timer.Advance();
          app.Frame();
          ++frames;
        } else {
          timer.Wait();
        }
      }
      glFinish();
      cpu += ProcessCpuSeconds() - cpu0;
      wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    }
    app.ReleaseSceneTextures();
  }
  state.counters["cpu_share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
  rig.Close();
}
BENCHMARK(BM_FrameCostIdleTitleShare)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Stage 1's busiest area (0) or the sokai crowd (1), through the scene's own routines.
void BM_FrameCostStage(benchmark::State& state) {
  const bool sokai = state.range(0) == 1;
  const bool regroup = state.range(1) == 1;
  Rig rig;
  std::string error;
  if (!rig.Open(&error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    rig.Close();
    return;
  }
  {
    Application app;
    app.LoadOptions("no-such-folder/option.sav");
    app.LoadNormalRanking("no-such-folder/normal.sav");
    app.LoadSokaiRanking("no-such-folder/sokai.sav");
    app.toonEffectAvailable = 1;
    app.windowActive = 1;
    app.requestedScene = sokai ? SceneSokai : SceneStage1;
    app.Frame();
    // Stage 1's area whose file places the most; the sokai crowd grows to its
    // cap while nobody fires.
    int32_t phase = kPhaseCrowd;
    if (!sokai) {
      size_t most = 0;
      for (int32_t a = 1; a <= 2; ++a) {
        app.LoadAppearData(("AppearData/stage1/stage1_erea" + std::to_string(a) + ".arg").c_str());
        if (app.appearRecords.size() >= most) {
          most = app.appearRecords.size();
          phase = a;
        }
      }
    }
    int frame = 0;
    auto update = [&] {
      if (!sokai) port::SetTestKey(port::kKeyZ, (++frame / 10) % 2 == 0);
      sokai ? app.UpdateSokai() : app.UpdateStage1();
      app.timeLeft = 5000;
      if (app.stagePhase != phase) {
        app.stagePhase = phase;
        app.phaseFrame = 0;
      }
    };
    app.stagePhase = phase;
    app.phaseFrame = 0;
    for (int i = 0; i < 1200; ++i) update();
    port::gpu::Device* device = g_graphics.GetDevice();
    device->SetQuadRegrouping(regroup);
    app.DrawStage();
    glFinish();
    const uint64_t draws = device->DrawCalls();
    for (auto _ : state) {
      update();
      app.DrawStage();
      glFinish();
    }
    state.counters["draws"] = benchmark::Counter(static_cast<double>(device->DrawCalls() - draws),
                                                 benchmark::Counter::kAvgIterations);
    state.counters["characters"] = g_characters.CountAlive();
    state.counters["objects"] = g_objects.CountAlive();
    app.ReleaseStage3();
    app.ReleaseSokai();
  }
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
  rig.Close();
}
BENCHMARK(BM_FrameCostStage)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

constexpr int kPlayers = 4;
// Frames of the rules-driven match: past its warm-up, then timed. The timed
// stretch holds a whole charge cycle of every player (large attack 1, then 2).
constexpr int kBattleWarmUp = 600;
constexpr int kBattleTimedFrames = 600;

// Four players on the stage1 field, one viewport each; method 2 or 3 (toon).
// Rules-driven, every player charges and lets go for its large attacks as
// soon as it can (ChargingFire); overloaded, every character's shots are
// topped up every 40 frames, more than the controls can fire.
void RunBattleFrames(benchmark::State& state, int method, bool regroup, bool overload) {
  Rig rig;
  std::string error;
  if (!rig.Open(&error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    rig.Close();
    return;
  }
  ChargingFire fire;
  if (!overload && !fire.Open()) {
    state.SkipWithError("the virtual joysticks could not be opened");
    fire.Close();
    rig.Close();
    return;
  }
  port::gpu::Device* device = g_graphics.GetDevice();
  BattlePlayer players[kPlayers];
  g_camera.SetDevice(device);
  g_characters.Init(device, g_graphics.GetCaps(), method == 3 ? 1 : 0);
  g_stageField.Init(device);
  g_stageField.LoadGround("Xfile/stage1/stage1.X");
  g_stageField.LoadRound("Xfile/stage1/round.X");
  g_stageField.LoadCollision("Xfile/stage1/stage1_collision.X");
  g_objects.Init(device);
  g_effects.Init(device);
  BattlePlayer::LoadShared(kPlayers, players, g_characters.GetToonEffect(),
                           g_characters.GetToonRamp());
  const port::Vec3 at[kPlayers] = {{0, 1, -6}, {6, 1, 0}, {0, 1, 6}, {-6, 1, 0}};
  const float heading[kPlayers] = {0, 270, 180, 90};
  for (int i = 0; i < kPlayers; ++i) {
    players[i].LoadModel(method, i + 1);
    players[i].Init(at[i].x, at[i].y, at[i].z, heading[i], kOwnerBattlePlayer1 + i);
    players[i].StartFight();
  }
  int frame = 0;
  auto update = [&] {
    if (overload) {
      TopUpEveryShot(players, frame);
      g_input.PollKeyboard();
    } else {
      fire.Press(players);
    }
    for (BattlePlayer& p : players) p.Update();
    g_objects.UpdateAll();
    g_effects.UpdateAll();
  };
  auto draw = [&] {
    // The whole picture is cleared, as the match does: clearing the last
    // viewport only would leave last frame's depth in the other three.
    device->SetViewport({0, 0, 640, 480, 0.0f, 1.0f});
    device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
    const port::Vec4 light{0.4f, -0.8f, 0.45f, 0.0f};
    for (int v = 0; v < kPlayers; ++v) {
      device->SetViewport({static_cast<uint32_t>(v % 2) * 320, static_cast<uint32_t>(v / 2) * 240,
                           320, 240, 0.0f, 1.0f});
      players[v].ApplyCamera();
      g_camera.Apply();
      const port::Matrix view = g_camera.GetView();
      const port::Matrix projection = g_camera.GetProjection();
      g_stageField.Draw(view, projection, light);
      for (BattlePlayer& p : players) {
        p.animatedThisFrame = v == 0 ? 0 : 1;
        p.Draw(view, projection, light);
      }
      g_objects.DrawAll();
      g_effects.DrawAll(view, projection);
    }
    g_graphics.Present();
    glFinish();
  };
  device->SetQuadRegrouping(regroup);
  for (int f = 0; f < (overload ? 500 : kBattleWarmUp); ++f) update();
  draw();
  const uint64_t draws = device->DrawCalls();
  const int largeAttacksBefore = fire.LargeAttacks();
  std::vector<double> frameMs;
  int32_t mostObjects = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    update();
    draw();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(ms / 1000.0);
    frameMs.push_back(ms);
    mostObjects = std::max(mostObjects, g_objects.CountAlive());
  }
  std::sort(frameMs.begin(), frameMs.end());
  if (!frameMs.empty()) {
    state.counters["p50_ms"] = frameMs[frameMs.size() / 2];
    state.counters["p90_ms"] = frameMs[frameMs.size() * 9 / 10];
    state.counters["max_ms"] = frameMs.back();
  }
  state.counters["most_objects"] = mostObjects;
  if (!overload) state.counters["large_attacks"] = fire.LargeAttacks() - largeAttacksBefore;
  state.counters["draws"] = benchmark::Counter(static_cast<double>(device->DrawCalls() - draws),
                                               benchmark::Counter::kAvgIterations);
  state.counters["objects"] = g_objects.CountAlive();
  for (BattlePlayer& p : players) p.Release();
  BattlePlayer::LoadShared(0, nullptr, nullptr, nullptr);
  g_objects.Release();
  g_effects.Release();
  g_stageField.Release();
  g_characters.Release();
  // The pads are closed before their joysticks go, as a match ends.
  g_input.Release();
  fire.Close();
  rig.Close();
}

void BM_FrameCostBattle(benchmark::State& state) {
  RunBattleFrames(state, static_cast<int>(state.range(0)), state.range(1) == 1, false);
}

void BM_FrameCostBattleOverload(benchmark::State& state) {
  RunBattleFrames(state, static_cast<int>(state.range(0)), true, true);
}
BENCHMARK(BM_FrameCostBattle)
    ->ArgsProduct({{2, 3}, {0, 1}})
    ->Iterations(kBattleTimedFrames)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_FrameCostBattleOverload)
    ->DenseRange(2, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
