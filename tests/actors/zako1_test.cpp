// Zako1 on the small stage, and through it the scheme every enemy shares:
// the fall and landing, the wander, the chase and the alert around the
// player, the pool, the hit test against the player's shots with the report
// to the gauge, the dying, the walls, the cross-fade and the picture.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "actors/Player1Shots.h"
#include "actors/StageSounds.h"
#include "actors/Zako1.h"
#include "platform/MathHelpers.h"
#include "port/input.h"
#include "support/stage_fixture.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"
#include "world/StageField.h"

namespace {

using stagetest::EnemyObject;
using stagetest::StageFixture;

// Zako1 with the state routine replaced: it walks straight along its heading
// at 0.1, so the walk, the walls and the ground can be watched alone.
class StraightZako : public Zako1 {
 protected:
  void RunState() override {
    ++stateFrame;
    speed = 0.1f;
    moveHeading = angle.y;
  }
};

class Zako1OnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Zako1>();
  }
  // A zako1 standing settled at (x, z) on the floor, facing `heading`, in
  // `state` (its first frame not run yet).
  Zako1* Standing(float x, float z, float heading, int32_t state = kZako1Wander) {
    Zako1* zako = Zako1::Spawn(x, stagetest::kStandY, z, heading);
    Step();  // it snaps onto the floor
    zako->angle.y = heading;
    zako->SetState(state);
    return zako;
  }
  StraightZako* Straight(port::Vec3 at, float heading) {
    auto made = std::make_unique<StraightZako>();
    StraightZako* zako = made.get();
    zako->Init(at.x, at.y, at.z, heading);
    g_characters.Add(std::move(made));
    return zako;
  }
  // An object of the player's side at p, as a shot would be.
  EnemyObject* PlayerObject(port::Vec3 p, float radius = 0.7f, float damage = 10.0f) {
    EnemyObject* o = AddEnemyObject(p, radius, damage);
    o->owner = kOwnerPlayer;
    o->type = kObjectTama;
    return o;
  }
};

TEST_F(Zako1OnStage, FallsLandsWithDustWandersAndIsReusedAfterItDies) {
  Zako1* zako = Zako1::Spawn(0.0f, 4.0f, 10.0f, 0.0f);
  ASSERT_NE(zako, nullptr);
  EXPECT_EQ(zako->kind, kCharacterZako1);
  EXPECT_EQ(zako->id, kOwnerEnemy);
  EXPECT_EQ(zako->airborne, 1);
  EXPECT_EQ(zako->state, kZako1Wander);

  // Falling, it gains 0.025 of downward speed a frame and does not walk.
  Step();
  EXPECT_FLOAT_EQ(zako->verticalSpeed, -0.025f);
  const int landed = StepUntil([&] { return zako->airborne == 0; }, 100);
  ASSERT_GT(landed, 10);
  EXPECT_FLOAT_EQ(zako->position.y, stagetest::kStandY);
  EXPECT_FLOAT_EQ(zako->shadowHeight, stagetest::kFloorY + 0.05f);
  ASSERT_EQ(CountSound(kSoundLanding), 1);
  EXPECT_EQ(FirstSound(kSoundLanding)->frame, frame);
  EXPECT_EQ(CountParticles(kParticleSmoke), 10);

  // On the ground it wanders at 0.1 where it faces.
  Step();
  EXPECT_FLOAT_EQ(zako->speed, 0.1f);
  EXPECT_FLOAT_EQ(zako->moveHeading, zako->angle.y);
  EXPECT_EQ(zako->animId, kAnimRun);

  // Shot: it dies, leaves the list's live count after 120 frames, and the
  // next spawn takes the same instance.
  PlayerObject(zako->position);
  Step();
  EXPECT_EQ(zako->state, kZako1Dying);
  Step(119);
  EXPECT_TRUE(zako->IsAlive());
  Step();
  EXPECT_FALSE(zako->IsAlive());
  EXPECT_EQ(g_characters.CountAlive(), 0);
  const size_t slots = g_characters.Size();
  EXPECT_EQ(Zako1::Spawn(5.0f, 1.0f, 5.0f, 90.0f), zako);
  EXPECT_EQ(g_characters.Size(), slots);
  EXPECT_EQ(zako->state, kZako1Wander);
  EXPECT_EQ(zako->guard, 0);
  EXPECT_FLOAT_EQ(zako->angle.y, 90.0f);
  // With every zako1 alive, a spawn adds one.
  EXPECT_NE(Zako1::Spawn(6.0f, 1.0f, 6.0f, 0.0f), zako);
  EXPECT_EQ(g_characters.Size(), slots + 1);
}

