#pragma once
// The weakest small enemy of stages 1 and 2: it wanders, now and then turns
// on the player and runs at it, stands facing it for a while once close, and
// dies at the first hit.
#include <cstdint>

#include "actors/Enemy.h"

enum Zako1State : int32_t {
  kZako1Wander = 1,
  kZako1Chase = 2,
  kZako1Alert = 3,
  kZako1Dying = 4,
};

class Zako1 : public Enemy {
 public:
  // Five records for the four animation files; the last is never weighted.
  static constexpr int kRecords = 5;

  Zako1();

  // The class model from "Xfile/zako1/" (see EnemyModel::Load).
  static bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                   EffectHolder* effect, Texture* toonRamp);
  static void Unload();
  // A zako1 at (x, y, z) facing `heading` degrees: a dead one reused, or a new one.
  static Zako1* Spawn(float x, float y, float z, float heading);
  static EnemyModel& Shared();

 protected:
  void RunState() override;
  // Any hit kills: the gauge shows 0 of 1.
  void OnHit(DynamicObject& object) override;
  // The dying sway.
  void AfterBlend(const EnemyAnimRow& row) override;

 private:
  void Wander();
  void Chase();
  void Alert();
  void Dying();
};
