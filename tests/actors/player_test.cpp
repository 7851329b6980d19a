// The stage player's mode machine driven frame by frame: shots and their
// spacing, the charge and its thresholds, both large attacks, knock-back,
// the stun gauge and piyori, the end poses, lock-on, and pad 0's buttons.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/Player1Shots.h"
#include "actors/SokaiCounters.h"
#include "actors/StageSounds.h"
#include "platform/InputDevice.h"
#include "port/input.h"
#include "support/stage_fixture.h"
#include "world/ObjectList.h"

namespace {

using stagetest::StageFixture;

class PlayerModes : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    Stand();
  }
  // Back in the middle, standing in control, invulnerability worn off.
  void Stand(float heading = 0.0f) {
    player.Place(0.0f, stagetest::kStandY, 0.0f, heading);
    Step(2);
    ClearSounds();
  }
  // Holds the attack for `frames` frames, then lets go for one frame.
  void HoldAttack(int frames) {
    Hold(port::kKeyZ);
    Step(frames);
    Let(port::kKeyZ);
    Step();
  }
  std::vector<int> SoundFrames(int id) const {
    std::vector<int> f;
    for (const stagetest::SoundEvent& s : sounds) {
      if (s.id == id) f.push_back(s.frame);
    }
    return f;
  }
};

TEST_F(PlayerModes, APressFiresOneTamaAndShotsAreAtLeast21FramesApart) {
  Hold(port::kKeyZ);
  Step();
  ASSERT_EQ(CountObjects(kObjectTama), 1);
  const auto* tama = dynamic_cast<const Tama*>(g_objects.At(0));
  ASSERT_NE(tama, nullptr);
  EXPECT_EQ(tama->owner, kOwnerPlayer);
  EXPECT_FLOAT_EQ(tama->rotation.y, player.angle.y);
  ASSERT_NE(FirstSound(kSoundShot), nullptr);
  EXPECT_EQ(FirstSound(kSoundShot)->volume, -2000);
  EXPECT_EQ(player.attackPose, 1);
  const int first = frame;

  // Held on: no second shot. Let go and pressed again at once: the second
  // shot waits until 21 frames have passed.
  Step(5);
  Let(port::kKeyZ);
  Step();
  Hold(port::kKeyZ);
  Step(20);
  EXPECT_EQ(SoundFrames(kSoundShot), (std::vector<int>{first, first + 21}));
  EXPECT_EQ(CountObjects(kObjectTama), 2);
  Let(port::kKeyZ);
  Step(21);
  EXPECT_EQ(player.attackPose, 0);
}

struct ChargeCase {
  int charge;  // frames charged when the attack is let go
  int32_t mode;
  int cueSounds;   // sound 27 at charge 15 and 80
  int fullSounds;  // sound 12 at charge 240
};

TEST_F(PlayerModes, LettingGoOfAChargeStartsTheLargeAttackItReached) {
  const ChargeCase cases[] = {
      {14, kPlayerControl, 0, 0},       {15, kPlayerControl, 1, 0},
      {80, kPlayerControl, 2, 0},       {81, kPlayerLargeAttack1, 2, 0},
      {240, kPlayerLargeAttack1, 2, 1}, {241, kPlayerLargeAttack2, 2, 1},
  };
  for (const ChargeCase& c : cases) {
    SCOPED_TRACE(c.charge);
    Stand();
    // The press fires; the charge starts 16 frames later.
    Hold(port::kKeyZ);
    Step(16 + c.charge);
    EXPECT_EQ(player.charge, c.charge);
    Let(port::kKeyZ);
    Step();
    EXPECT_EQ(player.mode, c.mode);
    if (c.mode != kPlayerControl) {
      EXPECT_EQ(player.modeFrame, 0);
    }
    EXPECT_EQ(player.charge, 0);
    EXPECT_EQ(CountSound(kSoundChargeLevel), c.cueSounds);
    EXPECT_EQ(CountSound(kSoundChargeFull), c.fullSounds);
    if (c.cueSounds) {
      EXPECT_EQ(FirstSound(kSoundChargeLevel)->volume, -500);
    }
  }
}

