// The stage player in control: the keys and pad 0, the shots and the charge,
// the lock-on, the hits of enemy objects, walls and gravity.
#include "actors/Motion.h"
#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "actors/StageSounds.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/CharacterList.h"
#include "world/ObjectList.h"

namespace {

struct ControlNumbers {
  float turn = 2.0f;         // degrees a frame
  float sideStep = 0.15f;    // units a frame
  float walk = 0.15f;        // forward or back with shift
  float run = 0.3f;          // forward or back without
  int32_t dustEvery = 5;     // mode frames between dust puffs while running
  float jump = 0.4f;         // vertical speed of a jump
  int32_t jumpRest = 20;     // frames on the ground before the next jump
  int32_t lockOnAfter = 20;  // shift held longer than this locks on
  float lockOnReach = 2000.0f;
  float lockOnTurn = 1.2f;   // degrees a frame
  int32_t shotRest = 21;     // frames between shots
  int32_t chargeAfter = 15;  // frames after a shot before the charge starts
  int32_t charge1 = 80;      // a release above this throws large attack 1
  int32_t charge2 = 240;     // above this large attack 2
  int32_t chargeCue = 15;    // the charge sound also plays here
  float hitMargin = 0.3f;    // added to an object's radius
  float knockBackPerDamage = 0.04f;
};
constexpr ControlNumbers kControl;

bool IsHeld(int key, int32_t button) {
  return g_input.IsKeyDown(key) || g_input.IsPadButton(0, button);
}

bool IsDirection(int key, int padDirection) {
  return g_input.IsKeyDown(key) || g_input.IsPadDirection(0, padDirection);
}

}  // namespace

void Player::HandleMoveInput() {
  g_input.PollKeyboard();
  g_input.PollJoysticks();
  animId = kAnimStop;
  cameraMode = kCameraFollow;
  CountDownInvulnerability();
  // In the air the jump's speed and direction stay.
  if (airborne) return;

  speed = 0.0f;
  const bool shift = IsHeld(port::kKeyX, padButtons[kActionShift]);
  lockOnHold = shift ? lockOnHold + 1 : 0;
  bool sideStep = false;
  const float heading = angle.y;
  if (IsDirection(port::kKeyRight, kPadRight)) {
    if (shift) {
      moveHeading = heading + 90.0f;
      speed = kControl.sideStep;
      animId = kAnimSideWalk;
      sideStep = true;
    } else {
      angle.y += kControl.turn;
      animId = kAnimWalk;
    }
  } else if (IsDirection(port::kKeyLeft, kPadLeft)) {
    if (shift) {
      moveHeading = heading + 270.0f;
      speed = kControl.sideStep;
      animId = kAnimSideWalk;
      sideStep = true;
    } else {
      angle.y -= kControl.turn;
      animId = kAnimWalk;
    }
  }

  // Forward and back keep the facing; after a side step this frame they go
  // diagonally. The headings compare exactly, as the side step wrote them.
  const auto walkOrRun = [&] {
    if (shift) {
      animId = kAnimWalk;
      speed = kControl.walk;
    } else {
      animId = kAnimRun;
      speed = kControl.run;
      if (modeFrame % kControl.dustEvery == 0) SpawnRunDust(position);
    }
  };
  if (IsDirection(port::kKeyUp, kPadUp)) {
    walkOrRun();
    const float h = angle.y;
    if (moveHeading == h + 90.0f) {
      moveHeading = h + 45.0f;
    } else if (moveHeading == h + 270.0f) {
      moveHeading = h + 315.0f;
    } else {
      moveHeading = h;
    }
  }
  if (IsDirection(port::kKeyDown, kPadDown)) {
    walkOrRun();
    const float h = angle.y;
    if (moveHeading == h + 90.0f) {
      moveHeading = h + 135.0f;
    } else if (moveHeading == h + 270.0f) {
      moveHeading = h + 225.0f;
    } else {
      moveHeading = h + 180.0f;
    }
  }

  if (IsHeld(port::kKeyC, padButtons[kActionJump]) && framesSinceJump >= kControl.jumpRest) {
    g_sound.PlaySound(kSoundJump, kQuieter10dB);
    verticalSpeed += kControl.jump;
  }

  if (!shift || sideStep) lockOnHold = 0;
  if (lockOnHold > kControl.lockOnAfter) LockOn();
}

