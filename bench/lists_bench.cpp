// Updating and drawing the three lists with a stage's worth of crowd: 100
// characters, 300 objects and 500 effects alive. The update walks stand-ins
// with a simple actor's per-frame work; the draw shows real ones: zako1s,
// toon-shaded with their shadows, and the enemies' ball bullets.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "actors/EnemyTama.h"
#include "actors/Zako1.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "port/window.h"
#include "render/Camera.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"
#include "world/ShockWaveEffect.h"
#include "world/ThunderEffect.h"

namespace {

// Stand-ins with the per-frame work of a simple actor: a step and a turn.
class Walker : public Character {
 public:
  void Update() override {
    if (!alive) return;
    angle.y = TurnToward(angle.y + 90.0f, angle.y, 1.5f);
    position += DirectionFromAngles(0.0f, angle.y, 0.0f) * 0.05f;
  }
};

class Shot : public DynamicObject {
 public:
  void Update() override {
    if (!alive) return;
    position += DirectionFromAngles(rotation.x, rotation.y, 0.0f) * speed;
    if (++age_ > 200) age_ = 0;
  }

 private:
  int age_ = 0;
};

constexpr int kCharacters = 100;
constexpr int kObjects = 300;
constexpr int kEffects = 500;

void Populate() {
  g_characters.Clear();
  g_objects.Clear();
  g_effects.Clear();
  for (int i = 0; i < kCharacters; ++i) {
    auto c = std::make_unique<Walker>();
    c->kind = kCharacterZako1;
    c->alive = 1;
    c->position = {static_cast<float>(i % 10) * 3.0f, 0.0f, static_cast<float>(i / 10) * 3.0f};
    g_characters.Add(std::move(c));
  }
  for (int i = 0; i < kObjects; ++i) {
    auto o = std::make_unique<Shot>();
    o->type = kObjectTama;
    o->alive = 1;
    o->speed = 0.1f;
    o->rotation = {0.0f, static_cast<float>(i), 0.0f};
    g_objects.Add(std::move(o));
  }
}

// Keeps kEffects alive: every frame the ones that ended are spawned again,
// as the actors do, through the list's reuse.
void TopUpEffects() {
  int active = 0;
  for (size_t i = 0; i < g_effects.Size(); ++i) {
    if (g_effects.At(i)->IsActive()) ++active;
  }
  for (int i = active; i < kEffects; ++i) {
    const float x = static_cast<float>(i % 20) - 10.0f;
    const float z = static_cast<float>(i / 20 % 20) - 10.0f;
    switch (i % 10) {
      case 0:
        ThunderEffect::Spawn({.at = {x, 0, z}});
        break;
      case 1:
        ShockWaveEffect::Spawn({.at = {x, 0, z}});
        break;
      case 2:
        ParticleEffect::Spawn({.at = {x, 1, z}, .speed = 0.02f, .kind = kParticleSmoke});
        break;
      default:
        ParticleEffect::Spawn({.at = {x, 1, z},
                               .pitch = -45.0f,
                               .yaw = static_cast<float>(i),
                               .speed = 0.05f,
                               .kind = kParticleGlow});
        break;
    }
  }
}

void BM_UpdateLists(benchmark::State& state) {
  Populate();
  TopUpEffects();
  for (auto _ : state) {
    g_characters.UpdateAll();
    g_objects.UpdateAll();
    g_effects.UpdateAll();
    TopUpEffects();
  }
  state.counters["characters"] = g_characters.CountAlive();
  state.counters["objects"] = g_objects.CountAlive();
  state.counters["effect_slots"] = static_cast<double>(g_effects.Size());
}
BENCHMARK(BM_UpdateLists);

// Real actors for the draw: zako1s standing in a 10 by 10 block, ball
// bullets in a 20 by 15 block in front of them.
void PopulateDrawn() {
  port::CrtSrand(1);  // the same crowd every run
  g_characters.Clear();
  g_objects.Clear();
  for (int i = 0; i < kCharacters; ++i) {
    Zako1* z = Zako1::Spawn(
        {.at = {static_cast<float>(i % 10) * 3.0f - 13.5f, 0.0f, static_cast<float>(i / 10) * 3.0f},
         .heading = static_cast<float>(i * 37 % 360)});
    if (z) z->SetState(kZako1Alert);
  }
  for (int i = 0; i < kObjects; ++i) {
    EnemyTamaSpawn spawn;
    spawn.at = {static_cast<float>(i % 20) * 1.5f - 14.25f, 1.0f,
                static_cast<float>(i / 20) * 1.0f - 16.0f};
    spawn.heading = static_cast<float>(i);
    EnemyTama::Spawn(spawn);
  }
}

// The draw passes on the offscreen device (software GL): the lists' walks and
// states, the zako1s' figures and shadows, the bullets' meshes, and the
// effects' real billboards and beams.
void BM_DrawLists(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  std::string error;
  port::Window* window = nullptr;
  if (port::InitVideo(&error)) window = port::CreateMainWindow("bench", 640, 480, false, &error);
  if (!window || !g_graphics.Create(window, 0, 640, 480)) {
    state.SkipWithError("no offscreen device");
    return;
  }
  port::gpu::Device* device = g_graphics.GetDevice();
  testsupport::ScopedCwd cwd(POMELVANE_RUN_DIR);
  g_graphics.SetDefaultStates();
  g_characters.Init(device, g_graphics.GetCaps(), 1);
  g_objects.Init(device);
  g_effects.Init(device);
  if (!Zako1::Load(SkinnedModel::kMethodToon, device, g_graphics.GetCaps(),
                   g_characters.GetToonEffect(), g_characters.GetToonRamp())) {
    state.SkipWithError("zako1 model missing");
  }
  g_camera.SetDevice(device);
  g_camera.SetMode(Camera::kOrbit);
  g_camera.SetPosition(0, 0, 0);
  g_camera.SetDistance(30.0f);
  g_camera.SetYaw(180.0f);  // whatever an earlier benchmark left
  g_camera.SetPitch(10.0f);
  PopulateDrawn();
  TopUpEffects();
  const port::Vec4 light{-0.4f, -0.4f, 0.8f, 0.0f};
  // Once, before timing: the pixels the characters and objects alone cover,
  // so a run shows they are drawn.
  device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
  g_characters.DrawAll(g_camera.GetView(), g_camera.GetProjection(), light);
  g_objects.DrawAll();
  int covered = 0;
  for (uint32_t p : device->ReadBackBuffer()) covered += (p & 0xFFFFFFu) != 0x0000FFu;
  state.counters["covered_pixels"] = covered;
  for (auto _ : state) {
    device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
    g_characters.DrawAll(g_camera.GetView(), g_camera.GetProjection(), light);
    g_objects.DrawAll();
    g_effects.DrawAll(g_camera.GetView(), g_camera.GetProjection());
    device->Present();  // as the game ends a frame; nothing is read back
  }
  state.counters["characters"] = g_characters.CountAlive();
  state.counters["objects"] = g_objects.CountAlive();
  Zako1::Unload();
  g_effects.Release();
  g_objects.Release();
  g_characters.Release();
  g_graphics.Release();
  port::DestroyMainWindow(window);
}
BENCHMARK(BM_DrawLists)->Unit(benchmark::kMillisecond);

}  // namespace