TEST_F(PlayerModes, LargeAttack1ThrowsAtFrame35StepsBackAndEndsAtFrame60) {
  HoldAttack(16 + 81);
  ASSERT_EQ(player.mode, kPlayerLargeAttack1);
  const float z = player.position.z;
  const int thrown = StepUntil([&] { return CountObjects(kObjectPlayer1LargeTama1) == 1; }, 60);
  EXPECT_EQ(thrown, 35);
  EXPECT_EQ(player.animId, kAnimLargeAttack1);
  ASSERT_NE(FirstSound(kSoundLargeShot), nullptr);
  EXPECT_EQ(FirstSound(kSoundLargeShot)->frame, frame);
  EXPECT_EQ(FirstSound(kSoundLargeShot)->volume, -1000);
  const int back = StepUntil([&] { return player.mode == kPlayerControl; }, 60);
  EXPECT_EQ(thrown + back, 60);
  EXPECT_EQ(player.modeFrame, 0);
  // 0.05 a frame backwards over mode frames 31 to 50.
  EXPECT_NEAR(player.position.z, z - 1.0f, 1e-3f);
  for (size_t i = 0; i < g_objects.Size(); ++i) {
    if (const auto* b = dynamic_cast<const Player1LargeTama1*>(g_objects.At(i))) {
      EXPECT_EQ(b->battleMode, 0);
      EXPECT_EQ(b->owner, kOwnerPlayer);
    }
  }
}

TEST_F(PlayerModes, LargeAttack2HopsHangsInTheAirAndLaunchesAtFrame30) {
  HoldAttack(16 + 241);
  ASSERT_EQ(player.mode, kPlayerLargeAttack2);
  ClearSounds();
  const float z = player.position.z;
  Step();
  EXPECT_EQ(CountSound(kSoundJump), 1);
  EXPECT_EQ(player.airborne, 1);
  const int launched = StepUntil([&] { return CountObjects(kObjectPlayer1LargeTama2) == 1; }, 60);
  EXPECT_EQ(launched + 1, 30);
  // Hanging: it does not come down before mode frame 50.
  const float high = player.position.y;
  Step(19);
  EXPECT_EQ(player.modeFrame, 49);
  EXPECT_GE(player.position.y, high);
  EXPECT_GT(player.position.y, stagetest::kStandY + 1.0f);
  EXPECT_EQ(StepUntil([&] { return player.mode == kPlayerControl; }, 20), 11);
  // 0.2 a frame backwards over mode frames 31 to 50.
  EXPECT_NEAR(player.position.z, z - 4.0f, 1e-3f);
  StepUntil([&] { return !player.airborne; }, 100);
  EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);
}

TEST_F(PlayerModes, InTheSokaiStageAPressThrowsTheBurstingShotAndNothingCharges) {
  SokaiCounters counters;
  counters.combo = 7;
  Player1TamaBurst::SetContext(device, &counters);
  player.sokai = 1;
  Hold(port::kKeyZ);
  Step();
  EXPECT_EQ(player.mode, kPlayerLargeAttack1);
  EXPECT_EQ(CountObjects(kObjectTama), 0);
  Step(35);
  EXPECT_EQ(CountObjects(kObjectPlayer1LargeTama3), 1);
  EXPECT_EQ(CountObjects(kObjectPlayer1LargeTama1), 0);
  // The shot bursts after 10 frames of flight.
  const int burst = StepUntil([&] { return CountObjects(kObjectPlayer1TamaBurst) == 1; }, 30);
  EXPECT_EQ(burst, 10);
  EXPECT_EQ(CountSound(kSoundBurst), 1);
  EXPECT_EQ(counters.bursts, 1);
  EXPECT_EQ(counters.combo, 0);
  StepUntil([&] { return player.mode == kPlayerControl; }, 60);
  Step(300);
  EXPECT_EQ(player.charge, 0);
  Player1TamaBurst::SetContext(nullptr, nullptr);
}

struct HitCase {
  float damage;
  float speed;  // of the knock-back
  int frames;   // until back in control
};

TEST_F(PlayerModes, AnEnemyObjectKnocksThePlayerAwayByItsDamage) {
  const HitCase cases[] = {{10.0f, 0.4f, 67}, {25.0f, 1.0f, 167}, {40.0f, 1.0f, 167}};
  for (const HitCase& c : cases) {
    SCOPED_TRACE(c.damage);
    Stand();
    player.stunGauge = 0.0f;
    // Behind the player and a little to its left: pushed forward and right.
    stagetest::EnemyObject* o = AddEnemyObject({-0.3f, 1.0f, -0.4f}, 0.5f, c.damage);
    Step();
    EXPECT_EQ(o->hits, 1);
    o->alive = 0;
    ASSERT_EQ(player.mode, kPlayerKnockBack);
    EXPECT_FLOAT_EQ(player.speed, c.speed);
    EXPECT_FLOAT_EQ(player.stunGauge, c.damage);
    EXPECT_GT(player.position.z, 0.0f);
    EXPECT_GT(player.position.x, 0.0f);
    Step();
    EXPECT_EQ(player.invulnerable, 1);
    const int back = StepUntil([&] { return player.mode == kPlayerControl; }, 300);
    EXPECT_EQ(back + 1, c.frames);
    // The mode frame runs on through the return.
    EXPECT_EQ(player.modeFrame, c.frames);
    EXPECT_EQ(player.invulnerableFrames, 60);
  }
}

