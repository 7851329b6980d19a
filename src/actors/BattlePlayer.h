#pragma once
// A battle player: the figure one person steers in the battle mode, one of
// four characters with its own model set and shots, on the keyboard or a
// joystick. Two to four of them fight on one field; a knock-back scores a
// point for the shooter, a stun (piyori) costs the victim 3 and gives the
// shooter 2. The application holds four for the whole run; they are not in
// the character list. The battle scene loads them, places them, updates
// them once a frame, ranks them and draws each in every viewport with that
// player's own camera values.
#include <cstdint>
#include <memory>
#include <vector>

#include "actors/PlayerController.h"
#include "port/math.h"
#include "render/SkinnedModel.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"

class DynamicObject;
class EffectHolder;
class ModelFrame;

// Any value without a row of its own runs as the fight.
enum BattlePlayerState : int32_t {
  kBattleFightIdle = 0,         // as the fight
  kBattleFight = kModeControl,  // attacks, then movement
  kBattleKnockBack = kModeKnockBack,
  kBattleLargeAttack1 = kModeLargeAttack1,
  kBattleLargeAttack2 = kModeLargeAttack2,
  kBattleStopped = 5,  // time over
  kBattleLose = 6,
  kBattleWin = 7,
  kBattlePiyori = kModePiyori,  // stunned, 240 frames
  kBattleStart = 9,             // placed, moving but not attacking until the fight starts
};

enum BattleCameraMode : int32_t {
  kBattleCameraFollow = 0,
  kBattleCameraCloseUp = 1,  // stopped, lose, win
  kBattleCameraOrbit = 2,    // piyori
};

// The battle animation index the mode routines ask for; the blend maps it
// to the tracks of the model set. Any other value stands.
enum BattleAnim : int32_t {
  kBattleAnimStop = 0,
  kBattleAnimRun = 1,
  kBattleAnimWalk = 2,
  kBattleAnimSideWalk = 3,
  kBattleAnimDamage = 4,
  kBattleAnimLargeAttack1 = 8,
  kBattleAnimLargeAttack2 = 9,
  kBattleAnimJump = 10,
  kBattleAnimLose = 11,
  kBattleAnimWin = 12,
  kBattleAnimPiyori = 13,
};

// The actions whose joystick buttons can be assigned.
enum BattleAction : int32_t {
  kBattleActionAttack = kControlAttack,
  kBattleActionShift = kControlShift,
  kBattleActionJump = kControlJump,
};

class BattlePlayer : public PlayerController {
 public:
  static constexpr int kMaxPlayers = 4;
  static constexpr int kTrackCount = 12;
  static constexpr int32_t kNoCharacter = -1;
  static constexpr int32_t kMarkerShown = 300;  // the rank marker shows below this

  BattlePlayer();
  ~BattlePlayer() override;

  // ---- Class-wide ----

  // Keeps the battle-player array and its count (every player-versus-player
  // search walks it), the device, the shared toon effect and ramp; loads the
  // chick and the four rank markers. The battle scene calls it once at its
  // start, before the model sets.
  static void LoadShared(int32_t playerCount, BattlePlayer* players, EffectHolder* effect,
                         Texture* toonTexture);
  // The first count players of the array as the target list that character
  // 1's steering ball takes (Player1LargeTama1::Load). The list is
  // class-wide and stays valid until the next call.
  static Character* const* TargetList(BattlePlayer* players, int32_t count);
  static int32_t PlayerCount();
  static BattlePlayer* Players();
  // The chick, the rank markers (1 to 4) and the toon ramp, class-wide.
  static StaticMesh& Chick();
  static StaticMesh& RankMarker(int32_t rank);
  static Texture* ToonTexture();

  // character -1; the shared meshes (whichever player is released first
  // releases them), the extra meshes and the model. A second call does
  // nothing more.
  void Release() override;

  // ---- Per player ----

