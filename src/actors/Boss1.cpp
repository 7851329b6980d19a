#include "actors/Boss1.h"

#include "actors/EnemyClasses.h"
#include "actors/EnemyTama.h"
#include "actors/LargeBalls.h"
#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"

namespace {

constexpr const char* kBoss1Files[] = {
    "Xfile/1boss/stop.X",          "Xfile/1boss/side_walk.X",     "Xfile/1boss/run.X",
    "Xfile/1boss/normal_attack.X", "Xfile/1boss/middle_attack.X", "Xfile/1boss/large_attack.X",
    "Xfile/1boss/levy.X",          "Xfile/1boss/damage.X",        "Xfile/1boss/dying.X",
};

enum Boss1Track : int32_t {
  kTrackStop = 0,
  kTrackSideWalk = 1,
  kTrackRun = 2,
  kTrackNormalAttack = 3,
  kTrackMiddleAttack = 4,
  kTrackLargeAttack = 5,
  kTrackLevy = 6,
  kTrackDamage = 7,
  kTrackDying = 8,
};

constexpr EnemyAnimRow kBoss1Anims[] = {
    {kAnimWalk, kTrackSideWalk, 1.0f, 0.1f, 0.1f, false},
    {kAnimRun, kTrackRun, 1.0f, 0.1f, 0.1f, false},
    {kAnimLevy, kTrackLevy, 0.5f, 0.05f, 0.05f, true},
    {kAnimAttack1, kTrackNormalAttack, 0.0f, 0.1f, 0.1f, false},  // held at its first key
    {kAnimAttack2, kTrackMiddleAttack, 0.2f, 0.1f, 0.1f, true},
    {kAnimLargeAttack1, kTrackLargeAttack, 0.2f, 0.2f, 0.2f, true},  // runs once nearly in
    {kAnimDamage, kTrackDamage, 0.6f, 0.1f, 0.1f, true},
    {kAnimDying, kTrackDying, 1.0f, 0.1f, 0.1f, false},
};

constexpr BossParts kBoss1Parts = {.levyState = kBoss1Levy, .plainSounds = true};

struct Boss1Numbers {
  int32_t voiceOdds = 250;
  int32_t voiceOffset = kQuieter5dB;
  int32_t shotOffset = kQuieter10dB;
  int32_t dustEvery = 5;
  int32_t largeAttackEvery = 700;  // life frames
  // Calm.
  int32_t newTargetOdds = 30;
  float wanderTurn = 2.0f;
  float wanderSpeed = 0.1f;
  int32_t faceOdds = 100;
  int32_t levyOdds = 150;
  // Roused.
  float chaseTurn = 2.0f;
  float chaseSpeed = 0.2f;
  double nearBy = 10.0;
  double closeBy = 5.0;
  int32_t fansOdds = 150;
  int32_t pickOdds = 50;  // 1 circles, 2 attacks
  // Face.
  int32_t faceEnd = 120;
  float lookRound = 3.0f;  // degrees a frame
  float noticeAngle = 50.0f;
  double noticeRange = 30.0;
  // Circle.
  int32_t circleEnd = 200;
  float circleTurn = 2.0f;
  int32_t flipOdds = 300;
  float circleSpeed = 0.08f;
  int32_t circleLargeOdds = 250, circleFansOdds = 150, circleAttackOdds = 100, circleLevyOdds = 300;
  // Levy.
  int32_t levyVoice = 30;
  int32_t levyEnd = 80;
  float levyTurn = 3.0f;
  // Attack.
  int32_t attackShot = 20;
  int32_t attackEnd = 40;
  int32_t attackAim = 15;  // turns toward the player before this frame
  float attackTurn = 2.0f;
  float shotSpeed = 0.2f;
  float shotDamage = 10.0f;
  int32_t againOdds = 10;
  // Fans.
  int32_t fansRaise = 30;
  int32_t firstFan = 66, secondFan = 116, fansEnd = 140;
  float fanSpeed = 0.17f;
  float fanSpread = 25.0f;  // degrees between the shots of a fan
  // Large attack.
  int32_t chargeVoice = 120;
  int32_t ballFrame = 170;
  int32_t largeEnd = 200;
  float chargeTurn = 1.5f;
  int32_t starEvery = 10;
  float ballSpeed = 0.5f;
  float ballDamage = 20.0f;
  int32_t faceAfterOdds = 6;
  float largeWeight = 0.8f;  // the large attack runs from this weight on
  // Hit and defeat.
  int32_t hitEnd = 50;
  int32_t defeatedEnd = 120;
};
constexpr Boss1Numbers kBoss1;

}  // namespace

