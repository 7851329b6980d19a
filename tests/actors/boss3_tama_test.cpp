// Boss 3's bullet on the stage-3 field: a fan moving out and circling its
// centre at the heights the pitches give, the pulse, hits that do not end it,
// the burst at 1001, the player it knocks back, and its picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "actors/Boss3Tama.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage3_fixture.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::Stage3Fixture;

using Boss3TamaTest = Stage3Fixture;

TEST_F(Boss3TamaTest, AFanMovesOutCirclesAtItsHeightsPulsesAndBurstsAfter1000Frames) {
  port::CrtSrand(31);
  const port::Vec3 centre{-15, 2.0f, -15};
  Boss3Tama* fan[5] = {};
  for (int i = 0; i < 5; ++i) {  // as boss 3 fires them: pitches 0 to -180
    fan[i] = Boss3Tama::Spawn({.at = centre, .pitch = -45.0f * i, .heading = 90.0f});
  }
  Boss3Tama* still = Boss3Tama::Spawn({.at = {15, 1, -15}, .mode = kBoss3TamaStill});
  float narrowest = 10.0f, widest = 0.0f;
  for (int age = 1; age <= 240; ++age) {
    Step();
    narrowest = std::min(narrowest, fan[0]->widthScale);
    widest = std::max(widest, fan[0]->widthScale);
    for (int i = 0; i < 5; ++i) {
      const port::Vec3 p = fan[i]->position;
      const float out = static_cast<float>(Distance3(p.x, p.y, p.z, centre.x, centre.y, centre.z));
      ASSERT_NEAR(out, 0.04f * std::min(age, 59), 1e-3f) << age;
      ASSERT_NEAR(fan[i]->rotation.y, 90.0f + 2.0f * std::max(0, age - 59), 1e-2f) << age;
      if (age >= 59) {  // pitch lifts it; yaw turns it about the vertical
        ASSERT_NEAR(p.y, centre.y + 2.36f * std::sin(45.0f * i * 0.017453292f), 1e-3f) << i;
      }
    }
  }
  // +0.05 on ages 1 to 14 of every 30, -0.05 on the others.
  EXPECT_NEAR(narrowest, 0.95f, 1e-3f);
  EXPECT_NEAR(widest, 1.70f, 1e-3f);
  EXPECT_EQ(still->position, (port::Vec3{15, 1, -15}));
  for (int hit = 1; hit <= 2; ++hit) {
    fan[0]->SetHit(1);
    Step();
    EXPECT_EQ(CountSound(kSoundHit), hit);
    EXPECT_EQ(CountNewParticles(kParticleHit), 1);
    EXPECT_EQ(fan[0]->hitState, 0);
  }
  EXPECT_EQ(FirstSound(kSoundHit)->volume, -1000);
  Step(1000 - 242);
  EXPECT_TRUE(fan[0]->IsAlive());
  Step();
  EXPECT_FALSE(fan[0]->IsAlive() || still->IsAlive());
  EXPECT_EQ(CountNewParticles(kParticleSparkShrink), 6 * 30);
}

TEST_F(Boss3TamaTest, KnocksThePlayerBackAndCirclesOn) {
  port::CrtSrand(33);
  // Moving out toward the player 2 units east of its centre.
  Boss3Tama* t = Boss3Tama::Spawn({.at = {-2, 1.3f, 0}, .heading = 90.0f});
  ASSERT_GT(StepUntil([&] { return player.mode == kPlayerKnockBack; }, 60), 0);
  EXPECT_NEAR(player.stunGauge, 6.0f, 0.01f);
  EXPECT_EQ(CountSound(kSoundHit), 1);
  Step(2);
  EXPECT_TRUE(t->IsAlive());
}

TEST_F(Boss3TamaTest, IsAPictureAheadOfTheEyeOnlyAndNoneWithoutItsFile) {
  port::CrtSrand(34);
  player.Place(0, 1, -20, 0);
  Step();
  Boss3Tama* ahead = Boss3Tama::Spawn({.at = {1.5f, 2, -14}, .mode = kBoss3TamaStill});
  Boss3Tama* behind = Boss3Tama::Spawn({.at = {1.5f, 2, -30}, .mode = kBoss3TamaStill});
  EXPECT_GT(PixelsDrawnBy(ahead), 500);
  EXPECT_EQ(PixelsDrawnBy(behind), 0);
  Boss3Tama::Unload();
  WithoutFiles([&] { Boss3Tama::Load(device); });
  EXPECT_EQ(PixelsDrawnBy(ahead), 0);
}

}  // namespace
