#include "actors/Zako1b.h"

#include "actors/EnemyClasses.h"
#include "actors/Motion.h"
#include "actors/SokaiCounters.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "world/DynamicObject.h"

namespace {

constexpr const char* kZako1bFiles[] = {
    "Xfile/zako1/stop.X",
    "Xfile/zako1/run.X",
    "Xfile/zako1/dying2.X",
};

enum Zako1bTrack : int32_t { kTrackStop = 0, kTrackRun = 1, kTrackThrown = 2 };

constexpr EnemyAnimRow kZako1bAnims[] = {
    {kAnimRun, kTrackRun, 1.0f, 0.05f, 0.05f, false},
    {kAnimDying, kTrackThrown, 0.0f, 0.2f, 0.1f, false},
};

struct Zako1bNumbers {
  int32_t blownEnd = 60;
  float lift = 0.3f;         // raised off the ground by the hit
  float throwUp = 70.0f;     // RandomFloat(throwUp, 0.01): 0 to 0.7 a frame
  float throwSide = 141.4f;  // the sideways odds lose this much per unit of rise
  float snap = 0.3f;
  float gravity = 0.025f;
  float bumpAt = 0.6666667f;            // of the way to the wall: the bounce's stars and sound
  port::Vec3 spin{7.0f, 9.0f, -13.0f};  // degrees a frame while thrown
};
constexpr Zako1bNumbers kZako1b;

constexpr SoundId kThrownVoices[] = {kSoundEnemyDying, kSoundEnemyHurt, kSoundEnemyHurt2};

SokaiCounters* g_zako1bCounters = nullptr;

}  // namespace

constexpr EnemyTraits Zako1b::kTraits = {
    .kind = kCharacterZako1b,
    .appearKind = kSokaiZakoClass,
    .records = kRecords,
    .files = kZako1bFiles,
    .anims = kZako1bAnims,
    .stand = {kAnimStop, kTrackStop, 0.0f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kB,
    .startsAirborne = false,
    .hitPoints = 0.0f,
    .gaugeMax = 0.0f,  // it never reports
    .damageState = 0,
    .dyingState = kZako1bBlown,
    .wallTurn = 6.0f,
    .states = {.voiceOdds = 1000, .wanderTurn = 2.5f, .wanderSpeed = 0.15f},
};

SokaiCounters* Zako1b::Counters() { return g_zako1bCounters; }

bool Zako1b::Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                  EffectHolder* effect, Texture* toonRamp, SokaiCounters* counters) {
  g_zako1bCounters = counters;
  return Shared().Load(method, device, caps, effect, toonRamp);
}

void Zako1b::Unload() {
  Shared().Unload();
  g_zako1bCounters = nullptr;
}

void Zako1b::RunState() {
  if (state == kZako1bBlown) {
    Blown();
  } else {
    Wander();
  }
}

void Zako1b::Wander() {
  guard = 0;
  WanderFrame();
  IdleVoice();
}

void Zako1b::Blown() {
  guard = 1;
  ++stateFrame;
  if (stateFrame == 1) {
    // Counted once, though it flies on for 59 frames.
    if (g_zako1bCounters) g_zako1bCounters->CountKill();
    SetAnimation(kAnimDying);
    // The draw's top value (once in 32768) is a silent one.
    const int voice = RandomInt(3);
    if (voice >= 0 && voice < 3) PlaySound(kThrownVoices[voice], kQuieter10dB);
  }
  if (stateFrame == kZako1b.blownEnd) alive = 0;
  angle.y = moveHeading;
}

void Zako1b::OnHit(DynamicObject& object) {
  SetState(kZako1bBlown);
  port::Vec3 at;
  object.GetPosition(&at);
  const port::Vec3 away = position - at;
  angle.y = moveHeading = YawOfVector(away.x, away.y, away.z);
  position.y += kZako1b.lift;
  verticalSpeed = RandomFloat(kZako1b.throwUp, 0.01f);
  const int sideOdds = static_cast<int>(100.0f - kZako1b.throwSide * verticalSpeed);
  speed = RandomFloat(static_cast<float>(sideOdds), 0.01f);
}

void Zako1b::AfterBlend(const EnemyAnimRow& row) {
  if (row.animId != kAnimDying) return;
  extraRotation += kZako1b.spin;
}

void Zako1b::Move() {
  RunState();
  const port::Vec3 d = Forward();
  StepAlong(d);
  FollowGround();
  if (verticalSpeed > 0.0f && CeilingAbove(previousPosition)) {
    position = previousPosition;
    verticalSpeed = -verticalSpeed;
    SpawnBounceStars(position);
  }
  Walls(d);
}

void Zako1b::ApplyGravity(float ground) {
  const bool thrown = guard != 0;
  if (ground + kZako1b.snap >= position.y && verticalSpeed == 0.0f) {
    position.y = ground;
    airborne = 0;
    return;
  }
  position.y += verticalSpeed;
  airborne = 1;
  // Thrown, it flies at one vertical speed between the ground and a ceiling.
  if (!thrown) verticalSpeed -= kZako1b.gravity;
  if (ground + kZako1b.snap > position.y) {
    position.y = ground;
    // A throw slower than the snap reach bounces in place on the ground
    // (Zako1bOnSokaiField.ThrownDownItBouncesOffTheGroundThrownFlatItSlidesOnIt).
    if (thrown) {
      verticalSpeed = -verticalSpeed;
      SpawnBounceStars(position);
      return;
    }
    verticalSpeed = 0.0f;
    airborne = 0;
    PlaySound(kSoundLanding, kQuieter10dB);
    SpawnLandingDust(position);
  }
}

void Zako1b::Walls(const port::Vec3& d) {
  if (!guard) {
    WallStep(d);
    return;
  }
  if (position == previousPosition) return;
  const WallContact wall =
      FindWall(previousPosition, d, angle.x, angle.z, kWallReach, WallTest::kMoveDirection);
  if (!wall.found) return;
  // Thrown into a wall: it bounces back mirrored, keeping its vertical speed.
  const port::Vec3 bump = position + wall.probe * (wall.distance * kZako1b.bumpAt);
  g_sound.PlaySoundAt(bump.x, bump.y, bump.z, kSoundWallBounce, kQuieter15dB);
  SpawnBounceStars(bump);
  const port::Vec3 r = ReflectDirection(d, wall);
  moveHeading = YawTo(0.0f, 0.0f, r.x, r.z);
  position = previousPosition;
}
