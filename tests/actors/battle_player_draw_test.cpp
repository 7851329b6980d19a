// The battle players on screen and in motion: the four characters in their
// own colours, the animation tracks each plays, and what a missing model set
// leaves of a player.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "support/battle_fixture.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using battletest::BattleFixture;
using battletest::kPlayers;

class BattleDraw : public BattleFixture {
 protected:
  void SetUp() override {
    BattleFixture::SetUp();
    if (HasFatalFailure()) return;
    PlaceRow();
    BattleStep(20);
  }
  // Four players in a row, facing the point of view the row is drawn from.
  void PlaceRow() {
    for (int i = 0; i < kPlayers; ++i) {
      players[i].Init(-1.8f + 1.2f * i, 1.0f, 8.0f, 180.0f, kOwnerBattlePlayer1 + i);
      players[i].StartFight();
    }
  }
  // The row seen from 8 units in front of it (through player 1's camera values).
  std::vector<uint32_t> DrawRow() {
    players[0].cameraTarget = {0.0f, 1.2f, 4.0f};
    players[0].cameraYaw = 180.0f;
    players[0].cameraPitch = 5.0f;
    return DrawFrom(0);
  }
  // The screen columns around player i as the last picture showed it.
  void Columns(int i, int* x0, int* x1) {
    const port::Vec3& p = players[i].position;
    const port::Vec3 s = ProjectToScreen(port::MatrixTranslation(p.x, p.y, p.z), g_camera.GetView(),
                                         g_camera.GetProjection());
    *x0 = std::max(0, static_cast<int>(s.x) - 45);
    *x1 = std::min(gltest::kWidth, static_cast<int>(s.x) + 45);
  }
  // Pixels in the screen column range whose colour is near (r, g, b).
  static int CountNear(const std::vector<uint32_t>& pic, int x0, int x1, uint32_t rgb) {
    int n = 0;
    const int r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    for (int y = 0; y < gltest::kHeight; ++y) {
      for (int x = x0; x < x1; ++x) {
        const uint32_t p = pic[static_cast<size_t>(y) * gltest::kWidth + x];
        const int pr = (p >> 16) & 255, pg = (p >> 8) & 255, pb = p & 255;
        if (std::abs(pr - r) < 40 && std::abs(pg - g) < 40 && std::abs(pb - b) < 40) ++n;
      }
    }
    return n;
  }
  void Save(const std::vector<uint32_t>& pic, const char* name) {
    if (const char* dir = std::getenv("POMELVANE_CHECKPOINTS")) {
      SavePng(pic, std::string(dir) + "/" + name + ".png");
    }
  }
  // Sets player i flashing in this frame.
  void Flash(int i) {
    players[i].invulnerable = 1;
    players[i].invulnerableFrames = 30;
    players[i].framesInState = 5;
  }
};

// The flash colours of characters 1 to 4.
constexpr uint32_t kFlash[kPlayers] = {0xFF00FF, 0x0000FF, 0x00FFFF, 0xFF0000};

TEST_F(BattleDraw, EachCharacterFlashesInItsOwnColour) {
  const auto plain = DrawRow();
  Save(plain, "battle_row");
  for (int i = 0; i < kPlayers; ++i) Flash(i);
  const auto flashing = DrawRow();
  Save(flashing, "battle_row_flash");
  for (int i = 0; i < kPlayers; ++i) {
    SCOPED_TRACE(i);
    int x0 = 0, x1 = 0;
    Columns(i, &x0, &x1);
    EXPECT_GT(CountNear(flashing, x0, x1, kFlash[i]), 300);
    for (int j = 0; j < kPlayers; ++j) {
      if (j == i || kFlash[j] == 0x0000FF) continue;  // blue is the sky too
      EXPECT_LT(CountNear(flashing, x0, x1, kFlash[j]), 30);
    }
    // Unflashed, the figure wears its own clothes.
    EXPECT_LT(CountNear(plain, x0, x1, kFlash[i]), 30);
  }
}

TEST_F(BattleDraw, StandAndPiyoriAreInvulnerableWithoutFlashingAndShowTheirOrnaments) {
  for (int i = 0; i < kPlayers; ++i) players[i].Stop();
  BattleStep(5);
  const auto stopped = DrawRow();
  for (int i = 0; i < kPlayers; ++i) {
    EXPECT_EQ(players[i].invulnerable, 1);
    int x0 = 0, x1 = 0;
    Columns(i, &x0, &x1);
    EXPECT_LT(CountNear(stopped, x0, x1, kFlash[i]), 30) << i;
  }
  // The rank markers and the chick sit above the heads.
  for (int i = 0; i < kPlayers; ++i) {
    players[i].state = kBattlePiyori;
    players[i].framesInState = 0;
    players[i].ComputeRank();
  }
  BattleStep(3);
  const auto dizzy = DrawRow();
  Save(dizzy, "battle_row_piyori");
  int changed = 0;
  for (size_t p = 0; p < dizzy.size(); ++p) changed += dizzy[p] != stopped[p] ? 1 : 0;
  EXPECT_GT(changed, 2000);
}

