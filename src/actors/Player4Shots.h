#pragma once
// The large shots of battle character 4: the mine that lies on the ground
// until something touches it, the creature that wanders the field, and the
// explosion that ends every touched mine (and every 3D marker).
#include <cstdint>

#include "actors/ShotClass.h"

// Type 81: dropped onto the ground; struck, it explodes on its next update
// into a Player4LargeTama3 of its owner; untouched it puffs out after 300.
class Player4LargeTama1 : public ShotClass<Player4LargeTama1, kObjectPlayer4LargeTama1> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player4_largetama1.X";

  Player4LargeTama1();
  void Init(const ShotSpawn& spawn);
  void Update() override;
  void Draw() override;
};

// Type 82: roams at 0.15 toward headings it picks at random, kicking up
// dust and turning off walls, for 450 frames; then it shrinks away,
// harmless, in 21 frames.
class Player4LargeTama2 : public ShotClass<Player4LargeTama2, kObjectPlayer4LargeTama2> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player4_largetama2.X";

  Player4LargeTama2();
  void Init(const ShotSpawn& spawn);
  void Update() override;
  void Draw() override;

  float targetHeading = 0.0f;  // degrees
  float scale = 0.0f;
  port::Vec3 previous;  // the position before this frame's move

 private:
  // The wall step after the move (it follows walls, not the ground).
  void FollowGround();
};

// Type 83: an explosion that grows from 0.5 by 0.1 a frame and tumbles for
// 26 updates, striking everything within its radius; drawn additively.
class Player4LargeTama3 : public ShotClass<Player4LargeTama3, kObjectPlayer4LargeTama3> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player4_largetama3.X";

  Player4LargeTama3();
  void Init(const ShotSpawn& spawn);
  void Update() override;
  void DrawSecondPass() override;
};
