// The bosses' shared life: the class resources, initialisation, the
// entrance, the invulnerability countdown, the armoured hit test and the
// walks. The drawing is in BossDraw.cpp.
#include "actors/Boss.h"

#include "actors/Motion.h"
#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "world/DynamicObject.h"
#include "world/ParticleEffect.h"

namespace {

struct BossNumbers {
  int32_t entranceLevy = 80;           // life frame of the levy pose
  int32_t announcementEnd = 240;       // life frame the announcement goes
  float damageFactor = 0.1f;           // of a shot's damage
  float armouredFactor = 0.02f;        // of a shot's damage while armoured
  int32_t armouredBlink = 10;          // countdown frames after an armoured hit
  int32_t blinkPeriod = 10;            // life frames; dark for the second half
  port::Vec4 blinkColour{0, 1, 1, 1};  // cyan
};
constexpr BossNumbers kBoss;

constexpr const char* kAnnouncementPicture = "data/HERE_COME_THE_BOSS.png";

}  // namespace

bool BossClass::Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                     EffectHolder* effect, Texture* toonRamp) {
  announcement.Load(device, kAnnouncementPicture, 0);
  const bool whole = enemy.Load(method, device, caps, effect, toonRamp);
  MakeCloseUpTarget(device);
  return whole;
}

void BossClass::Unload() {
  ReleaseCloseUpTarget();
  announcement.Release();
  enemy.Unload();
}

Boss::Boss(const EnemyTraits& traits_, const BossParts& parts_, BossClass& shared_)
    : Enemy(traits_, shared_.enemy), parts(parts_), bossClass(shared_) {}

void Boss::Init(float x, float y, float z, float heading) {
  Enemy::Init(x, y, z, heading);
  lifeFrames = 0;
  guard = 1;
  invulnerableFrames = kFirstInvulnerableFrames;
  armour = 0;
  roused = 0;
  closeUpDrawn = 0;
}

void Boss::Update() {
  if (!alive) return;
  animated = 0;
  ++lifeFrames;
  previousPosition = position;
  if (lifeFrames == 1) {
    announcement = 1;
    SetState(kThinkState);
  }
  if (lifeFrames == kBoss.entranceLevy) SetState(parts.levyState);
  if (lifeFrames == kBoss.announcementEnd) announcement = 0;
  Move();
  Blend();
  // The guard is the invulnerable flag: while it is up nothing lands.
  if (state != traits.dyingState && !guard) HitTest();
}

void Boss::Countdown() {
  if (invulnerableFrames >= 0) {
    guard = 1;
    --invulnerableFrames;
  } else {
    guard = 0;
  }
}

bool Boss::Blinking() const {
  return guard && lifeFrames % kBoss.blinkPeriod >= kBoss.blinkPeriod / 2 && invulnerableFrames > 0;
}

bool Boss::Tint(port::Vec4* colour) const {
  if (inCloseUp_ || !Blinking()) return false;
  *colour = kBoss.blinkColour;
  return true;
}

void Boss::OnHit(DynamicObject& object) {
  const float damage = object.GetDamage();
  bool spent;
  if (armour) {
    spent = TakeDamage(damage, kBoss.armouredFactor);
    guard = 1;
    invulnerableFrames = kBoss.armouredBlink;
  } else {
    spent = TakeDamage(damage, kBoss.damageFactor);
    SetState(traits.damageState);
  }
  if (spent) SetState(traits.dyingState);
}

void Boss::Move() {
  RunState();
  AfterState();
  const port::Vec3 d = Forward();
  StepAlong(d);
  if (traits.walk == EnemyWalk::kB) {
    OnWallStep(WallStep(d));
    FollowGround();
    return;
  }
  if (!FollowGround()) return;
  // The walls see only the move across the field, not the fall.
  const port::Vec3 m =
      DirectionTo(previousPosition.x, 0.0f, previousPosition.z, position.x, 0.0f, position.z);
  OnWallStep(WallStep(m));
}

void Boss::ApplyGravity(float ground) {
  ::ApplyGravity(ground, &position, &verticalSpeed, &airborne,
                 parts.plainSounds ? LandingSound::kPlain : LandingSound::kAtPosition);
}

void Boss::FacePlayer(float step) {
  angle.y = TurnToward(YawToPlayer(), angle.y, step);
  moveHeading = angle.y;
}

void Boss::Sound(SoundId id, int32_t offset) const {
  if (parts.plainSounds) {
    g_sound.PlaySound(id, offset);
  } else {
    PlaySound(id, offset);
  }
}

void Boss::SpawnChargeStar() const {
  const float dx = RandomFloat(60.0f, 0.01f);
  const float dy = RandomFloat(160.0f, 0.01f);
  const float dz = RandomFloat(60.0f, 0.01f);
  ParticleEffect::Spawn(position.x - 0.3f + dx, position.y - 0.8f + dy, position.z - 0.3f + dz,
                        0.0f, 0.0f, 0.0f, 0.0f, kParticleStarPulse, 1);
}

void Boss::Charge(int32_t f, int32_t until, int32_t starEvery) {
  if (f < until) {
    guard = 1;
    invulnerableFrames = 1;
    if (f % starEvery == 1) SpawnChargeStar();
  } else {
    guard = 0;
  }
}

void Boss::HitFrame(int32_t end, int32_t next, int32_t offset) {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimDamage);
    Sound(kSoundEnemyHurt, offset);
  }
  if (f == end) {
    SetState(next);
    invulnerableFrames = kFirstInvulnerableFrames;
    return;
  }
  guard = 1;
  roused = 0;
  speed = 0.0f;
}

void Boss::ArmourUp(int32_t anim, SoundId voice, int32_t offset) {
  armour = 1;
  guard = 0;
  SetAnimation(anim);
  Sound(voice, offset);
}

void Boss::LevyFrame(int32_t f, int32_t end, float turn) {
  if (f == end) {
    if (!roused) angle.y = static_cast<float>(RandomInt(360));
    SetState(kThinkState);
    return;
  }
  Countdown();
  FacePlayer(turn);
  speed = 0.0f;
}
