#pragma once
// The big balls of the enemy side: LargeBall1 (type 4) rolls straight, fired
// by boss 1 and by the launchers; LargeBall2 (type 5) curves left or right for
// its first second, fired in pairs by boss 2. Both follow the ground and end
// on a hit or after 150 frames; walls do not stop them.
#include <cstdint>

#include "actors/ShotClass.h"
#include "port/math.h"

struct LargeBallSpawn {
  port::Vec3 at;
  float heading = 0.0f;  // degrees
  float speed = 0.0f;    // units a frame
  float damage = 0.0f;
};

// What the two balls share; frameCounter is the ball's age.
class LargeBall : public PlayerShot {
 protected:
  void InitBall(const LargeBallSpawn& spawn);
  // The move along the heading, the hit, the ground and the end of life.
  void Roll();
};

// Load keeps the device and loads the mesh unless it is loaded (the object
// list's class loading); a missing file leaves the balls undrawn.
class LargeBall1 : public ShotClass<LargeBall1, kObjectLargeBall1, LargeBallSpawn, LargeBall> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/large_tama1.X";

  LargeBall1();
  void Init(const LargeBallSpawn& spawn);
  void Update() override;
  void Draw() override;
};

class LargeBall2 : public ShotClass<LargeBall2, kObjectLargeBall2, LargeBallSpawn, LargeBall> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/large_tama2.X";

  LargeBall2();
  // curve: an even value turns right (heading up), an odd one left.
  static LargeBall2* Spawn(const LargeBallSpawn& spawn, int32_t curve) {
    return SpawnShot<LargeBall2>(spawn, curve);
  }
  void Init(const LargeBallSpawn& spawn, int32_t curve);
  void Update() override;
  void Draw() override;

  int32_t curve = 0;
};
