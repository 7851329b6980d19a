// Zako2 on the small stage: the wander that turns watchful only after 30
// frames, the watch's sight (30 degrees, 20 units), the approach that shoots
// only after 30 frames and within 10, the attack that does not turn and
// always ends, the pause, and the turn away from a wall it slides along.
#include <gtest/gtest.h>

#include <memory>

#include "actors/StageSounds.h"
#include "actors/Zako2.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage_fixture.h"

namespace {

using stagetest::StageFixture;

// A zako2 whose states only walk it straight along its heading at 0.1.
class StraightZako2 : public Zako2 {
 protected:
  void RunState() override {
    ++stateFrame;
    speed = 0.1f;
    moveHeading = angle.y;
  }
};

class Zako2OnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Zako2>();
    Step(30);  // the player settles at the origin
  }
  Zako2* Standing(float x, float z, float heading, int32_t state) {
    Zako2* zako = Zako2::Spawn({.at = {x, stagetest::kStandY, z}, .heading = heading});
    zako->Update();
    zako->angle.y = zako->moveHeading = heading;
    zako->SetState(state);
    return zako;
  }
};

TEST_F(Zako2OnStage, WandersAtLeast30FramesBeforeItWatchesOrPauses) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    port::CrtSrand(seed);
    g_characters.Clear();
    Zako2* zako = Standing(0.0f, 20.0f, 0.0f, kZako2Wander);
    const int frames = StepUntil([&] { return zako->state != kZako2Wander; }, 3000);
    ASSERT_GT(frames, 30);
    EXPECT_TRUE(zako->state == kZako2Watch || zako->state == kZako2Pause) << zako->state;
    EXPECT_EQ(zako->animId, kAnimRun);
  }
}

// The watch turns 3 degrees a frame and sees the player within 30 degrees
// of that facing and nearer than 20.
TEST_F(Zako2OnStage, TheWatchSeesThePlayerWithin30DegreesAndNearerThan20) {
  struct Case {
    float off;  // degrees of the player from the facing after the first turn
    float distance;
    bool sees;
  };
  const Case cases[] = {{0.0f, 19.9f, true},   {0.0f, 20.1f, false},   {29.5f, 10.0f, true},
                        {-29.5f, 10.0f, true}, {-30.5f, 10.0f, false}, {90.0f, 5.0f, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.off << " degrees, " << c.distance);
    g_characters.Clear();
    // The zako2 stands so that the player lies `off` from its facing + 3.
    const float toPlayer = 200.0f;  // from the zako to the player
    const float h = toPlayer - 3.0f - c.off;
    const port::Vec3 d = DirectionFromAngles(0.0f, toPlayer, 0.0f);
    Zako2* zako = Standing(player.position.x - d.x * c.distance,
                           player.position.z - d.z * c.distance, h, kZako2Watch);
    Step();
    EXPECT_EQ(zako->state, c.sees ? kZako2Approach : kZako2Watch);
  }
  // Seeing nothing, it pauses at frame 120.
  g_characters.Clear();
  Zako2* zako = Standing(0.0f, 35.0f, 0.0f, kZako2Watch);
  Step(119);
  EXPECT_EQ(zako->state, kZako2Watch);
  EXPECT_EQ(zako->speed, 0.0f);
  Step();
  EXPECT_EQ(zako->state, kZako2Pause);
}

