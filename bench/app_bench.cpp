#include <benchmark/benchmark.h>

#include "app/Application.h"
#include "app/FrameTimer.h"

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
