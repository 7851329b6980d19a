// The battle player's animation: which tracks the legs and the arms and head
// play for each battle animation index, how fast each character's tracks run
// and blend, the one-shot holds, and the turn of the model about its own
// axis (character 3's model normally stands turned round).
#include <array>
#include <cstddef>

#include "actors/BattlePlayer.h"
#include "platform/MathHelpers.h"

namespace {

using enum PlayerController::Track;
// The battle tracks after the shared ones, in the load order of the model sets.
enum BattleTrack : int32_t {
  kTrackLose = kSharedTrackCount,
  kTrackWin,
  kTrackPiyori,
};

// Per character 1 to 4.
using PerCharacter = std::array<float, 4>;
using HeldFor = std::array<bool, 4>;

struct AnimRow {
  int32_t index;
  int32_t track;       // both halves, unless the attack shows on the upper body
  bool attackUpper;    // while attacking the upper body plays the attack
  PerCharacter step;   // time added a frame
  PerCharacter first;  // time advanced before anything else (one-shots)
  float rate;          // weight gained or lost a frame
  HeldFor hold;        // held at kHoldAt of the length after the advance
};

constexpr float kHoldAt = 0.99f;
constexpr HeldFor kAll = {true, true, true, true};
constexpr HeldFor kNone = {};
constexpr HeldFor kThreeAndFour = {false, false, true, true};
constexpr PerCharacter kZero = {};
constexpr PerCharacter kAttack1First = {0.9f, 0.9f, 0.5f, 0.4f};
constexpr PerCharacter kAttack2Step = {1.0f, 0.0f, 0.0f, 0.0f};
constexpr PerCharacter kAttack2First = {0.0f, 1.0f, 0.5f, 0.5f};
constexpr PerCharacter kWinStep = {0.4f, 1.0f, 0.0f, 0.0f};
constexpr PerCharacter kWinFirst = {0.0f, 0.0f, 0.3f, 0.4f};

// Lose is a one-shot for every character.
constexpr AnimRow kRows[] = {
    {kBattleAnimRun, kTrackRun, true, {1.0f, 1.0f, 0.5f, 2.0f}, kZero, 0.1f, kNone},
    {kBattleAnimWalk, kTrackWalk, true, {1.0f, 0.5f, 1.0f, 1.0f}, kZero, 0.1f, kNone},
    {kBattleAnimSideWalk, kTrackSideWalk, true, {1.0f, 0.6f, 1.0f, 0.8f}, kZero, 0.1f, kNone},
    {kBattleAnimDamage, kTrackDamage, false, {1.0f, 1.0f, 1.0f, 1.0f}, kZero, 0.1f, kNone},
    {kBattleAnimLargeAttack1, kTrackLargeAttack1, false, kZero, kAttack1First, 0.2f, kAll},
    {kBattleAnimLargeAttack2, kTrackLargeAttack2, false, kAttack2Step, kAttack2First, 0.2f, kAll},
    {kBattleAnimJump, kTrackJump, true, {1.0f, 1.0f, 1.0f, 1.0f}, kZero, 0.1f, kNone},
    {kBattleAnimLose, kTrackLose, false, kZero, {0.4f, 0.4f, 0.4f, 0.4f}, 0.1f, kAll},
    {kBattleAnimWin, kTrackWin, false, kWinStep, kWinFirst, 0.2f, kThreeAndFour},
    {kBattleAnimPiyori, kTrackPiyori, false, {0.4f, 0.4f, 0.4f, 0.4f}, kZero, 0.2f, kNone},
};

// Standing, or any index without a row: while attacking both halves attack,
// except character 4, whose legs stay on the stand.
constexpr AnimRow kStandRow = {kBattleAnimStop, kTrackStop, true, {1.0f, 1.0f, 1.0f, 1.0f},
                               kZero,           0.2f,       kNone};

struct TurnNumbers {
  float damageSpin = 10.0f;  // degrees a frame while knocked back
  float unwind = 20.0f;      // degrees a frame back to the rest turn
  float spin = 20.0f;        // degrees a frame of the spins below
  float turnedRound = 180.0f;
  float spin3From = 5.0f, spin3Until = 25.0f;  // character 3's large attack 2, track time
  float spin4Until = 20.0f;                    // character 4's win, track time
};
constexpr TurnNumbers kTurn;

const AnimRow& RowOf(int32_t index) {
  for (const AnimRow& row : kRows) {
    if (row.index == index) return row;
  }
  return kStandRow;
}

void Hold(AnimTrack& t) {
  if (t.time >= t.length * kHoldAt) t.time = t.length * kHoldAt;
}

}  // namespace

