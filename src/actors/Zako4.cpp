#include "actors/Zako4.h"

#include <cmath>

#include "actors/EnemyClasses.h"
#include "actors/EnemyTama.h"
#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "world/DynamicObject.h"

namespace {

constexpr const char* kZako4Files[] = {
    "Xfile/zako4/stop.X",      "Xfile/zako4/run.X",     "Xfile/zako4/jump.X",
    "Xfile/zako4/jump_dush.X", "Xfile/zako4/attack1.X", "Xfile/zako4/attack2.X",
    "Xfile/zako4/attack3.X",   "Xfile/zako4/attack4.X", "Xfile/zako4/levy.X",
    "Xfile/zako4/damage.X",    "Xfile/zako4/dying.X",
};

enum Zako4Track : int32_t {
  kTrackStop = 0,
  kTrackRun = 1,
  kTrackJump = 2,
  kTrackJumpDash = 3,
  kTrackFan = 4,
  kTrackPitchFan = 5,
  kTrackRings = 6,
  kTrackBlow = 7,
  kTrackLevy = 8,
  kTrackDamage = 9,
  kTrackDying = 10,
};

constexpr EnemyAnimRow kZako4Anims[] = {
    {kAnimRun, kTrackRun, 0.5f, 0.05f, 0.1f, false},
    {kAnimJump, kTrackJump, 1.0f, 0.05f, 0.05f, false},
    {kAnimJumpDash, kTrackJumpDash, 1.0f, 0.05f, 0.05f, false},
    {kAnimAttack1, kTrackFan, 0.5f, 0.05f, 0.15f, true},
    {kAnimAttack2, kTrackPitchFan, 0.5f, 0.05f, 0.15f, true},
    {kAnimAttack3, kTrackRings, 0.4f, 0.05f, 0.4f, true},
    {kAnimAttack4, kTrackBlow, 0.5f, 0.05f, 0.15f, true},
    {kAnimLevy, kTrackLevy, 0.4f, 0.05f, 0.05f, false},
    {kAnimDamage, kTrackDamage, 0.8f, 0.1f, 0.1f, false},
    {kAnimDying, kTrackDying, 0.5f, 0.05f, 0.1f, true},
};

struct Zako4Numbers {
  float homeReach = 5.0f;  // farther from home the wander turns back
  int32_t restlessAfter = 30;
  int32_t dashOdds = 100;
  int32_t pauseOdds = 150;
  int32_t watchOdds = 50;
  int32_t jumpOdds = 100;
  int32_t chaseEnd = 180;
  int32_t retargetEvery = 30;  // the chase and the pause pick a new aim on frame 1, 31, ...
  int32_t aimSpread = 60;      // degrees: the aim is the player's way, 30 either side
  float chaseTurn = 3.0f;
  float chaseSpeed = 0.12f;
  float closeRange = 2.5f;
  int32_t closeOdds = 20;
  float backJumpSpeed = 0.25f;
  int32_t dustEvery = 5;
  int32_t fanOdds = 150;
  int32_t pitchFanOdds = 150;
  int32_t chaseDashOdds = 200;
  int32_t chaseJumpOdds = 150;
  int32_t chasePauseAfter = 20;
  int32_t chasePauseOdds = 300;
  float giveUpRange = 20.0f;
  int32_t homeEnd = 180;
  float homeTurn = 3.0f;
  float homeSpeed = 0.15f;
  int32_t homeWatchOdds = 100;
  float nearHome = 8.0f;  // within this, 2 in 3 a frame it wanders again...
  // ...but only after this many frames on the way: else, 5 to 8 from home,
  // it would flip between the wander and the way home every frame.
  int32_t homeAtLeast = 30;
  float atHome = 3.0f;
  int32_t pauseVoiceFrame = 10;
  int32_t pauseEnd = 150;
  float pauseTurn = 3.0f;
  float aimTurn = 3.0f;
  float bulletSpeed = 0.15f;
  float bulletDamage = 10.0f;
  int32_t fanFrame = 50;
  int32_t fanBullets = 6;
  float fanFirst = 15.0f;  // degrees right of the facing; then 6 a bullet to the left
  float fanStep = 6.0f;
  int32_t fanEnd = 110;
  int32_t pitchFanFrame = 40;
  int32_t pitchFanBullets = 5;
  float pitchStep = 7.0f;  // degrees a bullet, rising
  int32_t pitchFanEnd = 110;
  int32_t ringsFrame = 25;
  int32_t hangUntil = 20;  // attack 3 hangs in the air until this frame
  float hangSpeed = 0.02f;
  float ringSide = 0.5f;  // from the centre to each side
  float ringSpeed = 0.1f;
  int32_t blowFrame = 40;
  float blowReach = 0.7f;
  float blowDamage = 15.0f;
  float blowStep = 0.05f;  // the step into the blow
  int32_t blowEnd = 70;
  int32_t blinkAfterDamage = 90;
  int32_t blinkArmoured = 10;
  float armouredFactor = 0.02f;
  int32_t dashFrame = 10;
  int32_t dashRingsFrame = 110;
  int32_t dashEnd = 120;
  float dashSpeed = 0.05f;
  int32_t tintPeriod = 10;  // red on the second half of each period
  port::Vec4 tint{1.0f, 0.2f, 0.2f, 1.0f};
};
constexpr Zako4Numbers kZako4;

// Attack 1 winds up: half speed up to this time.
constexpr float kFanWindUpTime = 10.0f;
constexpr float kFanWindUpStep = 0.25f;

}  // namespace

