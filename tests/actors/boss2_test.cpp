// Boss 2 on the small stage: the split body (which track the legs and the
// arms play, how each runs), the upper-body actions with their shots from
// the hands, the spray's volleys, the armoured attack's aimed shots, the
// large attack's stamp, glow and two curving balls, the side step, the back
// jump, the stand, side walk, jump and back walk, noticing the player, and a
// model that lacks the body's frames.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "actors/Boss2.h"
#include "actors/EnemyTama.h"
#include "actors/LargeBalls.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"
#include "world/EffectList.h"
#include "world/LineEffect.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::StageFixture;

// Boss 2 whose states are held still (frames counted, standing), so that the
// cross-fade and the actions can be watched alone.
class HeldBoss2 : public Boss2 {
 public:
  using Boss2::BlendAnimation;
  bool hold = true;

 protected:
  void RunState() override {
    if (!hold) {
      Boss2::RunState();
      return;
    }
    ++stateFrame;
    speed = 0.0f;
  }
};

class Boss2OnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Boss2>();
  }
  // Standing 12 units in front of the player facing it, past the entrance,
  // calm, with no invulnerability left.
  template <typename T = Boss2>
  T* Ready(int32_t state, float z = 12.0f) {
    T* boss;
    if constexpr (std::is_same_v<T, Boss2>) {
      boss = Boss2::Spawn({.at = {0.0f, stagetest::kStandY, z}, .heading = 180.0f});
    } else {
      auto made = std::make_unique<T>();
      boss = made.get();
      boss->Init(0.0f, stagetest::kStandY, z, 180.0f);
      g_characters.Add(std::move(made));
    }
    if (!boss) return nullptr;
    Step(2);
    boss->lifeFrames = 300;
    boss->position = boss->previousPosition = {0.0f, stagetest::kStandY, z};
    boss->angle.y = boss->moveHeading = 180.0f;
    boss->guard = 0;
    boss->invulnerableFrames = -1;
    boss->SetState(state);
    return boss;
  }
  std::vector<EnemyTama*> Tamas() const {
    std::vector<EnemyTama*> out;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* t = dynamic_cast<EnemyTama*>(g_objects.At(i));
      if (t && t->IsAlive()) out.push_back(t);
    }
    return out;
  }
  // The bullets fired during the last frame.
  size_t NewTamas() const {
    size_t n = 0;
    for (const EnemyTama* t : Tamas()) n += t->frameCounter == 1 ? 1 : 0;
    return n;
  }
  // The streaks spawned during the last frame.
  static int NewLines() {
    int n = 0;
    for (size_t i = 0; i < g_effects.Size(); ++i) {
      const auto* l = dynamic_cast<const LineEffect*>(g_effects.At(i));
      if (l && l->IsActive() && l->age == 1) ++n;
    }
    return n;
  }
  static float Horizontal(const port::Vec3& a, const port::Vec3& b) {
    return std::hypot(a.x - b.x, a.z - b.z);
  }
};

