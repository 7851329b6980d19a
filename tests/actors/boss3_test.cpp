// Boss 3 on the small stage: the launchers it drops at the four places
// round the centre, the run that keeps to the middle, the stand, the
// armoured fan of glowing bullets, the chain of markers with its charge, the
// levy with its props, the damage, and the defeat that staggers it back.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "actors/BallLauncher.h"
#include "actors/Boss3.h"
#include "actors/Boss3Tama.h"
#include "actors/Marker3D.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::EnemyObject;
using stagetest::StageFixture;

class Boss3Test : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Boss3>();
  }
  // Past its entrance at (x, z) facing `heading`, with no invulnerability
  // left, in `state` (not yet run); the field cleared of what it dropped.
  Boss3* Ready(int32_t state, float x = 0.0f, float z = 12.0f, float heading = 180.0f) {
    Boss3* boss = Boss3::Spawn({.at = {x, stagetest::kStandY, z}, .heading = heading});
    if (!boss) return nullptr;
    Step(2);
    g_objects.Clear();
    boss->lifeFrames = 300;
    boss->position = boss->previousPosition = {x, stagetest::kStandY, z};
    boss->angle.y = boss->moveHeading = boss->targetHeading = heading;
    boss->guard = 0;
    boss->invulnerableFrames = -1;
    boss->SetState(state);
    return boss;
  }
  template <typename T>
  std::vector<T*> Alive() const {
    std::vector<T*> out;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* o = dynamic_cast<T*>(g_objects.At(i));
      if (o && o->IsAlive()) out.push_back(o);
    }
    return out;
  }
  EnemyObject* ShotAt(const Boss3& boss) {
    EnemyObject* o = AddEnemyObject(boss.position, 0.3f, 10.0f);
    o->owner = kOwnerPlayer;
    o->type = kObjectTama;
    return o;
  }
};

TEST_F(Boss3Test, LaunchersDropAtTheFourPlacesRoundTheCentreFacingOut) {
  struct Case {
    int direction;
    bool dropped;
    port::Vec3 at;
    float heading;
  };
  const Case cases[] = {{0, true, {5.3f, 1.2f, 0.0f}, 90.0f},
                        {1, true, {-5.3f, 1.2f, 0.0f}, 270.0f},
                        {2, true, {0.0f, 1.2f, 5.3f}, 0.0f},
                        {3, true, {0.0f, 1.2f, -5.3f}, 180.0f},
                        {4, false, {}, 0.0f},
                        {-1, false, {}, 0.0f},
                        {1000, false, {}, 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.direction);
    g_objects.Clear();
    Boss3::DropLauncher(c.direction);
    const std::vector<BallLauncher*> launchers = Alive<BallLauncher>();
    ASSERT_EQ(launchers.size(), c.dropped ? 1u : 0u);
    if (!c.dropped) continue;
    EXPECT_EQ(launchers[0]->position, c.at);
    EXPECT_FLOAT_EQ(launchers[0]->rotation.y, c.heading);
    EXPECT_EQ(launchers[0]->GetOwner(), kOwnerEnemy);
  }
}

TEST_F(Boss3Test, ThinkingItRunsWithTheTwistTurnsBackToTheMiddleAndDropsALauncherEvery80) {
  // 25 out from the centre, running away from it.
  Boss3* boss = Ready(kBoss3Think, 25.0f, 0.0f, 90.0f);
  ASSERT_NE(boss, nullptr);
  Step();
  EXPECT_EQ(boss->twist, 1);
  EXPECT_EQ(boss->leftProp, 0);
  EXPECT_EQ(boss->rightProp, 0);
  EXPECT_EQ(boss->animId, kAnimRun);
  EXPECT_FLOAT_EQ(boss->speed, 0.3f);
  EXPECT_EQ(CountNewParticles(kParticleSmoke), 0) << "dust on even frames";
  Step();
  EXPECT_EQ(CountNewParticles(kParticleSmoke), 1);
  // Both turns of a frame go toward the centre, 6 degrees, unless a new
  // target comes up: within 20 frames it has turned most of the way round.
  Step(18);
  ASSERT_EQ(boss->state, kBoss3Think);
  EXPECT_LT(AngleDistance(boss->angle.y, 270.0f), 100.0f);
  const float widest = boss->position.x;
  Step(20);
  if (boss->state == kBoss3Think) {
    EXPECT_LT(boss->position.x, widest);
  }

  g_objects.Clear();
  boss->SetState(kBoss3Think);
  boss->stateFrame = 79;
  Step();
  EXPECT_EQ(Alive<BallLauncher>().size(), 1u) << "frame 80";
  // Counted every frame since the spawn, and read by nothing.
  EXPECT_EQ(boss->directionCounters[0], frame);
  for (int32_t c : boss->directionCounters) EXPECT_EQ(c, boss->directionCounters[0]);
}

TEST_F(Boss3Test, StandDropsALauncherEachSideLooksRoundAndThinksAgain) {
  Boss3* boss = Ready(kBoss3Stand);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  Step();
  EXPECT_EQ(boss->twist, 0);
  EXPECT_GE(Alive<BallLauncher>().size(), 1u);
  EXPECT_LE(Alive<BallLauncher>().size(), 2u);
  EXPECT_EQ(boss->speed, 0.0f);
  EXPECT_EQ(CountSound(kSoundEnemyIdle), 1) << "on frames 1, 31";
  const float heading = boss->angle.y;
  Step(10);
  EXPECT_NEAR(AngleDistance(boss->angle.y, heading + 30.0f), 0.0f, 1e-3f);
  Step(48);
  EXPECT_EQ(boss->state, kBoss3Stand);
  EXPECT_EQ(CountSound(kSoundEnemyIdle), 2);
  Step();
  EXPECT_EQ(boss->state, kBoss3Think);
}