constexpr EnemyTraits Boss1::kTraits = {
    .kind = kCharacterBoss1,
    .appearKind = kAppearBoss1,
    .face = "texture/battle/enemyFace/1boss_face.png",
    .records = kRecords,
    .files = kBoss1Files,
    .anims = kBoss1Anims,
    .stand = {kAnimStop, kTrackStop, 0.0f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kA,
    .startsAirborne = true,
    .hitPoints = 4.0f,
    .gaugeMax = 4.0f,
    .damageState = kBoss1Hit,
    .dyingState = kBoss1Defeated,
    .wallTurn = 3.0f,
};

Boss1::Boss1() : EnemyClassOf(kBoss1Parts) {}

void Boss1::Init(float x, float y, float z, float heading) {
  Boss::Init(x, y, z, heading);
  circleSide = 0;
}

void Boss1::RunState() {
  switch (state) {
    case kBoss1Face:
      StateFace();
      break;
    case kBoss1Circle:
      StateCircle();
      break;
    case kBoss1Levy:
      StateLevy();
      break;
    case kBoss1Defeated:
      StateDefeated();
      break;
    case kBoss1Attack:
      StateAttack();
      break;
    case kBoss1Fans:
      StateFans();
      break;
    case kBoss1LargeAttack:
      StateLargeAttack();
      break;
    case kBoss1Hit:
      StateHit();
      break;
    default:
      StateThink();
      break;
  }
}

float Boss1::TimeStep(const EnemyAnimRow& row, const AnimTrack& track) const {
  if (row.animId == kAnimLargeAttack1 && track.weight < kBoss1.largeWeight) return 0.0f;
  return row.timeStep;
}

void Boss1::OnWallStep(const WallStepResult& result) {
  if (result.blocked) circleSide ^= 1;
}

void Boss1::StateThink() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimRun);
    armour = 0;
  }
  if (f % kBoss1.dustEvery == 0) SpawnRunDust(position);
  if (OneIn(kBoss1.voiceOdds)) Sound(kSoundEnemyIdle, kBoss1.voiceOffset);
  Countdown();
  if (lifeFrames % kBoss1.largeAttackEvery == 0) SetState(kBoss1LargeAttack);
  if (!roused) {
    if (OneIn(kBoss1.newTargetOdds)) targetHeading = static_cast<float>(RandomInt(360));
    angle.y = moveHeading = TurnToward(targetHeading, angle.y, kBoss1.wanderTurn);
    speed = kBoss1.wanderSpeed;
    if (OneIn(kBoss1.faceOdds)) SetState(kBoss1Face);
    if (OneIn(kBoss1.levyOdds)) SetState(kBoss1Levy);
    return;
  }
  FacePlayer(kBoss1.chaseTurn);
  speed = kBoss1.chaseSpeed;
  const double d = DistanceToPlayer();
  if (d >= kBoss1.nearBy) return;
  if (d < kBoss1.closeBy) SetState(kBoss1Circle);
  if (OneIn(kBoss1.fansOdds)) SetState(kBoss1Fans);
  const int pick = RandomInt(kBoss1.pickOdds);
  if (pick == 1) SetState(kBoss1Circle);
  if (pick == 2) SetState(kBoss1Attack);
}

// The shared head of the face and circle states: the animation on the first
// frame, the next state on the last (true: this state is over), and between
// them the count-down and the idle voice.
bool Boss1::TimedLookStep(int32_t animation, int32_t end, int32_t next) {
  const int32_t f = ++stateFrame;
  if (f == 1) SetAnimation(animation);
  if (f == end) {
    SetState(next);
    return true;
  }
  Countdown();
  if (OneIn(kBoss1.voiceOdds)) Sound(kSoundEnemyIdle, kBoss1.voiceOffset);
  return false;
}

void Boss1::StateFace() {
  if (TimedLookStep(kAnimStop, kBoss1.faceEnd, kBoss1Levy)) return;
  speed = 0.0f;
  angle.y += kBoss1.lookRound;
  if (AngleDistance(angle.y, YawToPlayer()) < kBoss1.noticeAngle &&
      DistanceToPlayer() < kBoss1.noticeRange) {
    SetState(kBoss1Circle);
    roused = 1;
  }
}

