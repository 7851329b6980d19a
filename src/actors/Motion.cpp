#include "actors/Motion.h"

#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/DynamicObject.h"
#include "world/ParticleEffect.h"
#include "world/StageField.h"

namespace {

struct MotionNumbers {
  port::Vec3 down{0.0f, -10.0f, 0.0f};  // the ground probe: 10,000 units deep
  float groundReach = 1000.0f;
  float ceilingReach = 1.0f;
  float wallAheadReach = 1.0f;
  float characterWallReach = 1.5f;
  float probeSpread = 45.0f;         // degrees either side of the move
  float bounceStarsAt = 0.6666667f;  // of the way to the wall
  int bounceStars = 10;
  float sinkPerFrame = 0.1f;  // shots settling on their height
  float snap = 0.3f;          // a character this near the ground stands on it
  float gravity = 0.025f;
  int landingPuffs = 10;
};
constexpr MotionNumbers kMotion;

}  // namespace

GroundHit FindGround(const port::Vec3& from) {
  GroundHit hit;
  float t = kMotion.groundReach;
  if (g_stageField.RayCast(&from, &kMotion.down, &t)) {
    hit.found = true;
    hit.point = from + kMotion.down * t;
  }
  return hit;
}

void KeepAboveGround(port::Vec3* position, float height) {
  const GroundHit ground = FindGround(*position);
  if (!ground.found) return;
  const float g = ground.point.y + height;
  if (position->y <= g + kMotion.sinkPerFrame) {
    position->y = g;
    return;
  }
  position->y -= kMotion.sinkPerFrame;
  if (position->y < g + kMotion.sinkPerFrame) position->y = g;
}

bool CeilingAbove(const port::Vec3& from) {
  const port::Vec3 up{0.0f, 1.0f, 0.0f};
  float t = kMotion.ceilingReach;
  return g_stageField.RayCast(&from, &up, &t);
}

bool WallAhead(const port::Vec3& from, const port::Vec3& forward) {
  float t = kMotion.wallAheadReach;
  return g_stageField.RayCast(&from, &forward, &t);
}

bool PathBlocked(const port::Vec3& from, const port::Vec3& to, float limit) {
  const port::Vec3 dir = DirectionTo(from.x, from.y, from.z, to.x, to.y, to.z);
  if (dir == port::Vec3{}) return false;
  float t = limit;
  return g_stageField.RayCast(&from, &dir, &t);
}

WallContact FindWall(const port::Vec3& from, const port::Vec3& d, float pitch, float roll,
                     float limit, WallTest test, const WallProbes& probes) {
  const float yaw = YawOfVector(d.x, d.y, d.z);
  const port::Vec3 directions[3] = {d, DirectionFromAngles(pitch, yaw + kMotion.probeSpread, roll),
                                    DirectionFromAngles(pitch, yaw - kMotion.probeSpread, roll)};
  // One limit for all three probes: a hit that is not a wall still shortens it.
  float t = limit;
  for (size_t i = probes.straight ? 0 : 1; i < 3; ++i) {
    const port::Vec3& probe = directions[i];
    port::Vec3 n;
    if (!g_stageField.RayCastNormal(&from, &probe, &t, &n)) continue;
    const float dot = port::Vec3Dot(test == WallTest::kMoveDirection ? d : probe, n);
    if (dot <= 0.0f) return {true, probe, n, t, dot};
    if (probes.reachFromDot) t = dot;
  }
  return {};
}

port::Vec3 SlideDirection(const port::Vec3& d, const WallContact& wall) {
  return d - wall.normal * wall.dot;
}

port::Vec3 ReflectDirection(const port::Vec3& d, const WallContact& wall) {
  return port::Vec3Normalize(d - wall.normal * (2.0f * wall.dot));
}

WallResponse CollideWithWalls(port::Vec3* position, const port::Vec3& previous, const port::Vec3& d,
                              float speed, float pitch, float roll, bool bounce, WallTest test) {
  WallResponse r;
  if (*position == previous) return r;
  const WallContact wall = FindWall(previous, d, pitch, roll, kMotion.characterWallReach, test);
  if (!wall.found) return r;
  r.wall = true;
  if (bounce) {
    const port::Vec3 at = *position + wall.probe * (wall.distance * kMotion.bounceStarsAt);
    g_sound.PlaySound(kSoundWallBounce, kQuieter10dB);
    SpawnBounceStars(at);
    r.bounced = true;
    r.reflected = ReflectDirection(d, wall);
    *position = previous;
    return r;
  }
  *position = previous + SlideDirection(d, wall) * speed;
  if (PathBlocked(previous, *position, kMotion.characterWallReach)) *position = previous;
  return r;
}

GravityStep ApplyGravity(float ground, port::Vec3* position, float* verticalSpeed,
                         uint8_t* airborne, LandingSound sound) {
  if (ground + kMotion.snap >= position->y && *verticalSpeed <= 0.0f) {
    *verticalSpeed = 0.0f;
    position->y = ground;
    *airborne = 0;
    return GravityStep::kStanding;
  }
  position->y += *verticalSpeed;
  *airborne = 1;
  *verticalSpeed -= kMotion.gravity;
  if (ground + kMotion.snap > position->y) {
    position->y = ground;
    *verticalSpeed = 0.0f;
    *airborne = 0;
    if (sound == LandingSound::kAtPosition) {
      g_sound.PlaySoundAt(position->x, position->y, position->z, kSoundLanding, kQuieter10dB);
    } else {
      g_sound.PlaySound(kSoundLanding, kQuieter10dB);
    }
    SpawnLandingDust(*position);
    return GravityStep::kLanded;
  }
  return GravityStep::kFalling;
}

void SpawnRunDust(const port::Vec3& at) {
  const float r1 = RandomFloat(60.0f, 0.01f);
  const float r2 = RandomFloat(60.0f, 0.01f);
  ParticleEffect::Spawn(at.x - 0.3f + r1, at.y - 0.8f, at.z - 0.3f + r2, 0.2f, -90.0f, 0.0f, 0.01f,
                        kParticleSmoke, 1);
}

void SpawnLandingDust(const port::Vec3& at) {
  for (int i = 0; i < kMotion.landingPuffs; ++i) {
    const float r1 = RandomFloat(60.0f, 0.01f);
    const float r2 = RandomFloat(60.0f, 0.01f);
    const float speed = RandomFloat(60.0f, 0.001f) + 0.01f;
    ParticleEffect::Spawn(at.x - 0.3f + r1, at.y - 0.8f, at.z - 0.3f + r2, 0.0f, -5.0f,
                          36.0f * static_cast<float>(i), speed, kParticleSmoke, 1);
  }
}

void SpawnBounceStars(const port::Vec3& at) {
  for (int i = 0; i < kMotion.bounceStars; ++i) {
    const float pitchDeg = static_cast<float>(RandomInt(180) - 90);
    const float yawDeg = static_cast<float>(RandomInt(360));
    ParticleEffect::Spawn(at.x, at.y, at.z, 0.5f, pitchDeg, yawDeg, 0.1f, kParticleStar, 1);
  }
}

bool ObjectTouches(const DynamicObject& object, const port::Vec3& p, float margin) {
  port::Vec3 at;
  object.GetPosition(&at);
  const double reach = static_cast<double>(object.GetRadius() + margin);
  if (Distance3(p.x, p.y, p.z, at.x, at.y, at.z) < reach) return true;
  for (const port::Vec3* e = object.GetExtraPointsBegin(); e != object.GetExtraPointsEnd(); ++e) {
    if (Distance3(p.x, p.y, p.z, e->x, e->y, e->z) < reach) return true;
  }
  return false;
}