TEST_F(Zako1OnStage, ASpawnNearTheGroundSnapsOntoItSilentlyAHigherOneLandsWithASound) {
  struct Case {
    float y;
    int landingSounds;
  };
  const Case cases[] = {{1.0f, 0}, {1.3f, 0}, {0.2f, 0}, {1.35f, 1}, {6.0f, 1}};
  float x = -12.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y);
    ClearSounds();
    Zako1* zako = Zako1::Spawn(x, c.y, -5.0f, 0.0f);
    x += 6.0f;
    Step(60);
    EXPECT_FLOAT_EQ(zako->position.y, stagetest::kStandY);
    EXPECT_EQ(zako->airborne, 0);
    EXPECT_EQ(CountSound(kSoundLanding), c.landingSounds);
  }
}

TEST_F(Zako1OnStage, WandersUntilItNoticesThePlayerThenChasesAndStandsAlertBesideIt) {
  Zako1* zako = Zako1::Spawn(0.0f, 1.0f, 12.0f, 180.0f);
  int wander = 0;
  while (zako->state == kZako1Wander && wander < 5000) {
    Step();
    ++wander;
  }
  ASSERT_EQ(zako->state, kZako1Chase);
  EXPECT_GT(wander, 31);  // never before its 31st frame

  // It stands turning toward the player, then runs at it kicking up dust.
  const port::Vec3 standing = zako->position;
  Step();
  EXPECT_EQ(zako->speed, 0.0f);
  EXPECT_EQ(zako->animId, kAnimStop);
  const int run = StepUntil([&] { return zako->speed > 0.0f; }, 60);
  ASSERT_GT(run, 0);
  EXPECT_FLOAT_EQ(zako->previousPosition.x, standing.x);
  EXPECT_FLOAT_EQ(zako->previousPosition.z, standing.z);
  EXPECT_EQ(zako->animId, kAnimRun);
  EXPECT_FLOAT_EQ(zako->speed, 0.3f);
  const int smokeBefore = CountParticles(kParticleSmoke);
  Step(6);
  EXPECT_GE(CountParticles(kParticleSmoke), smokeBefore + 2);

  // Within 1.5 of the player it stops, cries and keeps facing it.
  ClearSounds();
  const int caught = StepUntil([&] { return zako->state == kZako1Alert; }, 200);
  ASSERT_GT(caught, 0);
  EXPECT_LT(Distance3(zako->position.x, zako->position.y, zako->position.z, player.position.x,
                      player.position.y, player.position.z),
            1.5);
  Step();
  EXPECT_EQ(CountSound(kSoundEnemyAlert), 1);
  EXPECT_EQ(zako->speed, 0.0f);
  EXPECT_EQ(zako->animId, kAnimLevy);
  EXPECT_FLOAT_EQ(zako->angle.y,
                  YawTo(zako->position.x, zako->position.z, player.position.x, player.position.z));
  // After 150 frames it wanders off again.
  Step(148);
  EXPECT_EQ(zako->state, kZako1Alert);
  Step();
  EXPECT_EQ(zako->state, kZako1Wander);
}

// Facing the player already, the chase starts running on its second frame,
// whichever way the player lies (the +z and +x headings read 360 and 450).
TEST_F(Zako1OnStage, AChaseThatAlreadyFacesThePlayerRunsFromItsSecondFrame) {
  struct Case {
    float x, z, heading;
  };
  const Case cases[] = {{0.0f, -10.0f, 0.0f},
                        {-10.0f, 0.0f, 90.0f},
                        {0.0f, 10.0f, 180.0f},
                        {10.0f, 0.0f, 270.0f},
                        {-7.0f, -7.0f, 45.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heading);
    g_characters.Clear();
    Zako1* zako = Standing(c.x, c.z, c.heading, kZako1Chase);
    Step();
    EXPECT_EQ(zako->stateFrame, 59);
    EXPECT_EQ(zako->speed, 0.0f);
    Step();
    EXPECT_FLOAT_EQ(zako->speed, 0.3f);
  }
}

