#pragma once
// The large shots of battle character 2: the curving ball of its fan and
// the invisible hit box its thunder attack leaves behind.
#include <cstdint>

#include "actors/ShotClass.h"

struct Player2LargeTama1Spawn {
  port::Vec3 at;
  float heading = 0.0f;  // degrees
  int32_t owner = kOwnerPlayer;
  // 0 to 3 turn +1.0, +0.3, -0.3, -1.0 degrees a frame (by its remainder
  // modulo 4); a negative curve flies straight.
  int32_t curve = 0;
};

// Type 61: flies at 0.4 for 120 frames along an arc that its curve picks.
class Player2LargeTama1
    : public ShotClass<Player2LargeTama1, kObjectPlayer2LargeTama1, Player2LargeTama1Spawn> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player2_largetama1.x";

  Player2LargeTama1();
  void Init(const Player2LargeTama1Spawn& spawn);
  void Update() override;
  void Draw() override;

  int32_t curve = 0;
};

// Type 62: strikes with damage 100 everything within 1.5 of where it was put,
// for 4 frames; it does not move, draw or react to hits.
class Player2HitBox : public ShotClass<Player2HitBox, kObjectPlayer2HitBox> {
 public:
  Player2HitBox();
  void Update() override;
};
