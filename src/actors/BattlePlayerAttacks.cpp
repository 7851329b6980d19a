// The battle player's large attacks (states 3 and 4): one scripted sequence
// per character and attack, timed in frames since the state began (the
// first frame of the state is frame 1). A sequence plays its animation,
// moves the player, plays its sounds and spawns its character's large shots
// owned by the player; its last frame returns the player to the fight. The
// hit test stays on, so a knock-back ends the sequence where it stands.
#include "actors/BattlePlayer.h"
#include "actors/Player1Shots.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/SplitBodyPose.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "render/ModelScene.h"
#include "world/ParticleEffect.h"
#include "world/ThunderEffect.h"

namespace {

// Frames of each character's large attack 1 and 2.
constexpr int32_t kAttack1Frames[4] = {60, 60, 70, 20};
constexpr int32_t kAttack2Frames[4] = {60, 60, 80, 100};

// Upper-body frame handles of the hands.
constexpr int kLeftHand = 3;   // "Frame15_left_arm1"
constexpr int kRightHand = 6;  // "Frame18_right_arm1"

// Character 1: a slide to a stand, the throw, then a step back.
struct Character1Numbers {
  int32_t slowUntil = 29;  // frames 1 to this: the speed falls to 0
  float slowing = 0.02f;
  int32_t backFrom = 31, backUntil = 50;  // moving backwards
  float recoil = 0.05f;                   // attack 1's step back
  float dash = 0.2f;                      // attack 2's dash back
  int32_t standAfter = 50;                // speed 0 from the next frame
  int32_t throwFrame = 35;                // attack 1's steering ball
  int32_t launchFrame = 30;               // attack 2's creeping ball
  float hop = 0.32f;
  int32_t hangUntil = 49;  // a falling speed is held at 0 until here
  int32_t landFrame = 50;  // attack 2 goes back to the stand animation
};
constexpr Character1Numbers kC1;

// Character 2: a fan of four curving shots; a dash with a thunder fist.
struct Character2Numbers {
  int32_t fanFrame = 35;
  int32_t fanShots = 4;
  float fanFirst = 15.0f, fanStep = -10.0f;  // degrees from the heading
  int32_t guardFrames = 35;                  // invulnerable frames from frame 1
  float dash = 0.3f;
  int32_t dashBelow = 30;  // frames in state below this dash
  int32_t thunderCue = 30;
  int32_t strikeFrom = 31, strikeUntil = 56;
  float reach = 0.25f;  // along the hand's frame
  float sparkScale = 2.0f;
  float thunderScale = 1.0f;
  int32_t thunderPitchRange = 180, thunderPitchOffset = 90, thunderYawRange = 360;
};
constexpr Character2Numbers kC2;

// Character 3: a homing shot thrown backwards; a ring of crawling flames.
struct Character3Numbers {
  int32_t homingFrame = 60;
  float homingTurn = 180.0f;
  int32_t ringFrame = 60;
  int32_t ringShots = 6;
  float ringFirst = 30.0f, ringStep = 60.0f;
};
constexpr Character3Numbers kC3;

// Character 4: a mine; the creature, glowing in both hands first.
struct Character4Numbers {
  int32_t mineFrame = 15;
  int32_t glowUntil = 69;
  float reach = 0.3f;
  float glowScale = 0.5f;
  int32_t creatureFrame = 70;
};
constexpr Character4Numbers kC4;

struct SoundCue {
  StageSound id;
  int32_t offset;
};
constexpr SoundCue kThrowSound = {kSoundLargeShot, kQuieter10dB};
constexpr SoundCue kHopSound = {kSoundJump, kQuieter10dB};
constexpr SoundCue kFanSound = {kSoundFan, kAtMasterVolume};
constexpr SoundCue kThunderSound = {kSoundBurst, kQuieter10dB};
constexpr SoundCue kMineSound = {kSoundMine, kQuieter10dB};
constexpr SoundCue kCreatureSound = {kSoundCharge4, kAtMasterVolume};

void Play(SoundCue cue) { g_sound.PlaySound(cue.id, cue.offset); }

int32_t LengthOf(const int32_t (&frames)[4], int32_t character) {
  return character >= 1 && character <= 4 ? frames[character - 1] : frames[0];
}

}  // namespace

