#pragma once
// The shooting small enemy of stages 1 and 2: it wanders, stops to look
// about, walks toward the player once it sees it, fires one ring bullet from
// close range and pauses. Two ordinary shots kill it.
#include <cstdint>

#include "actors/Enemy.h"

enum Zako2State : int32_t {
  kZako2Wander = 1,
  kZako2Watch = 2,
  kZako2Approach = 3,
  kZako2Pause = 4,
  kZako2Dying = 5,
  kZako2Attack = 6,
  kZako2Damage = 7,
};

class Zako2 : public Enemy {
 public:
  static constexpr int kRecords = 6;

  Zako2();

  // The class model from "Xfile/zako2/" (see EnemyModel::Load).
  static bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                   EffectHolder* effect, Texture* toonRamp);
  static void Unload();
  // A zako2 at (x, y, z) facing `heading` degrees: a dead one reused, or a new one.
  static Zako2* Spawn(float x, float y, float z, float heading);
  static EnemyModel& Shared();

 protected:
  void RunState() override;

 private:
  void Wander();
  void Watch();
  void Approach();
  void Pause();
  void Dying();
  void Attack();
  void Damage();
};
