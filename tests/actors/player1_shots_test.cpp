// The player-1 shots on the stage1 field: flight, ground following, reuse,
// frame limits, walls, hits on enemies, steering, and the sokai burst.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "actors/Player1Shots.h"
#include "actors/SokaiCounters.h"
#include "actors/StageSounds.h"
#include "support/stage_fixture.h"
#include "world/CharacterList.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using stagetest::StageFixture;

class PlayerShots : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    // Out of the way, facing away: the shots fly on their own.
    player.Place(-30.0f, 1.0f, -30.0f, 180.0f);
    Step(2);
    ClearSounds();
  }
};

TEST_F(PlayerShots, ATamaFlies07AFrameSettlesAt08AndEndsAfter40Frames) {
  Tama* t = Tama::Spawn({.at = {0.0f, 2.0f, 0.0f}, .heading = 0.0f, .owner = kOwnerPlayer});
  ASSERT_NE(t, nullptr);
  Step(2);
  EXPECT_NEAR(t->position.y, 1.8f, 1e-4f);  // sinks 0.1 a frame
  EXPECT_FLOAT_EQ(t->rotation.z, 13.0f);    // rolls 6.5 a frame
  Step(38);
  EXPECT_FLOAT_EQ(t->position.y, 0.8f);  // and stays 0.8 over the floor
  EXPECT_TRUE(t->IsAlive());
  EXPECT_NEAR(t->position.z, 28.0f, 1e-3f);
  Step();
  EXPECT_FALSE(t->IsAlive());
  EXPECT_NEAR(t->position.z, 28.7f, 1e-3f);
  EXPECT_EQ(CountParticles(kParticleHit), 1);

  // The next shot takes the dead one's place.
  const size_t slots = g_objects.Size();
  Tama* again = Tama::Spawn({.at = {1.0f, 1.0f, 2.0f}, .heading = 90.0f, .owner = kOwnerPlayer});
  EXPECT_EQ(again, t);
  EXPECT_EQ(g_objects.Size(), slots);
  EXPECT_EQ(again->frameCounter, 0);
  EXPECT_EQ(again->hitState, 0);
  Step(3);
  EXPECT_NEAR(again->position.x, 3.1f, 1e-3f);
  EXPECT_NEAR(again->position.z, 2.0f, 1e-3f);
}

