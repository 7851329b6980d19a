// The stage player's camera: each step moves the player's own camera values
// toward the goals of its camera mode by bounded steps, then writes them into
// the camera it drives.
#include <cmath>

#include "actors/Player.h"
#include "platform/MathHelpers.h"
#include "render/Camera.h"

namespace {

// One camera's goals and the most each value moves toward its goal a frame.
struct CameraRule {
  float distance, distanceStep;
  float targetStep;
  float pitchOffset, pitchStep;  // the pitch goal is the player's pitch + offset
  float yawOffset, yawStep;      // the yaw goal is the heading + offset
};

constexpr CameraRule kFollow0 = {4.0f, 0.5f, 1.5f, 0.0f, 3.0f, 180.0f, 2.0f};
constexpr CameraRule kFollow1 = {4.0f, 0.5f, 1.5f, 0.0f, 1.0f, 180.0f, 2.0f};
constexpr CameraRule kFollow2 = {4.1f, 0.5f, 1.0f, 0.0f, 3.0f, 180.0f, 2.0f};
constexpr CameraRule kEnd = {2.5f, 0.3f, 0.025f, 20.0f, 1.0f, 15.0f, 1.0f};
constexpr CameraRule kStunned = {3.0f, 0.3f, 0.5f, 0.0f, 0.5f, 0.0f, 0.0f};
constexpr CameraRule kClear = {2.5f, 0.3f, 0.5f, -5.0f, 1.0f, 0.0f, 2.0f};

struct ViewNumbers {
  float lift0 = 0.65f;  // view type 0 looks at this height over the player
  float lift1 = 1.0f;   // view type 1
  float lead2 = 4.0f;   // view type 2 looks this far ahead
  float lift2 = 0.3f;
  float slopeLimit = 30.0f;  // view type 1 tilts with the ground ahead up to this
  float slopePitch = -20.0f;
  float circle = 2.0f;  // degrees a frame the stunned camera circles
};
constexpr ViewNumbers kView;

// The opening every step shares: the camera orbits its target, and (unless
// told to keep its own) the player takes over the camera's angles and distance.
void BeginCameraStep(Camera* camera, bool takeCameraValues, float* pitch, float* yaw,
                     float* distance) {
  if (camera->GetMode() != Camera::kOrbit) camera->SetMode(Camera::kOrbit);
  if (!takeCameraValues) return;
  *pitch = camera->GetPitch();
  *yaw = camera->GetYaw();
  *distance = camera->GetDistance();
}

void EndCameraStep(Camera* camera, const port::Vec3& target, float pitch, float yaw,
                   float distance) {
  camera->SetPosition(target.x, target.y, target.z);
  camera->SetPitch(pitch);
  camera->SetYaw(yaw);
  camera->SetDistance(distance);
}

// The end, stunned and clear cameras close in on the player itself.
void CloseInStep(Player& p, const CameraRule& rule) {
  p.cameraDistance = Approach(rule.distance, p.cameraDistance, rule.distanceStep);
  p.cameraTarget = ApproachVector(p.position.x, p.position.y, p.position.z, p.cameraTarget.x,
                                  p.cameraTarget.y, p.cameraTarget.z, rule.targetStep);
  p.cameraPitch = TurnToward(p.angle.x + rule.pitchOffset, p.cameraPitch, rule.pitchStep);
}

}  // namespace

void Player::RunCamera() {
  switch (cameraMode) {
    case kCameraFollow:
      CameraFollow();
      break;
    case kCameraEnd:
      CameraEnd();
      break;
    case kCameraStunned:
      CameraStunned();
      break;
    case kCameraClear:
      CameraClear();
      break;
    default:
      break;
  }
}

void Player::CameraFollow() {
  if (!camera) return;
  BeginCameraStep(camera, viewType == 1 || viewType == 2, &cameraPitch, &cameraYaw,
                  &cameraDistance);
  const CameraRule& rule = viewType == 1 ? kFollow1 : viewType == 2 ? kFollow2 : kFollow0;
  port::Vec3 goal;
  float pitchGoal = angle.x + rule.pitchOffset;
  if (viewType == 1) {
    goal = position + port::Vec3{0.0f, kView.lift1, 0.0f};
    float slope = 0.0f;
    if (!airborne) {
      const port::Vec3 v = groundAhead - groundBelow;
      AnglesOfVector(v.x, v.y, v.z, &slope, nullptr);
      // A level vector's pitch can come out as -360: taken as the angle it
      // is, so level ground always gives the same view as a jump.
      slope = static_cast<float>(std::remainder(slope, 360.0));
      if (slope > kView.slopeLimit) slope = kView.slopeLimit;
      if (slope < -kView.slopeLimit) slope = -kView.slopeLimit;
    }
    pitchGoal = -slope + kView.slopePitch;
  } else if (viewType == 2) {
    goal = position + DirectionFromAngles(angle.x, angle.y, 0.0f) * kView.lead2 +
           port::Vec3{0.0f, kView.lift2, 0.0f};
  } else {
    goal = position + port::Vec3{0.0f, kView.lift0, 0.0f};
  }
  cameraDistance = Approach(rule.distance, cameraDistance, rule.distanceStep);
  cameraTarget = ApproachVector(goal.x, goal.y, goal.z, cameraTarget.x, cameraTarget.y,
                                cameraTarget.z, rule.targetStep);
  cameraPitch = TurnToward(pitchGoal, cameraPitch, rule.pitchStep);
  cameraYaw = TurnToward(angle.y + rule.yawOffset, cameraYaw, rule.yawStep);
  EndCameraStep(camera, cameraTarget, cameraPitch, cameraYaw, cameraDistance);
}

void Player::CameraEnd() {
  if (!camera) return;
  BeginCameraStep(camera, true, &cameraPitch, &cameraYaw, &cameraDistance);
  CloseInStep(*this, kEnd);
  cameraYaw = TurnToward(angle.y + kEnd.yawOffset, cameraYaw, kEnd.yawStep);
  EndCameraStep(camera, cameraTarget, cameraPitch, cameraYaw, cameraDistance);
}

void Player::CameraStunned() {
  if (!camera) return;
  BeginCameraStep(camera, true, &cameraPitch, &cameraYaw, &cameraDistance);
  CloseInStep(*this, kStunned);
  cameraYaw += kView.circle;
  EndCameraStep(camera, cameraTarget, cameraPitch, cameraYaw, cameraDistance);
}

void Player::CameraClear() {
  if (!camera) return;
  BeginCameraStep(camera, true, &cameraPitch, &cameraYaw, &cameraDistance);
  CloseInStep(*this, kClear);
  cameraYaw = TurnToward(angle.y + kClear.yawOffset, cameraYaw, kClear.yawStep);
  EndCameraStep(camera, cameraTarget, cameraPitch, cameraYaw, cameraDistance);
}
