// What zako2, zako3 and zako4 share, driven from one table: the shots it
// takes to kill each with the immune frames between them and the gauge, the
// dying and the reuse; each attack reaching the player; their animation
// tables on the data set's files; missing model files; and the three
// standing in a row on screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "actors/EnemyClasses.h"
#include "actors/StageSounds.h"
#include "actors/Zako2.h"
#include "actors/Zako3.h"
#include "actors/Zako4.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/ObjectList.h"

namespace {

using gltest::Channel;
using gltest::Rgb;
using stagetest::StageFixture;

using LoadFn = bool (*)(int, port::gpu::Device*, const port::gpu::Caps&, EffectHolder*, Texture*);

struct ZakoClass {
  const char* name;
  int32_t kind;
  Enemy* (*spawn)(const EnemySpawn& spawn);
  LoadFn load;
  void (*unload)();
  EnemyModel& (*shared)();
  int shotsToKill;  // ordinary shots (damage 10)
  float maxHp;
  int32_t damageState, dyingState;
  int nextHitAfter;  // frames from a hit to the next one a waiting shot makes
  int dyingFrames;
  int hurtSound;
};

template <typename T>
Enemy* SpawnAs(const EnemySpawn& spawn) {
  return T::Spawn(spawn);
}

const ZakoClass kZakos[] = {
    {"zako2", kCharacterZako2, &SpawnAs<Zako2>, &Zako2::Load, &Zako2::Unload, &Zako2::Shared, 2,
     2.0f, kZako2Damage, kZako2Dying, 30, 120, kSoundEnemyHurt},
    {"zako3", kCharacterZako3, &SpawnAs<Zako3>, &Zako3::Load, &Zako3::Unload, &Zako3::Shared, 3,
     3.0f, kZako3Damage, kZako3Dying, 50, 120, kSoundEnemyHurt2},
    // The damage state's 50 frames, then 91 of blinking.
    {"zako4", kCharacterZako4, &SpawnAs<Zako4>, &Zako4::Load, &Zako4::Unload, &Zako4::Shared, 5,
     5.0f, kZako4Damage, kZako4Dying, 142, 100, kSoundEnemyHurt},
};

class ZakosOnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    for (const ZakoClass& z : kZakos) {
      z.load(setup.method, device, g_graphics.GetCaps(), g_characters.GetToonEffect(),
             g_characters.GetToonRamp());
      AtTearDown(z.unload);
    }
  }
  // A zako settled on the floor at (x, z), facing `heading`, in `state`
  // (its first frame not run yet).
  Enemy* Standing(const ZakoClass& z, float x, float z_, float heading, int32_t state) {
    Enemy* e = z.spawn({.at = {x, stagetest::kStandY, z_}, .heading = heading});
    e->Update();  // onto the floor; a zako4's first frame is immune
    e->Update();
    e->angle.y = e->moveHeading = e->targetHeading = heading;
    e->SetState(state);
    return e;
  }
};

