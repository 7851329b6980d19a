#pragma once
// What the stage player and the battle player share: walking, running, side
// steps and turns, the jump, the tap and the charge of the attack button,
// the lock-on, the knock-back and piyori (stun), the invulnerability
// count-down, the button assignment and the figure's draw. Each player
// derives from it and keeps what the game does differently: its modes
// beyond these, what a hit marks and scores, its shots, its camera.
//
// A base class rather than a member: every step steers the figure's own
// Character fields (position, heading, airborne, invulnerable, tracks), and
// each player's mode machine calls the steps between its own, so a member
// would need the figure handed to every call.
//
// Each player brings three things: its ControlNumbers, its input source
// (IsDirectionDown, IsActionDown, after the rule of PlayerInput.h) and its
// target finder (FindLockOnTarget). The steps never read the input source
// themselves: a mode that reads the controls samples them once, at the start
// of its frame, into the command the steps read (ReadControls).
#include <cstddef>
#include <cstdint>
#include <optional>

#include "actors/PlayerInput.h"
#include "actors/SplitBodyPose.h"
#include "port/math.h"
#include "render/SkinnedModel.h"
#include "world/Character.h"

class Camera;
class DynamicObject;
class EffectHolder;
class StaticMesh;
class Texture;
namespace port::gpu {
class Device;
}

// The modes the shared steps enter; a player numbers its other modes around
// them. Any mode a player does not handle runs as control.
enum ControlMode : int32_t {
  kModeControl = 1,  // movement and attacks
  kModeKnockBack = 2,
  kModeLargeAttack1 = 3,
  kModeLargeAttack2 = 4,
  kModePiyori = 8,
};

// The animation ids and camera modes the shared steps ask for.
struct ControlLooks {
  int32_t stop, run, walk, sideWalk, damage, jump, piyori;
  int32_t followCamera, stunnedCamera;
};

// The defaults are the values both players share; each player's table
// names the rest.
struct ControlNumbers {
  float turn = 2.0f;         // degrees a frame
  float sideStep = 0.0f;     // units a frame
  float walk = 0.0f;         // forward or back with shift
  float run = 0.0f;          // forward or back without
  int32_t dustEvery = 5;     // mode frames between dust puffs while running
  float jump = 0.4f;         // vertical speed of a jump
  int32_t jumpRest = 20;     // frames on the ground before the next jump
  int32_t lockOnAfter = 20;  // shift held longer than this locks on
  float lockOnReach = 2000.0f;
  float lockOnTurn = 0.0f;   // degrees a frame
  int32_t shotRest = 0;      // a shot needs more frames than this since the last
  int32_t chargeAfter = 15;  // frames after a shot before the charge starts
  int32_t chargeCue = 15;    // the charge sound plays here and at charge1
  int32_t charge1 = 80;      // a release above this: large attack 1
  int32_t charge2 = 240;     // above this: large attack 2
  float stunDecay = 0.003f;  // stun gauge lost a frame of control or a large attack
  float knockBackPerDamage = 0.04f;
  float knockBackSlowing = 0.006f;  // speed lost a knock-back frame
  float knockBackCap = 1.0f;
  float piyoriGauge = 50.0f;    // a knock-back ending at this gauge stuns
  int32_t afterHitFrames = 60;  // invulnerable frames after a knock-back or piyori
  int32_t piyoriFrames = 0;
  int32_t chirpEvery = 20;
  int32_t flashPeriod = 10;  // mode frames: the second half of each flashes
  // Where a placement starts the counters and the camera.
  int32_t placedSinceShot = 60;
  int32_t placedOnGround = 20;
  float cameraDistance = 4.0f;
  float cameraYawBehind = 180.0f;
  ControlLooks looks = {};
};

// How the figure looks while stunned: the chick circling over its head.
struct ChickLook {
  port::Vec3 scale;
  float stand;   // radians about x
  float circle;  // degrees a mode frame
  float height;  // above the head frame
};

// What the figure's draw needs beyond the model.
struct FigureLook {
  port::gpu::Device* device;
  EffectHolder* effect;  // the toon effect
  Texture* ramp;         // the toon ramp
  bool flash;
  const float* flashColour;
  // Given: the fixed-function figure is lit with this ambient and wears the
  // flash material every frame, not only while flashing.
  const port::Argb* ambient;
};

class PlayerController : public Character {
 public:
  static constexpr int kLowerFrameCount = kLowerBodyFrameCount;
  static constexpr int kUpperFrameCount = kUpperBodyFrameCount;  // the last is the head
  static constexpr int kActionCount = kControlActionCount;
  // The tracks every player's model set begins with, in load order.
  enum Track : int32_t {
    kTrackStop = 0,
    kTrackRun,
    kTrackWalk,
    kTrackSideWalk,
    kTrackAttack,
    kTrackDamage,
    kTrackJump,
    kTrackLargeAttack1,
    kTrackLargeAttack2,
    kSharedTrackCount,
  };

