// One whole frame (update and draw, presented) of the menu scenes with the
// data set's textures: the title, and the ranking page and name entry, whose
// rows of digits and letters are the most sprites any of them draws.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Application.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "port/window.h"

namespace {

void MenuSceneFrame(benchmark::State& state, int32_t scene) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(POMELVANE_RUN_DIR);
  std::string error;
  port::Window* window = nullptr;
  if (port::InitVideo(&error)) window = port::CreateMainWindow("bench", 640, 480, false, &error);
  if (!window || !g_graphics.Create(window, 0, 640, 480)) {
    state.SkipWithError(error.c_str());
  } else {
    g_graphics.SetDefaultStates();
    g_input.InitKeyboard(nullptr);
    static Application app;  // a scene of its own; the program's g_app stays untouched
    app.LoadNormalRanking("no such file");
    app.LoadSokaiRanking("no such file");
    app.LoadOptions("no such file");
    app.windowActive = 1;
    app.rankPlace = 0;
    app.requestedScene = scene;
    app.Frame();
    for (auto _ : state) {
      app.Frame();
      benchmark::DoNotOptimize(app.sceneFrame);
    }
    app.ReleaseSceneTextures();
    g_input.Release();
  }
  g_graphics.Release();
  if (window) port::DestroyMainWindow(window);
  port::ShutdownVideo();
  std::filesystem::current_path(cwd);
}

void BM_TitleFrame(benchmark::State& state) { MenuSceneFrame(state, SceneTitle); }
void BM_RankingPageFrame(benchmark::State& state) { MenuSceneFrame(state, SceneRanking1); }
void BM_NameEntryFrame(benchmark::State& state) { MenuSceneFrame(state, SceneNameEntry1); }

}  // namespace

BENCHMARK(BM_TitleFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RankingPageFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NameEntryFrame)->Unit(benchmark::kMillisecond);
