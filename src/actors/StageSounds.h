#pragma once
// The stage sound effects the actors play, by their number in the sound
// manager's stage table, with the volume offsets they are played at
// (hundredths of a decibel).
#include "platform/SoundManager.h"

enum StageSound : SoundId {
  kSoundShot = 0,          // a tama fired
  kSoundLargeShot = 1,     // large attack 1 thrown
  kSoundLargeCreep = 2,    // the creeping ball of large attack 2
  kSoundLanding = 4,       // feet back on the ground
  kSoundJump = 5,          // a jump or the hop of large attack 2
  kSoundEnemyShot = 6,     // an enemy fires
  kSoundHit = 7,           // a shot strikes
  kSoundWallBounce = 8,    // knocked against a wall
  kSoundFlame = 9,         // character 3's crawling flame
  kSoundCreature = 10,     // character 4's wandering creature
  kSoundPiyori = 11,       // the stunned chirp
  kSoundChargeFull = 12,   // large attack 2 charged
  kSoundLaunch = 14,       // a launcher fires its ball
  kSoundFan = 15,          // character 2's fan of curving shots
  kSoundBurst = 16,        // the sokai shot bursts; character 2's thunder
  kSoundHoming = 17,       // character 3's homing shot hums
  kSoundMine = 18,         // character 4 lays a mine
  kSoundCharge4 = 20,      // character 4's creature summoned
  kSoundChargeLevel = 27,  // charge 15 and large attack 1 charged
  kSoundEnemyIdle = 28,    // an enemy's voice while it goes about
  kSoundEnemyAlert = 30,   // an enemy has caught up with the player
  kSoundEnemyPause = 31,   // an enemy stops to rest
  kSoundEnemyHurt = 32,    // an enemy's cry when hit
  kSoundEnemyHurt2 = 33,
  kSoundEnemyDying = 34,
  kSoundEnemyArmour = 35,  // an armoured attack begins
  kSoundEnemyCharge = 36,  // an armoured fan is charged
  kSoundEnemyBlow = 37,    // a close blow
  kSoundMarker = 42,       // a target marker appears
  kSoundEnemyDash = 43,    // an enemy dashes through the air
  kSoundLauncher = 44,     // a launcher starts charging
  kSoundHammer = 45,       // a hammer's creak, every 40 frames
};
