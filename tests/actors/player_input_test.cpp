// The controller rule: which keys and pad each player reads, whether the pads
// are enough for a battle, and the command the controller steps on.
#include "actors/PlayerInput.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/InputDevice.h"
#include "port/input.h"
#include "port/random.h"
#include "support/battle_fixture.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"

namespace {

bool Same(const InputSource& a, const InputSource& b) {
  return a.keyboard == b.keyboard && a.pad == b.pad;
}

TEST(PlayerInputRule, EachBattlePlayerReadsTheKeyboardOrHisPadAndEnoughPadsStartABattle) {
  constexpr InputSource kKeys{true, kNoPad}, kKeysAndPad0{true, 0};
  const struct {
    int players, pads;
    InputSource sources[4];
    bool enough;
  } cases[] = {
      // Fewer pads than players: player 1 on the keyboard only, player k on pad k - 2.
      {2, 0, {kKeys, {false, 0}, {false, 1}, {false, 2}}, false},
      {2, 1, {kKeys, {false, 0}, {false, 1}, {false, 2}}, true},
      {3, 1, {kKeys, {false, 0}, {false, 1}, {false, 2}}, false},
      {3, 2, {kKeys, {false, 0}, {false, 1}, {false, 2}}, true},
      {4, 2, {kKeys, {false, 0}, {false, 1}, {false, 2}}, false},
      {4, 3, {kKeys, {false, 0}, {false, 1}, {false, 2}}, true},
      // A pad for every player: player 1 on the keyboard or pad 0, player k on pad k - 1.
      {2, 2, {kKeysAndPad0, {false, 1}, {false, 2}, {false, 3}}, true},
      {3, 4, {kKeysAndPad0, {false, 1}, {false, 2}, {false, 3}}, true},
      {4, 4, {kKeysAndPad0, {false, 1}, {false, 2}, {false, 3}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.players << " players, " << c.pads << " pads");
    for (int i = 0; i < 4; ++i)
      EXPECT_TRUE(Same(BattlePlayerInput(i, c.players, c.pads), c.sources[i])) << i;
    for (int outside : {-1, 4, 1000}) {
      EXPECT_TRUE(Same(BattlePlayerInput(outside, c.players, c.pads), InputSource{})) << outside;
    }
    EXPECT_EQ(EnoughPads(c.players, c.pads), c.enough);
  }
  EXPECT_TRUE(Same(kStagePlayerInput, kKeysAndPad0));
}

TEST(PlayerInputRule, ACommandHoldsEachDirectionAndActionOnItsOwn) {
  const ControlCommand none;
  for (int d = 0; d < 4; ++d) {
    const ControlCommand c = none.WithDirection(d);
    for (int e = -1; e <= 4; ++e) EXPECT_EQ(c.Direction(e), d == e) << d << " " << e;
    for (int a = 0; a < kControlActionCount; ++a) EXPECT_FALSE(c.Action(a));
  }
  for (int a = 0; a < kControlActionCount; ++a) {
    const ControlCommand c = none.WithAction(a);
    for (int b = -1; b <= kControlActionCount; ++b) EXPECT_EQ(c.Action(b), a == b) << a << b;
    for (int d = 0; d < 4; ++d) EXPECT_FALSE(c.Direction(d));
  }
  // Nothing outside the ranges is held.
  EXPECT_EQ(none.WithDirection(4).WithDirection(-1).WithAction(3).WithAction(-1), none);
}

class PlayerInputReads : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(port::StartInput());
    if (port::AttachedPadCount() > 0) GTEST_SKIP() << "a real joystick is attached";
    for (int i = 0; i < 2; ++i) ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount), i);
    g_input.InitKeyboard(nullptr);
    ASSERT_TRUE(g_input.InitJoysticks(
        nullptr, nullptr,
        [](const PadDeviceInstance* d, void* c) { return g_input.OnEnumDevice(d, c); },
        [](const PadAxisInstance* a, void* c) { return g_input.OnEnumAxis(a, c); }));
  }
  void TearDown() override {
    port::ClearTestKeys();
    g_input.Release();
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
    port::StopInput();
  }
  static void Poll() {
    g_input.PollKeyboard();
    g_input.PollJoysticks();
  }
};

TEST_F(PlayerInputReads, TheKeyboardPlayerReadsZXAndCAsActionsAndAsButtonsZeroToTwoOnly) {
  constexpr InputSource keys{true, kNoPad};
  constexpr InputSource pad0{false, 0};
  for (int b = 0; b < kControlActionCount; ++b) {
    SCOPED_TRACE(b);
    port::SetTestKey(kActionKeys[b], true);
    Poll();
    for (int other = 0; other < kControlActionCount; ++other) {
      EXPECT_EQ(keys.IsButtonDown(other), other == b);
      // An action keeps its key whatever pad button it is assigned.
      EXPECT_EQ(keys.IsActionDown(other, 7), other == b);
    }
    EXPECT_FALSE(keys.IsPadButtonDown(b));
    EXPECT_FALSE(pad0.IsButtonDown(b));
    EXPECT_FALSE(pad0.IsActionDown(b, b));
    port::SetTestKey(kActionKeys[b], false);
  }
  // With all three keys down, buttons above 2 have no key.
  for (int key : kActionKeys) port::SetTestKey(key, true);
  Poll();
  for (int32_t b : {3, 9, 127, -1}) EXPECT_FALSE(keys.IsButtonDown(b)) << b;
  EXPECT_FALSE(keys.IsActionDown(kControlActionCount, 0));
  for (int d = 0; d < 4; ++d) {
    port::SetTestKey(kDirectionKeys[d], true);
    Poll();
    for (int e = 0; e < 4; ++e) EXPECT_EQ(keys.IsDirectionDown(e), e == d) << d << e;
    EXPECT_FALSE(pad0.IsDirectionDown(d));
    port::SetTestKey(kDirectionKeys[d], false);
  }
}

