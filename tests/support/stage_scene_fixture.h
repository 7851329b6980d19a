#pragma once
// Drives the stage mode through Application::Frame: the title, the stage
// introduction, the stages, the sokai stage and the ranking scenes, on the
// offscreen device, in a scratch folder that mirrors the data set file by
// file (symbolic links), so a test can take a file away or write its own
// without touching the data set. Keys are forced through the input test
// seam. The scene routines run through a table of the fixture's own that
// records the sounds each frame queues and draws only while drawing is on,
// so a test of thousands of frames stays fast. Everything the scenes change
// in the program-wide objects is put back at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/Application.h"
#include "platform/SoundManager.h"
#include "port/input.h"
#include "render/Camera.h"
#include "support/gl_context.h"
#include "support/program_state.h"
#include "support/temp_dir.h"
#include "world/Character.h"

namespace stagescene {

// Keyboard scan codes.
constexpr int kEscape = port::kKeyEscape, kZ = port::kKeyZ, kX = port::kKeyX, kC = port::kKeyC,
              kF1 = port::kKeyF1, kF12 = port::kKeyF12, kUp = port::kKeyUp, kDown = port::kKeyDown,
              kLeft = port::kKeyLeft, kRight = port::kKeyRight;

// Music is recorded as id 1000; system sounds as 2000 + their number.
constexpr int kSystemSoundBase = 2000;

struct SoundEvent {
  int frame;
  int id;
  int32_t volume;  // as queued, without the master volume
};

// A character that stands where it is put and stays alive until told: an
// area with one of these does not end.
class Sentinel : public Character {
 public:
  explicit Sentinel(port::Vec3 at);
};

class StageSceneTest : public gltest::GameDeviceTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // One frame of the game, n times; the sounds queued are recorded.
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
  void Hold(int key);
  void Let(int key);
  // Down for one frame, then up for one frame.
  void Tap(int key);

  // From the title: the stage-mode item (0) or the sokai item (1), confirmed;
  // then through the introduction to the first frame of the stage. Stops at
  // the first frame of the introduction when skipIntro is false.
  void StartFromTitle(int item, bool skipIntro = true);
  // Through a running introduction (skipped) into its stage.
  void SkipIntroduction();
  // Frames until the phase is entered; the frames taken, or -1.
  int UntilPhase(int32_t phase, int limit = 10000);
  // A busy frame: stage 1 (kind 0, 1) or the sokai crowd (2, 3), toon shading
  // on odd kinds, entered from the title with a seeded generator, then
  // `frames` frames of the player firing in bursts. One draw is made at the
  // end, so the next draw moves on only what drawing itself moves.
  void FireInFirstArea(int kind, int frames);

  // The scratch folder: takes a data file or folder away, points one at
  // another part of the data set, or writes one.
  void Remove(const std::string& relative);
  void Redirect(const std::string& relative, const std::string& toRelative);
  void WriteData(const std::string& relative, std::string_view bytes);
  // Writes a flat-coloured picture (24-bit BMP under whatever name).
  void WriteFlatTexture(const std::string& relative, int w, int h, uint32_t rgb);

  Sentinel* AddSentinel(port::Vec3 at = {0.0f, 1.0f, 10.0f});
  // Every character dead: the area is emptied.
  void KillAll();

  int CountSound(int id) const;
  std::vector<int> FramesOf(int id) const;
  void ClearSounds() { sounds.clear(); }

  testsupport::TempDir data;
  Application app;
  bool drawing = false;  // the scenes draw only while this is on
  int frame = 0;
  std::vector<SoundEvent> sounds;

 private:
  void RecordSounds();
  static void Enter(Application& a);
  static void Update(Application& a);
  static void Draw(Application& a);

  testsupport::ScopedProgramState state_;
  SceneTable table_{};
  bool inputStarted_ = false;
  Camera savedCamera_;
  std::vector<SoundClip> savedStageClips_, savedSystemClips_;
  SoundClip savedMusic_;
  int32_t savedVolume_ = 0;
  int32_t savedButtons_[3] = {};
};

}  // namespace stagescene
