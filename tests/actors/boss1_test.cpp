// Boss 1 on the small stage through its states in the order a fight meets
// them: the calm wander, the look round that notices the player, the circle,
// the single shot, the armoured fans, the charged large ball, the damage that
// calms it, the large attack every 700 life frames, the defeat after four
// plain hits, and the wall that turns its circle round.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "actors/Boss1.h"
#include "actors/EnemyTama.h"
#include "actors/LargeBalls.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::EnemyObject;
using stagetest::StageFixture;

class Boss1OnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Boss1>();
  }
  // Past its entrance, calm, standing 12 units in front of the player facing
  // `heading`, in `state` (not yet run), with no invulnerability left.
  Boss1* Ready(int32_t state, float heading = 180.0f) {
    Boss1* boss = Boss1::Spawn({.at = {0.0f, stagetest::kStandY, 12.0f}, .heading = heading});
    if (!boss) return nullptr;
    Step(250);
    Place(boss, {0.0f, stagetest::kStandY, 12.0f}, heading);
    boss->SetState(state);
    return boss;
  }
  void Place(Boss1* boss, port::Vec3 at, float heading) {
    boss->position = boss->previousPosition = at;
    boss->angle.y = boss->moveHeading = boss->targetHeading = heading;
    boss->guard = 0;
    boss->invulnerableFrames = -1;
    boss->roused = 0;
    boss->speed = 0.0f;
  }
  std::vector<EnemyTama*> Tamas() const {
    std::vector<EnemyTama*> out;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* t = dynamic_cast<EnemyTama*>(g_objects.At(i));
      if (t && t->IsAlive()) out.push_back(t);
    }
    return out;
  }
  EnemyObject* ShotAt(const Boss1& boss, float damage = 10.0f) {
    EnemyObject* o = AddEnemyObject(boss.position, 0.3f, damage);
    o->owner = kOwnerPlayer;
    o->type = kObjectTama;
    return o;
  }
};

TEST_F(Boss1OnStage, CalmItWandersThenLooksRoundUntilItFacesThePlayerAndCircles) {
  Boss1* boss = Ready(kBoss1Think, 0.0f);
  ASSERT_NE(boss, nullptr);
  Step();
  EXPECT_EQ(boss->animId, kAnimRun);
  EXPECT_FLOAT_EQ(boss->speed, 0.1f);
  EXPECT_FLOAT_EQ(boss->moveHeading, boss->angle.y);

  // Looking round from facing away (+z, the player lies at -z): 3 degrees a
  // frame, standing, until the player is within 50 degrees on frame 44.
  Place(boss, {0.0f, stagetest::kStandY, 12.0f}, 0.0f);
  boss->SetState(kBoss1Face);
  Step();
  EXPECT_EQ(boss->animId, kAnimStop);
  EXPECT_EQ(boss->speed, 0.0f);
  EXPECT_FLOAT_EQ(boss->angle.y, 3.0f);
  ASSERT_EQ(StepUntil([&] { return boss->state != kBoss1Face; }, 200), 43);
  EXPECT_EQ(boss->state, kBoss1Circle);
  EXPECT_EQ(boss->roused, 1);

  // Circling: sideways round the player at 0.08, its face on the player,
  // until a chance or frame 200 picks an attack.
  Step();
  EXPECT_EQ(boss->animId, kAnimWalk);
  int circled = 1;
  while (boss->state == kBoss1Circle && circled < 300) {
    EXPECT_FLOAT_EQ(boss->speed, 0.08f);
    const float across = std::fmod(boss->moveHeading - boss->angle.y + 720.0f, 360.0f);
    EXPECT_TRUE(std::fabs(across - 90.0f) < 1e-3f || std::fabs(across - 270.0f) < 1e-3f) << across;
    Step();
    ++circled;
  }
  EXPECT_LE(circled, 200);
  const int32_t next = boss->state;
  EXPECT_TRUE(next == kBoss1LargeAttack || next == kBoss1Fans || next == kBoss1Attack ||
              next == kBoss1Levy)
      << next;
  if (circled == 200) {
    EXPECT_EQ(next, kBoss1Attack);
  }
}