// The approach walks at the player; it shoots from frame 31 on, once nearer
// than 10; the attack stands still and fires its ring on frame 30 along the
// facing of that moment.
TEST_F(Zako2OnStage, ApproachesShootsOnlyAfter30FramesWithin10AndDoesNotTurnInTheAttack) {
  struct Case {
    float z;
    bool near;  // within 10 from the start: it shoots on frame 31
    bool shoots;
  };
  const Case cases[] = {
      {5.0f, true, true}, {9.0f, true, true}, {14.0f, false, true}, {35.0f, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.z);
    g_characters.Clear();
    g_objects.Clear();
    Zako2* zako = Standing(3.0f, c.z, 200.0f, kZako2Approach);
    const int attack = StepUntil([&] { return zako->state == kZako2Attack; }, 179);
    if (!c.shoots) {
      EXPECT_EQ(attack, -1);
      Step();
      EXPECT_EQ(zako->state, kZako2Pause);  // frame 180
      continue;
    }
    if (c.near) {
      EXPECT_EQ(attack, 31);
    } else {
      EXPECT_GT(attack, 31);
      EXPECT_GT(DistanceToPlayer(*zako), 9.8);  // it shot as soon as it came within 10
    }
    EXPECT_LT(DistanceToPlayer(*zako), 10.0);
    EXPECT_LT(AngleDistance(zako->angle.y, YawToPlayer(*zako)), 3.0f);
    // The player steps aside: the zako2 does not follow it with its aim.
    player.Place(-6.0f, stagetest::kStandY, -3.0f, 0.0f);
    const float facing = zako->angle.y;
    Step(29);
    EXPECT_TRUE(EnemyBullets().empty());
    Step();
    ASSERT_EQ(EnemyBullets().size(), 1u);
    const EnemyTama* ring = EnemyBullets()[0];
    EXPECT_EQ(ring->kind, kEnemyTamaRing);
    EXPECT_FLOAT_EQ(ring->rotation.y, facing);
    EXPECT_FLOAT_EQ(ring->speed, 0.2f);
    EXPECT_FLOAT_EQ(ring->damage, 10.0f);
    EXPECT_EQ(zako->angle.y, facing);
    EXPECT_EQ(zako->speed, 0.0f);
    player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
  }
}

// At frame 100 the attack draws 0 to 5: watch, watch with a new heading,
// or pause; the rare top value pauses too rather than leave the zako2
// standing in its attack for good.
TEST_F(Zako2OnStage, TheAttackAlwaysEnds) {
  struct Case {
    int draw;
    int32_t next;
  };
  const Case cases[] = {{0, kZako2Watch}, {1, kZako2Watch}, {2, kZako2Watch},
                        {3, kZako2Watch}, {4, kZako2Pause}, {5, kZako2Pause}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.draw);
    g_characters.Clear();
    Zako2* zako = Standing(0.0f, 30.0f, 90.0f, kZako2Attack);
    zako->stateFrame = 99;
    zako->targetHeading = 400.0f;  // none that a draw gives
    SeedWhere([&] { return RandomInt(5) == c.draw; });
    zako->Update();
    EXPECT_EQ(zako->state, c.next);
    EXPECT_EQ(zako->targetHeading != 400.0f, c.draw == 2 || c.draw == 3);
  }
}

TEST_F(Zako2OnStage, ThePauseCriesAtFrame30AndWandersOffAtFrame150) {
  Zako2* zako = Standing(4.0f, 12.0f, 0.0f, kZako2Pause);
  ClearSounds();
  Step(29);
  EXPECT_EQ(CountSound(kSoundEnemyPause), 0);
  EXPECT_EQ(zako->animId, kAnimLevy);
  Step();
  ASSERT_EQ(CountSound(kSoundEnemyPause), 1);
  Step(100);
  // Facing the player all the while, turning at 2 a frame.
  EXPECT_LT(AngleDistance(zako->angle.y, YawToPlayer(*zako)), 0.01f);
  Step(19);
  EXPECT_EQ(zako->state, kZako2Pause);
  const float facing = zako->angle.y;
  Step();
  EXPECT_EQ(zako->state, kZako2Wander);
  EXPECT_LE(AngleDistance(zako->targetHeading, facing), 30.0f + 1e-3f);
}

// Walk A with the wall turn: sliding along the north wall, the zako2 turns
// away from it 3 degrees a frame until it walks along it or off; it never
// enters it.
TEST_F(Zako2OnStage, SlidingAlongAWallItTurnsAwayAtThreeDegreesAFrame) {
  auto made = std::make_unique<StraightZako2>();
  StraightZako2* zako = made.get();
  zako->Init(0.0f, stagetest::kStandY, 37.5f, 30.0f);
  g_characters.Add(std::move(made));
  int turning = 0;
  for (int f = 0; f < 200; ++f) {
    const float before = zako->angle.y;
    Step();
    ASSERT_LT(zako->position.z, stagetest::kNorthWallZ - 0.5f);
    const float turn = AngleDistance(zako->angle.y, before);
    if (turn > 0.0f) {
      ASSERT_FLOAT_EQ(turn, 3.0f) << f;
      ++turning;
    }
  }
  EXPECT_GT(turning, 10);
  // It turned until it walked along the wall, or away from it.
  EXPECT_GE(AngleDistance(zako->angle.y, 0.0f), 90.0f - 1e-3f);
}

}  // namespace
