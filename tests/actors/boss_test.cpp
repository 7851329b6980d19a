// What the three bosses share, driven on the small stage for each boss in
// turn: the entrance with its announcement and levy pose, the first
// invulnerability, a plain hit and the calm invulnerable recovery, the
// armour that absorbs most of a hit, the death that ends the boss and frees
// it for the next spawn, the blink, and a class without its model.
#include <gtest/gtest.h>

#include <string>

#include "actors/Boss1.h"
#include "actors/Boss2.h"
#include "actors/Boss3.h"
#include "support/stage_fixture.h"
#include "world/ObjectList.h"

namespace {

using stagetest::EnemyObject;
using stagetest::StageFixture;

struct BossCase {
  const char* name;
  Boss* (*spawn)(const EnemySpawn& spawn);
  int32_t kind;
  int32_t levy, damage, final;
  float hitPoints;
  int32_t damageEnd;  // frames of the damage state
  int32_t finalEnd;   // the frame of the final state that ends the boss
};

Boss* SpawnBoss1(const EnemySpawn& s) { return Boss1::Spawn(s); }
Boss* SpawnBoss2(const EnemySpawn& s) { return Boss2::Spawn(s); }
Boss* SpawnBoss3(const EnemySpawn& s) { return Boss3::Spawn(s); }

const BossCase kBosses[] = {
    {"Boss1", SpawnBoss1, kCharacterBoss1, kBoss1Levy, kBoss1Hit, kBoss1Defeated, 4.0f, 50, 120},
    {"Boss2", SpawnBoss2, kCharacterBoss2, kBoss2Levy, kBoss2Damage, kBoss2Dying, 8.0f, 40, 150},
    {"Boss3", SpawnBoss3, kCharacterBoss3, kBoss3Levy, kBoss3Hit, kBoss3Defeated, 6.0f, 80, 130},
};

class BossOnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Boss1>();
    LoadEnemyClass<Boss2>();
    LoadEnemyClass<Boss3>();
  }
  // A boss past its entrance, standing on the floor 12 units in front of the
  // player, calm, in `state` (not yet run), with no invulnerability left.
  Boss* Ready(const BossCase& c, int32_t state) {
    Boss* boss = c.spawn({.at = {0.0f, stagetest::kStandY, 12.0f}, .heading = 180.0f});
    if (!boss) return nullptr;
    Step(300);
    boss->position = boss->previousPosition = {0.0f, stagetest::kStandY, 12.0f};
    boss->guard = 0;
    boss->invulnerableFrames = -1;
    boss->roused = 0;
    boss->SetState(state);
    return boss;
  }
  // A shot of the player's side lying on the boss.
  EnemyObject* ShotAt(const Boss& boss, float damage = 10.0f) {
    EnemyObject* o = AddEnemyObject(boss.position, 0.3f, damage);
    o->owner = kOwnerPlayer;
    o->type = kObjectTama;
    return o;
  }
};

TEST_F(BossOnStage, EntranceAnnouncesTheBossShowsItsLevyPoseAndKeepsItUnhurt) {
  for (const BossCase& c : kBosses) {
    SCOPED_TRACE(c.name);
    g_characters.Clear();
    g_objects.Clear();
    Boss* boss = c.spawn({.at = {0.0f, stagetest::kStandY, 12.0f}, .heading = 180.0f});
    ASSERT_NE(boss, nullptr);
    EXPECT_EQ(boss->kind, c.kind);
    EXPECT_EQ(boss->announcement, 0) << "set by the first frame, not by the spawn";
    EXPECT_TRUE(boss->IsInvulnerable());
    EXPECT_EQ(boss->invulnerableFrames, Boss::kFirstInvulnerableFrames);

    Step();
    EXPECT_EQ(boss->lifeFrames, 1);
    EXPECT_EQ(boss->announcement, 1);
    EXPECT_EQ(boss->state, Boss::kThinkState);
    // A shot lying on it during the entrance does not land.
    EnemyObject* shot = ShotAt(*boss);
    Step(20);
    EXPECT_EQ(shot->hits, 0);
    EXPECT_FLOAT_EQ(boss->hitPoints, c.hitPoints);
    shot->alive = 0;

    ASSERT_EQ(StepUntil([&] { return boss->lifeFrames == 80; }, 100), 59);
    EXPECT_EQ(boss->state, c.levy);
    EXPECT_EQ(boss->stateFrame, 1);
    EXPECT_EQ(boss->animId, kAnimLevy);
    Step(159);
    EXPECT_EQ(boss->lifeFrames, 239);
    EXPECT_EQ(boss->announcement, 1);
    Step();
    EXPECT_EQ(boss->announcement, 0);
    EXPECT_TRUE(boss->IsAlive());
  }
}

