#pragma once
// Which keys and pad a player reads, and the command his controller steps on.
//
// One rule for every reader: the stage player, the battle players, the
// character select, the button pages and the battle settings. A keyboard
// player reads the arrows and Z, X and C; a pad player his pad's stick and
// buttons. The stage player is the keyboard and pad 0. Of N battle players
// with P pads opened at the start (plugged in now or not), player 1 is the
// keyboard, and pad 0 as well when N <= P; player k (2 to 4) is pad k - 1
// when N <= P, else pad k - 2. A battle starts only when the pad each player
// but the first is given is plugged in; a pad pulled out mid-match leaves
// every player with his pad.
#include <cstdint>

#include "platform/InputDevice.h"
#include "port/input.h"

// The actions whose pad buttons can be assigned.
enum ControlAction : int32_t { kControlAttack = 0, kControlShift = 1, kControlJump = 2 };
constexpr int kControlActionCount = 3;

// The keyboard player's keys: the arrows by direction (kPadUp ...), and Z,
// X and C for actions, or button numbers, 0 to 2.
constexpr int kDirectionKeys[4] = {port::kKeyUp, port::kKeyDown, port::kKeyLeft, port::kKeyRight};
constexpr int kActionKeys[kControlActionCount] = {port::kKeyZ, port::kKeyX, port::kKeyC};

// The key of a button number: Z, X or C for 0 to 2, none for the others.
constexpr int kNoKey = 0;
constexpr int KeyOfButton(int32_t button) {
  return button >= 0 && button < kControlActionCount ? kActionKeys[button] : kNoKey;
}

constexpr int kNoPad = -1;

// Where one player's controls come from: the keyboard or not, and his pad.
struct InputSource {
  bool keyboard = false;
  int pad = kNoPad;  // a pad not attached reads as released

  // A direction (kPadUp ... kPadRight): its arrow, or the pad pushed all the way.
  bool IsDirectionDown(int direction) const;
  // An action (ControlAction): its key, or the pad button assigned to it.
  bool IsActionDown(int action, int32_t padButton) const;
  // A button by its number: the key of that number (buttons above 2 have
  // none), or the pad's button of that number.
  bool IsButtonDown(int32_t button) const;
  // The pad's button only, whatever the keyboard.
  bool IsPadButtonDown(int32_t button) const;
};

// The stage player's, and the menus': the keyboard and pad 0.
constexpr InputSource kStagePlayerInput = {true, 0};
// Battle player `player` (0-based) of `players`, with `pads` attached; a
// player outside 0 to 3 reads nothing.
InputSource BattlePlayerInput(int player, int players, int pads);
// The same with the pads opened at the start, plugged in or not.
InputSource BattlePlayerInput(int player, int players);
// Whether `players` can start a battle on `pads`, all plugged in: a pad for
// every player but the first.
bool EnoughPads(int players, int pads);
// Whether they can start now: the pad BattlePlayerInput gives each player
// but the first is plugged in.
bool EnoughPads(int players);

// One player's controls as read once a frame: what his controller steps on.
// Tests feed commands instead of keys where that is simpler.
struct ControlCommand {
  uint8_t directions = 0;  // bit d: direction d (kPadUp ...) held
  uint8_t actions = 0;     // bit a: action a (ControlAction) held

  constexpr bool Direction(int direction) const { return Bit(directions, direction, 4); }
  constexpr bool Action(int action) const { return Bit(actions, action, kControlActionCount); }
  // The same command with one more direction or action held.
  constexpr ControlCommand WithDirection(int direction) const {
    return {static_cast<uint8_t>(directions | Mask(direction, 4)), actions};
  }
  constexpr ControlCommand WithAction(int action) const {
    return {directions, static_cast<uint8_t>(actions | Mask(action, kControlActionCount))};
  }
  bool operator==(const ControlCommand&) const = default;

 private:
  static constexpr uint8_t Mask(int i, int count) {
    return i >= 0 && i < count ? static_cast<uint8_t>(1u << i) : 0;
  }
  static constexpr bool Bit(uint8_t bits, int i, int count) { return (bits & Mask(i, count)) != 0; }
};
