// The enemy scheme's life: the class model, initialisation, the frame, the
// states (with those the small enemies share), the cross-fade and the hit
// test. The walk is in EnemyMove.cpp, the
// drawing in EnemyDraw.cpp.
#include "actors/Enemy.h"

#include "actors/Motion.h"
#include "actors/Player.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "world/DynamicObject.h"
#include "world/ObjectList.h"

namespace {

struct LifeNumbers {
  float holdAt = 0.99f;  // of the length: where a one-shot animation stops
  float damageFactor = 0.1f;
};
constexpr LifeNumbers kLife;

}  // namespace

bool EnemyModel::Load(int method, port::gpu::Device* device_, const port::gpu::Caps& caps,
                      EffectHolder* effect_, Texture* toonRamp_) {
  device = device_;
  effect = effect_;
  toonRamp = toonRamp_;
  bool whole = true;
  if (!model.IsLoaded() && !files_.empty()) {
    model.Init(device, &caps);
    whole = !port::Failed(model.Load(files_[0], method));
    // Every call adds a set, so a file that fails keeps the later tracks in place.
    for (size_t i = 1; i < files_.size(); ++i) {
      if (port::Failed(model.AddAnimation(files_[i]))) whole = false;
    }
  }
  if (model.GetAnimationSetCount() != files_.size()) whole = false;
  if (method != SkinnedModel::kMethodSoftware) {
    model.SetEffect(effect);
    model.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                               "mWorldMatrixArray");
  }
  return whole;
}

void EnemyModel::Unload() { model.Release(); }

Enemy::Enemy(const EnemyTraits& traits_, EnemyModel& shared_) : traits(traits_), shared(shared_) {
  tracks.resize(static_cast<size_t>(traits.records > 0 ? traits.records : 1));
  kind = traits.kind;
  id = kOwnerEnemy;
  alive = 0;
  onScreen = 1;
}

void Enemy::Init(float x, float y, float z, float heading) {
  alive = 1;
  airborne = traits.startsAirborne ? 1 : 0;
  position = previousPosition = {x, y, z};
  angle = {0.0f, heading, 0.0f};
  extraRotation = {};
  targetHeading = static_cast<float>(RandomInt(360));
  speed = 0.0f;
  verticalSpeed = 0.0f;
  stateFrame = 0;
  animFrame = 0;
  state = 1;
  guard = 0;
  hitPoints = traits.hitPoints;
  groundKnown = 0;
  for (AnimTrack& t : tracks) t = {0.0f, t.length, 0.0f};
  tracks[0].weight = 1.0f;
  shared.model.GetAnimationLengths(tracks);
}

void Enemy::Update() {
  if (!alive) return;
  animated = 0;
  previousPosition = position;
  Move();
  BlendAnimation();
  if (!guard) HitTest();
}

void Enemy::SetState(int32_t newState) {
  state = newState;
  stateFrame = 0;
}

const EnemyAnimRow& Enemy::RowOf(int32_t id_) const {
  for (const EnemyAnimRow& row : traits.anims) {
    if (row.animId == id_) return row;
  }
  return traits.stand;
}

void Enemy::SetAnimation(int32_t id_) {
  animId = id_;
  animFrame = 0;
  const int32_t track = RowOf(id_).track;
  if (track >= 0 && static_cast<size_t>(track) < tracks.size()) tracks[track].time = 0.0f;
}

void Enemy::BlendAnimation() {
  ++animFrame;
  const EnemyAnimRow& row = RowOf(animId);
  for (size_t i = 0; i < tracks.size(); ++i) {
    AnimTrack& t = tracks[i];
    if (static_cast<int32_t>(i) == row.track) {
      t.time += TimeStep(row, t);
      // Held just short of the end: at the end itself a pose may wrap to its start.
      if (row.oneShot && t.time > kLife.holdAt * t.length) t.time = kLife.holdAt * t.length;
      t.weight += row.weightStep;
      if (t.weight > 1.0f) t.weight = 1.0f;
    } else {
      t.weight -= row.fadeRate;
      if (t.weight < 0.0f) t.weight = t.time = 0.0f;
    }
  }
  AfterBlend(row);
}

