#pragma once
// The stage sound effects the actors play, by their number in the sound
// manager's stage table. The volume offsets they are played at are the sound
// manager's (kQuieter10dB ...).
#include "platform/SoundManager.h"

enum StageSound : SoundId {
  kSoundShot = 0,          // a tama fired
  kSoundLargeShot = 1,     // large attack 1 thrown
  kSoundLargeCreep = 2,    // the creeping ball of large attack 2
  kSoundLanding = 4,       // feet back on the ground
  kSoundJump = 5,          // a jump or the hop of large attack 2
  kSoundEnemyShot = 6,     // an enemy bullet fired
  kSoundHit = 7,           // a shot strikes
  kSoundWallBounce = 8,    // knocked against a wall
  kSoundFlame = 9,         // character 3's crawling flame
  kSoundCreature = 10,     // character 4's wandering creature
  kSoundPiyori = 11,       // the stunned chirp
  kSoundChargeFull = 12,   // large attack 2 charged
  kSoundPowerCharge = 13,  // a boss gathers its large attack
  kSoundLaunch = 14,       // a large ball rolls out (a launcher's, a boss's)
  kSoundFan = 15,          // character 2's fan of curving shots
  kSoundBurst = 16,        // the sokai shot bursts; character 2's thunder
  kSoundHoming = 17,       // character 3's homing shot hums
  kSoundMine = 18,         // character 4 lays a mine
  kSoundCharge4 = 20,      // character 4's creature summoned
  kSoundChargeLevel = 27,  // charge 15 and large attack 1 charged
  kSoundEnemyIdle = 28,    // an enemy's voice while it goes about
  kSoundLevyVoice = 29,    // a boss's cry in its levy pose
  kSoundEnemyAlert = 30,   // an enemy has caught up with the player
  kSoundEnemyPause = 31,   // an enemy stops to rest
  kSoundEnemyHurt = 32,    // an enemy's cry when hit
  kSoundEnemyHurt2 = 33,
  kSoundEnemyDying = 34,
  kSoundArmourVoice = 35,  // an armoured attack starts (a boss's, a zako4's rising fan)
  kSoundChargeVoice = 36,  // a boss's large attack is nearly charged; a zako4's fan
  kSoundSprayVoice = 37,   // boss 2 starts its spray; a zako4 strikes
  kSoundBoss2Dying = 38,   // boss 2's first cry as it falls
  kSoundStomp = 39,        // boss 2 stamps before its large attack
  kSoundMarkerChain = 41,  // boss 3 lays a chain of markers
  kSoundMarker = 42,       // a target marker appears
  kSoundSideStep = 43,     // boss 2's side step; a zako4's dash
  kSoundLauncher = 44,     // a launcher starts charging
  kSoundHammer = 45,       // a hammer's creak, every 40 frames
};
