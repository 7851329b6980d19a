#pragma once
// The phases of a stage scene and of the sokai stage (Application::stagePhase).
#include <cstdint>

enum StagePhase : int32_t {
  kPhaseIntro = 0,  // the two spoken cues; the clock stands
  kPhaseArea1 = 1,  // areas 1 to 4 of a stage; the sokai stage's crowd is 1
  kPhaseArea2 = 2,  // the sokai stage's tally is 2
  kPhaseArea3 = 3,
  kPhaseArea4 = 4,
  // 5 is never entered.
  kPhaseBoss = 6,
  kPhaseClear = 7,  // the sokai stage: ranked
  kPhaseTimeOver = 8,
  kPhaseGameOver = 9,  // the sokai stage: not ranked
};

// The sokai stage's own names for the phases it shares.
constexpr int32_t kPhaseCrowd = kPhaseArea1;
constexpr int32_t kPhaseTally = kPhaseArea2;
