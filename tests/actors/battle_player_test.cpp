// Four battle players on the small stage, player 1 on the keyboard and the
// others on three virtual joysticks: controls, shots and charge, hits and
// their points, lock-on, rank and result, cameras, animation, and bad input.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "actors/StageSounds.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "render/Camera.h"
#include "support/battle_fixture.h"
#include "world/ObjectList.h"

namespace {

using battletest::BattleFixture;
using battletest::kPlayers;

constexpr int kUp = kPadUp, kLeft = kPadLeft;
constexpr int kAttack = kBattleActionAttack, kShift = kBattleActionShift;

class BattlePlayerTest : public BattleFixture {
 protected:
  void SetUp() override {
    BattleFixture::SetUp();
    if (HasFatalFailure()) return;
    PlaceAll();
    BattleStep(30);  // everyone lands and stands
  }
  BattlePlayer& P(int i) { return players[i]; }
};

// ---- Controls ----

TEST_F(BattlePlayerTest, EachPlayerAnswersToItsOwnControlsOnly) {
  for (int who = 0; who < kPlayers; ++who) {
    SCOPED_TRACE(who);
    PlaceAll();
    BattleStep(30);
    port::Vec3 before[kPlayers];
    for (int i = 0; i < kPlayers; ++i) before[i] = P(i).position;
    HoldDirection(who, kUp);
    BattleStep(10);
    LetGo(who);
    for (int i = 0; i < kPlayers; ++i) {
      const port::Vec3 d = P(i).position - before[i];
      const float moved = std::hypot(d.x, d.z);
      // Running: 0.2 a frame along its heading.
      EXPECT_NEAR(moved, i == who ? 2.0f : 0.0f, 1e-3f) << i;
    }
  }
}

TEST_F(BattlePlayerTest, WithAPadForEveryPlayerPlayerOneAlsoAnswersToPadZero) {
  // Three players, three pads: player 1 on the keyboard or pad 0, player k on pad k - 1.
  BattlePlayer::LoadShared(3, players, nullptr, nullptr);
  EXPECT_FALSE(P(0).IsDirectionDown(kUp));
  HoldDirection(1, kUp);  // pad 0
  BattleStep();
  EXPECT_TRUE(P(0).IsDirectionDown(kUp));
  EXPECT_FALSE(P(1).IsDirectionDown(kUp));
  LetGo(1);
  HoldDirection(2, kUp);  // pad 1
  BattleStep();
  EXPECT_TRUE(P(1).IsDirectionDown(kUp));
  // Four players on three pads: player 1 on the keyboard only.
  BattlePlayer::LoadShared(4, players, nullptr, nullptr);
  EXPECT_FALSE(P(0).IsDirectionDown(kUp));
  EXPECT_TRUE(P(2).IsDirectionDown(kUp));
}

TEST_F(BattlePlayerTest, ButtonsOutOfRangeNeverReadDownAndOtherActionsAnswerZero) {
  P(1).SetButton(kAttack, 5);
  EXPECT_EQ(P(1).GetButton(kAttack), 5);
  HoldAction(1, kAttack);
  BattleStep();
  EXPECT_TRUE(P(1).IsActionDown(kAttack));
  for (int32_t bad : {128, 500, -1, 1 << 30}) {
    P(1).SetButton(kAttack, bad);
    EXPECT_FALSE(P(1).IsActionDown(kAttack)) << bad;
  }
  P(1).SetButton(7, 3);  // no such action: nothing changes
  EXPECT_EQ(P(1).GetButton(7), 0);
  EXPECT_EQ(P(1).GetButton(-1), 0);
  EXPECT_FALSE(P(1).IsActionDown(7));
  EXPECT_FALSE(P(1).IsDirectionDown(9));
}

TEST_F(BattlePlayerTest, AnUnpluggedPadLeavesItsPlayerStandingAndTheOthersPlaying) {
  HoldDirection(2, kUp);
  HoldDirection(3, kUp);
  BattleStep(5);
  Unplug(2);
  const port::Vec3 left = P(2).position;
  const port::Vec3 other = P(3).position;
  BattleStep(10);
  EXPECT_EQ(P(2).position, left);
  EXPECT_EQ(P(2).animId, kBattleAnimStop);
  EXPECT_NEAR(P(3).position.x - other.x, 2.0f, 1e-3f);  // player 4 runs on, facing +x
  EXPECT_EQ(g_input.GetPadCount(), battletest::kPads - 1) << "a gone pad is not counted";
}

// ---- Shots and charge ----

TEST_F(BattlePlayerTest, TapsFireEachCharactersShotAndChargesStartTheLargeAttacks) {
  const int32_t kShotType[kPlayers] = {kObjectTama, kObjectPlayer2Tama, kObjectPlayer3Tama,
                                       kObjectPlayer4Tama};
  // Everyone faces out, so no shot meets another player.
  for (int i = 0; i < kPlayers; ++i) P(i).angle.y += 180.0f;
  for (int i = 0; i < kPlayers; ++i) {
    SCOPED_TRACE(i);
    ClearSounds();
    HoldAction(i, kAttack);
    BattleStep();
    EXPECT_EQ(CountObjects(kShotType[i]), 1);
    EXPECT_EQ(CountSound(kSoundShot), 1);
    EXPECT_EQ(P(i).attacking, 1);
    // Held: no second shot; the charge starts 16 frames after the shot.
    BattleStep(15);
    EXPECT_EQ(P(i).charge, 0);
    BattleStep(95);
    EXPECT_EQ(P(i).charge, 95);
    EXPECT_EQ(CountObjects(kShotType[i], false), 1);
    EXPECT_EQ(CountSound(kSoundChargeLevel), 2);  // charge 15 and 80
    LetGo(i);
    BattleStep();
    EXPECT_EQ(P(i).mode, kBattleLargeAttack1);
    EXPECT_EQ(P(i).charge, 0);
    EXPECT_NE(StepUntilState(i, kBattleFight, 200), -1);
  }
}

TEST_F(BattlePlayerTest, ChargeThresholdsAndTheTapRest) {
  const struct {
    int held;  // frames the attack is held
    int32_t state;
  } kCases[] = {{16 + 80, kBattleFight},
                {16 + 81, kBattleLargeAttack1},
                {16 + 240, kBattleLargeAttack1},
                {16 + 241, kBattleLargeAttack2}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.held);
    PlaceAll();
    BattleStep(40);
    HoldAction(0, kAttack);
    BattleStep(c.held);
    LetGo(0);
    BattleStep();
    EXPECT_EQ(P(0).mode, c.state);
  }
  // A tap within 30 frames of the last shot does not fire.
  PlaceAll();
  BattleStep(40);
  ClearSounds();
  HoldAction(0, kAttack);
  BattleStep();
  LetGo(0);
  BattleStep(29);
  HoldAction(0, kAttack);
  BattleStep();
  LetGo(0);
  BattleStep();
  HoldAction(0, kAttack);
  BattleStep();
  EXPECT_EQ(CountSound(kSoundShot), 2);
}

