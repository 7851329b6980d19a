#pragma once
// Four battle players firing as fast as the controls let them: each holds its
// attack control, lets go as soon as the charge passes the level of the large
// attack it is going for, and goes for the other one next time. Shots, charges
// and large attacks all come from the players' own rules. Player 1 is on the
// keyboard, players 2 to 4 on three virtual joysticks.
#include "actors/BattlePlayer.h"
#include "platform/InputDevice.h"
#include "port/input.h"

class ChargingFire {
 public:
  static constexpr int kPlayers = 4;
  static constexpr int kPads = kPlayers - 1;

  // False when the joysticks cannot be attached or opened.
  bool Open() {
    for (int& pad : pads_) {
      pad = port::AttachVirtualPad(2, port::kPadButtonCount);
      if (pad < 0) return false;
    }
    g_input.InitJoysticks(
        nullptr, nullptr,
        [](const PadDeviceInstance* d, void* c) { return g_input.OnEnumDevice(d, c); },
        [](const PadAxisInstance* a, void* c) { return g_input.OnEnumAxis(a, c); });
    return g_input.GetPadCount() == kPads;
  }

  void Close() {
    port::SetTestKey(port::kKeyZ, false);
    // Detaching renumbers the pads after it: the highest first.
    for (int k = kPads - 1; k >= 0; --k) {
      if (pads_[k] >= 0) port::DetachVirtualPad(pads_[k]);
      pads_[k] = -1;
    }
  }

  // Large attacks let go so far.
  int LargeAttacks() const { return largeAttacks_; }

  // Sets this frame's controls from the players' state, then reads them.
  void Press(const BattlePlayer* players) {
    for (int i = 0; i < kPlayers; ++i) {
      const BattlePlayer& p = players[i];
      const int32_t level = goingForSecond_[i] ? kLevels.charge2 : kLevels.charge1;
      bool hold = p.mode == kBattleFight;
      if (hold && p.charge > level) {
        hold = false;
        goingForSecond_[i] = !goingForSecond_[i];
        ++largeAttacks_;
      }
      Hold(players, i, hold);
    }
    g_input.PollKeyboard();
    g_input.PollJoysticks();
  }

 private:
  void Hold(const BattlePlayer* players, int i, bool down) {
    if (i == 0) {
      port::SetTestKey(port::kKeyZ, down);
      return;
    }
    port::SetVirtualPadButton(pads_[i - 1], players[i].GetButton(kBattleActionAttack), down);
  }

  // The battle player keeps the shared charge levels.
  static constexpr ControlNumbers kLevels{};
  int pads_[kPads] = {-1, -1, -1};
  int largeAttacks_ = 0;
  bool goingForSecond_[kPlayers] = {};
};