constexpr EnemyTraits Zako4::kTraits = {
    .kind = kCharacterZako4,
    .appearKind = kAppearZako4,
    .face = "texture/battle/enemyFace/zako4_face.png",
    .records = kRecords,
    .files = kZako4Files,
    .anims = kZako4Anims,
    .stand = {kAnimStop, kTrackStop, 0.2f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kB,
    .startsAirborne = true,
    .hitPoints = 5.0f,
    .gaugeMax = 5.0f,
    .damageState = kZako4Damage,
    .dyingState = kZako4Dying,
    .wallTurn = 3.0f,
    .states = {.watchEnd = 100,
               .lookAbout = 4.5f,
               .sightAngle = 50.0f,
               .sightRange = 30.0f,
               .damageEnd = 50,
               .dyingEnd = 100},
};

void Zako4::Init(float x, float y, float z, float heading) {
  Enemy::Init(x, y, z, heading);
  home = {x, y, z};
  blinkCounter = 0;
  armoured = 0;
  keepHeading = 0;
  frameCounter = 0;
}

void Zako4::Update() {
  if (alive) ++frameCounter;
  Enemy::Update();
}

void Zako4::Move() {
  // A counter of n keeps the blink n + 1 frames.
  if (blinkCounter < 0) {
    guard = 0;
  } else {
    guard = 1;
    --blinkCounter;
  }
  Enemy::Move();
}

void Zako4::SetAnimation(int32_t id) {
  Enemy::SetAnimation(id);
  if (id == kAnimAttack3) tracks[kTrackRings].weight = 1.0f;
}

float Zako4::TimeStep(const EnemyAnimRow& row, const AnimTrack& track) const {
  if (row.animId == kAnimAttack1 && track.time <= kFanWindUpTime) return kFanWindUpStep;
  return row.timeStep;
}

bool Zako4::Tint(port::Vec4* colour) const {
  const bool red =
      guard && frameCounter % kZako4.tintPeriod >= kZako4.tintPeriod / 2 && blinkCounter > 0;
  if (red) *colour = kZako4.tint;
  return red;
}

float Zako4::HomeDistance() const {
  // Across the field: the home keeps the height it was placed at, which
  // may lie well above where the zako4 stands.
  return std::hypot(position.x - home.x, position.z - home.z);
}

void Zako4::OnHit(DynamicObject& object) {
  bool spent;
  if (armoured) {
    guard = 1;
    blinkCounter = kZako4.blinkArmoured;
    spent = TakeDamage(object.GetDamage(), kZako4.armouredFactor);
  } else {
    spent = TakeDamage(object.GetDamage());
    SetState(kZako4Damage);
  }
  if (spent) SetState(kZako4Dying);
}

void Zako4::RunState() {
  switch (state) {
    case kZako4Watch:
      Watch();
      break;
    case kZako4Chase:
      Chase();
      break;
    case kZako4ReturnHome:
      ReturnHome();
      break;
    case kZako4Pause:
      Pause();
      break;
    case kZako4Dying:
      DyingFrame();
      break;
    case kZako4Fan:
      Fan();
      break;
    case kZako4PitchFan:
      PitchFan();
      break;
    case kZako4Rings:
      Rings();
      break;
    case kZako4Blow:
      Blow();
      break;
    case kZako4Damage:
      Damage();
      break;
    case kZako4Jump:
    case kZako4BackJump:
      Jump();
      break;
    case kZako4JumpDash:
      JumpDash();
      break;
    default:
      Wander();
      break;
  }
}

void Zako4::Aim() {
  const float a = YawToPlayer();
  targetHeading = a;
  angle.y = moveHeading = TurnToward(a, angle.y, kZako4.aimTurn);
}

void Zako4::EndAttack() {
  SetState(kZako4Chase);
  armoured = 0;
}

void Zako4::Wander() {
  WanderFrame();
  IdleVoice();
  // Each is tested in turn; the last that holds decides.
  if (HomeDistance() > kZako4.homeReach) SetState(kZako4ReturnHome);
  if (OneIn(kZako4.dashOdds)) SetState(kZako4JumpDash);
  if (stateFrame > kZako4.restlessAfter && OneIn(kZako4.pauseOdds)) SetState(kZako4Pause);
  if (OneIn(kZako4.watchOdds)) SetState(kZako4Watch);
  if (OneIn(kZako4.jumpOdds)) SetState(kZako4Jump);
}

void Zako4::Watch() {
  if (WatchFrame(kZako4Pause, kZako4Chase)) keepHeading = 1;
}

void Zako4::Chase() {
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimRun);
  if (stateFrame == kZako4.chaseEnd) {
    SetState(kZako4Pause);
    return;
  }
  const float a = YawToPlayer();
  const double d = DistanceToPlayer();
  // A new aim every 30 frames; the turn toward it and the run every frame.
  if (stateFrame % kZako4.retargetEvery == 1) {
    targetHeading = a + static_cast<float>(RandomInt(kZako4.aimSpread)) -
                    static_cast<float>(kZako4.aimSpread / 2);
  }
  angle.y = moveHeading = TurnToward(targetHeading, angle.y, kZako4.chaseTurn);
  speed = kZako4.chaseSpeed;
  if (d < kZako4.closeRange && OneIn(kZako4.closeOdds)) {
    switch (RandomInt(3)) {
      case 0:
        SetState(kZako4JumpDash);
        break;
      case 1:
        // Away from the player, 30 degrees either side.
        speed = kZako4.backJumpSpeed;
        moveHeading = angle.y + static_cast<float>(RandomInt(60)) + 180.0f - 30.0f;
        SetState(kZako4BackJump);
        break;
      case 2:
        SetState(kZako4Blow);
        break;
      default:  // the draw's rare top value: it runs on
        break;
    }
  }
  if (stateFrame % kZako4.dustEvery == 0) SpawnRunDust(position);
  IdleVoice();
  if (stateFrame > kZako4.restlessAfter) {
    if (OneIn(kZako4.fanOdds)) SetState(kZako4Fan);
    if (OneIn(kZako4.pitchFanOdds)) SetState(kZako4PitchFan);
    if (OneIn(kZako4.chaseDashOdds)) SetState(kZako4JumpDash);
    if (OneIn(kZako4.chaseJumpOdds)) SetState(kZako4Jump);
  }
  if (stateFrame > kZako4.chasePauseAfter && OneIn(kZako4.chasePauseOdds)) {
    SetState(kZako4Pause);
  }
  if (d > kZako4.giveUpRange) {
    keepHeading = 0;
    SetState(kZako4Wander);
  }
}