// ---- Hits, points, piyori ----

TEST_F(BattlePlayerTest, KnockBacksScoreForTheShooterAndTheSixthStunsTheVictim) {
  // Player 2's shots strike player 1 whenever it can be hurt.
  BattlePlayer& victim = P(0);
  int knockBacks = 0;
  int frames = 0;
  while (victim.mode != kBattlePiyori && frames < 3000) {
    if (!victim.invulnerable && victim.mode == kBattleFight) {
      const port::Vec3& v = victim.position;
      Player2Tama::Spawn(
          {.at = {v.x, v.y, v.z + 0.5f}, .heading = 180.0f, .owner = kOwnerBattlePlayer2});
    }
    const int32_t was = victim.mode;
    BattleStep();
    ++frames;
    if (was != kBattleKnockBack && victim.mode == kBattleKnockBack) {
      ++knockBacks;
      if (knockBacks == 1) {
        EXPECT_FLOAT_EQ(victim.speed, 0.4f);
      }
    }
  }
  // The gauge loses 0.003 in every frame between hits, so five hits of 10
  // stay short of 50: the sixth stuns.
  EXPECT_EQ(knockBacks, 6);
  EXPECT_EQ(victim.points, 10 - 3);
  EXPECT_EQ(P(1).points, 10 + 6 + 2);
  EXPECT_EQ(P(2).points, 10);
  EXPECT_EQ(victim.lastAttacker, kOwnerBattlePlayer2);
  // Stunned for 240 frames, chirping, circled by its camera, then back.
  const float yaw = victim.cameraYaw;
  BattleStep(10);
  EXPECT_EQ(victim.cameraMode, kBattleCameraOrbit);
  EXPECT_NEAR(victim.cameraYaw - yaw, 20.0f, 1e-3f);
  EXPECT_GE(CountSound(kSoundPiyori), 1);
  EXPECT_NE(StepUntilState(0, kBattleFight, 300), -1);
  EXPECT_EQ(victim.invulnerable, 1);
  EXPECT_EQ(victim.invulnerableFrames, 60);
}

