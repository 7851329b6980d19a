// The frame-time report: every scene of the game driven through
// Application::Frame with scripted keys and pads (seeded), the stages area by
// area and in their boss phases, the battle match with two and four players.
// Per scene, the 50th and 99th percentile of the update alone and of the
// whole frame (update, draw and present, the GL work finished), in wall time
// and in CPU time, beside the 16.7 ms a frame has at 60 frames a second.
// Wall time is what a player sees on an idle machine; CPU time (the update's
// thread, the whole process for the frame, the GL worker threads included)
// still means something when other work shares the cores; run under
// `chrt -f 1` there, the wall time is the uncontended one.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/StagePhase.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "port/random.h"
#include "port/window.h"

namespace {

constexpr double kBudgetMs = 1000.0 / 60.0;
// The machine the budget is for. A frame there takes about its main thread's
// CPU time plus the rasterizer threads' CPU time shared over the cores
// (idle8_*): an estimate that holds while the cores are busy with other work.
constexpr double kCores = 8.0;

double Ms(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}
double WallMs() { return Ms(CLOCK_MONOTONIC); }

// The update of the current scene, timed through a copy of the game's table.
struct UpdateTimes {
  double wall = 0, cpu = 0;
};
UpdateTimes g_lastUpdate;
SceneTable g_timedTable;

void TimedUpdate(Application& app) {
  const SceneRoutines& original = GameSceneTable()[static_cast<size_t>(app.currentScene)];
  const double w0 = WallMs(), c0 = Ms(CLOCK_THREAD_CPUTIME_ID);
  original.update(app);
  g_lastUpdate = {WallMs() - w0, Ms(CLOCK_THREAD_CPUTIME_ID) - c0};
}

const SceneTable& TimedTable() {
  g_timedTable = GameSceneTable();
  for (SceneRoutines& r : g_timedTable)
    if (r.update) r.update = &TimedUpdate;
  return g_timedTable;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size())));
  return v[std::min(v.size(), std::max<size_t>(rank, 1)) - 1];
}

enum class Script { kMenu, kStage, kBattle, kNone };

struct Segment {
  const char* name;
  int32_t scene;
  int32_t phase;  // stage scenes: the phase held; -1 any
  int frames;
  Script script;
  int32_t players = 0;  // battle settings
  int32_t introTarget = SceneNone;
};

// The run, scene by scene.
const Segment kSegments[] = {
    {"title", SceneTitle, -1, 300, Script::kMenu},
    {"stage_intro", SceneStageIntro, -1, 240, Script::kNone, 0, SceneStage1},
    {"stage1_area1", SceneStage1, kPhaseArea1, 300, Script::kStage},
    {"stage1_area2", SceneStage1, kPhaseArea2, 300, Script::kStage},
    {"stage1_boss", SceneStage1, kPhaseBoss, 300, Script::kStage},
    {"stage2_area1", SceneStage2, kPhaseArea1, 300, Script::kStage},
    {"stage2_area2", SceneStage2, kPhaseArea2, 300, Script::kStage},
    {"stage2_area3", SceneStage2, kPhaseArea3, 300, Script::kStage},
    {"stage2_area4", SceneStage2, kPhaseArea4, 300, Script::kStage},
    {"stage2_boss", SceneStage2, kPhaseBoss, 300, Script::kStage},
    {"stage3_area1", SceneStage3, kPhaseArea1, 300, Script::kStage},
    {"stage3_area2", SceneStage3, kPhaseArea2, 300, Script::kStage},
    {"stage3_area3", SceneStage3, kPhaseArea3, 300, Script::kStage},
    {"stage3_area4", SceneStage3, kPhaseArea4, 300, Script::kStage},
    {"stage3_boss", SceneStage3, kPhaseBoss, 300, Script::kStage},
    {"sokai", SceneSokai, kPhaseCrowd, 600, Script::kStage},
    {"battle_settings", SceneBattleSettings, -1, 240, Script::kMenu},
    {"character_select", SceneCharacterSelect, -1, 240, Script::kNone, 4},
    {"stage_select", SceneStageSelect, -1, 240, Script::kNone, 4},
    {"battle_2p", SceneBattle, -1, 600, Script::kBattle, 2},
    {"battle_4p_split", SceneBattle, -1, 600, Script::kBattle, 4},
    {"options", SceneOptions, -1, 240, Script::kMenu},
    {"buttons_1p", SceneButtonConfig1P, -1, 240, Script::kMenu},
    {"buttons_2p4p", SceneButtonConfig2P4P, -1, 240, Script::kMenu},
    {"ranking", SceneRanking1, -1, 240, Script::kNone},
    {"name_entry", SceneNameEntry1, -1, 240, Script::kNone},
};

