#pragma once
// The large shots of battle character 3: a slow homing ball that strikes
// for as long as it lives, and a flame that crawls in a circle along the
// ground with a column of collision points.
#include <cstdint>

#include "actors/ShotClass.h"

class Character;

struct Player3LargeTama1Spawn {
  port::Vec3 at;
  float heading = 0.0f;  // degrees
  int32_t owner = kOwnerPlayer;
  // The character it homes on (not owned; it must outlive the shot), or null
  // to fly straight.
  Character* target = nullptr;
};

// Type 71: homes on its target at 8 degrees a frame, 0.1 a frame, for 400
// frames; no wall ends it and it passes through what it hits.
class Player3LargeTama1
    : public ShotClass<Player3LargeTama1, kObjectPlayer3LargeTama1, Player3LargeTama1Spawn> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player3_largetama1.X";

  Player3LargeTama1();
  void Init(const Player3LargeTama1Spawn& spawn);
  void Update() override;
  void Draw() override;

  Character* target = nullptr;

 private:
  void Steer();
};

// Type 72: turns 1.5 degrees a frame while it crawls at 0.1 for 450 frames,
// slides along walls, and strikes at its position and at four points above
// it once it has risen (from frame 30).
class Player3LargeTama2 : public ShotClass<Player3LargeTama2, kObjectPlayer3LargeTama2> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player3_largetama2.X";  // the core
  static constexpr int kColumnPoints = 4;

  Player3LargeTama2();
  // The core and the flame mesh, each once.
  static void Load(port::gpu::Device* device);
  static void Unload();
  void Init(const ShotSpawn& spawn);
  void Update() override;
  void Draw() override;            // the core
  void DrawSecondPass() override;  // the flame, additive, once risen

  port::Vec3 previous;  // the position before this frame's move

 private:
  // The wall step after the move (it follows walls, not the ground).
  void FollowGround();
  void PlaceColumn();
};
