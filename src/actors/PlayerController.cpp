// The steps both players share: placement, movement, the attack button, the
// lock-on, knock-back and piyori, gravity, and the figure's pose and draw.
#include "actors/PlayerController.h"

#include "actors/Motion.h"
#include "actors/StageSounds.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "render/Camera.h"
#include "render/MaterialColor.h"
#include "render/ModelScene.h"
#include "render/StaticMesh.h"
#include "render/ToonDraw.h"
#include "world/DynamicObject.h"

using port::gpu::RenderState;

namespace {

// Forward and back keep the facing; after a side step this frame they go
// diagonally.
struct Course {
  float afterRight, afterLeft, straight;  // degrees from the facing
};
constexpr Course kForward = {45.0f, 315.0f, 0.0f};
constexpr Course kBack = {135.0f, 225.0f, 180.0f};

}  // namespace

PlayerController::PlayerController(const ControlNumbers& numbers) : numbers_(&numbers) {
  kind = kCharacterPlayer;
  alive = 0;
}

void PlayerController::SetKnockBack(float heading, float speed_) {
  moveHeading = heading;
  const float cap = Numbers().knockBackCap;
  speed = speed_ > cap ? cap : speed_;
}

void PlayerController::SetButton(int32_t action, int32_t button) {
  if (action >= 0 && action < kActionCount) buttons[action] = button;
}

int32_t PlayerController::GetButton(int32_t action) const {
  return action >= 0 && action < kActionCount ? buttons[action] : 0;
}

void PlayerController::ResetControl(const port::Vec3& at, float heading) {
  position = previousPosition = at;
  angle = {0.0f, heading, 0.0f};
  airborne = 1;
  modeFrame = 0;
  animId = Numbers().looks.stop;
  speed = 0.0f;
  verticalSpeed = 0.0f;
  upperTrack = 0;
  lowerTrack = 0;
  shotHeld = 0;
  charge = 0;
  attacking = 0;
  invulnerable = 0;
  invulnerableFrames = 0;
  stunGauge = 0.0f;
  lockOnHold = 0;
  modelAngle = {};
  framesSinceShot = Numbers().placedSinceShot;
  framesOnGround = Numbers().placedOnGround;
  cameraMode = Numbers().looks.followCamera;
  cameraTarget = at;
  cameraPitch = 0.0f;
  cameraYaw = heading + Numbers().cameraYawBehind;
  cameraDistance = Numbers().cameraDistance;
}

void PlayerController::AimCamera(Camera& camera) const {
  camera.SetMode(Camera::kOrbit);
  camera.SetDistance(cameraDistance);
  camera.SetPosition(cameraTarget.x, cameraTarget.y, cameraTarget.z);
  camera.SetPitch(cameraPitch);
  camera.SetYaw(cameraYaw);
}

void PlayerController::StepMode() {
  ++modeFrame;
  ++framesOnGround;
  RunMode();
  CheckHits();
  const port::Vec3 d = DirectionFromAngles(angle.x, moveHeading, angle.z);
  position.x += d.x * speed;
  position.z += d.z * speed;
  CollideWalls(d);
}

void PlayerController::CountDownInvulnerability() {
  if (invulnerableFrames >= 0) {
    invulnerable = 1;
    --invulnerableFrames;
  } else {
    invulnerable = 0;
  }
  if (stunGauge > 0.0f) {
    stunGauge -= Numbers().stunDecay;
  } else {
    stunGauge = 0.0f;
  }
}

ControlCommand PlayerController::SampleCommand() const {
  ControlCommand c;
  for (int d = kPadUp; d <= kPadRight; ++d)
    if (IsDirectionDown(d)) c = c.WithDirection(d);
  for (int a = 0; a < kActionCount; ++a)
    if (IsActionDown(a)) c = c.WithAction(a);
  return c;
}

void PlayerController::ReadControls() {
  if (fedCommand) {
    command = *fedCommand;
    return;
  }
  g_input.PollKeyboard();
  g_input.PollJoysticks();
  command = SampleCommand();
}

