#pragma once
// The strongest small enemy, of stage 3. It guards its spawn point (its
// home): it wanders near it and walks back when it strays. Once it has
// spotted the player it chases, jumps, dashes through the air, and attacks:
// a flat fan of six bullets, a fan of five rising ones, two rings from its
// sides after a dash, and a close blow. While it attacks it is armoured: a
// hit costs a fiftieth of the damage and makes it blink red for a moment
// without stopping it. After an ordinary hit it is immune and blinks for 90
// frames.
#include <cstdint>

#include "actors/Enemy.h"

enum Zako4State : int32_t {
  kZako4Wander = 1,
  kZako4Watch = 2,
  kZako4Chase = 3,
  kZako4ReturnHome = 4,
  kZako4Pause = 5,
  kZako4Dying = 6,
  kZako4Fan = 7,       // attack 1: six bullets across
  kZako4PitchFan = 8,  // attack 2: five bullets rising
  kZako4Rings = 9,     // attack 3: a ring from each side
  kZako4Blow = 10,     // attack 4: close
  kZako4Damage = 12,
  kZako4Jump = 13,
  kZako4JumpDash = 14,
  kZako4BackJump = 15,
};

class Zako4 : public EnemyClassOf<Zako4> {
 public:
  static constexpr int kRecords = 11;
  static const EnemyTraits kTraits;

  // Home at (x, y, z), calm and unarmoured, its first frame immune.
  void Init(float x, float y, float z, float heading) override;
  // Counts the frame, then the scheme's frame.
  void Update() override;
  // The blink, then walk B.
  void Move() override;
  // Attack 3 starts at full weight, without a cross-fade.
  void SetAnimation(int32_t id) override;
  // The distance to its home across the field.
  float HomeDistance() const;

  int32_t frameCounter = 0;  // frames since Init: paces the red blink
  port::Vec3 home;
  int32_t blinkCounter = 0;  // frames of blinking left; the guard is the blink flag
  uint8_t armoured = 0;      // through attacks 1, 2 and 4
  // Set when the watch spots the player, cleared when the chase gives up:
  // while set the walls do not turn it, pauses and jumps lead back to the
  // chase, and a dash ends in the side rings.
  uint8_t keepHeading = 0;

 protected:
  void RunState() override;
  // Armoured: a fiftieth of the damage and a short blink, the attack going
  // on; else the damage state.
  void OnHit(DynamicObject& object) override;
  bool KeepsHeading() const override { return keepHeading != 0; }
  // Red on the second half of every ten frames while blinking.
  bool Tint(port::Vec4* colour) const override;
  // Attack 1 winds up at half its speed.
  float TimeStep(const EnemyAnimRow& row, const AnimTrack& track) const override;

 private:
  void Wander();
  void Watch();
  void Chase();
  void ReturnHome();
  void Pause();
  void Fan();
  void PitchFan();
  void Rings();
  void Blow();
  void Damage();
  void Jump();
  void JumpDash();
  // Turns toward the player at 3 degrees a frame.
  void Aim();
  // The frame of attack 1 or 2 up to its volley: still, armoured with the
  // pose `anim` and the cry `voice` first, aiming until `volleyFrame`; true
  // on that frame, with the shot sound.
  bool VolleyFrame(int32_t anim, SoundId voice, int32_t volleyFrame);
  // Ends an armoured attack in the chase.
  void EndAttack();
};
