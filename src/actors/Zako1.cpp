#include "actors/Zako1.h"

#include <cmath>

#include "actors/EnemyClasses.h"
#include "actors/Motion.h"
#include "actors/Player.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"

namespace {

constexpr const char* kZako1Files[] = {
    "Xfile/zako1/stop.X",
    "Xfile/zako1/run.X",
    "Xfile/zako1/pause.X",
    "Xfile/zako1/dying.X",
};

enum Zako1Track : int32_t { kTrackStop = 0, kTrackRun = 1, kTrackPause = 2, kTrackDying = 3 };

constexpr EnemyAnimRow kZako1Anims[] = {
    {kAnimRun, kTrackRun, 1.0f, 0.05f, 0.05f, false},
    {kAnimLevy, kTrackPause, 0.5f, 0.05f, 0.05f, false},
    {kAnimDying, kTrackDying, 2.0f, 0.05f, 0.05f, false},
};

struct Zako1Numbers {
  int32_t chaseAfter = 30;  // wander frames before a chase may start
  int32_t chaseOdds = 300;
  int32_t runFrame = 60;  // the chase turns to face until here, then runs
  int32_t chaseEnd = 200;
  float faceTurn = 2.0f;
  float runTurn = 3.0f;
  float runSpeed = 0.3f;
  int32_t dustEvery = 3;
  float closeBy = 1.5f;  // a chase this near the player stops
  int32_t alertEnd = 150;
  float swayPerFrame = 12.0f;  // degrees of the sway's wave a frame
  float sway = 40.0f;          // degrees either way
};
constexpr Zako1Numbers kZako1;

}  // namespace

constexpr EnemyTraits Zako1::kTraits = {
    .kind = kCharacterZako1,
    .appearKind = kAppearZako1,
    .face = "texture/battle/enemyFace/zako1_face.png",
    .records = kRecords,
    .files = kZako1Files,
    .anims = kZako1Anims,
    .stand = {kAnimStop, kTrackStop, 0.0f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kA,
    .startsAirborne = true,
    .hitPoints = 0.0f,
    .gaugeMax = 1.0f,
    .damageState = 0,
    .dyingState = kZako1Dying,
    .states = {.wanderTurn = 1.5f},
};

void Zako1::RunState() {
  switch (state) {
    case kZako1Chase:
      Chase();
      break;
    case kZako1Alert:
      Alert();
      break;
    case kZako1Dying:
      DyingFrame();
      break;
    default:
      Wander();
      break;
  }
}

void Zako1::Wander() {
  guard = 0;
  WanderFrame();
  if (stateFrame > kZako1.chaseAfter && OneIn(kZako1.chaseOdds)) SetState(kZako1Chase);
  IdleVoice();
}

void Zako1::Chase() {
  guard = 0;
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimStop);
  if (stateFrame == kZako1.runFrame) SetAnimation(kAnimRun);
  if (stateFrame == kZako1.chaseEnd) {
    SetState(kZako1Alert);
    return;
  }
  IdleVoice();
  const float a = YawToPlayer();
  if (stateFrame < kZako1.runFrame) {
    angle.y = TurnToward(a, angle.y, kZako1.faceTurn);
    speed = 0.0f;
    // Facing the player already: the run starts on the next frame. Compared
    // as angles: a heading toward +x reads 450, the turn never gives more than 360.
    if (AngleDistance(angle.y, a) == 0.0f) stateFrame = kZako1.runFrame - 1;
  } else {
    angle.y = TurnToward(a, angle.y, kZako1.runTurn);
    moveHeading = angle.y;
    speed = kZako1.runSpeed;
    if (stateFrame % kZako1.dustEvery == 0) SpawnRunDust(position);
  }
  if (DistanceToPlayer() < kZako1.closeBy) SetState(kZako1Alert);
}

void Zako1::Alert() {
  guard = 0;
  ++stateFrame;
  if (stateFrame == 1) {
    PlaySound(kSoundEnemyAlert, kQuieter5dB);
    SetAnimation(kAnimLevy);
  }
  if (stateFrame == kZako1.alertEnd) {
    angle.y = static_cast<float>(RandomInt(360));
    SetState(kZako1Wander);
    return;
  }
  speed = 0.0f;
  angle.y = YawToPlayer();
}

void Zako1::OnHit(DynamicObject&) {
  g_player.ShowEnemyGauge(kind, 0.0f, kTraits.gaugeMax);
  SetState(kZako1Dying);
}

void Zako1::AfterBlend(const EnemyAnimRow& row) {
  if (row.animId != kAnimDying) return;
  const float wave = static_cast<float>(animFrame) * kZako1.swayPerFrame * kDegToRad;
  extraRotation.y = std::sin(wave) * kZako1.sway;
}
