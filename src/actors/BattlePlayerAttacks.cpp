// The battle player's large attacks (states 3 and 4).
//
// The eight scripted sequences of the four characters plug in here: each
// state routine runs the sequence of the player's character, then the
// invulnerability countdown and the stun decay. Until the sequences are
// written, each attack only plays its animation, stands still for the
// sequence's length and returns to the fight, so the states end as they will.
#include "actors/BattlePlayer.h"

namespace {

// Frames of each character's large attack 1 and 2.
constexpr int32_t kAttack1Frames[4] = {60, 60, 70, 20};
constexpr int32_t kAttack2Frames[4] = {60, 60, 80, 100};

int32_t LengthOf(const int32_t (&frames)[4], int32_t character) {
  return character >= 1 && character <= 4 ? frames[character - 1] : frames[0];
}

}  // namespace

void BattlePlayer::UpdateLargeAttack1() {
  if (framesInState == 1) SetAnimation(kBattleAnimLargeAttack1);
  // The character's sequence goes here.
  RunLargeAttack(LengthOf(kAttack1Frames, character));
  CountDownInvulnerability();
  DecayStun();
}

void BattlePlayer::UpdateLargeAttack2() {
  if (framesInState == 1) SetAnimation(kBattleAnimLargeAttack2);
  // The character's sequence goes here.
  RunLargeAttack(LengthOf(kAttack2Frames, character));
  CountDownInvulnerability();
  DecayStun();
  cameraMode = kBattleCameraFollow;
}

void BattlePlayer::RunLargeAttack(int32_t length) {
  speed = 0.0f;
  if (framesInState >= length) {
    framesInState = 0;
    state = kBattleFight;
  }
}
