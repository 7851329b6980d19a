#pragma once
// The small stage with four battle players instead of the stage player:
// player 1 on the keyboard, players 2 to 4 on three virtual joysticks (with
// fewer pads than players, player k answers to pad k - 2). Tests hold keys and
// pad inputs per player, step frames as the battle scene does (the players,
// then the object and effect lists) and draw the whole field from one
// player's camera to read it back. Everything is put back at the end.
#include <cstdint>
#include <vector>

#include "actors/BattlePlayer.h"
#include "support/stage_fixture.h"

namespace battletest {

inline constexpr int kPlayers = 4;
inline constexpr int kPads = 3;

struct BattleSetup {
  int32_t characters[kPlayers] = {1, 2, 3, 4};
  int32_t playerCount = kPlayers;
  // Placements: a square around the middle of the stage1 floor, facing in.
  port::Vec3 starts[kPlayers] = {
      {0.0f, 1.0f, -6.0f}, {6.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 6.0f}, {-6.0f, 1.0f, 0.0f}};
  float headings[kPlayers] = {0.0f, 270.0f, 180.0f, 90.0f};
};

class BattleFixture : public stagetest::StageFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // One battle frame, n times: the controls read, the players, the lists.
  void BattleStep(int frames = 1);
  // Steps until player i is in the state; the frames taken, or -1.
  int StepUntilState(int i, int32_t state, int limit);
  // Places every player (start state) and starts the fight.
  void PlaceAll(bool fight = true);
  // The picture of the field, every player and the objects from player
  // `viewer`'s camera, full screen.
  std::vector<uint32_t> DrawFrom(int viewer);
  // From every player: the normal shots of characters 1 to 3 and character
  // 4's first large shot, flying away from the middle.
  void FireEachCharactersShots();
  // The four-player split screen, each player's camera in its quarter, the
  // players already posed (by DrawFrom); nothing is read back.
  void DrawSplitScreen();

  // Player i's controls (0-based): the keyboard for player 0, else its pad.
  void HoldDirection(int player, int direction);
  void HoldAction(int player, int action);
  void LetGo(int player);
  // Unplugs player i's pad (i from 1).
  void Unplug(int player);

  BattleSetup battle;
  BattlePlayer players[kPlayers];

 private:
  int pads_[kPads] = {-1, -1, -1};
};

}  // namespace battletest
