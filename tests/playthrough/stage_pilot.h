#pragma once
// A scripted stage player that plays through the keys alone: it reads where
// the enemies are to decide, then turns toward the nearest one it can hurt
// (leading it by its speed), closes in or backs off, shoots when the shot
// would meet it, charges the first large attack now and then on a boss, and
// side-steps (shift held) or jumps away from the enemy shots that come near.
#include <cstdint>
#include <set>

#include "support/game_run.h"

namespace playthrough {

class StagePilot {
 public:
  explicit StagePilot(gamerun::GameRun& run) : run_(run) {}
  // Sets this frame's keys and runs the frame.
  void Step();
  // Steps while the scene stays current, at most limit frames; the frames taken.
  int PlayWhile(int32_t scene, int limit);
  // Lets every key go.
  void LetAll();

  int shots = 0;    // attack presses
  int charges = 0;  // large attacks thrown
  int hits = 0;     // player shots that hit

 private:
  void Press(int key, bool down);

  gamerun::GameRun& run_;
  int64_t tick_ = 0;
  const void* lastTarget_ = nullptr;
  int64_t lastShot_ = -100;
  int chargeFor_ = 0;  // frames the attack is still to be held
  int sideStep_ = 0;   // frames of side step left, signed by direction
  bool keys_[256] = {};
  std::set<const void*> hitSeen_;
};

}  // namespace playthrough
