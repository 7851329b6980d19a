// The shots of battle characters 2 to 4 on the small stage: their paths,
// their ends, and what they do when struck.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/Motion.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"
#include "world/ObjectList.h"

namespace {

using stagetest::StageFixture;

constexpr int32_t kShooter = kOwnerBattlePlayer2;

class BattleShots : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    // The stage player stays out of the way.
    player.alive = 0;
  }
  // Steps until the object dies; the frames it lived, or -1.
  int FramesUntilDead(const DynamicObject* o, int limit) {
    return StepUntil([o] { return !o->IsAlive(); }, limit);
  }
};

// A character standing still for the homing shots to chase.
class Target : public Character {
 public:
  explicit Target(port::Vec3 at) { position = at; }
};

// ---- The small shots of characters 2 to 4 ----

struct TamaCase {
  const char* name;
  DynamicObject* (*spawn)(float x, float y, float z, float heading);
  int32_t type;
  bool rolls;
};

const TamaCase kTamas[] = {
    {"player2",
     [](float x, float y, float z, float h) -> DynamicObject* {
       return Player2Tama::Spawn({.at = {x, y, z}, .heading = h, .owner = kShooter});
     },
     kObjectPlayer2Tama, true},
    {"player3",
     [](float x, float y, float z, float h) -> DynamicObject* {
       return Player3Tama::Spawn({.at = {x, y, z}, .heading = h, .owner = kShooter});
     },
     kObjectPlayer3Tama, true},
    {"player4",
     [](float x, float y, float z, float h) -> DynamicObject* {
       return Player4Tama::Spawn({.at = {x, y, z}, .heading = h, .owner = kShooter});
     },
     kObjectPlayer4Tama, false},
};

TEST_F(BattleShots, SmallShotsFlyFortyFramesThenPuffOutAndEndAtWallsAndHits) {
  for (const TamaCase& c : kTamas) {
    SCOPED_TRACE(c.name);
    DynamicObject* t = c.spawn(0.0f, 0.8f, 0.0f, 0.0f);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetType(), c.type);
    EXPECT_EQ(t->GetOwner(), kShooter);
    EXPECT_FLOAT_EQ(t->GetRadius(), 0.7f);
    EXPECT_FLOAT_EQ(t->GetDamage(), 10.0f);
    Step(10);
    EXPECT_NEAR(t->position.z, 7.0f, 1e-3f);  // 0.7 a frame, straight on
    EXPECT_NEAR(t->position.y, 0.8f, 1e-4f);
    EXPECT_EQ(t->rotation.z != 0.0f, c.rolls);
    EXPECT_EQ(FramesUntilDead(t, 100), 31);  // gone on frame 41

    // Reused for the next spawn: toward the north wall from 3 units off.
    DynamicObject* again = c.spawn(0.0f, 0.8f, stagetest::kNorthWallZ - 3.0f, 0.0f);
    EXPECT_EQ(again, t);
    EXPECT_EQ(FramesUntilDead(t, 40), 3);

    ClearSounds();
    c.spawn(0.0f, 0.8f, 0.0f, 90.0f);
    t->SetHit(1);
    Step();
    EXPECT_FALSE(t->IsAlive());
    EXPECT_EQ(CountSound(kSoundHit), 1);
  }
}

// ---- Character 2 ----

TEST_F(BattleShots, CurvingShotsFanOutByTheirCurveAndLiveOneHundredTwentyFrames) {
  const struct {
    int32_t curve;
    float turn;  // degrees a frame
  } kCurves[] = {{0, 1.0f}, {1, 0.3f}, {2, -0.3f}, {3, -1.0f}, {5, 0.3f}, {-1, 0.0f}, {-6, 0.0f}};
  for (const auto& c : kCurves) {
    SCOPED_TRACE(c.curve);
    // From the south, clear of the blocks and walls for its whole flight.
    Player2LargeTama1* t = Player2LargeTama1::Spawn(
        {.at = {0.0f, 0.8f, -36.0f}, .heading = 0.0f, .owner = kShooter, .curve = c.curve});
    ASSERT_NE(t, nullptr);
    Step(20);
    EXPECT_NEAR(t->rotation.y, 20.0f * c.turn, 1e-3f);
    EXPECT_NEAR(std::hypot(t->position.x, t->position.z + 36.0f), 8.0f, 0.05f);  // 0.4 a frame
    EXPECT_EQ(FramesUntilDead(t, 200), 101);
  }
}

