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

  // A kill counted by the zako knocked away: the combo grows, and the kill
  // scores the combo's new value (so a burst that knocks away n scores
  // n(n + 1)/2). The kill count itself is the zako's to add.
  void AddKill() {
    ++combo;
    framesSinceKill = 0;
    score += combo;
  }
};