// A shot kept on the zako hits it once, then again each time the immune
// frames after a hit are over, until its hit points are spent; the gauge
// shows each hit with the class's full bar; the dying ends in a dead zako
// that the next spawn of its kind takes again.
TEST_F(ZakosOnStage, OrdinaryShotsKillEachAfterItsImmuneFramesAndTheGaugeShowsEveryHit) {
  player.Place(0.0f, stagetest::kStandY, -35.0f, 0.0f);  // too far to be seen
  for (const ZakoClass& z : kZakos) {
    SCOPED_TRACE(z.name);
    g_characters.Clear();
    g_objects.Clear();
    ClearSounds();
    Enemy* e = Standing(z, 0.0f, 25.0f, 0.0f, 1);
    stagetest::EnemyObject* shot = AddPlayerShot(e->position);
    std::vector<int> hitFrames;
    int f = 0;
    while (e->IsAlive() && f < 2000) {
      ++f;
      shot->position = e->position;
      const int before = shot->hits;
      Step();
      if (shot->hits == before) continue;
      hitFrames.push_back(f);
      const int n = shot->hits;
      ASSERT_NEAR(e->hitPoints, z.maxHp - static_cast<float>(n), 1e-5f);
      EXPECT_EQ(player.gaugeKind, z.kind);
      EXPECT_EQ(player.gaugeMax, z.maxHp);
      EXPECT_NEAR(player.gaugeValue, z.maxHp - static_cast<float>(n), 1e-5f);
      EXPECT_EQ(e->state, n < z.shotsToKill ? z.damageState : z.dyingState);
    }
    ASSERT_EQ(static_cast<int>(hitFrames.size()), z.shotsToKill);
    for (size_t i = 1; i < hitFrames.size(); ++i) {
      EXPECT_EQ(hitFrames[i] - hitFrames[i - 1], z.nextHitAfter) << "hit " << i;
    }
    EXPECT_EQ(f - hitFrames.back(), z.dyingFrames);
    EXPECT_EQ(player.gaugeTimer, 90);  // the cross of a spent enemy
    EXPECT_EQ(CountSound(z.hurtSound), z.shotsToKill - 1);
    EXPECT_EQ(CountSound(kSoundEnemyDying), 1);
    // Dead, it waits for the next spawn of its kind.
    EXPECT_EQ(z.spawn({.at = {5.0f, 1.0f, 5.0f}}), e);
    EXPECT_EQ(e->hitPoints, z.maxHp);
    EXPECT_EQ(e->state, 1);
    EXPECT_EQ(e->guard, 0);
  }
}

