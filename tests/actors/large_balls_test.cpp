// The launchers and the big balls on the stage-3 field: the launchers round
// the arena's centre charging and firing at 95, the balls' paths (straight,
// curving in pairs), their ground following and their ends (a hit, age 151),
// the player they knock back, and what is drawn.
#include <gtest/gtest.h>

#include "actors/BallLauncher.h"
#include "actors/LargeBalls.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::StageFixture;

class LargeBallsTest : public StageFixture {
 protected:
  LargeBallsTest() { setup.field = stagetest::kStage3Field; }
};

// Where the stage-3 scene places its launchers, by pairs.
struct LauncherPlace {
  port::Vec3 at;
  float heading;
};
constexpr LauncherPlace kLaunchers[] = {
    {{5.3f, 1.2f, 0}, 90}, {{-5.3f, 1.2f, 0}, 270}, {{0, 1.2f, 5.3f}, 0}, {{0, 1.2f, -5.3f}, 180}};

TEST_F(LargeBallsTest, LaunchersChargeForNinetyFramesAndFireOnTheNinetyFifth) {
  port::CrtSrand(21);
  player.Place(-20, 1, -20, 0);  // out of every ball's way
  BallLauncher* launchers[4] = {};
  for (int i = 0; i < 4; ++i) {
    launchers[i] = BallLauncher::Spawn(kLaunchers[i].at, kLaunchers[i].heading, kOwnerEnemy);
    ASSERT_NE(launchers[i], nullptr);
  }
  int sparks = 0, glows = 0;
  for (int age = 1; age <= 94; ++age) {
    Step();
    const int newSparks = CountNewParticles(kParticleDustSlow);
    const int newGlows = CountNewParticles(kParticleCharge);
    EXPECT_EQ(newSparks, age % 3 == 0 && age < 90 ? 4 : 0) << "age " << age;
    EXPECT_EQ(newGlows, age % 2 == 0 && age < 90 ? 4 : 0) << "age " << age;
    sparks += newSparks;
    glows += newGlows;
  }
  EXPECT_EQ(sparks, 4 * 29);
  EXPECT_EQ(glows, 4 * 44);
  EXPECT_EQ(CountObjects(kObjectBallLauncher), 4);
  EXPECT_EQ(CountObjects(kObjectLargeBall1), 0);
  ASSERT_NE(FirstSound(kSoundLauncher), nullptr);
  EXPECT_EQ(FirstSound(kSoundLauncher)->frame, 1);
  EXPECT_EQ(FirstSound(kSoundLaunch), nullptr);

  Step();
  EXPECT_EQ(CountObjects(kObjectBallLauncher), 0);
  ASSERT_NE(FirstSound(kSoundLaunch), nullptr);
  EXPECT_EQ(FirstSound(kSoundLaunch)->frame, 95);
  // Each ball leaves from its launcher along the launcher's heading.
  LargeBall1* balls[4] = {};
  for (size_t i = 0; i < g_objects.Size(); ++i) {
    auto* b = dynamic_cast<LargeBall1*>(g_objects.At(i));
    if (!b || !b->IsAlive()) continue;
    for (int k = 0; k < 4; ++k) {
      if (b->position == kLaunchers[k].at) balls[k] = b;
    }
  }
  Step();
  for (int k = 0; k < 4; ++k) {
    ASSERT_NE(balls[k], nullptr) << k;
    EXPECT_EQ(balls[k]->rotation.y, kLaunchers[k].heading);
    EXPECT_FLOAT_EQ(balls[k]->speed, 0.5f);
    EXPECT_FLOAT_EQ(balls[k]->GetDamage(), 20.0f);
    EXPECT_EQ(balls[k]->GetOwner(), kOwnerEnemy);
    const port::Vec3 d = DirectionFromAngles(0.0f, kLaunchers[k].heading, 0.0f);
    EXPECT_NEAR(balls[k]->position.x, kLaunchers[k].at.x + d.x * 0.5f, 1e-4f);
    EXPECT_NEAR(balls[k]->position.z, kLaunchers[k].at.z + d.z * 0.5f, 1e-4f);
  }
  // The next spawn takes a spent launcher again.
  const size_t slots = g_objects.Size();
  EXPECT_EQ(BallLauncher::Spawn({0, 1.2f, 0}, 0, kOwnerEnemy), launchers[0]);
  EXPECT_EQ(g_objects.Size(), slots);
}

TEST_F(LargeBallsTest, LaunchersNeverCollide) {
  port::CrtSrand(22);
  BallLauncher* l = BallLauncher::Spawn({0, 1.2f, 0}, 90, kOwnerEnemy);
  ASSERT_NE(l, nullptr);
  EXPECT_LT(l->GetRadius(), 0.0f);
  Step(60);  // the player stands on it
  EXPECT_EQ(player.mode, kPlayerControl);
  EXPECT_EQ(l->hitState, 0);
}

