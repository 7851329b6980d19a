// The stage player moving on the stage1 field: speeds and headings of every
// key, the jump arc and its landings, walls it slides along or bounces off,
// and placements that would leave it nowhere.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "actors/StageSounds.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "port/input.h"
#include "support/stage_fixture.h"
#include "world/ParticleEffect.h"
#include "world/StageField.h"

namespace {

using stagetest::StageFixture;

class PlayerMovement : public StageFixture {
 protected:
  // Stands the player on the floor and lets it settle.
  void StandAt(float x, float z, float heading) {
    player.Place(x, stagetest::kStandY, z, heading);
    Step(2);
    ASSERT_EQ(player.airborne, 0);
    ASSERT_FLOAT_EQ(player.position.y, stagetest::kStandY);
  }
};

// Each input held for 10 frames from the middle of the field, facing +z.
struct MoveCase {
  const char* name;
  int keys[3];    // 0 ends the list
  int padDir;     // -1: none; else pad 0's stick instead of the arrow
  float dx, dz;   // expected move over the 10 frames
  float heading;  // the facing afterwards
  int32_t anim;
};

TEST_F(PlayerMovement, EveryKeyMovesAtItsSpeedAndHeading) {
  const MoveCase cases[] = {
      {"run forward", {port::kKeyUp}, -1, 0.0f, 3.0f, 0.0f, kAnimRun},
      {"walk forward with shift", {port::kKeyUp, port::kKeyX}, -1, 0.0f, 1.5f, 0.0f, kAnimWalk},
      {"run back", {port::kKeyDown}, -1, 0.0f, -3.0f, 0.0f, kAnimRun},
      {"walk back with shift", {port::kKeyDown, port::kKeyX}, -1, 0.0f, -1.5f, 0.0f, kAnimWalk},
      {"side step right", {port::kKeyRight, port::kKeyX}, -1, 1.5f, 0.0f, 0.0f, kAnimSideWalk},
      {"side step left", {port::kKeyLeft, port::kKeyX}, -1, -1.5f, 0.0f, 0.0f, kAnimSideWalk},
      // A side step and forward together go diagonally at the walking speed.
      {"forward right diagonal",
       {port::kKeyUp, port::kKeyRight, port::kKeyX},
       -1,
       1.0607f,
       1.0607f,
       0.0f,
       kAnimWalk},
      {"back left diagonal",
       {port::kKeyDown, port::kKeyLeft, port::kKeyX},
       -1,
       -1.0607f,
       -1.0607f,
       0.0f,
       kAnimWalk},
      {"turn right", {port::kKeyRight}, -1, 0.0f, 0.0f, 20.0f, kAnimWalk},
      {"turn left", {port::kKeyLeft}, -1, 0.0f, 0.0f, 340.0f, kAnimWalk},
      {"pad stick forward", {0}, kPadUp, 0.0f, 3.0f, 0.0f, kAnimRun},
      {"pad stick right turns", {0}, kPadRight, 0.0f, 0.0f, 20.0f, kAnimWalk},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    StandAt(0.0f, 0.0f, 0.0f);
    for (int k : c.keys) {
      if (k) Hold(k);
    }
    if (c.padDir >= 0) HoldPadDirection(c.padDir);
    Step(10);
    EXPECT_NEAR(player.position.x, c.dx, 1e-3f);
    EXPECT_NEAR(player.position.z, c.dz, 1e-3f);
    EXPECT_NEAR(std::fmod(player.angle.y + 360.0f, 360.0f), c.heading, 1e-3f);
    EXPECT_EQ(player.animId, c.anim);
    EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);
    LetAll();
  }
}

TEST_F(PlayerMovement, RunningKicksUpDustEveryFifthFrameAndWalkingDoesNot) {
  StandAt(0.0f, 0.0f, 0.0f);
  player.modeFrame = 0;
  Hold(port::kKeyUp);
  Hold(port::kKeyX);
  Step(20);
  EXPECT_EQ(CountParticles(), 0);
  Let(port::kKeyX);
  player.modeFrame = 0;
  Step(20);
  EXPECT_EQ(CountParticles(kParticleSmoke), 4);  // mode frames 5, 10, 15, 20
}

TEST_F(PlayerMovement, JumpRisesToItsPeakAndLandsWithSoundAndDust) {
  StandAt(0.0f, 0.0f, 0.0f);
  Hold(port::kKeyC);
  float peak = 0.0f;
  int airFrames = 0;
  Step();
  EXPECT_EQ(CountSound(kSoundJump), 1);
  while (player.airborne && airFrames < 100) {
    peak = std::max(peak, player.position.y);
    EXPECT_EQ(player.animId, kAnimJump);
    ++airFrames;
    Step();
  }
  // 0.4 up, 0.025 less each frame: 3.4 above the standing height, down in 33.
  EXPECT_NEAR(peak, stagetest::kStandY + 3.4f, 1e-3f);
  EXPECT_EQ(airFrames + 1, 33);
  EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);
  ASSERT_NE(FirstSound(kSoundLanding), nullptr);
  EXPECT_EQ(FirstSound(kSoundLanding)->frame, frame);
  EXPECT_EQ(FirstSound(kSoundLanding)->volume, -1000);
  EXPECT_EQ(CountParticles(kParticleSmoke), 10);

  // Held on, the next jump waits 20 frames on the ground.
  const int landed = frame;
  const int next = StepUntil([&] { return CountSound(kSoundJump) == 2; }, 100);
  EXPECT_EQ(frame - landed, 20) << next;
}