TEST_F(BattleShots, ThunderHitBoxStrikesHardForFourFramesWhereItWasPut) {
  Player2HitBox* box =
      Player2HitBox::Spawn({.at = {3.0f, 1.0f, 2.0f}, .heading = 45.0f, .owner = kShooter});
  ASSERT_NE(box, nullptr);
  EXPECT_FLOAT_EQ(box->GetDamage(), 100.0f);
  EXPECT_FLOAT_EQ(box->GetRadius(), 1.5f);
  box->SetHit(1);  // hits change nothing
  EXPECT_EQ(FramesUntilDead(box, 10), 4);
  EXPECT_EQ(box->position, (port::Vec3{3.0f, 1.0f, 2.0f}));
}

// ---- Character 3 ----

TEST_F(BattleShots, HomingShotTurnsOntoItsTargetOrFliesStraightWithout) {
  Target target({60.0f, 1.0f, 0.0f});
  Player3LargeTama1* homing = Player3LargeTama1::Spawn(
      {.at = {0.0f, 0.8f, 0.0f}, .heading = 0.0f, .owner = kShooter, .target = &target});
  Player3LargeTama1* straight = Player3LargeTama1::Spawn(
      {.at = {0.0f, 0.8f, -5.0f}, .heading = 0.0f, .owner = kShooter, .target = nullptr});
  ASSERT_NE(homing, straight);
  Step(12);
  EXPECT_NEAR(homing->rotation.y, 90.0f, 1.0f);  // 8 degrees a frame toward +x
  EXPECT_FLOAT_EQ(straight->rotation.y, 0.0f);
  EXPECT_NEAR(straight->position.z, -5.0f + 1.2f, 1e-3f);
  EXPECT_EQ(CountSound(kSoundHoming), 1);  // both hum on frame 1: one sound
  EXPECT_EQ(FirstSound(kSoundHoming)->volume, -4000);
}

TEST_F(BattleShots, HomingShotOnItsOwnerCirclesBackAndPassesThroughHitsAndWalls) {
  // Character 3's first large attack fires backwards with itself as target.
  Target owner({0.0f, 1.0f, 0.0f});
  Player3LargeTama1* t = Player3LargeTama1::Spawn(
      {.at = {0.0f, 1.0f, 0.0f}, .heading = 180.0f, .owner = kShooter, .target = &owner});
  float farthest = 0.0f;
  int nearPasses = 0;
  bool wasNear = true;
  for (int f = 1; f <= 400; ++f) {
    t->SetHit(1);
    Step();
    ASSERT_TRUE(t->IsAlive()) << f;
    const float d = std::hypot(t->position.x, t->position.z);
    farthest = std::max(farthest, d);
    const bool isNear = d < 0.5f;
    if (isNear && !wasNear) ++nearPasses;
    wasNear = isNear;
  }
  EXPECT_LT(farthest, 2.0f);  // it never gets away from its owner
  EXPECT_GE(nearPasses, 5);   // and keeps coming back round
  EXPECT_EQ(t->hitState, 1);  // struck every frame and never ends for it
  Step();
  EXPECT_FALSE(t->IsAlive());  // 400 frames

  // Through the north wall: only time ends it.
  Target beyond({0.0f, 1.0f, 60.0f});
  EXPECT_EQ(Player3LargeTama1::Spawn({.at = {0.0f, 0.8f, stagetest::kNorthWallZ - 0.5f},
                                      .heading = 0.0f,
                                      .owner = kShooter,
                                      .target = &beyond}),
            t);
  Step(20);
  EXPECT_GT(t->position.z, stagetest::kNorthWallZ);
  EXPECT_TRUE(t->IsAlive());
}

TEST_F(BattleShots, FlameRisesHarmlessThenBurnsInAColumnAndCrawlsRound) {
  Player3LargeTama2* flame =
      Player3LargeTama2::Spawn({.at = {0.0f, 0.3f, 0.0f}, .heading = 0.0f, .owner = kShooter});
  ASSERT_NE(flame, nullptr);
  ASSERT_EQ(flame->extraPoints.size(), 4u);
  const port::Vec3 under{0.0f, 0.3f, 0.0f};
  for (int f = 1; f <= 29; ++f) {
    Step();
    EXPECT_FALSE(ObjectTouches(*flame, flame->position, 0.6f)) << f;
  }
  Step();  // frame 30: burning
  EXPECT_FLOAT_EQ(flame->GetRadius(), 0.8f);
  for (int i = 0; i < 4; ++i) {
    port::Vec3 atPoint = flame->extraPoints[i];
    EXPECT_NEAR(atPoint.y - flame->position.y, 1.0f + i, 0.11f) << i;  // a column above it
    EXPECT_TRUE(ObjectTouches(*flame, atPoint + port::Vec3{0.0f, 0.0f, 1.3f}, 0.6f)) << i;
  }
  EXPECT_EQ(CountSound(kSoundFlame), 1);  // frame 30
  EXPECT_EQ(FirstSound(kSoundFlame)->volume, 500);
  // 1.5 degrees and 0.1 a frame: a circle of radius 3.8 back to its start.
  Step(210);
  EXPECT_NEAR(flame->rotation.y, 360.0f, 1e-2f);
  EXPECT_NEAR(std::hypot(flame->position.x - under.x, flame->position.z - under.z), 0.0f, 0.3f);
  flame->SetHit(1);
  EXPECT_EQ(FramesUntilDead(flame, 300), 211);  // 450 frames, hits or not
}

