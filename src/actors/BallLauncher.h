#pragma once
// An unseen launcher of the enemy side (type 7): it gathers light for 90
// frames, then fires one LargeBall1 along its heading on its 95th frame and
// is done. It never collides and has no resources. The stage-3 scene places
// launchers round the arena's centre; boss 3 drops them.
#include <cstdint>

#include "actors/ShotClass.h"
#include "port/math.h"

// Built on the shot skeleton: frameCounter is the launcher's age.
// Its spawn's heading is where the ball will roll.
class BallLauncher : public ShotClass<BallLauncher, kObjectBallLauncher> {
 public:
  BallLauncher();
  void Update() override;
};