TEST_F(PlayerMovement, JumpsOntoABlockAndFallsOffItsEdge) {
  // The low block stands 2 high at x -24..-16, z 10..14.
  StandAt(-20.0f, 3.4f, 0.0f);
  Hold(port::kKeyUp);
  Step(2);
  Hold(port::kKeyC);
  Step();
  Let(port::kKeyC);
  StepUntil([&] { return !player.airborne; }, 100);
  EXPECT_FLOAT_EQ(player.position.y, stagetest::kLowBlockTop + 1.0f);
  EXPECT_GT(player.position.z, 10.0f);
  EXPECT_LT(player.position.z, 14.0f);

  // Running on, it walks off the far edge and falls to the floor.
  const int fell = StepUntil([&] { return player.airborne != 0; }, 30);
  ASSERT_GT(fell, 0);
  EXPECT_EQ(player.animId, kAnimJump);
  StepUntil([&] { return !player.airborne; }, 100);
  EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);
  EXPECT_GT(player.position.z, 14.0f);
}

TEST_F(PlayerMovement, RunningAtAWallSlidesAlongIt) {
  // Heading 30: the run has a part along the north wall and a part into it.
  StandAt(0.0f, 35.0f, 30.0f);
  Hold(port::kKeyUp);
  Step(40);
  const float stopped = player.position.z;
  EXPECT_LT(stopped, stagetest::kNorthWallZ - 1.0f);
  EXPECT_GT(stopped, stagetest::kNorthWallZ - 2.0f);
  const float x = player.position.x;
  Step(10);
  EXPECT_FLOAT_EQ(player.position.z, stopped);
  EXPECT_NEAR(player.position.x - x, 10 * 0.3f * 0.5f, 1e-3f);

  // Head on there is nothing to slide along: the player stands.
  StandAt(0.0f, 35.0f, 0.0f);
  Step(40);
  const port::Vec3 at = player.position;
  Step(5);
  EXPECT_EQ(player.position, at);
  EXPECT_LT(at.z, stagetest::kNorthWallZ - 1.0f);
}

TEST_F(PlayerMovement, KnockedAgainstAWallBouncesOffWithStars) {
  StandAt(0.0f, 36.0f, 180.0f);
  // Pushed north, into the wall, by a damage-25 object behind it.
  stagetest::EnemyObject* o = AddEnemyObject({0.0f, 1.0f, 35.5f}, 0.5f, 25.0f);
  Step();
  ASSERT_EQ(player.mode, kPlayerKnockBack);
  o->alive = 0;
  EXPECT_NEAR(std::fmod(player.moveHeading, 360.0f), 0.0f, 1e-3f);
  const int bounced = StepUntil([&] { return CountSound(kSoundWallBounce) > 0; }, 10);
  ASSERT_GT(bounced, 0);
  EXPECT_EQ(FirstSound(kSoundWallBounce)->volume, -1000);
  EXPECT_NEAR(std::fmod(player.moveHeading, 360.0f), 180.0f, 1e-3f);
  EXPECT_LT(player.position.z, stagetest::kNorthWallZ - 1.0f);
  EXPECT_EQ(CountParticles(kParticleStar), 10);
  const float z = player.position.z;
  Step(5);
  EXPECT_LT(player.position.z, z - 4.0f);  // going back south
}

// Placements the field cannot hold: the player ends standing on the floor.
struct PlaceCase {
  const char* name;
  port::Vec3 at;
  bool keepsXz;  // stays above the given point; else moved to the middle
};

TEST_F(PlayerMovement, APlacementOffTheFieldEndsOnTheFloor) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const PlaceCase cases[] = {
      {"high above the floor", {5.0f, 30.0f, 5.0f}, true},
      {"under the floor", {5.0f, -3.0f, 5.0f}, true},
      {"far under the floor", {5.0f, -5000.0f, 5.0f}, true},
      {"outside the walls", {100.0f, 2.0f, 100.0f}, false},
      {"not a number", {nan, 2.0f, 0.0f}, false},
      {"infinitely far", {0.0f, 2.0f, std::numeric_limits<float>::infinity()}, false},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    player.Place(c.at.x, c.at.y, c.at.z, 0.0f);
    StepUntil([&] { return !player.airborne; }, 300);
    EXPECT_EQ(player.airborne, 0);
    EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);
    if (c.keepsXz) {
      EXPECT_FLOAT_EQ(player.position.x, c.at.x);
      EXPECT_FLOAT_EQ(player.position.z, c.at.z);
    } else {
      EXPECT_LT(std::fabs(player.position.x), 40.0f);
      EXPECT_LT(std::fabs(player.position.z), 40.0f);
    }
    // And it can move from there.
    Hold(port::kKeyUp);
    Step(5);
    EXPECT_NE(player.position.z, player.previousPosition.z);
    LetAll();
  }
}

TEST_F(PlayerMovement, PlacedInsideABlockItWalksOut) {
  // The block at x 15..21, z 15..21 is 3 high; its inside has the floor below.
  player.Place(18.0f, 1.0f, 18.0f, 0.0f);
  Step(2);
  Hold(port::kKeyUp);
  Step(20);
  EXPECT_GT(player.position.z, 21.0f);
  EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);
}

TEST_F(PlayerMovement, WithNoFieldAtAllThePlayerStaysWhereItWasPut) {
  g_stageField.Release();
  player.Place(3.0f, 5.0f, 4.0f, 0.0f);
  Hold(port::kKeyUp);
  Hold(port::kKeyC);
  Step(30);
  EXPECT_EQ(player.position, (port::Vec3{3.0f, 5.0f, 4.0f}));
}

}  // namespace