void BattlePlayer::UpdateLargeAttack1() {
  switch (character) {
    case 1:
      Character1LargeAttack1();
      break;
    case 2:
      Character2LargeAttack1();
      break;
    case 3:
      Character3LargeAttack1();
      break;
    case 4:
      Character4LargeAttack1();
      break;
    default:
      StandThroughAttack(kBattleAnimLargeAttack1, LengthOf(kAttack1Frames, character));
      break;
  }
  CountDownInvulnerability();
  DecayStun();
}

void BattlePlayer::UpdateLargeAttack2() {
  switch (character) {
    case 1:
      Character1LargeAttack2();
      break;
    case 2:
      Character2LargeAttack2();
      break;
    case 3:
      Character3LargeAttack2();
      break;
    case 4:
      Character4LargeAttack2();
      break;
    default:
      StandThroughAttack(kBattleAnimLargeAttack2, LengthOf(kAttack2Frames, character));
      break;
  }
  CountDownInvulnerability();
  DecayStun();
  cameraMode = kBattleCameraFollow;
}

// A player without a model set has no sequence: it stands for the length
// and fights on, so the state always ends.
void BattlePlayer::StandThroughAttack(int32_t index, int32_t length) {
  if (framesInState == 1) SetAnimation(index);
  speed = 0.0f;
  EndAttackAt(length);
}

void BattlePlayer::EndAttackAt(int32_t length) {
  if (framesInState < length) return;
  framesInState = 0;
  state = kBattleFight;
}

void BattlePlayer::SlideAndStepBack(float backSpeed) {
  const int32_t f = framesInState;
  if (f <= kC1.slowUntil) {
    speed -= kC1.slowing;
    if (speed < 0.0f) speed = 0.0f;
  }
  if (f >= kC1.backFrom && f <= kC1.backUntil) {
    moveHeading = angle.y + 180.0f;
    speed = backSpeed;
  }
  if (f > kC1.standAfter) speed = 0.0f;
}

void BattlePlayer::PoseForHands() {
  if (!model.IsLoaded()) return;
  model.SetWorld(ModelWorld());
  PoseSplitBody(model, tracks, lowerTrack, upperTrack, {lowerFrames, kLowerFrameCount},
                {upperFrames, kUpperFrameCount});
  model.UpdateFrameMatrices();
}

bool BattlePlayer::HandPoint(int upperFrame, float reach, port::Vec3* out) const {
  const ModelFrame* hand = upperFrames[upperFrame];
  if (!hand) return false;
  MatrixOrigin(port::MatrixTranslation(0.0f, 0.0f, reach) * hand->combined, out);
  return true;
}

// ---- Large attack 1 ----

void BattlePlayer::Character1LargeAttack1() {
  const int32_t f = framesInState;
  if (f == 1) SetAnimation(kBattleAnimLargeAttack1);
  SlideAndStepBack(kC1.recoil);
  if (f == kC1.throwFrame) {
    Play(kThrowSound);
    Player1LargeTama1::Spawn({.at = position, .heading = angle.y, .owner = id, .battleMode = 1});
  }
  EndAttackAt(kAttack1Frames[0]);
}

void BattlePlayer::Character2LargeAttack1() {
  const int32_t f = framesInState;
  if (f == 1) SetAnimation(kBattleAnimLargeAttack1);
  speed = 0.0f;
  if (f == kC2.fanFrame) {
    Play(kFanSound);
    for (int32_t i = 0; i < kC2.fanShots; ++i) {
      const float heading = angle.y + kC2.fanFirst + kC2.fanStep * static_cast<float>(i);
      Player2LargeTama1::Spawn({.at = position, .heading = heading, .owner = id, .curve = i});
    }
  }
  EndAttackAt(kAttack1Frames[1]);
}

// The homing shot takes its own shooter as the target, on purpose: it flies
// off backwards and keeps circling back round its owner, whom it cannot hit
// (BattleAttacksTest.CharacterThreesHomingShotCirclesItsOwner).
void BattlePlayer::Character3LargeAttack1() {
  const int32_t f = framesInState;
  if (f == 1) SetAnimation(kBattleAnimLargeAttack1);
  speed = 0.0f;
  if (f == kC3.homingFrame) {
    Player3LargeTama1::Spawn(
        {.at = position, .heading = angle.y + kC3.homingTurn, .owner = id, .target = this});
  }
  EndAttackAt(kAttack1Frames[2]);
}

