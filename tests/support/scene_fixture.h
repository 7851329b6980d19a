#pragma once
// Drives the menu scenes (title, ranking pages, name entry) through
// Application::Frame on an Application of the test's own, in a scratch folder
// with an empty save folder. Keys are forced through the input test seam and
// virtual pads; every program-wide value the scenes change (the quit flag,
// g_player's buttons, the master volume, the input device) comes back at the
// end. SceneRig is the part without a test base, so a graphics fixture can
// hold one too.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "actors/Player.h"
#include "app/Application.h"
#include "app/FrameTimer.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "port/input.h"
#include "support/image_encoders.h"
#include "support/program_state.h"
#include "support/temp_dir.h"

namespace scenetest {

// Keyboard scan codes.
constexpr int kEscape = port::kKeyEscape, kZ = port::kKeyZ, kX = port::kKeyX,
              kLeft = port::kKeyLeft, kRight = port::kKeyRight;

inline std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SceneRig {
 public:
  SceneRig() : cwd_(dir.path()) {
    std::filesystem::create_directories(dir.path() / "save");
    g_quit = 0;
    g_input.InitKeyboard(nullptr);
    app.windowActive = 1;
  }
  ~SceneRig() {
    app.ReleaseSceneTextures();
    port::ClearTestKeys();
    g_input.Release();
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
  }
  SceneRig(const SceneRig&) = delete;
  SceneRig& operator=(const SceneRig&) = delete;

  // Loads the save files of the scratch folder as the start of the game does.
  void StartGame() {
    app.ReadOptionFile();
    app.LoadNormalRanking(kNormalRankingFile);
    app.LoadSokaiRanking(kSokaiRankingFile);
  }
  void Enter(int32_t scene) {
    app.requestedScene = scene;
    app.Frame();
  }
  void Frames(int n = 1) {
    for (int i = 0; i < n; ++i) app.Frame();
  }
  void Hold(int key) { port::SetTestKey(key, true); }
  void Release(int key) { port::SetTestKey(key, false); }
  // Down for one frame, then up for one frame.
  void Tap(int key) {
    Hold(key);
    Frames();
    Release(key);
    Frames();
  }
  void TapEach(std::initializer_list<int> keys) {
    for (int key : keys) Tap(key);
  }

  // One virtual pad as pad 0, opened by the input device.
  bool AttachPad() {
    if (port::AttachedPadCount() != 0) return false;  // a real pad is attached
    if (port::AttachVirtualPad(2, port::kPadButtonCount) != 0) return false;
    return g_input.InitJoysticks(
        nullptr, nullptr,
        [](const PadDeviceInstance* d, void*) { return g_input.OnEnumDevice(d, nullptr); },
        [](const PadAxisInstance* a, void*) { return g_input.OnEnumAxis(a, nullptr); });
  }
  void PadButton(int button, bool down) { port::SetVirtualPadButton(0, button, down); }

  std::filesystem::path SavePath(const char* file) const { return dir.path() / file; }
  std::string SaveBytes(const char* file) const { return ReadBytes(SavePath(file)); }

  // A picture file built texel by texel (24-bit BMP, which the loader reads
  // whatever the name says), for drawing tests that know every colour.
  void WriteTexture(const std::string& relative, int w, int h,
                    const std::function<uint32_t(int, int)>& rgbAt) const {
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int shift = 0; shift < 24; shift += 8)
          rows[static_cast<size_t>(y)].push_back(static_cast<uint8_t>(rgbAt(x, y) >> shift));
    const std::vector<uint8_t> bmp = testimg::EncodeBmp(w, h, 24, rows, false);
    dir.Write(relative, std::string(bmp.begin(), bmp.end()));
  }

  testsupport::TempDir dir;
  Application app;

 private:
  testsupport::ScopedCwd cwd_;
  testsupport::ScopedProgramState state_;
};

class SceneTest : public ::testing::Test, public SceneRig {};

}  // namespace scenetest
