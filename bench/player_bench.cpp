// One stage frame's work of the stage player: Player::Update among twenty
// live shots on the stage1 field, and Player::Draw with the enemy gauge in
// each draw method.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "port/input.h"
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

constexpr int kShots = 20;

// The stage as the stage scenes stand it up, with g_player loaded and placed.
class Stage {
 public:
  bool Open(benchmark::State& state, int method) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    if (!port::InitVideo(&error) ||
        !(window_ = port::CreateMainWindow("bench", 640, 480, false, &error)) ||
        !g_graphics.Create(window_, 0, 640, 480)) {
      state.SkipWithError(error.empty() ? "no device" : error.c_str());
      return false;
    }
    cwd_.emplace(POMELVANE_RUN_DIR);
    port::gpu::Device* device = g_graphics.GetDevice();
    g_graphics.SetDefaultStates();
    port::CrtSrand(1);
    g_input.InitKeyboard(nullptr);
    g_sound.stageClips.resize(kStageSoundCount);
    g_camera.SetDevice(device);
    g_characters.Init(device, g_graphics.GetCaps(), method == 3 ? 1 : 0);
    g_stageField.Init(device);
    g_stageField.LoadGround("Xfile/stage1/stage1.X");
    g_stageField.LoadRound("Xfile/stage1/round.X");
    g_stageField.LoadCollision("Xfile/stage1/stage1_collision.X");
    g_objects.Init(device);
    g_effects.Init(device);
    g_player.Load(method, &g_camera, g_characters.GetToonEffect(), g_characters.GetToonRamp());
    g_player.Place(0.0f, 1.0f, 0.0f, 0.0f);
    return true;
  }
  ~Stage() {
    port::ClearTestKeys();
    g_player.Release();
    g_player.alive = 0;
    g_objects.Release();
    g_effects.Release();
    g_stageField.Release();
    g_characters.Release();
    g_input.Release();
    g_sound.stageClips.clear();
    g_graphics.Release();
    if (window_) port::DestroyMainWindow(window_);
    port::ShutdownVideo();
  }

 private:
  port::Window* window_ = nullptr;
  std::optional<testsupport::ScopedCwd> cwd_;
};

// Twenty shots of the enemy side stand around the field, alive, out of
// reach: the player's hit test measures each one every frame. The player
// runs in circles, kicking up dust, probing the ground ahead and the walls.
void BM_PlayerUpdate(benchmark::State& state) {
  Stage stage;
  if (!stage.Open(state, 2)) return;
  for (int i = 0; i < kShots; ++i) {
    Tama* t = Tama::Spawn({.at = {-30.0f + 3.0f * static_cast<float>(i), 0.8f, 30.0f},
                           .heading = 0.0f,
                           .owner = kOwnerEnemy});
    t->frameCounter = -1000000;  // never ends on its own
  }
  port::SetTestKey(port::kKeyUp, true);
  port::SetTestKey(port::kKeyRight, true);
  for (auto _ : state) {
    g_player.Update();
    for (SoundClip& clip : g_sound.stageClips) clip.queued = 0;
  }
  state.counters["live shots"] = g_objects.CountAlive();
}
BENCHMARK(BM_PlayerUpdate)->Unit(benchmark::kMicrosecond);

// The figure (posed, both halves), its shadow and the enemy gauge, drawn
// and presented as the game ends a frame; range(0) is the draw method, 0
// draws nothing (the clear and the present alone).
void BM_PlayerDraw(benchmark::State& state) {
  const int method = static_cast<int>(state.range(0));
  Stage stage;
  if (!stage.Open(state, method == 0 ? 2 : method)) return;
  port::gpu::Device* device = g_graphics.GetDevice();
  port::Sprite* sprite = g_graphics.GetSprite();
  port::SetTestKey(port::kKeyUp, true);
  port::SetTestKey(port::kKeyZ, true);
  for (int i = 0; i < 30; ++i) g_player.Update();  // running, the arms in the attack pose
  const port::Vec4 light{0.4f, -0.8f, 0.45f, 0.0f};
  for (auto _ : state) {
    g_player.gaugeTimer = 0;
    g_player.gaugeValue = 5.0f;
    device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
    if (method != 0) {
      g_player.Draw(g_camera.GetView(), g_camera.GetProjection(), light);
      sprite->Begin();
      g_player.Draw2D(sprite);
      sprite->End();
    }
    device->Present();  // nothing is read back
  }
}
BENCHMARK(BM_PlayerDraw)->Arg(0)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
