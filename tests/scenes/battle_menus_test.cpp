// The battle menus driven from the title frame by frame with the keyboard
// and virtual joysticks: the walk from the title through the settings, the
// character select and the stage select to the match for two, three and four
// players on the controller rule; too few pads, or a player's pad unplugged;
// the settings' values and their ends; the 121-frame wait; the ways out for a
// keyboard player whose buttons have no key and for players whose pads were
// unplugged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actors/Player.h"
#include "app/MenuItem.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "support/stage_scene_fixture.h"

namespace {

using namespace stagescene;

constexpr int kSoundValue = kSystemSoundBase + 0;
constexpr int kSoundDecide = kSystemSoundBase + 1;
constexpr int kSoundStep = kSystemSoundBase + 2;

class BattleMenusTest : public StageSceneTest {
 protected:
  void SetUp() override {
    StageSceneTest::SetUp();
    // As the game's start leaves them.
    app.battle.drawInterval = 2;
    app.battle.players = 2;
    app.battle.matchTime = 6000;
  }
  void TearDown() override {
    app.ReleaseCharacterSelect();
    StageSceneTest::TearDown();  // releases the input device first
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
  }

  void AttachPads(int n) {
    ASSERT_EQ(port::AttachedPadCount(), 0) << "a real joystick would take a pad's place";
    for (int i = 0; i < n; ++i) ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount), i);
    g_input.InitJoysticks(
        nullptr, nullptr,
        [](const PadDeviceInstance* d, void*) { return g_input.OnEnumDevice(d, nullptr); },
        [](const PadAxisInstance* a, void*) { return g_input.OnEnumAxis(a, nullptr); });
    ASSERT_EQ(g_input.GetPadCount(), n);
  }
  void TapPad(int pad, int button) {
    port::SetVirtualPadButton(pad, button, true);
    Frames();
    port::SetVirtualPadButton(pad, button, false);
    Frames();
  }
  void TapPadDirection(int pad, int direction) {
    const int axis = direction < 2 ? 1 : 0;
    port::SetVirtualPadAxis(pad, axis,
                            direction == kPadUp || direction == kPadLeft ? -32768 : 32767);
    Frames();
    port::SetVirtualPadAxis(pad, axis, 0);
    Frames();
  }
  void Taps(int key, int n) {
    for (int i = 0; i < n; ++i) Tap(key);
  }

  // From the title: two steps right to the battle item, confirmed.
  void OpenSettings() {
    app.requestedScene = SceneTitle;
    Frames();
    ASSERT_EQ(app.currentScene, SceneTitle);
    Taps(kRight, 2);
    ASSERT_EQ(app.menus.cursor, kItemBattle);
    Tap(kZ);
    ASSERT_EQ(app.currentScene, SceneBattleSettings);
  }
  void DownTo(int32_t item) {
    for (int i = 0; i < 6 && app.menus.cursor != item; ++i) Tap(kDown);
    ASSERT_EQ(app.menus.cursor, item);
  }
  // The settings with `players`, confirmed on start, into the character select.
  void OpenCharacterSelect(int players) {
    OpenSettings();
    Taps(kRight, players - 2);
    ASSERT_EQ(app.battle.players, players);
    DownTo(kItemStart);
    Tap(kZ);
    ASSERT_EQ(app.currentScene, SceneCharacterSelect);
  }
  // Everyone taking part decides with his attack button (pad[i] < 0: the
  // keyboard's Z).
  void DecideAll(const std::vector<int>& pad) {
    for (size_t i = 0; i < pad.size(); ++i) {
      if (pad[i] < 0) {
        Tap(kZ);
      } else {
        TapPad(pad[i], 0);
      }
    }
  }
  std::vector<int32_t> Choices() const {
    return std::vector<int32_t>(app.battle.character, app.battle.character + app.battle.players);
  }
  std::vector<int> Decided() const {
    return std::vector<int>(app.battle.decided, app.battle.decided + app.battle.players);
  }
  // Player i's step: on the keyboard when pad < 0, else on his pad.
  void Step(int pad, int direction) {
    static constexpr int kArrows[4] = {kUp, kDown, kLeft, kRight};
    if (pad < 0) {
      Tap(kArrows[direction]);
    } else {
      TapPadDirection(pad, direction);
    }
  }
  void Unplug(int pad) { ASSERT_TRUE(port::DetachVirtualPad(pad)); }
  void DetachAll() {
    g_input.Release();
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
    g_input.InitKeyboard(nullptr);
  }
  // One frame drawn; whether the settings page's note says there are too
  // few pads (its white text under the items).
  bool SaysTooFewPads() {
    drawing = true;
    Frames();
    drawing = false;
    const std::vector<uint32_t> p = Picture();
    int white = 0;
    for (int y = 400; y < 420; ++y)
      for (int x = 250; x < 490; ++x)
        white += (gltest::Rgb(p, x, y) & 0xC0C0C0) == 0xC0C0C0 ? 1 : 0;
    return white > 30;
  }
};

