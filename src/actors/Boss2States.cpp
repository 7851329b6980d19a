// Boss 2's state routines.
#include "actors/Boss2.h"
#include "actors/Boss2Numbers.h"
#include "actors/EnemyTama.h"
#include "actors/LargeBalls.h"
#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "world/LineEffect.h"
#include "world/ParticleEffect.h"

using namespace boss2;

void Boss2::RunState() {
  switch (state) {
    case kBoss2Stand:
      StateStand();
      break;
    case kBoss2SideWalk:
      StateSideWalk();
      break;
    case kBoss2BackJump:
      StateJump();
      break;
    case kBoss2BackWalk:
      StateWalk();
      break;
    case kBoss2SideStep:
      StateSideStep();
      break;
    case kBoss2Jump:
      StateJump2();
      break;
    case kBoss2Spray:
      StateSpray();
      break;
    case kBoss2Attack:
      StateAttack();
      break;
    case kBoss2LargeAttack:
      StateLargeAttack();
      break;
    case kBoss2Levy:
      StateLevy();
      break;
    case kBoss2Damage:
      StateDamage();
      break;
    case kBoss2Dying:
      StateDying();
      break;
    default:
      StateThink();
      break;
  }
}

void Boss2::StateThink() {
  const int32_t f = ++stateFrame;
  Countdown();
  if (f == 1) {
    SetAnimation(kAnimRun);
    armour = 0;
  }
  if (f == kState.largeAttackAfter) SetState(kBoss2LargeAttack);
  if (OneIn(kState.voiceOdds)) Sound(kSoundEnemyIdle, kVoiceOffset);
  const bool settled = f > kState.settled;
  if (!roused) {
    if (OneIn(kState.newTargetOdds)) targetHeading = static_cast<float>(RandomInt(360));
    angle.y = moveHeading = TurnToward(targetHeading, angle.y, kState.wanderTurn);
    speed = kState.wanderSpeed;
    if (OneIn(kState.standOdds)) SetState(kBoss2Stand);
    if (OneIn(kState.calmLevyOdds)) SetState(kBoss2Levy);
    if (OneIn(kState.calmShotOdds)) SetSubAction(kBoss2Shot);
    if (OneIn(kState.calmJumpOdds)) SetState(kBoss2Jump);
    if (AngleDistance(angle.y, YawToPlayer()) < kState.noticeAngle &&
        DistanceToPlayer() < kState.noticeRange) {
      roused = 1;
    }
    return;
  }
  const float aim = YawToPlayer() - static_cast<float>(kState.chaseWobble / 2) +
                    static_cast<float>(RandomInt(kState.chaseWobble));
  angle.y = moveHeading = TurnToward(aim, angle.y, kState.chaseTurn);
  if (f % kState.dustEvery == 0) SpawnRunDust(position);
  const double d = DistanceToPlayer();
  if (d > kState.farOff) {
    speed = kState.farSpeed;
  } else if (d > kState.midRange) {
    speed = kState.midSpeed;
  }
  if (d < kState.jumpBackRange && OneIn(kState.jumpBackOdds)) SetState(kBoss2BackJump);
  if ((wallContact && settled) || OneIn(kState.jumpOdds)) SetState(kBoss2Jump);
  if (OneIn(kState.stepOdds) || (hitPoints <= kState.weakHitPoints && OneIn(kState.weakStepOdds)))
    SetState(kBoss2SideStep);
  if (OneIn(kState.levyOdds) && settled) SetState(kBoss2Levy);
  if (d < kState.sideWalkRange) {
    // A draw without effect, kept so that the sequence of draws stays.
    if (d < kState.closeRange) OneIn(kState.closeOdds);
    SetState(kBoss2SideWalk);
  }
  if (OneIn(kState.largeOdds) && settled) SetState(kBoss2LargeAttack);
  if (OneIn(kState.sprayOdds) && settled) SetState(kBoss2Spray);
  if (OneIn(kState.attackOdds) && settled) SetState(kBoss2Attack);
  if (OneIn(kState.shotOdds)) SetSubAction(kBoss2Shot);
  if (OneIn(kState.pairOdds)) SetSubAction(kBoss2Pair);
}

