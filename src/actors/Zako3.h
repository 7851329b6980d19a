#pragma once
// The jumping, shooting small enemy of stages 2 and 3. It wanders and now
// and then jumps or hops about; once it has spotted the player it stays
// aggressive: it chases, keeping a middle distance, shoots, jumps over walls
// in its way, and after a pause or a run of hops goes back to the chase.
// Three ordinary shots kill it.
#include <cstdint>

#include "actors/Enemy.h"

enum Zako3State : int32_t {
  kZako3Wander = 1,
  kZako3Watch = 2,
  kZako3Chase = 3,
  kZako3Pause = 4,
  kZako3Dying = 5,
  kZako3Attack = 6,
  kZako3Damage = 7,
  kZako3Jump = 8,
  kZako3Hop = 9,
};

class Zako3 : public EnemyClassOf<Zako3> {
 public:
  static constexpr int kRecords = 7;
  static const EnemyTraits kTraits;

  // Calm, and clear of walls.
  void Init(float x, float y, float z, float heading) override;
  // Walk B, keeping what the wall probes found.
  void Move() override;

  // Set when the watch spots the player, cleared when the chase gives up:
  // while set the walls do not turn it, and pauses and jumps lead back to
  // the chase.
  uint8_t keepHeading = 0;
  // Whether a wall probe blocked on the last frame it moved.
  uint8_t wallContact = 0;

 protected:
  void RunState() override;
  bool KeepsHeading() const override { return keepHeading != 0; }

 private:
  void Wander();
  void Watch();
  void Chase();
  void Pause();
  void Attack();
  void Damage();
  void Jump();
  void Hop();
  // Back to the chase while aggressive, else to the wander.
  void Resume();
};
