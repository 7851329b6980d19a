#pragma once
// Boss 2's tracks and numbers, shared by its two source files.
#include <cstdint>

#include "platform/SoundManager.h"

namespace boss2 {

// The model's files in load order.
enum Track : int32_t {
  kTrackStop = 0,
  kTrackWalk = 1,
  kTrackSideWalk = 2,
  kTrackRun = 3,
  kTrackSideStepRight = 4,
  kTrackSideStepLeft = 5,
  kTrackJump = 6,
  kTrackAttack1 = 7,
  kTrackAttack2 = 8,
  kTrackLargeAttack = 9,
  kTrackLevy = 10,
  kTrackDamage = 11,
  kTrackDying = 12,
};

constexpr float kHoldAt = 0.99f;     // of a track's length: where one-shots stop
constexpr float kHandReach = 0.3f;   // the hand points along the forearm
constexpr float kFootReach = 0.34f;  // the foot point along the shin
constexpr float kShotDamage = 10.0f;
constexpr int32_t kShotOffset = kQuieter10dB;
constexpr int32_t kVoiceOffset = kQuieter5dB;

struct ActionNumbers {
  int32_t shotFrame = 30, shotEnd = 45;
  float shotSpeed = 0.25f;
  float shotLeastSpeed = 0.1f;
  int32_t leftFrame = 40, rightFrame = 50, pairEnd = 80;
  float pairSpeed = 0.2f;
  float pairSpread = 5.0f;  // degrees either side
  float pairLeastSpeed = 0.05f;
  float slowDown = 0.25f;     // of the speed, each action frame
  float shotArmsStep = 1.0f;  // track time a frame of the arms' track
  float pairArmsStep = 0.5f;
};
constexpr ActionNumbers kAction;

struct StateNumbers {
  int32_t voiceOdds = 250;
  // Think.
  int32_t largeAttackAfter = 800;
  float chaseTurn = 3.0f;
  int32_t chaseWobble = 60;  // degrees of the aim's random spread
  int32_t dustEvery = 5;
  double farOff = 20.0, midRange = 7.0;
  float farSpeed = 0.15f, midSpeed = 0.09f;
  double jumpBackRange = 7.5;
  int32_t jumpBackOdds = 50;
  int32_t settled = 30;  // frames in state before the rarer choices
  int32_t jumpOdds = 150;
  int32_t stepOdds = 250, weakStepOdds = 150;
  float weakHitPoints = 3.0f;
  int32_t levyOdds = 300;
  double sideWalkRange = 6.5, closeRange = 6.0;
  int32_t closeOdds = 150;
  int32_t largeOdds = 400, sprayOdds = 300, attackOdds = 300;
  int32_t shotOdds = 70, pairOdds = 100;
  // Think while calm.
  int32_t newTargetOdds = 30;
  float wanderTurn = 2.0f;
  float wanderSpeed = 0.075f;
  int32_t standOdds = 100, calmLevyOdds = 150, calmShotOdds = 500, calmJumpOdds = 250;
  float noticeAngle = 30.0f;
  double noticeRange = 20.0;
  // Stand.
  int32_t standEnd = 120;
  float lookRound = 3.0f;
  float standNoticeAngle = 50.0f;
  double standNoticeRange = 30.0;
  // Side walk.
  float sideTurn = 2.0f;
  int32_t flipEvery = 300, flipOdds = 300;
  float sideSpeed = 0.1f;
  int32_t sideThinkOdds = 250, sideStepOdds = 350, sideLevyOdds = 300, sideJumpOdds = 200;
  // Jumps and the back walk.
  float jumpPush = 0.4f;
  float backSpeed = 0.15f;
  int32_t jumpShotOdds = 350, rousedShotOdds = 30, rousedPairOdds = 50;
  int32_t backWalkEnd = 60;
  float backWalkSpeed = 0.1f;
  // Side step.
  int32_t stepStop = 20, stepEnd = 40;
  float stepSpeed = 0.225f;
  float streakScale = 1.2f, streakSpeed = 0.1f;
  // Spray.
  int32_t sprayRaise = 30, sprayLower = 90, sprayRaiseAgain = 100, sprayEnd = 180;
  int32_t leftVolleys[2] = {70, 140};
  int32_t rightVolleys[2] = {80, 150};
  int32_t sprayFlipEvery = 50;
  float sprayStrafe = 0.05f;
  float sprayTurn = 1.0f;
  float volleySpeed = 0.16f;
  float volleyStep = 7.0f;   // degrees between the shots of a volley
  float volleyPitch = 3.5f;  // degrees each shot lower than the last
  // Attack.
  int32_t attackRaise = 30, attackEnd = 250;
  float attackTurn = 1.5f;
  int32_t firstShot = 61, lastShot = 209, shotEvery = 14;
  float aimedAngle = 30.0f;
  float aimedSpeed = 0.25f, straightSpeed = 0.26f;
  // Large attack.
  int32_t stompFrame = 60, chargeVoice = 100, ballFrame = 150, largeEnd = 200;
  int32_t glowUntil = 145, chargeUntil = 155;
  float chargeTurn = 1.5f;
  int32_t starEvery = 10;
  float glowScale = 0.7f;
  float ballSpeed = 0.35f, ballDamage = 15.0f, ballSpread = 45.0f;
  // Levy, damage and dying.
  int32_t levyVoices[2] = {2, 50};
  int32_t levyEnd = 100;
  float levyTurn = 3.0f;
  int32_t damageEnd = 40;
  int32_t dyingVoice = 55, dyingEnd = 150;
};
constexpr StateNumbers kState;

}  // namespace boss2