TEST_F(Zako1OnStage, AChaseTurnsAtTwoDegreesAFrameRunsFromFrame60AndGivesUpAtFrame200) {
  player.Place(-35.0f, stagetest::kStandY, -35.0f, 0.0f);
  Step();
  Zako1* zako = Standing(35.0f, 30.0f, 60.0f, kZako1Chase);
  const float a = YawTo(35.0f, 30.0f, -35.0f, -35.0f);
  // It turns on the spot for 59 frames, whether it faces the player or not...
  Step(59);
  EXPECT_NEAR(zako->angle.y, 60.0f + 2.0f * 59.0f, 1e-3f);
  EXPECT_EQ(zako->speed, 0.0f);
  EXPECT_FLOAT_EQ(zako->position.x, 35.0f);
  // ...then runs, turning at 3 a frame.
  Step();
  EXPECT_NEAR(zako->angle.y, 60.0f + 2.0f * 59.0f + 3.0f, 1e-3f);
  EXPECT_FLOAT_EQ(zako->speed, 0.3f);
  EXPECT_EQ(zako->moveHeading, zako->angle.y);
  Step(30);
  EXPECT_LT(AngleDistance(zako->angle.y, a), 3.0f);
  // Far from the player it gives up at frame 200.
  Step(109);
  EXPECT_EQ(zako->state, kZako1Chase);
  Step();
  EXPECT_EQ(zako->state, kZako1Alert);
}

