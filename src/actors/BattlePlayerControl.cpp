// The battle player in the fight: the shots and the charge, movement, the
// lock-on on the nearest other player, gravity, the hits of other players'
// (and the enemy side's) objects with their points, knock-back, piyori and
// the walls.
#include "actors/BattlePlayer.h"
#include "actors/Motion.h"
#include "actors/Player1Shots.h"
#include "actors/PlayerTamas.h"
#include "actors/StageSounds.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/ObjectList.h"

namespace {

struct ControlNumbers {
  float turn = 2.0f;       // degrees a frame
  float sideStep = 0.14f;  // units a frame
  float walk = 0.14f;      // forward or back with shift
  float run = 0.2f;        // forward or back without
  int32_t dustEvery = 5;   // frames in state between dust puffs while running
  float jump = 0.4f;
  int32_t jumpRest = 20;     // frames on the ground before the next jump
  int32_t lockOnAfter = 20;  // shift held longer than this locks on
  float lockOnReach = 2000.0f;
  float lockOnTurn = 1.5f;   // degrees a frame
  int32_t shotRest = 30;     // a shot needs more frames than this since the last
  int32_t chargeAfter = 15;  // frames after a shot before the charge starts
  int32_t chargeCue = 15;    // the charge sound plays here and at charge1
  int32_t charge1 = 80;      // a release above this: large attack 1
  int32_t charge2 = 240;     // above this: large attack 2
  float stunDecay = 0.003f;  // stun gauge lost a frame
};
constexpr ControlNumbers kControl;

struct HitNumbers {
  float margin = 0.6f;  // added to an object's radius
  float knockBackPerDamage = 0.04f;
  float knockBackSlowing = 0.006f;
  float piyoriGauge = 50.0f;
  int32_t afterHitFrames = 60;  // invulnerable after a knock-back or piyori
  int32_t hitPoints = 1;        // to the owner of what knocked a player back
  int32_t piyoriPoints = 2;     // to the same owner when the victim is stunned
  int32_t piyoriLoss = 3;       // the victim's loss
  int32_t piyoriFrames = 240;
  int32_t chirpEvery = 20;
};
constexpr HitNumbers kHit;

bool Touches(const port::Vec3& p, const port::Vec3& at, float reach) {
  return Distance3(p.x, p.y, p.z, at.x, at.y, at.z) < static_cast<double>(reach);
}

}  // namespace

void BattlePlayer::CountDownInvulnerability() {
  if (invulnerableFrames >= 0) {
    invulnerable = 1;
    --invulnerableFrames;
  } else {
    invulnerable = 0;
  }
}

void BattlePlayer::DecayStun() {
  if (stunGauge > 0.0f) {
    stunGauge -= kControl.stunDecay;
  } else {
    stunGauge = 0.0f;
  }
}

void BattlePlayer::HandleAttackInput() {
  ++framesSinceShot;
  if (IsActionDown(kBattleActionAttack)) {
    if (!shotHeld && framesSinceShot > kControl.shotRest) {
      shotHeld = 1;
      g_sound.PlaySound(kSoundShot, kQuieter20dB);
      const port::Vec3& p = position;
      switch (character) {
        case 1:
          Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
          break;
        case 2:
          Player2Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
          break;
        case 3:
          Player3Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
          break;
        case 4:
          Player4Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
          break;
        default:
          break;
      }
      framesSinceShot = 0;
      if (tracks.size() > 4) tracks[4].time = 0.0f;
    } else if (framesSinceShot > kControl.chargeAfter) {
      ++charge;
      if (charge == kControl.chargeCue || charge == kControl.charge1) {
        g_sound.PlaySound(kSoundChargeLevel, kQuieter5dB);
      }
      if (charge == kControl.charge2) g_sound.PlaySound(kSoundChargeFull, kQuieter10dB);
    }
  } else {
    if (charge > kControl.charge2) {
      state = kBattleLargeAttack2;
      framesInState = 0;
    } else if (charge > kControl.charge1) {
      state = kBattleLargeAttack1;
      framesInState = 0;
    }
    shotHeld = 0;
    charge = 0;
  }
  attacking = framesSinceShot <= kControl.shotRest ? 1 : 0;
}