TEST_F(PlayerShots, ShotsEndAtAWallStraightAhead) {
  struct Case {
    const char* name;
    int32_t type;
    int frames;  // to the end
  };
  // From z = 30 toward the north wall at 40: each ends within 1 of it.
  const Case cases[] = {{"tama", kObjectTama, 13},
                        {"steering ball", kObjectPlayer1LargeTama1, 23},
                        {"sokai shot", kObjectPlayer1LargeTama3, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerShot* s = nullptr;
    if (c.type == kObjectTama)
      s = Tama::Spawn({.at = {0.0f, 1.0f, 30.0f}, .heading = 0.0f, .owner = kOwnerPlayer});
    if (c.type == kObjectPlayer1LargeTama1)
      s = Player1LargeTama1::Spawn(
          {.at = {0.0f, 1.0f, 30.0f}, .heading = 0.0f, .owner = kOwnerPlayer, .battleMode = 0});
    if (c.type == kObjectPlayer1LargeTama3)
      s = Player1LargeTama3::Spawn(
          {.at = {0.0f, 1.0f, 35.0f}, .heading = 0.0f, .owner = kOwnerPlayer});
    ASSERT_NE(s, nullptr);
    const int ended = StepUntil([&] { return !s->IsAlive(); }, 100);
    EXPECT_EQ(ended, c.frames);
    EXPECT_LT(s->position.z, stagetest::kNorthWallZ);
    EXPECT_GE(s->position.z, stagetest::kNorthWallZ - 1.0f);
  }
}

TEST_F(PlayerShots, ATamaThatHitsAnEnemyEndsAndTheEnemyShowsOnTheGauge) {
  stagetest::DummyEnemy* e = AddEnemy({0.0f, 1.0f, 5.0f}, kCharacterZako3, 3.0f, 3.0f);
  Tama* t = Tama::Spawn({.at = {0.0f, 1.0f, 0.0f}, .heading = 0.0f, .owner = kOwnerPlayer});
  StepUntil([&] { return !t->IsAlive(); }, 40);
  EXPECT_EQ(e->hits, 1);
  EXPECT_LT(t->position.z, 5.0f);
  ASSERT_NE(FirstSound(kSoundHit), nullptr);
  EXPECT_EQ(FirstSound(kSoundHit)->volume, -1000);
  EXPECT_EQ(player.gaugeTimer, 0);
  EXPECT_EQ(player.gaugeKind, kCharacterZako3);
  EXPECT_FLOAT_EQ(player.gaugeValue, 2.0f);
  EXPECT_FLOAT_EQ(player.gaugeMax, 3.0f);

  // A kill starts the gauge half way through and shows no negative value.
  player.ShowEnemyGauge(kCharacterBoss1, -3.0f, 8.0f);
  EXPECT_EQ(player.gaugeTimer, 90);
  EXPECT_FLOAT_EQ(player.gaugeValue, 0.0f);
}

TEST_F(PlayerShots, TheSteeringBallTurnsOnlyTowardEnemiesAhead) {
  struct Case {
    float bearing;  // degrees from the ball's heading to the enemy
    float turned;   // the heading after one frame
  };
  const Case cases[] = {{20.0f, 1.0f}, {-30.0f, 359.0f}, {40.0f, 0.0f}, {180.0f, 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bearing);
    g_characters.Clear();
    const float r = c.bearing * 0.017453292f;
    AddEnemy({10.0f * std::sin(r), 1.0f, 10.0f * std::cos(r)});
    Player1LargeTama1* b = Player1LargeTama1::Spawn(
        {.at = {0.0f, 1.0f, 0.0f}, .heading = 0.0f, .owner = kOwnerPlayer, .battleMode = 0});
    Step();
    EXPECT_NEAR(b->rotation.y, c.turned, 1e-4f);
    b->alive = 0;
  }
}

TEST_F(PlayerShots, TheSteeringBallPassesThroughTwoHitsAndBurstsOnTheThird) {
  // Enemies that go down at their first hit, one after the other on its way;
  // the first two stand together and count as one hit.
  stagetest::DummyEnemy* e1 = AddEnemy({0.0f, 1.0f, 5.0f}, kCharacterZako1, 1.0f, 1.0f);
  stagetest::DummyEnemy* e2 = AddEnemy({0.0f, 1.0f, 5.2f}, kCharacterZako1, 1.0f, 1.0f);
  stagetest::DummyEnemy* e3 = AddEnemy({0.0f, 1.0f, 12.0f}, kCharacterZako1, 1.0f, 1.0f);
  stagetest::DummyEnemy* e4 = AddEnemy({0.0f, 1.0f, 19.0f}, kCharacterZako1, 1.0f, 1.0f);
  Player1LargeTama1* b = Player1LargeTama1::Spawn(
      {.at = {0.0f, 1.0f, 0.0f}, .heading = 0.0f, .owner = kOwnerPlayer, .battleMode = 0});
  StepUntil([&] { return !e3->IsAlive(); }, 60);
  EXPECT_FALSE(e1->IsAlive());
  EXPECT_FALSE(e2->IsAlive());
  EXPECT_TRUE(b->IsAlive());
  EXPECT_EQ(b->hitsLeft, 1);
  EXPECT_EQ(CountParticles(kParticleGlow), 0);
  StepUntil([&] { return !b->IsAlive(); }, 60);
  EXPECT_FALSE(e4->IsAlive());
  EXPECT_EQ(b->hitsLeft, 0);
  EXPECT_EQ(CountParticles(kParticleGlow), 30);
  EXPECT_EQ(CountSound(kSoundHit), 3);
}

TEST_F(PlayerShots, TheLargeBallCreepsForTwoHundredFramesThenIsFlungAway) {
  Player1LargeTama2* b =
      Player1LargeTama2::Spawn({.at = {0.0f, 1.0f, 0.0f}, .heading = 0.0f, .owner = kOwnerPlayer});
  Step(10);
  // 0.003 x the frame counter a frame: 0.003 x (1 + ... + 10).
  EXPECT_NEAR(b->position.z, 0.165f, 1e-4f);
  EXPECT_FLOAT_EQ(b->position.y, 1.3f);  // its height over the floor
  Step(189);
  const float z = b->position.z;
  Step();
  EXPECT_NEAR(b->position.z - z, 120.0f, 1e-2f);
  // Hits do not stop it.
  b->SetHit(1);
  Step(200);
  EXPECT_TRUE(b->IsAlive());
  EXPECT_EQ(b->hitState, 0);
  Step();
  EXPECT_FALSE(b->IsAlive());
  EXPECT_EQ(CountSound(kSoundLargeCreep), 5);  // frames 0, 50, 100, 150, 200
  EXPECT_EQ(FirstSound(kSoundLargeCreep)->volume, -500);
  EXPECT_EQ(CountSound(kSoundHit), 1);
  EXPECT_EQ(CountParticles(kParticleGlow), 50);  // its burst, far away
}

TEST_F(PlayerShots, TheSokaiShotNeverHitsButItsBurstStrikesAllAroundFor41Frames) {
  SokaiCounters counters;
  counters.combo = 4;
  Player1TamaBurst::SetContext(device, &counters);
  stagetest::DummyEnemy* onPath = AddEnemy({0.0f, 1.0f, 2.0f}, kCharacterZako1, 100.0f, 100.0f);
  stagetest::DummyEnemy* near = AddEnemy({3.0f, 1.0f, 6.0f}, kCharacterZako1, 100.0f, 100.0f);
  stagetest::DummyEnemy* far = AddEnemy({6.0f, 1.0f, 6.0f}, kCharacterZako1, 100.0f, 100.0f);
  Player1LargeTama3::Spawn({.at = {0.0f, 1.0f, 0.0f}, .heading = 0.0f, .owner = kOwnerPlayer});
  Step(10);
  EXPECT_EQ(onPath->hits, 0);
  EXPECT_EQ(CountObjects(kObjectPlayer1TamaBurst), 0);
  Step();
  ASSERT_EQ(CountObjects(kObjectPlayer1TamaBurst), 1);
  EXPECT_EQ(counters.bursts, 1);
  EXPECT_EQ(counters.combo, 0);
  const int lived = StepUntil([&] { return CountObjects(kObjectPlayer1TamaBurst) == 0; }, 100);
  EXPECT_EQ(lived, 41);
  EXPECT_GT(near->hits, 30);  // struck every frame it stands within 4.6
  EXPECT_GT(onPath->hits, 30);
  EXPECT_EQ(far->hits, 0);

  // Without the sokai stage's counters a burst counts nowhere.
  Player1TamaBurst::SetContext(nullptr, nullptr);
  EXPECT_NE(
      Player1TamaBurst::Spawn({.at = {0.0f, 1.0f, 0.0f}, .heading = 0.0f, .owner = kOwnerPlayer}),
      nullptr);
  EXPECT_EQ(counters.bursts, 1);
}

// Without their meshes and pictures the shots fly, hit and burst as ever and
// draw nothing; with them each shows where it flies.
TEST_F(PlayerShots, WithoutTheirFilesTheShotsStillFlyAndHitUnseen) {
  player.Place(0.0f, stagetest::kStandY, -4.0f, 0.0f);
  Step(30);
  stagetest::DummyEnemy* e = AddEnemy({2.5f, 1.0f, 11.0f}, kCharacterZako1, 100.0f, 100.0f);
  auto fire = [&] {
    return std::vector<PlayerShot*>{
        Tama::Spawn({.at = {2.5f, 1.0f, 2.0f}, .heading = 0.0f, .owner = kOwnerPlayer}),
        Player1LargeTama1::Spawn(
            {.at = {2.5f, 1.0f, 2.0f}, .heading = 0.0f, .owner = kOwnerPlayer, .battleMode = 0}),
        Player1LargeTama2::Spawn(
            {.at = {2.5f, 1.0f, 2.0f}, .heading = 0.0f, .owner = kOwnerPlayer}),
        Player1LargeTama3::Spawn(
            {.at = {2.5f, 1.0f, 2.0f}, .heading = 0.0f, .owner = kOwnerPlayer})};
  };
  // The pixels one shot adds with the others hidden (they fly together).
  auto drawnAlone = [&](const std::vector<PlayerShot*>& all, PlayerShot* s) {
    std::vector<uint8_t> was;
    for (PlayerShot* o : all) was.push_back(o->alive);
    for (PlayerShot* o : all) o->alive = 0;
    const int n = PixelsDrawnBy(s);
    for (size_t i = 0; i < all.size(); ++i) all[i]->alive = was[i];
    return n;
  };
  std::vector<PlayerShot*> shots = fire();
  Step(2);
  for (PlayerShot* s : shots) {
    ASSERT_NE(s, nullptr);
    EXPECT_GT(drawnAlone(shots, s), 50) << s->GetType();
  }
  for (PlayerShot* s : shots) s->alive = 0;

  Tama::Unload();
  Player1LargeTama1::Unload();
  Player1LargeTama2::Unload();
  Player1LargeTama3::Unload();
  WithoutFiles([&] {
    Tama::Load(device);
    Player1LargeTama1::Load(device, nullptr, 4);
    Player1LargeTama2::Load(device);
    Player1LargeTama3::Load(device);
  });
  shots = fire();
  Step(2);
  for (PlayerShot* s : shots) {
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(drawnAlone(shots, s), 0) << s->GetType();
  }
  Step(20);
  EXPECT_FALSE(shots[0]->IsAlive());  // the tama ended on the enemy
  EXPECT_GE(e->hits, 1);
  EXPECT_EQ(CountObjects(kObjectPlayer1TamaBurst), 1);  // the sokai shot burst
  DrawFrame();
}

}  // namespace
