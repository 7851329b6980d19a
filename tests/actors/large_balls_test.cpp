// The launchers and the big balls on the stage-3 field: the four launchers
// round the arena's centre charging and firing at 95, the balls' paths
// (straight, curving in pairs), ground and ends, the player they knock back,
// and their drawing.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/BallLauncher.h"
#include "actors/LargeBalls.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage3_fixture.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::Stage3Fixture;

using LargeBallsTest = Stage3Fixture;

TEST_F(LargeBallsTest, LaunchersChargeNeverHitAndFireOnTheirNinetyFifthFrame) {
  port::CrtSrand(21);
  struct Place {
    port::Vec3 at;
    float heading;
  };
  const Place places[] = {{{5.3f, 1.2f, 0}, 90},
                          {{-5.3f, 1.2f, 0}, 270},
                          {{0, 1.2f, 5.3f}, 0},
                          {{0, 1.2f, -5.3f}, 180}};
  BallLauncher* first = nullptr;
  for (const Place& p : places) {
    BallLauncher* l = BallLauncher::Spawn({.at = p.at, .heading = p.heading, .owner = kOwnerEnemy});
    if (!first) first = l;
  }
  player.Place(5.3f, 1, 0, 0);  // standing in a launcher
  for (int age = 1; age <= 94; ++age) {
    Step();
    ASSERT_EQ(CountNewParticles(kParticleDustSlow), age % 3 == 0 && age < 90 ? 4 : 0) << age;
    ASSERT_EQ(CountNewParticles(kParticleCharge), age % 2 == 0 && age < 90 ? 4 : 0) << age;
  }
  EXPECT_EQ(player.mode, kPlayerControl);
  EXPECT_EQ(CountObjects(kObjectLargeBall1), 0);
  EXPECT_EQ(FirstSound(kSoundLauncher)->frame, 1);
  player.Place(-20, 1, -20, 0);
  Step();
  EXPECT_EQ(CountObjects(kObjectBallLauncher), 0);
  EXPECT_EQ(FirstSound(kSoundLaunch)->frame, 95);
  EXPECT_EQ(CountObjects(kObjectLargeBall1), 4);
  Step();
  // Each rolls from its launcher along the launcher's heading at 0.5.
  for (const Place& p : places) {
    const port::Vec3 want = p.at + DirectionFromAngles(0.0f, p.heading, 0.0f) * 0.5f;
    int found = 0;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* b = dynamic_cast<LargeBall1*>(g_objects.At(i));
      if (!b || std::fabs(b->position.x - want.x) + std::fabs(b->position.z - want.z) > 1e-4f) {
        continue;
      }
      ++found;
      EXPECT_EQ(b->rotation.y, p.heading);
      EXPECT_FLOAT_EQ(b->GetDamage(), 20.0f);
    }
    EXPECT_EQ(found, 1) << p.heading;
  }
  // A spent launcher is taken again by the next spawn.
  const size_t slots = g_objects.Size();
  EXPECT_EQ(BallLauncher::Spawn({.at = {0, 1.2f, 0}, .heading = 0, .owner = kOwnerEnemy}), first);
  EXPECT_EQ(g_objects.Size(), slots);
}

TEST_F(LargeBallsTest, BallsRollStraightOrCurveInPairsThroughWallsAndEndAfter150Frames) {
  port::CrtSrand(23);
  player.Place(-20, 1, 20, 0);
  const port::Vec3 from{0, 1.2f, -30};
  LargeBall1* straight = LargeBall1::Spawn({.at = {10, 1.2f, -30}, .speed = 0.5f, .damage = 20});
  LargeBall2* right = LargeBall2::Spawn({.at = from, .speed = 0.35f, .damage = 15}, 0);
  LargeBall2* left = LargeBall2::Spawn({.at = from, .speed = 0.35f, .damage = 15}, 1);
  Step(4);
  EXPECT_FLOAT_EQ(straight->position.y, stagetest::kFloorY + 0.8f);  // 0.1 a frame from 1.2
  int trail = 0;
  for (int age = 5; age <= 89; ++age) {
    Step();
    trail += CountNewParticles(kParticleGlowShrink);
  }
  EXPECT_EQ(trail, 2 * 42);                      // both, on every even age
  EXPECT_NEAR(right->rotation.y, 88.5f, 1e-3f);  // turned until age 59
  EXPECT_NEAR(left->rotation.y, -88.5f, 1e-3f);
  EXPECT_NEAR(right->position.x - from.x, from.x - left->position.x, 1e-3f);
  EXPECT_NEAR(right->position.z, left->position.z, 1e-3f);
  EXPECT_NEAR(straight->position.z, -30.0f + 89 * 0.5f, 1e-3f);
  EXPECT_NEAR(straight->rotation.z, 89 * 12.0f, 0.05f);  // it rolls
  Step(150 - 89);
  EXPECT_TRUE(straight->IsAlive() && right->IsAlive() && left->IsAlive());
  EXPECT_GT(straight->position.z, stagetest::kNorthWallZ);  // beyond, no ground: height kept
  EXPECT_FLOAT_EQ(straight->position.y, stagetest::kFloorY + 0.8f);
  Step();
  EXPECT_FALSE(straight->IsAlive() || right->IsAlive() || left->IsAlive());
  EXPECT_EQ(CountNewParticles(kParticleHit), 3);
  EXPECT_EQ(CountSound(kSoundHit), 0);
}

TEST_F(LargeBallsTest, BallsKnockThePlayerBackAreDrawnAndWithoutModelsRollUndrawn) {
  port::CrtSrand(24);
  for (bool curving : {false, true}) {
    player.Place(0, 1, 0, 0);
    Step(2);
    const LargeBallSpawn at{.at = {0, 0.8f, 8}, .heading = 180, .speed = 0.5f, .damage = 17};
    PlayerShot* ball = curving ? static_cast<PlayerShot*>(LargeBall2::Spawn(at, 1))
                               : static_cast<PlayerShot*>(LargeBall1::Spawn(at));
    ClearSounds();
    ASSERT_GT(StepUntil([&] { return !ball->IsAlive(); }, 40), 0);
    EXPECT_EQ(player.mode, kPlayerKnockBack);
    EXPECT_NEAR(player.stunGauge, 17.0f, 0.01f);
    EXPECT_EQ(FirstSound(kSoundHit)->volume, 0);
    EXPECT_EQ(CountNewParticles(kParticleHit), 1);
  }
  player.Place(0, 1, -30, 0);
  for (bool files : {true, false}) {
    g_objects.Release();
    if (files) {
      g_objects.Init(device);
    } else {
      WithoutFiles([&] { g_objects.Init(device); });
    }
    LargeBall1* one = LargeBall1::Spawn({.at = {-3, 0.8f, -18}, .heading = 90, .speed = 0.1f});
    LargeBall2* two = LargeBall2::Spawn({.at = {3, 0.8f, -18}, .heading = 270, .speed = 0.1f}, 0);
    Step();
    EXPECT_NEAR(one->position.x, -2.9f, 1e-4f);
    EXPECT_EQ(PixelsDrawnBy(one) > 3000, files);
    EXPECT_EQ(PixelsDrawnBy(two) > 3000, files);
  }
}

}  // namespace