  // Loads the model set of character 1 to 4 for the draw method (2 fixed
  // function, 3 toon); the same character already loaded is not loaded
  // again. Any other character, or files that are missing, leave the player
  // without a model: it plays on and draws nothing. Leaves the player dead.
  void LoadModel(int method, int32_t character);
  // Placement, in the start mode: id 1000 to 1003 for players 1 to 4.
  void Init(float x, float y, float z, float heading, int32_t id);
  // One frame; nothing while dead.
  void Update() override;
  // The figure, its ornaments, the rank marker and the shadow; nothing while
  // dead or without a model.
  void Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) override;

  void StartFight();
  void Stop();
  // 1 + the players with strictly more points; the last place is always 4.
  void ComputeRank();
  // Lose when another player has strictly more points, else win (ties all win).
  void DecideResult();
  bool IsWinner() const;

  // Points never fall below 0.
  void AddPoints(int32_t n);
  // This player's controls: a direction by kPadUp ... kPadRight; the
  // actions by BattleAction, on the joystick by their assigned buttons.
  // Player 1 answers to the keyboard (and to pad 0 when there is a pad for
  // every player); each other player to its pad.
  bool IsDirectionDown(int direction) const override;
  bool IsActionDown(int action) const override;
  // Writes this player's camera target, pitch and yaw into g_camera.
  void ApplyCamera() const;

  // Animation: the index the modes ask for; the blend once per update; the
  // pose once per drawn frame.
  void SetAnimation(int32_t index) override;
  void BlendAnimation();
  void ApplyAnimation() override;

  // The large attacks of modes 3 and 4, by character.
  void UpdateLargeAttack1();
  void UpdateLargeAttack2();

  // Resources; the model is the base's.
  std::vector<std::unique_ptr<StaticMesh>> extraMeshes;  // character 2: the sunflower first
  // The tracks are the base's `tracks`, kTrackCount of them.
  int32_t character = kNoCharacter;
  uint8_t animatedThisFrame = 0;

  // The base's mode is a BattlePlayerState, its animation id a BattleAnim.
  int32_t points = 0;
  int32_t lastAttacker = 0;
  int32_t rank = 1;
  int32_t rankMarkerFrames = kMarkerShown;

 protected:
  bool FindLockOnTarget(float reach, float* yaw) const override;
  void Shoot() override;
  bool ShowsJump() const override;
  void RunMode() override;
  void CheckHits() override;
  void CollideWalls(const port::Vec3& d) override;

 private:
  void KnockBackFrom(const DynamicObject& object);
  void UpdateKnockBack();
  void GivePoints(int32_t attacker, int32_t n);
  // The large attacks' sequences, by character, and what they share.
  // Large attack 1 or 2: the character's sequence, or a stand for the
  // length without a model set; then the count-down.
  void RunLargeAttack(int attack);
  void Character1LargeAttack1();
  void Character2LargeAttack1();
  void Character3LargeAttack1();
  void Character4LargeAttack1();
  void Character1LargeAttack2();
  void Character2LargeAttack2();
  void Character3LargeAttack2();
  void Character4LargeAttack2();
  void StandThroughAttack(int32_t index, int32_t length);
  // Back to the fight once the mode frame reaches the length.
  void EndAttackAt(int32_t length);
  // Character 1's slide to a stand, then its step back at backSpeed.
  void SlideAndStepBack(float backSpeed);
  // Poses the model as it stands this frame, so that the frames' combined
  // matrices hold this frame's points; a model not loaded stays as it is.
  void PoseForHands();
  // The point reach units along upper frame i's own z, in the world; false
  // when the model has no such frame.
  bool HandPoint(int upperFrame, float reach, port::Vec3* out) const;
  void RunCamera();
  void SpinModel();
  void DrawModel(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection);
  void DrawOrnaments();
  void DrawRankMarker();
};

// Copies g_camera's view matrix into *out.
void GetCameraViewMatrix(port::Matrix* out);
