// The options page and the two button pages driven from the title frame by
// frame on the data set: every value changed and wrapped, the defaults, the
// cursor walks, the swap rule on held pad buttons (virtual joysticks), each
// battle player on his own pad, the ways out without a pad, and the options
// saved by the title's exit item and read back at the next start: the volume
// in the sound manager, the draw interval in the stage drawing, a reassigned
// button firing. A damaged option file is brought into range and the pages
// stay reachable with the keyboard alone.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "actors/Player.h"
#include "actors/StageSounds.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "support/stage_scene_fixture.h"
#include "world/ObjectList.h"

namespace fs = std::filesystem;

namespace {

using namespace stagescene;

constexpr int kSoundValue = kSystemSoundBase + 0;
constexpr int kSoundDecide = kSystemSoundBase + 1;
constexpr int kSoundStep = kSystemSoundBase + 2;

// The options page's items top to bottom, and the button pages'.
const std::vector<int32_t> kOptionItems = {kItemViewType,   kItemVolume,    kItemDrawInterval,
                                           kItemScreenMode, kItemButtons1P, kItemDefaults,
                                           kItemBack};
const std::vector<int32_t> kButtonItems = {kItemAttackButton, kItemShiftButton, kItemJumpButton,
                                           kItemDefaults, kItemBack};

// A read-back picture as a PNG file, opaque, for looking at.
void WritePng(std::vector<uint32_t> picture, const std::string& path) {
  for (uint32_t& p : picture) p |= 0xFF000000u;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = gltest::kWidth;
  image.height = gltest::kHeight;
  image.format = PNG_FORMAT_BGRA;
  png_image_write_to_file(&image, path.c_str(), 0, picture.data(), 0, nullptr);
}

class OptionsTest : public StageSceneTest {
 protected:
  void TearDown() override {
    StageSceneTest::TearDown();  // releases the input device first
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
  }

  // n virtual pads, opened by the input device as pads 0 to n - 1.
  void AttachPads(int n) {
    ASSERT_EQ(port::AttachedPadCount(), 0) << "a real joystick would take a pad's place";
    for (int i = 0; i < n; ++i) ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount), i);
    g_input.InitJoysticks(
        nullptr, nullptr,
        [](const PadDeviceInstance* d, void*) { return g_input.OnEnumDevice(d, nullptr); },
        [](const PadAxisInstance* a, void*) { return g_input.OnEnumAxis(a, nullptr); });
    ASSERT_EQ(g_input.GetPadCount(), n);
  }
  void PadButton(int pad, int button, bool down) { port::SetVirtualPadButton(pad, button, down); }
  // Down for one frame, then up for one frame.
  void TapPad(int pad, int button) {
    PadButton(pad, button, true);
    Frames();
    PadButton(pad, button, false);
    Frames();
  }
  void TapPadDirection(int pad, int direction) {
    port::SetVirtualPadAxis(pad, 1, direction == kPadUp ? -32768 : 32767);
    Frames();
    port::SetVirtualPadAxis(pad, 1, 0);
    Frames();
  }
  void Taps(int key, int n) {
    for (int i = 0; i < n; ++i) Tap(key);
  }

  void EnterTitle() {
    app.requestedScene = SceneTitle;
    Frames();
    ASSERT_EQ(app.currentScene, SceneTitle);
  }
  // From the title, four steps right and confirm, as a player would.
  void OpenOptions() {
    EnterTitle();
    Taps(kRight, 4);
    ASSERT_EQ(app.menus.cursor, kItemOptions);
    Tap(kZ);
    Frames();
    ASSERT_EQ(app.currentScene, SceneOptions);
  }
  // The options' cursor moved down to the item.
  void Down(const std::vector<int32_t>& cycle, int32_t item) {
    for (size_t i = 0; i < cycle.size() && app.menus.cursor != item; ++i) Tap(kDown);
    ASSERT_EQ(app.menus.cursor, item);
  }
  // Confirms the item under the cursor and enters the scene it asks for.
  void Confirm() {
    Tap(kZ);
    Frames();
  }

  std::vector<int32_t> ButtonsOf1P() const {
    return {g_player.GetButton(0), g_player.GetButton(1), g_player.GetButton(2)};
  }
  std::vector<int32_t> ButtonsOf(int battlePlayer) const {
    return {app.BattleButton(battlePlayer, 0), app.BattleButton(battlePlayer, 1),
            app.BattleButton(battlePlayer, 2)};
  }
};

