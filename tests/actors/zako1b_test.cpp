// Zako1b on the sokai field: it wanders on the ground; a hit throws it away
// from the shot, spinning, at one vertical speed that the ground and ceilings
// turn back, bouncing off walls; each one thrown counts a kill and a combo
// into the sokai counters, once, and it vanishes 60 frames later.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "actors/Player1Shots.h"
#include "actors/SokaiCounters.h"
#include "actors/StageSounds.h"
#include "actors/Zako1b.h"
#include "platform/MathHelpers.h"
#include "port/input.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::EnemyObject;
using stagetest::StageFixture;

// A zako1b that walks straight along its heading at 0.15 while it is not
// thrown: walk B's walls can be watched alone.
class StraightZako1b : public Zako1b {
 protected:
  void RunState() override {
    if (state == kZako1bBlown) {
      Zako1b::RunState();
      return;
    }
    guard = 0;
    ++stateFrame;
    speed = 0.15f;
    moveHeading = angle.y;
  }
};

class Zako1bOnSokaiField : public StageFixture {
 protected:
  Zako1bOnSokaiField() {
    setup.field = stagetest::kSokaiField;
    setup.start = {0.0f, 1.0f, -10.0f};
  }
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    Zako1b::Load(setup.method, device, g_graphics.GetCaps(), g_characters.GetToonEffect(),
                 g_characters.GetToonRamp(), &counters);
    AtTearDown(&Zako1b::Unload);
  }
  // A player's object at p, as a shot would be.
  EnemyObject* Shot(port::Vec3 p, float radius = 0.7f) {
    EnemyObject* o = AddEnemyObject(p, radius, 10.0f);
    o->owner = kOwnerPlayer;
    o->type = kObjectTama;
    return o;
  }
  // A zako1b thrown by a shot `from` it (the shot stays where it struck).
  Zako1b* Thrown(port::Vec3 at, port::Vec3 from) {
    Zako1b* zako = Zako1b::Spawn(at.x, at.y, at.z, 0.0f);
    zako->SetState(kZako1bWander);
    shotAt = at + from;
    Shot(shotAt);
    Step();
    EXPECT_EQ(zako->state, kZako1bBlown);
    return zako;
  }

  port::Vec3 shotAt;  // where the last Thrown's shot struck

  SokaiCounters counters;
};

TEST_F(Zako1bOnSokaiField, ThrownAwayFromTheShotItCountsOnceSpinsAndVanishesAfter60Frames) {
  Zako1b* zako = Zako1b::Spawn(0.0f, stagetest::kStandY, 5.0f, 90.0f);
  ASSERT_NE(zako, nullptr);
  EXPECT_EQ(zako->kind, kCharacterZako1b);
  EXPECT_EQ(zako->airborne, 0);  // it starts on the ground
  Step();
  EXPECT_FLOAT_EQ(zako->speed, 0.15f);
  EXPECT_EQ(zako->animId, kAnimRun);
  EXPECT_EQ(zako->tracks.size(), 3u);

  // Struck from the south, it flies north, lifted by 0.3.
  const port::Vec3 at = zako->position;
  ClearSounds();
  EnemyObject* shot = Shot(at + port::Vec3{0.0f, 0.0f, -1.0f});
  player.gaugeTimer = Player::kGaugeHidden;
  Step();
  ASSERT_EQ(zako->state, kZako1bBlown);
  EXPECT_EQ(shot->hits, 1);
  const port::Vec3 away = zako->position - shot->position;  // from where the hit found it
  EXPECT_FLOAT_EQ(zako->moveHeading, YawOfVector(away.x, 0.0f, away.z));
  EXPECT_FLOAT_EQ(zako->position.y, at.y + 0.3f);
  EXPECT_EQ(player.gaugeTimer, Player::kGaugeHidden);  // no report
  EXPECT_EQ(counters.kills, 0);

  // Its first thrown frame counts the kill and the combo, and it cries once.
  Step();
  EXPECT_EQ(counters.kills, 1);
  EXPECT_EQ(counters.combo, 1);
  EXPECT_EQ(counters.score, 1);
  EXPECT_EQ(counters.framesSinceKill, 0);
  EXPECT_EQ(
      CountSound(kSoundEnemyDying) + CountSound(kSoundEnemyHurt) + CountSound(kSoundEnemyHurt2), 1);
  EXPECT_EQ(zako->guard, 1);
  EXPECT_EQ(zako->extraRotation, (port::Vec3{7.0f, 9.0f, -13.0f}));
  EXPECT_GT(zako->position.z, at.z);
  EXPECT_EQ(zako->angle.y, zako->moveHeading);

  // The shot is still there, but it is not struck again.
  Step(57);
  EXPECT_EQ(shot->hits, 1);
  EXPECT_EQ(counters.kills, 1);
  EXPECT_EQ(zako->extraRotation, (port::Vec3{7.0f * 58, 9.0f * 58, -13.0f * 58}));
  Step();
  EXPECT_TRUE(zako->IsAlive());
  Step();
  EXPECT_FALSE(zako->IsAlive());
  EXPECT_EQ(counters.kills, 1);
  EXPECT_EQ(counters.score, 1);
}