// ---- The walk ----

// Each player steers his own choice: player 1 on the keyboard (and pad 0 when
// there is a pad for everyone), the others on their pads; a step off the grid
// does nothing.
TEST_F(BattleMenusTest, TwoToFourPlayersWalkFromTheTitleToTheMatchEachOnHisOwnControls) {
  struct Case {
    int players, pads;
    std::vector<int> padOf;  // -1: player 1 on the keyboard only
  };
  const Case cases[] = {
      {2, 1, {-1, 0}},
      {3, 2, {-1, 0, 1}},
      {4, 3, {-1, 0, 1, 2}},
      {4, 4, {0, 1, 2, 3}},
  };
  struct Move {
    int player, direction;
  };
  const Move moves[] = {{0, kPadRight}, {0, kPadDown}, {0, kPadRight},
                        {1, kPadDown},  {1, kPadLeft}, {2, kPadUp},
                        {2, kPadRight}, {3, kPadUp},   {3, kPadLeft}};
  const std::vector<int32_t> first = {1, 2, 3, 4}, chosen = {4, 3, 2, 1};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.players) + " players, " + std::to_string(c.pads) + " pads");
    const auto taking = [&](const std::vector<int32_t>& v) {
      return std::vector<int32_t>(v.begin(), v.begin() + c.players);
    };
    AttachPads(c.pads);
    ClearSounds();
    OpenCharacterSelect(c.players);
    EXPECT_EQ(CountSound(kMusicSoundId), 1);
    for (const SoundEvent& e : sounds)
      if (e.id == kMusicSoundId) {
        EXPECT_EQ(e.volume, -1500);
      }
    EXPECT_EQ(CountSound(kSoundDecide), 2);  // the title's and start's
    EXPECT_EQ(app.sceneTextures.size(), 7u);
    EXPECT_EQ(Choices(), taking(first));

    ClearSounds();
    bool keyboardUsed = false;
    for (const Move& m : moves) {
      if (m.player >= c.players) continue;
      int pad = c.padOf[static_cast<size_t>(m.player)];
      if (m.player == 0 && !keyboardUsed) pad = -1;  // player 1 always has the keyboard
      keyboardUsed = keyboardUsed || m.player == 0;
      Step(pad, m.direction);
    }
    EXPECT_EQ(Choices(), taking(chosen));
    EXPECT_EQ(CountSound(kSoundStep), 2 * c.players);
    EXPECT_EQ(Decided(), std::vector<int>(static_cast<size_t>(c.players), 0));

    ClearSounds();
    DecideAll(c.padOf);
    EXPECT_EQ(Decided(), std::vector<int>(static_cast<size_t>(c.players), 1));
    EXPECT_EQ(CountSound(kSoundDecide), c.players);
    EXPECT_GT(FramesUntil([&] { return app.requestedScene == SceneStageSelect; }, 125), 100);
    Frames();
    ASSERT_EQ(app.currentScene, SceneStageSelect);
    EXPECT_EQ(app.sceneTextures.size(), 6u);
    EXPECT_EQ(app.menus.cursor, kItemBattleStage);
    Tap(kRight);
    EXPECT_EQ(app.battle.stage, 1);
    Tap(kDown);
    ASSERT_EQ(app.menus.cursor, kItemStart);
    ClearSounds();
    Hold(kZ);
    Frames();
    Let(kZ);
    EXPECT_EQ(app.requestedScene, SceneBattle);
    EXPECT_EQ(app.currentScene, SceneNone);
    EXPECT_TRUE(app.sceneTextures.empty());
    EXPECT_EQ(CountSound(kSoundDecide), 1);
    // The match stays out of this test: the next case starts at the title.
    EXPECT_EQ(Choices(), taking(chosen));
    DetachAll();
  }
}