TEST_F(BossOnStage, APlainHitCostsATenthReportsToTheGaugeAndCalmsTheBossForAWhile) {
  for (const BossCase& c : kBosses) {
    SCOPED_TRACE(c.name);
    g_characters.Clear();
    g_objects.Clear();
    Boss* boss = Ready(c, Boss::kThinkState);
    ASSERT_NE(boss, nullptr);
    const bool rousable = c.kind != kCharacterBoss3;  // boss 3 has no such mood
    boss->roused = rousable ? 1 : 0;
    EnemyObject* shot = ShotAt(*boss);
    Step();
    EXPECT_EQ(shot->hits, 1);
    EXPECT_FLOAT_EQ(boss->hitPoints, c.hitPoints - 1.0f);
    EXPECT_EQ(boss->state, c.damage);
    EXPECT_EQ(player.gaugeKind, c.kind);
    EXPECT_FLOAT_EQ(player.gaugeValue, c.hitPoints - 1.0f);
    EXPECT_FLOAT_EQ(player.gaugeMax, c.hitPoints);
    EXPECT_EQ(player.gaugeTimer, 0);

    // The shot stays where it is: nothing lands while the boss recovers,
    // nor for the 120 frames of invulnerability after.
    Step();
    EXPECT_TRUE(boss->IsInvulnerable());
    EXPECT_EQ(boss->stateFrame, 1);
    ASSERT_EQ(StepUntil([&] { return boss->state != c.damage; }, 200), c.damageEnd - 1);
    EXPECT_EQ(boss->invulnerableFrames, Boss::kFirstInvulnerableFrames);
    EXPECT_EQ(boss->roused, 0) << "calm again";
    boss->position = shot->position;
    boss->speed = 0.0f;
    const int landed = StepUntil(
        [&] {
          boss->position = boss->previousPosition = shot->position;  // it must not walk off
          return shot->hits > 1;
        },
        400);
    EXPECT_GE(landed, Boss::kFirstInvulnerableFrames);
    EXPECT_FLOAT_EQ(boss->hitPoints, c.hitPoints - 2.0f);
  }
}

TEST_F(BossOnStage, ArmourTakesAFiftiethKeepsTheAttackGoingAndBlinksTenFrames) {
  struct ArmourCase {
    const BossCase& boss;
    int32_t state;
  };
  const ArmourCase cases[] = {
      {kBosses[0], kBoss1Fans},
      {kBosses[1], kBoss2Spray},
      {kBosses[1], kBoss2Attack},
      {kBosses[2], kBoss3Fire},
  };
  for (const ArmourCase& c : cases) {
    SCOPED_TRACE(std::string(c.boss.name) + " state " + std::to_string(c.state));
    g_characters.Clear();
    g_objects.Clear();
    Boss* boss = Ready(c.boss, c.state);
    ASSERT_NE(boss, nullptr);
    Step(2);
    ASSERT_EQ(boss->armour, 1);
    ASSERT_FALSE(boss->IsInvulnerable());
    EnemyObject* shot = ShotAt(*boss, 10.0f);
    Step();
    EXPECT_EQ(shot->hits, 1);
    EXPECT_NEAR(boss->hitPoints, c.boss.hitPoints - 0.2f, 1e-5);
    EXPECT_NEAR(player.gaugeValue, c.boss.hitPoints - 0.2f, 1e-5);
    EXPECT_EQ(boss->state, c.state);
    EXPECT_EQ(boss->stateFrame, 3);
    EXPECT_TRUE(boss->IsInvulnerable());
    EXPECT_EQ(boss->invulnerableFrames, 10);

    // Ten countdown frames and the one that lets the guard down: the shot
    // lying there is ignored, and the boss blinks on half of the life frames.
    int blinking = 0;
    for (int i = 0; i < 11; ++i) {
      boss->position = boss->previousPosition = shot->position;
      Step();
      blinking += boss->Blinking() ? 1 : 0;
    }
    EXPECT_EQ(shot->hits, 1);
    EXPECT_GE(blinking, 4);
    EXPECT_LE(blinking, 6);
    boss->position = boss->previousPosition = shot->position;
    Step();
    EXPECT_EQ(shot->hits, 2);
    EXPECT_EQ(boss->state, c.state) << "still at its attack";
    EXPECT_NEAR(boss->hitPoints, c.boss.hitPoints - 0.4f, 1e-5);
  }
}

