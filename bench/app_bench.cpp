#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "port/window.h"

// One idle pass of the main loop: sample the clock and test for a due frame.
static void BM_FrameTimerIdlePass(benchmark::State& state) {
  FrameTimer timer;
  timer.Init();
  timer.SetRate(60);
  for (auto _ : state) {
    timer.Sample();
    benchmark::DoNotOptimize(timer.IsFrameDue());
  }
}
BENCHMARK(BM_FrameTimerIdlePass);

// The frame's own cost around the scene routines: dispatch and the sound flush.
static void BM_ApplicationFrameDispatch(benchmark::State& state) {
  static SceneTable table{};
  table[1].update = [](Application& app) { ++app.sceneFrame; };
  table[1].draw = [](Application& app) { ++app.phaseFrame; };
  Application app;
  app.sceneTable = &table;
  app.windowActive = 1;
  app.requestedScene = 1;
  for (auto _ : state) {
    app.Frame();
    benchmark::DoNotOptimize(app.sceneFrame);
  }
}
BENCHMARK(BM_ApplicationFrameDispatch);

namespace {

double ThreadCpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_THREAD, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

// The idle title's main loop for 30 frames: events polled, frames paced by
// the timer, each frame doing nothing. wait 0 is the loop as it was (a 1 ms
// sleep while more than 2 ms remain, polling below that), 1 the loop now
// (Wait). cpu_share is the thread's CPU time over the wall time.
void BM_IdleLoopCpuShare(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  std::string error;
  port::Window* window = nullptr;
  if (port::InitVideo(&error)) window = port::CreateMainWindow("bench", 640, 480, false, &error);
  if (!window) {
    state.SkipWithError(error.c_str());
    return;
  }
  const bool newLoop = state.range(0) != 0;
  FrameTimer timer;
  timer.Init();
  timer.SetRate(60);
  double cpu = 0, wall = 0, passes = 0;
  for (auto _ : state) {
    const double cpu0 = ThreadCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    int frames = 0;
    port::WindowEvent event;
    while (frames < 30) {
      ++passes;
      if (port::PollWindowEvent(&event)) continue;
      timer.Sample();
      if (timer.IsFrameDue()) {
        timer.Advance();
        ++frames;
      } else if (newLoop) {
        timer.Wait();
      } else if (timer.MsUntilDue() > 2.0) {
        port::SleepMs(1);
      }
    }
    cpu += ThreadCpuSeconds() - cpu0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  }
  state.counters["cpu_share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
  state.counters["passes_per_frame"] = passes / (30.0 * static_cast<double>(state.iterations()));
  port::DestroyMainWindow(window);
  port::ShutdownVideo();
}
BENCHMARK(BM_IdleLoopCpuShare)
    ->ArgName("wait")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