TEST_F(Boss2OnStage, LegsAndArmsPlayTheTracksTheAnimationAndTheActionChoose) {
  struct Case {
    int32_t anim, action;
    int32_t lower, upper;
  };
  const Case cases[] = {
      {kAnimRun, kBoss2NoAction, 3, 3},      {kAnimRun, kBoss2Shot, 3, 7},
      {kAnimRun, kBoss2Pair, 3, 8},          {kAnimRun, kBoss2Raised, 3, 8},
      {kAnimSideWalk, kBoss2Shot3, 2, 7},    {kAnimJump, kBoss2Shot, 6, 7},
      {kAnimStop, kBoss2Raised, 0, 8},       {kAnimSideStepRight, kBoss2Shot, 4, 4},
      {kAnimSideStepLeft, kBoss2Pair, 5, 5}, {kAnimLevy, kBoss2Pair, 10, 10},
      {kAnimDamage, kBoss2NoAction, 11, 11}, {kAnimAttack3, kBoss2Pair, 7, 7},
      {kAnimLargeAttack1, kBoss2Shot, 9, 9}, {kAnimDying, kBoss2NoAction, 12, 12},
      {kAnimAttack1, kBoss2NoAction, 0, 0},  // no row: the stand
  };
  HeldBoss2* boss = Ready<HeldBoss2>(kBoss2Think);
  ASSERT_NE(boss, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "anim " << c.anim << " action " << c.action);
    for (AnimTrack& t : boss->tracks) t.weight = t.time = 0.0f;
    boss->tracks[5].weight = 0.5f;  // a track on its way out
    boss->tracks[5].time = 3.0f;
    boss->SetAnimation(c.anim);
    boss->action = c.action;
    boss->BlendAnimation();
    EXPECT_EQ(boss->lowerTrack, c.lower);
    EXPECT_EQ(boss->upperTrack, c.upper);
    if (c.lower != c.upper) {
      const float armsStep = c.action == kBoss2Shot || c.action == kBoss2Shot3 ? 1.0f : 0.5f;
      EXPECT_FLOAT_EQ(boss->tracks[c.upper].time, armsStep);
      EXPECT_GT(boss->tracks[c.upper].weight, 0.0f);
    }
    EXPECT_GT(boss->tracks[c.lower].weight, 0.0f);
    if (c.lower != 5 && c.upper != 5) {
      EXPECT_LT(boss->tracks[5].weight, 0.5f);
    }
  }
  // Held on, the weights stop at full and the arms' one-shot stops short of its end.
  boss->SetAnimation(kAnimRun);
  boss->action = kBoss2Shot;
  for (int i = 0; i < 200; ++i) boss->BlendAnimation();
  EXPECT_FLOAT_EQ(boss->tracks[3].weight, 1.0f);
  EXPECT_FLOAT_EQ(boss->tracks[7].weight, 1.0f);
  EXPECT_FLOAT_EQ(boss->tracks[7].time, 0.99f * boss->tracks[7].length);
  EXPECT_FLOAT_EQ(boss->tracks[0].weight, 0.0f);
}

TEST_F(Boss2OnStage, ActionsShootFromTheBodyAndCannotBeReplacedWhileTheyRun) {
  HeldBoss2* boss = Ready<HeldBoss2>(kBoss2Think);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  boss->SetSubAction(kBoss2Shot);
  EXPECT_EQ(boss->action, kBoss2Shot);
  boss->SetSubAction(kBoss2Pair);
  EXPECT_EQ(boss->action, kBoss2Shot) << "a running action is not replaced";
  Step(29);
  EXPECT_TRUE(Tamas().empty());
  // Standing, it creeps on at the action's least speed.
  EXPECT_FLOAT_EQ(boss->speed, 0.1f);
  const port::Vec3 at = boss->position;
  Step();
  std::vector<EnemyTama*> tamas = Tamas();
  ASSERT_EQ(tamas.size(), 1u);
  EXPECT_LT(Horizontal(tamas[0]->position, at), 0.3f);
  EXPECT_FLOAT_EQ(tamas[0]->speed, 0.25f);
  EXPECT_FLOAT_EQ(tamas[0]->rotation.y, boss->angle.y);
  Step(14);
  EXPECT_EQ(boss->action, kBoss2Shot);
  Step();
  EXPECT_EQ(boss->action, kBoss2NoAction);
  EXPECT_EQ(boss->actionFrames, 0);

  // The pair: the left hand at action frame 40, the right at 50, each 5
  // degrees out. Facing -z, the boss's left lies toward +x.
  boss->position = boss->previousPosition = {0.0f, stagetest::kStandY, 12.0f};
  boss->SetSubAction(kBoss2Pair);
  Step(39);
  const size_t before = Tamas().size();
  Step();
  tamas = Tamas();
  ASSERT_EQ(tamas.size(), before + 1);
  const EnemyTama* left = tamas.back();
  EXPECT_FLOAT_EQ(left->rotation.y, boss->angle.y - 5.0f);
  EXPECT_GT(left->position.x, boss->position.x + 0.2f);
  EXPECT_LT(Horizontal(left->position, boss->position), 1.5f) << "from the hand, not the origin";
  Step(10);
  tamas = Tamas();
  ASSERT_EQ(tamas.size(), before + 2);
  const EnemyTama* right = tamas.back();
  EXPECT_FLOAT_EQ(right->rotation.y, boss->angle.y + 5.0f);
  EXPECT_LT(right->position.x, boss->position.x - 0.2f);
  EXPECT_LT(Horizontal(right->position, boss->position), 1.5f);
  EXPECT_GT(right->position.y, stagetest::kFloorY);
  EXPECT_FLOAT_EQ(boss->speed, 0.05f);
  Step(30);
  EXPECT_EQ(boss->action, kBoss2NoAction);
  EXPECT_EQ(CountSound(kSoundEnemyShot), 3);
}

