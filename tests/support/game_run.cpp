#include "support/game_run.h"

#include <fstream>
#include <iterator>

#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "app/FrameTimer.h"
#include "app/Program.h"
#include "app/WindowProc.h"
#include "platform/GraphicsDevice.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "port/input.h"
#include "port/random.h"
#include "port/window.h"
#include "world/Sun.h"

namespace fs = std::filesystem;

namespace gamerun {

namespace {

GameRun* g_current = nullptr;

}  // namespace

void MirrorRunFolder(const fs::path& folder) {
  const fs::path from = POMELVANE_RUN_DIR;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(from)) {
    const fs::path relative = fs::relative(e.path(), from);
    if (*relative.begin() == kSaveFolder) continue;
    const fs::path target = folder / relative;
    if (e.is_directory()) {
      fs::create_directories(target);
    } else {
      fs::create_symlink(e.path(), target);
    }
  }
  fs::create_directories(folder / kSaveFolder);
}

GameRun::GameRun(int pads) {
  MirrorRunFolder(folder_.path());
  cwd_.emplace(folder_.path());
  for (int a = 0; a < Player::kActionCount; ++a) savedButtons_[a] = g_player.GetButton(a);
  savedCamera_ = g_camera;
  port::ClearTestKeys();
  inputStarted_ = port::StartInput();
  // Only the rig's own pads: a real one would steal pad 0.
  if (port::AttachedPadCount() == 0) {
    for (int i = 0; i < pads; ++i) padIndex_.push_back(port::AttachVirtualPad(2, 16));
  }
  table_ = GameSceneTable();
  for (int id = 1; id <= SceneIdLast; ++id) {
    SceneRoutines& r = table_[static_cast<size_t>(id)];
    if (r.update) r.update = &GameRun::Update;
    if (r.draw) r.draw = &GameRun::Draw;
  }
  g_current = this;
}

GameRun::~GameRun() {
  Stop();
  g_current = nullptr;
  port::ClearTestKeys();
  for (int i = static_cast<int>(padIndex_.size()) - 1; i >= 0; --i)
    if (padIndex_[static_cast<size_t>(i)] >= 0)
      port::DetachVirtualPad(padIndex_[static_cast<size_t>(i)]);
  if (inputStarted_) port::StopInput();
  testsupport::ResetStagePlayer();
  Player1TamaBurst::SetContext(nullptr, nullptr);
  g_sun.device = nullptr;
  for (int a = 0; a < Player::kActionCount; ++a) g_player.SetButton(a, savedButtons_[a]);
  g_camera = savedCamera_;
  cwd_.reset();
}

bool GameRun::Start(uint32_t seed) {
  // As the program's start: the option file decides the window, then the
  // services; no timer, the test steps the frames.
  testsupport::ScopedProgramState::Reset();
  g_fullScreen = g_app.ReadOptionFile();
  std::string error;
  video_ = port::InitVideo(&error);
  if (!video_) return false;
  // Always a window: a full screen on the offscreen driver is the same picture.
  CreateMainWindow(false, kScreenWidth, kScreenHeight, "Pomelvane");
  if (!g_hWnd) return false;
  started_ = true;
  if (!g_app.Init(g_hWnd, g_fullScreen, kScreenWidth, kScreenHeight)) return false;
  g_app.sceneTable = &table_;
  ::ShowMainWindow(g_hWnd);
  port::CrtSrand(seed);
  return true;
}

void GameRun::Stop() {
  if (!started_) return;
  started_ = false;
  g_app.Shutdown();
  g_app.ReleaseSceneTextures();
  if (g_hWnd) {
    port::DestroyMainWindow(g_hWnd);
    g_hWnd = nullptr;
  }
  if (video_) port::ShutdownVideo();
  video_ = false;
  g_app.sceneTable = nullptr;
  g_app.currentScene = g_app.requestedScene = SceneNone;
}

void GameRun::Update(Application& a) {
  const SceneRoutines& r = GameSceneTable()[static_cast<size_t>(a.currentScene)];
  if (r.update) r.update(a);
}

void GameRun::Draw(Application& a) {
  if (!g_current || !g_current->drawing) return;
  const SceneRoutines& r = GameSceneTable()[static_cast<size_t>(a.currentScene)];
  if (r.draw) r.draw(a);
}

void GameRun::Frames(int n) {
  for (int i = 0; i < n; ++i) {
    g_app.Frame();
    ++frame;
  }
}

std::vector<uint32_t> GameRun::DrawnFrame() {
  drawing = true;
  Frames();
  drawing = false;
  port::gpu::Device* device = g_graphics.GetDevice();
  return device ? device->ReadBackBuffer() : std::vector<uint32_t>{};
}

void GameRun::Hold(int key) { port::SetTestKey(key, true); }
void GameRun::Let(int key) { port::SetTestKey(key, false); }
void GameRun::LetAll() { port::ClearTestKeys(); }

void GameRun::Tap(int key) {
  Hold(key);
  Frames();
  Let(key);
  Frames();
}

void GameRun::PadButton(int pad, int button, bool down) {
  const int index = padIndex_.at(static_cast<size_t>(pad));
  if (index >= 0) port::SetVirtualPadButton(index, button, down);
}

void GameRun::PadStick(int pad, int x, int y) {
  const int index = padIndex_.at(static_cast<size_t>(pad));
  if (index < 0) return;
  port::SetVirtualPadAxis(index, 0, static_cast<int16_t>(x < 0 ? -32768 : x > 0 ? 32767 : 0));
  port::SetVirtualPadAxis(index, 1, static_cast<int16_t>(y < 0 ? -32768 : y > 0 ? 32767 : 0));
}

void GameRun::TapPadButton(int pad, int button) {
  PadButton(pad, button, true);
  Frames();
  PadButton(pad, button, false);
  Frames();
}

void GameRun::Unplug(int pad) {
  int& index = padIndex_.at(static_cast<size_t>(pad));
  if (index < 0) return;
  port::DetachVirtualPad(index);
  // The joysticks after it move down one place.
  for (int& other : padIndex_)
    if (other > index) --other;
  index = -1;
}

void GameRun::Replug(int pad) {
  int& index = padIndex_.at(static_cast<size_t>(pad));
  if (index >= 0) return;
  index = port::AttachVirtualPad(2, 16);
}

void GameRun::WriteFile(const std::string& relative, std::string_view bytes) {
  // Never through a link into the run folder.
  fs::remove(folder_.path() / relative);
  folder_.Write(relative, bytes);
}

std::string GameRun::ReadFile(const std::string& relative) const {
  std::ifstream in(folder_.path() / relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace gamerun
