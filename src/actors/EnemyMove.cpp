// The enemy scheme's walk on the stage field: the step along the move
// heading, the ground below with gravity, the wall probes with the slide and
// the way out, and the ceiling.
#include <cmath>

#include "actors/Enemy.h"
#include "actors/Motion.h"
#include "platform/MathHelpers.h"

namespace {

struct WalkNumbers {
  float standHeight = 1.0f;    // the origin rests this high above the ground
  float shadowBelow = 0.95f;   // the shadow lies this far below the origin
  float wayOutSpread = 50.0f;  // degrees either side of the wall's normal
};
constexpr WalkNumbers kWalk;

}  // namespace

port::Vec3 Enemy::Forward() const { return DirectionFromAngles(angle.x, moveHeading, angle.z); }

void Enemy::StepAlong(const port::Vec3& d) {
  position.x += d.x * speed;
  position.z += d.z * speed;
}

void Enemy::Move() {
  RunState();
  const port::Vec3 d = Forward();
  StepAlong(d);
  if (traits.walk == EnemyWalk::kB) {
    WallStep(d);
    FollowGround();
    StopAtCeiling();
    return;
  }
  if (!FollowGround()) return;
  // The walls see only the move across the field: with the fall in it, the
  // probes of an enemy in the air would point at the floor.
  const port::Vec3 m =
      DirectionTo(previousPosition.x, 0.0f, previousPosition.z, position.x, 0.0f, position.z);
  WallStep(m);
}

bool Enemy::FollowGround() {
  const GroundHit hit = FindGround(position);
  if (!hit.found) {
    position = previousPosition;
    // Off the field the enemy stays put; one in the air still comes down, on
    // the last ground it knew, so that no state waits for a landing forever.
    if (airborne && groundKnown) ApplyGravity(lastGround);
    return false;
  }
  const float ground = hit.point.y + kWalk.standHeight;
  shadowHeight = ground - kWalk.shadowBelow;
  lastGround = ground;
  groundKnown = 1;
  ApplyGravity(ground);
  return true;
}

void Enemy::ApplyGravity(float ground) {
  ::ApplyGravity(ground, &position, &verticalSpeed, &airborne, LandingSound::kAtPosition);
}

Enemy::WallStepResult Enemy::WallStep(const port::Vec3& m) {
  WallStepResult result;
  const bool walkA = traits.walk == EnemyWalk::kA;
  // Walk A looks at the move across the field only (the fall is not a move).
  if (walkA ? (position.x == previousPosition.x && position.z == previousPosition.z)
            : position == previousPosition) {
    return result;
  }
  result.probed = true;
  const WallProbes probes{.straight = !walkA, .reachFromDot = walkA};
  const WallContact wall =
      FindWall(previousPosition, m, angle.x, angle.z, kWallReach, WallTest::kMoveDirection, probes);
  if (!wall.found) return result;
  result.blocked = true;

  const port::Vec3 slide = SlideDirection(m, wall);
  if (walkA) {
    position.x = previousPosition.x + slide.x * speed;
    position.z = previousPosition.z + slide.z * speed;
  } else {
    position = previousPosition + slide * speed;
  }
  const port::Vec3 across =
      walkA ? port::Vec3{position.x, previousPosition.y, position.z} : position;
  const bool stuck = PathBlocked(previousPosition, across, kWallReach);
  const float wayOut =
      static_cast<float>(std::fmod(YawOfVector(wall.normal.x, wall.normal.y, wall.normal.z) +
                                       kWalk.wayOutSpread - static_cast<float>(RandomInt(100)),
                                   360.0));
  if (stuck) {
    position = previousPosition;
    if (!KeepsHeading()) angle.y = moveHeading = targetHeading = wayOut;
  } else if (traits.wallTurn > 0.0f && !KeepsHeading()) {
    targetHeading = wayOut;
    angle.y = moveHeading = TurnToward(wayOut, angle.y, traits.wallTurn);
  }
  return result;
}

void Enemy::StopAtCeiling() {
  if (verticalSpeed > 0.0f && CeilingAbove(previousPosition)) {
    position = previousPosition;
    verticalSpeed = 0.0f;
  }
}
