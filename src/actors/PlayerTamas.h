#pragma once
// The normal shots of battle characters 2 to 4: each flies like the tama
// (0.7 a frame for 40 frames, 0.8 over the ground, ends on a hit or at a
// wall) and draws its own mesh.
#include <cstdint>

#include "actors/Player1Shots.h"

// Type 60: the tama's flight, drawn twice as large and turning.
class Player2Tama : public ShotClass<Player2Tama, kObjectPlayer2Tama, ShotSpawn, Tama> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player2_tama.X";
  void Draw() override;
};

// Type 70: the tama's flight, drawn at 1.3 and turning.
class Player3Tama : public ShotClass<Player3Tama, kObjectPlayer3Tama, ShotSpawn, Tama> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player3_tama.X";
  void Draw() override;
};

// Type 80: the tama's flight without the roll, drawn flattened and tumbling.
class Player4Tama : public ShotClass<Player4Tama, kObjectPlayer4Tama, ShotSpawn, Tama> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player4_tama.X";
  void Update() override;
  void Draw() override;
};