void Boss2::StateStand() {
  const int32_t f = ++stateFrame;
  Countdown();
  if (f == 1) SetAnimation(kAnimStop);
  if (f == kState.standEnd) {
    SetState(kBoss2Levy);
    return;
  }
  if (OneIn(kState.voiceOdds)) Sound(kSoundEnemyIdle, kVoiceOffset);
  speed = 0.0f;
  angle.y += kState.lookRound;
  if (AngleDistance(angle.y, YawToPlayer()) < kState.standNoticeAngle &&
      DistanceToPlayer() < kState.standNoticeRange) {
    SetState(RandomInt(2) == 0 ? kBoss2Think : kBoss2SideWalk);
    roused = 1;
  }
}

void Boss2::StateSideWalk() {
  const int32_t f = ++stateFrame;
  Countdown();
  if (f == 1) SetAnimation(kAnimSideWalk);
  if (OneIn(kState.voiceOdds)) Sound(kSoundEnemyIdle, kVoiceOffset);
  angle.y = TurnToward(YawToPlayer(), angle.y, kState.sideTurn);
  if (f % kState.flipEvery == 0 || OneIn(kState.flipOdds) || wallContact) side ^= 1;
  speed = kState.sideSpeed;
  moveHeading = angle.y + 90.0f + 180.0f * static_cast<float>(side);
  const bool settled = f > kState.settled;
  if (DistanceToPlayer() < kState.jumpBackRange && OneIn(kState.jumpBackOdds))
    SetState(kBoss2BackJump);
  if (OneIn(kState.sideThinkOdds)) SetState(kBoss2Think);
  if (OneIn(kState.sideStepOdds)) SetState(kBoss2SideStep);
  if (OneIn(kState.largeOdds) && settled) SetState(kBoss2LargeAttack);
  if (OneIn(kState.sprayOdds) && settled) SetState(kBoss2Spray);
  if (OneIn(kState.attackOdds) && settled) SetState(kBoss2Attack);
  if (OneIn(kState.sideLevyOdds)) SetState(kBoss2Levy);
  if (OneIn(kState.sideJumpOdds)) SetState(kBoss2Jump);
  if (OneIn(kState.shotOdds)) SetSubAction(kBoss2Shot);
  if (OneIn(kState.pairOdds)) SetSubAction(kBoss2Pair);
}

void Boss2::StateJump() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetSubAction(RandomInt(2) == 0 ? kBoss2Shot : kBoss2Pair);
    Sound(kSoundJump, kShotOffset);
    verticalSpeed += kState.jumpPush;
    SetAnimation(kAnimJump);
    airborne = 1;
  }
  speed = kState.backSpeed;
  moveHeading = angle.y + 180.0f;
  if (!airborne) SetState(roused && RandomInt(2) == 0 ? kBoss2SideWalk : kBoss2Think);
}

void Boss2::StateWalk() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimWalk);
    SetSubAction(kBoss2Pair);
  }
  if (f == kState.backWalkEnd) SetState(kBoss2Think);
  speed = kState.backWalkSpeed;
  moveHeading = angle.y + 180.0f;
}

void Boss2::SetStepAnimation() { SetAnimation(side ? kAnimSideStepLeft : kAnimSideStepRight); }

