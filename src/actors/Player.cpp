// The stage player's life: loading, placing, the frame and its mode machine.
// The control both players share is in PlayerController.cpp; this player's
// input, targets, hits and walls are in PlayerControl.cpp, the animation in
// PlayerAnimation.cpp, the camera in PlayerCamera.cpp, the drawing in
// PlayerDraw.cpp.
#include "actors/Player.h"

#include <cmath>

#include "actors/EnemyClasses.h"
#include "actors/Motion.h"
#include "actors/Player1Shots.h"
#include "actors/StageSounds.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "render/Camera.h"
#include "render/EffectHolder.h"
#include "world/StageField.h"

namespace {

constexpr const char* kModelPath = "Xfile/player/stop.X";
// Tracks 1 to 12, after the model's own stop set (track 0).
constexpr const char* kAnimationPaths[Player::kTrackCount - 1] = {
    "Xfile/player/run.X",           "Xfile/player/walk.X",         "Xfile/player/side_walk.X",
    "Xfile/player/normal_attack.X", "Xfile/player/damage_small.X", "Xfile/player/jump_downer.X",
    "Xfile/player/largeattack1.X",  "Xfile/player/largeattack2.X", "Xfile/player/timeup.X",
    "Xfile/player/gameover.X",      "Xfile/player/gameclear.X",    "Xfile/player/piyori.X",
};
constexpr const char* kChickPath = "Xfile/hiyoko.X";
constexpr const char* kEyePath = "Xfile/eye.X";

constexpr const char* kGaugeFramePath = "texture/battle/enemygazi.png";
constexpr const char* kGaugeBarPath = "texture/battle/enemybar.png";
constexpr const char* kCrossPath = "texture/battle/enemyFace/batu.png";

// The stage player's movement, attacks, knock-back and piyori.
constexpr ControlNumbers kControl = {
    .sideStep = 0.15f,
    .walk = 0.15f,
    .run = 0.3f,
    .lockOnTurn = 1.2f,
    .shotRest = 20,
    .piyoriFrames = 300,
    .looks = {kAnimStop, kAnimRun, kAnimWalk, kAnimSideWalk, kAnimPlayerDamage, kAnimJump,
              kAnimPiyori, kCameraFollow, kCameraStunned},
};

// The large attacks.
struct AttackNumbers {
  int32_t knockBackGuard = 30;  // knock-back frames that are invulnerable throughout
  int32_t attackFrames = 60;    // a large attack's length
  int32_t throwFrame = 35;      // large attack 1 lets go
  int32_t launchFrame = 30;     // large attack 2 lets go
  int32_t landFrame = 50;       // large attack 2 stops hanging in the air
  float hop = 0.32f;            // large attack 2's jump
  float recoil1 = 0.05f;        // speed of the step back after each attack
  float recoil2 = 0.2f;
  float recoilSlowing = 0.02f;  // speed lost a frame before the step back
  int32_t recoilStart = 31, recoilEnd = 50;
};
constexpr AttackNumbers kModes;

constexpr float kStandHeight = 1.0f;  // the origin stands this high above the ground

bool IsFinite(float x, float y, float z) {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// A sound place for a placement: the given point when the field has ground
// under it; else the ground above it (a point under the floor); else the top
// of the field over its middle (a point outside the field, or not a number).
// Without a collision mesh nothing can be found and the point is kept.
port::Vec3 SoundPlacement(port::Vec3 p) {
  const StaticMesh& field = g_stageField.Collision();
  if (IsFinite(p.x, p.y, p.z)) {
    if (FindGround(p).found) return p;
    const port::Vec3 up{0.0f, 1.0f, 0.0f};
    float t = 100000.0f;
    port::Vec3 from = p;
    if (g_stageField.RayCast(&from, &up, &t)) {
      return {p.x, p.y + t + kStandHeight, p.z};
    }
  }
  if (!field.HasCollisionData()) return IsFinite(p.x, p.y, p.z) ? p : port::Vec3{};
  const port::Vec3 c = field.Centre();
  const port::Vec3 above{c.x, c.y + field.Radius() + 1.0f, c.z};
  const GroundHit ground = FindGround(above);
  if (!ground.found) return above;
  return ground.point + port::Vec3{0.0f, kStandHeight, 0.0f};
}

}  // namespace

Player::Player() : PlayerController(kControl) {}

Player::~Player() = default;

bool Player::Load(int method, Camera* camera_, EffectHolder* effect_, Texture* toonRamp_) {
  device = g_graphics.GetDevice();
  effect = effect_;
  toonRamp = toonRamp_;
  if (!model.IsLoaded()) {
    model.Init(device, &g_graphics.GetCaps());
    model.Load(kModelPath, method);
    // Every call adds a set, so a file that fails keeps the later tracks in place.
    for (const char* path : kAnimationPaths) model.AddAnimation(path);
  }
  if (method != SkinnedModel::kMethodSoftware) {
    model.SetEffect(effect);
    model.BindEffectParameters("mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones",
                               "mWorldMatrixArray");
  }
  if (!chickMesh.GetMesh()) chickMesh.Load(device, kChickPath);
  if (!eyeMesh.GetMesh()) eyeMesh.Load(device, kEyePath);

  if (tracks.empty()) {
    tracks.resize(kTrackCount);
    tracks[0].weight = 1.0f;
  }
  // Refilled on every load: a model loaded again gives its own lengths.
  model.GetAnimationLengths(tracks);
  FindBodyFrames(model, lowerFrames, upperFrames);

  gaugeFrame.Load(device, kGaugeFramePath, 0);
  gaugeBar.Load(device, kGaugeBarPath, 0);
  cross.Load(device, kCrossPath, 0);
  faces.resize(EnemyClasses().size());
  for (size_t i = 0; i < faces.size(); ++i) {
    if (const char* face = GaugeFacePath(i)) faces[i].Load(device, face, 0);
  }

  alive = 0;
  RegisterListener();
  camera = camera_;
  return true;
}

void Player::Release() {
  gaugeFrame.Release();
  gaugeBar.Release();
  cross.Release();
  for (Texture& face : faces) face.Release();
  eyeMesh.Release();
  chickMesh.Release();
  model.Release();
  for (ModelFrame*& f : lowerFrames) f = nullptr;
  for (ModelFrame*& f : upperFrames) f = nullptr;
  g_sound.SetListenerSource(nullptr);
}

void Player::RegisterListener() {
  g_sound.SetListenerSource([this] { return position; });
}

void Player::Place(float x, float y, float z, float heading) {
  const port::Vec3 at = SoundPlacement({x, y, z});
  if (!std::isfinite(heading)) heading = 0.0f;
  ResetControl(at, heading);
  mode = kPlayerControl;
  cameraOn = 1;
  alive = 1;
  id = kOwnerPlayer;
  animFrames = 0;
  gaugeTimer = kGaugeHidden;
  gaugeValue = 0.0f;
  gaugeMax = 1.0f;
  if (camera) AimCamera(*camera);
}

void Player::SetTimeUp() { mode = kPlayerTimeUp; }
void Player::SetGameOver() { mode = kPlayerGameOver; }
void Player::SetClear() { mode = kPlayerClear; }

void Player::ShowEnemyGauge(int32_t kind_, float hp, float maxHp) {
  gaugeTimer = hp <= 0.0f ? 90 : 0;
  gaugeKind = kind_;
  gaugeMax = maxHp;
  gaugeValue = hp < 0.0f ? 0.0f : hp;
}

void Player::Update() {
  if (!alive) return;
  previousPosition = position;
  StepMode();
  FollowField();
  BlendAnimation();
  if (cameraOn) RunCamera();
}

void Player::RunMode() {
  switch (mode) {
    case kPlayerKnockBack:
      UpdateKnockBack();
      break;
    case kPlayerLargeAttack1:
      LargeAttack1();
      break;
    case kPlayerLargeAttack2:
      LargeAttack2();
      break;
    case kPlayerTimeUp:
      UpdateTimeUp();
      break;
    case kPlayerGameOver:
      UpdateGameOver();
      break;
    case kPlayerClear:
      UpdateClear();
      break;
    case kPlayerPiyori:
      UpdatePiyori();
      break;
    default:
      ReadControls();
      HandleMoveInput();
      HandleAttackInput();
      break;
  }
}

void Player::FollowField() {
  const GroundHit ground = FindGround(position);
  if (ground.found) {
    groundBelow = ground.point + port::Vec3{0.0f, kStandHeight, 0.0f};
    shadowHeight = ground.point.y + kStandHeight - 0.95f;
    ApplyGravity(ground.point.y + kStandHeight);
  } else {
    // No field there: the player cannot go there.
    position = previousPosition;
  }

  const port::Vec3 down{0.0f, -10.0f, 0.0f};
  const port::Vec3 ahead = position + DirectionFromAngles(0.0f, angle.y, 0.0f) * 1.5f;
  float t = 1000.0f;
  // With nothing below, the point lies the whole reach down; the camera that
  // reads it clamps the slope it makes.
  g_stageField.RayCast(&ahead, &down, &t);
  groundAhead = ahead + down * t + port::Vec3{0.0f, kStandHeight, 0.0f};

  if (verticalSpeed > 0.0f && CeilingAbove(previousPosition)) {
    position = previousPosition;
    verticalSpeed = 0.0f;
  }
}

void Player::UpdateKnockBack() {
  charge = 0;
  if (modeFrame < kModes.knockBackGuard) {
    invulnerable = 1;
    invulnerableFrames = 1;
  }
  SlowKnockBack();
}

// Slides on a little, steps back, stands.
void Player::LargeAttackRecoil(float recoil) {
  const int32_t f = modeFrame;
  if (f < kModes.knockBackGuard) {
    speed -= kModes.recoilSlowing;
  } else if (f >= kModes.recoilStart && f <= kModes.recoilEnd) {
    speed = recoil;
    moveHeading = angle.y + 180.0f;
  } else if (f > kModes.recoilEnd) {
    speed = 0.0f;
  }
  if (speed < 0.0f) speed = 0.0f;
}

void Player::LargeAttack1() {
  const int32_t f = modeFrame;
  CountDownInvulnerability();
  LargeAttackRecoil(kModes.recoil1);
  if (f == 1) SetAnimation(kAnimLargeAttack1);
  if (f == kModes.throwFrame) {
    g_sound.PlaySound(kSoundLargeShot, kQuieter10dB);
    if (sokai) {
      Player1LargeTama3::Spawn({.at = position, .heading = angle.y, .owner = kOwnerPlayer});
    } else {
      Player1LargeTama1::Spawn({.at = position, .heading = angle.y, .owner = id, .battleMode = 0});
    }
  }
  if (f == kModes.attackFrames) ReturnToControl();
}

void Player::LargeAttack2() {
  const int32_t f = modeFrame;
  CountDownInvulnerability();
  LargeAttackRecoil(kModes.recoil2);
  if (f == 1) {
    SetAnimation(kAnimLargeAttack2);
    if (!airborne) {
      g_sound.PlaySound(kSoundJump, kQuieter10dB);
      verticalSpeed += kModes.hop;
    }
  }
  if (f == kModes.launchFrame) {
    Player1LargeTama2::Spawn({.at = position, .heading = angle.y, .owner = id});
  }
  if (f == kModes.landFrame) SetAnimation(kAnimStop);
  // Hangs in the air until the ball is away.
  if (f < kModes.landFrame && verticalSpeed < 0.0f) verticalSpeed = 0.0f;
  if (f == kModes.attackFrames) ReturnToControl();
}

void Player::UpdateTimeUp() { HoldPose(kAnimTimeUp, kCameraEnd); }
void Player::UpdateGameOver() { HoldPose(kAnimGameOver, kCameraEnd); }
void Player::UpdateClear() { HoldPose(kAnimGameClear, kCameraClear); }
