#include "actors/Zako3.h"

#include "actors/EnemyClasses.h"
#include "actors/EnemyTama.h"
#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"

namespace {

constexpr const char* kZako3Files[] = {
    "Xfile/zako3/stop.X", "Xfile/zako3/run.X",   "Xfile/zako3/jump.X",   "Xfile/zako3/attack.X",
    "Xfile/zako3/levy.X", "Xfile/zako3/dying.X", "Xfile/zako3/damage.X",
};

enum Zako3Track : int32_t {
  kTrackStop = 0,
  kTrackRun = 1,
  kTrackJump = 2,
  kTrackAttack = 3,
  kTrackLevy = 4,
  kTrackDying = 5,
  kTrackDamage = 6,
};

constexpr EnemyAnimRow kZako3Anims[] = {
    {kAnimRun, kTrackRun, 1.0f, 0.05f, 0.05f, false},
    {kAnimJump, kTrackJump, 1.0f, 0.05f, 0.05f, false},
    {kAnimAttack1, kTrackAttack, 1.0f, 0.05f, 0.15f, true},
    {kAnimLevy, kTrackLevy, 0.4f, 0.05f, 0.05f, false},
    {kAnimDamage, kTrackDamage, 0.8f, 0.1f, 0.1f, false},
    {kAnimDying, kTrackDying, 1.0f, 0.1f, 0.1f, false},
};

struct Zako3Numbers {
  int32_t restlessAfter = 30;  // frames before the wander or chase change by chance
  int32_t hopOdds = 200;
  int32_t watchOdds = 100;
  int32_t pauseOdds = 100;
  int32_t jumpOdds = 50;
  int32_t chaseEnd = 180;
  float chaseTurn = 3.0f;
  float farSpeed = 0.15f;  // farther than 20
  float midSpeed = 0.08f;  // 10 to 20
  float backSpeed = 0.1f;  // nearer than 10, backing off
  float farRange = 20.0f;
  float nearRange = 10.0f;
  float backAngle = 210.0f;  // the move heading off the facing, less 0 to 60
  int32_t dustEvery = 5;
  // Nearer than 10, an attack comes with a chance of 1 in (base - slope x distance).
  float attackOddsBase = 200.0f;
  float attackOddsSlope = 20.0f;
  int32_t chaseJumpOdds = 150;
  int32_t chasePauseOdds = 300;
  float giveUpAngle = 90.0f;
  int32_t shotFrame = 25;
  float shotSpeed = 0.2f;
  float shotDamage = 10.0f;
  int32_t attackEnd = 60;
  int32_t aimUntil = 15;  // the attack turns to the player on frames below this
  float aimTurn = 1.0f;
  int32_t hopsAtLeast = 100;  // frames of hopping before it may stop
  float hopTurn = 6.0f;
};
constexpr Zako3Numbers kZako3;

}  // namespace

