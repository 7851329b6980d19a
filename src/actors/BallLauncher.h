#pragma once
// An unseen launcher of the enemy side (type 7): it gathers light for 90
// frames, then fires one LargeBall1 along its heading on its 95th frame and
// is done. It never collides and has no resources. The stage-3 scene places
// launchers round the arena's centre; boss 3 drops them.
#include <cstdint>

#include "actors/PlayerShot.h"
#include "port/math.h"

// Built on the shot skeleton: frameCounter is the launcher's age.
class BallLauncher : public PlayerShot {
 public:
  BallLauncher();
  // heading in degrees: where the ball will roll.
  static BallLauncher* Spawn(const port::Vec3& at, float heading, int32_t owner);
  void Init(const port::Vec3& at, float heading, int32_t owner);
  void Update() override;
};
