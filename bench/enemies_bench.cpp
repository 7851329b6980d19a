// The small enemies in full force, stood up as the stage scenes will: the
// largest area of the data set with every enemy of its placement file alive
// and running at the player (as zako1s, the class every placement falls back
// to); the last area of stage 3 with its zako3s and zako4s chasing the
// player; and the sokai stage's crowd of 100 zako1b. Measured: one update of
// every list, and one draw of the whole picture, presented as the game ends a
// frame, toon-shaded as the game draws when the effect exists.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "actors/Player.h"
#include "actors/SokaiCounters.h"
#include "actors/Zako1.h"
#include "actors/Zako1b.h"
#include "actors/Zako3.h"
#include "actors/Zako4.h"
#include "app/AppearRecord.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
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
#include "world/Sun.h"

namespace {

constexpr int kMethod = SkinnedModel::kMethodToon;
constexpr int kSokaiCrowd = 100;

// The area placement file with the most records, and its stage.
struct Area {
  std::string path;
  int stage = 1;
  std::vector<AppearRecord> records;
};
Area LargestArea() {
  Area best;
  for (int stage = 1; stage <= 3; ++stage) {
    for (int a = 1; a <= 4; ++a) {
      const std::string path = "AppearData/stage" + std::to_string(stage) + "/stage" +
                               std::to_string(stage) + "_erea" + std::to_string(a) + ".arg";
      std::vector<AppearRecord> records;
      if (ReadAppearRecords(path.c_str(), &records) && records.size() > best.records.size()) {
        best = {path, stage, records};
      }
    }
  }
  return best;
}

class Field {
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
    g_characters.Init(device_, g_graphics.GetCaps(), 1);
    g_objects.Init(device_);
    g_effects.Init(device_);
    g_stageField.Init(device_);
    g_player.Load(kMethod, &g_camera, g_characters.GetToonEffect(), g_characters.GetToonRamp());
    return true;
  }

  void LoadField(const char* ground, const char* round, const char* collision, int drawMode) {
    g_stageField.SetDrawMode(drawMode);
    g_stageField.LoadGround(ground);
    if (*round) g_stageField.LoadRound(round);
    g_stageField.LoadCollision(collision);
  }

  void Close() {
    Zako1::Unload();
    Zako1b::Unload();
    Zako3::Unload();
    Zako4::Unload();
    g_player.Release();
    g_player.alive = 0;
    g_objects.Release();
    g_effects.Release();
    g_stageField.Release();
    g_characters.Release();
    g_sun.mesh.Release();
    cwd_.reset();
    g_graphics.Release();
    if (window_) port::DestroyMainWindow(window_);
  }

  void Update() {
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
    const port::Vec4 light = g_sun.GetLightDirection();
    g_stageField.Draw(view, projection, light);
    g_sun.Draw();
    g_characters.DrawAll(view, projection, light);
    g_player.Draw(view, projection, light);
    g_objects.DrawAll();
    g_effects.DrawAll(view, projection);
    port::Sprite* sprite = g_graphics.GetSprite();
    sprite->Begin();
    g_characters.Draw2DAll(sprite);
    g_player.Draw2D(sprite);
    sprite->End();
    device_->Present();  // as the game ends a frame; nothing is read back
  }

  port::gpu::Device* device() const { return device_; }

 private:
  port::Window* window_ = nullptr;
  port::gpu::Device* device_ = nullptr;
  std::optional<testsupport::ScopedCwd> cwd_;
};

// Every enemy of the largest area running at the player from where it
// stood after settling; put back there before each frame, so every frame
// measures the same full chase.
class FullArea {
 public:
  bool Open(std::string* error) {
    if (!field_.Open(error)) return false;
    const Area area = LargestArea();
    if (area.records.empty()) {
      *error = "no area placement file";
      return false;
    }
    const char* fields[3][3] = {
        {"Xfile/stage1/stage1.X", "Xfile/stage1/round.X", "Xfile/stage1/stage1_collision.X"},
        {"Xfile/stage2/stage2.X", "Xfile/stage2/stage2_round.X", "Xfile/stage2/stage2_collision.X"},
        {"Xfile/stage3/stage3.X", "", "Xfile/stage3/collision.X"}};
    const char* const* f = fields[area.stage - 1];
    field_.LoadField(f[0], f[1], f[2], area.stage == 3 ? 4 : 1);
    g_sun.Init(field_.device(), 1);
    g_sun.SetPosition(area.stage == 2 ? 60.0f : 70.0f, area.stage == 2 ? -70.0f : 90.0f,
                      area.stage == 2 ? 150.0f : 100.0f);
    Zako1::Load(kMethod, field_.device(), g_graphics.GetCaps(), g_characters.GetToonEffect(),
                g_characters.GetToonRamp());
    g_player.Place(0.0f, 1.0f, -28.0f, 0.0f);
    for (const AppearRecord& r : area.records) {
      const float heading = static_cast<float>(RandomInt(360));
      if (Zako1* z = Zako1::Spawn({.at = {r.x, r.y, r.z}, .heading = heading})) zakos_.push_back(z);
    }
    for (int i = 0; i < 90; ++i) field_.Update();
    for (Zako1* z : zakos_) starts_.push_back(z->position);
    count_ = static_cast<int>(zakos_.size());
    return true;
  }
  void Close() { field_.Close(); }