// ---- The settings ----

TEST_F(BattleMenusTest, SettingsStepAndStopAtBothEndsAndTheCursorWalksTheSixItems) {
  OpenSettings();
  EXPECT_EQ(app.menus.cursor, kItemPlayers);
  EXPECT_EQ(app.sceneTextures.size(), 5u);
  EXPECT_EQ(app.battle.matchTime, 6000);
  EXPECT_EQ(app.battle.players, 2);
  EXPECT_EQ(app.battle.drawInterval, 2);

  struct Row {
    int32_t item;
    int key;
    int32_t BattleSettings::*field;
    std::vector<int32_t> after;  // after each press
  };
  const Row rows[] = {
      {kItemPlayers, kRight, &BattleSettings::players, {3, 4, 4}},
      {kItemPlayers, kLeft, &BattleSettings::players, {3, 2, 2}},
      // The longest time is 9900; down from it comes 8000.
      {kItemMatchTime, kRight, &BattleSettings::matchTime, {7000, 8000, 9000, 9900, 9900}},
      {kItemMatchTime,
       kLeft,
       &BattleSettings::matchTime,
       {8000, 7000, 6000, 5000, 4000, 3000, 3000}},
      {kItemMatchTime, kRight, &BattleSettings::matchTime, {4000}},
      {kItemDrawInterval, kRight, &BattleSettings::drawInterval, {3, 3}},
      {kItemDrawInterval, kLeft, &BattleSettings::drawInterval, {2, 1, 1}},
      // Elsewhere nothing changes, but the key still sounds.
      {kItemStart, kRight, &BattleSettings::players, {2}},
      {kItemBack, kLeft, &BattleSettings::players, {2}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.item) + (row.key == kRight ? " right" : " left"));
    DownTo(row.item);
    ClearSounds();
    std::vector<int32_t> seen;
    for (size_t i = 0; i < row.after.size(); ++i) {
      Tap(row.key);
      seen.push_back(app.battle.*row.field);
    }
    EXPECT_EQ(seen, row.after);
    EXPECT_EQ(CountSound(kSoundValue), static_cast<int>(row.after.size()));
    EXPECT_EQ(sounds.front().volume, -1000);
  }
  // Held, a key steps once.
  DownTo(kItemMatchTime);
  Hold(kRight);
  Frames(30);
  Let(kRight);
  Frames();
  EXPECT_EQ(app.battle.matchTime, 5000);

  ClearSounds();
  std::vector<int32_t> down, up;
  for (int i = 0; i < 6; ++i) {
    Tap(kDown);
    down.push_back(app.menus.cursor);
  }
  for (int i = 0; i < 6; ++i) {
    Tap(kUp);
    up.push_back(app.menus.cursor);
  }
  EXPECT_EQ(down, (std::vector<int32_t>{10, 24, 11, 12, 8, 9}));
  EXPECT_EQ(up, (std::vector<int32_t>{8, 12, 11, 24, 10, 9}));
  EXPECT_EQ(CountSound(kSoundStep), 12);
  EXPECT_EQ(sounds.front().volume, -2000);
  // Cancel goes to back without leaving; back leads to the title.
  Tap(kX);
  EXPECT_EQ(app.menus.cursor, kItemBack);
  EXPECT_EQ(app.currentScene, SceneBattleSettings);
  ClearSounds();
  Tap(kZ);
  EXPECT_EQ(app.currentScene, SceneTitle);
  EXPECT_EQ(CountSound(kSoundDecide), 0);
}

TEST_F(BattleMenusTest, AConfirmHeldFromTheTitleActsOnlyAfterARelease) {
  app.requestedScene = SceneTitle;
  Frames();
  Taps(kRight, 2);
  Hold(kZ);
  Frames(2);  // the title asks for the settings; they open with Z still down
  ASSERT_EQ(app.currentScene, SceneBattleSettings);
  app.menus.cursor = kItemBack;
  Frames(20);
  EXPECT_EQ(app.currentScene, SceneBattleSettings);
  Let(kZ);
  Frames();
  Hold(kZ);
  Frames(2);
  Let(kZ);
  EXPECT_EQ(app.currentScene, SceneTitle);
}

