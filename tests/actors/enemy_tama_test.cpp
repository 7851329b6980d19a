// The enemy bullet on the small stage: how each kind ends (hit, age, wall),
// how a level bullet settles on the ground and a pitched one does not, the
// player knocked back by it, and what is drawn.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/EnemyTama.h"
#include "actors/StageSounds.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::StageFixture;

class EnemyTamaTest : public StageFixture {
 protected:
  EnemyTama* Fire(port::Vec3 at, float heading, float speed, int32_t kind, float pitch = 0.0f) {
    return EnemyTama::SpawnPitched(
        pitch, {.at = at, .heading = heading, .speed = speed, .damage = 10.0f, .kind = kind});
  }
};

struct EndCase {
  const char* name;
  int32_t kind;
  port::Vec3 at;
  float heading, speed;
  int hitBefore;  // the update before which a player's test marks it (0: never)
  int endsAt;     // the update after which it is dead
  int hitSounds;
  int puffs;  // hit puffs alive right after the end
};

// The player stands at the origin, out of every bullet's way.
constexpr EndCase kEnds[] = {
    {"BallAgesOut", kEnemyTamaBall, {20, 0.8f, -20}, 90, 0.05f, 0, 101, 0, 1},
    {"RingAgesOut", kEnemyTamaRing, {20, 0.8f, -20}, 90, 0.05f, 0, 101, 0, 1},
    {"UnknownKindAgesOutLikeABall", 7, {20, 0.8f, -20}, 90, 0.05f, 0, 101, 0, 1},
    {"ProbeLastsThreeFrames", kEnemyTamaProbe, {20, 0.8f, -20}, 90, 0.05f, 0, 3, 0, 0},
    // The north wall is at z = 40: within 1.0 ahead once z passes 39.
    {"BallBurstsBeforeTheWall", kEnemyTamaBall, {20, 0.8f, 30}, 0, 0.5f, 0, 19, 0, 1},
    {"RingBurstsBeforeTheWall", kEnemyTamaRing, {20, 0.8f, 30}, 0, 0.5f, 0, 19, 0, 1},
    {"ProbeIgnoresTheWall", kEnemyTamaProbe, {20, 0.8f, 39}, 0, 0.5f, 0, 3, 0, 0},
    {"HitEndsABall", kEnemyTamaBall, {20, 0.8f, -20}, 90, 0.05f, 10, 10, 1, 1},
    // The update goes on after the hit: one sound, a puff for each end.
    {"HitAtTheAgeLimitPuffsTwice", kEnemyTamaBall, {20, 0.8f, -20}, 90, 0.05f, 101, 101, 1, 2},
    {"HitEndsAProbe", kEnemyTamaProbe, {20, 0.8f, -20}, 90, 0.05f, 2, 2, 1, 1},
};

