#include "actors/PlayerInput.h"

#include <algorithm>

#include "actors/BattlePlayer.h"

bool InputSource::IsDirectionDown(int direction) const {
  if (direction < kPadUp || direction > kPadRight) return false;
  if (keyboard && g_input.IsKeyDown(kDirectionKeys[direction])) return true;
  return pad >= 0 && g_input.IsPadDirection(pad, direction);
}

bool InputSource::IsActionDown(int action, int32_t padButton) const {
  if (action < 0 || action >= kControlActionCount) return false;
  if (keyboard && g_input.IsKeyDown(kActionKeys[action])) return true;
  return IsPadButtonDown(padButton);
}

bool InputSource::IsButtonDown(int32_t button) const {
  const int key = KeyOfButton(button);
  if (keyboard && key != kNoKey && g_input.IsKeyDown(key)) return true;
  return IsPadButtonDown(button);
}

bool InputSource::IsPadButtonDown(int32_t button) const {
  return pad >= 0 && g_input.IsPadButton(pad, button);
}

InputSource BattlePlayerInput(int player, int players, int pads) {
  if (player < 0 || player >= BattlePlayer::kMaxPlayers) return {};
  const bool padEach = players <= pads;
  if (player == 0) return {true, padEach ? 0 : kNoPad};
  return {false, padEach ? player : player - 1};
}

InputSource BattlePlayerInput(int player, int players) {
  // By the pads opened at the start, not those plugged in now: a pad pulled
  // out mid-match leaves the others with their players.
  return BattlePlayerInput(player, players, g_input.GetPadSlotCount());
}

bool EnoughPads(int players, int pads) { return pads >= players - 1; }

bool EnoughPads(int players) {
  // The pads the players will be given, not a count: with one pad of two
  // out, the one left is not enough when it is not player 2's.
  const int taking = std::min(players, BattlePlayer::kMaxPlayers);  // taking part
  for (int k = 1; k < taking; ++k)
    if (!g_input.IsPadPluggedIn(BattlePlayerInput(k, players).pad)) return false;
  return true;
}