void Zako4::ReturnHome() {
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimRun);
  if (stateFrame == kZako4.homeEnd) {
    SetState(kZako4Pause);
    return;
  }
  const float h = YawTo(position.x, position.z, home.x, home.z);
  targetHeading = h;
  angle.y = moveHeading = TurnToward(h, angle.y, kZako4.homeTurn);
  speed = kZako4.homeSpeed;
  if (OneIn(kZako4.homeWatchOdds)) SetState(kZako4Watch);
  const float toHome = HomeDistance();
  if (stateFrame > kZako4.homeAtLeast && toHome < kZako4.nearHome && RandomInt(3) <= 1) {
    targetHeading = static_cast<float>(RandomInt(360));
    SetState(kZako4Wander);
  }
  if (toHome < kZako4.atHome) {
    targetHeading = static_cast<float>(RandomInt(360));
    SetState(kZako4Wander);
  }
  IdleVoice();
}

void Zako4::Pause() {
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimLevy);
  if (stateFrame == kZako4.pauseVoiceFrame) PlaySound(kSoundEnemyAlert, kQuieter5dB);
  if (stateFrame == kZako4.pauseEnd) {
    SetState(keepHeading ? kZako4Chase : kZako4Wander);
    return;
  }
  if (stateFrame % kZako4.retargetEvery == 1) {
    targetHeading = YawToPlayer() + static_cast<float>(RandomInt(kZako4.aimSpread)) -
                    static_cast<float>(kZako4.aimSpread / 2);
  } else {
    angle.y = moveHeading = TurnToward(targetHeading, angle.y, kZako4.pauseTurn);
    speed = 0.0f;
  }
}