TEST_F(PlayerModes, InvulnerableFramesKeepHitsOffAndOnlyOneHitCountsAFrame) {
  player.invulnerableFrames = 30;
  stagetest::EnemyObject* first = AddEnemyObject(player.position, 0.5f, 10.0f);
  stagetest::EnemyObject* second = AddEnemyObject(player.position, 0.5f, 10.0f);
  const int hit = StepUntil([&] { return player.mode == kPlayerKnockBack; }, 60);
  EXPECT_EQ(hit, 32);  // 31 frames counted down, then open
  EXPECT_EQ(first->hits, 1);
  EXPECT_EQ(second->hits, 0);
  EXPECT_FLOAT_EQ(player.stunGauge, 10.0f);

  // The player's own shots never touch it.
  first->alive = second->alive = 0;
  Stand();
  Tama::Spawn({.at = player.position, .heading = 180.0f, .owner = kOwnerPlayer});
  Step();
  EXPECT_EQ(player.mode, kPlayerControl);
}

TEST_F(PlayerModes, AKnockBackEndingAtGauge50StunsThePlayerFor300Frames) {
  struct Case {
    float gauge;
    int32_t after;
  };
  // The gauge is compared when the knock-back ends (it does not decay meanwhile).
  for (const Case c : {Case{49.99f, kPlayerControl}, Case{50.0f, kPlayerPiyori}}) {
    SCOPED_TRACE(c.gauge);
    Stand();
    AddEnemyObject({0.0f, 1.0f, -0.4f}, 0.5f, 10.0f);
    Step();
    for (size_t i = 0; i < g_objects.Size(); ++i) g_objects.At(i)->SetAlive(0);
    player.stunGauge = c.gauge;
    StepUntil([&] { return player.mode != kPlayerKnockBack; }, 100);
    EXPECT_EQ(player.mode, c.after);
  }
  EXPECT_FLOAT_EQ(player.stunGauge, 0.0f);
  EXPECT_EQ(player.modeFrame, 0);
  ClearSounds();
  Hold(port::kKeyUp);
  Hold(port::kKeyZ);
  const int woke = StepUntil([&] { return player.mode == kPlayerControl; }, 400);
  EXPECT_EQ(woke, 301);
  // Stunned: no shots, no steps, a chirp every 20 frames.
  EXPECT_EQ(CountSound(kSoundShot), 0);
  EXPECT_EQ(CountSound(kSoundPiyori), 16);  // mode frames 1, 21, ..., 301
  EXPECT_EQ(FirstSound(kSoundPiyori)->volume, -2000);
  EXPECT_EQ(player.invulnerableFrames, 60);
  EXPECT_EQ(player.position.z, player.previousPosition.z);
}

TEST_F(PlayerModes, AHitDuringALargeAttackCancelsItsThrow) {
  HoldAttack(16 + 100);
  ASSERT_EQ(player.mode, kPlayerLargeAttack1);
  Step(10);
  AddEnemyObject(player.position, 0.5f, 10.0f);
  Step();
  EXPECT_EQ(player.mode, kPlayerKnockBack);
  for (size_t i = 0; i < g_objects.Size(); ++i) g_objects.At(i)->SetAlive(0);
  Step(100);
  EXPECT_EQ(CountObjects(kObjectPlayer1LargeTama1, false), 0);
}

TEST_F(PlayerModes, TheEndPosesHoldTheirAnimationAndCameraUntilPlacedAgain) {
  struct Case {
    void (*set)(Player&);
    int32_t mode, anim, cameraMode;
  };
  const Case cases[] = {
      {[](Player& p) { p.SetTimeUp(); }, kPlayerTimeUp, kAnimTimeUp, kCameraEnd},
      {[](Player& p) { p.SetGameOver(); }, kPlayerGameOver, kAnimGameOver, kCameraEnd},
      {[](Player& p) { p.SetClear(); }, kPlayerClear, kAnimGameClear, kCameraClear}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Stand();
    Hold(port::kKeyUp);
    Step(5);
    const int32_t modeFrame = player.modeFrame;
    c.set(player);
    EXPECT_EQ(player.modeFrame, modeFrame);
    const port::Vec3 at = player.position;
    Step(100);
    EXPECT_EQ(player.mode, c.mode);
    EXPECT_EQ(player.animId, c.anim);
    EXPECT_EQ(player.cameraMode, c.cameraMode);
    EXPECT_EQ(player.invulnerable, 1);
    EXPECT_EQ(player.invulnerableFrames, 0);
    EXPECT_FLOAT_EQ(player.position.z, at.z);
    LetAll();
  }
  Stand();
  EXPECT_EQ(player.mode, kPlayerControl);
}