TEST_F(BattleDraw, ShotsOfEveryCharacterShowOnScreen) {
  const auto before = DrawRow();
  Player2Tama::Spawn({.at = {-1.0f, 0.8f, 6.0f}, .heading = 0.0f, .owner = kOwnerBattlePlayer2});
  Player2LargeTama1::Spawn(
      {.at = {1.0f, 0.8f, 6.0f}, .heading = 0.0f, .owner = kOwnerBattlePlayer2, .curve = 1});
  Player3LargeTama2* flame = Player3LargeTama2::Spawn(
      {.at = {2.5f, 0.3f, 6.5f}, .heading = 0.0f, .owner = kOwnerBattlePlayer3});
  Player4LargeTama1::Spawn(
      {.at = {-2.0f, 1.0f, 6.0f}, .heading = 0.0f, .owner = kOwnerBattlePlayer4});
  Player4LargeTama2::Spawn(
      {.at = {0.0f, 0.8f, 5.5f}, .heading = 0.0f, .owner = kOwnerBattlePlayer4});
  Player4LargeTama3::Spawn(
      {.at = {-3.0f, 1.0f, 7.0f}, .heading = 0.0f, .owner = kOwnerBattlePlayer4});
  for (int f = 0; f < 30; ++f) flame->Update();
  const auto shots = DrawRow();
  Save(shots, "battle_shots");
  int changed = 0;
  for (size_t p = 0; p < shots.size(); ++p) changed += shots[p] != before[p] ? 1 : 0;
  EXPECT_GT(changed, 3000);
}

// ---- Animation ----

TEST_F(BattleDraw, ShootingOnTheRunPlaysTheAttackOnTheUpperBodyOnly) {
  const struct {
    int move;  // -1 stands
    int32_t lower[kPlayers];
  } kCases[] = {
      {0, {1, 1, 1, 1}},   // running: legs run
      {-1, {4, 4, 4, 0}},  // standing: the whole body attacks, but character 4's legs
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.move);
    PlaceAll();
    BattleStep(40);
    for (int i = 0; i < kPlayers; ++i) {
      players[i].angle.y += 180.0f;  // facing out: no shot meets a player
      if (c.move >= 0) HoldDirection(i, c.move);
      HoldAction(i, kBattleActionAttack);
    }
    BattleStep(3);
    for (int i = 0; i < kPlayers; ++i) {
      EXPECT_EQ(players[i].upperTrack, 4) << i;
      EXPECT_EQ(players[i].lowerTrack, c.lower[i]) << i;
      LetGo(i);
    }
  }
}

TEST_F(BattleDraw, OneShotsHoldNearTheirEndAndCharacterThreeStandsTurnedRound) {
  BattleStep(60);
  EXPECT_NEAR(players[2].modelAngle.y, 180.0f, 1e-3f);
  EXPECT_NEAR(players[0].modelAngle.y, 0.0f, 1e-3f);
  for (int i = 0; i < kPlayers; ++i) {
    players[i].Stop();
    players[i].DecideResult();  // all tied: everyone wins
    ASSERT_TRUE(players[i].IsWinner());
  }
  BattleStep(300);
  // Win is a one-shot for characters 3 and 4 only.
  const AnimTrack& win3 = players[2].tracks[10];
  const AnimTrack& win4 = players[3].tracks[10];
  ASSERT_GT(win3.length, 0.0f);
  EXPECT_FLOAT_EQ(win3.time, win3.length * 0.99f);
  EXPECT_FLOAT_EQ(win4.time, win4.length * 0.99f);
  EXPECT_NEAR(players[3].modelAngle.y, 0.0f, 1e-3f);  // its spin ends facing front
  // A knocked-back player spins 10 degrees a frame.
  players[0].state = kBattleKnockBack;
  players[0].SetKnockBack(0.0f, 0.3f);
  const float yaw = players[0].modelAngle.y;
  BattleStep(3);
  EXPECT_NEAR(players[0].modelAngle.y - yaw, 30.0f, 1e-3f);
}

// ---- Bad input ----

TEST_F(BattleDraw, AMissingModelSetDrawsNothingAndTheMatchGoesOn) {
  players[1].LoadModel(2, 9);  // no such character
  EXPECT_EQ(players[1].character, BattlePlayer::kNoCharacter);
  {
    // A character whose files are missing.
    testsupport::TempDir empty;
    testsupport::ScopedCwd there(empty.path());
    players[2].LoadModel(2, 1);
  }
  EXPECT_FALSE(players[2].model.IsLoaded());
  PlaceRow();
  BattleStep();  // down on the floor
  for (int i = 0; i < kPlayers; ++i) Flash(i);
  const auto some = DrawRow();
  Save(some, "battle_row_missing");
  // Players 2 and 3 are gone from the picture; 1 and 4 flash as ever.
  int x0 = 0, x1 = 0;
  Columns(1, &x0, &x1);
  EXPECT_LT(CountNear(some, x0, x1, kFlash[1]), 30);
  Columns(2, &x0, &x1);
  EXPECT_LT(CountNear(some, x0, x1, kFlash[0]), 30);
  EXPECT_LT(CountNear(some, 0, gltest::kWidth, kFlash[2]), 30);
  EXPECT_GT(CountNear(some, 0, gltest::kWidth, kFlash[0]), 300);
  EXPECT_GT(CountNear(some, 0, gltest::kWidth, kFlash[3]), 300);
  // The undrawn players still move, fire nothing and take hits.
  HoldDirection(1, kPadUp);
  HoldAction(1, kBattleActionAttack);
  BattleStep(10);
  EXPECT_NEAR(players[1].position.z, 8.0f - 2.0f, 1e-3f);
  EXPECT_EQ(CountObjects(kObjectTama) + CountObjects(kObjectPlayer2Tama), 0);
  LetGo(1);
  players[2].invulnerableFrames = -1;
  AddEnemyObject(players[2].position, 0.5f, 10.0f);
  BattleStep();
  EXPECT_EQ(players[2].state, kBattleKnockBack);
  EXPECT_FLOAT_EQ(players[2].stunGauge, 10.0f);
}

}  // namespace
