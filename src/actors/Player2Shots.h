#pragma once
// The large shots of battle character 2: the curving ball of its fan and
// the invisible hit box its thunder attack leaves behind.
#include <cstdint>

#include "actors/PlayerShot.h"

// Type 61: flies at 0.4 for 120 frames along an arc that its curve picks.
class Player2LargeTama1 : public PlayerShot {
 public:
  Player2LargeTama1();
  static void Load(port::gpu::Device* device);
  static void Unload();
  // curve: 0 to 3 turn +1.0, +0.3, -0.3, -1.0 degrees a frame (by its
  // remainder modulo 4); a negative curve flies straight.
  static Player2LargeTama1* Spawn(float x, float y, float z, float heading, int32_t curve,
                                  int32_t owner);
  void Init(float x, float y, float z, float heading, int32_t curve, int32_t owner);
  void Update() override;
  void Draw() override;

  int32_t curve = 0;
};

// Type 62: strikes with damage 100 everything within 1.5 of where it was put,
// for 4 frames; it does not move, draw or react to hits.
class Player2HitBox : public PlayerShot {
 public:
  Player2HitBox();
  static Player2HitBox* Spawn(float x, float y, float z, float heading, int32_t owner);
  void Init(float x, float y, float z, float heading, int32_t owner);
  void Update() override;
};