TEST_F(BattlePlayerTest, KnockBackSlidesSixtySevenFramesAndTheEnemySideScoresNoOne) {
  BattlePlayer& victim = P(0);
  auto enemy = AddEnemyObject(victim.position + port::Vec3{0.0f, 0.0f, 0.3f}, 0.5f, 10.0f);
  BattleStep();
  EXPECT_EQ(victim.mode, kBattleKnockBack);
  EXPECT_EQ(enemy->hits, 1);
  enemy->alive = 0;
  const int lasted = StepUntilState(0, kBattleFight, 200);
  EXPECT_EQ(lasted, 67);  // 0.4 less 0.006 a frame
  for (int i = 0; i < kPlayers; ++i) EXPECT_EQ(P(i).points, 10) << i;
  // Damage 25 or more starts at the cap.
  victim.invulnerable = 0;
  victim.invulnerableFrames = -1;
  AddEnemyObject(victim.position + port::Vec3{0.0f, 0.0f, 0.3f}, 0.5f, 40.0f);
  BattleStep();
  EXPECT_FLOAT_EQ(victim.speed, 1.0f);
}

TEST_F(BattlePlayerTest, TheFlamesColumnScoresForItsOwnerAndInvulnerablePlayersStillSetOffMines) {
  BattlePlayer& victim = P(0);
  // A burning flame whose second column point is at the player's height.
  Player3LargeTama2* flame =
      Player3LargeTama2::Spawn({.at = {victim.position.x, 0.3f, victim.position.z + 5.0f},
                                .heading = 0.0f,
                                .owner = kOwnerBattlePlayer3});
  for (int f = 0; f < 30; ++f) flame->Update();
  flame->position = victim.position + port::Vec3{0.0f, -2.0f, 0.0f};
  flame->extraPoints[1] = victim.position + port::Vec3{0.0f, 0.0f, 0.5f};
  flame->frameCounter = 100;
  BattleStep();
  EXPECT_EQ(victim.mode, kBattleKnockBack);
  EXPECT_EQ(victim.lastAttacker, kOwnerBattlePlayer3);
  EXPECT_EQ(P(2).points, 11);
  flame->alive = 0;

  // Now invulnerable: a mine it walks onto still goes off, with no knock-back.
  EXPECT_NE(StepUntilState(0, kBattleFight, 200), -1);
  ASSERT_EQ(victim.invulnerable, 1);
  Player4LargeTama1* mine =
      Player4LargeTama1::Spawn({.at = {victim.position.x, 1.0f, victim.position.z},
                                .heading = 0.0f,
                                .owner = kOwnerBattlePlayer4});
  BattleStep();
  EXPECT_EQ(mine->hitState, 1);
  EXPECT_EQ(victim.mode, kBattleFight);
  BattleStep();
  EXPECT_FALSE(mine->IsAlive());
  EXPECT_EQ(CountObjects(kObjectPlayer4LargeTama3), 1);
  // Its own shots never touch it.
  const int before = victim.points;
  Player4LargeTama1::Spawn({.at = {P(3).position.x, 1.0f, P(3).position.z},
                            .heading = 0.0f,
                            .owner = kOwnerBattlePlayer4});
  BattleStep();
  EXPECT_EQ(P(3).mode, kBattleFight);
  EXPECT_EQ(victim.points, before);
}

// ---- Lock-on, jumps, walls ----

TEST_F(BattlePlayerTest, HoldingShiftLocksOnTheNearestOtherPlayer) {
  // Player 2 comes nearest to player 1, off to its left.
  P(1).position = {-3.0f, 1.0f, -6.0f};
  P(2).position = {10.0f, 1.0f, -6.0f};
  HoldAction(0, kShift);
  BattleStep(20);
  EXPECT_FLOAT_EQ(P(0).angle.y, 0.0f);  // 20 frames held: nothing yet
  BattleStep(30);
  // 1.5 degrees a frame toward 270 (the short way round).
  EXPECT_NEAR(std::fmod(P(0).angle.y + 360.0f, 360.0f), 360.0f - 45.0f, 1e-3f);
  // A side step resets the hold.
  HoldDirection(0, kLeft);
  BattleStep();
  EXPECT_EQ(P(0).lockOnHold, 0);
}

