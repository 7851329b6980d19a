#pragma once
// A monkey for the whole game: random keys and pad input on every scene,
// steered now and then toward the scenes it has not seen yet (the title's
// items chosen on purpose, the stages played by the scripted player so the
// later stages are reached, a menu left when it has been mashed long
// enough). It records every scene change, the longest stay in each scene
// and the memory in use when each scene is left.
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "playthrough/stage_pilot.h"
#include "support/game_run.h"

namespace playthrough {

// Memory in use now: resident bytes, and the bytes the heap has handed out
// (what the sanitizer's allocator holds live, when it is the allocator).
struct MemorySample {
  int64_t resident = 0;
  int64_t heap = 0;
};
MemorySample SampleMemory();

class Monkey {
 public:
  Monkey(gamerun::GameRun& run, uint32_t seed) : run_(run), pilot_(run), rng_(seed) {}

  // One frame of input and of the game. A program ended by the title's exit
  // item starts again.
  void Step();
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) Step();
  }
  // Steers to the title and takes its exit item; false when it did not end
  // the program within limit frames.
  bool ExitFromTitle(int limit);

  // Whether every scene in scenes has been entered.
  bool Visited(std::initializer_list<int32_t> scenes) const;
  std::string Report() const;

  // Off: the stages are only mashed, never played through.
  bool playStages = true;
  std::set<int32_t> visited;
  std::map<int32_t, int> longestStay;  // frames
  std::map<int32_t, int> visits;
  int restarts = 0;
  int unplugs = 0;
  int sceneChanges = 0;
  // Memory when the last scene seen for the first time was first left; then
  // on each first frame of the title after that, which holds the same
  // whatever came before it.
  MemorySample afterFirstTour;
  int64_t afterFirstTourFrame = -1;
  std::vector<MemorySample> titleAfterTour;
  int64_t framesStepped = 0;

 private:
  void Observe();
  void Mash();
  void Steer();
  void SteerTitle();
  // Whether a battle menu is steered on toward a first match.
  bool Forward(int32_t scene) const;
  // On the battle settings while the button page of players 2 to 4 is unseen.
  bool ToButtons2P4P(int32_t scene) const;
  void TapOnce(int key);
  void HoldOnly(std::initializer_list<int> keys);
  void ClearInput();
  void Pads();
  bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p; }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  gamerun::GameRun& run_;
  StagePilot pilot_;
  std::mt19937 rng_;
  int32_t scene_ = -1;
  int32_t lastNewScene_ = -1;
  int stay_ = 0;
  bool piloting_ = false;  // this stage visit is played, not mashed
  int mashFor_ = 0;        // frames of mashing before this scene is steered
  int titleVisits_ = 0;
  int forwardTries_ = 0;
  int exitsWanted_ = 0;
  int32_t titleGoal_ = 0;  // the title item being steered to
  bool keys_[256] = {};
  int unpluggedPad_ = -1;
  int64_t unplugAt_ = 2000;
  int64_t replugAt_ = -1;
  std::set<int32_t> pilotedOnce_;
  std::map<int32_t, int> goalsTaken_;
};

}  // namespace playthrough