// Every attack of the three, from in front of the player, knocks it back
// with the attack's damage: the bullet leaves on its frame, of its kind.
TEST_F(ZakosOnStage, EachAttackLeavesOnItsFrameAndKnocksThePlayerBack) {
  struct Case {
    const char* name;
    int zako;  // in kZakos
    int32_t state;
    bool aggressive;  // a zako4 that has seen the player: its dash ends in the rings
    float distance;   // the player straight ahead
    int fireFrame;
    int bullets;
    int32_t bulletKind;
    float damage;
  };
  const Case cases[] = {
      {"zako2 ring", 0, kZako2Attack, false, 6.0f, 30, 1, kEnemyTamaRing, 10.0f},
      {"zako3 ball", 1, kZako3Attack, false, 6.0f, 25, 1, kEnemyTamaBall, 10.0f},
      {"zako4 fan", 2, kZako4Fan, false, 6.0f, 50, 6, kEnemyTamaBall, 10.0f},
      {"zako4 rising fan", 2, kZako4PitchFan, false, 6.0f, 40, 5, kEnemyTamaBall, 10.0f},
      // The rings come in the air after a dash: its 110 frames, then 25.
      {"zako4 side rings", 2, kZako4JumpDash, true, 9.0f, 135, 2, kEnemyTamaRing, 10.0f},
      {"zako4 blow", 2, kZako4Blow, false, 3.0f, 40, 1, kEnemyTamaProbe, 15.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_characters.Clear();
    g_objects.Clear();
    player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
    Step(40);  // the player settles and its spawn guard runs out
    player.stunGauge = 0.0f;
    ClearSounds();
    Enemy* e = Standing(kZakos[c.zako], 0.0f, c.distance, 180.0f, c.state);
    if (c.aggressive) static_cast<Zako4*>(e)->keepHeading = 1;
    Step(c.fireFrame - 1);
    EXPECT_TRUE(EnemyBullets().empty());
    Step();
    const std::vector<EnemyTama*> bullets = EnemyBullets();
    ASSERT_EQ(static_cast<int>(bullets.size()), c.bullets);
    EXPECT_EQ(FirstSound(kSoundEnemyShot) != nullptr, c.bulletKind != kEnemyTamaProbe);
    for (EnemyTama* b : bullets) {
      EXPECT_EQ(b->kind, c.bulletKind);
      EXPECT_EQ(b->GetOwner(), kOwnerEnemy);
    }
    EXPECT_EQ(e->state, c.aggressive ? kZako4Rings : c.state);
    const int hit = StepUntil([&] { return player.mode == kPlayerKnockBack; }, 90);
    ASSERT_GE(hit, 0);
    EXPECT_FLOAT_EQ(player.stunGauge, c.damage);
  }
}

// The animation of each id on its own track at its own pace, and the tracks
// long enough for the states that play them: a dying that loops must not
// rise again before the zako is gone.
TEST_F(ZakosOnStage, EachAnimationPlaysItsTrackAtItsPaceAndTheDyingDoesNotLoopBack) {
  struct Case {
    int zako;
    int32_t animId;
    int track;
    float step;    // of the first frames
    float gain;    // weight a frame
    float fade;    // of the other tracks
    bool oneShot;  // held at 0.99 of its length
    int mustLast;  // frames the state plays it; 0: it may loop
  };
  const Case cases[] = {
      {0, kAnimStop, 0, 0.0f, 0.1f, 0.1f, false, 0},
      {0, kAnimRun, 1, 1.0f, 0.05f, 0.05f, false, 0},
      {0, kAnimAttack1, 2, 0.5f, 0.05f, 0.05f, true, 0},
      {0, kAnimLevy, 3, 0.5f, 0.05f, 0.05f, false, 0},
      {0, kAnimDying, 4, 1.0f, 0.1f, 0.1f, false, 120},
      {0, kAnimDamage, 5, 1.0f, 0.1f, 0.1f, false, 0},
      {1, kAnimStop, 0, 0.2f, 0.1f, 0.1f, false, 0},
      {1, kAnimRun, 1, 1.0f, 0.05f, 0.05f, false, 0},
      {1, kAnimJump, 2, 1.0f, 0.05f, 0.05f, false, 0},
      {1, kAnimAttack1, 3, 1.0f, 0.05f, 0.15f, true, 0},
      {1, kAnimLevy, 4, 0.4f, 0.05f, 0.05f, false, 0},
      {1, kAnimDying, 5, 1.0f, 0.1f, 0.1f, false, 120},
      {1, kAnimDamage, 6, 0.8f, 0.1f, 0.1f, false, 0},
      {2, kAnimStop, 0, 0.2f, 0.1f, 0.1f, false, 0},
      {2, kAnimRun, 1, 0.5f, 0.05f, 0.1f, false, 0},
      {2, kAnimJump, 2, 1.0f, 0.05f, 0.05f, false, 0},
      {2, kAnimJumpDash, 3, 1.0f, 0.05f, 0.05f, false, 0},
      {2, kAnimAttack1, 4, 0.25f, 0.05f, 0.15f, true, 0},  // winding up
      {2, kAnimAttack2, 5, 0.5f, 0.05f, 0.15f, true, 0},
      {2, kAnimAttack4, 7, 0.5f, 0.05f, 0.15f, true, 0},
      {2, kAnimLevy, 8, 0.4f, 0.05f, 0.05f, false, 0},
      {2, kAnimDamage, 9, 0.8f, 0.1f, 0.1f, false, 0},
      {2, kAnimDying, 10, 0.5f, 0.05f, 0.1f, true, 0},
      {2, kAnimJumpDash + 100, 0, 0.2f, 0.1f, 0.1f, false, 0},  // unknown: the stand
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(kZakos[c.zako].name) + " anim " + std::to_string(c.animId));
    g_characters.Clear();
    Enemy* e = kZakos[c.zako].spawn({.at = {0.0f, 1.0f, 6.0f}});
    for (AnimTrack& t : e->tracks) t.weight = 0.5f, t.time = 3.0f;
    e->SetAnimation(c.animId);
    ASSERT_EQ(e->tracks[c.track].time, 0.0f);
    for (int k = 0; k < 4; ++k) e->BlendAnimation();
    EXPECT_FLOAT_EQ(e->tracks[c.track].time, 4.0f * c.step);
    EXPECT_NEAR(e->tracks[c.track].weight, 0.5f + 4.0f * c.gain, 1e-5f);
    for (size_t t = 0; t < e->tracks.size(); ++t) {
      if (static_cast<int>(t) == c.track) continue;
      EXPECT_NEAR(e->tracks[t].weight, std::max(0.0f, 0.5f - 4.0f * c.fade), 1e-5f) << t;
    }
    const float length = e->tracks[c.track].length;
    ASSERT_GT(length, 0.0f) << "the data set's file";
    for (int k = 0; k < 400; ++k) e->BlendAnimation();
    if (c.oneShot) {
      EXPECT_FLOAT_EQ(e->tracks[c.track].time, 0.99f * length);
    }
    if (c.mustLast) {
      EXPECT_GT(length, c.step * static_cast<float>(c.mustLast));
    }
  }
  // The side rings start at full weight, with no fade in.
  g_characters.Clear();
  Enemy* z4 = kZakos[2].spawn({.at = {0.0f, 1.0f, 6.0f}});
  z4->SetAnimation(kAnimAttack3);
  EXPECT_EQ(z4->tracks[6].weight, 1.0f);
  for (int k = 0; k < 40; ++k) z4->BlendAnimation();
  EXPECT_FLOAT_EQ(z4->tracks[4].time, 0.0f);
  // Attack 1 past its wind-up goes at 0.5.
  z4->SetAnimation(kAnimAttack1);
  for (int k = 0; k < 41; ++k) z4->BlendAnimation();
  EXPECT_FLOAT_EQ(z4->tracks[4].time, 10.25f);
  z4->BlendAnimation();
  EXPECT_FLOAT_EQ(z4->tracks[4].time, 10.75f);
}

