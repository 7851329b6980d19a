// Zako3 on the small stage: the watch that turns it aggressive (35
// degrees, 20 units) and attacks, the attack's aim in its first 14 frames,
// the chase's three distance bands and its giving up, the jump and the
// ceiling, the jump over a wall it is pressed against, the hops, and the
// aggression that outlasts a hit.
#include <gtest/gtest.h>

#include "actors/StageSounds.h"
#include "actors/Zako3.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

namespace {

using stagetest::StageFixture;

// A floor at y = 0 and a ceiling at y = 3 over it, 20 by 20.
constexpr char kLowRoom[] =
    "xof 0303txt 0032\n"
    "Mesh room {\n"
    " 8;\n"
    " -10;0;-10;, 10;0;-10;, 10;0;10;, -10;0;10;,\n"
    " -10;3;-10;, 10;3;-10;, 10;3;10;, -10;3;10;;\n"
    " 4;\n"
    " 3;0,2,1;, 3;0,3,2;, 3;4,5,6;, 3;4,6,7;;\n"
    "}\n";

class Zako3OnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Zako3>();
    Step(30);  // the player settles at the origin
  }
  Zako3* Standing(float x, float z, float heading, int32_t state, bool aggressive = false) {
    Zako3* zako = Zako3::Spawn({.at = {x, stagetest::kStandY, z}, .heading = heading});
    zako->Update();
    zako->angle.y = zako->moveHeading = heading;
    zako->keepHeading = aggressive ? 1 : 0;
    zako->SetState(state);
    return zako;
  }
  // A zako3 `distance` from the player, with the player `off` degrees from
  // its facing.
  Zako3* Facing(float distance, float off, int32_t state, bool aggressive = false) {
    const float toPlayer = 160.0f;
    const port::Vec3 d = DirectionFromAngles(0.0f, toPlayer, 0.0f);
    return Standing(player.position.x - d.x * distance, player.position.z - d.z * distance,
                    toPlayer - off, state, aggressive);
  }
};

// The watch turns 3 a frame and, seeing the player within 35 degrees and
// nearer than 20, turns aggressive and attacks; the attack aims at 1 degree
// a frame on frames 1 to 14 and on the frame it returns to the chase.
TEST_F(Zako3OnStage, OnSightItTurnsAggressiveAndAttacksAimingOnlyAtFirst) {
  struct Case {
    float off;  // the player from the facing after the first turn
    float distance;
    bool sees;
  };
  const Case cases[] = {{0.0f, 19.9f, true},
                        {0.0f, 20.1f, false},
                        {-34.5f, 8.0f, true},
                        {-35.5f, 8.0f, false},
                        {34.5f, 8.0f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.off << " degrees, " << c.distance);
    g_characters.Clear();
    Zako3* zako = Facing(c.distance, c.off + 3.0f, kZako3Watch);
    Step();
    EXPECT_EQ(zako->state, c.sees ? kZako3Attack : kZako3Watch);
    EXPECT_EQ(zako->keepHeading, c.sees ? 1 : 0);
  }

  g_characters.Clear();
  Zako3* zako = Facing(8.0f, 20.0f, kZako3Attack, true);
  for (int f = 1; f <= 60; ++f) {
    const float before = zako->angle.y;
    Step();
    const float turned = AngleDistance(zako->angle.y, before);
    if (f < 15 || f == 60) {
      ASSERT_FLOAT_EQ(turned, 1.0f) << f;
    } else {
      ASSERT_EQ(turned, 0.0f) << f;
    }
    ASSERT_EQ(zako->speed, 0.0f);
  }
  EXPECT_EQ(zako->state, kZako3Chase);
}