// The cry is drawn from three; the draw's rare top value cries none, and the
// kill counts all the same.
TEST_F(Zako1bOnSokaiField, TheTopDrawOfTheCryIsSilent) {
  Zako1b* zako = Zako1b::Spawn(0.0f, stagetest::kStandY, 5.0f, 90.0f);
  ASSERT_NE(zako, nullptr);
  Step();
  Shot(zako->position + port::Vec3{0.0f, 0.0f, -1.0f});
  Step();
  ASSERT_EQ(zako->state, kZako1bBlown);
  ClearSounds();
  port::CrtSrand(4028364353u);  // the next value drawn is 32767: RandomInt(3) gives 3
  Step();
  EXPECT_EQ(counters.kills, 1);
  EXPECT_EQ(
      CountSound(kSoundEnemyDying) + CountSound(kSoundEnemyHurt) + CountSound(kSoundEnemyHurt2), 0);
}

// The higher the throw, the slower the flight sideways: thrown up at v (0 to
// 0.7 a frame) it flies at 0 to (100 - 141.4 v) x 0.01.
TEST_F(Zako1bOnSokaiField, EveryThrowRisesAtMost07AndFliesSidewaysTheSlowerTheHigher) {
  const port::Vec3 from[] = {{1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {-0.7f, 0.0f, -0.7f}};
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    port::CrtSrand(seed);
    g_characters.Clear();
    g_objects.Clear();
    const port::Vec3 f = from[seed % 3];
    Zako1b* zako = Thrown({0.0f, 1.0f, 10.0f}, f);
    EXPECT_GE(zako->verticalSpeed, 0.0f);
    EXPECT_LE(zako->verticalSpeed, 0.7f);
    EXPECT_GE(zako->speed, 0.0f);
    EXPECT_LE(zako->speed, (100.0f - 141.4f * zako->verticalSpeed) * 0.01f + 1e-5f);
    const port::Vec3 away = zako->position - shotAt;
    EXPECT_FLOAT_EQ(zako->moveHeading, YawOfVector(away.x, 0.0f, away.z));
  }
}