// Start needs a pad for every player but the first; the page says so. The
// keyboard still leaves by back, and the button page of players 2 to 4
// opens and is left from the keyboard.
TEST_F(BattleMenusTest, WithTooFewPadsStartDoesNothingAndThePageSaysSo) {
  ASSERT_TRUE(g_graphics.CreateFont(10, 20));
  struct Case {
    int players, pads;
    bool starts;
  };
  const Case cases[] = {{2, 0, false}, {2, 1, true},  {3, 1, false},
                        {3, 2, true},  {4, 2, false}, {4, 3, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.players) + " players, " + std::to_string(c.pads) + " pads");
    AttachPads(c.pads);
    app.battle.players = 2;
    OpenSettings();
    Taps(kRight, c.players - 2);
    EXPECT_EQ(SaysTooFewPads(), !c.starts);
    DownTo(kItemStart);
    ClearSounds();
    Hold(kZ);
    Frames();
    EXPECT_EQ(app.requestedScene, c.starts ? SceneCharacterSelect : SceneNone);
    Frames(4);
    Let(kZ);
    EXPECT_EQ(app.currentScene, c.starts ? SceneCharacterSelect : SceneBattleSettings);
    EXPECT_EQ(CountSound(kSoundDecide), c.starts ? 1 : 0);
    if (!c.starts) {
      EXPECT_EQ(app.currentScene, SceneBattleSettings);
      // The button page opens all the same, and the keyboard comes back.
      Tap(kUp);
      ASSERT_EQ(app.menus.cursor, kItemButtons2P4P);
      Tap(kZ);
      ASSERT_EQ(app.currentScene, SceneButtonConfig2P4P);
      Tap(kX);
      Frames();
      ASSERT_EQ(app.currentScene, SceneBattleSettings);
      Tap(kX);
      Tap(kZ);
      EXPECT_EQ(app.currentScene, SceneTitle);
    }
    DetachAll();
  }
}

// ---- The character select ----

TEST_F(BattleMenusTest, TheWaitCountsOneHundredAndTwentyOneFramesAndACancelRestartsIt) {
  AttachPads(1);
  OpenCharacterSelect(2);
  Tap(kZ);
  EXPECT_EQ(Decided(), (std::vector<int>{1, 0}));
  Frames(200);  // player 2 has not decided: no wait
  EXPECT_EQ(app.sceneFrame, 0);
  // Player 1's keys do nothing while he is decided.
  ClearSounds();
  Tap(kRight);
  Tap(kDown);
  EXPECT_EQ(Choices(), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(CountSound(kSoundStep), 0);

  port::SetVirtualPadButton(0, 0, true);
  Frames();  // everyone decided in this frame's keys: the wait starts after it
  port::SetVirtualPadButton(0, 0, false);
  Frames(100);
  // Player 2 cancels: the wait starts again, and nobody leaves while player
  // 1 stays decided.
  TapPad(0, 1);
  EXPECT_EQ(Decided(), (std::vector<int>{1, 0}));
  EXPECT_EQ(app.sceneFrame, 0);
  EXPECT_EQ(app.currentScene, SceneCharacterSelect);
  port::SetVirtualPadButton(0, 0, true);
  Frames();
  port::SetVirtualPadButton(0, 0, false);
  Frames(120);
  EXPECT_EQ(app.sceneFrame, 120);
  EXPECT_EQ(app.requestedScene, SceneNone);
  EXPECT_EQ(app.currentScene, SceneCharacterSelect);
  Frames();
  EXPECT_EQ(app.requestedScene, SceneStageSelect);
  EXPECT_EQ(app.currentScene, SceneNone);
  EXPECT_TRUE(app.sceneTextures.empty());
  EXPECT_FALSE(SelectModel::Model(0).IsLoaded());

  // Back from the stage select: the choices start again; a cancel with
  // nobody decided leads to the settings.
  Frames();
  ASSERT_EQ(app.currentScene, SceneStageSelect);
  Tap(kX);
  EXPECT_EQ(app.menus.cursor, kItemBack);
  Tap(kZ);
  ASSERT_EQ(app.currentScene, SceneCharacterSelect);
  EXPECT_EQ(Decided(), (std::vector<int>{0, 0}));
  EXPECT_EQ(Choices(), (std::vector<int32_t>{1, 2}));
  Tap(kX);
  EXPECT_EQ(app.currentScene, SceneBattleSettings);
  EXPECT_EQ(app.menus.cursor, kItemPlayers);
}

// A keyboard player's confirm and cancel follow his button numbers (0 Z,
// 1 X, 2 C); a number without a key falls back to Z for the confirm and X
// for the cancel, or to the first of Z, X, C the other leaves free.
TEST_F(BattleMenusTest, AKeyboardPlayerConfirmsAndCancelsWhateverHisButtonNumbers) {
  AttachPads(1);
  struct Case {
    int32_t attack, shift;
    int confirm, cancel;
  };
  const Case cases[] = {
      {0, 1, kZ, kX}, {1, 0, kX, kZ}, {2, 0, kC, kZ}, {5, 7, kZ, kX},
      {5, 0, kX, kZ}, {0, 9, kZ, kX}, {9, 2, kZ, kC}, {1, 1, kX, kZ},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.attack) + " " + std::to_string(c.shift));
    g_player.SetButton(kActionAttack, c.attack);
    g_player.SetButton(kActionShift, c.shift);
    OpenCharacterSelect(2);
    EXPECT_EQ(app.battlePlayers[0].GetButton(0), c.attack);
    for (int other : {kZ, kX, kC}) {
      if (other == c.confirm || other == c.cancel) continue;
      Tap(other);
      EXPECT_EQ(Decided(), (std::vector<int>{0, 0})) << other;
    }
    Tap(c.confirm);
    EXPECT_EQ(Decided(), (std::vector<int>{1, 0}));
    Tap(c.cancel);
    EXPECT_EQ(Decided(), (std::vector<int>{0, 0}));
    EXPECT_EQ(app.currentScene, SceneCharacterSelect);
    Tap(c.cancel);
    EXPECT_EQ(app.currentScene, SceneBattleSettings);
  }
}