// ---- The options page ----

TEST_F(OptionsTest, EveryValueStepsAndWrapsAtBothEndsWithItsSound) {
  OpenOptions();
  EXPECT_EQ(app.menus.cursor, kItemViewType);
  EXPECT_EQ(app.sceneTextures.size(), 6u);
  const int32_t heard = g_sound.masterVolume;

  struct Row {
    int32_t item;
    int key;
    std::function<int32_t()> value;
    std::vector<int32_t> after;  // the value after each press; empty: nothing changes
  };
  const Row rows[] = {
      {kItemViewType, kRight, [&] { return app.options.viewType; }, {1, 2, 0}},
      {kItemViewType, kLeft, [&] { return app.options.viewType; }, {2, 1, 0, 2}},
      {kItemVolume, kRight, [&] { return app.options.volume; }, {600, 700, 800, 900, 1000, 0}},
      {kItemVolume, kLeft, [&] { return app.options.volume; }, {1000, 900}},
      {kItemDrawInterval, kRight, [&] { return app.options.drawInterval; }, {2, 3, 1}},
      {kItemDrawInterval, kLeft, [&] { return app.options.drawInterval; }, {3, 2}},
      {kItemScreenMode, kRight, [&] { return int32_t{app.options.screenMode}; }, {1, 0}},
      {kItemScreenMode, kLeft, [&] { return int32_t{app.options.screenMode}; }, {1}},
      {kItemButtons1P, kRight, [&] { return app.options.volume; }, {}},
      {kItemDefaults, kLeft, [&] { return app.options.volume; }, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.item) + (row.key == kRight ? " right" : " left"));
    Down(kOptionItems, row.item);
    ClearSounds();
    const int32_t before = row.value();
    const size_t presses = row.after.empty() ? 2 : row.after.size();
    std::vector<int32_t> seen;
    for (size_t i = 0; i < presses; ++i) {
      Tap(row.key);
      seen.push_back(row.value());
    }
    if (row.after.empty()) {
      EXPECT_EQ(seen, std::vector<int32_t>(presses, before));
      EXPECT_TRUE(sounds.empty());
    } else {
      EXPECT_EQ(seen, row.after);
      EXPECT_EQ(CountSound(kSoundValue), static_cast<int>(presses));
      EXPECT_EQ(sounds.front().volume, -1000);
    }
  }
  // Held, a key steps once.
  Down(kOptionItems, kItemVolume);
  Hold(kRight);
  Frames(40);
  Let(kRight);
  Frames();
  EXPECT_EQ(app.options.volume, 1000);
  // Not heard yet: the volume is set on leaving by back.
  EXPECT_EQ(g_sound.masterVolume, heard);
  EXPECT_EQ(app.currentScene, SceneOptions);
}

TEST_F(OptionsTest, TheCursorWalksTheSevenItemsBothWays) {
  OpenOptions();
  ClearSounds();
  std::vector<int32_t> down, up;
  for (size_t i = 0; i < kOptionItems.size(); ++i) {
    Tap(kDown);
    down.push_back(app.menus.cursor);
  }
  for (size_t i = 0; i < kOptionItems.size(); ++i) {
    Tap(kUp);
    up.push_back(app.menus.cursor);
  }
  EXPECT_EQ(down, (std::vector<int32_t>{22, 10, 20, 24, 23, 12, 21}));
  EXPECT_EQ(up, (std::vector<int32_t>{12, 23, 24, 20, 10, 22, 21}));
  EXPECT_EQ(CountSound(kSoundStep), 14);
  EXPECT_EQ(sounds.front().volume, -2000);
  // Cancel and Escape go to back without leaving.
  for (int key : {kX, kEscape}) {
    Tap(kDown);
    Tap(key);
    EXPECT_EQ(app.menus.cursor, kItemBack) << key;
  }
  EXPECT_EQ(app.currentScene, SceneOptions);
}