bool Zako4::VolleyFrame(int32_t anim, SoundId voice, int32_t volleyFrame) {
  ++stateFrame;
  speed = 0.0f;
  if (stateFrame == 1) {
    SetAnimation(anim);
    PlaySound(voice, kQuieter10dB);
    armoured = 1;
  }
  if (stateFrame < volleyFrame) Aim();
  if (stateFrame != volleyFrame) return false;
  PlaySound(kSoundEnemyShot, kQuieter10dB);
  return true;
}

void Zako4::Fan() {
  if (VolleyFrame(kAnimAttack1, kSoundChargeVoice, kZako4.fanFrame)) {
    for (int i = 0; i < kZako4.fanBullets; ++i) {
      EnemyTama::Spawn(
          {.at = position,
           .heading = angle.y + kZako4.fanFirst - kZako4.fanStep * static_cast<float>(i),
           .speed = kZako4.bulletSpeed,
           .damage = kZako4.bulletDamage,
           .kind = kEnemyTamaBall});
    }
  }
  if (stateFrame == kZako4.fanEnd) EndAttack();
}

void Zako4::PitchFan() {
  if (VolleyFrame(kAnimAttack2, kSoundArmourVoice, kZako4.pitchFanFrame)) {
    for (int i = 0; i < kZako4.pitchFanBullets; ++i) {
      // Only the first, at the body's own pitch, flies level along the ground.
      EnemyTama::SpawnPitched(angle.x - kZako4.pitchStep * static_cast<float>(i),
                              {.at = position,
                               .heading = angle.y,
                               .speed = kZako4.bulletSpeed,
                               .damage = kZako4.bulletDamage,
                               .kind = kEnemyTamaBall});
    }
  }
  if (stateFrame == kZako4.pitchFanEnd) EndAttack();
}

void Zako4::Rings() {
  ++stateFrame;
  if (stateFrame == 1) {
    SetAnimation(kAnimAttack3);
    angle.y = moveHeading = targetHeading = YawToPlayer();
  }
  if (stateFrame == kZako4.ringsFrame) {
    PlaySound(kSoundEnemyShot, kQuieter10dB);
    for (float side : {0.0f, 180.0f}) {
      const port::Vec3 o = DirectionFromAngles(0.0f, angle.y + side + 90.0f, 0.0f);
      EnemyTama::Spawn({.at = position + o * kZako4.ringSide,
                        .heading = angle.y,
                        .speed = kZako4.ringSpeed,
                        .damage = kZako4.bulletDamage,
                        .kind = kEnemyTamaRing});
    }
  }
  if (stateFrame <= kZako4.hangUntil) {
    verticalSpeed = 0.0f;
    speed = kZako4.hangSpeed;
  } else if (!airborne) {
    SetState(kZako4Chase);
  }
  Aim();
}

void Zako4::Blow() {
  ++stateFrame;
  if (stateFrame == 1) {
    SetAnimation(kAnimAttack4);
    PlaySound(kSoundSprayVoice, kQuieter5dB);
    armoured = 1;
  }
  speed = stateFrame <= kZako4.blowFrame ? kZako4.blowStep : 0.0f;
  if (stateFrame < kZako4.blowFrame) Aim();
  if (stateFrame == kZako4.blowFrame) {
    const port::Vec3 f = DirectionFromAngles(0.0f, angle.y, 0.0f);
    EnemyTama::Spawn({.at = position + f * kZako4.blowReach,
                      .heading = angle.y,
                      .speed = 0.0f,
                      .damage = kZako4.blowDamage,
                      .kind = kEnemyTamaProbe});
  }
  if (stateFrame == kZako4.blowEnd) EndAttack();
}

void Zako4::Damage() {
  if (!DamageFrame()) return;
  SetState(kZako4Watch);
  blinkCounter = kZako4.blinkAfterDamage;
}

void Zako4::Jump() {
  if (JumpFrame()) {
    if (state == kZako4Jump) {
      SetState(keepHeading ? kZako4Chase : kZako4Wander);
    } else {
      SetState(RandomInt(3) == 0 ? kZako4Chase : kZako4Fan);
    }
  }
  IdleVoice();
}

void Zako4::JumpDash() {
  if (JumpFrame()) SetState(keepHeading ? kZako4Chase : kZako4Wander);
  if (stateFrame == kZako4.dashFrame) {
    PlaySound(kSoundSideStep, kQuieter5dB);
    SetAnimation(kAnimJumpDash);
  }
  if (stateFrame == kZako4.dashRingsFrame) {
    if (keepHeading) {
      SetState(kZako4Rings);
    } else {
      SetAnimation(kAnimJump);
    }
  }
  // It glides at its height.
  if (stateFrame >= kZako4.dashFrame && stateFrame <= kZako4.dashEnd) {
    verticalSpeed = 0.0f;
    speed = kZako4.dashSpeed;
  }
  IdleVoice();
}