void PlayerController::HandleMoveInput() {
  const ControlNumbers& n = Numbers();
  animId = n.looks.stop;
  cameraMode = n.looks.followCamera;
  CountDownInvulnerability();
  // In the air the take-off's speed and direction stay.
  if (airborne) return;

  speed = 0.0f;
  const bool shift = command.Action(kControlShift);
  lockOnHold = shift ? lockOnHold + 1 : 0;
  bool sideStep = false;
  const float heading = angle.y;
  const auto turnOrStep = [&](float turn, float side) {
    if (shift) {
      moveHeading = heading + side;
      speed = n.sideStep;
      animId = n.looks.sideWalk;
      sideStep = true;
    } else {
      angle.y += turn;
      animId = n.looks.walk;
    }
  };
  if (command.Direction(kPadRight)) {
    turnOrStep(n.turn, 90.0f);
  } else if (command.Direction(kPadLeft)) {
    turnOrStep(-n.turn, 270.0f);
  }

  // The headings compare exactly, as the side step wrote them.
  const auto walkOrRun = [&](const Course& course) {
    if (shift) {
      animId = n.looks.walk;
      speed = n.walk;
    } else {
      animId = n.looks.run;
      speed = n.run;
      if (modeFrame % n.dustEvery == 0) SpawnRunDust(position);
    }
    const float h = angle.y;
    if (moveHeading == h + 90.0f) {
      moveHeading = h + course.afterRight;
    } else if (moveHeading == h + 270.0f) {
      moveHeading = h + course.afterLeft;
    } else {
      // Straight ahead is the facing itself, its sign of zero included.
      moveHeading = course.straight == 0.0f ? h : h + course.straight;
    }
  };
  if (command.Direction(kPadUp)) walkOrRun(kForward);
  if (command.Direction(kPadDown)) walkOrRun(kBack);

  if (command.Action(kControlJump) && framesOnGround >= n.jumpRest) {
    g_sound.PlaySound(kSoundJump, kQuieter10dB);
    verticalSpeed += n.jump;
  }

  if (!shift || sideStep) lockOnHold = 0;
  if (lockOnHold > n.lockOnAfter) LockOn();
}

void PlayerController::HandleAttackInput() {
  const ControlNumbers& n = Numbers();
  ++framesSinceShot;
  if (command.Action(kControlAttack)) {
    if (!shotHeld && framesSinceShot > n.shotRest) {
      shotHeld = 1;
      Shoot();
      framesSinceShot = 0;
    } else if (framesSinceShot > n.chargeAfter && CanCharge()) {
      ++charge;
      if (charge == n.chargeCue || charge == n.charge1) {
        g_sound.PlaySound(kSoundChargeLevel, kQuieter5dB);
      }
      if (charge == n.charge2) g_sound.PlaySound(kSoundChargeFull, kQuieter10dB);
    }
  } else {
    if (charge > n.charge2) {
      mode = kModeLargeAttack2;
      modeFrame = 0;
    } else if (charge > n.charge1) {
      mode = kModeLargeAttack1;
      modeFrame = 0;
    }
    shotHeld = 0;
    charge = 0;
  }
  attacking = framesSinceShot <= n.shotRest ? 1 : 0;
}

void PlayerController::LockOn() {
  float yaw = 0.0f;
  if (!FindLockOnTarget(Numbers().lockOnReach, &yaw)) return;
  animId = Numbers().looks.walk;
  angle.y = TurnToward(yaw, angle.y, Numbers().lockOnTurn);
}

void PlayerController::ApplyGravity(float ground) {
  const GravityStep step = ::ApplyGravity(ground, &position, &verticalSpeed, &airborne);
  if (step == GravityStep::kStanding) return;
  framesOnGround = 0;
  if (ShowsJump()) animId = Numbers().looks.jump;
}

void PlayerController::TakeHit(const DynamicObject& object) {
  port::Vec3 at;
  object.GetPosition(&at);
  SetKnockBack(YawTo(at.x, at.z, position.x, position.z),
               object.GetDamage() * Numbers().knockBackPerDamage);
  stunGauge += object.GetDamage();
}

bool PlayerController::SlowKnockBack() {
  const ControlNumbers& n = Numbers();
  speed -= n.knockBackSlowing;
  charge = 0;
  animId = n.looks.damage;
  if (speed > 0.0f) return false;
  if (stunGauge < n.piyoriGauge) {
    // Back in control with the mode frame running on.
    speed = 0.0f;
    mode = kModeControl;
    invulnerable = 1;
    invulnerableFrames = n.afterHitFrames;
    return false;
  }
  mode = kModePiyori;
  modeFrame = 0;
  stunGauge = 0.0f;
  return true;
}