TEST_F(Boss2OnStage, SprayIsArmouredAndFiresFourVolleysFromTheRaisedHands) {
  Boss2* boss = Ready(kBoss2Spray);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  std::vector<std::pair<int, size_t>> volleys;  // frame, bullets fired
  for (int f = 1; f <= 180; ++f) {
    Step();
    if (CountSound(kSoundEnemyShot) > static_cast<int>(volleys.size()))
      volleys.push_back({f, NewTamas()});
    if (f == 1) {
      EXPECT_EQ(boss->armour, 1);
      EXPECT_EQ(CountSound(kSoundSprayVoice), 1);
      EXPECT_EQ(boss->speed, 0.0f);
    }
    if (f == 30) {
      EXPECT_EQ(boss->action, kBoss2Raised);
      EXPECT_EQ(boss->animId, kAnimSideWalk);
    }
    if (f == 70) {
      std::vector<EnemyTama*> volley = Tamas();
      ASSERT_EQ(volley.size(), 4u);
      for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(volley[i]->kind, kEnemyTamaRing);
        EXPECT_FLOAT_EQ(volley[i]->rotation.x, -3.5f * static_cast<float>(i));
        EXPECT_FLOAT_EQ(volley[i]->speed, 0.16f);
        EXPECT_LT(Horizontal(volley[i]->position, boss->position), 1.5f);
      }
      // Seven degrees apart, sweeping one way.
      const float step = volley[1]->rotation.y - volley[0]->rotation.y;
      EXPECT_NEAR(std::fabs(step), 7.0f, 1e-3f);
      EXPECT_NEAR(volley[3]->rotation.y - volley[2]->rotation.y, step, 1e-3f);
      EXPECT_GT(boss->speed, 0.0f) << "it strafes";
    }
    if (f == 90) {
      EXPECT_EQ(boss->action, kBoss2NoAction) << "lowered";
    }
    if (f == 100) {
      EXPECT_EQ(boss->action, kBoss2Raised) << "raised again";
    }
    if (f > 1 && f < 180) {
      ASSERT_EQ(boss->armour, 1) << f;
    }
  }
  ASSERT_EQ(volleys.size(), 4u);
  const int frames[] = {70, 80, 140, 150};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(volleys[i].first, frames[i]);
    // A right-hand volley of pattern 4 fires nothing.
    EXPECT_TRUE(volleys[i].second == 4 || (i % 2 == 1 && volleys[i].second == 0));
  }
  EXPECT_EQ(boss->armour, 0);
  EXPECT_EQ(boss->action, kBoss2NoAction);
  EXPECT_TRUE(boss->state == kBoss2Think || boss->state == kBoss2SideWalk);
}

TEST_F(Boss2OnStage, ArmouredAttackFiresTenShotsFromTheLeftHandAimedWhenFacing) {
  Boss2* boss = Ready(kBoss2Attack);
  ASSERT_NE(boss, nullptr);
  std::vector<int> shotFrames;
  for (int f = 1; f <= 250; ++f) {
    const size_t before = Tamas().size();
    Step();
    if (Tamas().size() > before) shotFrames.push_back(f);
    if (f < 250) {
      ASSERT_EQ(boss->armour, 1) << f;
    }
  }
  EXPECT_EQ(shotFrames, (std::vector<int>{70, 84, 98, 112, 126, 140, 154, 168, 182, 196}));
  for (const EnemyTama* t : Tamas()) {
    EXPECT_FLOAT_EQ(t->speed, 0.25f) << "facing the player: aimed";
    EXPECT_EQ(t->kind, kEnemyTamaBall);
  }
  EXPECT_EQ(boss->armour, 0);
  EXPECT_TRUE(boss->state == kBoss2Think || boss->state == kBoss2SideWalk);
}