void BattlePlayer::HandleInput() {
  g_input.PollKeyboard();
  g_input.PollJoysticks();
  animIndex = kBattleAnimStop;
  cameraMode = kBattleCameraFollow;
  CountDownInvulnerability();
  DecayStun();
  // In the air the take-off's speed and direction stay.
  if (airborne) return;

  speed = 0.0f;
  const bool shift = IsActionDown(kBattleActionShift);
  lockOnHold = shift ? lockOnHold + 1 : 0;
  bool sideStep = false;
  const float heading = angle.y;
  if (IsDirectionDown(kPadRight)) {
    if (shift) {
      moveHeading = heading + 90.0f;
      speed = kControl.sideStep;
      animIndex = kBattleAnimSideWalk;
      sideStep = true;
    } else {
      angle.y += kControl.turn;
      animIndex = kBattleAnimWalk;
    }
  } else if (IsDirectionDown(kPadLeft)) {
    if (shift) {
      moveHeading = heading + 270.0f;
      speed = kControl.sideStep;
      animIndex = kBattleAnimSideWalk;
      sideStep = true;
    } else {
      angle.y -= kControl.turn;
      animIndex = kBattleAnimWalk;
    }
  }

  // Forward and back keep the facing; after a side step this frame they go
  // diagonally. The headings compare exactly, as the side step wrote them.
  const auto walkOrRun = [&] {
    if (shift) {
      animIndex = kBattleAnimWalk;
      speed = kControl.walk;
    } else {
      animIndex = kBattleAnimRun;
      speed = kControl.run;
      if (framesInState % kControl.dustEvery == 0) SpawnRunDust(position);
    }
  };
  if (IsDirectionDown(kPadUp)) {
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
  if (IsDirectionDown(kPadDown)) {
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

  if (IsActionDown(kBattleActionJump) && framesOnGround >= kControl.jumpRest) {
    g_sound.PlaySound(kSoundJump, kQuieter10dB);
    verticalSpeed += kControl.jump;
  }

  if (!shift || sideStep) lockOnHold = 0;
  if (lockOnHold > kControl.lockOnAfter) LockOn();
}

void BattlePlayer::LockOn() {
  BattlePlayer* players = Players();
  const int32_t count = PlayerCount();
  const BattlePlayer* nearest = nullptr;
  double best = kControl.lockOnReach;
  // Every other player counts, standing or not.
  for (int32_t i = 0; players && i < count; ++i) {
    const BattlePlayer& other = players[i];
    if (&other == this) continue;
    const port::Vec3& p = other.position;
    const double d = Distance3(position.x, position.y, position.z, p.x, p.y, p.z);
    if (d < best) {
      best = d;
      nearest = &other;
    }
  }
  if (!nearest) return;
  animIndex = kBattleAnimWalk;
  angle.y = TurnToward(YawTo(position.x, position.z, nearest->position.x, nearest->position.z),
                       angle.y, kControl.lockOnTurn);
}

void BattlePlayer::ApplyGravity(float ground) {
  const GravityStep step = ::ApplyGravity(ground, &position, &verticalSpeed, &airborne);
  if (step == GravityStep::kStanding) return;
  framesOnGround = 0;
  if (state == kBattleFight || state == kBattleStart) animIndex = kBattleAnimJump;
}

// Every object of another owner that touches the player is marked hit, even
// while the player is invulnerable (invulnerable players still eat shots and
// set off mines); only a player that can be hurt is knocked back, by the
// first such touch of the frame.
void BattlePlayer::CheckHits() {
  const size_t count = g_objects.Size();
  for (size_t i = 0; i < count; ++i) {
    DynamicObject* o = g_objects.At(i);
    if (!o || !o->IsAlive() || o->GetOwner() == id) continue;
    const float reach = o->GetRadius() + kHit.margin;
    port::Vec3 at;
    o->GetPosition(&at);
    if (Touches(position, at, reach)) {
      o->SetHit(1);
      if (!invulnerable) {
        KnockBackFrom(*o);
        return;
      }
    }
    for (const port::Vec3* e = o->GetExtraPointsBegin(); e != o->GetExtraPointsEnd(); ++e) {
      if (!Touches(position, *e, reach)) continue;
      o->SetHit(1);
      if (!invulnerable) {
        KnockBackFrom(*o);
        return;
      }
    }
  }
}

void BattlePlayer::KnockBackFrom(const DynamicObject& object) {
  // The frames in state run on.
  state = kBattleKnockBack;
  port::Vec3 at;
  object.GetPosition(&at);
  SetKnockBack(YawTo(at.x, at.z, position.x, position.z),
               object.GetDamage() * kHit.knockBackPerDamage);
  lastAttacker = object.GetOwner();
  stunGauge += object.GetDamage();
  GivePoints(lastAttacker, kHit.hitPoints);
}

void BattlePlayer::UpdateKnockBack() {
  speed -= kHit.knockBackSlowing;
  charge = 0;
  invulnerable = 1;
  cameraMode = kBattleCameraFollow;
  animIndex = kBattleAnimDamage;
  if (speed > 0.0f) return;
  if (stunGauge < kHit.piyoriGauge) {
    speed = 0.0f;
    state = kBattleFight;
    invulnerable = 1;
    invulnerableFrames = kHit.afterHitFrames;
    return;
  }
  framesInState = 0;
  state = kBattlePiyori;
  AddPoints(-kHit.piyoriLoss);
  stunGauge = 0.0f;
  GivePoints(lastAttacker, kHit.piyoriPoints);
}

void BattlePlayer::UpdateStunned() {
  invulnerable = 1;
  invulnerableFrames = 0;
  animIndex = kBattleAnimPiyori;
  speed = 0.0f;
  cameraMode = kBattleCameraOrbit;
  if (framesInState % kHit.chirpEvery == 1) g_sound.PlaySound(kSoundPiyori, kQuieter20dB);
  if (framesInState > kHit.piyoriFrames) {
    framesInState = 0;
    state = kBattleFight;
    invulnerable = 1;
    invulnerableFrames = kHit.afterHitFrames;
  }
}

void BattlePlayer::CollideField(const port::Vec3& d) {
  // Battle players judge each probe by its own direction.
  const WallResponse r = CollideWithWalls(&position, previousPosition, d, speed, angle.x, angle.z,
                                          state == kBattleKnockBack, WallTest::kProbeDirection);
  if (r.bounced) moveHeading = YawTo(0.0f, 0.0f, r.reflected.x, r.reflected.z);
}
