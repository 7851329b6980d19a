// A four-player battle at its busiest: the four characters on the stage1
// field with every kind of their shots alive (normal shots, curving balls,
// hit boxes, homing balls, flames, mines, creatures, explosions). One frame's
// update, and one draw per viewport (the field, the four players and the
// objects from each player's camera, in its quarter of the screen). Then the
// same through the battle match scene itself: its whole frame at each draw
// interval, its update, its draw, and each layer of the draw alone.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "actors/BattlePlayer.h"
#include "actors/Player1Shots.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "app/Application.h"
#include "app/StagePhase.h"
#include "battle_shots.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "port/random.h"
#include "port/window.h"
#include "render/Camera.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

constexpr int kPlayers = 4;

struct Battle {
  port::Window* window = nullptr;
  BattlePlayer players[kPlayers];
  std::filesystem::path cwd;
  int frame = 0;

  bool Start(int method) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    cwd = std::filesystem::current_path();
    std::filesystem::current_path(POMELVANE_RUN_DIR);
    std::string error;
    if (port::InitVideo(&error)) window = port::CreateMainWindow("bench", 640, 480, false, &error);
    if (!window || !g_graphics.Create(window, 0, 640, 480)) return false;
    port::gpu::Device* device = g_graphics.GetDevice();
    g_graphics.SetDefaultStates();
    port::CrtSrand(1);
    g_input.InitKeyboard(nullptr);
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
    return true;
  }

  void TopUpShots() { TopUpEveryShot(players, frame); }

  void Update() {
    g_input.PollKeyboard();
    for (BattlePlayer& p : players) p.Update();
    g_objects.UpdateAll();
    g_effects.UpdateAll();
  }

  // One viewport per player, each a quarter of the screen.
  void Draw() {
    port::gpu::Device* device = g_graphics.GetDevice();
    // The whole picture is cleared, as the match does: clearing the last
    // viewport only would leave last frame's depth in the other three.
    device->SetViewport({0, 0, 640, 480, 0.0f, 1.0f});
    device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
    const port::Vec4 light{0.4f, -0.8f, 0.45f, 0.0f};
    for (int v = 0; v < kPlayers; ++v) {
      port::gpu::Viewport vp{static_cast<uint32_t>(v % 2) * 320,
                             static_cast<uint32_t>(v / 2) * 240,
                             320,
                             240,
                             0.0f,
                             1.0f};
      device->SetViewport(vp);
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
  }

  void Stop() {
    for (BattlePlayer& p : players) p.Release();
    BattlePlayer::LoadShared(0, nullptr, nullptr, nullptr);
    for (BattlePlayer& p : players) p.Release();
    g_objects.Release();
    g_effects.Release();
    g_stageField.Release();
    g_characters.Release();
    g_input.Release();
    g_graphics.Release();
    if (window) port::DestroyMainWindow(window);
    std::filesystem::current_path(cwd);
  }
};

void BM_BattleUpdate(benchmark::State& state) {
  Battle b;
  if (!b.Start(2)) {
    state.SkipWithError("no offscreen device");
    b.Stop();
    return;
  }
  for (int f = 0; f < 500; ++f) {
    b.TopUpShots();
    b.Update();
  }
  for (auto _ : state) {
    b.TopUpShots();
    b.Update();
  }
  state.counters["objects"] = g_objects.CountAlive();
  b.Stop();
}
BENCHMARK(BM_BattleUpdate);

// The four viewports of a frame; method 2 (fixed function) and 3 (toon).
void BM_BattleDrawFourViewports(benchmark::State& state) {
  Battle b;
  if (!b.Start(static_cast<int>(state.range(0)))) {
    state.SkipWithError("no offscreen device");
    b.Stop();
    return;
  }
  for (int f = 0; f < 500; ++f) {
    b.TopUpShots();
    b.Update();
  }
  for (auto _ : state) {
    b.Draw();
    glFinish();
  }
  state.counters["objects"] = g_objects.CountAlive();
  b.Stop();
}
BENCHMARK(BM_BattleDrawFourViewports)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// The battle match scene with four players in their fight, every
// character's shots topped up as above; player 1 also holds attack and up.
struct Match {
  port::Window* window = nullptr;
  Application app;
  std::filesystem::path cwd;
  int frame = 0;