TEST_F(Boss2OnStage, LargeAttackStampsGlowsUnhurtAndThrowsTwoCurvingBalls) {
  Boss2* boss = Ready(kBoss2LargeAttack);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  int glow = 0;
  for (int f = 1; f < 150; ++f) {
    Step();
    glow += CountNewParticles(kParticleGlowShrink);
    ASSERT_TRUE(boss->IsInvulnerable()) << f;
    if (f == 60) {
      EXPECT_EQ(CountNewParticles(kParticleSmoke), 10) << "the stamp's ring";
      EXPECT_EQ(CountSound(kSoundStomp), 1);
    }
  }
  EXPECT_EQ(glow, 2 * 144) << "one at each hand up to frame 144";
  EXPECT_EQ(CountObjects(kObjectLargeBall2), 0);
  Step();
  ASSERT_EQ(CountObjects(kObjectLargeBall2), 2);
  std::vector<LargeBall2*> balls;
  for (size_t i = 0; i < g_objects.Size(); ++i)
    if (auto* b = dynamic_cast<LargeBall2*>(g_objects.At(i))) balls.push_back(b);
  ASSERT_EQ(balls.size(), 2u);
  EXPECT_EQ(balls[0]->curve, 0);
  EXPECT_EQ(balls[1]->curve, 1);
  EXPECT_FLOAT_EQ(balls[0]->speed, 0.35f);
  EXPECT_FLOAT_EQ(balls[0]->GetDamage(), 15.0f);
  EXPECT_GT(balls[0]->position.x, balls[1]->position.x) << "left hand, right hand";
  Step(5);
  EXPECT_FALSE(boss->IsInvulnerable()) << "open from frame 155";
  Step(45);
  EXPECT_TRUE(boss->state == kBoss2Think || boss->state == kBoss2SideWalk);
}

TEST_F(Boss2OnStage, SideStepDashesWithStreaksThenStopsAndThinks) {
  Boss2* boss = Ready(kBoss2SideStep);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  Step();
  EXPECT_EQ(CountSound(kSoundSideStep), 1);
  EXPECT_EQ(boss->animId, boss->side ? kAnimSideStepLeft : kAnimSideStepRight);
  const float across = std::fmod(boss->moveHeading - boss->angle.y + 720.0f, 360.0f);
  EXPECT_NEAR(across, boss->side ? 270.0f : 90.0f, 1e-3f);
  const port::Vec3 start = boss->previousPosition;
  Step(18);
  EXPECT_FLOAT_EQ(boss->speed, 0.225f);
  EXPECT_NEAR(Horizontal(boss->position, start), 19 * 0.225f, 0.05f);
  EXPECT_EQ(NewLines(), 1) << "a streak each dashing frame";
  Step();
  EXPECT_EQ(NewLines(), 0);
  EXPECT_EQ(boss->speed, 0.0f);
  EXPECT_EQ(boss->animId, kAnimStop);
  Step(19);
  EXPECT_EQ(boss->state, kBoss2SideStep);
  Step();
  EXPECT_EQ(boss->state, kBoss2Think);
}

TEST_F(Boss2OnStage, BackJumpLeapsAwayFromWhereItFacesAndLandsInAnotherState) {
  Boss2* boss = Ready(kBoss2BackJump);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  Step();
  EXPECT_EQ(CountSound(kSoundJump), 1);
  EXPECT_EQ(boss->airborne, 1);
  EXPECT_GT(boss->position.y, stagetest::kStandY);
  EXPECT_NE(boss->action, kBoss2NoAction) << "it shoots as it leaps";
  const int landed = StepUntil([&] { return boss->state != kBoss2BackJump; }, 200);
  ASSERT_GT(landed, 10);
  EXPECT_EQ(CountSound(kSoundLanding), 1);
  EXPECT_FLOAT_EQ(boss->position.y, stagetest::kStandY);
  // Facing -z, it leapt toward +z (slowed by the shot it fires meanwhile).
  EXPECT_GT(boss->position.z, 12.0f + 0.05f * static_cast<float>(landed - 1));
  EXPECT_EQ(boss->state, kBoss2Think) << "calm, it thinks";
}