// The game as the program starts it, in the run folder, with pads for the
// battle players.
class Game {
 public:
  bool Open(std::string* error) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(POMELVANE_RUN_DIR);
    if (!port::InitVideo(error)) return false;
    video_ = true;
    window_ = port::CreateMainWindow("bench", 640, 480, false, error);
    if (!window_) return false;
    inputStarted_ = port::StartInput();
    for (int i = 0; i < 3; ++i) port::AttachVirtualPad(2, port::kPadButtonCount);
    g_app.ReadOptionFile();
    if (!g_app.Init(window_, 0, 640, 480)) return false;
    g_app.windowActive = 1;
    g_app.sceneTable = &TimedTable();
    return true;
  }

  void Close() {
    port::ClearTestKeys();
    g_app.currentScene = SceneNone;
    g_app.requestedScene = SceneNone;
    g_app.sceneTable = nullptr;
    g_app.ReleaseSceneTextures();
    g_app.Shutdown();
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
    if (inputStarted_) port::StopInput();
    if (window_) port::DestroyMainWindow(window_);
    if (video_) port::ShutdownVideo();
    std::filesystem::current_path(cwd_);
  }

 private:
  port::Window* window_ = nullptr;
  bool video_ = false;
  bool inputStarted_ = false;
  std::filesystem::path cwd_;
};

// Keys and pad buttons held for a few frames at a time, drawn from a seeded
// generator: menus only move their cursors, players walk, turn, fire,
// charge, jump and side-step.
class Input {
 public:
  Input(Script script, uint32_t seed) : script_(script), rng_(seed) {}

  void Step(int frame) {
    if (script_ == Script::kNone || frame % 12 != 0) return;
    static const int kMenuKeys[] = {port::kKeyUp, port::kKeyDown, port::kKeyLeft, port::kKeyRight};
    static const int kPlayKeys[] = {port::kKeyUp, port::kKeyDown, port::kKeyLeft, port::kKeyRight,
                                    port::kKeyZ,  port::kKeyX,    port::kKeyC};
    if (script_ == Script::kMenu) {
      for (int k : kMenuKeys) port::SetTestKey(k, false);
      // Down for one step in three, so the cursor moves and stops.
      if (rng_() % 3 == 0) port::SetTestKey(kMenuKeys[rng_() % 4], true);
      return;
    }
    for (int k : kPlayKeys) port::SetTestKey(k, rng_() % 3 == 0);
    port::SetTestKey(port::kKeyZ, rng_() % 4 != 0);  // firing most of the time
    for (int pad = 0; pad < port::AttachedPadCount(); ++pad) {
      for (int b = 0; b < 4; ++b) port::SetVirtualPadButton(pad, b, rng_() % 3 == 0);
      for (int axis = 0; axis < 2; ++axis)
        port::SetVirtualPadAxis(pad, axis,
                                static_cast<int16_t>((static_cast<int>(rng_() % 3) - 1) * 32767));
    }
  }

 private:
  Script script_;
  std::mt19937 rng_;
};

