#pragma once
// The large shots of battle character 3: a slow homing ball that strikes
// for as long as it lives, and a flame that crawls in a circle along the
// ground with a column of collision points.
#include <cstdint>

#include "actors/PlayerShot.h"

class Character;

// Type 71: homes on its target at 8 degrees a frame, 0.1 a frame, for 400
// frames; no wall ends it and it passes through what it hits.
class Player3LargeTama1 : public PlayerShot {
 public:
  Player3LargeTama1();
  static void Load(port::gpu::Device* device);
  static void Unload();
  // target: the character it homes on (not owned; it must outlive the shot),
  // or null to fly straight.
  static Player3LargeTama1* Spawn(float x, float y, float z, float heading, Character* target,
                                  int32_t owner);
  void Init(float x, float y, float z, float heading, Character* target, int32_t owner);
  void Update() override;
  void Draw() override;

  Character* target = nullptr;

 private:
  void Steer();
};

// Type 72: turns 1.5 degrees a frame while it crawls at 0.1 for 450 frames,
// slides along walls, and strikes at its position and at four points above
// it once it has risen (from frame 30).
class Player3LargeTama2 : public PlayerShot {
 public:
  static constexpr int kColumnPoints = 4;

  Player3LargeTama2();
  // The core and the flame mesh, each once.
  static void Load(port::gpu::Device* device);
  static void Unload();
  static Player3LargeTama2* Spawn(float x, float y, float z, float heading, int32_t owner);
  void Init(float x, float y, float z, float heading, int32_t owner);
  void Update() override;
  void Draw() override;            // the core
  void DrawSecondPass() override;  // the flame, additive, once risen

  port::Vec3 previous;  // the position before this frame's move

 private:
  // The wall step after the move (it follows walls, not the ground).
  void FollowGround();
  void PlaceColumn();
};
