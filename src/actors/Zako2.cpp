#include "actors/Zako2.h"

#include "actors/EnemyClasses.h"
#include "actors/EnemyTama.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"

namespace {

constexpr const char* kZako2Files[] = {
    "Xfile/zako2/stop.X",    "Xfile/zako2/walk.X",  "Xfile/zako2/attack.X",
    "Xfile/zako2/pausing.X", "Xfile/zako2/dying.X", "Xfile/zako2/damage.X",
};

enum Zako2Track : int32_t {
  kTrackStop = 0,
  kTrackWalk = 1,
  kTrackAttack = 2,
  kTrackPausing = 3,
  kTrackDying = 4,
  kTrackDamage = 5,
};

constexpr EnemyAnimRow kZako2Anims[] = {
    {kAnimRun, kTrackWalk, 1.0f, 0.05f, 0.05f, false},
    {kAnimLevy, kTrackPausing, 0.5f, 0.05f, 0.05f, false},
    {kAnimAttack1, kTrackAttack, 0.5f, 0.05f, 0.05f, true},
    {kAnimDamage, kTrackDamage, 1.0f, 0.1f, 0.1f, false},
    {kAnimDying, kTrackDying, 1.0f, 0.1f, 0.1f, false},
};

struct Zako2Numbers {
  int32_t restlessAfter = 30;  // wander frames before it may watch or pause
  int32_t watchOdds = 150;
  int32_t pauseOdds = 150;
  int32_t approachEnd = 180;
  float approachTurn = 2.5f;
  float approachSpeed = 0.1f;
  int32_t shootAfter = 30;  // approach frames before it may shoot
  float shootRange = 10.0f;
  float pauseSpread = 30.0f;  // degrees either way of the new target
  int32_t shotFrame = 30;
  float shotSpeed = 0.2f;
  float shotDamage = 10.0f;
  int32_t attackEnd = 100;
};
constexpr Zako2Numbers kZako2;

}  // namespace

constexpr EnemyTraits Zako2::kTraits = {
    .kind = kCharacterZako2,
    .appearKind = kAppearZako2,
    .face = "texture/battle/enemyFace/zako2_face.png",
    .records = kRecords,
    .files = kZako2Files,
    .anims = kZako2Anims,
    .stand = {kAnimStop, kTrackStop, 0.0f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kA,
    .startsAirborne = true,
    .hitPoints = 2.0f,
    .gaugeMax = 2.0f,
    .damageState = kZako2Damage,
    .dyingState = kZako2Dying,
    .wallTurn = 3.0f,
};

void Zako2::RunState() {
  switch (state) {
    case kZako2Watch:
      WatchFrame(kZako2Pause, kZako2Approach);
      break;
    case kZako2Approach:
      Approach();
      break;
    case kZako2Pause:
      Pause();
      break;
    case kZako2Dying:
      DyingFrame();
      break;
    case kZako2Attack:
      Attack();
      break;
    case kZako2Damage:
      Damage();
      break;
    default:
      Wander();
      break;
  }
}

void Zako2::Wander() {
  WanderFrame();
  if (stateFrame > kZako2.restlessAfter) {
    if (OneIn(kZako2.watchOdds)) {
      SetState(kZako2Watch);
    } else if (OneIn(kZako2.pauseOdds)) {
      SetState(kZako2Pause);
    }
  }
  IdleVoice();
}

void Zako2::Approach() {
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimRun);
  if (stateFrame == kZako2.approachEnd) {
    SetState(kZako2Pause);
    return;
  }
  const float a = YawToPlayer();
  targetHeading = a;
  angle.y = moveHeading = TurnToward(a, angle.y, kZako2.approachTurn);
  speed = kZako2.approachSpeed;
  if (stateFrame > kZako2.shootAfter && DistanceToPlayer() < kZako2.shootRange) {
    SetState(kZako2Attack);
  }
  IdleVoice();
}

void Zako2::Pause() {
  if (!PauseFrame()) return;
  targetHeading = angle.y + kZako2.pauseSpread - static_cast<float>(RandomInt(60));
  SetState(kZako2Wander);
}

void Zako2::Attack() {
  speed = 0.0f;
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimAttack1);
  if (stateFrame == kZako2.shotFrame) {
    PlaySound(kSoundEnemyShot, kQuieter10dB);
    EnemyTama::Spawn({.at = position,
                      .heading = angle.y,
                      .speed = kZako2.shotSpeed,
                      .damage = kZako2.shotDamage,
                      .kind = kEnemyTamaRing});
  }
  if (stateFrame == kZako2.attackEnd) {
    switch (RandomInt(5)) {
      case 0:
      case 1:
        SetState(kZako2Watch);
        break;
      case 2:
      case 3:
        targetHeading = static_cast<float>(RandomInt(360));
        SetState(kZako2Watch);
        break;
      default:
        // The draw's rare top value too: left in this state the zako2 would
        // stand here until hit (Zako2OnStage.TheAttackAlwaysEnds).
        SetState(kZako2Pause);
        break;
    }
  }
}

void Zako2::Damage() {
  if (!DamageFrame()) return;
  SetState(kZako2Wander);
  guard = 0;
}
