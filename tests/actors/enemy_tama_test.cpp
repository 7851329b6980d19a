// The enemy bullet on the small stage: how each kind ends, the ground
// hugging of level bullets only, the player it knocks back, and its drawing.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/EnemyTama.h"
#include "actors/StageSounds.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::StageFixture;

class EnemyTamaTest : public StageFixture {
 protected:
  static EnemyTama* Fire(port::Vec3 at, float heading, float speed, int32_t kind,
                         float pitch = 0.0f) {
    return EnemyTama::SpawnPitched(pitch,
                                   {.at = at, .heading = heading, .speed = speed, .kind = kind});
  }
};

struct EndCase {
  const char* name;
  int32_t kind;
  float z, heading, speed;  // from x = 20, out of the player's way
  int hitBefore;            // the update a player's test marks it before (0: never)
  int endsAt, hitSounds, puffs;
};
constexpr EndCase kEnds[] = {
    {"BallAgesOut", kEnemyTamaBall, -20, 90, 0.05f, 0, 101, 0, 1},
    {"RingAgesOut", kEnemyTamaRing, -20, 90, 0.05f, 0, 101, 0, 1},
    {"UnknownKindAgesOutLikeABall", 7, -20, 90, 0.05f, 0, 101, 0, 1},
    {"ProbeLastsThreeFrames", kEnemyTamaProbe, -20, 90, 0.05f, 0, 3, 0, 0},
    {"BallBurstsBeforeTheNorthWall", kEnemyTamaBall, 30, 0, 0.5f, 0, 19, 0, 1},
    {"RingBurstsBeforeTheNorthWall", kEnemyTamaRing, 30, 0, 0.5f, 0, 19, 0, 1},
    {"ProbeIgnoresTheWall", kEnemyTamaProbe, 39, 0, 0.5f, 0, 3, 0, 0},
    {"HitEndsABall", kEnemyTamaBall, -20, 90, 0.05f, 10, 10, 1, 1},
    {"HitAtTheAgeLimitPuffsTwice", kEnemyTamaBall, -20, 90, 0.05f, 101, 101, 1, 2},
    {"HitEndsAProbe", kEnemyTamaProbe, -20, 90, 0.05f, 2, 2, 1, 1},
};

class EnemyTamaEnds : public EnemyTamaTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EnemyTamaEnds, OnItsFrameWithItsSoundAndPuffs) {
  const EndCase& c = GetParam();
  EnemyTama* t = Fire({20, 0.8f, c.z}, c.heading, c.speed, c.kind);
  ASSERT_NE(t, nullptr);
  for (int f = 1; f <= c.endsAt; ++f) {
    if (f == c.hitBefore) t->SetHit(1);
    Step();
    ASSERT_EQ(t->IsAlive(), f < c.endsAt) << "update " << f;
    if (c.kind != kEnemyTamaProbe) {
      ASSERT_LT(t->position.z, stagetest::kNorthWallZ);
    }
  }
  EXPECT_EQ(CountSound(kSoundHit), c.hitSounds);
  if (c.hitSounds) {
    EXPECT_EQ(FirstSound(kSoundHit)->volume, -1000);
  }
  EXPECT_EQ(CountNewParticles(kParticleHit), c.puffs);
  // Dead, it waits in the list for the next spawn.
  const size_t slots = g_objects.Size();
  EXPECT_EQ(Fire({-20, 0.8f, -20}, 0, 0.1f, kEnemyTamaBall), t);
  EXPECT_EQ(g_objects.Size(), slots);
  EXPECT_TRUE(t->IsAlive() && t->frameCounter == 0 && t->hitState == 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EnemyTamaEnds, ::testing::ValuesIn(kEnds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnemyTamaTest, LevelBulletsSettleOnTheGroundPitchedOnesFlyOnOrBurstOnIt) {
  port::CrtSrand(7);
  EnemyTama* level = Fire({-20, 3.0f, -20}, 90, 0.1f, kEnemyTamaBall);
  EnemyTama* rising = Fire({-20, 3.0f, -10}, 90, 0.1f, kEnemyTamaBall, -2.0f);
  EnemyTama* diving = Fire({-20, 2.0f, -25}, 90, 0.2f, kEnemyTamaRing, 30.0f);
  EnemyTama* astray = Fire({60, 5.0f, 0}, 90, 0.1f, kEnemyTamaBall);  // no ground below
  Step(5);
  EXPECT_NEAR(level->position.y, 2.5f, 1e-4f);  // 0.1 a frame
  Step(40);
  EXPECT_FLOAT_EQ(level->position.y, stagetest::kFloorY + 0.8f);
  EXPECT_NEAR(level->position.x, -15.5f, 1e-3f);
  EXPECT_NEAR(rising->position.y, 3.0f + 4.5f * std::sin(2.0f * 0.017453292f), 1e-3f);
  EXPECT_FLOAT_EQ(astray->position.y, 5.0f);
  // Down at 30 degrees it meets the floor within 1.0 ahead and bursts above it.
  EXPECT_FALSE(diving->IsAlive());
  EXPECT_GT(diving->position.y, stagetest::kFloorY);
}

TEST_F(EnemyTamaTest, KnocksThePlayerBackAwayFromItAndBursts) {
  port::CrtSrand(3);
  EnemyTama* t = Fire({0, 0.8f, 6}, 180, 0.3f, kEnemyTamaBall);
  ASSERT_GT(StepUntil([&] { return !t->IsAlive(); }, 40), 0);
  EXPECT_EQ(player.mode, kPlayerKnockBack);
  EXPECT_FLOAT_EQ(player.moveHeading, 180.0f);
  EXPECT_NEAR(player.stunGauge, 10.0f, 0.01f);
  EXPECT_EQ(CountSound(kSoundHit), 1);
}

TEST_F(EnemyTamaTest, BallsAndRingsAreDrawnProbesAndMissingModelsAreNot) {
  port::CrtSrand(5);
  player.Place(0, 1, -20, 0);
  Step();
  struct DrawCase {
    int32_t kind;
    bool files, drawn;
  };
  for (const DrawCase& c :
       {DrawCase{kEnemyTamaBall, true, true}, DrawCase{kEnemyTamaRing, true, true},
        DrawCase{kEnemyTamaProbe, true, false}, DrawCase{kEnemyTamaBall, false, false},
        DrawCase{kEnemyTamaRing, false, false}}) {
    g_objects.Release();
    if (c.files) {
      g_objects.Init(device);
    } else {
      WithoutFiles([&] { g_objects.Init(device); });
    }
    EnemyTama* t = Fire({1.5f, 2.0f, -14}, 0, 0.1f, c.kind, 0.5f);
    Step();
    EXPECT_NEAR(t->position.z, -13.9f, 1e-3f);  // flying whether drawn or not
    const int pixels = PixelsDrawnBy(t);
    EXPECT_EQ(pixels > 150, c.drawn) << c.kind << " with files " << c.files << ": " << pixels;
  }
}

}  // namespace