// The chase faces the player at 3 a frame and runs at 0.15 beyond 20 (and
// gives up), 0.08 from 10 to 20, and backs off at 0.1 nearer than 10; it
// gives up, too, when the player is more than 90 degrees off.
TEST_F(Zako3OnStage, TheChaseRunsAtThreePacesByDistanceAndGivesUpFarOrBehind) {
  struct Case {
    float distance;
    float off;
    float speed;
    bool backs;  // the move heading points away from the player
    bool givesUp;
  };
  const Case cases[] = {{25.0f, 0.0f, 0.15f, false, true},
                        {15.0f, 0.0f, 0.08f, false, false},
                        {20.0f, 0.0f, 0.08f, false, false},
                        {5.0f, 0.0f, 0.1f, true, false},
                        {8.0f, 95.0f, 0.1f, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.distance);
    g_characters.Clear();
    port::CrtSrand(3);
    Zako3* zako = Facing(c.distance - 0.01f, c.off, kZako3Chase, true);
    Step();
    EXPECT_FLOAT_EQ(zako->speed, c.speed);
    const float offMove = AngleDistance(zako->moveHeading, zako->angle.y);
    if (c.backs) {
      EXPECT_GE(offMove, 150.0f);
    } else {
      EXPECT_EQ(offMove, 0.0f);
    }
    EXPECT_EQ(zako->state, c.givesUp ? kZako3Wander : kZako3Chase);
    EXPECT_EQ(zako->keepHeading, c.givesUp ? 0 : 1);
  }

  // Backing off, it keeps facing the player and the distance grows.
  g_characters.Clear();
  port::CrtSrand(5);
  Zako3* zako = Facing(6.0f, 0.0f, kZako3Chase, true);
  for (int f = 0; f < 20; ++f) {
    const double before = DistanceToPlayer(*zako);
    Step();
    if (zako->state != kZako3Chase) break;
    ASSERT_GT(DistanceToPlayer(*zako), before + 0.08) << f;
    ASSERT_LT(AngleDistance(zako->angle.y, YawToPlayer(*zako)), 1.0f) << f;
  }
}

// A jump rises 0.4 a frame less 0.025 a frame each frame and lands back
// in the chase while aggressive, else in the wander; under a ceiling the
// rise stops where it would come within 1 of it, and the fall starts there.
TEST_F(Zako3OnStage, AJumpRisesLandsAndStopsUnderACeiling) {
  for (bool aggressive : {true, false}) {
    SCOPED_TRACE(aggressive);
    g_characters.Clear();
    Zako3* zako = Standing(0.0f, 30.0f, 0.0f, kZako3Jump, aggressive);
    zako->speed = 0.0f;
    ClearSounds();
    float y = stagetest::kStandY, rise = 0.4f;
    for (int f = 1; f <= 5; ++f) {
      Step();
      y += rise;
      rise -= 0.025f;
      ASSERT_NEAR(zako->position.y, y, 1e-4f) << f;
    }
    EXPECT_EQ(CountSound(kSoundJump), 1);
    EXPECT_EQ(zako->animId, kAnimJump);
    const int landed = StepUntil([&] { return zako->state != kZako3Jump; }, 60);
    EXPECT_NEAR(landed, 29, 2);
    EXPECT_EQ(zako->state, aggressive ? kZako3Chase : kZako3Wander);
    EXPECT_FLOAT_EQ(zako->position.y, stagetest::kStandY);
  }

  testsupport::TempDir dir;
  g_stageField.LoadCollision(dir.Write("room.x", kLowRoom).c_str());
  g_characters.Clear();
  Zako3* zako = Standing(0.0f, 5.0f, 180.0f, kZako3Jump, true);  // facing the player
  zako->speed = 0.0f;
  bool stopped = false;
  for (int f = 0; f < 40; ++f) {
    const float before = zako->verticalSpeed;
    const port::Vec3 previous = zako->position;
    Step();
    if (before > 0.0f && zako->verticalSpeed <= 0.0f && zako->position == previous) stopped = true;
    ASSERT_LT(zako->position.y, 3.0f - 1.0f + 0.4f);
  }
  EXPECT_TRUE(stopped);
  EXPECT_EQ(zako->airborne, 0);
  EXPECT_FLOAT_EQ(zako->position.y, stagetest::kStandY);
}

