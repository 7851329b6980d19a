#pragma once
// The counters of the sokai stage that actors change: the scene owns them
// and hands the actors a pointer.
#include <cstdint>

struct SokaiCounters {
  int32_t kills = 0;   // enemies knocked away
  int32_t bursts = 0;  // bursts of the player's sokai attack
  int32_t combo = 0;   // kills since the last burst
  int32_t framesSinceKill = 120;
  int32_t maxCombo = 0;
  int32_t score = 0;

  // One more kill in the combo: the combo grows and scores its new value, so
  // the k-th kill after a burst is worth k. Application::AddSokaiKill is this.
  void AddKill() {
    ++combo;
    framesSinceKill = 0;
    score += combo;
  }
  // An enemy knocked away (Zako1b): counted, then AddKill.
  void CountKill() {
    ++kills;
    AddKill();
  }
};
