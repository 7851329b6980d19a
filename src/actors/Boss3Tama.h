#pragma once
// Boss 3's glowing bullet (type 8): it moves out from the point it was fired
// from and then circles that point, level, at the height its pitch lifts it
// to; drawn as a picture facing the screen that pulses in width. Hits do not end it; it
// bursts after 1000 frames.
#include <cstdint>

#include "actors/ShotClass.h"
#include "port/math.h"

enum Boss3TamaMode : int32_t {
  kBoss3TamaStill = 0,   // stays where it was fired (any mode but circling)
  kBoss3TamaCircle = 1,  // moves out for 59 frames, then circles
};

struct Boss3TamaSpawn {
  port::Vec3 at;         // the centre it circles
  float pitch = 0.0f;    // degrees; negative lifts the circle above the centre
  float heading = 0.0f;  // degrees: where it moves out to
  int32_t mode = kBoss3TamaCircle;
  int32_t owner = kOwnerEnemy;
};

// Built on the shot skeleton: frameCounter is the bullet's age.
class Boss3Tama : public ShotClass<Boss3Tama, kObjectBoss3Tama, Boss3TamaSpawn> {
 public:
  Boss3Tama();
  // Keeps the device, loads the picture and makes its quad, on every call
  // (boss 3's loading). A missing picture leaves the bullets undrawn.
  static void Load(port::gpu::Device* device);
  // Releases them; the game's final release calls it. A second call does
  // nothing.
  static void Unload();
  void Init(const Boss3TamaSpawn& spawn);
  void Update() override;
  void Draw() override;

  port::Vec3 previousPosition;  // before this frame's update
  port::Vec3 centre;
  int32_t mode = kBoss3TamaCircle;
  float distance = 0.0f;  // from the centre
  float widthScale = 1.0f;
  float heightScale = 1.0f;
};
