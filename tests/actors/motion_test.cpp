// The field contacts the actors share, against the stage1 field: gravity and
// landing, the shots' ground following, the two wall tests, the blocked path
// and the object touch test.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::StageFixture;

class Motion : public StageFixture {};

TEST_F(Motion, GravityStandsFallsAndLands) {
  struct Case {
    const char* name;
    float y, speed;
    GravityStep step;
    float yAfter, speedAfter;
    uint8_t airborne;
  };
  // The ground is at 1 (a character's origin over the floor).
  const Case cases[] = {
      {"standing", 1.0f, 0.0f, GravityStep::kStanding, 1.0f, 0.0f, 0},
      {"snapped down from 0.3 above", 1.3f, 0.0f, GravityStep::kStanding, 1.0f, 0.0f, 0},
      {"taking off", 1.0f, 0.4f, GravityStep::kFalling, 1.4f, 0.375f, 1},
      {"falling from high", 5.0f, -0.1f, GravityStep::kFalling, 4.9f, -0.125f, 1},
      {"coming down within 0.3", 1.35f, -0.1f, GravityStep::kLanded, 1.0f, 0.0f, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearSounds();
    const int dust = CountParticles(kParticleSmoke);
    port::Vec3 p{2.0f, c.y, 3.0f};
    float speed = c.speed;
    uint8_t airborne = 1;
    EXPECT_EQ(ApplyGravity(1.0f, &p, &speed, &airborne), c.step);
    EXPECT_NEAR(p.y, c.yAfter, 1e-5f);
    EXPECT_NEAR(speed, c.speedAfter, 1e-5f);
    EXPECT_EQ(airborne, c.airborne);
    Step();  // records the sounds queued
    const bool landed = c.step == GravityStep::kLanded;
    EXPECT_EQ(CountSound(kSoundLanding), landed ? 1 : 0);
    EXPECT_EQ(CountParticles(kParticleSmoke) - dust, landed ? 10 : 0);
  }
}

TEST_F(Motion, ShotsSinkTowardTheirHeightAndNeverStayBelowIt) {
  struct Case {
    port::Vec3 from;
    float height, y;
  };
  const Case cases[] = {
      {{0.0f, 5.0f, 0.0f}, 0.8f, 4.9f},     // high: sinks 0.1
      {{0.0f, 0.95f, 0.0f}, 0.8f, 0.8f},    // sinking past it: lands on it
      {{0.0f, 0.85f, 0.0f}, 0.8f, 0.8f},    // within 0.1: on it
      {{0.0f, 0.3f, 0.0f}, 0.8f, 0.8f},     // below: lifted at once
      {{-20.0f, 2.5f, 12.0f}, 1.3f, 3.3f},  // over the low block (top 2)
      {{100.0f, 5.0f, 0.0f}, 0.8f, 5.0f},   // off the field: stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from.y);
    port::Vec3 p = c.from;
    KeepAboveGround(&p, c.height);
    EXPECT_NEAR(p.y, c.y, 1e-5f);
    EXPECT_EQ(p.x, c.from.x);
  }
}

TEST_F(Motion, TheTwoWallTestsDisagreeOnAMoveThatLeavesTheWall) {
  // Along the north wall (normal -z), turning a little away from it.
  const port::Vec3 from{0.0f, 1.0f, 39.2f};
  const port::Vec3 d = DirectionFromAngles(0.0f, 100.0f, 0.0f);
  const WallContact byMove = FindWall(from, d, 0.0f, 0.0f, 1.5f, WallTest::kMoveDirection);
  EXPECT_FALSE(byMove.found);
  const WallContact byProbe = FindWall(from, d, 0.0f, 0.0f, 1.5f, WallTest::kProbeDirection);
  ASSERT_TRUE(byProbe.found);
  EXPECT_NEAR(YawOfVector(byProbe.probe.x, 0.0f, byProbe.probe.z), 55.0f, 1e-3f);
  EXPECT_NEAR(byProbe.normal.z, -1.0f, 1e-6f);
  EXPECT_LE(byProbe.dot, 0.0f);

  // Head on both find it; the slide keeps the part along the wall, the
  // reflection turns the part into it round.
  const port::Vec3 in = DirectionFromAngles(0.0f, 30.0f, 0.0f);
  const WallContact w = FindWall(from, in, 0.0f, 0.0f, 1.5f, WallTest::kMoveDirection);
  ASSERT_TRUE(w.found);
  EXPECT_NEAR(w.distance, 0.8f / std::cos(30.0f * 0.017453292f), 1e-4f);
  const port::Vec3 slide = SlideDirection(in, w);
  EXPECT_NEAR(slide.x, in.x, 1e-6f);
  EXPECT_NEAR(slide.z, 0.0f, 1e-6f);
  const port::Vec3 back = ReflectDirection(in, w);
  EXPECT_NEAR(back.x, in.x, 1e-6f);
  EXPECT_NEAR(back.z, -in.z, 1e-6f);

  // Too far for the reach, or facing away: no wall.
  EXPECT_FALSE(FindWall({0.0f, 1.0f, 30.0f}, in, 0.0f, 0.0f, 1.5f, WallTest::kMoveDirection).found);
  EXPECT_FALSE(FindWall(from, -in, 0.0f, 0.0f, 1.5f, WallTest::kProbeDirection).found);
}

TEST_F(Motion, APathIsBlockedOnlyByTheFieldWithinItsReach) {
  EXPECT_FALSE(PathBlocked({0.0f, 1.0f, 38.0f}, {0.0f, 1.0f, 38.1f}, 1.5f));
  EXPECT_TRUE(PathBlocked({0.0f, 1.0f, 39.0f}, {0.0f, 1.0f, 39.1f}, 1.5f));
  EXPECT_FALSE(PathBlocked({0.0f, 1.0f, 39.0f}, {0.0f, 1.0f, 39.0f}, 1.5f));
  EXPECT_TRUE(CeilingAbove({18.0f, 2.5f, 18.0f}));  // under the high block's top
  EXPECT_FALSE(CeilingAbove({0.0f, 2.5f, 0.0f}));
  EXPECT_TRUE(WallAhead({0.0f, 1.0f, 39.5f}, {0.0f, 0.0f, 1.0f}));
  EXPECT_FALSE(WallAhead({0.0f, 1.0f, 38.5f}, {0.0f, 0.0f, 1.0f}));
}

TEST_F(Motion, AnObjectTouchesByItsPositionOrAnExtraPoint) {
  stagetest::EnemyObject o({0.0f, 1.0f, 0.0f}, 0.5f, 10.0f);
  o.extraPoints = {{3.0f, 1.0f, 0.0f}, {6.0f, 1.0f, 0.0f}};
  struct Case {
    float x;
    bool touches;
  };
  for (const Case c : {Case{0.79f, true}, Case{0.81f, false}, Case{2.3f, true}, Case{6.79f, true},
                       Case{7.0f, false}}) {
    EXPECT_EQ(ObjectTouches(o, {c.x, 1.0f, 0.0f}, 0.3f), c.touches) << c.x;
  }
  // An object that cannot hit touches nothing, not even at its centre.
  o.radius = DynamicObject::kCannotHit;
  EXPECT_FALSE(ObjectTouches(o, {0.0f, 1.0f, 0.0f}, 0.6f));
  EXPECT_FALSE(ObjectTouches(o, {3.0f, 1.0f, 0.0f}, 0.6f));
}

}  // namespace