// Without their model files the classes load nothing and report it; their
// enemies still spawn through the class table, walk, fight and die, and no
// figure of them shows.
TEST_F(ZakosOnStage, MissingModelFilesLeaveThemFightingUndrawn) {
  for (const ZakoClass& z : kZakos) z.unload();
  EnemyLoad load{.method = setup.method,
                 .device = device,
                 .caps = &g_graphics.GetCaps(),
                 .effect = g_characters.GetToonEffect(),
                 .toonRamp = g_characters.GetToonRamp()};
  {
    testsupport::TempDir empty;
    testsupport::ScopedCwd inEmpty(empty.path());
    for (const ZakoClass& z : kZakos) {
      EXPECT_FALSE(z.load(setup.method, device, g_graphics.GetCaps(), load.effect, load.toonRamp));
      EXPECT_FALSE(z.shared().model.IsLoaded()) << z.name;
    }
    const int32_t kinds[] = {kAppearZako2, kAppearZako3, kAppearZako4};
    LoadEnemyClasses(kinds, load);  // a second try, through the table
  }
  player.Place(0.0f, stagetest::kStandY, -10.0f, 0.0f);
  std::vector<Enemy*> zakos;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(SpawnPlacedEnemy(
        kAppearZako2 + i,
        {.at = {-3.0f + 3.0f * static_cast<float>(i), 1.0f, -2.0f}, .heading = 180.0f}));
    zakos.push_back(dynamic_cast<Enemy*>(g_characters.At(static_cast<size_t>(i))));
    ASSERT_NE(zakos.back(), nullptr);
  }
  Step(600);
  EXPECT_GT(CountObjects(kObjectEnemyTama, false), 0) << "they shot at the player";
  for (Enemy* e : zakos) EXPECT_TRUE(e->IsAlive());

  // Stood in a row before the camera: nothing shows where their bodies are.
  player.Place(0.0f, stagetest::kStandY, -10.0f, 0.0f);
  for (int i = 0; i < 3; ++i) {
    zakos[i]->position = {2.5f + 1.5f * static_cast<float>(i), 1.0f, -4.0f};  // clear of the player
    zakos[i]->shadowHeight = 0.05f;
  }
  const std::vector<uint32_t> with = DrawFrame();
  for (Enemy* e : zakos) e->alive = 0;
  const std::vector<uint32_t> without = DrawFrame();
  for (Enemy* e : zakos) {
    e->alive = 1;
    const port::Vec3 body = ScreenOf(e->position + port::Vec3{0.0f, 0.3f, 0.0f});
    int changed = 0;
    for (int y = static_cast<int>(body.y) - 8; y <= static_cast<int>(body.y) + 8; ++y) {
      for (int x = static_cast<int>(body.x) - 8; x <= static_cast<int>(body.x) + 8; ++x) {
        changed += Rgb(with, x, y) != Rgb(without, x, y) ? 1 : 0;
      }
    }
    EXPECT_EQ(changed, 0) << e->GetKind();
  }

  // They still take a shot and die.
  for (Enemy* e : zakos) {
    e->SetState(1);
    e->hitPoints = 0.5f;
    if (auto* z4 = dynamic_cast<Zako4*>(e)) z4->blinkCounter = -1, z4->armoured = 0;
  }
  Step();
  for (Enemy* e : zakos) AddPlayerShot(e->position, 3.0f);
  Step(2);  // hit, then dying
  for (Enemy* e : zakos) EXPECT_TRUE(e->IsInvulnerable()) << e->GetKind();
  Step(150);
  EXPECT_EQ(g_characters.CountAlive(), 0);
}