TEST_F(OptionsTest, DefaultsResetVolumeAndIntervalOnlyAndBackSetsTheVolume) {
  OpenOptions();
  app.options = {1, 3, 200, 2};  // screen, interval, volume, view
  Down(kOptionItems, kItemDefaults);
  ClearSounds();
  Tap(kZ);
  EXPECT_EQ(app.options.volume, 500);
  EXPECT_EQ(app.options.drawInterval, 1);
  EXPECT_EQ(app.options.screenMode, 1);
  EXPECT_EQ(app.options.viewType, 2);
  EXPECT_EQ(CountSound(kSoundValue), 1);
  EXPECT_EQ(app.currentScene, SceneOptions);

  app.options.volume = 300;
  Tap(kEscape);
  Confirm();
  EXPECT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(g_sound.masterVolume, 300);
  EXPECT_EQ(app.menus.cursor, kItemStageMode);
}

TEST_F(OptionsTest, ConfirmHeldFromTheTitleActsOnlyAfterARelease) {
  EnterTitle();
  Taps(kRight, 4);
  Hold(kZ);
  Frames(2);  // the title asks for the options; they open with Z still down
  ASSERT_EQ(app.currentScene, SceneOptions);
  app.menus.cursor = kItemBack;
  Frames(20);
  EXPECT_EQ(app.currentScene, SceneOptions);
  Let(kZ);
  Frames();
  Hold(kZ);
  Frames(2);
  EXPECT_EQ(app.currentScene, SceneTitle);
  Let(kZ);
}

// ---- Player 1's buttons ----

