#pragma once
// The tama, which the stage player and battle character 1 fire, and the
// large shots of character 1: a steering ball, a slow ball that is flung
// away, the sokai stage's shot and the burst it leaves.
#include <cstdint>

#include "actors/ShotClass.h"

class Character;
struct SokaiCounters;

// Type 1: flies straight at 0.7 a frame for 40 frames, ends on a hit or a wall.
class Tama : public ShotClass<Tama, kObjectTama> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/tama.X";

  Tama();
  void Update() override;
  void Draw() override;

 protected:
  // The flight every tama-like shot shares (also the other characters' tamas).
  void Fly();
};

struct Player1LargeTama1Spawn {
  port::Vec3 at;
  float heading = 0.0f;  // degrees
  int32_t owner = kOwnerPlayer;
  uint8_t battleMode = 0;  // 0 steers at the enemies, 1 at the battle players
};

// Type 51: a ball that steers toward the nearest enemy ahead (in battle the
// nearest other player ahead) and passes through up to three hits.
class Player1LargeTama1
    : public ShotClass<Player1LargeTama1, kObjectPlayer1LargeTama1, Player1LargeTama1Spawn> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player1_largetama1.X";

  Player1LargeTama1();
  // targets: the battle players a battle-mode ball may steer at, count of
  // them (none outside battle).
  static void Load(port::gpu::Device* device, Character* const* targets, int32_t targetCount);
  void Init(const Player1LargeTama1Spawn& spawn);
  void Update() override;
  void Draw() override;

  int32_t hitsLeft = 0;
  uint8_t battleMode = 0;  // 0 stage, 1 battle

 private:
  void Steer();
};

// Type 52: creeps for 200 frames, speeding up, then is flung away; drawn
// glowing in the additive pass only.
class Player1LargeTama2 : public ShotClass<Player1LargeTama2, kObjectPlayer1LargeTama2> {
 public:
  static constexpr char kModelPath[] = "Xfile/tama/player1_largetama2.X";

  Player1LargeTama2();
  void Update() override;
  void DrawSecondPass() override;
};

// Type 53: the sokai stage's shot, a spinning picture that never hits; after
// 10 frames (or at a wall) it bursts.
class Player1LargeTama3 : public ShotClass<Player1LargeTama3, kObjectPlayer1LargeTama3> {
 public:
  Player1LargeTama3();
  // Loads the picture and makes the quad on every call.
  static void Load(port::gpu::Device* device);
  static void Unload();
  void Update() override;
  void Draw() override;
};

// Type 54: the burst of the sokai shot: strikes every enemy within 4 units for
// 41 frames, with lightning and smoke; counts into the sokai counters.
class Player1TamaBurst : public ShotClass<Player1TamaBurst, kObjectPlayer1TamaBurst> {
 public:
  Player1TamaBurst();
  // The sokai stage hands over its device and counters; without counters
  // the bursts count nowhere.
  static void SetContext(port::gpu::Device* device, SokaiCounters* counters);
  void Init(const ShotSpawn& spawn);
  void Update() override;
};