TEST_F(BossOnStage, TheLastHitEndsTheBossWhichIsThenFreeForTheNextSpawn) {
  for (const BossCase& c : kBosses) {
    SCOPED_TRACE(c.name);
    g_characters.Clear();
    g_objects.Clear();
    Boss* boss = Ready(c, Boss::kThinkState);
    ASSERT_NE(boss, nullptr);
    boss->hitPoints = 0.5f;
    EnemyObject* shot = ShotAt(*boss);
    Step();
    EXPECT_EQ(boss->state, c.final);
    EXPECT_FLOAT_EQ(boss->hitPoints, -0.5f);
    EXPECT_FLOAT_EQ(player.gaugeValue, 0.0f) << "a spent gauge shows empty";
    EXPECT_EQ(player.gaugeTimer, 90);
    Step();  // the final state's first frame
    EXPECT_EQ(boss->animId, kAnimDying);
    // Nothing lands any more, armour or not.
    shot->alive = 0;
    for (int i = 0; i < 3; ++i) ShotAt(*boss, 100.0f);
    EXPECT_EQ(StepUntil([&] { return !boss->IsAlive(); }, 400), c.finalEnd - 1);
    EXPECT_EQ(boss->stateFrame, c.finalEnd);
    EXPECT_EQ(boss->state, c.final);
    EXPECT_EQ(g_characters.CountAlive(), 0);

    const size_t slots = g_characters.Size();
    EXPECT_EQ(c.spawn({.at = {3.0f, 1.0f, 3.0f}}), boss);
    EXPECT_EQ(g_characters.Size(), slots);
    EXPECT_FLOAT_EQ(boss->hitPoints, c.hitPoints);
    EXPECT_EQ(boss->lifeFrames, 0);
    EXPECT_EQ(boss->armour, 0);
    Step();
    EXPECT_EQ(boss->announcement, 1) << "a second entrance";
  }
}

TEST_F(BossOnStage, ABossOnlyBlinksWhileInvulnerableWithFramesLeftInTheSecondHalfOfTen) {
  Boss* boss = Boss1::Spawn({.at = {0.0f, 1.0f, 12.0f}});
  ASSERT_NE(boss, nullptr);
  struct Case {
    uint8_t guard;
    int32_t frames, life;
    bool blinking;
  };
  const Case cases[] = {{1, 5, 15, true},  {1, 5, 19, true},  {1, 5, 14, false}, {1, 5, 20, false},
                        {1, 0, 15, false}, {0, 5, 15, false}, {1, 1, 5, true},   {1, -1, 7, false}};
  for (const Case& k : cases) {
    boss->guard = k.guard;
    boss->invulnerableFrames = k.frames;
    boss->lifeFrames = k.life;
    EXPECT_EQ(boss->Blinking(), k.blinking) << k.guard << " " << k.frames << " " << k.life;
  }
}

// A class whose model never loaded spawns no boss: there would be nothing
// to see or to fight, and the boss phase ends at once.
TEST_F(BossOnStage, AClassWithoutItsModelSpawnsNoBoss) {
  Boss2::Unload();
  EXPECT_FALSE(Boss2::Shared().HasFigure());
  EXPECT_EQ(Boss2::Spawn({.at = {0.0f, 1.0f, 10.0f}}), nullptr);
  EXPECT_EQ(g_characters.CountAlive(), 0);
  Step(5);
  EXPECT_NE(Boss1::Spawn({.at = {0.0f, 1.0f, 10.0f}}), nullptr) << "the other classes still spawn";
}

}  // namespace