void BattlePlayer::SetAnimation(int32_t index) {
  if (index != animId) animId = index;
}

void BattlePlayer::BlendAnimation() {
  const AnimRow& row = RowOf(animId);
  const int c = character >= 1 && character <= 4 ? character - 1 : 0;
  lowerTrack = row.track;
  upperTrack = row.track;
  if (row.attackUpper && attacking) {
    upperTrack = kTrackAttack;
    if (&row == &kStandRow && character != 4) lowerTrack = kTrackAttack;
  }
  const size_t n = tracks.size();
  const size_t lower = static_cast<size_t>(lowerTrack);
  const size_t upper = static_cast<size_t>(upperTrack);
  if (lower < n && row.first[c] > 0.0f) {
    tracks[lower].time += row.first[c];
  }
  if (lower < n && row.hold[c]) Hold(tracks[lower]);
  SpinModel();
  if (lower >= n || upper >= n) return;

  const float step = row.step[c];
  if (upper != lower) {
    if (character != 2) GainTrack(tracks[upper], step, row.rate);
    GainTrack(tracks[upper], step * 0.5f, row.rate);
    Hold(tracks[upper]);
  }
  GainTrack(tracks[lower], step, row.rate);
  for (size_t i = 0; i < n; ++i) {
    if (i == lower || i == upper) continue;
    AnimTrack& t = tracks[i];
    t.weight -= row.rate;
    if (t.weight < 0.0f) {
      t.weight = 0.0f;
      t.time = 0.0f;
    }
  }
}

// The model's own turn about y: spins of character 3's large attack 2 and
// character 4's win, the knock-back spin, then the unwinding toward the rest
// turn (180 for character 3, else 0).
void BattlePlayer::SpinModel() {
  const auto trackTime = [this](int32_t track) {
    return static_cast<size_t>(track) < tracks.size() ? tracks[track].time : 0.0f;
  };
  float& yaw = modelAngle.y;
  if (character == 3 && animId == kBattleAnimLargeAttack2) {
    const float t = trackTime(kTrackLargeAttack2);
    if (t > kTurn.spin3From && t < kTurn.spin3Until) {
      yaw += kTurn.spin;
    } else if (t > kTurn.spin3Until) {
      yaw = kTurn.turnedRound;
    }
  }
  if (character == 4 && animId == kBattleAnimWin) {
    if (trackTime(kTrackWin) < kTurn.spin4Until) {
      yaw += kTurn.spin;
    } else {
      yaw = 0.0f;
    }
  }
  switch (animId) {
    case kBattleAnimDamage:
      yaw += kTurn.damageSpin;
      break;
    case kBattleAnimLargeAttack2:
      if (character != 3) yaw = TurnToward(0.0f, yaw, kTurn.unwind);
      break;
    case kBattleAnimWin:
      if (character == 1 || character == 2) yaw = TurnToward(0.0f, yaw, kTurn.unwind);
      break;
    default:
      yaw = TurnToward(character == 3 ? kTurn.turnedRound : 0.0f, yaw, kTurn.unwind);
      break;
  }
}

void BattlePlayer::ApplyAnimation() {
  // Once per drawn frame, however many viewports draw this player.
  if (animatedThisFrame) return;
  animatedThisFrame = 1;
  PoseBody();
}
