#pragma once
// Zako1's variant for the sokai stage: it only wanders, and a hit throws it
// away from the shot, spinning and bouncing off the ground, ceilings and
// walls for 60 frames; each one thrown counts a kill and a combo.
#include <cstdint>

#include "actors/Enemy.h"

struct SokaiCounters;

enum Zako1bState : int32_t {
  kZako1bWander = 1,
  kZako1bBlown = 2,
};

class Zako1b : public EnemyClassOf<Zako1b> {
 public:
  static constexpr int kRecords = 3;
  static const EnemyTraits kTraits;

  // The class model from "Xfile/zako1/" (see EnemyModel::Load), and the
  // counters each enemy thrown counts into (SokaiCounters::CountKill): the
  // sokai stage's; null counts nowhere.
  static bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                   EffectHolder* effect, Texture* toonRamp, SokaiCounters* counters);
  // The model; the counters are let go.
  static void Unload();
  static SokaiCounters* Counters();

  // Its own walk: the step, the ground with its bouncing gravity, the
  // ceiling, then the walls: a bounce while thrown, else walk B's slide
  // (turning 6 degrees a frame toward the way out).
  void Move() override;

 protected:
  void RunState() override;
  // Thrown away from the object: up at 0 to 0.7 a frame, sideways the
  // slower the higher. No gauge report.
  void OnHit(DynamicObject& object) override;
  // The spin while thrown.
  void AfterBlend(const EnemyAnimRow& row) override;
  // While thrown the vertical speed stays and the ground bounces it back;
  // else the fall and landing of every small enemy.
  void ApplyGravity(float ground) override;

 private:
  void Wander();
  void Blown();
  void Walls(const port::Vec3& d);
};