constexpr EnemyTraits Zako3::kTraits = {
    .kind = kCharacterZako3,
    .appearKind = kAppearZako3,
    .face = "texture/battle/enemyFace/zako3_face.png",
    .records = kRecords,
    .files = kZako3Files,
    .anims = kZako3Anims,
    .stand = {kAnimStop, kTrackStop, 0.2f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kB,
    .startsAirborne = true,
    .hitPoints = 3.0f,
    .gaugeMax = 3.0f,
    .damageState = kZako3Damage,
    .dyingState = kZako3Dying,
    .wallTurn = 3.0f,
    .states = {.watchEnd = 180,
               .sightAngle = 35.0f,
               .damageSound = kSoundEnemyHurt2,
               .damageEnd = 50},
};

void Zako3::Init(float x, float y, float z, float heading) {
  Enemy::Init(x, y, z, heading);
  keepHeading = 0;
  // A reused zako3 does not start pressed against the wall of its last life.
  wallContact = 0;
}

void Zako3::Move() {
  RunState();
  const port::Vec3 d = Forward();
  StepAlong(d);
  const WallStepResult walls = WallStep(d);
  // Any probe that blocks counts: the side probes alone would miss a wall
  // met head-on, whose distance already cut their reach.
  if (walls.probed) wallContact = walls.blocked ? 1 : 0;
  FollowGround();
  StopAtCeiling();
}

void Zako3::RunState() {
  switch (state) {
    case kZako3Watch:
      Watch();
      break;
    case kZako3Chase:
      Chase();
      break;
    case kZako3Pause:
      Pause();
      break;
    case kZako3Dying:
      DyingFrame();
      break;
    case kZako3Attack:
      Attack();
      break;
    case kZako3Damage:
      Damage();
      break;
    case kZako3Jump:
      Jump();
      break;
    case kZako3Hop:
      Hop();
      break;
    default:
      Wander();
      break;
  }
}

void Zako3::Resume() { SetState(keepHeading ? kZako3Chase : kZako3Wander); }

void Zako3::Wander() {
  WanderFrame();
  if (stateFrame > kZako3.restlessAfter) {
    // Each draw is made; the last that comes up decides.
    if (OneIn(kZako3.hopOdds)) SetState(kZako3Hop);
    if (OneIn(kZako3.watchOdds)) SetState(kZako3Watch);
    if (OneIn(kZako3.pauseOdds)) SetState(kZako3Pause);
    if (OneIn(kZako3.jumpOdds)) SetState(kZako3Jump);
  }
  IdleVoice();
}

void Zako3::Watch() {
  if (WatchFrame(kZako3Pause, kZako3Attack)) keepHeading = 1;
}

void Zako3::Chase() {
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimRun);
  if (stateFrame == kZako3.chaseEnd) {
    SetState(kZako3Pause);
    return;
  }
  const float a = YawToPlayer();
  const float d = static_cast<float>(DistanceToPlayer());
  targetHeading = a;
  angle.y = moveHeading = TurnToward(a, angle.y, kZako3.chaseTurn);
  if (d > kZako3.farRange) {
    speed = kZako3.farSpeed;
  } else if (d > kZako3.nearRange) {
    speed = kZako3.midSpeed;
  } else {
    // Too near: it backs off, still facing the player.
    moveHeading = angle.y + kZako3.backAngle - static_cast<float>(RandomInt(60));
    speed = kZako3.backSpeed;
  }
  if (stateFrame % kZako3.dustEvery == 0) SpawnRunDust(position);
  if (d < kZako3.nearRange && static_cast<int>(RandomFloat(
                                  kZako3.attackOddsBase - kZako3.attackOddsSlope * d, 1.0f)) == 0) {
    SetState(kZako3Attack);
  }
  IdleVoice();
  if (wallContact && stateFrame > kZako3.restlessAfter) {
    SetState(kZako3Jump);
  } else if (OneIn(kZako3.chaseJumpOdds)) {
    SetState(kZako3Jump);
  }
  if (stateFrame > kZako3.restlessAfter && OneIn(kZako3.hopOdds)) SetState(kZako3Hop);
  if (OneIn(kZako3.chasePauseOdds)) SetState(kZako3Pause);
  if (AngleDistance(angle.y, targetHeading) > kZako3.giveUpAngle || d > kZako3.farRange) {
    keepHeading = 0;
    SetState(kZako3Wander);
  }
}

void Zako3::Pause() {
  if (PauseFrame()) Resume();
}

void Zako3::Attack() {
  speed = 0.0f;
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimAttack1);
  if (stateFrame == kZako3.shotFrame) {
    PlaySound(kSoundEnemyShot, kQuieter10dB);
    EnemyTama::Spawn({.at = position,
                      .heading = angle.y,
                      .speed = kZako3.shotSpeed,
                      .damage = kZako3.shotDamage,
                      .kind = kEnemyTamaBall});
  }
  if (stateFrame == kZako3.attackEnd) SetState(kZako3Chase);
  // Tested after the change: the frame that returns to the chase aims too.
  if (stateFrame < kZako3.aimUntil) {
    const float a = YawToPlayer();
    targetHeading = a;
    angle.y = moveHeading = TurnToward(a, angle.y, kZako3.aimTurn);
  }
}

void Zako3::Damage() {
  if (!DamageFrame()) return;
  SetState(kZako3Wander);
  guard = 0;
}

void Zako3::Jump() {
  if (JumpFrame()) Resume();
  IdleVoice();
}

void Zako3::Hop() {
  if (JumpFrame()) {
    if (stateFrame > kZako3.hopsAtLeast && RandomInt(4) <= 1) {
      Resume();
    } else {
      targetHeading = keepHeading ? YawToPlayer() : static_cast<float>(RandomInt(360));
      angle.y = moveHeading = TurnToward(targetHeading, angle.y, kZako3.hopTurn);
      TakeOff();
    }
  }
  IdleVoice();
}