void Boss2::StateSideStep() {
  const int32_t f = ++stateFrame;
  Countdown();
  if (f == 1) {
    side = RandomInt(2) == 0 ? 1 : 0;
    SetStepAnimation();
    Sound(kSoundSideStep, kVoiceOffset);
    moveHeading = angle.y + 90.0f + 180.0f * static_cast<float>(side);
    SetSubAction(kBoss2NoAction);
  }
  if (f == kState.stepStop) SetAnimation(kAnimStop);
  if (f == kState.stepEnd) {
    SetState(kBoss2Think);
    return;
  }
  if (wallContact) {
    wallContact = 0;
    side ^= 1;
    moveHeading = angle.y + 90.0f + 180.0f * static_cast<float>(side);
    SetStepAnimation();
  }
  if (f < kState.stepStop) {
    speed = kState.stepSpeed;
    const float dx = RandomFloat(100.0f, 0.01f);
    const float dy = RandomFloat(100.0f, 0.01f);
    const float dz = RandomFloat(200.0f, 0.01f);
    LineEffect::Spawn(position.x - 0.5f + dx, position.y - 0.5f + dy, position.z - 1.0f + dz,
                      kState.streakScale, 0.0f, moveHeading + 180.0f, kState.streakSpeed, 1);
  } else {
    speed = 0.0f;
  }
}

void Boss2::StateJump2() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    Sound(kSoundJump, kShotOffset);
    verticalSpeed += kState.jumpPush;
    SetAnimation(kAnimJump);
    airborne = 1;
  }
  if (!airborne) SetState(roused && RandomInt(2) == 0 ? kBoss2SideWalk : kBoss2Think);
  if (!roused) {
    if (OneIn(kState.jumpShotOdds)) SetSubAction(kBoss2Shot);
  } else {
    if (OneIn(kState.rousedShotOdds)) SetSubAction(kBoss2Shot);
    if (OneIn(kState.rousedPairOdds)) SetSubAction(kBoss2Pair);
  }
}

// Four shots fanning out and down from `from`. Patterns 0 and 1 sweep from
// the left, 2 and 3 from the right, each either inward or outward; any other
// fires nothing.
void Boss2::FireVolley(int pattern, const port::Vec3& from) {
  struct Sweep {
    float first;  // degrees off the heading of the first shot
    float step;   // of each later one
  };
  constexpr Sweep kSweeps[] = {{-3.5f, -1.0f}, {-24.5f, 1.0f}, {3.5f, 1.0f}, {24.5f, -1.0f}};
  if (pattern < 0 || pattern > 3) return;
  const Sweep& s = kSweeps[pattern];
  for (int i = 0; i < 4; ++i) {
    const float fi = static_cast<float>(i);
    EnemyTama::SpawnPitched(-kState.volleyPitch * fi,
                            {.at = from,
                             .heading = angle.y + s.first + s.step * kState.volleyStep * fi,
                             .speed = kState.volleySpeed,
                             .damage = kShotDamage,
                             .kind = kEnemyTamaRing});
  }
}

void Boss2::ResumeAfterAttack() {
  SetState(roused && RandomInt(2) == 0 ? kBoss2SideWalk : kBoss2Think);
}

void Boss2::StateSpray() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    ArmourUp(kAnimStop, kSoundSprayVoice, kVoiceOffset);
    SetSubAction(kBoss2NoAction);
  }
  if (f == kState.sprayRaise || f == kState.sprayRaiseAgain) {
    if (f == kState.sprayRaise) SetAnimation(kAnimSideWalk);
    SetSubAction(kBoss2Raised);
  }
  if (f == kState.sprayLower) SetSubAction(kBoss2NoAction);
  for (int32_t at : kState.leftVolleys) {
    if (f != at) continue;
    Sound(kSoundEnemyShot, kShotOffset);
    const int pattern = RandomInt(2);
    FireVolley(pattern, LeftHand());
  }
  for (int32_t at : kState.rightVolleys) {
    if (f != at) continue;
    Sound(kSoundEnemyShot, kShotOffset);
    const int pattern = RandomInt(2) + 2;
    FireVolley(pattern, RightHand());
  }
  if (f == kState.sprayEnd) {
    SetSubAction(kBoss2NoAction);
    armour = 0;
    ResumeAfterAttack();
  }
  Countdown();
  if (f > kState.sprayRaise) {
    if (f % kState.sprayFlipEvery == 0) side ^= 1;
    speed = kState.sprayStrafe;
    moveHeading = angle.y + 90.0f + 180.0f * static_cast<float>(side);
  } else {
    speed = 0.0f;
  }
  if (f < kState.sprayEnd) angle.y = TurnToward(YawToPlayer(), angle.y, kState.sprayTurn);
}