TEST_F(BattleShots, FlameSlidesAlongAWallInsteadOfCrossingIt) {
  // Crawling into the north wall at a slant: it must stay inside.
  Player3LargeTama2* flame = Player3LargeTama2::Spawn(
      {.at = {0.0f, 0.3f, stagetest::kNorthWallZ - 1.0f}, .heading = 30.0f, .owner = kShooter});
  float x0 = flame->position.x;
  for (int f = 0; f < 60; ++f) {
    Step();
    ASSERT_LT(flame->position.z, stagetest::kNorthWallZ) << f;
  }
  EXPECT_GT(flame->position.x, x0 + 1.0f);  // it went along the wall
}

// ---- Character 4 ----

TEST_F(BattleShots, MineDropsToTheGroundAndExplodesWhenStruckForItsOwner) {
  Player4LargeTama1* mine =
      Player4LargeTama1::Spawn({.at = {2.0f, 1.0f, 3.0f}, .heading = 30.0f, .owner = kShooter});
  ASSERT_NE(mine, nullptr);
  EXPECT_FLOAT_EQ(mine->position.y, stagetest::kFloorY);
  Step(50);
  EXPECT_TRUE(mine->IsAlive());
  EXPECT_EQ(CountObjects(kObjectPlayer4LargeTama3), 0);
  mine->SetHit(1);
  Step();
  EXPECT_FALSE(mine->IsAlive());
  ASSERT_EQ(CountObjects(kObjectPlayer4LargeTama3), 1);
  const DynamicObject* blast = nullptr;
  for (size_t i = 0; i < g_objects.Size(); ++i) {
    if (g_objects.At(i) && g_objects.At(i)->GetType() == kObjectPlayer4LargeTama3)
      blast = g_objects.At(i);
  }
  EXPECT_EQ(blast->GetOwner(), kShooter);
  EXPECT_EQ(blast->position, mine->position);
  EXPECT_FLOAT_EQ(blast->GetRadius(), 0.5f);
  // It grows by 0.1 each of its 26 updates and strikes all the while.
  const int lived = FramesUntilDead(blast, 40);
  EXPECT_EQ(lived, 26);
  EXPECT_NEAR(blast->GetRadius(), 3.1f, 1e-4f);
}

TEST_F(BattleShots, UntouchedMinePuffsOutAfterThreeHundredFramesWithoutExploding) {
  Player4LargeTama1* mine =
      Player4LargeTama1::Spawn({.at = {0.0f, 1.0f, 0.0f}, .heading = 0.0f, .owner = kShooter});
  EXPECT_EQ(FramesUntilDead(mine, 400), 301);
  Step();
  EXPECT_EQ(CountObjects(kObjectPlayer4LargeTama3, false), 0);
}

TEST_F(BattleShots, CreatureRoamsInsideTheWallsThenShrinksAwayHarmless) {
  // Started heading into the north wall; it must turn off every wall it meets.
  Player4LargeTama2* c = Player4LargeTama2::Spawn(
      {.at = {0.0f, 0.8f, stagetest::kNorthWallZ - 2.5f}, .heading = 0.0f, .owner = kShooter});
  ASSERT_NE(c, nullptr);
  EXPECT_FLOAT_EQ(c->GetRadius(), 1.3f);
  EXPECT_FLOAT_EQ(c->scale, 2.0f);
  for (int f = 1; f <= 450; ++f) {
    Step();
    ASSERT_LT(std::fabs(c->position.x), 40.0f) << f;
    ASSERT_LT(std::fabs(c->position.z), 40.0f) << f;
    ASSERT_FLOAT_EQ(c->GetDamage(), 10.0f);
  }
  EXPECT_EQ(CountSound(kSoundCreature), 1);
  const port::Vec3 stopped = c->position;
  Step();  // frame 451: it stops and shrinks, out of reach of every hit test
  EXPECT_FLOAT_EQ(c->GetDamage(), 0.0f);
  EXPECT_FALSE(ObjectTouches(*c, c->position, 0.6f));
  EXPECT_EQ(c->position.x, stopped.x);
  // Twenty steps of 0.1 in float already take 2.0 below 0: gone on frame 470.
  EXPECT_EQ(FramesUntilDead(c, 40), 19);
}

}  // namespace