// Pads that go away on the character select read as released. Nothing
// breaks, and the keyboard player always gets back to the settings (Escape
// when a decided player's pad is gone).
TEST_F(BattleMenusTest, UnpluggedPadsNeitherBreakNorTrapTheMenus) {
  AttachPads(2);
  OpenSettings();
  Tap(kRight);
  drawing = true;
  Frames();
  DownTo(kItemStart);
  Tap(kZ);
  ASSERT_EQ(app.currentScene, SceneCharacterSelect);
  Unplug(1);
  TapPad(0, 0);  // player 2 decides, then his pad goes
  EXPECT_EQ(Decided(), (std::vector<int>{0, 1, 0}));
  Unplug(0);
  Frames(10);
  Tap(kZ);
  Tap(kX);
  Tap(kX);  // player 2 is decided: a cancel does not leave
  EXPECT_EQ(app.currentScene, SceneCharacterSelect);
  Frames(200);
  EXPECT_EQ(app.currentScene, SceneCharacterSelect);
  Tap(kEscape);
  EXPECT_EQ(app.currentScene, SceneBattleSettings);
  EXPECT_FALSE(SelectModel::Model(1).IsLoaded());
  // The settings count no pad now and refuse the start; they and the stage
  // select work from the keyboard.
  DownTo(kItemStart);
  Tap(kZ);
  ASSERT_EQ(app.currentScene, SceneBattleSettings);
  app.requestedScene = SceneStageSelect;
  Frames();
  Tap(kDown);
  Tap(kDown);
  Tap(kZ);
  EXPECT_EQ(app.currentScene, SceneCharacterSelect);
  drawing = false;
}

