#pragma once
// The stage player (g_player): the figure the user steers in the stages and
// the sokai stage. It walks, runs, side-steps, turns, jumps, fires tama shots,
// charges two large attacks, locks on to the nearest enemy, is knocked back
// by enemy objects and stunned (piyori) when its stun gauge overflows. It has
// no hit points. It drives the camera, keeps the enemy gauge the enemies
// report their hits to, and pad 0's button assignment.
#include <cstdint>
#include <vector>

#include "actors/PlayerController.h"
#include "port/math.h"
#include "render/SkinnedModel.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"

class Camera;
class EffectHolder;
class ModelFrame;
namespace port {
class Sprite;
namespace gpu {
class Device;
}
}  // namespace port

// Any other value runs as control.
enum PlayerMode : int32_t {
  kPlayerControl = kModeControl,
  kPlayerKnockBack = kModeKnockBack,
  kPlayerLargeAttack1 = kModeLargeAttack1,
  kPlayerLargeAttack2 = kModeLargeAttack2,
  kPlayerTimeUp = 5,
  kPlayerGameOver = 6,
  kPlayerClear = 7,
  kPlayerPiyori = kModePiyori,
};

// The camera routine Update runs while the camera is on.
enum PlayerCameraMode : int32_t {
  kCameraFollow = 0,   // control and the attacks
  kCameraEnd = 1,      // time up and game over
  kCameraStunned = 2,  // piyori: the camera circles
  kCameraClear = 3,    // clear: seen from the front
};

// The actions whose pad buttons can be assigned.
enum PlayerAction : int32_t {
  kActionAttack = kControlAttack,
  kActionShift = kControlShift,
  kActionJump = kControlJump
};

class Player : public PlayerController {
 public:
  static constexpr int kTrackCount = 13;
  // The gauge is hidden while its timer is at this or above.
  static constexpr int32_t kGaugeHidden = 180;

  Player();
  ~Player() override;

  // Keeps the device (from the camera's), camera, effect and ramp; loads the
  // model, its animations and the meshes once, the gauge textures every
  // time. Missing files leave parts undrawn. Leaves the player dead.
  bool Load(int method, Camera* camera, EffectHolder* effect, Texture* toonRamp);
  // The textures, the meshes and the model. A second call does nothing.
  void Release() override;
  // Stands the player at (x, y, z) facing `heading`, alive in control mode,
  // and sets the camera behind it. A point with no field under it is moved
  // onto the field (see Place in Player.cpp).
  void Place(float x, float y, float z, float heading);
  // The poses the stage scenes hold at the end; only Place leaves them.
  void SetTimeUp();
  void SetGameOver();
  void SetClear();

  // One frame; nothing while dead.
  void Update() override;
  // The figure, the stunned chick and the shadow; nothing while dead.
  void Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) override;
  // The enemy gauge, while shown. Counts the gauge timer by one each call.
  void Draw2D(port::Sprite* sprite) override;

  void SetAnimation(int32_t id_) override;
  // Picks the tracks of the animation id and moves weights and times on.
  void BlendAnimation();
  // Poses the model: legs from the lower track, arms and head from the upper one.
  void ApplyAnimation() override;

  // The keys, and pad 0 with its assigned buttons.
  bool IsDirectionDown(int direction) const override;
  bool IsActionDown(int action) const override;
  // Every enemy's hit test reports here after a hit (a CharacterKind); the
  // gauge shows the face its class's traits give (GaugeFaceRow).
  void ShowEnemyGauge(int32_t kind, float hp, float maxHp);

  // One camera step of each camera mode.
  void CameraFollow();
  void CameraEnd();
  void CameraStunned();
  void CameraClear();

  // Resources, kept by Load.
  port::gpu::Device* device = nullptr;
  Camera* camera = nullptr;
  EffectHolder* effect = nullptr;
  Texture* toonRamp = nullptr;
  StaticMesh chickMesh;  // drawn over the head while stunned
  StaticMesh eyeMesh;    // loaded and released, never drawn
  // The tracks are the base's `tracks`, kTrackCount of them.
  Texture gaugeFrame;
  Texture gaugeBar;
  std::vector<Texture> faces;  // a row of the enemy class table's each (GaugeFacePath)
  Texture cross;

  int32_t cameraOn = 0;
  int32_t animFrames = 0;  // frames since the animation id last changed
  uint8_t sokai = 0;       // 1 in the sokai stage
  int32_t viewType = 0;    // the view-type option, 0 to 2
  port::Vec3 groundBelow;  // ground under the player + (0, 1, 0)
  port::Vec3 groundAhead;  // ground 1.5 ahead + (0, 1, 0)

  // Enemy gauge.
  int32_t gaugeTimer = kGaugeHidden;  // counted in drawn frames
  int32_t gaugeKind = kCharacterZako1;
  float gaugeMax = 1.0f;
  float gaugeValue = 0.0f;

 protected:
  bool FindLockOnTarget(float reach, float* yaw) const override;
  void Shoot() override;
  bool CanCharge() const override;
  bool ShowsJump() const override;
  void RunMode() override;
  void CheckHits() override;
  void CollideWalls(const port::Vec3& d) override;

 private:
  void UpdateKnockBack();
  void LargeAttack1();
  void LargeAttack2();
  void UpdateTimeUp();
  void UpdateGameOver();
  void UpdateClear();
  void LargeAttackRecoil(float recoil);
  // Update's steps after the mode: ground, ground ahead, ceiling.
  void FollowField();
  void RunCamera();
  void DrawModel(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection);
  Texture* FaceOf(int32_t kind);
  void RegisterListener();
};

extern Player g_player;
