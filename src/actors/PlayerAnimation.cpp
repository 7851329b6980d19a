// The stage player's animation: which track each animation id plays on the
// legs and on the arms and head, how fast weights blend and times run.
#include <cstddef>

#include "actors/Player.h"
#include "platform/MathHelpers.h"

namespace {

using enum PlayerController::Track;
// The stage player's tracks after the shared ones, in the load order of Player::Load.
enum PlayerTrack : int32_t {
  kTrackTimeUp = kSharedTrackCount,
  kTrackGameOver,
  kTrackClear,
  kTrackPiyori,
};

struct AnimRow {
  int32_t animId;
  int32_t lowerTrack;
  int32_t upperTrack;
  bool attackUpper;  // the upper body shows the attack while in attack pose
  float rate;        // weight gained (or lost) a frame
  float step;        // track time a frame
  float holdStep;    // one-shot: time a frame, held at kHoldAt of the length
};

constexpr float kHoldAt = 0.99f;

constexpr AnimRow kAnimTable[] = {
    {kAnimWalk, kTrackWalk, kTrackWalk, true, 0.1f, 1.0f, 0.0f},
    {kAnimRun, kTrackRun, kTrackRun, true, 0.1f, 1.0f, 0.0f},
    {kAnimSideWalk, kTrackSideWalk, kTrackSideWalk, true, 0.1f, 1.0f, 0.0f},
    {kAnimLargeAttack1, kTrackLargeAttack1, kTrackLargeAttack1, false, 0.2f, 0.0f, 0.9f},
    {kAnimLargeAttack2, kTrackLargeAttack2, kTrackLargeAttack2, false, 0.2f, 1.0f, 0.0f},
    {kAnimJump, kTrackJump, kTrackJump, true, 0.2f, 1.0f, 0.0f},
    {kAnimPlayerDamage, kTrackDamage, kTrackDamage, false, 0.1f, 1.0f, 0.0f},
    {kAnimTimeUp, kTrackTimeUp, kTrackTimeUp, false, 0.2f, 0.7f, 0.0f},
    {kAnimGameOver, kTrackGameOver, kTrackGameOver, false, 0.2f, 0.0f, 0.4f},
    {kAnimGameClear, kTrackClear, kTrackClear, false, 0.2f, 0.4f, 0.0f},
    {kAnimPiyori, kTrackPiyori, kTrackPiyori, false, 0.2f, 0.4f, 0.0f},
};

// Standing, or any id without a row: the attack shows on the whole body.
constexpr AnimRow kStandRow = {kAnimStop, kTrackStop, kTrackStop, true, 0.1f, 1.0f, 0.0f};

struct SpinNumbers {
  float damageSpin = 10.0f;  // degrees a frame while knocked back
  float unwind = 20.0f;      // degrees a frame back to the front
};
constexpr SpinNumbers kSpin;

const AnimRow& RowOf(int32_t animId) {
  for (const AnimRow& row : kAnimTable) {
    if (row.animId == animId) return row;
  }
  return kStandRow;
}

// The track the time-up, game-over and clear poses start from the top.
int32_t RestartedTrack(int32_t animId) {
  switch (animId) {
    case kAnimTimeUp:
      return kTrackTimeUp;
    case kAnimGameOver:
      return kTrackGameOver;
    case kAnimGameClear:
      return kTrackClear;
    default:
      return -1;
  }
}

}  // namespace

void Player::SetAnimation(int32_t id_) {
  if (id_ == animId) return;
  animId = id_;
  animFrames = 0;
  const int32_t restart = RestartedTrack(id_);
  if (restart >= 0 && static_cast<size_t>(restart) < tracks.size()) tracks[restart].time = 0.0f;
}

void Player::BlendAnimation() {
  ++animFrames;
  const AnimRow& row = RowOf(animId);
  lowerTrack = row.lowerTrack;
  upperTrack = row.upperTrack;
  if (row.attackUpper && attacking) {
    upperTrack = kTrackAttack;
    // Standing still the whole body attacks.
    if (&row == &kStandRow) lowerTrack = kTrackAttack;
  }

  if (animId == kAnimPlayerDamage) {
    modelAngle.y += kSpin.damageSpin;
  } else {
    modelAngle.y = TurnToward(0.0f, modelAngle.y, kSpin.unwind);
  }

  const size_t n = tracks.size();
  const size_t lower = static_cast<size_t>(lowerTrack);
  const size_t upper = static_cast<size_t>(upperTrack);
  if (lower >= n || upper >= n) return;
  if (row.holdStep > 0.0f) {
    AnimTrack& t = tracks[lower];
    t.time += row.holdStep;
    if (t.time > t.length * kHoldAt) t.time = t.length * kHoldAt;
  }
  if (upper != lower) GainTrack(tracks[upper], row.step, row.rate);
  GainTrack(tracks[lower], row.step, row.rate);
  FadeOtherTracks(lower, upper, row.rate);
}

void Player::ApplyAnimation() { PoseBody(); }