void BattlePlayer::Character4LargeAttack1() {
  const int32_t f = framesInState;
  if (f == 1) SetAnimation(kBattleAnimLargeAttack1);
  speed = 0.0f;
  if (f == kC4.mineFrame) {
    Play(kMineSound);
    Player4LargeTama1::Spawn({.at = position, .heading = angle.y, .owner = id});
  }
  EndAttackAt(kAttack1Frames[3]);
}

// ---- Large attack 2 ----

void BattlePlayer::Character1LargeAttack2() {
  const int32_t f = framesInState;
  if (f == 1) {
    SetAnimation(kBattleAnimLargeAttack2);
    if (!airborne) {
      verticalSpeed += kC1.hop;
      Play(kHopSound);
    }
  }
  // Hangs at the top of the hop (or wherever it is in the air) until the
  // ball is away and the dash is done.
  if (f <= kC1.hangUntil && verticalSpeed < 0.0f) verticalSpeed = 0.0f;
  SlideAndStepBack(kC1.dash);
  if (f == kC1.launchFrame) {
    Player1LargeTama2::Spawn({.at = position, .heading = angle.y, .owner = id});
  }
  if (f == kC1.landFrame) SetAnimation(kBattleAnimStop);
  EndAttackAt(kAttack2Frames[0]);
}

void BattlePlayer::Character2LargeAttack2() {
  const int32_t f = framesInState;
  if (f == 1) {
    SetAnimation(kBattleAnimLargeAttack2);
    invulnerable = 1;
    invulnerableFrames = kC2.guardFrames;
  }
  moveHeading = angle.y;
  speed = f < kC2.dashBelow ? kC2.dash : 0.0f;
  if (f == kC2.thunderCue) Play(kThunderSound);
  if (f >= kC2.strikeFrom && f <= kC2.strikeUntil) {
    PoseForHands();
    port::Vec3 p;
    // A model without the hand strikes nothing.
    if (HandPoint(kRightHand, kC2.reach, &p)) {
      ParticleEffect::Spawn(p.x, p.y, p.z, kC2.sparkScale, 0.0f, 0.0f, 0.0f, kParticleDust, 1);
      if (f % 2 == 1) {
        // Drawn in this order: the pitch, then the yaw.
        const float pitch =
            static_cast<float>(RandomInt(kC2.thunderPitchRange) - kC2.thunderPitchOffset);
        const float yaw = static_cast<float>(RandomInt(kC2.thunderYawRange));
        ThunderEffect::Spawn(p.x, p.y, p.z, kC2.thunderScale, pitch, yaw, 0.0f, 1);
      }
      Player2HitBox::Spawn({.at = p, .heading = angle.y, .owner = id});
    }
  }
  EndAttackAt(kAttack2Frames[1]);
}

void BattlePlayer::Character3LargeAttack2() {
  const int32_t f = framesInState;
  if (f == 1) SetAnimation(kBattleAnimLargeAttack2);
  speed = 0.0f;
  if (f == kC3.ringFrame) {
    for (int32_t i = 0; i < kC3.ringShots; ++i) {
      const float heading = angle.y + kC3.ringFirst + kC3.ringStep * static_cast<float>(i);
      Player3LargeTama2::Spawn({.at = position, .heading = heading, .owner = id});
    }
  }
  EndAttackAt(kAttack2Frames[2]);
}

void BattlePlayer::Character4LargeAttack2() {
  const int32_t f = framesInState;
  if (f == 1) {
    SetAnimation(kBattleAnimLargeAttack2);
    Play(kCreatureSound);
  }
  speed = 0.0f;
  if (f <= kC4.glowUntil) {
    PoseForHands();
    for (int hand : {kLeftHand, kRightHand}) {
      port::Vec3 p;
      if (!HandPoint(hand, kC4.reach, &p)) continue;
      ParticleEffect::Spawn(p.x, p.y, p.z, kC4.glowScale, 0.0f, 0.0f, 0.0f, kParticleSparkShrink,
                            1);
    }
  }
  if (f == kC4.creatureFrame) {
    Player4LargeTama2::Spawn({.at = position, .heading = angle.y, .owner = id});
  }
  EndAttackAt(kAttack2Frames[3]);
}