  explicit PlayerController(const ControlNumbers& numbers);

  // Slides along heading at speed (at most 1.0).
  void SetKnockBack(float heading, float speed_);
  // The pad button of an action; other actions change nothing and answer 0.
  // A button outside the pad's range is kept, and never reads down.
  void SetButton(int32_t action, int32_t button);
  int32_t GetButton(int32_t action) const;

  // The input source: a direction by kPadUp ... kPadRight (InputDevice.h), an
  // action by ControlAction; read as they stand now.
  virtual bool IsDirectionDown(int direction) const = 0;
  virtual bool IsActionDown(int action) const = 0;
  // The input source as it stands now, as one command.
  ControlCommand SampleCommand() const;
  virtual void SetAnimation(int32_t id_) = 0;
  // Poses the model for this frame's draw.
  virtual void ApplyAnimation() = 0;

  SkinnedModel model;
  // The tracks are the base's `tracks`.
  float shadowHeight = 0.0f;
  ModelFrame* lowerFrames[kLowerFrameCount] = {};
  ModelFrame* upperFrames[kUpperFrameCount] = {};
  int32_t upperTrack = 0;
  int32_t lowerTrack = 0;  // the legs, or the whole body
  int32_t buttons[kActionCount] = {0, 1, 2};
  // The controls of this frame, as ReadControls read them.
  ControlCommand command;
  // While set, ReadControls takes this command and polls nothing (tests).
  std::optional<ControlCommand> fedCommand;

  int32_t mode = kModeControl;
  int32_t modeFrame = 0;  // frames since the mode began; the first is 1
  int32_t animId = 0;
  float moveHeading = 0.0f;  // degrees; the move may differ from the facing
  float speed = 0.0f;        // world units a frame along moveHeading
  float verticalSpeed = 0.0f;
  int32_t framesSinceShot = 0;
  int32_t framesOnGround = 0;
  int32_t lockOnHold = 0;  // frames shift has been held without a side step
  uint8_t shotHeld = 0;
  int32_t charge = 0;     // frames
  uint8_t attacking = 0;  // 1 while the shot's pose shows
  float stunGauge = 0.0f;
  port::Vec3 modelAngle;  // pitch, yaw, roll added when drawn (the damage spin)

  int32_t cameraMode = 0;
  float cameraPitch = 0.0f;  // degrees
  float cameraYaw = 0.0f;    // degrees
  float cameraDistance = 0.0f;
  port::Vec3 cameraTarget;

 protected:
  // The target finder: the heading toward what shift locks on to, within reach.
  virtual bool FindLockOnTarget(float reach, float* yaw) const = 0;
  // The mode's own step, then what hits mark and the walls.
  virtual void RunMode() = 0;
  virtual void CheckHits() = 0;
  virtual void CollideWalls(const port::Vec3& d) = 0;
  // The attack's press: the shot.
  virtual void Shoot() = 0;
  virtual bool CanCharge() const { return true; }
  // Whether leaving the ground shows the jump.
  virtual bool ShowsJump() const = 0;

  const ControlNumbers& Numbers() const { return *numbers_; }
  // Stands the figure at `at` facing heading, with the control's fields and
  // camera values as a placement starts them (the mode is the player's).
  void ResetControl(const port::Vec3& at, float heading);
  // Sets the camera to orbit this player's camera target from its values.
  void AimCamera(Camera& camera) const;
  // Counts the mode frame on, runs the mode, the hits, the move and walls.
  void StepMode();
  // Counts the invulnerable frames down, and lets the stun gauge ebb.
  void CountDownInvulnerability();
  // Polls the keyboard and the pads and samples the input source into
  // `command`, or takes the fed command: once a frame, before the steps below.
  void ReadControls();
  // Walks, runs, side-steps, turns, jumps and locks on, by `command`.
  void HandleMoveInput();
  // Tap for a shot, hold to charge, let go for a large attack, by `command`.
  void HandleAttackInput();
  void LockOn();
  void ApplyGravity(float ground);
  // The knock-back's hit: pushed away from the object, the gauge fills.
  void TakeHit(const DynamicObject& object);
  // One knock-back frame; true on the frame it ends in piyori.
  bool SlowKnockBack();
  void UpdatePiyori();
  void HoldPose(int32_t anim, int32_t camMode);
  void ReturnToControl();

  static void GainTrack(AnimTrack& t, float step, float rate);
  // The other tracks fade by rate; one faded out starts again from 0.
  void FadeOtherTracks(size_t lower, size_t upper, float rate);
  void PoseBody();
  // Scaling x roll x pitch x heading (each with the model's own turn) x position.
  port::Matrix ModelWorld() const;
  bool Flashing(int32_t leastFrames) const;
  void DrawFigure(port::Matrix view, port::Matrix projection, port::Vec4 light,
                  const FigureLook& look);
  void DrawChick(port::gpu::Device* device, StaticMesh& chick, const ChickLook& look) const;

 private:
  const ControlNumbers* numbers_;
};