void Enemy::HitTest() {
  const size_t count = g_objects.Size();
  for (size_t i = 0; i < count; ++i) {
    DynamicObject* o = g_objects.At(i);
    if (!o || !o->IsAlive() || o->GetOwner() == kOwnerEnemy) continue;
    if (!ObjectTouches(*o, position, traits.hitMargin)) continue;
    o->SetHit(1);
    OnHit(*o);
    return;  // one hit a frame
  }
}

bool Enemy::TakeDamage(float damage, float factor) {
  hitPoints -= damage * factor;
  g_player.ShowEnemyGauge(kind, hitPoints, traits.gaugeMax);
  return hitPoints <= 0.0f;
}

void Enemy::OnHit(DynamicObject& object) {
  const bool spent = TakeDamage(object.GetDamage(), kLife.damageFactor);
  if (traits.damageState) SetState(traits.damageState);
  if (spent && traits.dyingState) SetState(traits.dyingState);
}

const port::Vec3& Enemy::PlayerPosition() const { return g_player.position; }

float Enemy::YawToPlayer() const {
  const port::Vec3& p = PlayerPosition();
  return YawTo(position.x, position.z, p.x, p.z);
}

double Enemy::DistanceToPlayer() const {
  const port::Vec3& p = PlayerPosition();
  return Distance3(position.x, position.y, position.z, p.x, p.y, p.z);
}

void Enemy::PlaySound(SoundId sound, int32_t offset) const {
  g_sound.PlaySoundAt(position.x, position.y, position.z, sound, offset);
}

bool Enemy::OneIn(int n) { return RandomInt(n) == 0; }

void Enemy::WanderFrame() {
  const EnemyStateNumbers& n = traits.states;
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimRun);
  if (OneIn(n.newTargetOdds)) targetHeading = static_cast<float>(RandomInt(360));
  angle.y = moveHeading = TurnToward(targetHeading, angle.y, n.wanderTurn);
  if (!airborne) speed = n.wanderSpeed;
}

void Enemy::IdleVoice() {
  if (OneIn(traits.states.voiceOdds)) PlaySound(kSoundEnemyIdle, kQuieter5dB);
}

bool Enemy::WatchFrame(int32_t ended, int32_t spotted) {
  const EnemyStateNumbers& n = traits.states;
  ++stateFrame;
  if (stateFrame == 1) SetAnimation(kAnimStop);
  if (stateFrame == n.watchEnd) {
    SetState(ended);
    return false;
  }
  angle.y += n.lookAbout;
  speed = 0.0f;
  IdleVoice();
  if (AngleDistance(angle.y, YawToPlayer()) < n.sightAngle && DistanceToPlayer() < n.sightRange) {
    SetState(spotted);
    return true;
  }
  return false;
}

bool Enemy::PauseFrame() {
  const EnemyStateNumbers& n = traits.states;
  ++stateFrame;
  if (stateFrame == 1) {
    SetAnimation(kAnimLevy);
  } else if (stateFrame == n.pauseVoiceFrame) {
    PlaySound(kSoundEnemyPause, kQuieter5dB);
  } else if (stateFrame == n.pauseEnd) {
    return true;
  } else {
    angle.y = moveHeading = TurnToward(YawToPlayer(), angle.y, n.pauseTurn);
    speed = 0.0f;
  }
  return false;
}

bool Enemy::DamageFrame() {
  const EnemyStateNumbers& n = traits.states;
  guard = 1;
  ++stateFrame;
  if (stateFrame == 1) {
    PlaySound(n.damageSound, kQuieter10dB);
    SetAnimation(kAnimDamage);
  }
  speed = 0.0f;
  return stateFrame == n.damageEnd;
}

void Enemy::DyingFrame() {
  guard = 1;
  ++stateFrame;
  if (stateFrame == 1) {
    PlaySound(kSoundEnemyDying, kQuieter10dB);
    SetAnimation(kAnimDying);
  }
  if (stateFrame == traits.states.dyingEnd) alive = 0;
  speed = 0.0f;
}

bool Enemy::JumpFrame() {
  ++stateFrame;
  if (stateFrame == 1) {
    TakeOff();
    return false;
  }
  return !airborne;
}

void Enemy::TakeOff() {
  PlaySound(kSoundJump, kQuieter10dB);
  verticalSpeed += traits.states.jumpSpeed;
  SetAnimation(kAnimJump);
  airborne = 1;
}
