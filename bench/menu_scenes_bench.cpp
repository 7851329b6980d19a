// One whole frame (update and draw, presented) of the menu scenes with the
// data set's textures: the title; the ranking page and name entry, whose rows
// of digits and letters are the most sprites any of them draws (the ranking
// page as it stays, presenting its kept picture, and drawn every frame); the
// character select with four players, each figure rendered into the shared
// panel picture and drawn before the next (toon-shaded and fixed function).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Application.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "port/gpu.h"
#include "port/window.h"
#include "world/CharacterList.h"
#include "world/Sun.h"

namespace {

void MenuSceneFrame(benchmark::State& state, int32_t scene, int32_t toon = 0, bool redraw = false) {
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
    app.result.rankPlace = 0;
    app.battle.players = 4;
    app.toonEffectAvailable = toon;
    app.requestedScene = scene;
    app.Frame();
    port::gpu::Device* device = g_graphics.GetDevice();
    for (auto _ : state) {
      // A depth clear: a page that stays cannot present its kept picture.
      if (redraw) device->Clear(port::gpu::ClearZBuffer, 0);
      app.Frame();
      benchmark::DoNotOptimize(app.sceneFrame);
    }
    if (scene == SceneCharacterSelect && !SelectModel::PanelTexture())
      state.SkipWithError("no panel picture");
    app.ReleaseCharacterSelect();
    app.ReleaseSceneTextures();
    g_characters.Release();
    g_sun.mesh.Release();
    g_input.Release();
  }
  g_graphics.Release();
  if (window) port::DestroyMainWindow(window);
  port::ShutdownVideo();
  std::filesystem::current_path(cwd);
}

void BM_TitleFrame(benchmark::State& state) { MenuSceneFrame(state, SceneTitle); }
void BM_RankingPageFrame(benchmark::State& state) {
  MenuSceneFrame(state, SceneRanking1, 0, state.range(0) == 1);
}
void BM_NameEntryFrame(benchmark::State& state) { MenuSceneFrame(state, SceneNameEntry1); }
void BM_CharacterSelectFrame(benchmark::State& state) {
  MenuSceneFrame(state, SceneCharacterSelect, static_cast<int32_t>(state.range(0)));
}

}  // namespace

BENCHMARK(BM_TitleFrame)->Unit(benchmark::kMillisecond);
// 0: the page as it stays, presenting its kept picture; 1: drawn every frame.
BENCHMARK(BM_RankingPageFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NameEntryFrame)->Unit(benchmark::kMillisecond);
// 1: toon-shaded figures, 0: fixed function.
BENCHMARK(BM_CharacterSelectFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