  bool Start(int32_t interval) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    cwd = std::filesystem::current_path();
    std::filesystem::current_path(POMELVANE_RUN_DIR);
    std::string error;
    if (port::InitVideo(&error)) window = port::CreateMainWindow("bench", 640, 480, false, &error);
    if (!window || !g_graphics.Create(window, 0, 640, 480)) return false;
    g_graphics.SetDefaultStates();
    port::CrtSrand(1);
    port::StartInput();
    g_input.InitKeyboard(nullptr);
    g_characters.Init(g_graphics.GetDevice(), g_graphics.GetCaps(), 1);
    app.toonEffectAvailable = g_characters.GetToonEffect()->GetEffect() != nullptr ? 1 : 0;
    app.windowActive = 1;
    app.battle.players = kPlayers;
    app.battle.matchTime = 99000;
    app.battle.drawInterval = interval;
    app.battle.stage = 0;
    for (int i = 0; i < kPlayers; ++i) app.battle.character[i] = i + 1;
    app.requestedScene = SceneBattle;
    app.Frame();
    while (app.stagePhase == kPhaseIntro) app.Frame();
    port::SetTestKey(port::kKeyZ, true);
    port::SetTestKey(port::kKeyUp, true);
    for (int f = 0; f < 500; ++f) Step();
    return true;
  }
  void Step() {
    TopUpEveryShot(app.battlePlayers, frame);
    app.Frame();
  }
  void Stop() {
    port::ClearTestKeys();
    app.ReleaseBattle();
    BattlePlayer::LoadShared(0, nullptr, nullptr, nullptr);
    for (BattlePlayer& p : app.battlePlayers) p.Release();
    g_objects.Release();
    g_effects.Release();
    g_stageField.Release();
    g_characters.Release();
    // The sun keeps its mesh from scene to scene; not past this device.
    g_sun.mesh.Release();
    g_sun.device = nullptr;
    g_input.Release();
    port::StopInput();
    g_graphics.Release();
    if (window) port::DestroyMainWindow(window);
    std::filesystem::current_path(cwd);
  }
};

// One whole frame of the match (update, the four viewports, the HUD, the
// present) at draw interval 1, 2 and 3.
void BM_BattleMatchFrame(benchmark::State& state) {
  Match m;
  if (!m.Start(static_cast<int32_t>(state.range(0)))) {
    state.SkipWithError("no offscreen device");
    m.Stop();
    return;
  }
  for (auto _ : state) m.Step();
  state.counters["objects"] = g_objects.CountAlive();
  m.Stop();
}
BENCHMARK(BM_BattleMatchFrame)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// The match's update alone, and its draw alone at interval 1.
void BM_BattleMatchUpdate(benchmark::State& state) {
  Match m;
  if (!m.Start(1)) {
    state.SkipWithError("no offscreen device");
    m.Stop();
    return;
  }
  for (auto _ : state) {
    TopUpEveryShot(m.app.battlePlayers, m.frame);
    m.app.UpdateBattle();
  }
  state.counters["objects"] = g_objects.CountAlive();
  m.Stop();
}
BENCHMARK(BM_BattleMatchUpdate)->Unit(benchmark::kMillisecond);

void BM_BattleMatchDraw(benchmark::State& state) {
  Match m;
  if (!m.Start(1)) {
    state.SkipWithError("no offscreen device");
    m.Stop();
    return;
  }
  for (auto _ : state) {
    for (BattlePlayer& p : m.app.battlePlayers) p.animatedThisFrame = 0;  // posed once a frame
    m.app.DrawBattle();
  }
  state.counters["objects"] = g_objects.CountAlive();
  m.Stop();
}
BENCHMARK(BM_BattleMatchDraw)->Unit(benchmark::kMillisecond);

// One layer of the four viewports: 0 the field, 1 the players, 2 the
// objects with the HUD (interval 3's parts). Each ends with a present, so
// the drawing is finished inside the time taken.
void BM_BattleMatchDrawLayer(benchmark::State& state) {
  Match m;
  if (!m.Start(3)) {
    state.SkipWithError("no offscreen device");
    m.Stop();
    return;
  }
  const int32_t part = static_cast<int32_t>(state.range(0));
  m.app.sceneFrame = 3000 + part;
  for (auto _ : state) {
    for (BattlePlayer& p : m.app.battlePlayers) p.animatedThisFrame = 0;  // posed once a frame
    m.app.DrawBattle();
    if (part != 2) g_graphics.Present();
  }
  state.counters["objects"] = g_objects.CountAlive();
  m.Stop();
}
BENCHMARK(BM_BattleMatchDrawLayer)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
