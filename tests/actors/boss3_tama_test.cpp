// Boss 3's bullet on the stage-3 field: a fan of them moving out and
// circling their centre at the heights their pitches give, the pulse, hits that do not end
// it, the burst at 1001, the player it knocks back, and its picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "actors/Boss3Tama.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::StageFixture;

class Boss3TamaTest : public StageFixture {
 protected:
  Boss3TamaTest() { setup.field = stagetest::kStage3Field; }
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    Boss3Tama::Load(device);
  }
  void TearDown() override {
    Boss3Tama::Unload();
    StageFixture::TearDown();
  }
};

float DistanceBetween(const port::Vec3& a, const port::Vec3& b) {
  return static_cast<float>(Distance3(a.x, a.y, a.z, b.x, b.y, b.z));
}

TEST_F(Boss3TamaTest, AFanMovesOutThenCirclesItsCentreAtHeightsSetByPitch) {
  port::CrtSrand(31);
  const port::Vec3 centre{-15, 2.0f, -15};
  // As boss 3 fires them: pitches 0 to -180 across its facing.
  Boss3Tama* fan[5] = {};
  for (int i = 0; i < 5; ++i) {
    fan[i] = Boss3Tama::Spawn({.at = centre, .pitch = -45.0f * i, .heading = 90.0f});
    ASSERT_NE(fan[i], nullptr);
  }
  Step(59);
  for (Boss3Tama* t : fan) {
    EXPECT_NEAR(DistanceBetween(t->position, t->centre), 2.36f, 1e-3f);
    EXPECT_FLOAT_EQ(t->rotation.y, 90.0f);
  }
  float lowest[5], highest[5];
  for (int i = 0; i < 5; ++i) lowest[i] = highest[i] = fan[i]->position.y;
  for (int age = 60; age <= 240; ++age) {
    Step();
    for (int i = 0; i < 5; ++i) {
      Boss3Tama* t = fan[i];
      ASSERT_NEAR(t->rotation.y, 90.0f + 2.0f * (age - 59), 1e-2f);
      ASSERT_NEAR(DistanceBetween(t->position, centre), 2.36f, 1e-3f);
      lowest[i] = std::min(lowest[i], t->position.y);
      highest[i] = std::max(highest[i], t->position.y);
    }
  }
  // Pitch lifts the bullet and yaw turns it about the vertical: each circles
  // level, at a height set by its pitch, the upright one staying above.
  for (int i = 0; i < 5; ++i) {
    const float lift = 2.36f * std::sin(45.0f * i * 0.017453292f);
    EXPECT_NEAR(lowest[i], centre.y + lift, 1e-3f) << "pitch " << -45 * i;
    EXPECT_NEAR(highest[i], centre.y + lift, 1e-3f) << "pitch " << -45 * i;
  }
}

TEST_F(Boss3TamaTest, PulsesHitsFlashAndItBurstsAfter1000Frames) {
  port::CrtSrand(32);
  Boss3Tama* t = Boss3Tama::Spawn({.at = {15, 1.0f, 15}, .heading = 0});
  Boss3Tama* still = Boss3Tama::Spawn({.at = {15, 1.0f, -15}, .mode = kBoss3TamaStill});
  ASSERT_TRUE(t && still);
  float narrowest = 10.0f, widest = 0.0f;
  for (int age = 1; age <= 90; ++age) {
    Step();
    narrowest = std::min(narrowest, t->widthScale);
    widest = std::max(widest, t->widthScale);
  }
  // +0.05 on ages 1-14 of every 30, -0.05 on the others.
  EXPECT_NEAR(narrowest, 0.95f, 1e-3f);
  EXPECT_NEAR(widest, 1.70f, 1e-3f);
  EXPECT_FLOAT_EQ(t->heightScale, 1.0f);
  EXPECT_EQ(still->position, (port::Vec3{15, 1.0f, -15}));

  for (int hit = 1; hit <= 2; ++hit) {
    t->SetHit(1);
    Step();
    EXPECT_EQ(CountSound(kSoundHit), hit);
    EXPECT_EQ(CountNewParticles(kParticleHit), 1);
    EXPECT_EQ(t->hitState, 0);
    EXPECT_TRUE(t->IsAlive());
  }
  EXPECT_EQ(FirstSound(kSoundHit)->volume, -1000);
  Step(1000 - 92);
  EXPECT_TRUE(t->IsAlive());
  Step();
  EXPECT_FALSE(t->IsAlive());
  EXPECT_FALSE(still->IsAlive());
  EXPECT_EQ(CountNewParticles(kParticleSparkShrink), 2 * 30);
}

TEST_F(Boss3TamaTest, KnocksThePlayerBackAndCirclesOn) {
  port::CrtSrand(33);
  // Moving out toward the player standing 2 units east of the centre.
  Boss3Tama* t = Boss3Tama::Spawn({.at = {-2, 1.3f, 0}, .heading = 90.0f});
  ASSERT_NE(t, nullptr);
  ASSERT_GT(StepUntil([&] { return player.mode == kPlayerKnockBack; }, 60), 0);
  EXPECT_NEAR(player.stunGauge, 6.0f, 0.01f);
  EXPECT_EQ(CountSound(kSoundHit), 1);
  Step(2);
  EXPECT_TRUE(t->IsAlive());
}

TEST_F(Boss3TamaTest, IsAPictureFacingTheScreenUnlessTooNearOrMissing) {
  port::CrtSrand(34);
  player.Place(0, 1, -20, 0);
  Step();
  struct PictureCase {
    port::Vec3 at;
    bool drawn;
  };
  // Ahead of the camera it shows; behind the eye it does not.
  for (const PictureCase& c :
       {PictureCase{{1.5f, 2.0f, -14}, true}, PictureCase{{1.5f, 2.0f, -30}, false}}) {
    Boss3Tama* t = Boss3Tama::Spawn({.at = c.at, .mode = kBoss3TamaStill});
    ASSERT_NE(t, nullptr);
    const std::vector<uint32_t> with = DrawFrame();
    t->alive = 0;
    const int changed = CountDiffering(with, DrawFrame());
    if (c.drawn) {
      EXPECT_GT(changed, 100);
    } else {
      EXPECT_EQ(changed, 0);
    }
  }
  Boss3Tama::Unload();
  {
    testsupport::TempDir empty;
    testsupport::ScopedCwd inEmpty(empty.path());
    Boss3Tama::Load(device);
  }
  Boss3Tama* t = Boss3Tama::Spawn({.at = {1.5f, 2.0f, -14}});
  ASSERT_NE(t, nullptr);
  Step();
  EXPECT_GT(t->distance, 0.0f);
  const std::vector<uint32_t> with = DrawFrame();
  t->alive = 0;
  EXPECT_EQ(CountDiffering(with, DrawFrame()), 0);
}

}  // namespace