// The player's two stage attacks each kill at the first hit; the gauge shows
// the zako1's face with 0 of 1 and the cross.
TEST_F(Zako1OnStage, ATapShotOrALargeShotKillsItAtOnceAndTheGaugeShowsZeroOfOne) {
  struct Case {
    const char* name;
    int charge;  // frames Z is held before the release
    int32_t shotType;
  };
  const Case cases[] = {{"tap", 1, kObjectTama}, {"large", 100, kObjectPlayer1LargeTama1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_characters.Clear();
    g_objects.Clear();
    player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
    Step(30);
    Hold(port::kKeyZ);
    Step(c.charge);
    // The tap fired on the press is long gone for the large shot.
    Zako1* zako = Standing(0.0f, 7.0f, 180.0f, kZako1Alert);
    Let(port::kKeyZ);
    ClearSounds();
    const int hit = StepUntil([&] { return zako->state == kZako1Dying; }, 120);
    ASSERT_GT(hit, 0);
    EXPECT_EQ(CountObjects(c.shotType, false), 1);
    EXPECT_EQ(player.gaugeKind, kCharacterZako1);
    EXPECT_EQ(player.gaugeValue, 0.0f);
    EXPECT_EQ(player.gaugeMax, 1.0f);
    EXPECT_EQ(player.gaugeTimer, 90);
    Step();
    EXPECT_EQ(zako->guard, 1);
    EXPECT_TRUE(zako->IsInvulnerable());
    EXPECT_EQ(CountSound(kSoundEnemyDying), 1);
    EXPECT_EQ(zako->animId, kAnimDying);
  }
}

TEST_F(Zako1OnStage, ADyingZakoLetsShotsPassAndSwaysUntilItVanishes) {
  Zako1* zako = Standing(0.0f, 6.0f, 0.0f, kZako1Dying);
  Step();
  // A shot through it flies on.
  EnemyObject* shot = PlayerObject(zako->position);
  float weight = zako->tracks[3].weight;
  for (int f = 2; f <= 60; ++f) {
    Step();
    const float sway = std::sin(static_cast<float>(zako->animFrame) * 12.0f * kDegToRad) * 40.0f;
    ASSERT_FLOAT_EQ(zako->extraRotation.y, sway) << f;
    ASSERT_EQ(zako->speed, 0.0f);
    ASSERT_GE(zako->tracks[3].weight, weight);
    weight = zako->tracks[3].weight;
  }
  EXPECT_EQ(shot->hits, 0);
  EXPECT_FLOAT_EQ(zako->tracks[3].time, 2.0f * 60.0f);
  EXPECT_FLOAT_EQ(weight, 1.0f);
  Step(59);
  EXPECT_TRUE(zako->IsAlive());
  Step();
  EXPECT_FALSE(zako->IsAlive());
}

// Which objects hit: only live ones of the players' side within their radius
// + 0.6 of the zako (or an extra point of theirs), the first in list order.
TEST_F(Zako1OnStage, OnlyALivePlayersObjectWithinReachHitsAndOnlyTheFirstOfTwo) {
  struct Case {
    const char* name;
    int32_t owner;
    uint8_t alive;
    float radius;
    port::Vec3 offset;       // from the zako
    port::Vec3 extraOffset;  // an extra collision point, when not zero
    bool hits;
  };
  const port::Vec3 none{};
  const Case cases[] = {
      {"player's shot", kOwnerPlayer, 1, 0.7f, {0.0f, 0.0f, 1.2f}, none, true},
      {"just out of reach", kOwnerPlayer, 1, 0.7f, {0.0f, 0.0f, 1.31f}, none, false},
      {"another player's", kOwnerBattlePlayer2, 1, 0.7f, {1.0f, 0.0f, 0.0f}, none, true},
      {"enemy bullet", kOwnerEnemy, 1, 0.7f, none, none, false},
      {"spent shot", kOwnerPlayer, 0, 0.7f, none, none, false},
      {"cannot hit", kOwnerPlayer, 1, -1.0f, none, none, false},
      {"extra point", kOwnerPlayer, 1, 0.1f, {0.0f, 0.0f, 5.0f}, {0.0f, 0.0f, 0.5f}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_characters.Clear();
    g_objects.Clear();
    Zako1* zako = Standing(0.0f, 6.0f, 0.0f, kZako1Alert);
    EnemyObject* o = PlayerObject(zako->position + c.offset, c.radius);
    o->owner = c.owner;
    o->alive = c.alive;
    if (!(c.extraOffset == none)) o->extraPoints.push_back(zako->position + c.extraOffset);
    Step();
    EXPECT_EQ(o->hits, c.hits ? 1 : 0);
    EXPECT_EQ(zako->state, c.hits ? kZako1Dying : kZako1Alert);
  }

  g_characters.Clear();
  g_objects.Clear();
  Zako1* zako = Standing(0.0f, 6.0f, 0.0f, kZako1Alert);
  EnemyObject* first = PlayerObject(zako->position);
  EnemyObject* second = PlayerObject(zako->position);
  Step();
  EXPECT_EQ(first->hits, 1);
  EXPECT_EQ(second->hits, 0);
}

// Each animation id plays its own track at its own speed and cross-fades
// from the others; ids the zako1 does not know hold the standing pose.
TEST_F(Zako1OnStage, EachAnimationPlaysItsTrackAndFadesTheOthers) {
  struct Case {
    int32_t animId;
    int track;
    float step, rate;
  };
  const Case cases[] = {
      {kAnimRun, 1, 1.0f, 0.05f}, {kAnimLevy, 2, 0.5f, 0.05f}, {kAnimDying, 3, 2.0f, 0.05f},
      {kAnimStop, 0, 0.0f, 0.1f}, {kAnimJump, 0, 0.0f, 0.1f},
  };
  Zako1* zako = Zako1::Spawn(0.0f, 1.0f, 6.0f, 0.0f);
  ASSERT_EQ(zako->tracks.size(), 5u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.animId);
    for (AnimTrack& t : zako->tracks) t.weight = 0.5f, t.time = 3.0f;
    zako->SetAnimation(c.animId);
    EXPECT_EQ(zako->tracks[c.track].time, 0.0f);
    for (int k = 1; k <= 4; ++k) zako->BlendAnimation();
    EXPECT_EQ(zako->animFrame, 4);
    EXPECT_FLOAT_EQ(zako->tracks[c.track].time, 4.0f * c.step);
    EXPECT_NEAR(zako->tracks[c.track].weight, 0.5f + 4.0f * c.rate, 1e-5f);
    for (int t = 0; t < 5; ++t) {
      if (t == c.track) continue;
      EXPECT_NEAR(zako->tracks[t].weight, 0.5f - 4.0f * c.rate, 1e-5f) << t;
    }
    // Faded out, a track rests at time 0.
    for (int k = 0; k < 20; ++k) zako->BlendAnimation();
    EXPECT_EQ(zako->tracks[c.track].weight, 1.0f);
    for (int t = 0; t < 5; ++t) {
      if (t == c.track) continue;
      EXPECT_EQ(zako->tracks[t].weight, 0.0f) << t;
      EXPECT_EQ(zako->tracks[t].time, 0.0f) << t;
    }
  }
}

// Walk A on the stage field: a zako walking into a corner stands at its
// previous place for that frame and leaves facing within 50 degrees of the
// wall's normal; head-on against a wall it stays pressed there.
TEST_F(Zako1OnStage, InACornerTheWallTurnsItAwayHeadOnItStaysAtTheWall) {
  StraightZako* zako = Straight({37.0f, 1.0f, 37.0f}, 45.0f);
  port::Vec3 before;
  const int turned = StepUntil(
      [&] {
        const bool t = zako->angle.y != 45.0f;
        if (!t) before = zako->position;
        return t;
      },
      100);
  ASSERT_GT(turned, 0);
  EXPECT_EQ(zako->position, before);
  // The first probe, at +x, meets the east wall, whose normal points to 270.
  EXPECT_LE(AngleDistance(zako->angle.y, 270.0f), 50.0f);
  EXPECT_EQ(zako->moveHeading, zako->angle.y);
  EXPECT_EQ(zako->targetHeading, zako->angle.y);
  // It walks away from the corner.
  Step(30);
  EXPECT_LT(zako->position.x, 39.0f);

  g_characters.Clear();
  StraightZako* pressed = Straight({0.0f, 1.0f, 37.0f}, 0.0f);
  Step(60);
  EXPECT_GT(pressed->position.z, 38.5f);
  EXPECT_LT(pressed->position.z, stagetest::kNorthWallZ - 0.5f);
  EXPECT_FLOAT_EQ(pressed->position.x, 0.0f);
  EXPECT_EQ(pressed->angle.y, 0.0f);
}

// The walls see only the move across the field: a zako falling along a
// wall, from whatever height, slides on and stands on the floor, rather
// than being held up by the floor's own face in the way of its fall.
TEST_F(Zako1OnStage, AZakoFallingAlongAWallLandsOnTheFloorFromAnyHeight) {
  for (int tenths = 20; tenths <= 60; ++tenths) {
    const float height = 0.1f * static_cast<float>(tenths);
    SCOPED_TRACE(height);
    g_characters.Clear();
    StraightZako* zako = Straight({0.0f, height, 38.6f}, 30.0f);
    Step(60);
    ASSERT_EQ(zako->airborne, 0);
    ASSERT_FLOAT_EQ(zako->position.y, stagetest::kStandY);
    ASSERT_LT(zako->position.z, stagetest::kNorthWallZ - 0.5f);
    ASSERT_GT(zako->position.x, 1.0f);  // sliding east along the wall
  }
}

// Off the collision mesh the ground ray finds nothing: the zako stays where
// it was, and one in the air still comes down on the last ground it knew
// instead of hanging there.
TEST_F(Zako1OnStage, WithTheGroundGoneAFallingZakoComesDownOnTheLastGroundItKnew) {
  StraightZako* zako = Straight({0.0f, 6.0f, 5.0f}, 0.0f);
  Step();
  ASSERT_EQ(zako->airborne, 1);
  const float x = zako->position.x, z = zako->position.z;
  g_stageField.Release();
  const int landed = StepUntil([&] { return zako->airborne == 0; }, 100);
  ASSERT_GT(landed, 0);
  EXPECT_FLOAT_EQ(zako->position.y, stagetest::kStandY);
  EXPECT_FLOAT_EQ(zako->position.x, x);
  EXPECT_FLOAT_EQ(zako->position.z, z);
  Step(10);
  EXPECT_FLOAT_EQ(zako->position.z, z);
}

}  // namespace