  void Rearm() {
    for (size_t i = 0; i < zakos_.size(); ++i) {
      Zako1* z = zakos_[i];
      z->alive = 1;
      z->position = z->previousPosition = starts_[i];
      z->angle.y = z->moveHeading =
          YawTo(z->position.x, z->position.z, g_player.position.x, g_player.position.z);
      z->SetState(kZako1Chase);
      z->stateFrame = 100;  // running
    }
  }

  Field field_;
  std::vector<Zako1*> zakos_;
  std::vector<port::Vec3> starts_;
  int count_ = 0;
};

void BM_FullAreaUpdate(benchmark::State& state) {
  FullArea area;
  std::string error;
  if (!area.Open(&error)) {
    state.SkipWithError(("no offscreen device or data: " + error).c_str());
    area.Close();
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    area.Rearm();
    state.ResumeTiming();
    area.field_.Update();
  }
  state.counters["enemies"] = area.count_;
  area.Close();
}
BENCHMARK(BM_FullAreaUpdate)->Unit(benchmark::kMicrosecond);

void BM_FullAreaDraw(benchmark::State& state) {
  FullArea area;
  std::string error;
  if (!area.Open(&error)) {
    state.SkipWithError(("no offscreen device or data: " + error).c_str());
    area.Close();
    return;
  }
  area.Rearm();
  area.field_.Update();
  for (auto _ : state) area.field_.Draw();
  state.counters["enemies"] = area.count_;
  area.Close();
}
BENCHMARK(BM_FullAreaDraw)->Unit(benchmark::kMillisecond);

// Stage 3's last area, each zako3 and zako4 of its placement file chasing
// the player from where it stood after settling; put back there before each
// frame, so every frame measures the same full chase.
class Stage3Area {
 public:
  static constexpr const char* kFile = "AppearData/stage3/stage3_erea4.arg";

  bool Open(std::string* error) {
    if (!field_.Open(error)) return false;
    std::vector<AppearRecord> records;
    if (!ReadAppearRecords(kFile, &records) || records.empty()) {
      *error = std::string("no ") + kFile;
      return false;
    }
    field_.LoadField("Xfile/stage3/stage3.X", "", "Xfile/stage3/collision.X", 4);
    g_sun.Init(field_.device(), 1);
    g_sun.SetPosition(70.0f, 90.0f, 100.0f);
    for (auto load : {&Zako3::Load, &Zako4::Load}) {
      load(kMethod, field_.device(), g_graphics.GetCaps(), g_characters.GetToonEffect(),
           g_characters.GetToonRamp());
    }
    g_player.Place(0.0f, 1.0f, -28.0f, 0.0f);
    for (const AppearRecord& r : records) {
      const float heading = static_cast<float>(RandomInt(360));
      Enemy* e = nullptr;
      if (r.kind == 3) e = Zako3::Spawn({.at = {r.x, r.y, r.z}, .heading = heading});
      if (r.kind == 4) e = Zako4::Spawn({.at = {r.x, r.y, r.z}, .heading = heading});
      if (e) enemies_.push_back(e);
    }
    for (int i = 0; i < 90; ++i) field_.Update();
    for (Enemy* e : enemies_) starts_.push_back(e->position);
    count_ = static_cast<int>(enemies_.size());
    return count_ > 0;
  }
  void Close() { field_.Close(); }