// Pressed against the low block of the field while chasing the player
// beyond it, the zako3 jumps (after its first 30 frames) and gets over it.
TEST_F(Zako3OnStage, PressedAgainstAWallTheChaseJumpsOverIt) {
  player.Place(-20.0f, stagetest::kStandY, 24.0f, 0.0f);
  Step(30);
  Zako3* zako = Standing(-20.0f, 7.5f, 0.0f, kZako3Chase, true);
  // Chance may pause it or send it hopping: each time it goes back to the chase.
  int chaseFrames = 0;
  const int jump = StepUntil(
      [&] {
        if (zako->state == kZako3Jump) return true;
        if (zako->state != kZako3Chase) zako->SetState(kZako3Chase);
        chaseFrames = zako->stateFrame;
        return false;
      },
      300);
  ASSERT_GT(jump, 0);
  EXPECT_GE(chaseFrames, 30);  // the jump came on its 31st frame or later
  EXPECT_EQ(zako->wallContact, 1);
  EXPECT_LT(zako->position.z, 10.0f);
  float top = 0.0f;
  const int landed = StepUntil(
      [&] {
        top = std::max(top, zako->position.y);
        return zako->state != kZako3Jump;
      },
      60);
  ASSERT_GT(landed, 0);
  EXPECT_GT(zako->position.z, 10.0f);  // on the block or past it
  EXPECT_GT(top, stagetest::kLowBlockTop + 1.0f);
}

// Hops: a take-off on every landing, aimed at the player while aggressive,
// and no end before frame 100.
TEST_F(Zako3OnStage, HopsGoOnForAtLeast100FramesAimedAtThePlayerWhenAggressive) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    port::CrtSrand(seed);
    g_characters.Clear();
    const bool aggressive = seed % 2 == 1;
    Zako3* zako = Facing(14.0f, 90.0f, kZako3Hop, aggressive);
    zako->speed = 0.0f;
    ClearSounds();
    const float offBefore = AngleDistance(zako->angle.y, YawToPlayer(*zako));
    const int ended = StepUntil([&] { return zako->state != kZako3Hop; }, 1000);
    ASSERT_GT(ended, 100);
    EXPECT_EQ(zako->state, aggressive ? kZako3Chase : kZako3Wander);
    const int takeOffs = CountSound(kSoundJump);
    EXPECT_GE(takeOffs, 4);
    if (aggressive) {
      // Each take-off after the first turns it 6 degrees toward the player.
      EXPECT_NEAR(AngleDistance(zako->angle.y, YawToPlayer(*zako)),
                  offBefore - 6.0f * static_cast<float>(takeOffs - 1), 0.01f);
    }
  }
}

// After a hit the zako3 wanders, yet it stays aggressive: its next pause
// leads back into the chase.
TEST_F(Zako3OnStage, AfterAHitItWandersButItsNextPauseLeadsBackToTheChase) {
  Zako3* zako = Facing(12.0f, 0.0f, kZako3Chase, true);
  stagetest::EnemyObject* shot = AddPlayerShot(zako->position);
  Step();
  ASSERT_EQ(zako->state, kZako3Damage);
  shot->alive = 0;
  ClearSounds();
  Step(49);
  EXPECT_EQ(zako->state, kZako3Damage);
  EXPECT_EQ(CountSound(kSoundEnemyHurt2), 1);
  Step();
  EXPECT_EQ(zako->state, kZako3Wander);
  EXPECT_EQ(zako->keepHeading, 1);
  zako->SetState(kZako3Pause);
  Step(149);
  EXPECT_EQ(zako->state, kZako3Pause);
  Step();
  EXPECT_EQ(zako->state, kZako3Chase);
}

}  // namespace