TEST_F(PlayerModes, ShiftHeldPast20FramesTurnsTowardTheNearestLivingEnemy) {
  // Two enemies, at 45 and 315 degrees; the one on the right is nearer.
  stagetest::DummyEnemy* right = AddEnemy({6.0f, 1.0f, 6.0f});
  stagetest::DummyEnemy* left = AddEnemy({-9.0f, 1.0f, 9.0f});
  Hold(port::kKeyX);
  Step(20);
  EXPECT_FLOAT_EQ(player.angle.y, 0.0f);
  Step();
  EXPECT_NEAR(player.angle.y, 1.2f, 1e-4f);
  EXPECT_EQ(player.animId, kAnimWalk);
  Step(9);
  EXPECT_NEAR(player.angle.y, 12.0f, 1e-3f);

  // The nearer one gone, it turns to the other.
  right->alive = 0;
  Step(10);
  EXPECT_LT(player.angle.y, 12.0f);

  // None alive: no turning. A side step breaks the hold.
  left->alive = 0;
  const float h = player.angle.y;
  Step(10);
  EXPECT_FLOAT_EQ(player.angle.y, h);
  left->alive = 1;
  Hold(port::kKeyRight);
  Step(30);
  EXPECT_EQ(player.lockOnHold, 0);
  EXPECT_FLOAT_EQ(player.angle.y, h);
}

TEST_F(PlayerModes, PadZeroButtonsFollowTheAssignment) {
  EXPECT_EQ(player.GetButton(kActionAttack), 0);
  EXPECT_EQ(player.GetButton(kActionShift), 1);
  EXPECT_EQ(player.GetButton(kActionJump), 2);
  player.SetButton(kActionAttack, 5);
  player.SetButton(kActionJump, 127);
  player.SetButton(3, 9);  // no such action
  player.SetButton(-1, 9);
  EXPECT_EQ(player.GetButton(kActionAttack), 5);
  EXPECT_EQ(player.GetButton(3), 0);
  EXPECT_EQ(player.GetButton(-1), 0);

  HoldPadButton(0);
  Step(3);
  EXPECT_EQ(CountSound(kSoundShot), 0);
  HoldPadButton(5);
  Step();
  EXPECT_EQ(CountSound(kSoundShot), 1);
  HoldPadButton(127);
  Step();
  EXPECT_EQ(CountSound(kSoundJump), 1);

  // A button number no pad has (a damaged option file) is never down.
  player.SetButton(kActionShift, 100000);
  player.SetButton(kActionJump, -4);
  LetAll();
  Step(40);
  HoldPadDirection(kPadRight);
  Step(5);
  EXPECT_NEAR(player.angle.y, 10.0f, 1e-4f);  // turning, not side-stepping
  EXPECT_EQ(CountSound(kSoundJump), 1);
}

TEST_F(PlayerModes, PositionalSoundsAreHeardFromThePlayer) {
  player.Place(5.0f, stagetest::kStandY, 6.0f, 0.0f);
  EXPECT_EQ(g_sound.ListenerPosition(), (port::Vec3{5.0f, stagetest::kStandY, 6.0f}));
  Hold(port::kKeyUp);
  Step(10);
  EXPECT_EQ(g_sound.ListenerPosition(), player.position);
  LetAll();
  // Sounds 10 units away are full, beyond they fade.
  g_sound.PlaySoundAt(player.position.x, player.position.y, player.position.z + 9.0f, kSoundHit,
                      -1000);
  g_sound.PlaySoundAt(player.position.x + 20.0f, player.position.y, player.position.z,
                      kSoundLanding, -1000);
  Step();
  EXPECT_EQ(FirstSound(kSoundHit)->volume, -1000);
  EXPECT_EQ(FirstSound(kSoundLanding)->volume, -1000 - 660);
  player.Release();
  EXPECT_EQ(g_sound.ListenerPosition(), port::Vec3{});
}

}  // namespace