TEST_F(Boss1OnStage, AttackAimsThenFiresOneBallAtFrameTwenty) {
  Boss1* boss = Ready(kBoss1Attack, 150.0f);
  ASSERT_NE(boss, nullptr);
  Step(19);
  EXPECT_TRUE(Tamas().empty());
  EXPECT_EQ(boss->speed, 0.0f);
  // Turned toward the player (straight down -z) at 2 degrees a frame for 14
  // frames, then held.
  EXPECT_FLOAT_EQ(boss->angle.y, 178.0f);
  ClearSounds();
  Step();
  const std::vector<EnemyTama*> tamas = Tamas();
  ASSERT_EQ(tamas.size(), 1u);
  EXPECT_EQ(tamas[0]->kind, kEnemyTamaBall);
  EXPECT_FLOAT_EQ(tamas[0]->speed, 0.2f);
  EXPECT_FLOAT_EQ(tamas[0]->GetDamage(), 10.0f);
  EXPECT_FLOAT_EQ(tamas[0]->rotation.y, 178.0f);
  EXPECT_EQ(tamas[0]->GetOwner(), kOwnerEnemy);
  EXPECT_EQ(CountSound(kSoundEnemyShot), 1);
  Step(20);
  EXPECT_TRUE(boss->state == kBoss1Think || (boss->state == kBoss1Attack && boss->stateFrame == 0));
}

TEST_F(Boss1OnStage, FansAreArmouredAndFireFourThenFiveRings) {
  Boss1* boss = Ready(kBoss1Fans, 170.0f);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  Step();
  EXPECT_EQ(boss->armour, 1);
  EXPECT_FALSE(boss->IsInvulnerable());
  EXPECT_EQ(CountSound(kSoundArmourVoice), 1);
  Step(29);
  EXPECT_EQ(boss->animId, kAnimAttack2);
  const float heading = boss->angle.y;
  EXPECT_FLOAT_EQ(heading, 180.0f) << "aimed while it raised its arms";
  Step(36);
  std::vector<EnemyTama*> first = Tamas();
  ASSERT_EQ(first.size(), 4u);
  const float firstOffsets[] = {37.5f, 12.5f, -12.5f, -37.5f};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(first[i]->kind, kEnemyTamaRing);
    EXPECT_FLOAT_EQ(first[i]->speed, 0.17f);
    EXPECT_FLOAT_EQ(first[i]->rotation.y, heading + firstOffsets[i]);
  }
  Step(49);
  EXPECT_EQ(Tamas().size(), 4u);
  Step();
  EXPECT_EQ(Tamas().size(), 9u);
  EXPECT_EQ(CountSound(kSoundEnemyShot), 2);
  EXPECT_EQ(boss->armour, 1);
  Step(23);
  EXPECT_EQ(boss->stateFrame, 139);
  Step();
  EXPECT_EQ(boss->armour, 0);
  EXPECT_TRUE(boss->state == kBoss1Think || boss->state == kBoss1Attack);
}

TEST_F(Boss1OnStage, LargeAttackChargesUnhurtThenRollsABallAndOpensToHits) {
  Boss1* boss = Ready(kBoss1LargeAttack, 180.0f);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  EnemyObject* shot = ShotAt(*boss);
  int stars = 0;
  for (int f = 1; f < 170; ++f) {
    boss->position = boss->previousPosition = shot->position;
    Step();
    stars += CountNewParticles(kParticleStarPulse);
    ASSERT_TRUE(boss->IsInvulnerable()) << f;
    ASSERT_EQ(boss->invulnerableFrames, 1);
  }
  EXPECT_EQ(shot->hits, 0);
  EXPECT_EQ(stars, 17) << "on frames 1, 11, ... 161";
  EXPECT_EQ(CountSound(kSoundPowerCharge), 1);
  EXPECT_EQ(CountSound(kSoundChargeVoice), 1);
  EXPECT_EQ(CountObjects(kObjectLargeBall1), 0);
  // Frame 170: the ball rolls out and the guard is down, so the shot lying
  // there lands in the same frame.
  Step();
  EXPECT_EQ(CountObjects(kObjectLargeBall1), 1);
  EXPECT_EQ(CountSound(kSoundLaunch), 1);
  EXPECT_EQ(shot->hits, 1);
  EXPECT_EQ(boss->state, kBoss1Hit);
}

