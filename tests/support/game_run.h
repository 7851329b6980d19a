#pragma once
// The whole game started in-process as the program starts it (the option
// file, the window, the services, the title requested) in a scratch copy of
// the run folder, and driven one Application::Frame at a time with forced
// keys and virtual pads. The scene routines run through a table of the rig's
// own that draws only while drawing is on, so thousands of frames stay fast.
// Restart ends the program and starts it again in the same folder, as a
// player's next start would. Everything program-wide comes back at the end.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Application.h"
#include "port/input.h"
#include "render/Camera.h"
#include "support/program_state.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace gamerun {

// Keyboard scan codes.
constexpr int kEscape = port::kKeyEscape, kZ = port::kKeyZ, kX = port::kKeyX, kC = port::kKeyC,
              kF1 = port::kKeyF1, kF12 = port::kKeyF12, kUp = port::kKeyUp, kDown = port::kKeyDown,
              kLeft = port::kKeyLeft, kRight = port::kKeyRight;

// Copies the run folder into folder: every data file linked, the save
// folder empty. Files a test damages are replaced, never written through.
void MirrorRunFolder(const std::filesystem::path& folder);

class GameRun {
 public:
  // pads virtual joysticks are attached before the start, so the game opens them.
  explicit GameRun(int pads = 0);
  ~GameRun();
  GameRun(const GameRun&) = delete;
  GameRun& operator=(const GameRun&) = delete;

  // Program start; false when the services could not start.
  bool Start(uint32_t seed);
  // Program end (the title's exit item only sets the quit flag).
  void Stop();
  bool Restart(uint32_t seed) {
    Stop();
    return Start(seed);
  }

  void Frames(int n = 1);
  // Frames until pred() holds, at most limit; the frames taken, or -1.
  template <typename Pred>
  int FramesUntil(Pred pred, int limit) {
    for (int i = 1; i <= limit; ++i) {
      Frames();
      if (pred()) return i;
    }
    return -1;
  }
  int UntilScene(int32_t scene, int limit) {
    return FramesUntil([&] { return g_app.currentScene == scene; }, limit);
  }
  // One frame drawn, and the picture read back.
  std::vector<uint32_t> DrawnFrame();

  void Hold(int key);
  void Let(int key);
  void LetAll();
  // Down for one frame, then up for one frame.
  void Tap(int key);
  // Virtual pad i: a button, or the stick (x, y in -1..1).
  void PadButton(int pad, int button, bool down);
  void PadStick(int pad, int x, int y);
  void TapPadButton(int pad, int button);
  // Unplugs or plugs virtual pad i back (the game keeps the pads it opened).
  void Unplug(int pad);
  void Replug(int pad);
  int Pads() const { return static_cast<int>(padIndex_.size()); }

  // The scratch folder and its files.
  const std::filesystem::path& Folder() const { return folder_.path(); }
  void WriteFile(const std::string& relative, std::string_view bytes);
  std::string ReadFile(const std::string& relative) const;

  bool drawing = false;
  int64_t frame = 0;

 private:
  static void Update(Application& a);
  static void Draw(Application& a);

  testsupport::TempDir folder_;
  testsupport::ScopedEnv driver_{"SDL_VIDEODRIVER", "offscreen", false};
  testsupport::ScopedEnv audio_{"SDL_AUDIODRIVER", "dummy", false};
  std::optional<testsupport::ScopedCwd> cwd_;
  testsupport::ScopedProgramState state_;
  SceneTable table_{};
  bool inputStarted_ = false;
  bool video_ = false;
  bool started_ = false;
  std::vector<int> padIndex_;  // the joystick number of each virtual pad, -1 unplugged
  Camera savedCamera_;
  int32_t savedButtons_[3] = {};
};

}  // namespace gamerun