// The settings count only the pads plugged in: one out, start does nothing
// and the page says so; a stranger plugged in changes nothing; the pad
// plugged back counts again and steers its own player's choice.
TEST_F(BattleMenusTest, PadsPluggedBackCountAgainAndServeTheirPlayers) {
  ASSERT_TRUE(g_graphics.CreateFont(10, 20));
  const auto startTaken = [&] {
    Tap(kZ);
    return app.currentScene == SceneCharacterSelect;
  };
  AttachPads(3);
  OpenSettings();
  Taps(kRight, 2);
  DownTo(kItemStart);
  EXPECT_FALSE(SaysTooFewPads());
  Unplug(1);  // devices 0 and 1: the first and third pad
  EXPECT_TRUE(SaysTooFewPads());
  EXPECT_EQ(g_input.GetPadCount(), 2);
  EXPECT_FALSE(startTaken());
  ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount, 9), 2);
  EXPECT_TRUE(SaysTooFewPads());
  EXPECT_FALSE(startTaken());
  ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount), 3);
  EXPECT_FALSE(SaysTooFewPads());
  EXPECT_EQ(g_input.GetPadCount(), 3);
  ASSERT_TRUE(startTaken());

  // Players 2, 3 and 4 on devices 0, 3 and 1; each step moves one choice.
  struct Move {
    int device, player, direction;
    int32_t to;
  };
  const Move moves[] = {{3, 2, kPadUp, 1}, {0, 1, kPadDown, 4}, {1, 3, kPadUp, 2}};
  std::vector<int32_t> want = {1, 2, 3, 4};
  for (const Move& m : moves) {
    TapPadDirection(m.device, m.direction);
    want[static_cast<size_t>(m.player)] = m.to;
    EXPECT_EQ(Choices(), want) << "device " << m.device;
  }
  EXPECT_FALSE(port::SetVirtualPadButton(2, 0, true)) << "the stranger is never opened";
}

// Start asks whether the pads players 2 to N will be given are plugged in,
// not how many pads are: for 2 to 4 players on 1 to 4 pads opened, with each
// set of them unplugged, the page says too few and start does nothing
// exactly when one of those pads is out or was never there.
TEST_F(BattleMenusTest, StartNeedsThePadsThePlayersAreGivenPluggedIn) {
  ASSERT_TRUE(g_graphics.CreateFont(10, 20));
  struct Row {
    int players, opened;
    std::vector<int> given;  // the pads of players 2 to N; one >= opened is none
  };
  const Row rows[] = {
      {2, 1, {0}},       {2, 2, {1}},       {2, 3, {1}},       {2, 4, {1}},
      {3, 1, {0, 1}},    {3, 2, {0, 1}},    {3, 3, {1, 2}},    {3, 4, {1, 2}},
      {4, 1, {0, 1, 2}}, {4, 2, {0, 1, 2}}, {4, 3, {0, 1, 2}}, {4, 4, {1, 2, 3}},
  };
  for (int opened = 1; opened <= 4; ++opened) {
    for (int out = 0; out < 1 << opened; ++out) {  // bit p: pad p unplugged
      std::string unplugged;
      for (int pad = 0; pad < opened; ++pad)
        if (out & 1 << pad) unplugged += " " + std::to_string(pad);
      SCOPED_TRACE(std::to_string(opened) + " pads opened, unplugged:" + unplugged);
      AttachPads(opened);
      for (int pad = opened - 1; pad >= 0; --pad)
        if (out & 1 << pad) Unplug(pad);
      app.battle.players = 2;
      OpenSettings();
      for (const Row& row : rows) {
        if (row.opened != opened) continue;
        SCOPED_TRACE(std::to_string(row.players) + " players");
        bool starts = true;
        for (int pad : row.given) starts = starts && pad < opened && !(out & 1 << pad);
        DownTo(kItemPlayers);
        Taps(kRight, row.players - app.battle.players);
        ASSERT_EQ(app.battle.players, row.players);
        EXPECT_EQ(SaysTooFewPads(), !starts);
        DownTo(kItemStart);
        Tap(kZ);
        EXPECT_EQ(app.currentScene, starts ? SceneCharacterSelect : SceneBattleSettings);
        if (app.currentScene == SceneCharacterSelect) Tap(kEscape);
        ASSERT_EQ(app.currentScene, SceneBattleSettings);
      }
      DetachAll();
    }
  }
}