void Boss2::StateAttack() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    ArmourUp(kAnimStop, kSoundArmourVoice, kVoiceOffset);
    SetSubAction(kBoss2NoAction);
  }
  if (f == kState.attackRaise) SetAnimation(kAnimAttack3);
  if (f == kState.attackEnd) {
    armour = 0;
    ResumeAfterAttack();
  }
  Countdown();
  if (f < kState.attackEnd) angle.y = TurnToward(YawToPlayer(), angle.y, kState.attackTurn);
  if (f >= kState.firstShot && f <= kState.lastShot && f % kState.shotEvery == 0) {
    Sound(kSoundEnemyShot, kShotOffset);
    const float yaw = YawToPlayer();
    const bool aimed = AngleDistance(angle.y, yaw) < kState.aimedAngle;
    EnemyTama::Spawn({.at = LeftHand(),
                      .heading = aimed ? yaw : angle.y,
                      .speed = aimed ? kState.aimedSpeed : kState.straightSpeed,
                      .damage = kShotDamage,
                      .kind = kEnemyTamaBall});
  }
  speed = 0.0f;
}

void Boss2::StateLargeAttack() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetSubAction(kBoss2NoAction);
    SetAnimation(kAnimLargeAttack1);
    g_sound.PlaySound(kSoundPowerCharge, kShotOffset);
  }
  if (f == kState.stompFrame) {
    const port::Vec3 foot = Foot();
    for (int a = 0; a < 360; a += 36) {
      const float spread = RandomFloat(60.0f, 0.001f);
      ParticleEffect::Spawn(foot.x, foot.y, foot.z, 0.0f, -5.0f, static_cast<float>(a),
                            0.01f + spread, kParticleSmoke, 1);
    }
    Sound(kSoundStomp, kVoiceOffset);
  }
  if (f == kState.chargeVoice) Sound(kSoundChargeVoice, kVoiceOffset);
  if (f == kState.ballFrame) {
    Sound(kSoundLaunch, kShotOffset);
    LargeBall2::Spawn({.at = LeftHand(),
                       .heading = angle.y - kState.ballSpread,
                       .speed = kState.ballSpeed,
                       .damage = kState.ballDamage},
                      0);
    LargeBall2::Spawn({.at = RightHand(),
                       .heading = angle.y + kState.ballSpread,
                       .speed = kState.ballSpeed,
                       .damage = kState.ballDamage},
                      1);
  }
  if (f == kState.largeEnd) ResumeAfterAttack();
  if (f < kState.glowUntil) {
    for (const port::Vec3& hand : {LeftHand(), RightHand()}) {
      ParticleEffect::Spawn(hand.x, hand.y, hand.z, kState.glowScale, 0.0f, 0.0f, 0.0f,
                            kParticleGlowShrink, 1);
    }
  }
  if (f < kState.chargeUntil) FacePlayer(kState.chargeTurn);
  Charge(f, kState.chargeUntil, kState.starEvery);
  speed = 0.0f;
}

void Boss2::StateLevy() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetSubAction(kBoss2NoAction);
    SetAnimation(kAnimLevy);
  }
  for (int32_t at : kState.levyVoices)
    if (f == at) Sound(kSoundLevyVoice, kVoiceOffset);
  LevyFrame(f, kState.levyEnd, kState.levyTurn);
}

void Boss2::StateDamage() {
  if (stateFrame == 0) SetSubAction(kBoss2NoAction);  // before the first frame's pose
  HitFrame(kState.damageEnd, kBoss2Think, kShotOffset);
}

void Boss2::StateDying() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetSubAction(kBoss2NoAction);
    SetAnimation(kAnimDying);
    Sound(kSoundBoss2Dying, kShotOffset);
  }
  if (f == kState.dyingVoice) Sound(kSoundEnemyDying, kShotOffset);
  if (f == kState.dyingEnd) alive = 0;
  guard = 1;
  invulnerableFrames = 0;
  speed = 0.0f;
}
