#include <gtest/gtest.h>

#include <cstdint>

#include "port/random.h"
#include "world/EffectList.h"
#include "world/LineEffect.h"
#include "world/ParticleEffect.h"
#include "world/ShockWaveEffect.h"
#include "world/ThunderEffect.h"

namespace {

// Seeds the generator so that its next value is 32767, the value at which
// RandomInt(n) answers n itself.
void SeedForTopValue() {
  const uint32_t a = 214013u, c = 2531011u;
  uint32_t inverse = a;  // Newton iteration for the inverse of a modulo 2^32
  for (int i = 0; i < 5; ++i) inverse *= 2u - a * inverse;
  const uint32_t wanted = 0x7FFF0000u;
  port::CrtSrand((wanted - c) * inverse);
}

class Effects : public ::testing::Test {
 protected:
  void SetUp() override { g_effects.Clear(); }
  void TearDown() override { g_effects.Clear(); }
};

TEST_F(Effects, SpawnReusesAnInactiveEffectOfItsTypeOnly) {
  ParticleEffect* a = ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleSpark});
  ParticleEffect* b = ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleSpark});
  EXPECT_NE(a, b);
  EXPECT_EQ(g_effects.Size(), 2u);
  for (int i = 0; i < 4; ++i) g_effects.UpdateAll();
  EXPECT_FALSE(a->IsActive());
  // A dead particle is not reused for another type.
  ThunderEffect* t = ThunderEffect::Spawn({.at = {0, 0, 0}});
  EXPECT_EQ(g_effects.Size(), 3u);
  EXPECT_EQ(g_effects.At(2), t);
  ParticleEffect* c =
      ParticleEffect::SpawnUnitScale({.at = {1, 2, 3}, .scale = 0.5f, .kind = kParticleGlow});
  EXPECT_EQ(c, a) << "the first inactive particle is initialised again in place";
  EXPECT_EQ(g_effects.Size(), 3u);
  EXPECT_TRUE(c->IsActive());
  EXPECT_EQ(c->age, 0);
  EXPECT_FLOAT_EQ(c->scale, 1.0f);
  EXPECT_EQ(c->position, port::Vec3(1, 2, 3));
}

TEST_F(Effects, ParticleLifetimesFollowTheirKind) {
  ParticleEffect* spark = ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleSpark});
  for (int i = 0; i < 3; ++i) spark->Update();
  EXPECT_TRUE(spark->IsActive()) << "drawn for three frames";
  spark->Update();
  EXPECT_FALSE(spark->IsActive());
  spark->Update();
  EXPECT_EQ(spark->age, 4) << "an inactive effect does not age";

  ParticleEffect* small =
      ParticleEffect::Spawn({.at = {0, 0, 0}, .scale = 0.02f, .kind = kParticleSparkShrink});
  small->Update();
  EXPECT_FALSE(small->IsActive());
  EXPECT_NEAR(small->scale, -0.01f, 1e-6f);

  ParticleEffect* pulse =
      ParticleEffect::Spawn({.at = {0, 0, 0}, .scale = 5.0f, .kind = kParticleStarPulse});
  for (int i = 0; i < 30; ++i) pulse->Update();
  EXPECT_NEAR(pulse->scale, -1.4f, 1e-4f);
  for (int i = 0; i < 29; ++i) pulse->Update();
  EXPECT_TRUE(pulse->IsActive());
  pulse->Update();
  EXPECT_FALSE(pulse->IsActive());
  EXPECT_NEAR(pulse->scale, 0.1f, 1e-4f);

  ParticleEffect* dust =
      ParticleEffect::Spawn({.at = {0, 0, 0}, .scale = 1.15f, .kind = kParticleDust});
  dust->Update();
  EXPECT_TRUE(dust->IsActive());
  dust->Update();
  EXPECT_FALSE(dust->IsActive()) << "scale 0.95 fell below 1.0";

  ParticleEffect* star = ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleStar});
  const float spin = star->spin;
  EXPECT_GE(spin, 0.0f);
  EXPECT_LE(spin, 360.0f);
  star->Update();
  EXPECT_FLOAT_EQ(star->spin, spin + 3.0f);

  for (int kind : {int{kParticleGlow}, int{kParticleNone}, int{kParticleSmoke}, 55}) {
    ParticleEffect* p = ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kind});
    for (int i = 0; i < 20; ++i) p->Update();
    EXPECT_TRUE(p->IsActive()) << kind;
    p->Update();
    EXPECT_FALSE(p->IsActive()) << kind;
  }
}

TEST_F(Effects, ParticlesAndLinesMoveAlongTheirAnglesAlsoOnTheLastUpdate) {
  ParticleEffect* p =
      ParticleEffect::Spawn({.at = {0, 0, 0}, .yaw = 90.0f, .speed = 0.5f, .kind = kParticleSpark});
  EXPECT_NEAR(p->direction.x, 1.0f, 1e-5f);  // yaw 90 is +x
  for (int i = 0; i < 4; ++i) p->Update();
  EXPECT_FALSE(p->IsActive());
  EXPECT_NEAR(p->position.x, 2.0f, 1e-5f);

  LineEffect* line = LineEffect::Spawn({.at = {0, 0, 0}, .pitch = 90.0f, .speed = 1.0f});
  EXPECT_NEAR(line->direction.y, -1.0f, 1e-5f);  // positive pitch turns +z down
  for (int i = 0; i < 10; ++i) line->Update();
  EXPECT_TRUE(line->IsActive());
  line->Update();
  EXPECT_FALSE(line->IsActive());
  EXPECT_NEAR(line->position.y, -11.0f, 1e-4f);
}

TEST_F(Effects, ThunderFlipsItsPictureEveryOtherFrame) {
  ThunderEffect* t = ThunderEffect::Spawn({.at = {0, 0, 0}});
  t->picture = 3;
  t->Update();
  EXPECT_EQ(t->picture, 3);
  t->Update();
  EXPECT_EQ(t->picture, 0);
  for (int i = 2; i < 15; ++i) t->Update();
  EXPECT_TRUE(t->IsActive());
  t->Update();
  EXPECT_FALSE(t->IsActive());
}

TEST_F(Effects, ThunderPictureStaysInTheAtlasAtTheTopRandomValue) {
  SeedForTopValue();
  ThunderEffect* t = ThunderEffect::Spawn({.at = {0, 0, 0}});
  EXPECT_GE(t->picture, 0);
  EXPECT_LE(t->picture, 3);
}

TEST_F(Effects, ShockWaveGrowsOnTheSpot) {
  ShockWaveEffect* s = ShockWaveEffect::Spawn({.at = {1, 2, 3}});
  EXPECT_FLOAT_EQ(s->size, 0.0f);
  for (int i = 1; i <= 15; ++i) {
    s->Update();
    EXPECT_NEAR(s->size, 1.3f * i, 1e-4f);
    EXPECT_TRUE(s->IsActive());
  }
  EXPECT_NEAR(s->size, 19.5f, 1e-4f);
  s->Update();
  EXPECT_FALSE(s->IsActive());
  EXPECT_EQ(s->position, port::Vec3(1, 2, 3));
}

TEST_F(Effects, SpawningInactiveLeavesTheEffectWaiting) {
  ShockWaveEffect* s = ShockWaveEffect::Spawn({.at = {0, 0, 0}, .active = 0});
  s->Update();
  EXPECT_EQ(s->age, 0);
  EXPECT_EQ(ShockWaveEffect::Spawn({.at = {0, 0, 0}}), s);
}

}  // namespace