// Two pads, player 2's unplugged on the settings page: one pad is in, yet
// start waits for his; plugged back, he chooses with it. With pad 0 out
// instead, player 2 starts and chooses on his own pad.
TEST_F(BattleMenusTest, APlayersPadOutHoldsTheStartUntilItIsBackAndThenServesHim) {
  ASSERT_TRUE(g_graphics.CreateFont(10, 20));
  AttachPads(2);
  OpenSettings();
  DownTo(kItemStart);
  EXPECT_FALSE(SaysTooFewPads());
  Unplug(1);
  EXPECT_TRUE(SaysTooFewPads());
  Tap(kZ);
  EXPECT_EQ(app.currentScene, SceneBattleSettings);
  ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount), 1);
  EXPECT_FALSE(SaysTooFewPads());
  Tap(kZ);
  ASSERT_EQ(app.currentScene, SceneCharacterSelect);
  TapPadDirection(1, kPadDown);
  TapPadDirection(0, kPadRight);  // two players on two pads: pad 0 is player 1's
  EXPECT_EQ(Choices(), (std::vector<int32_t>{2, 4}));
  TapPad(1, 0);
  EXPECT_EQ(Decided(), (std::vector<int>{0, 1}));
  Tap(kEscape);
  ASSERT_EQ(app.currentScene, SceneBattleSettings);

  Unplug(0);  // player 2's pad is device 0 now
  DownTo(kItemStart);
  EXPECT_FALSE(SaysTooFewPads());
  Tap(kZ);
  ASSERT_EQ(app.currentScene, SceneCharacterSelect);
  TapPadDirection(0, kPadDown);
  TapPad(0, 0);
  EXPECT_EQ(Choices(), (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(Decided(), (std::vector<int>{0, 1}));
}

// ---- The stage select ----

TEST_F(BattleMenusTest, TheStageSelectTogglesTheFieldOnItsItemOnlyAndWalksThreeItems) {
  OpenSettings();
  app.battle.stage = 1;
  app.requestedScene = SceneStageSelect;
  Frames();
  ASSERT_EQ(app.currentScene, SceneStageSelect);
  EXPECT_EQ(app.battle.stage, 0);
  ClearSounds();
  Tap(kRight);
  Tap(kLeft);
  Tap(kLeft);
  EXPECT_EQ(app.battle.stage, 1);
  EXPECT_EQ(CountSound(kSoundValue), 3);
  std::vector<int32_t> down, up;
  for (int i = 0; i < 3; ++i) {
    Tap(kDown);
    down.push_back(app.menus.cursor);
  }
  for (int i = 0; i < 3; ++i) {
    Tap(kUp);
    up.push_back(app.menus.cursor);
  }
  EXPECT_EQ(down, (std::vector<int32_t>{11, 12, 13}));
  EXPECT_EQ(up, (std::vector<int32_t>{12, 11, 13}));
  EXPECT_EQ(CountSound(kSoundStep), 6);
  Tap(kDown);
  ClearSounds();
  Tap(kRight);  // not on the field's item
  EXPECT_EQ(app.battle.stage, 1);
  EXPECT_TRUE(sounds.empty());
  Tap(kX);
  EXPECT_EQ(app.menus.cursor, kItemBack);
  EXPECT_EQ(app.currentScene, SceneStageSelect);
}

TEST_F(BattleMenusTest, OutOfRangePlayersAreFalseAndReleasesRunTwice) {
  AttachPads(4);
  app.battle.players = 4;
  port::SetVirtualPadButton(3, 0, true);
  port::SetVirtualPadAxis(3, 1, 32767);
  g_input.PollJoysticks();
  EXPECT_TRUE(app.IsPlayerButton(0, 3));
  EXPECT_TRUE(app.IsPlayerDirection(kPadDown, 3));
  for (int player : {-1, 4, 5}) {
    EXPECT_FALSE(app.IsPlayerButton(0, player)) << player;
    EXPECT_FALSE(app.IsPlayerDirection(kPadDown, player)) << player;
  }
  EXPECT_FALSE(app.IsPlayerDirection(4, 3));
  EXPECT_FALSE(app.IsPlayerButton(-1, 3));
  EXPECT_FALSE(app.IsPlayerButton(500, 3));
  port::SetVirtualPadButton(3, 0, false);
  port::SetVirtualPadAxis(3, 1, 0);
  app.battle.players = 2;

  OpenCharacterSelect(2);
  EXPECT_TRUE(SelectModel::Model(3).IsLoaded());
  app.ReleaseCharacterSelect();
  app.ReleaseCharacterSelect();
  EXPECT_FALSE(SelectModel::Model(3).IsLoaded());
  EXPECT_EQ(SelectModel::Flower(), nullptr);
  app.ReleaseStageSelect();
  app.ReleaseStageSelect();
  EXPECT_TRUE(app.sceneTextures.empty());
}

}  // namespace
