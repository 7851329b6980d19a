#pragma once
// Drives the battle match (scene 14) through Application::Frame on the
// stage-scene fixture's scratch copy of the data set: the settings the
// battle menus would fill are set directly and the scene is requested.
// Players 2 to 4 answer to virtual pads when a test attaches them (with
// fewer pads than players, player k answers to pad k - 2). The battle
// players' class-wide pointers into the test's application are dropped at
// the end.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "actors/BattlePlayer.h"
#include "app/Application.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "port/random.h"
#include "scenes/BattleScene.h"
#include "support/gl_context.h"
#include "support/stage_scene_fixture.h"

namespace battlematch {

using stagescene::kF12;
using stagescene::kLeft;
using stagescene::kRight;
using stagescene::kZ;

struct MatchSettings {
  int32_t players = 2;
  int32_t matchTime = 6000;
  int32_t stage = 0;
  int32_t interval = 1;
  std::array<int32_t, 4> characters = {1, 2, 3, 4};
};

class BattleMatchTest : public stagescene::StageSceneTest {
 protected:
  void SetUp() override {
    StageSceneTest::SetUp();
    if (HasFatalFailure()) return;
    port::CrtSrand(14);
  }
  void TearDown() override {
    port::ClearTestKeys();
    app.ReleaseBattle();
    BattlePlayer::LoadShared(0, nullptr, nullptr, nullptr);
    for (BattlePlayer& p : app.battlePlayers) p.Release();
    g_input.Release();
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
    StageSceneTest::TearDown();
  }

  // The menus' work: the settings, then the match requested and entered.
  void StartMatch(const MatchSettings& s) {
    app.battle.players = s.players;
    app.battle.matchTime = s.matchTime;
    app.battle.stage = s.stage;
    app.battle.drawInterval = s.interval;
    for (int i = 0; i < 4; ++i) app.battle.character[i] = s.characters[static_cast<size_t>(i)];
    app.requestedScene = SceneBattle;
    Frames();
  }
  BattlePlayer& P(int i) { return app.battlePlayers[i]; }

  // n virtual pads, opened by the input device; of models firstModel,
  // firstModel + 1, ... when it is set, else all of one model.
  void AttachPads(int n, int firstModel = 0) {
    ASSERT_EQ(port::AttachedPadCount(), 0) << "a real joystick would take a player's place";
    for (int i = 0; i < n; ++i) {
      const int model = firstModel ? firstModel + i : 0;
      ASSERT_GE(port::AttachVirtualPad(2, port::kPadButtonCount, model), 0);
    }
    g_input.InitJoysticks(
        nullptr, nullptr,
        [](const PadDeviceInstance* d, void* c) { return g_input.OnEnumDevice(d, c); },
        [](const PadAxisInstance* a, void* c) { return g_input.OnEnumAxis(a, c); });
    ASSERT_EQ(g_input.GetPadCount(), n);
  }

  // The players a virtual pad's stick moves, held up for 10 frames.
  std::vector<int> PlayersMovedBy(int device) {
    port::Vec3 before[4];
    for (int i = 0; i < 4; ++i) before[i] = P(i).position;
    EXPECT_TRUE(port::SetVirtualPadAxis(device, 1, -32768));
    Frames(10);
    port::SetVirtualPadAxis(device, 1, 0);
    Frames(5);
    std::vector<int> moved;
    for (int i = 0; i < 4; ++i) {
      const float dx = P(i).position.x - before[i].x, dz = P(i).position.z - before[i].z;
      if (dx * dx + dz * dz > 0.25f) moved.push_back(i);
    }
    return moved;
  }

  // From the start to the result menu's first frame.
  void RunToResultMenu() {
    ASSERT_GT(UntilPhase(battle::kResultMenu, 2 * app.battle.matchTime + 1000), 0);
  }
};

}  // namespace battlematch
