// Stage 3's busiest area frame, stood up as the stage-3 scene will: the
// stage-3 field, the player, the thirteen hammers the scene places, and the
// launchers it fires round the arena's centre every 100 frames with the balls
// they roll. Measured after a warm-up that fills the field: the update alone,
// and the whole frame (update and draw, presented as the game ends a frame).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "actors/BallLauncher.h"
#include "actors/Hammer.h"
#include "actors/Player.h"
#include "platform/GraphicsDevice.h"
#include "port/gpu.h"
#include "port/random.h"
#include "port/sprite.h"
#include "port/window.h"
#include "render/Camera.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

namespace {

// The thirteen hammers of stage 3, in the scene's order.
constexpr HammerSpawn kHammers[] = {
    {{-28.8f, 1.5f, -28.8f}, 0, 0, 0},    {{-28.8f, 1.5f, -28.8f}, 0, 120, 0},
    {{-28.8f, 1.5f, -28.8f}, 0, 240, 0},  {{28.8f, 1.5f, -28.8f}, 30, 0, 1},
    {{28.8f, 1.5f, -28.8f}, -30, 90, 2},  {{28.8f, 1.5f, -28.8f}, 30, 180, 1},
    {{28.8f, 1.5f, -28.8f}, -30, 270, 2}, {{-28.8f, 1.5f, 28.8f}, 0, 0, 3},
    {{-28.8f, 4.0f, 28.8f}, 0, 0, 3},     {{-28.8f, 1.5f, 28.8f}, 0, 180, 3},
    {{-28.8f, 4.0f, 28.8f}, 0, 180, 3},   {{28.8f, 0.8f, 28.8f}, 0, 0, 4},
    {{28.8f, 2.8f, 28.8f}, 0, 0, 5},
};

// The launchers the scene fires on scene frames 1 and 100 of every 200.
struct LauncherPlace {
  int frame;
  port::Vec3 at;
  float heading;
};
constexpr LauncherPlace kLaunchers[] = {{1, {5.3f, 1.2f, 0}, 90},
                                        {1, {-5.3f, 1.2f, 0}, 270},
                                        {100, {0, 1.2f, 5.3f}, 0},
                                        {100, {0, 1.2f, -5.3f}, 180}};

constexpr int kWarmUp = 400;

class Stage3 {
 public:
  bool Open(std::string* error) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!port::InitVideo(error)) return false;
    window_ = port::CreateMainWindow("bench", 640, 480, false, error);
    if (!window_ || !g_graphics.Create(window_, 0, 640, 480)) return false;
    device_ = g_graphics.GetDevice();
    cwd_.emplace(POMELVANE_RUN_DIR);
    port::CrtSrand(1);
    g_graphics.SetDefaultStates();
    g_camera.SetDevice(device_);
    g_characters.Init(device_, g_graphics.GetCaps(), 0);
    g_stageField.Init(device_);
    g_stageField.SetDrawMode(4);
    g_stageField.LoadGround("Xfile/stage3/stage3.X");
    g_stageField.LoadCollision("Xfile/stage3/collision.X");
    g_objects.Init(device_);
    g_effects.Init(device_);
    Hammer::Load(device_);
    g_player.Load(2, &g_camera, g_characters.GetToonEffect(), g_characters.GetToonRamp());
    // Looking at the centre, the hammers of the far corners behind it.
    g_player.Place(0.0f, 1.0f, -15.0f, 0.0f);
    for (const HammerSpawn& h : kHammers) Hammer::Spawn(h);
    for (int i = 0; i < kWarmUp; ++i) Update();
    return true;
  }

  void Close() {
    g_player.Release();
    g_player.alive = 0;
    Hammer::Unload();
    g_objects.Release();
    g_effects.Release();
    g_stageField.Release();
    g_characters.Release();
    cwd_.reset();
    g_graphics.Release();
    if (window_) port::DestroyMainWindow(window_);
  }

  // One stage-3 frame of the area phase.
  void Update() {
    ++sceneFrame_;
    for (const LauncherPlace& l : kLaunchers) {
      if (sceneFrame_ % 200 == l.frame)
        BallLauncher::Spawn({.at = l.at, .heading = l.heading, .owner = kOwnerEnemy});
    }
    g_player.Update();
    g_characters.UpdateAll();
    g_objects.UpdateAll();
    g_effects.UpdateAll();
  }

  void Draw() {
    g_graphics.SetFullViewport(0);
    device_->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
    g_camera.Apply();
    const port::Matrix view = g_camera.GetView();
    const port::Matrix projection = g_camera.GetProjection();
    const port::Vec4 light{0.4f, -0.8f, 0.45f, 0.0f};
    g_stageField.Draw(view, projection, light);
    g_characters.DrawAll(view, projection, light);
    g_player.Draw(view, projection, light);
    g_objects.DrawAll();
    g_effects.DrawAll(view, projection);
    port::Sprite* sprite = g_graphics.GetSprite();
    sprite->Begin();
    g_player.Draw2D(sprite);
    sprite->End();
    device_->Present();  // as the game ends a frame; nothing is read back
  }

 private:
  port::Window* window_ = nullptr;
  port::gpu::Device* device_ = nullptr;
  std::optional<testsupport::ScopedCwd> cwd_;
  int sceneFrame_ = 0;
};

void Report(benchmark::State& state) {
  state.counters["objects_alive"] = g_objects.CountAlive();
  state.counters["effect_slots"] = static_cast<double>(g_effects.Size());
}

void BM_Stage3Update(benchmark::State& state) {
  Stage3 stage;
  std::string error;
  if (!stage.Open(&error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    stage.Close();
    return;
  }
  for (auto _ : state) stage.Update();
  Report(state);
  stage.Close();
}
BENCHMARK(BM_Stage3Update)->Unit(benchmark::kMicrosecond);

void BM_Stage3Frame(benchmark::State& state) {
  Stage3 stage;
  std::string error;
  if (!stage.Open(&error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    stage.Close();
    return;
  }
  for (auto _ : state) {
    stage.Update();
    stage.Draw();
  }
  Report(state);
  stage.Close();
}
BENCHMARK(BM_Stage3Frame)->Unit(benchmark::kMillisecond);

}  // namespace