void Boss1::StateCircle() {
  if (TimedLookStep(kAnimWalk, kBoss1.circleEnd, kBoss1Attack)) return;
  angle.y = TurnToward(YawToPlayer(), angle.y, kBoss1.circleTurn);
  if (OneIn(kBoss1.flipOdds)) circleSide ^= 1;
  speed = kBoss1.circleSpeed;
  moveHeading = angle.y + 90.0f + 180.0f * static_cast<float>(circleSide);
  if (OneIn(kBoss1.circleLargeOdds)) SetState(kBoss1LargeAttack);
  if (OneIn(kBoss1.circleFansOdds)) SetState(kBoss1Fans);
  if (OneIn(kBoss1.circleAttackOdds)) SetState(kBoss1Attack);
  if (OneIn(kBoss1.circleLevyOdds)) SetState(kBoss1Levy);
}

void Boss1::StateLevy() {
  const int32_t f = ++stateFrame;
  if (f == 1) SetAnimation(kAnimLevy);
  if (f == kBoss1.levyVoice) Sound(kSoundLevyVoice, kBoss1.voiceOffset);
  LevyFrame(f, kBoss1.levyEnd, kBoss1.levyTurn);
}

void Boss1::StateAttack() {
  const int32_t f = ++stateFrame;
  if (f == 1) SetAnimation(kAnimAttack1);
  if (f == kBoss1.attackShot) {
    Sound(kSoundEnemyShot, kBoss1.shotOffset);
    EnemyTama::Spawn({.at = position,
                      .heading = angle.y,
                      .speed = kBoss1.shotSpeed,
                      .damage = kBoss1.shotDamage,
                      .kind = kEnemyTamaBall});
  }
  if (f == kBoss1.attackEnd) SetState(OneIn(kBoss1.againOdds) ? kBoss1Attack : kBoss1Think);
  if (f < kBoss1.attackAim) FacePlayer(kBoss1.attackTurn);
  Countdown();
  speed = 0.0f;
}

void Boss1::FireFan(int count, float firstOffset) {
  Sound(kSoundEnemyShot, kBoss1.shotOffset);
  for (int i = 0; i < count; ++i) {
    EnemyTama::Spawn({.at = position,
                      .heading = angle.y + firstOffset - kBoss1.fanSpread * static_cast<float>(i),
                      .speed = kBoss1.fanSpeed,
                      .damage = kBoss1.shotDamage,
                      .kind = kEnemyTamaRing});
  }
}

void Boss1::StateFans() {
  const int32_t f = ++stateFrame;
  if (f == 1) ArmourUp(kAnimStop, kSoundArmourVoice, kBoss1.voiceOffset);
  if (f == kBoss1.fansRaise) SetAnimation(kAnimAttack2);
  if (f == kBoss1.firstFan) FireFan(4, 37.5f);
  if (f == kBoss1.secondFan) FireFan(5, 50.0f);
  if (f == kBoss1.fansEnd) {
    armour = 0;
    SetState(OneIn(kBoss1.againOdds) ? kBoss1Attack : kBoss1Think);
    return;
  }
  // After the guard was let down: an invulnerability still running puts it
  // back up on the first frame.
  Countdown();
  if (f < kBoss1.fansRaise) FacePlayer(kBoss1.attackTurn);
  speed = 0.0f;
}

void Boss1::StateLargeAttack() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimLargeAttack1);
    Sound(kSoundPowerCharge, kBoss1.shotOffset);
  }
  if (f == kBoss1.chargeVoice) Sound(kSoundChargeVoice, kBoss1.voiceOffset);
  if (f == kBoss1.ballFrame) {
    Sound(kSoundLaunch, kBoss1.shotOffset);
    LargeBall1::Spawn({.at = position,
                       .heading = angle.y,
                       .speed = kBoss1.ballSpeed,
                       .damage = kBoss1.ballDamage});
  }
  if (f == kBoss1.largeEnd) SetState(OneIn(kBoss1.faceAfterOdds) ? kBoss1Face : kBoss1Think);
  // While it charges no hit lands, and it blinks.
  if (f < kBoss1.ballFrame) FacePlayer(kBoss1.chargeTurn);
  Charge(f, kBoss1.ballFrame, kBoss1.starEvery);
  speed = 0.0f;
}

void Boss1::StateHit() { HitFrame(kBoss1.hitEnd, kBoss1Face, kBoss1.shotOffset); }

void Boss1::StateDefeated() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimDying);
    Sound(kSoundEnemyDying, kBoss1.shotOffset);
  }
  if (f == kBoss1.defeatedEnd) alive = 0;
  guard = 1;
  invulnerableFrames = 0;
  speed = 0.0f;
}
