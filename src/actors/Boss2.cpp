// Boss 2's class, its split body (the cross-fade, the pose of the two
// halves, the hand and foot points) and its upper-body actions. The state
// routines are in Boss2States.cpp.
#include "actors/Boss2.h"

#include <algorithm>

#include "actors/Boss2Numbers.h"
#include "actors/EnemyClasses.h"
#include "actors/EnemyTama.h"
#include "actors/SplitBodyPose.h"
#include "actors/StageSounds.h"

namespace {

constexpr const char* kBoss2Files[] = {
    "Xfile/2boss/stop.X",
    "Xfile/2boss/walk.X",
    "Xfile/2boss/side_walk.X",
    "Xfile/2boss/run.X",
    "Xfile/2boss/side_step_right.X",
    "Xfile/2boss/side_step_left.X",
    "Xfile/2boss/jump.X",
    "Xfile/2boss/attack1.X",
    "Xfile/2boss/attack2.X",
    "Xfile/2boss/large_attack.X",
    "Xfile/2boss/levy.X",
    "Xfile/2boss/damage.X",
    "Xfile/2boss/dying.X",
};

// Where in lowerFrames and upperFrames the points hang.
constexpr int kFootFrame = 3;       // Frame7_right_leg1
constexpr int kLeftHandFrame = 3;   // Frame15_left_arm1
constexpr int kRightHandFrame = 6;  // Frame18_right_arm1

using namespace boss2;

// The rows whose id poses both halves, even during an action; the others
// pose the legs, and the arms too only while no action runs.
constexpr int32_t kWholeBodyAnims[] = {kAnimSideStepRight, kAnimSideStepLeft, kAnimAttack3,
                                       kAnimLargeAttack1,  kAnimLevy,         kAnimDamage,
                                       kAnimDying};

constexpr EnemyAnimRow kBoss2Anims[] = {
    {kAnimWalk, kTrackWalk, 1.0f, 0.1f, 0.1f, false},
    {kAnimSideWalk, kTrackSideWalk, 0.4f, 0.1f, 0.1f, false},
    {kAnimRun, kTrackRun, 1.0f, 0.1f, 0.1f, false},
    {kAnimSideStepRight, kTrackSideStepRight, 1.0f, 0.1f, 0.1f, false},
    {kAnimSideStepLeft, kTrackSideStepLeft, 1.0f, 0.1f, 0.1f, false},
    {kAnimJump, kTrackJump, 1.0f, 0.2f, 0.2f, false},
    {kAnimAttack3, kTrackAttack1, 0.5f, 0.2f, 0.2f, true},
    {kAnimLargeAttack1, kTrackLargeAttack, 0.4f, 0.2f, 0.2f, true},
    {kAnimLevy, kTrackLevy, 1.1f, 0.1f, 0.1f, false},
    {kAnimDamage, kTrackDamage, 0.0f, 0.03f, 0.03f, false},
    {kAnimDying, kTrackDying, 0.25f, 0.1f, 0.1f, true},
};

constexpr BossParts kBoss2Parts = {.levyState = kBoss2Levy, .plainSounds = false};

bool PosesWholeBody(int32_t id) {
  return std::find(std::begin(kWholeBodyAnims), std::end(kWholeBodyAnims), id) !=
         std::end(kWholeBodyAnims);
}

// The arms' track of an action, or -1 for none.
int32_t ActionTrack(int32_t action) {
  if (action == kBoss2Shot || action == kBoss2Shot3) return kTrackAttack1;
  if (action == kBoss2Pair || action == kBoss2Raised) return kTrackAttack2;
  return -1;
}

}  // namespace