// The quieter states: standing it looks round until it faces the player (or
// strikes its levy pose at frame 120); the side walk strafes round the
// player and turns back at a wall; the jump lands into thinking; the back
// walk retreats shooting for 60 frames.
TEST_F(Boss2OnStage, StandSideWalkJumpAndBackWalkEachLeadBackToTheFight) {
  Boss2* boss = Ready(kBoss2Stand);
  ASSERT_NE(boss, nullptr);
  boss->angle.y = 0.0f;  // its back to the player
  Step();
  EXPECT_EQ(boss->animId, kAnimStop);
  const int noticed = StepUntil([&] { return boss->state != kBoss2Stand; }, 200);
  // It turns 3 degrees a frame and sees the player once within 50 of it.
  EXPECT_NEAR(noticed, 43, 1);
  EXPECT_EQ(boss->roused, 1);
  EXPECT_TRUE(boss->state == kBoss2Think || boss->state == kBoss2SideWalk);
  boss->roused = 0;
  boss->position = boss->previousPosition = {0.0f, stagetest::kStandY, 35.0f};
  boss->SetState(kBoss2Stand);
  Step(119);
  EXPECT_EQ(boss->state, kBoss2Stand) << "too far to see the player";
  Step();
  EXPECT_EQ(boss->state, kBoss2Levy);

  boss->position = boss->previousPosition = {0.0f, stagetest::kStandY, 12.0f};
  boss->angle.y = 180.0f;
  boss->SetState(kBoss2SideWalk);
  boss->side = 0;
  boss->wallContact = 0;
  Step();
  EXPECT_EQ(boss->animId, kAnimSideWalk);
  EXPECT_FLOAT_EQ(boss->speed, 0.1f);
  const uint8_t side = boss->side;  // a 1 in 300 draw may have turned it already
  EXPECT_NEAR(boss->moveHeading - boss->angle.y, side ? 270.0f : 90.0f, 1e-3f);
  boss->wallContact = 1;
  Step();
  if (boss->state == kBoss2SideWalk) {
    EXPECT_NE(boss->side, side) << "a wall turns it back";
    EXPECT_NEAR(boss->moveHeading - boss->angle.y, side ? 90.0f : 270.0f, 1e-3f);
  }

  boss->SetState(kBoss2Jump);
  boss->speed = 0.0f;
  ClearSounds();
  Step();
  EXPECT_EQ(CountSound(kSoundJump), 1);
  EXPECT_EQ(boss->animId, kAnimJump);
  EXPECT_EQ(boss->airborne, 1);
  ASSERT_GT(StepUntil([&] { return boss->state != kBoss2Jump; }, 200), 10);
  EXPECT_EQ(boss->state, kBoss2Think) << "calm, it thinks once landed";
  EXPECT_FLOAT_EQ(boss->position.y, stagetest::kStandY);

  boss->position = boss->previousPosition = {0.0f, stagetest::kStandY, 12.0f};
  boss->angle.y = 180.0f;
  boss->SetState(kBoss2BackWalk);
  Step();
  EXPECT_EQ(boss->animId, kAnimWalk);
  EXPECT_EQ(boss->action, kBoss2Pair);
  Step(58);
  EXPECT_EQ(boss->state, kBoss2BackWalk);
  EXPECT_GT(boss->position.z, 12.0f + 0.04f * 58) << "away from where it faces";
  Step();
  EXPECT_EQ(boss->state, kBoss2Think);
}

TEST_F(Boss2OnStage, CalmItNoticesThePlayerOnlyFacingItFromNearerThanTwenty) {
  struct Case {
    float z, heading;
    bool notices;
  };
  const Case cases[] = {
      {12.0f, 180.0f, true}, {12.0f, 0.0f, false}, {25.0f, 180.0f, false}, {12.0f, 215.0f, false}};
  HeldBoss2* boss = Ready<HeldBoss2>(kBoss2Think);
  ASSERT_NE(boss, nullptr);
  boss->hold = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.z << " " << c.heading);
    boss->position = boss->previousPosition = {0.0f, stagetest::kStandY, c.z};
    boss->angle.y = boss->targetHeading = c.heading;
    boss->roused = 0;
    boss->SetState(kBoss2Think);
    boss->stateFrame = 5;
    Step();
    EXPECT_EQ(boss->roused, c.notices ? 1 : 0);
    if (boss->state == kBoss2Think) {
      EXPECT_FLOAT_EQ(boss->speed, 0.075f);
    }
  }
}

TEST_F(Boss2OnStage, AModelWithoutTheBodysFramesShootsFromTheBossItself) {
  HeldBoss2* boss = Ready<HeldBoss2>(kBoss2Think);
  ASSERT_NE(boss, nullptr);
  for (ModelFrame*& f : boss->lowerFrames) f = nullptr;
  for (ModelFrame*& f : boss->upperFrames) f = nullptr;
  EXPECT_EQ(boss->LeftHand(), boss->position);
  EXPECT_EQ(boss->RightHand(), boss->position);
  EXPECT_EQ(boss->Foot(), boss->position);
  boss->SetSubAction(kBoss2Pair);
  Step(50);
  EXPECT_EQ(Tamas().size(), 2u);
  DrawFrame();  // the split pose skips what is missing
}

}  // namespace
