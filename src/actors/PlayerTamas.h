#pragma once
// The normal shots of battle characters 2 to 4: each flies like the tama
// (0.7 a frame for 40 frames, 0.8 over the ground, ends on a hit or at a
// wall) and draws its own mesh.
#include <cstdint>

#include "actors/Player1Shots.h"

// Type 60: the tama's flight, drawn twice as large and turning.
class Player2Tama : public Tama {
 public:
  Player2Tama();
  static void Load(port::gpu::Device* device);
  static void Unload();
  static Player2Tama* Spawn(float x, float y, float z, float heading, int32_t owner);
  void Draw() override;
};

// Type 70: the tama's flight, drawn at 1.3 and turning.
class Player3Tama : public Tama {
 public:
  Player3Tama();
  static void Load(port::gpu::Device* device);
  static void Unload();
  static Player3Tama* Spawn(float x, float y, float z, float heading, int32_t owner);
  void Draw() override;
};

// Type 80: the tama's flight without the roll, drawn flattened and tumbling.
class Player4Tama : public Tama {
 public:
  Player4Tama();
  static void Load(port::gpu::Device* device);
  static void Unload();
  static Player4Tama* Spawn(float x, float y, float z, float heading, int32_t owner);
  void Update() override;
  void Draw() override;
};