class EnemyTamaEnds : public EnemyTamaTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EnemyTamaEnds, EndsOnItsFrameWithItsSoundAndPuffs) {
  const EndCase& c = GetParam();
  EnemyTama* t = Fire(c.at, c.heading, c.speed, c.kind);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetOwner(), kOwnerEnemy);
  for (int f = 1; f <= c.endsAt; ++f) {
    if (f == c.hitBefore) t->SetHit(1);
    Step();
    ASSERT_EQ(t->IsAlive(), f < c.endsAt) << "update " << f;
    if (c.kind != kEnemyTamaProbe) {
      EXPECT_LT(t->position.z, stagetest::kNorthWallZ);
    }
  }
  EXPECT_EQ(CountSound(kSoundHit), c.hitSounds);
  if (const stagetest::SoundEvent* s = FirstSound(kSoundHit)) {
    EXPECT_EQ(s->volume, -1000);
  }
  EXPECT_EQ(CountParticles(kParticleHit), c.puffs);
  // Dead, it stays in the list for the next spawn to take.
  const size_t slots = g_objects.Size();
  EXPECT_EQ(Fire({-20, 0.8f, -20}, 0, 0.1f, kEnemyTamaBall), t);
  EXPECT_EQ(g_objects.Size(), slots);
  EXPECT_TRUE(t->IsAlive());
  EXPECT_EQ(t->frameCounter, 0);
  EXPECT_EQ(t->hitState, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EnemyTamaEnds, ::testing::ValuesIn(kEnds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnemyTamaTest, LevelBulletsSettleOnTheGroundAndPitchedOnesDoNot) {
  port::CrtSrand(7);
  EnemyTama* level = Fire({-20, 3.0f, -20}, 90, 0.1f, kEnemyTamaBall);
  EnemyTama* rising = Fire({-20, 3.0f, -10}, 90, 0.1f, kEnemyTamaBall, -2.0f);
  EnemyTama* diving = Fire({-20, 2.0f, -25}, 90, 0.2f, kEnemyTamaRing, 30.0f);
  // Beyond the east wall no ground lies below: the height stays.
  EnemyTama* astray = Fire({60, 5.0f, 0}, 90, 0.1f, kEnemyTamaBall);
  ASSERT_TRUE(level && rising && diving && astray);
  Step(5);
  EXPECT_NEAR(level->position.y, 2.5f, 1e-4f);  // 0.1 a frame
  EXPECT_FLOAT_EQ(astray->position.y, 5.0f);
  Step(20);
  EXPECT_FLOAT_EQ(level->position.y, stagetest::kFloorY + 0.8f);
  const float startRising = 3.0f + 25 * 0.1f * std::sin(2.0f * 0.017453292f);
  EXPECT_NEAR(rising->position.y, startRising, 1e-3f);
  // Pointed down at 30 degrees it meets the floor within 1.0 of its flight
  // and bursts above it.
  EXPECT_FALSE(diving->IsAlive());
  EXPECT_GT(diving->position.y, stagetest::kFloorY);
  EXPECT_LT(diving->position.y, 0.5f + 1e-4f);
  Step(20);
  EXPECT_FLOAT_EQ(level->position.y, stagetest::kFloorY + 0.8f);
  EXPECT_FLOAT_EQ(astray->position.y, 5.0f);
  EXPECT_NEAR(level->position.x, -20.0f + 45 * 0.1f, 1e-3f);
}

TEST_F(EnemyTamaTest, KnocksThePlayerBackAndBursts) {
  port::CrtSrand(3);
  EnemyTama* t = Fire({0, 0.8f, 6}, 180, 0.3f, kEnemyTamaBall);
  ASSERT_NE(t, nullptr);
  const int took = StepUntil([&] { return !t->IsAlive(); }, 40);
  ASSERT_GT(took, 0);
  EXPECT_EQ(player.mode, kPlayerKnockBack);
  EXPECT_FLOAT_EQ(player.moveHeading, 180.0f);  // away from the bullet
  EXPECT_NEAR(player.stunGauge, 10.0f, 0.01f);
  EXPECT_EQ(CountSound(kSoundHit), 1);
  const float z = player.position.z;
  Step(10);
  EXPECT_LT(player.position.z, z);
}

TEST_F(EnemyTamaTest, BallsAndRingsAreDrawnAndProbesAreNot) {
  port::CrtSrand(5);
  player.Place(0, 1, -20, 0);  // looking north over the open floor
  Step();
  struct DrawCase {
    int32_t kind;
    bool drawn;
  };
  for (const DrawCase& c : {DrawCase{kEnemyTamaBall, true}, DrawCase{kEnemyTamaRing, true},
                            DrawCase{kEnemyTamaProbe, false}}) {
    EnemyTama* t = Fire({1.5f, 2.0f, -14}, 0, 0.0f, c.kind, 0.5f);
    ASSERT_NE(t, nullptr);
    t->frameCounter = 1;
    const std::vector<uint32_t> with = DrawFrame();
    t->alive = 0;
    const std::vector<uint32_t> without = DrawFrame();
    const int changed = CountDiffering(with, without);
    if (c.drawn) {
      EXPECT_GT(changed, 150) << "kind " << c.kind;
    } else {
      EXPECT_EQ(changed, 0) << "kind " << c.kind;
    }
  }
}

TEST_F(EnemyTamaTest, MissingFilesLeaveBulletsFlyingUndrawn) {
  port::CrtSrand(9);
  player.Place(0, 1, -20, 0);
  g_objects.Release();
  {
    testsupport::TempDir empty;
    testsupport::ScopedCwd inEmpty(empty.path());
    g_objects.Init(device);
  }
  EnemyTama* ball = Fire({1.5f, 2.0f, -14}, 0, 0.0f, kEnemyTamaBall, 0.5f);
  EnemyTama* ring = Fire({-1.5f, 2.0f, -14}, 0, 0.0f, kEnemyTamaRing, 0.5f);
  EnemyTama* mover = Fire({20, 0.8f, -20}, 90, 0.5f, kEnemyTamaRing);
  ASSERT_TRUE(ball && ring && mover);
  Step(3);
  EXPECT_NEAR(mover->position.x, 21.5f, 1e-4f);
  const std::vector<uint32_t> with = DrawFrame();
  ball->alive = ring->alive = mover->alive = 0;
  EXPECT_EQ(CountDiffering(with, DrawFrame()), 0);
  // Loaded again where the files are, they draw.
  g_objects.Release();
  g_objects.Init(device);
  EnemyTama* again = Fire({1.5f, 2.0f, -14}, 0, 0.0f, kEnemyTamaBall, 0.5f);
  ASSERT_NE(again, nullptr);
  const std::vector<uint32_t> drawn = DrawFrame();
  again->alive = 0;
  EXPECT_GT(CountDiffering(drawn, DrawFrame()), 150);
}

}  // namespace