void PlayerController::UpdatePiyori() {
  const ControlNumbers& n = Numbers();
  HoldPose(n.looks.piyori, n.looks.stunnedCamera);
  if (modeFrame % n.chirpEvery == 1) g_sound.PlaySound(kSoundPiyori, kQuieter20dB);
  if (modeFrame > n.piyoriFrames) {
    ReturnToControl();
    invulnerable = 1;
    invulnerableFrames = n.afterHitFrames;
  }
}

void PlayerController::HoldPose(int32_t anim, int32_t camMode) {
  invulnerable = 1;
  invulnerableFrames = 0;
  SetAnimation(anim);
  speed = 0.0f;
  cameraMode = camMode;
}

void PlayerController::ReturnToControl() {
  mode = kModeControl;
  modeFrame = 0;
}

// ---- Pose and draw ----

void PlayerController::GainTrack(AnimTrack& t, float step, float rate) {
  t.time += step;
  t.weight += rate;
  if (t.weight > 1.0f) t.weight = 1.0f;
}

void PlayerController::FadeOtherTracks(size_t lower, size_t upper, float rate) {
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (i == lower || i == upper) continue;
    AnimTrack& t = tracks[i];
    t.weight -= rate;
    if (t.weight < 0.0f) {
      t.weight = 0.0f;
      t.time = 0.0f;
    }
  }
}

void PlayerController::PoseBody() {
  PoseSplitBody(model, tracks, lowerTrack, upperTrack, {lowerFrames, kLowerFrameCount},
                {upperFrames, kUpperFrameCount});
}

port::Matrix PlayerController::ModelWorld() const {
  return port::MatrixScaling(1.0f, 1.0f, 1.0f) *
         port::MatrixRotationZ((angle.z + modelAngle.z) * kDegToRad) *
         port::MatrixRotationX((angle.x + modelAngle.x) * kDegToRad) *
         port::MatrixRotationY((angle.y + modelAngle.y) * kDegToRad) *
         port::MatrixTranslation(position.x, position.y, position.z);
}

bool PlayerController::Flashing(int32_t leastFrames) const {
  const int32_t period = Numbers().flashPeriod;
  return invulnerable == 1 && modeFrame % period >= period / 2 && invulnerableFrames > leastFrames;
}

void PlayerController::DrawFigure(port::Matrix view, port::Matrix projection, port::Vec4 light,
                                  const FigureLook& look) {
  port::gpu::Device* device = look.device;
  model.SetView(view);
  model.SetProjection(projection);
  model.SetWorld(ModelWorld());
  model.SetLight(light.x, light.y, light.z, light.w, nullptr);
  ApplyAnimation();
  const bool flash = look.flash;
  const float* colour = look.flashColour;

  if (model.GetMethod() == SkinnedModel::kMethodSoftware) {
    const uint32_t lighting = device->GetRenderState(RenderState::Lighting);
    const uint32_t ambient = look.ambient ? device->GetRenderState(RenderState::Ambient) : 0;
    device->SetRenderState(RenderState::Lighting, 1);
    if (look.ambient) device->SetRenderState(RenderState::Ambient, *look.ambient);
    if (flash || look.ambient) {
      port::gpu::Material m;
      SetMaterialColor(&m, colour[0], colour[1], colour[2], colour[3]);
      model.SetMaterial(m);
    }
    model.Render(flash ? 0 : 1);
    if (look.ambient) device->SetRenderState(RenderState::Ambient, ambient);
    device->SetRenderState(RenderState::Lighting, lighting);
    return;
  }

  if (!look.effect) return;
  const port::Vec4 tint = {colour[0], colour[1], colour[2], colour[3]};
  DrawToonModel(device, model, *look.effect, look.ramp, flash ? &tint : nullptr);
}

void PlayerController::DrawChick(port::gpu::Device* device, StaticMesh& chick,
                                 const ChickLook& look) const {
  // Without a head frame there is nothing to sit on.
  const ModelFrame* head = upperFrames[kUpperFrameCount - 1];
  if (!head) return;
  const float turn = look.circle * static_cast<float>(modeFrame) * kDegToRad;
  const port::Matrix world = port::MatrixScaling(look.scale.x, look.scale.y, look.scale.z) *
                             port::MatrixRotationX(look.stand) * port::MatrixRotationZ(turn) *
                             port::MatrixTranslation(0.0f, 0.0f, look.height) * head->combined;
  device->SetTransform(port::gpu::TransformType::World, world);
  chick.Draw();
}