// Enters the segment's scene and gets it to the state measured.
void EnterSegment(const Segment& s) {
  port::ClearTestKeys();
  g_app.currentScene = SceneNone;
  g_app.stageMode.introTarget = s.introTarget;
  if (s.players) {
    g_app.battle.players = s.players;
    for (int i = 0; i < 4; ++i) {
      g_app.battle.character[i] = i + 1;
      g_app.battle.decided[i] = 1;
    }
  }
  g_app.result.rankPlace = 0;
  g_app.result.time = 1000;
  g_app.result.stages = 3;
  g_app.requestedScene = s.scene;
  g_app.Frame();
  if (s.phase >= 0) {
    // The introduction's first frame placed the player; then the phase itself.
    g_app.stagePhase = s.phase;
    g_app.phaseFrame = 0;
  }
}

// Keeps the segment where it is measured: the stage clock full, a phase
// that ended begun again (a cleared area spawns again), a scene that was
// left entered again.
void HoldSegment(const Segment& s) {
  if (s.phase >= 0) {
    g_app.timeLeft = 5000;
    if (g_app.stagePhase != s.phase) {
      g_app.stagePhase = s.phase;
      g_app.phaseFrame = 0;
    }
  }
  if (g_app.requestedScene != SceneNone && g_app.requestedScene != s.scene) {
    g_app.ReleaseSceneTextures();
    EnterSegment(s);
  }
}

void BM_FrameReport(benchmark::State& state, const Segment* s) {
  Game game;
  std::string error;
  if (!game.Open(&error)) {
    state.SkipWithError(("no game: " + error).c_str());
    game.Close();
    return;
  }
  port::CrtSrand(1);
  EnterSegment(*s);
  Input input(s->script, 7);
  std::vector<double> updateWall, updateCpu, frameWall, frameCpu, frameMain, frameIdle;
  int frame = 0;
  for (auto _ : state) {
    input.Step(frame++);
    // A frame that enters a scene loads it; it is left out.
    const bool measured = g_app.requestedScene == SceneNone && g_app.currentScene == s->scene;
    g_lastUpdate = {};
    const double w0 = WallMs(), c0 = Ms(CLOCK_PROCESS_CPUTIME_ID), m0 = Ms(CLOCK_THREAD_CPUTIME_ID);
    g_app.Frame();
    glFinish();
    const double wall = WallMs() - w0, cpu = Ms(CLOCK_PROCESS_CPUTIME_ID) - c0,
                 main = Ms(CLOCK_THREAD_CPUTIME_ID) - m0;
    if (measured) {
      updateWall.push_back(g_lastUpdate.wall);
      updateCpu.push_back(g_lastUpdate.cpu);
      frameWall.push_back(wall);
      frameCpu.push_back(cpu);
      frameMain.push_back(main);
      frameIdle.push_back(main + std::max(0.0, cpu - main) / kCores);
    }
    HoldSegment(*s);
  }
  state.counters["frames"] = static_cast<double>(frameWall.size());
  state.counters["upd_p50_ms"] = Percentile(updateWall, 0.5);
  state.counters["upd_p99_ms"] = Percentile(updateWall, 0.99);
  state.counters["frame_p50_ms"] = Percentile(frameWall, 0.5);
  state.counters["frame_p99_ms"] = Percentile(frameWall, 0.99);
  state.counters["budget_ms"] = kBudgetMs;
  state.counters["upd_cpu_p99"] = Percentile(updateCpu, 0.99);
  state.counters["frame_cpu_p50"] = Percentile(frameCpu, 0.5);
  state.counters["frame_cpu_p99"] = Percentile(frameCpu, 0.99);
  state.counters["main_cpu_p99"] = Percentile(frameMain, 0.99);
  state.counters["idle8_p50_ms"] = Percentile(frameIdle, 0.5);
  state.counters["idle8_p99_ms"] = Percentile(frameIdle, 0.99);
  game.Close();
}

const bool kRegistered = [] {
  for (const Segment& s : kSegments) {
    benchmark::RegisterBenchmark((std::string("BM_FrameReport/") + s.name).c_str(), BM_FrameReport,
                                 &s)
        ->Iterations(s.frames)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
