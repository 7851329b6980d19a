#pragma once
// The boss of stage 2: an agile fighter that runs, side-steps and jumps
// while its arms shoot on their own. Its figure is posed in two halves: the
// legs follow the movement's track, the arms and head the upper-body
// action's. It sprays volleys from both hands and throws two curving large
// balls.
#include <cstdint>

#include "actors/Boss.h"

class ModelFrame;

// Any number without a routine thinks.
enum Boss2State : int32_t {
  kBoss2Think = 1,
  kBoss2Stand = 2,
  kBoss2SideWalk = 3,
  kBoss2BackJump = 4,
  kBoss2BackWalk = 5,  // nothing leads here
  kBoss2SideStep = 6,
  kBoss2Jump = 7,
  kBoss2Spray = 8,   // armoured
  kBoss2Attack = 9,  // armoured
  kBoss2LargeAttack = 10,
  kBoss2Levy = 11,
  kBoss2Damage = 12,
  kBoss2Dying = 13,
};

// The upper body's own action, run beside any state.
enum Boss2Action : int32_t {
  kBoss2NoAction = 0,
  kBoss2Shot = 1,    // one shot straight ahead
  kBoss2Pair = 2,    // a shot from each hand
  kBoss2Shot3 = 3,   // posed as 1; nothing starts it
  kBoss2Raised = 4,  // the arms held up through the spray, until a state ends it
};

class Boss2 : public EnemyClassOf<Boss2, Boss> {
 public:
  static constexpr int kRecords = 13;
  static constexpr int kLowerFrames = 10;
  static constexpr int kUpperFrames = 8;
  static const EnemyTraits kTraits;

  Boss2();

  // The boss's fields, and the body's frames looked up in the model (a
  // frame the model lacks stays null and is skipped).
  void Init(float x, float y, float z, float heading) override;

  // Starts action n; while an action runs only 0 (the end) is taken.
  void SetSubAction(int32_t n);
  // Where the hands and the right foot are, in the pose the boss last
  // showed (the previous frame's tracks at the previous frame's place). A
  // hand the model lacks is the boss's own position.
  port::Vec3 LeftHand();
  port::Vec3 RightHand();
  port::Vec3 Foot();

  ModelFrame* lowerFrames[kLowerFrames] = {};
  ModelFrame* upperFrames[kUpperFrames] = {};
  int32_t upperTrack = 0;  // the track the arms play
  int32_t lowerTrack = 0;  // the track the legs play
  uint8_t side = 0;        // 0 or 1: which way it walks, steps and strafes sideways
  int32_t actionFrames = 0;
  int32_t action = kBoss2NoAction;
  uint8_t wallContact = 0;  // a wall blocked the last walk that probed

 protected:
  void RunState() override;
  void AfterState() override;
  void OnWallStep(const WallStepResult& result) override;
  void Blend() override { BlendAnimation(); }
  // The split-body cross-fade of one frame.
  void BlendAnimation();
  // The two halves posed every draw, on screen or not, and drawn.
  void DrawFigure(const port::Matrix& world, const port::Matrix& view,
                  const port::Matrix& projection) override;

 private:
  void ApplyBodyAnimation();
  port::Vec3 BodyPoint(ModelFrame* frame, float reach);

  void SubAction1();
  void SubAction2();
  void StateThink();
  void StateStand();
  void StateSideWalk();
  void StateJump();  // the back jump
  void StateWalk();  // the back walk
  void StateSideStep();
  void StateJump2();
  void StateSpray();
  void StateAttack();
  void StateLargeAttack();
  void StateLevy();
  void StateDamage();
  void StateDying();
  // After the armoured and large attacks: the side walk or the think.
  void ResumeAfterAttack();
  void SetStepAnimation();
  void FireVolley(int pattern, const port::Vec3& from);

  int32_t pointsPosedAt_ = -1;  // the life frame the body points were posed for
};
