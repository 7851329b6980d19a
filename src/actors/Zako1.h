#pragma once
// The weakest small enemy of stages 1 and 2: it wanders, now and then turns
// on the player and runs at it, stands facing it for a while once close, and
// dies at the first hit.
#include <cstdint>

#include "actors/Enemy.h"

enum Zako1State : int32_t {
  kZako1Wander = 1,
  kZako1Chase = 2,
  kZako1Alert = 3,
  kZako1Dying = 4,
};

class Zako1 : public EnemyClassOf<Zako1> {
 public:
  // Five records for the four animation files; the last is never weighted.
  static constexpr int kRecords = 5;
  static const EnemyTraits kTraits;

 protected:
  void RunState() override;
  // Any hit kills: the gauge shows 0 of 1.
  void OnHit(DynamicObject& object) override;
  // The dying sway.
  void AfterBlend(const EnemyAnimRow& row) override;

 private:
  void Wander();
  void Chase();
  void Alert();
};