TEST_F(Boss3Test, FireIsArmouredAndStandsAFanOfFiveBulletsAcrossItsFacing) {
  Boss3* boss = Ready(kBoss3Fire, 0.0f, 12.0f, 180.0f);
  ASSERT_NE(boss, nullptr);
  Step();
  EXPECT_EQ(boss->armour, 1);
  EXPECT_EQ(boss->animId, kAnimAttack1);
  EXPECT_LE(Alive<BallLauncher>().size(), 1u);
  Step(88);
  EXPECT_TRUE(Alive<Boss3Tama>().empty());
  const float heading = boss->angle.y;
  const port::Vec3 at = boss->position;
  Step();
  const std::vector<Boss3Tama*> fan = Alive<Boss3Tama>();
  ASSERT_EQ(fan.size(), 5u);
  const port::Vec3 d = DirectionFromAngles(0.0f, heading, 0.0f);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_FLOAT_EQ(fan[i]->rotation.x, -45.0f * static_cast<float>(i));
    EXPECT_FLOAT_EQ(fan[i]->rotation.y, heading + 90.0f);
    EXPECT_EQ(fan[i]->mode, kBoss3TamaCircle);
    EXPECT_EQ(fan[i]->GetOwner(), kOwnerEnemy);
    EXPECT_NEAR(fan[i]->centre.x, at.x + d.x, 1e-4f);
    EXPECT_NEAR(fan[i]->centre.z, at.z + d.z, 1e-4f);
  }
  Step(30);
  EXPECT_EQ(boss->armour, 0);
  EXPECT_EQ(boss->state, kBoss3Think);
}

// The charge ends when the marker is laid, as with the other bosses' charges.
TEST_F(Boss3Test, MarkersLetHitsLandFromTheMarkerOn) {
  Boss3* boss = Ready(kBoss3Markers);
  ASSERT_NE(boss, nullptr);
  ClearSounds();
  EnemyObject* shot = ShotAt(*boss);
  Step();
  EXPECT_LE(Alive<BallLauncher>().size(), 3u);
  EXPECT_EQ(CountSound(kSoundPowerCharge), 1);
  for (int f = 2; f < 125; ++f) {
    boss->position = boss->previousPosition = shot->position;
    Step();
    ASSERT_TRUE(boss->IsInvulnerable()) << f;
  }
  EXPECT_EQ(shot->hits, 0);
  EXPECT_TRUE(Alive<Marker3D>().empty());
  EXPECT_EQ(CountSound(kSoundMarkerChain), 1);
  boss->position = boss->previousPosition = shot->position;
  Step();
  const std::vector<Marker3D*> markers = Alive<Marker3D>();
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_EQ(markers[0]->index, 0);
  const port::Vec3 m = markers[0]->centre;
  const float reach = std::hypot(m.x, m.z);
  EXPECT_GE(reach, 3.0f);
  EXPECT_LE(reach, 14.0f);
  EXPECT_GT(m.x, 0.0f) << "a yaw of 10 to 80 degrees";
  EXPECT_GT(m.z, 0.0f);
  EXPECT_FLOAT_EQ(m.y, 0.5f);
  EXPECT_EQ(shot->hits, 1);
  EXPECT_EQ(boss->state, kBoss3Hit);
}

TEST_F(Boss3Test, LevyDropsFourLaunchersShowsThePropsAndPutsThemAwayAfter) {
  Boss3* boss = Ready(kBoss3Levy);
  ASSERT_NE(boss, nullptr);
  Step();
  EXPECT_EQ(Alive<BallLauncher>().size(), 4u);
  EXPECT_EQ(boss->animId, kAnimLevy);
  Step(64);
  EXPECT_EQ(boss->leftProp, 0);
  Step();
  EXPECT_EQ(boss->leftProp, 1);
  EXPECT_EQ(boss->rightProp, 1);
  Step(114);
  EXPECT_EQ(CountNewParticles(kParticleSmoke), 0);
  Step();
  EXPECT_EQ(CountNewParticles(kParticleSmoke), 1) << "frames 181 to 199";
  Step(38);
  EXPECT_EQ(boss->state, kBoss3Levy);
  Step();
  EXPECT_EQ(boss->state, kBoss3Think);
  EXPECT_EQ(boss->leftProp, 1) << "kept until the think state";
  EXPECT_EQ(boss->rightProp, 0);
  Step();
  EXPECT_EQ(boss->leftProp, 0);
  EXPECT_EQ(boss->twist, 1);
}

TEST_F(Boss3Test, DefeatedItStaggersBackForAHundredFramesThenFallsStill) {
  Boss3* boss = Ready(kBoss3Think, 0.0f, 12.0f, 180.0f);
  ASSERT_NE(boss, nullptr);
  boss->hitPoints = 1.0f;
  ShotAt(*boss);
  Step();
  ASSERT_EQ(boss->state, kBoss3Defeated);
  Step();
  const float z = boss->position.z;
  EXPECT_FLOAT_EQ(boss->speed, 0.05f);
  Step(98);
  EXPECT_NEAR(boss->position.z, z + 98 * 0.05f, 0.02f) << "backwards, away from -z";
  Step();
  EXPECT_EQ(boss->speed, 0.0f);
  Step(29);
  EXPECT_TRUE(boss->IsAlive());
  Step();
  EXPECT_FALSE(boss->IsAlive());
}

}  // namespace
