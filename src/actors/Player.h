#pragma once
// The stage player (g_player): the figure the user steers in the stages and
// the sokai stage. It walks, runs, side-steps, turns, jumps, fires tama shots,
// charges two large attacks, locks on to the nearest enemy, is knocked back
// by enemy objects and stunned (piyori) when its stun gauge overflows. It has
// no hit points. It drives the camera, keeps the enemy gauge the enemies
// report their hits to, and pad 0's button assignment.
#include <cstdint>
#include <vector>

#include "port/math.h"
#include "render/SkinnedModel.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"
#include "world/Character.h"

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
  kPlayerControl = 1,
  kPlayerKnockBack = 2,
  kPlayerLargeAttack1 = 3,
  kPlayerLargeAttack2 = 4,
  kPlayerTimeUp = 5,
  kPlayerGameOver = 6,
  kPlayerClear = 7,
  kPlayerPiyori = 8,
};

// The camera routine Update runs while the camera is on.
enum PlayerCameraMode : int32_t {
  kCameraFollow = 0,   // control and the attacks
  kCameraEnd = 1,      // time up and game over
  kCameraStunned = 2,  // piyori: the camera circles
  kCameraClear = 3,    // clear: seen from the front
};

// The actions whose pad buttons can be assigned.
enum PlayerAction : int32_t { kActionAttack = 0, kActionShift = 1, kActionJump = 2 };

class Player : public Character {
 public:
  static constexpr int kTrackCount = 13;
  static constexpr int kLowerFrameCount = 10;
  static constexpr int kUpperFrameCount = 8;
  static constexpr int kActionCount = 3;
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

  void SetAnimation(int32_t animId);
  // Picks the tracks of the animation id and moves weights and times on.
  void BlendAnimation();
  // Poses the model: legs from the main track, arms and head from the upper one.
  void ApplyAnimation();

  // Pushes the player along heading at speed (at most 1.0).
  void SetKnockBack(float heading, float speed);
  // Pad 0's button of an action; other actions change nothing / answer 0.
  void SetButton(int32_t action, int32_t button);
  int32_t GetButton(int32_t action) const;
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
  SkinnedModel model;
  StaticMesh chickMesh;  // drawn over the head while stunned
  StaticMesh eyeMesh;    // loaded and released, never drawn
  // The tracks are the base's `tracks`, kTrackCount of them.
  float shadowHeight = 0.0f;  // ground under the player + 0.05
  ModelFrame* lowerFrames[kLowerFrameCount] = {};
  ModelFrame* upperFrames[kUpperFrameCount] = {};  // the last is the head
  int32_t upperTrack = 0;
  int32_t mainTrack = 0;
  Texture gaugeFrame;
  Texture gaugeBar;
  std::vector<Texture> faces;  // a row of the enemy class table's each (GaugeFacePath)
  Texture cross;
  int32_t padButtons[kActionCount] = {0, 1, 2};

  // Camera.
  int32_t cameraOn = 0;
  int32_t cameraMode = kCameraFollow;
  float cameraPitch = 0.0f;  // degrees
  float cameraYaw = 0.0f;    // degrees
  float cameraDistance = 0.0f;
  port::Vec3 cameraTarget;

  // Movement and modes.
  int32_t animId = kAnimStop;
  int32_t animFrames = 0;  // frames since the animation id last changed
  int32_t framesSinceAttack = 0;
  float moveHeading = 0.0f;  // degrees; the move may differ from the facing
  float speed = 0.0f;        // world units a frame along moveHeading
  float verticalSpeed = 0.0f;
  int32_t modeFrame = 0;
  int32_t mode = kPlayerControl;
  int32_t lockOnHold = 0;  // frames shift has been held without a side step
  uint8_t attackLatch = 0;
  int32_t charge = 0;  // frames
  uint8_t attackPose = 0;
  int32_t framesSinceJump = 0;
  float stunGauge = 0.0f;
  port::Vec3 displayAngle;  // pitch, yaw, roll added when drawn (the damage spin)
  uint8_t sokai = 0;        // 1 in the sokai stage
  int32_t viewType = 0;     // the view-type option, 0 to 2
  port::Vec3 groundBelow;   // ground under the player + (0, 1, 0)
  port::Vec3 groundAhead;   // ground 1.5 ahead + (0, 1, 0)

  // Enemy gauge.
  int32_t gaugeTimer = kGaugeHidden;  // counted in drawn frames
  int32_t gaugeKind = kCharacterZako1;
  float gaugeMax = 1.0f;
  float gaugeValue = 0.0f;

 private:
  void UpdateMode();
  void HandleMoveInput();
  void HandleAttackInput();
  void UpdateKnockBack();
  void LargeAttack1();
  void LargeAttack2();
  void UpdateTimeUp();
  void UpdateGameOver();
  void UpdateClear();
  void UpdatePiyori();
  void CheckHits();
  void CollideStage(const port::Vec3& d);
  void ApplyGravity(float ground);
  void LockOn();
  // The shared steps of several modes.
  void CountDownInvulnerability();
  void LargeAttackRecoil(float recoil);
  void HoldPose(int32_t anim, int32_t camMode);
  void ReturnToControl();
  // Update's steps after the mode: ground, ground ahead, ceiling.
  void FollowField();
  void RunCamera();
  void DrawModel(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection);
  void DrawChick();
  bool Flashing() const;
  Texture* FaceOf(int32_t kind);
  void RegisterListener();
};

extern Player g_player;