  void Rearm() {
    for (size_t i = 0; i < enemies_.size(); ++i) {
      Enemy* e = enemies_[i];
      e->alive = 1;
      e->guard = 0;
      e->position = e->previousPosition = starts_[i];
      e->verticalSpeed = 0.0f;
      e->angle.y = e->moveHeading = e->targetHeading =
          YawTo(e->position.x, e->position.z, g_player.position.x, g_player.position.z);
      if (auto* z3 = dynamic_cast<Zako3*>(e)) {
        z3->keepHeading = 1;
        z3->SetState(kZako3Chase);
      } else if (auto* z4 = dynamic_cast<Zako4*>(e)) {
        z4->keepHeading = 1;
        z4->armoured = 0;
        z4->blinkCounter = -1;
        z4->SetState(kZako4Chase);
      }
      e->stateFrame = 40;  // running, past the chases' first frames
    }
  }

  Field field_;
  std::vector<Enemy*> enemies_;
  std::vector<port::Vec3> starts_;
  int count_ = 0;
};

void BM_Stage3AreaUpdate(benchmark::State& state) {
  Stage3Area area;
  std::string error;
  if (!area.Open(&error)) {
    state.SkipWithError(("no offscreen device or data: " + error).c_str());
    area.Close();
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    area.Rearm();
    state.ResumeTiming();
    area.field_.Update();
  }
  state.counters["enemies"] = area.count_;
  area.Close();
}
BENCHMARK(BM_Stage3AreaUpdate)->Unit(benchmark::kMicrosecond);

void BM_Stage3AreaDraw(benchmark::State& state) {
  Stage3Area area;
  std::string error;
  if (!area.Open(&error)) {
    state.SkipWithError(("no offscreen device or data: " + error).c_str());
    area.Close();
    return;
  }
  area.Rearm();
  area.field_.Update();
  for (auto _ : state) area.field_.Draw();
  state.counters["enemies"] = area.count_;
  area.Close();
}
BENCHMARK(BM_Stage3AreaDraw)->Unit(benchmark::kMillisecond);

// The sokai stage at its cap: 100 zako1b wandering round the player, a
// handful thrown at any time by the burst.
class SokaiCrowd {
 public:
  bool Open(int crowd, std::string* error) {
    if (!field_.Open(error)) return false;
    field_.LoadField("Xfile/sokai_stage/sokai_stage.X", "Xfile/sokai_stage/sokai_round.X",
                     "Xfile/sokai_stage/sokai_stage_collision.X", 10);
    g_sun.Init(field_.device(), 0);
    g_sun.SetPosition(70.0f, 180.0f, 100.0f);
    Zako1b::Load(kMethod, field_.device(), g_graphics.GetCaps(), g_characters.GetToonEffect(),
                 g_characters.GetToonRamp(), &counters_);
    g_player.sokai = 1;
    g_player.Place(0.0f, 10.0f, 0.0f, 0.0f);
    for (int i = 0; i < crowd; ++i) {
      const float r1 = RandomFloat(100.0f, 0.1f), r2 = RandomFloat(100.0f, 0.1f);
      Zako1b::Spawn(
          {.at = {5.0f - r1, 10.0f, 5.0f - r2}, .heading = static_cast<float>(RandomInt(360))});
    }
    for (int i = 0; i < 200; ++i) field_.Update();
    return true;
  }
  void Close() { field_.Close(); }

  Field field_;
  SokaiCounters counters_;
};

void BM_SokaiCrowdUpdate(benchmark::State& state) {
  SokaiCrowd crowd;
  std::string error;
  if (!crowd.Open(static_cast<int>(state.range(0)), &error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    crowd.Close();
    return;
  }
  for (auto _ : state) crowd.field_.Update();
  state.counters["alive"] = g_characters.CountAlive();
  crowd.Close();
}
BENCHMARK(BM_SokaiCrowdUpdate)->Arg(kSokaiCrowd)->Unit(benchmark::kMicrosecond);

void BM_SokaiCrowdDraw(benchmark::State& state) {
  SokaiCrowd crowd;
  std::string error;
  if (!crowd.Open(static_cast<int>(state.range(0)), &error)) {
    state.SkipWithError(("no offscreen device: " + error).c_str());
    crowd.Close();
    return;
  }
  for (auto _ : state) crowd.field_.Draw();
  state.counters["alive"] = g_characters.CountAlive();
  crowd.Close();
}
// With no crowd: what the field and the player cost alone.
BENCHMARK(BM_SokaiCrowdDraw)->Arg(0)->Arg(kSokaiCrowd)->Unit(benchmark::kMillisecond);

}  // namespace
