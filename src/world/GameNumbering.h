#pragma once
// Numbers shared by the actors, the lists and the scenes. They are stored in
// plain 32-bit fields of the game objects, so they are unscoped enums with an
// int32_t base and convert to int where a list searches by them.
#include <cstdint>

// A character's kind: the key of CharacterList::FindReusable; the stage
// player's enemy gauge also picks the face of the last enemy hit by it.
enum CharacterKind : int32_t {
  kCharacterPlayer = 0,  // Player and BattlePlayer, never searched for
  kCharacterZako1 = 1,
  kCharacterZako1b = 2,
  kCharacterZako2 = 3,
  kCharacterZako3 = 4,
  kCharacterZako4 = 5,
  kCharacterBoss1 = 100,
  kCharacterBoss2 = 101,
  kCharacterBoss3 = 102,
};

// An object's type in the object list: the key of ObjectList::FindReusable.
// The players' own shots lie in the decade 10 x (player + 4); player 1's
// normal shot is the shared type 1.
enum ObjectType : int32_t {
  kObjectTama = 1,
  kObjectEnemyTama = 2,
  kObjectLargeBall1 = 4,
  kObjectLargeBall2 = 5,
  kObjectHammer = 6,
  kObjectBallLauncher = 7,
  kObjectBoss3Tama = 8,
  kObjectMarker3D = 9,
  kObjectPlayer1LargeTama1 = 51,
  kObjectPlayer1LargeTama2 = 52,
  kObjectPlayer1LargeTama3 = 53,
  kObjectPlayer1TamaBurst = 54,
  kObjectPlayer2Tama = 60,
  kObjectPlayer2LargeTama1 = 61,
  kObjectPlayer2HitBox = 62,
  kObjectPlayer3Tama = 70,
  kObjectPlayer3LargeTama1 = 71,
  kObjectPlayer3LargeTama2 = 72,
  kObjectPlayer4Tama = 80,
  kObjectPlayer4LargeTama1 = 81,
  kObjectPlayer4LargeTama2 = 82,
  kObjectPlayer4LargeTama3 = 83,
};

// The side an object belongs to, and a character's own id. Enemies' hit tests
// skip objects of the enemy side; a player's skips objects of its own id.
enum OwnerId : int32_t {
  kOwnerEnemy = 1,
  kOwnerPlayer = 1000,  // the stage player
  kOwnerBattlePlayer1 = 1000,
  kOwnerBattlePlayer2 = 1001,
  kOwnerBattlePlayer3 = 1002,
  kOwnerBattlePlayer4 = 1003,
};

// Animation requests. Each actor class maps them onto its own tracks; a number
// it does not map selects track 0.
enum AnimId : int32_t {
  kAnimStop = 0,
  kAnimWalk = 1,
  kAnimRun = 2,
  kAnimSideWalk = 3,
  kAnimSideStepRight = 4,
  kAnimSideStepLeft = 5,
  kAnimLevy = 6,
  kAnimAttack1 = 7,
  kAnimAttack2 = 8,
  kAnimAttack3 = 9,
  kAnimAttack4 = 10,
  kAnimLargeAttack1 = 12,
  kAnimLargeAttack2 = 13,
  kAnimJump = 19,
  kAnimJumpDash = 20,
  kAnimDamage = 21,
  kAnimPlayerDamage = 22,
  kAnimDying = 24,
  kAnimTimeUp = 25,
  kAnimGameOver = 26,
  kAnimGameClear = 27,
  kAnimPiyori = 28,
};

// An effect's type in the effect list: the key of EffectList::FindReusable.
enum EffectType : int32_t {
  kEffectParticle = 1,
  kEffectThunder = 5,
  kEffectShockWave = 6,
  kEffectLine = 7,
};