TEST_F(Zako1bOnSokaiField, ThrownDownItBouncesOffTheGroundThrownFlatItSlidesOnIt) {
  struct Case {
    const char* name;
    float rise;       // the vertical speed it is thrown down at
    float afterFive;  // its height over the ground five frames after the bounce
  };
  // Fast enough, it leaves the ground again at the same speed; slower than
  // the 0.3 the ground reaches, it bounces in place until it vanishes.
  const Case cases[] = {{"fast", -0.4f, 2.0f}, {"slow", -0.2f, 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_characters.Clear();
    g_effects.Clear();
    Zako1b* zako = Thrown({0.0f, 1.0f, 10.0f}, {0.0f, 0.0f, -1.0f});
    zako->verticalSpeed = c.rise;
    zako->speed = 0.0f;
    ClearSounds();
    Step();  // 1.3 + rise: within 0.3 of the ground, it bounces
    EXPECT_FLOAT_EQ(zako->position.y, stagetest::kStandY);
    EXPECT_FLOAT_EQ(zako->verticalSpeed, -c.rise);
    EXPECT_EQ(zako->airborne, 1);
    EXPECT_EQ(CountParticles(kParticleStar), 10);
    EXPECT_EQ(CountSound(kSoundLanding), 0);
    Step(5);
    EXPECT_NEAR(zako->position.y, stagetest::kStandY + c.afterFive, 0.2f + 1e-4f);
    EXPECT_FLOAT_EQ(std::fabs(zako->verticalSpeed), -c.rise);  // no gravity while thrown
  }

  g_characters.Clear();
  Zako1b* flat = Thrown({5.0f, 1.0f, 10.0f}, {0.0f, 0.0f, -1.0f});
  flat->verticalSpeed = 0.0f;
  flat->speed = 0.5f;
  Step();
  EXPECT_FLOAT_EQ(flat->position.y, stagetest::kStandY);
  EXPECT_EQ(flat->airborne, 0);
  EXPECT_NEAR(Distance3(flat->position.x, 0.0f, flat->position.z, flat->previousPosition.x, 0.0f,
                        flat->previousPosition.z),
              0.5, 1e-4);
}

TEST_F(Zako1bOnSokaiField, ThrownIntoAWallItBouncesBackMirroredWithABumpKeepingItsRise) {
  player.Place(0.0f, stagetest::kStandY, 32.0f, 0.0f);  // near enough to hear it unmuffled
  Step();
  Zako1b* zako = Thrown({3.0f, 1.0f, 37.0f}, {-0.5f, 0.0f, -1.0f});
  zako->verticalSpeed = 0.05f;
  zako->speed = 0.4f;
  const float heading = zako->moveHeading;
  ClearSounds();
  const int stars = CountParticles(kParticleStar);
  const int bounced = StepUntil([&] { return zako->moveHeading != heading; }, 30);
  ASSERT_GT(bounced, 0);
  // North into the wall at z = 40, whose normal points south: the heading
  // mirrors about the east-west line.
  EXPECT_NEAR(AngleDistance(zako->moveHeading, 180.0f - heading), 0.0f, 0.01f);
  EXPECT_EQ(zako->position, zako->previousPosition);
  ASSERT_EQ(CountSound(kSoundWallBounce), 1);
  EXPECT_EQ(FirstSound(kSoundWallBounce)->volume, -1500);
  EXPECT_GE(CountParticles(kParticleStar), stars + 10);
  EXPECT_FLOAT_EQ(zako->verticalSpeed, 0.05f);
  Step(10);
  EXPECT_LT(zako->position.z, 39.0f);
}

// Walk B: not thrown, a zako1b meeting a wall at a slant slides along it and
// turns away from it at 6 degrees a frame.
TEST_F(Zako1bOnSokaiField, WalkingIntoAWallAtASlantItSlidesAndTurnsAwaySixDegreesAFrame) {
  auto made = std::make_unique<StraightZako1b>();
  StraightZako1b* zako = made.get();
  zako->Init(0.0f, 1.0f, 37.5f, 20.0f);
  g_characters.Add(std::move(made));
  const int met = StepUntil([&] { return zako->angle.y != 20.0f; }, 60);
  ASSERT_GT(met, 0);
  EXPECT_NEAR(AngleDistance(zako->angle.y, 20.0f), 6.0f, 1e-3f);
  EXPECT_LE(AngleDistance(zako->targetHeading, 180.0f), 50.0f);
  EXPECT_GT(zako->position.x, zako->previousPosition.x);  // along the wall
  EXPECT_LT(zako->position.z, stagetest::kNorthWallZ - 0.5f);
  // Soon it walks away from the wall.
  Step(40);
  EXPECT_GT(AngleDistance(zako->angle.y, 0.0f), 90.0f);
  EXPECT_LT(zako->position.z, 39.0f);
}

// The sokai shot's burst strikes every zako1b near it: bursts count one and
// reset the combo, each zako thrown adds a kill and scores the new combo.
TEST_F(Zako1bOnSokaiField, OneBurstThrowsTheCrowdAroundItAndScoresItsCombo) {
  Player1TamaBurst::SetContext(device, &counters);
  AtTearDown([] { Player1TamaBurst::SetContext(nullptr, nullptr); });
  player.sokai = 1;
  counters.combo = 7;  // left from an earlier burst
  Step(30);
  Hold(port::kKeyZ);
  const int thrown = StepUntil([&] { return CountObjects(kObjectPlayer1LargeTama3) > 0; }, 60);
  ASSERT_GT(thrown, 0);
  Let(port::kKeyZ);
  // The shot bursts 5 units ahead of the player; the crowd stands there.
  const port::Vec3 burst = player.position + port::Vec3{0.0f, 0.0f, 5.0f};
  const port::Vec3 spots[] = {
      {1.5f, 0.0f, 0.0f}, {-1.5f, 0.0f, 0.5f}, {0.0f, 0.0f, 2.0f}, {0.5f, 0.0f, -1.0f}};
  for (const port::Vec3& s : spots) Zako1b::Spawn(burst.x + s.x, 1.0f, burst.z + s.z, 0.0f);
  Zako1b* far = Zako1b::Spawn(burst.x + 15.0f, 1.0f, burst.z, 0.0f);
  Step(40);
  EXPECT_EQ(counters.bursts, 1);
  EXPECT_EQ(counters.kills, 4);
  EXPECT_EQ(counters.combo, 4);
  EXPECT_EQ(counters.score, 1 + 2 + 3 + 4);
  EXPECT_EQ(far->state, kZako1bWander);
}

}  // namespace