TEST_F(Boss1OnStage, DamageCalmsItSoItMustLookForThePlayerAgain) {
  Boss1* boss = Ready(kBoss1Think);
  ASSERT_NE(boss, nullptr);
  boss->roused = 1;
  ShotAt(*boss);
  Step();
  ASSERT_EQ(boss->state, kBoss1Hit);
  Step();
  EXPECT_EQ(boss->roused, 0);
  EXPECT_EQ(boss->animId, kAnimDamage);
  ASSERT_EQ(StepUntil([&] { return boss->state != kBoss1Hit; }, 100), 49);
  EXPECT_EQ(boss->state, kBoss1Face);
  EXPECT_EQ(boss->invulnerableFrames, Boss::kFirstInvulnerableFrames);
}

TEST_F(Boss1OnStage, EverySevenHundredLifeFramesThinkingTurnsIntoTheLargeAttack) {
  struct Case {
    int32_t state;
    int32_t lifeBefore;
    bool large;
  };
  const Case cases[] = {{kBoss1Think, 699, true},
                        {kBoss1Think, 1399, true},
                        {kBoss1Think, 700, false},
                        {kBoss1Levy, 699, false}};
  Boss1* boss = Ready(kBoss1Think);
  ASSERT_NE(boss, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lifeBefore);
    Place(boss, {0.0f, stagetest::kStandY, 12.0f}, 180.0f);
    boss->SetState(c.state);
    boss->stateFrame = 5;
    boss->lifeFrames = c.lifeBefore;
    boss->roused = 1;  // and farther than 10: no later choice of the frame
    Step();
    EXPECT_EQ(boss->state == kBoss1LargeAttack, c.large) << boss->state;
  }
}

TEST_F(Boss1OnStage, FourPlainHitsDefeatIt) {
  Boss1* boss = Ready(kBoss1Think);
  ASSERT_NE(boss, nullptr);
  const float expected[] = {3.0f, 2.0f, 1.0f, 0.0f};
  for (float left : expected) {
    SCOPED_TRACE(left);
    EnemyObject* shot = nullptr;
    const int landed = StepUntil(
        [&] {
          if (boss->IsInvulnerable() || boss->armour) return false;
          if (!shot) shot = ShotAt(*boss);
          shot->position = boss->position;
          return shot->hits > 0;
        },
        2000);
    ASSERT_GT(landed, 0);
    shot->alive = 0;
    EXPECT_FLOAT_EQ(boss->hitPoints, left);
  }
  EXPECT_EQ(boss->state, kBoss1Defeated);
  Step(120);
  EXPECT_FALSE(boss->IsAlive());
}

TEST_F(Boss1OnStage, AWallInTheWayTurnsItsCircleRound) {
  Boss1* boss = Ready(kBoss1Think, 0.0f);
  ASSERT_NE(boss, nullptr);
  // Calm, walking north into the wall at z = 40.
  Place(boss, {0.0f, stagetest::kStandY, 39.2f}, 0.0f);
  boss->circleSide = 0;
  const int flipped = StepUntil([&] { return boss->circleSide == 1; }, 20);
  EXPECT_GT(flipped, 0);
  EXPECT_LT(boss->position.z, stagetest::kNorthWallZ - 0.5f);
}

}  // namespace

namespace {

// Held one-shot poses stop just short of their end, so a held pose never
// wraps round to its first key; the attack's pose stays at its first key.
TEST_F(Boss1OnStage, HeldPosesStopShortOfTheirEndAndNeverSnapBack) {
  struct Case {
    int32_t anim, track;
    float hold;  // of the track's length
  };
  const Case cases[] = {{kAnimLevy, 6, 0.99f},
                        {kAnimAttack2, 4, 0.99f},
                        {kAnimLargeAttack1, 5, 0.99f},
                        {kAnimDamage, 7, 0.99f},
                        {kAnimAttack1, 3, 0.0f}};
  Boss1* boss = Ready(kBoss1Think);
  ASSERT_NE(boss, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.anim);
    boss->SetAnimation(c.anim);
    const float length = boss->tracks[c.track].length;
    ASSERT_GT(length, 0.0f);
    for (int i = 0; i < 2000; ++i) {
      boss->BlendAnimation();
      ASSERT_LT(boss->tracks[c.track].time, length);
    }
    EXPECT_FLOAT_EQ(boss->tracks[c.track].time, c.hold * length);
  }
}

}  // namespace