void Player::HandleAttackInput() {
  ++framesSinceAttack;
  if (!IsHeld(port::kKeyZ, padButtons[kActionAttack])) {
    if (charge > kControl.charge2) {
      mode = kPlayerLargeAttack2;
      modeFrame = 0;
    } else if (charge > kControl.charge1) {
      mode = kPlayerLargeAttack1;
      modeFrame = 0;
    }
    attackLatch = 0;
    charge = 0;
  } else if (!attackLatch && framesSinceAttack >= kControl.shotRest) {
    attackLatch = 1;
    if (sokai) {
      // The sokai stage has one attack, thrown on the press.
      mode = kPlayerLargeAttack1;
      modeFrame = 0;
    } else {
      g_sound.PlaySound(kSoundShot, kQuieter20dB);
      Tama::Spawn({.at = position, .heading = angle.y, .owner = kOwnerPlayer});
    }
    framesSinceAttack = 0;
  } else if (framesSinceAttack > kControl.chargeAfter && !sokai) {
    ++charge;
    if (charge == kControl.chargeCue || charge == kControl.charge1) {
      g_sound.PlaySound(kSoundChargeLevel, kQuieter5dB);
    }
    if (charge == kControl.charge2) g_sound.PlaySound(kSoundChargeFull, kQuieter10dB);
  }
  attackPose = framesSinceAttack < kControl.shotRest ? 1 : 0;
}

void Player::LockOn() {
  const Character* best = nullptr;
  double bestScore = kControl.lockOnReach;
  float bestYaw = 0.0f;
  g_characters.ForEach([&](Character* c) {
    if (!c->IsAlive()) return;
    port::Vec3 p;
    c->GetPosition(&p);
    const float yaw = YawTo(position.x, position.z, p.x, p.z);
    const double score = AngleDistance(angle.y, yaw) * 0.1f +
                         Distance3(position.x, position.y, position.z, p.x, p.y, p.z);
    if (score < bestScore) {
      best = c;
      bestScore = score;
      bestYaw = yaw;
    }
  });
  if (!best) return;
  animId = kAnimWalk;
  angle.y = TurnToward(bestYaw, angle.y, kControl.lockOnTurn);
}

void Player::CheckHits() {
  if (invulnerable) return;
  const size_t count = g_objects.Size();
  for (size_t i = 0; i < count; ++i) {
    DynamicObject* o = g_objects.At(i);
    if (!o || !o->IsAlive() || o->GetOwner() == id) continue;
    if (!ObjectTouches(*o, position, kControl.hitMargin)) continue;
    o->SetHit(1);
    modeFrame = 0;
    mode = kPlayerKnockBack;
    port::Vec3 at;
    o->GetPosition(&at);
    SetKnockBack(YawTo(at.x, at.z, position.x, position.z),
                 o->GetDamage() * kControl.knockBackPerDamage);
    stunGauge += o->GetDamage();
    return;  // one hit a frame
  }
}

void Player::CollideStage(const port::Vec3& d) {
  const WallResponse r = CollideWithWalls(&position, previousPosition, d, speed, angle.x, angle.z,
                                          mode == kPlayerKnockBack, WallTest::kMoveDirection);
  if (r.bounced) moveHeading = YawOfVector(r.reflected.x, r.reflected.y, r.reflected.z);
}

void Player::ApplyGravity(float ground) {
  const GravityStep step = ::ApplyGravity(ground, &position, &verticalSpeed, &airborne);
  if (step == GravityStep::kStanding) return;
  framesSinceJump = 0;
  if (mode < kPlayerKnockBack || mode > kPlayerPiyori) animId = kAnimJump;
}
