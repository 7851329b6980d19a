#pragma once
// The shooting small enemy of stages 1 and 2: it wanders, stops to look
// about, walks toward the player once it sees it, fires one ring bullet from
// close range and pauses. Two ordinary shots kill it.
#include <cstdint>

#include "actors/Enemy.h"

enum Zako2State : int32_t {
  kZako2Wander = 1,
  kZako2Watch = 2,
  kZako2Approach = 3,
  kZako2Pause = 4,
  kZako2Dying = 5,
  kZako2Attack = 6,
  kZako2Damage = 7,
};

class Zako2 : public EnemyClassOf<Zako2> {
 public:
  static constexpr int kRecords = 6;
  static const EnemyTraits kTraits;

 protected:
  void RunState() override;

 private:
  void Wander();
  void Approach();
  void Pause();
  void Attack();
  void Damage();
};