TEST_F(PlayerInputReads, APadPlayerReadsHisOwnPadByButtonNumber) {
  port::SetVirtualPadButton(1, 3, true);
  port::SetVirtualPadAxis(1, 1, -32768);  // up
  Poll();
  const struct {
    InputSource source;
    bool reads;
  } cases[] = {{{false, 1}, true}, {{true, 1}, true},   {{false, 0}, false},
               {{true, 0}, false}, {{false, 2}, false}, {{false, kNoPad}, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.source.keyboard << " pad " << c.source.pad);
    const InputSource& s = c.source;
    EXPECT_EQ(s.IsButtonDown(3), c.reads);
    EXPECT_EQ(s.IsPadButtonDown(3), c.reads);
    EXPECT_EQ(s.IsActionDown(kControlAttack, 3), c.reads);
    EXPECT_FALSE(s.IsActionDown(kControlAttack, 0));
    EXPECT_EQ(s.IsDirectionDown(kPadUp), c.reads);
    EXPECT_FALSE(s.IsDirectionDown(kPadDown));
    // Out of range: no action 3, no direction 4, whatever is held.
    EXPECT_FALSE(s.IsActionDown(3, 3));
    EXPECT_FALSE(s.IsDirectionDown(4));
  }
}

// ---- The controller on commands ----

using battletest::BattleFixture;

struct Trace {
  port::Vec3 position;
  float heading;
  int32_t animId, mode, charge, framesSinceShot;
  ControlCommand command;
  bool operator==(const Trace&) const = default;
};

class ControllerCommands : public BattleFixture {
 protected:
  struct Span {
    ControlCommand command;
    int frames;
  };

  // Places everyone, facing out, and lets them land.
  void Start() {
    g_objects.Clear();
    g_effects.Clear();
    port::CrtSrand(36);
    PlaceAll();
    for (BattlePlayer& p : players) p.angle.y += 180.0f;
    BattleStep(30);
  }
  // Player `who` through the script, on his keys or pad, or fed.
  std::vector<Trace> Run(int who, const std::vector<Span>& script, bool fed) {
    Start();
    std::vector<Trace> trace;
    for (const Span& s : script) {
      LetGo(who);
      if (fed) {
        players[who].fedCommand = s.command;
      } else {
        for (int d = 0; d < 4; ++d)
          if (s.command.Direction(d)) HoldDirection(who, d);
        for (int a = 0; a < kControlActionCount; ++a)
          if (s.command.Action(a)) HoldAction(who, a);
      }
      for (int f = 0; f < s.frames; ++f) {
        BattleStep();
        const BattlePlayer& p = players[who];
        trace.push_back(
            {p.position, p.angle.y, p.animId, p.mode, p.charge, p.framesSinceShot, p.command});
      }
    }
    players[who].fedCommand.reset();
    LetGo(who);
    return trace;
  }
};

TEST_F(ControllerCommands, AFedCommandStepsAPlayerExactlyAsHisKeysOrPadDo) {
  const ControlCommand none;
  const std::vector<Span> script = {
      {none.WithDirection(kPadUp), 12},
      {none.WithAction(kControlShift).WithDirection(kPadRight), 8},
      {none.WithDirection(kPadLeft).WithDirection(kPadDown), 6},
      {none.WithAction(kControlJump).WithDirection(kPadUp), 3},
      {none, 25},
      {none.WithAction(kControlAttack), 110},  // a shot, then a charge past large attack 1
      {none, 60},
  };
  for (int who : {0, 2}) {
    SCOPED_TRACE(who);
    const std::vector<Trace> held = Run(who, script, false);
    const std::vector<Trace> fed = Run(who, script, true);
    ASSERT_EQ(held.size(), fed.size());
    for (size_t f = 0; f < held.size(); ++f) ASSERT_EQ(held[f], fed[f]) << "frame " << f;
    // The command of each frame is what was held (the last span's: nothing).
    EXPECT_EQ(held[11].command, script[0].command);
    EXPECT_EQ(held[19].command, script[1].command);
    EXPECT_EQ(held.back().command, none);
    // The script did what it says: a large attack came and went.
    bool attacked = false;
    for (const Trace& t : held) attacked = attacked || t.mode == kBattleLargeAttack1;
    EXPECT_TRUE(attacked);
  }
}

}  // namespace