constexpr EnemyTraits Boss2::kTraits = {
    .kind = kCharacterBoss2,
    .appearKind = kAppearBoss2,
    .face = "texture/battle/enemyFace/2boss_face.png",
    .records = kRecords,
    .files = kBoss2Files,
    .anims = kBoss2Anims,
    .stand = {kAnimStop, kTrackStop, 0.0f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kB,
    .startsAirborne = true,
    .hitPoints = 8.0f,
    .gaugeMax = 8.0f,
    .damageState = kBoss2Damage,
    .dyingState = kBoss2Dying,
    .wallTurn = 3.0f,
};

Boss2::Boss2() : EnemyClassOf(kBoss2Parts) {}

void Boss2::Init(float x, float y, float z, float heading) {
  Boss::Init(x, y, z, heading);
  const SkinnedModel& model = shared.model;
  FindBodyFrames(model, lowerFrames, upperFrames);
  // Set before the first cross-fade: a draw may come first.
  upperTrack = lowerTrack = kTrackStop;
  side = 0;
  actionFrames = 0;
  action = kBoss2NoAction;
  wallContact = 0;
  pointsPosedAt_ = -1;
}

void Boss2::SetSubAction(int32_t n) {
  if (action >= kBoss2Shot && n != kBoss2NoAction) return;
  actionFrames = 0;
  action = n;
  // The arms swing from the start, even when the last action's track has not
  // faded out yet.
  const int32_t track = ActionTrack(n);
  if (track >= 0 && static_cast<size_t>(track) < tracks.size()) tracks[track].time = 0.0f;
}

void Boss2::AfterState() {
  if (action == kBoss2Shot) SubAction1();
  if (action == kBoss2Pair) SubAction2();
}

void Boss2::SubAction1() {
  ++actionFrames;
  if (actionFrames == kAction.shotFrame) {
    Sound(kSoundEnemyShot, kShotOffset);
    EnemyTama::Spawn({.at = position,
                      .heading = angle.y,
                      .speed = kAction.shotSpeed,
                      .damage = kShotDamage,
                      .kind = kEnemyTamaBall});
  }
  if (actionFrames == kAction.shotEnd) SetSubAction(kBoss2NoAction);
  speed = std::max(speed * kAction.slowDown, kAction.shotLeastSpeed);
}

void Boss2::SubAction2() {
  ++actionFrames;
  if (actionFrames == kAction.leftFrame) {
    Sound(kSoundEnemyShot, kShotOffset);
    EnemyTama::Spawn({.at = LeftHand(),
                      .heading = angle.y - kAction.pairSpread,
                      .speed = kAction.pairSpeed,
                      .damage = kShotDamage,
                      .kind = kEnemyTamaBall});
  }
  if (actionFrames == kAction.rightFrame) {
    Sound(kSoundEnemyShot, kShotOffset);
    EnemyTama::Spawn({.at = RightHand(),
                      .heading = angle.y + kAction.pairSpread,
                      .speed = kAction.pairSpeed,
                      .damage = kShotDamage,
                      .kind = kEnemyTamaBall});
  }
  if (actionFrames == kAction.pairEnd) SetSubAction(kBoss2NoAction);
  speed = std::max(speed * kAction.slowDown, kAction.pairLeastSpeed);
}

void Boss2::OnWallStep(const WallStepResult& result) {
  if (result.probed) wallContact = result.blocked ? 1 : 0;
}

void Boss2::BlendAnimation() {
  ++animFrame;
  const int32_t armsTrack = ActionTrack(action);
  if (armsTrack >= 0) upperTrack = lowerTrack = armsTrack;
  const EnemyAnimRow& row = RowOf(animId);
  lowerTrack = row.track;
  if (PosesWholeBody(animId) || action == kBoss2NoAction) upperTrack = row.track;
  const size_t n = tracks.size();
  const auto valid = [n](int32_t t) { return t >= 0 && static_cast<size_t>(t) < n; };
  if (upperTrack != lowerTrack && valid(upperTrack)) {
    AnimTrack& arms = tracks[static_cast<size_t>(upperTrack)];
    arms.time +=
        action == kBoss2Shot || action == kBoss2Shot3 ? kAction.shotArmsStep : kAction.pairArmsStep;
    arms.weight = std::min(arms.weight + row.weightStep, 1.0f);
    if (arms.time > kHoldAt * arms.length) arms.time = kHoldAt * arms.length;
  }
  if (valid(lowerTrack)) {
    AnimTrack& legs = tracks[static_cast<size_t>(lowerTrack)];
    legs.time += row.timeStep;
    if (row.oneShot && legs.time > kHoldAt * legs.length) legs.time = kHoldAt * legs.length;
    legs.weight = std::min(legs.weight + row.weightStep, 1.0f);
  }
  for (size_t i = 0; i < n; ++i) {
    const int32_t t = static_cast<int32_t>(i);
    if (t == upperTrack || t == lowerTrack) continue;
    AnimTrack& other = tracks[i];
    other.weight -= row.fadeRate;
    if (other.weight < 0.0f) other.weight = other.time = 0.0f;
  }
}

void Boss2::ApplyBodyAnimation() {
  PoseSplitBody(shared.model, tracks, lowerTrack, upperTrack, {lowerFrames, kLowerFrames},
                {upperFrames, kUpperFrames});
}

void Boss2::DrawFigure(const port::Matrix&, const port::Matrix&, const port::Matrix&) {
  // No on-screen test, and the animated flag stays down: the close-up poses
  // the whole figure again.
  ApplyBodyAnimation();
  Render();
}

port::Vec3 Boss2::BodyPoint(ModelFrame* frame, float reach) {
  if (!frame) return position;
  // Posed on the CPU at the boss's own place, once a frame: the close-up
  // leaves the model's matrices at the origin, and a stage drawn every other
  // frame or not at all would leave them stale.
  if (pointsPosedAt_ != lifeFrames) {
    pointsPosedAt_ = lifeFrames;
    SkinnedModel& model = shared.model;
    model.SetWorld(WorldMatrix());
    ApplyBodyAnimation();
    model.UpdateFrameMatrices();
  }
  const port::Matrix m = port::MatrixTranslation(0.0f, 0.0f, reach) * frame->combined;
  return {m(3, 0), m(3, 1), m(3, 2)};
}

port::Vec3 Boss2::LeftHand() { return BodyPoint(upperFrames[kLeftHandFrame], kHandReach); }
port::Vec3 Boss2::RightHand() { return BodyPoint(upperFrames[kRightHandFrame], kHandReach); }
port::Vec3 Boss2::Foot() { return BodyPoint(lowerFrames[kFootFrame], kFootReach); }