TEST_F(BattlePlayerTest, JumpsRiseAndLandAndKnockBacksBounceOffWalls) {
  HoldAction(1, kBattleActionJump);
  BattleStep();
  EXPECT_EQ(CountSound(kSoundJump), 1);
  LetGo(1);
  BattleStep(40);
  EXPECT_EQ(CountSound(kSoundLanding), 1);
  EXPECT_EQ(P(1).airborne, 0);
  EXPECT_FLOAT_EQ(P(1).position.y, 1.0f);

  // Knocked into the north wall: it bounces back with a sound.
  BattlePlayer& p = P(2);
  p.position = {0.0f, 1.0f, stagetest::kNorthWallZ - 1.6f};
  p.mode = kBattleKnockBack;
  p.SetKnockBack(0.0f, 0.4f);
  ClearSounds();
  BattleStep(10);
  EXPECT_EQ(CountSound(kSoundWallBounce), 1);
  EXPECT_LT(p.position.z, stagetest::kNorthWallZ - 1.6f);
}

// ---- Rank and result ----

TEST_F(BattlePlayerTest, RanksAndResultsWithTies) {
  const struct {
    int32_t count;
    int32_t points[kPlayers];
    int32_t ranks[kPlayers];
    bool wins[kPlayers];
  } kCases[] = {
      {4, {12, 9, 15, 3}, {2, 3, 1, 4}, {false, false, true, false}},
      {4, {12, 12, 5, 5}, {1, 1, 3, 3}, {true, true, false, false}},
      {3, {7, 8, 9, 0}, {4, 2, 1, 0}, {false, false, true, false}},
      {2, {4, 4, 0, 0}, {1, 1, 0, 0}, {true, true, false, false}},
      {2, {0, 20, 0, 0}, {4, 1, 0, 0}, {false, true, false, false}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.points[0] * 1000 + c.points[1]);
    BattlePlayer::LoadShared(c.count, players, nullptr, nullptr);
    for (int i = 0; i < c.count; ++i) P(i).points = c.points[i];
    for (int i = 0; i < c.count; ++i) {
      P(i).ComputeRank();
      EXPECT_EQ(P(i).rank, c.ranks[i]) << i;
      EXPECT_EQ(P(i).rankMarkerFrames, 0);
    }
    for (int i = 0; i < c.count; ++i) {
      P(i).Stop();
      P(i).DecideResult();
      EXPECT_EQ(P(i).IsWinner(), c.wins[i]) << i;
    }
  }
}

TEST_F(BattlePlayerTest, PointsNeverFallBelowZero) {
  P(0).AddPoints(-25);
  EXPECT_EQ(P(0).points, 0);
  P(0).AddPoints(3);
  EXPECT_EQ(P(0).points, 3);
}

// ---- Cameras ----

TEST_F(BattlePlayerTest, EachPlayersCameraLooksOverItsShoulder) {
  for (int i = 0; i < kPlayers; ++i) {
    SCOPED_TRACE(i);
    P(i).ApplyCamera();
    port::Matrix view;
    GetCameraViewMatrix(&view);
    // The player stands 4 units ahead of the eye, a little below the middle.
    const port::Vec4 seen = port::Vec3Transform(P(i).position, view);
    EXPECT_NEAR(seen.x, 0.0f, 1e-3f);
    EXPECT_NEAR(seen.y, -0.65f, 1e-3f);
    EXPECT_NEAR(seen.z, 4.0f, 1e-3f);
  }
  // Time over: the close-up swings round to the front; character 3's stays.
  for (int i = 0; i < kPlayers; ++i) P(i).Stop();
  const float yaw3 = P(2).cameraYaw;
  BattleStep(120);
  EXPECT_NEAR(std::fmod(P(0).cameraYaw + 360.0f, 360.0f), P(0).angle.y, 1e-3f);
  EXPECT_EQ(P(2).cameraYaw, yaw3);
  EXPECT_EQ(P(0).cameraMode, kBattleCameraCloseUp);
}

}  // namespace