TEST_F(LargeBallsTest, BallsRollStraightOrCurveInPairsAndEndAfter150Frames) {
  port::CrtSrand(23);
  player.Place(-20, 1, 20, 0);
  const port::Vec3 from{0, 1.2f, -30};
  LargeBall1* straight =
      LargeBall1::Spawn({.at = {10, 1.2f, -30}, .heading = 0, .speed = 0.5f, .damage = 20.0f});
  LargeBall2* right =
      LargeBall2::Spawn({.at = from, .heading = 0, .speed = 0.35f, .damage = 15}, 0);
  LargeBall2* left = LargeBall2::Spawn({.at = from, .heading = 0, .speed = 0.35f, .damage = 15}, 1);
  ASSERT_TRUE(straight && right && left);
  Step(4);
  // Settled on the ground from 1.2 at 0.1 a frame.
  EXPECT_FLOAT_EQ(straight->position.y, stagetest::kFloorY + 0.8f);
  EXPECT_FLOAT_EQ(right->position.y, stagetest::kFloorY + 0.8f);
  int trail = 0;
  for (int age = 5; age <= 59; ++age) {
    Step();
    trail += CountNewParticles(kParticleGlowShrink);
  }
  EXPECT_EQ(trail, 2 * 27);  // both, on every even age
  EXPECT_NEAR(right->rotation.y, 88.5f, 1e-3f);
  EXPECT_NEAR(left->rotation.y, -88.5f, 1e-3f);
  // Mirror images of each other about the line they left along.
  EXPECT_NEAR(right->position.x - from.x, from.x - left->position.x, 1e-3f);
  EXPECT_NEAR(right->position.z, left->position.z, 1e-3f);
  Step(30);
  EXPECT_NEAR(right->rotation.y, 88.5f, 1e-3f);
  EXPECT_NEAR(left->rotation.y, -88.5f, 1e-3f);
  EXPECT_NEAR(straight->position.x, 10.0f, 1e-4f);
  EXPECT_NEAR(straight->position.z, -30.0f + 89 * 0.5f, 1e-3f);
  EXPECT_NEAR(straight->rotation.z, 89 * 12.0f, 0.05f);  // it rolls
  // Walls do not stop them: the straight one rolls on through the north wall
  // and keeps its height where no ground lies below.
  Step(150 - 89);
  EXPECT_TRUE(straight->IsAlive() && right->IsAlive() && left->IsAlive());
  EXPECT_GT(straight->position.z, stagetest::kNorthWallZ);
  EXPECT_FLOAT_EQ(straight->position.y, stagetest::kFloorY + 0.8f);
  Step();
  EXPECT_FALSE(straight->IsAlive() || right->IsAlive() || left->IsAlive());
  EXPECT_EQ(CountNewParticles(kParticleHit), 3);
  EXPECT_EQ(CountSound(kSoundHit), 0);
}

TEST_F(LargeBallsTest, ABallKnocksThePlayerBackAndBursts) {
  port::CrtSrand(24);
  struct HitCase {
    bool curving;
    float damage;
    float stun;
  };
  for (const HitCase& c : {HitCase{false, 20.0f, 20.0f}, HitCase{true, 15.0f, 15.0f}}) {
    player.Place(0, 1, 0, 0);
    Step(2);
    const LargeBallSpawn at{.at = {0, 0.8f, 8}, .heading = 180, .speed = 0.5f, .damage = c.damage};
    PlayerShot* ball = c.curving ? static_cast<PlayerShot*>(LargeBall2::Spawn(at, 1))
                                 : static_cast<PlayerShot*>(LargeBall1::Spawn(at));
    ASSERT_NE(ball, nullptr);
    ClearSounds();
    ASSERT_GT(StepUntil([&] { return !ball->IsAlive(); }, 40), 0);
    EXPECT_EQ(player.mode, kPlayerKnockBack);
    EXPECT_NEAR(player.stunGauge, c.stun, 0.01f);
    ASSERT_EQ(CountSound(kSoundHit), 1);
    EXPECT_EQ(FirstSound(kSoundHit)->volume, 0);
    EXPECT_EQ(CountNewParticles(kParticleHit), 1);
  }
}

TEST_F(LargeBallsTest, BallsAreDrawnAndWithoutTheirModelsRollUndrawn) {
  port::CrtSrand(25);
  player.Place(0, 1, -30, 0);
  Step();
  LargeBall1* one = LargeBall1::Spawn({.at = {-3, 0.8f, -18}, .heading = 90, .damage = 20});
  LargeBall2* two = LargeBall2::Spawn({.at = {3, 0.8f, -18}, .heading = 270, .damage = 15}, 0);
  ASSERT_TRUE(one && two);
  for (PlayerShot* b : {static_cast<PlayerShot*>(one), static_cast<PlayerShot*>(two)}) {
    const std::vector<uint32_t> with = DrawFrame();
    b->alive = 0;
    EXPECT_GT(CountDiffering(with, DrawFrame()), 3000);
    b->alive = 1;
  }
  g_objects.Release();
  {
    testsupport::TempDir empty;
    testsupport::ScopedCwd inEmpty(empty.path());
    g_objects.Init(device);
  }
  one = LargeBall1::Spawn({.at = {-3, 0.8f, -18}, .heading = 90, .speed = 0.1f, .damage = 20});
  two = LargeBall2::Spawn({.at = {3, 0.8f, -18}, .heading = 270, .speed = 0.1f, .damage = 15}, 0);
  ASSERT_TRUE(one && two);
  Step();
  EXPECT_NEAR(one->position.x, -2.9f, 1e-4f);
  const std::vector<uint32_t> with = DrawFrame();
  one->alive = two->alive = 0;
  EXPECT_EQ(CountDiffering(with, DrawFrame()), 0);
}

}  // namespace
