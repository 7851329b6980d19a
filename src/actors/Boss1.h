#pragma once
// The boss of stage 1: a heavy walker that wanders calm until it notices the
// player, then chases, circles and attacks with single shots, armoured fans
// of shots and a charged large ball. Every damage calms it again.
#include <cstdint>

#include "actors/Boss.h"

// Any number without a routine thinks.
enum Boss1State : int32_t {
  kBoss1Think = 1,
  kBoss1Face = 2,  // stands looking round for the player
  kBoss1Circle = 3,
  kBoss1Levy = 4,
  kBoss1Defeated = 5,
  kBoss1Attack = 6,
  kBoss1Fans = 7,  // armoured
  kBoss1LargeAttack = 8,
  kBoss1Hit = 9,
};

class Boss1 : public EnemyClassOf<Boss1, Boss> {
 public:
  static constexpr int kRecords = 9;
  static const EnemyTraits kTraits;

  Boss1();

  void Init(float x, float y, float z, float heading) override;

  uint8_t circleSide = 0;  // which way it walks round the player: 0 or 1

 protected:
  void RunState() override;
  float TimeStep(const EnemyAnimRow& row, const AnimTrack& track) const override;
  void OnWallStep(const WallStepResult& result) override;

 private:
  void StateThink();
  bool TimedLookStep(int32_t animation, int32_t end, int32_t next);
  void StateFace();
  void StateCircle();
  void StateLevy();
  void StateDefeated();
  void StateAttack();
  void StateFans();
  void StateLargeAttack();
  void StateHit();
  void FireFan(int count, float firstOffset);
};