// The three standing side by side facing the camera, read back at a
// checkpoint in both draw methods: each stands in its own colours, grey,
// blue and green, where it stands.
class ZakosInARow : public ZakosOnStage, public ::testing::WithParamInterface<int> {
 protected:
  ZakosInARow() { setup.method = GetParam(); }
};

TEST_P(ZakosInARow, ThreeZakosShowInTheirOwnColoursSideBySide) {
  Step(30);  // the player settles, the camera behind it facing +z
  struct Look {
    int zako;
    float x;
    int32_t state;  // a standing one
    int dominant;   // the channel (16 red, 8 green, 0 blue) that stands out, or -1 for grey
  };
  const Look looks[] = {
      {0, -1.8f, kZako2Pause, -1}, {1, 0.0f, kZako3Pause, 0}, {2, 1.8f, kZako4Pause, 8}};
  std::vector<Enemy*> row;
  for (const Look& l : looks) row.push_back(Standing(kZakos[l.zako], l.x, 7.0f, 180.0f, l.state));
  Step(20);
  for (Enemy* e : row) e->angle.y = 180.0f;
  player.alive = 0;  // out of the picture: it would hide the middle one
  const std::vector<uint32_t> with = DrawFrame();
  if (std::getenv("POMELVANE_SAVE_PICTURES")) {
    SavePng(with, "zakos_row_method" + std::to_string(GetParam()) + ".png");
  }
  for (Enemy* e : row) e->alive = 0;
  const std::vector<uint32_t> without = DrawFrame();
  // Grey: no channel stands out; else the channel stands 20 over the others.
  auto looksLike = [](uint32_t c, int channel) {
    const int rgb[3] = {Channel(c, 16), Channel(c, 8), Channel(c, 0)};
    if (channel < 0) {
      return std::max({rgb[0], rgb[1], rgb[2]}) - std::min({rgb[0], rgb[1], rgb[2]}) < 40 &&
             rgb[0] > 40;
    }
    const int mine = Channel(c, channel);
    int others = 0;
    for (int v : rgb) others = v != mine ? std::max(others, v) : others;
    return mine > others + 20;
  };
  for (size_t i = 0; i < row.size(); ++i) {
    SCOPED_TRACE(kZakos[looks[i].zako].name);
    EXPECT_TRUE(row[i]->onScreen);
    const port::Vec3 at = ScreenOf(row[i]->position);
    int changed = 0, alike = 0;
    for (int y = static_cast<int>(at.y) - 30; y < static_cast<int>(at.y) + 25; ++y) {
      for (int x = static_cast<int>(at.x) - 14; x < static_cast<int>(at.x) + 14; ++x) {
        const uint32_t c = Rgb(with, x, y);
        if (c == Rgb(without, x, y)) continue;
        ++changed;
        alike += looksLike(c, looks[i].dominant) ? 1 : 0;
      }
    }
    EXPECT_GT(changed, 250);
    EXPECT_GT(alike, changed / 3) << "of " << changed;
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, ZakosInARow, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int>& i) {
                           return i.param == 2 ? std::string("Software") : std::string("Toon");
                         });

}  // namespace
