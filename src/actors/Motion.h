#pragma once
// The field contacts every moving actor shares: the ground under a point, the
// ceiling, walls found by three probes with a slide along them or a bounce off
// them, gravity with its landing, the ground following of shots, and the hit
// test against an object of the object list. Each piece takes the numbers that
// differ between the actors that use it.
#include <cstdint>

#include "port/math.h"

class DynamicObject;

// The ground straight below a point: the field's nearest face along
// (0, -10, 0) within 1000 lengths of that vector.
struct GroundHit {
  bool found = false;
  port::Vec3 point;  // where the ray met the field
};
GroundHit FindGround(const port::Vec3& from);

// The ground following of shots: y sinks toward the ground + height by at most
// 0.1 a frame and never stays below it; with no ground under it y stays.
void KeepAboveGround(port::Vec3* position, float height);

// True when the field lies straight up from `from` within 1 unit.
bool CeilingAbove(const port::Vec3& from);

// True when the field lies along the unit vector `forward` within 1 unit.
bool WallAhead(const port::Vec3& from, const port::Vec3& forward);

// True when the straight way from `from` toward `to` meets the field within
// `limit` units (nothing when the points coincide).
bool PathBlocked(const port::Vec3& from, const port::Vec3& to, float limit);

// Which dot product decides whether a probe's face is a wall and how far the
// move goes into it: the move direction's (stage player, shots) or the
// probe's own (battle players).
enum class WallTest { kMoveDirection, kProbeDirection };

// Which probes FindWall casts and how a face that is no wall limits the next
// probe. The defaults are the stage player's and the shots'.
struct WallProbes {
  bool straight = true;  // d itself first, then the two side probes
  // A face that is no wall leaves the deciding dot product as the reach of
  // the later probes instead of its distance (the small enemies' walk A).
  bool reachFromDot = false;
};

struct WallContact {
  bool found = false;
  port::Vec3 probe;   // the unit direction that found the wall
  port::Vec3 normal;  // the wall face's unit normal
  float distance = 0.0f;
  float dot = 0.0f;  // the deciding dot product with the normal (<= 0)
};

// Casts d, then the forward vectors of (pitch, yaw of d + 45, roll) and
// (pitch, yaw of d - 45, roll) from `from`. The limit is set once: a face
// that is rejected shortens the reach of the later probes. The first face
// whose normal the deciding direction does not point along is the wall.
WallContact FindWall(const port::Vec3& from, const port::Vec3& d, float pitch, float roll,
                     float limit, WallTest test, const WallProbes& probes = {});

// d with the part that runs into the wall taken away.
port::Vec3 SlideDirection(const port::Vec3& d, const WallContact& wall);
// d mirrored on the wall, made unit length.
port::Vec3 ReflectDirection(const port::Vec3& d, const WallContact& wall);

// What a character's wall step did.
struct WallResponse {
  bool wall = false;     // a wall was found
  bool bounced = false;  // the character bounced: position is back at previous
  port::Vec3 reflected;  // the unit direction after a bounce
};

// The characters' wall step after a move from `previous` along the unit
// vector d at `speed`: probes reach 1.5 units. Bouncing (knock-back) puts the
// position back, sounds and throws stars at the point of contact; otherwise
// the character slides along the wall, or stays at `previous` when the slide
// is blocked too.
WallResponse CollideWithWalls(port::Vec3* position, const port::Vec3& previous, const port::Vec3& d,
                              float speed, float pitch, float roll, bool bounce, WallTest test);

// What one gravity step did.
enum class GravityStep {
  kStanding,  // on the ground: nothing moved
  kFalling,   // moved by the vertical speed and still in the air
  kLanded,    // moved, then came down on the ground (sound and dust made)
};

// Where a landing is heard: everywhere alike (the stage player), or from the
// place of the landing (the enemies).
enum class LandingSound { kPlain, kAtPosition };

// One frame of gravity for a character whose origin rests at `ground`: snaps
// to the ground within 0.3 when not rising, else moves by the vertical speed,
// which loses 0.025 a frame, and lands when it comes within 0.3 of the ground.
GravityStep ApplyGravity(float ground, port::Vec3* position, float* verticalSpeed,
                         uint8_t* airborne, LandingSound sound = LandingSound::kPlain);

// The dust a running character kicks up, and the ring of dust of a landing.
void SpawnRunDust(const port::Vec3& at);
void SpawnLandingDust(const port::Vec3& at);
// The ten stars thrown every way where a character strikes a wall or a ceiling.
void SpawnBounceStars(const port::Vec3& at);

// True when the object's position, or else one of its extra collision
// points, lies nearer to p than the object's radius + margin.
bool ObjectTouches(const DynamicObject& object, const port::Vec3& p, float margin);