TEST_F(OptionsTest, HeldPadButtonsSwapIntoTheActionUnderTheCursor) {
  AttachPads(1);
  OpenOptions();
  Down(kOptionItems, kItemButtons1P);
  ClearSounds();
  Confirm();
  ASSERT_EQ(app.currentScene, SceneButtonConfig1P);
  EXPECT_EQ(CountSound(kSoundDecide), 1);
  EXPECT_EQ(app.menus.cursor, kItemAttackButton);

  struct Case {
    int32_t item;
    std::vector<int> held;  // pad buttons held together for one frame
    std::vector<int32_t> after;
  };
  const Case cases[] = {
      {kItemAttackButton, {1}, {1, 0, 2}},    // attack takes shift's button
      {kItemAttackButton, {1}, {1, 0, 2}},    // already its own: no change
      {kItemAttackButton, {5}, {5, 0, 2}},    // a free button
      {kItemJumpButton, {0}, {5, 2, 0}},      // jump takes shift's
      {kItemShiftButton, {3, 7}, {5, 7, 0}},  // two held: in order, the last ends on it
      {kItemShiftButton, {12}, {5, 7, 0}},    // above 9: not read here
      {kItemDefaults, {4}, {5, 7, 0}},        // not an action's item
      {kItemBack, {4}, {5, 7, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    Down(kButtonItems, c.item);
    for (int b : c.held) PadButton(0, b, true);
    Frames();
    for (int b : c.held) PadButton(0, b, false);
    Frames();
    EXPECT_EQ(ButtonsOf1P(), c.after);
    EXPECT_EQ(app.currentScene, SceneButtonConfig1P);
  }
  // The cursor walks the five items both ways.
  ClearSounds();
  std::vector<int32_t> walk;
  for (int i = 0; i < 5; ++i) {
    Tap(kDown);
    walk.push_back(app.menus.cursor);
  }
  EXPECT_EQ(walk, (std::vector<int32_t>{25, 26, 27, 23, 12}));
  TapPadDirection(0, kPadUp);
  EXPECT_EQ(app.menus.cursor, kItemDefaults);
  EXPECT_EQ(CountSound(kSoundStep), 6);

  // Defaults by the keyboard's Z, with its sound.
  ClearSounds();
  Tap(kZ);
  EXPECT_EQ(ButtonsOf1P(), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(CountSound(kSoundValue), 1);
  // Back with the pad's attack button, to the options.
  Tap(kDown);
  TapPad(0, 0);
  Frames();
  EXPECT_EQ(app.currentScene, SceneOptions);
  EXPECT_EQ(CountSound(kSoundDecide), 1);
}

// The pad's attack button both assigns and confirms: the swap comes first,
// then the confirm reads the new attack button, so the press that assigns it
// is that button's one action; held on, a button is assigned to every
// action item the cursor passes.
TEST_F(OptionsTest, AnAssignedAttackButtonConfirmsInTheFrameOfTheSwapOnly) {
  AttachPads(1);
  app.requestedScene = SceneButtonConfig1P;
  Frames();
  ASSERT_EQ(app.currentScene, SceneButtonConfig1P);
  PadButton(0, 4, true);  // attack becomes 4, confirming on the attack item
  Hold(kUp);              // and the cursor goes up to back in the same frame
  Frames();
  Let(kUp);
  EXPECT_EQ(g_player.GetButton(0), 4);
  EXPECT_EQ(app.menus.cursor, kItemBack);
  Frames(10);  // held on back: no second action
  EXPECT_EQ(app.currentScene, SceneButtonConfig1P);

  // Held while the cursor walks the actions, the button goes with it.
  Tap(kDown);
  Tap(kDown);
  Tap(kDown);
  EXPECT_EQ(ButtonsOf1P(), (std::vector<int32_t>{1, 2, 4}));
  PadButton(0, 4, false);
  Tap(kDown);
  Tap(kDown);
  ASSERT_EQ(app.menus.cursor, kItemBack);
  TapPad(0, 1);  // attack's button now
  Frames();
  EXPECT_EQ(app.currentScene, SceneOptions);
}

// ---- Players 2 to 4 ----

TEST_F(OptionsTest, EachBattlePlayerAssignsOnHisOwnPadWithHisOwnCursor) {
  struct Case {
    int players, pads;
    int padOf[4];  // pad of battle players 1 to 3 (index 1..), -1 none
  };
  const Case cases[] = {
      {3, 3, {-1, 1, 2, -1}},  // a pad for every player: player k on pad k
      {3, 2, {-1, 0, 1, -1}},  // one short: player k on pad k - 1
      {4, 3, {-1, 0, 1, 2}},
      {4, 2, {-1, 0, 1, -1}},  // player 4 has none and does nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.players) + " players, " + std::to_string(c.pads) + " pads");
    AttachPads(c.pads);
    app.battle.players = c.players;
    for (int p = 1; p < 4; ++p)
      for (int a = 0; a < 3; ++a) app.SetBattleButton(p, a, a);
    app.requestedScene = SceneButtonConfig2P4P;
    Frames();
    ASSERT_EQ(app.currentScene, SceneButtonConfig2P4P);
    EXPECT_EQ(app.sceneTextures.size(), 3u);
    // Each player with a pad moves his cursor to his own row and presses
    // button 6 there: player 2 on attack, 3 on shift, 4 on jump.
    for (int k = 1; k < c.players; ++k) {
      if (c.padOf[k] < 0) continue;
      for (int step = 1; step < k; ++step) TapPadDirection(c.padOf[k], kPadDown);
      TapPad(c.padOf[k], 6);
    }
    for (int k = 1; k < 4; ++k) {
      std::vector<int32_t> expected = {0, 1, 2};
      if (k < c.players && c.padOf[k] >= 0) expected[static_cast<size_t>(k - 1)] = 6;
      EXPECT_EQ(ButtonsOf(k), expected) << k;
      if (k < c.players && c.padOf[k] >= 0) {
        EXPECT_EQ(app.menus.playerCursors[k], kButtonItems[static_cast<size_t>(k - 1)]) << k;
      }
    }
    // Player 2 resets his buttons on the defaults with his attack button, 6
    // now (no sound), then leaves by back with his attack button, 0 again.
    const int pad = c.padOf[1];
    TapPadDirection(pad, kPadUp);
    TapPadDirection(pad, kPadUp);  // from attack up to back, then to the defaults
    EXPECT_EQ(app.menus.playerCursors[1], kItemDefaults);
    ClearSounds();
    TapPad(pad, 6);
    EXPECT_EQ(ButtonsOf(1), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(CountSound(kSoundValue), 0);
    TapPadDirection(pad, kPadDown);
    EXPECT_EQ(app.menus.playerCursors[1], kItemBack);
    PadButton(pad, 0, true);
    Frames();
    PadButton(pad, 0, false);
    EXPECT_EQ(app.requestedScene, SceneBattleSettings);
    EXPECT_EQ(CountSound(kSoundDecide), 1);
    Frames();
    EXPECT_EQ(app.currentScene, SceneBattleSettings);
    g_input.Release();
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
    g_input.InitKeyboard(nullptr);
  }
}

// Without a pad for anyone the page reads no pad at all; the keyboard's
// cancel or Escape takes player 1 back to the battle settings.
TEST_F(OptionsTest, WithoutPadsTheKeyboardLeavesTheTwoToFourPage) {
  app.battle.players = 4;
  for (int key : {kX, kEscape}) {
    SCOPED_TRACE(key);
    app.requestedScene = SceneButtonConfig2P4P;
    Frames();
    ASSERT_EQ(app.currentScene, SceneButtonConfig2P4P);
    Tap(kZ);
    Tap(kDown);
    Frames(10);
    EXPECT_EQ(app.currentScene, SceneButtonConfig2P4P);
    EXPECT_EQ(app.menus.playerCursors[1], kItemAttackButton);
    ClearSounds();
    Hold(key);
    Frames();
    Let(key);
    EXPECT_EQ(app.requestedScene, SceneBattleSettings);
    EXPECT_EQ(CountSound(kSoundDecide), 1);
    Frames();
    EXPECT_EQ(app.currentScene, SceneBattleSettings);
  }
}

// ---- Pictures ----

TEST_F(OptionsTest, EachPageShowsItsCursorsOnTheirRowsAndTheScreenModeNoteBlinks) {
  constexpr uint32_t kCursor = 0x40C040, kLabels = 0xC08030;
  WriteFlatTexture("texture/cursor.png", 64, 64, kCursor);
  WriteFlatTexture("texture/battle/battlesetting_text.png", 256, 256, kLabels);
  ASSERT_TRUE(g_graphics.CreateFont(10, 20));  // as the game's start does
  drawing = true;
  OpenOptions();
  // The note under the page, white for half a second, then red.
  const auto noteColours = [&](int sceneFrame) {
    app.sceneFrame = sceneFrame - 1;  // the frame counts it up first
    Frames();
    const std::vector<uint32_t> p = Picture();
    int white = 0, red = 0;
    for (int y = 448; y < 472; ++y)
      for (int x = 200; x < 560; ++x) {
        const uint32_t rgb = gltest::Rgb(p, x, y);
        const uint32_t r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        white += r > 200 && g > 200 && b > 200 ? 1 : 0;
        red += r > 200 && g < 60 && b < 60 ? 1 : 0;
      }
    return std::pair{white, red};
  };
  for (size_t i = 0; i < kOptionItems.size(); ++i) {
    SCOPED_TRACE(kOptionItems[i]);
    app.menus.cursor = kOptionItems[i];
    const auto [white, red] = noteColours(10);
    const std::vector<uint32_t> p = Picture();
    for (size_t row = 0; row < kOptionItems.size(); ++row) {
      const int y = 75 + 50 * static_cast<int>(row) + 19;
      EXPECT_EQ(gltest::Rgb(p, 34, y) == kCursor, row == i) << row;
    }
    EXPECT_EQ(white > 50, kOptionItems[i] == kItemScreenMode);
    EXPECT_EQ(red, 0);
  }
  app.menus.cursor = kItemScreenMode;
  const auto [white, red] = noteColours(40);
  EXPECT_EQ(white, 0);
  EXPECT_GT(red, 50);

  // Player 1's page: the cursor at x 5.
  app.requestedScene = SceneButtonConfig1P;
  Frames();
  for (size_t i = 0; i < kButtonItems.size(); ++i) {
    app.menus.cursor = kButtonItems[i];
    Frames();
    const std::vector<uint32_t> p = Picture();
    for (size_t row = 0; row < kButtonItems.size(); ++row)
      EXPECT_EQ(gltest::Rgb(p, 24, 75 + 60 * static_cast<int>(row) + 19) == kCursor, row == i)
          << i << " " << row;
  }

  // Players 2 to 4: each cursor is his label in a column of his own.
  app.battle.players = 4;
  app.requestedScene = SceneButtonConfig2P4P;
  Frames();
  app.menus.playerCursors[1] = kItemAttackButton;
  app.menus.playerCursors[2] = kItemDefaults;
  app.menus.playerCursors[3] = kItemBack;
  Frames();
  const std::vector<uint32_t> p = Picture();
  const int rowOf[4] = {0, 0, 3, 4};
  for (int k = 1; k < 4; ++k)
    for (int row = 0; row < 5; ++row)
      EXPECT_EQ(gltest::Rgb(p, 2 + 30 * (k - 1) + 8, 120 + 60 * row + 8) == kLabels,
                row == rowOf[k])
          << k << " " << row;
  // With two players only player 2's shows.
  app.battle.players = 2;
  Frames();
  const std::vector<uint32_t> two = Picture();
  EXPECT_EQ(gltest::Rgb(two, 10, 128), kLabels);
  EXPECT_NE(gltest::Rgb(two, 40, 308), kLabels);
  EXPECT_NE(gltest::Rgb(two, 70, 368), kLabels);
  drawing = false;
}

// The three pages with the data set's own pictures: each shows its labels
// over the blue. With POMELVANE_CHECKPOINTS set the pictures are written there.
TEST_F(OptionsTest, EachPageDrawsTheDataSetsLabels) {
  ASSERT_TRUE(g_graphics.CreateFont(10, 20));
  app.battle.players = 4;
  drawing = true;
  for (int32_t scene : {SceneOptions, SceneButtonConfig1P, SceneButtonConfig2P4P}) {
    SCOPED_TRACE(scene);
    app.requestedScene = scene;
    Frames();
    if (scene == SceneOptions) app.menus.cursor = kItemScreenMode;
    if (scene == SceneButtonConfig2P4P) {
      app.menus.playerCursors[2] = kItemJumpButton;
      app.menus.playerCursors[3] = kItemBack;
    }
    Frames();
    const std::vector<uint32_t> p = Picture();
    int covered = 0;
    for (uint32_t px : p) covered += (px & 0x00FFFFFFu) != 0x0000FF ? 1 : 0;
    EXPECT_GT(covered, static_cast<int>(p.size()) / 10);
    if (const char* dir = std::getenv("POMELVANE_CHECKPOINTS"))
      WritePng(p, std::string(dir) + "/page" + std::to_string(scene) + ".png");
  }
  drawing = false;
}

// ---- Saved at exit, read back at the next start ----

TEST_F(OptionsTest, OptionsSavedAtExitAreReadBackAndTakeEffectAtTheNextStart) {
  AttachPads(1);
  OpenOptions();
  Taps(kRight, 2);  // view type 3
  Tap(kDown);
  Taps(kRight, 3);  // volume 8
  Tap(kDown);
  Taps(kRight, 2);  // drawn every third frame
  Tap(kDown);
  Tap(kRight);  // full screen from the next start
  Tap(kDown);
  Confirm();
  ASSERT_EQ(app.currentScene, SceneButtonConfig1P);
  TapPad(0, 5);  // attack on button 5
  Down(kButtonItems, kItemBack);
  Confirm();
  ASSERT_EQ(app.currentScene, SceneOptions);
  Tap(kEscape);
  Confirm();
  ASSERT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(g_sound.masterVolume, 800);
  Tap(kLeft);
  ASSERT_EQ(app.menus.cursor, kItemExit);
  Hold(kZ);
  Frames();
  Let(kZ);
  ASSERT_EQ(g_quit, 1);
  ASSERT_TRUE(fs::exists("save/option.sav"));
  g_quit = 0;

  // The next start reads it back.
  app.options = {};
  g_sound.masterVolume = 0;
  for (int a = 0; a < 3; ++a) g_player.SetButton(a, a);
  EXPECT_EQ(app.ReadOptionFile(), 1);
  EXPECT_EQ(app.options.viewType, 2);
  EXPECT_EQ(app.options.volume, 800);
  EXPECT_EQ(app.options.drawInterval, 3);
  EXPECT_EQ(app.options.screenMode, 1);
  EXPECT_EQ(g_sound.masterVolume, 800);
  EXPECT_EQ(ButtonsOf1P(), (std::vector<int32_t>{5, 1, 2}));

  // In the stage: the picture is spread over three frames (the field is
  // drawn on one frame in three), and pad button 5 fires while 0 does not.
  StartFromTitle(kItemStageMode);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  EXPECT_EQ(g_player.viewType, 2);
  int fieldFrames = 0;
  for (int i = 0; i < 6; ++i) {
    ClearTo(0xFF000000u);
    drawing = true;
    Frames();
    drawing = false;
    const std::vector<uint32_t> p = Picture();
    int black = 0;
    for (uint32_t px : p) black += (px & 0x00FFFFFFu) == 0 ? 1 : 0;
    fieldFrames += black < static_cast<int>(p.size()) / 2 ? 1 : 0;
  }
  EXPECT_EQ(fieldFrames, 2);
  Frames(40);
  ClearSounds();
  TapPad(0, 0);
  EXPECT_EQ(CountSound(kSoundShot), 0);
  TapPad(0, 5);
  EXPECT_EQ(CountSound(kSoundShot), 1);
}

// ---- A damaged option file ----

TEST_F(OptionsTest, OutOfRangeOptionsAreBroughtIntoRangeAndThePagesWorkFromTheKeyboard) {
  std::string file;
  // Screen 7, view 9, volume 5000, interval -7; player 1's buttons 9999,
  // -3, 200; players 2-4 fine but one 130.
  const int values[16] = {7, 9, 5000, -7, 9999, -3, 200, 0, 1, 2, 0, 130, 2, 0, 1, 2};
  for (int v : values) file += "k=" + std::to_string(v) + "\r\n";
  WriteData("save/option.sav", file);
  AttachPads(1);
  EXPECT_EQ(app.ReadOptionFile(), 0);  // a window
  EXPECT_EQ(app.options.viewType, 2);
  EXPECT_EQ(app.options.volume, 1000);
  EXPECT_EQ(app.options.drawInterval, 1);
  EXPECT_EQ(ButtonsOf1P(), (std::vector<int32_t>{127, 0, 127}));
  EXPECT_EQ(ButtonsOf(2), (std::vector<int32_t>{0, 127, 2}));

  // Every page opens, draws and is left with the keyboard alone.
  drawing = true;
  OpenOptions();
  Tap(kDown);
  Tap(kLeft);
  EXPECT_EQ(app.options.volume, 900);
  Down(kOptionItems, kItemButtons1P);
  Confirm();
  ASSERT_EQ(app.currentScene, SceneButtonConfig1P);
  Tap(kUp);
  ASSERT_EQ(app.menus.cursor, kItemBack);
  Confirm();
  ASSERT_EQ(app.currentScene, SceneOptions);
  Tap(kX);
  Confirm();
  EXPECT_EQ(app.currentScene, SceneTitle);
  app.battle.players = 3;
  app.requestedScene = SceneButtonConfig2P4P;
  Frames();
  Tap(kEscape);
  Frames();
  EXPECT_EQ(app.currentScene, SceneBattleSettings);
  drawing = false;
}

}  // namespace
