// The battle player's camera values, followed once per update, and the
// player on screen: the figure in either draw method with the flash in its
// character's colour, character 2's sunflower, the stunned chick, the rank
// marker and the shadow.
#include "actors/BattlePlayer.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "render/Camera.h"
#include "render/CircleShadow.h"
#include "render/ModelScene.h"

using port::gpu::RenderState;

namespace {

struct CameraRule {
  float lift;       // the target stands this high over the player
  float pitchStep;  // degrees a frame toward the player's pitch
  float yawOffset;  // the yaw goal is the heading + this
  float yawStep;    // degrees a frame toward it
  float orbit;      // degrees a frame added instead (orbit)
};
constexpr CameraRule kFollow = {0.65f, 3.0f, 180.0f, 6.0f, 0.0f};
constexpr CameraRule kCloseUp = {0.5f, 3.0f, 0.0f, 3.0f, 0.0f};
constexpr CameraRule kOrbit = {0.5f, 3.0f, 0.0f, 0.0f, 2.0f};

struct DrawNumbers {
  int32_t flashMinToon = 0;  // invulnerable frames must be above this
  int32_t flashMinFixed = 1;
  float sunflowerScale = 0.2f;
  port::Vec3 sunflowerTurn{-35.0f, 0.0f, -34.0f};  // degrees about x, y, z
  port::Vec3 sunflowerAt{-0.07f, -0.07f, 0.3f};    // from the head frame
  float markerSpin = 5.0f;                         // degrees a mode frame
  float topScale = 0.8f, topLift = 1.2f;
  float markerScale = 0.5f, markerLift = 1.0f;
  float shadowSize = 0.6f;
};
constexpr DrawNumbers kDraw;

constexpr ChickLook kChick = {
    .scale = {0.3f, 0.2f, 0.3f}, .stand = 90.0f * kDegToRad, .circle = 5.0f, .height = 0.4f};

// Each character's flash colour (saturating components).
constexpr float kFlashColours[4][4] = {
    {255.0f, 0.0f, 255.0f, 255.0f},  // magenta
    {0.0f, 0.0f, 255.0f, 255.0f},    // blue
    {0.0f, 255.0f, 255.0f, 255.0f},  // cyan
    {255.0f, 0.0f, 0.0f, 255.0f},    // red
};

}  // namespace

// ---- Camera ----

void BattlePlayer::RunCamera() {
  const CameraRule* rule = &kFollow;
  switch (cameraMode) {
    case kBattleCameraCloseUp:
      // Character 3 faces away from its model's front: its camera stays put.
      if (character == 3) return;
      rule = &kCloseUp;
      break;
    case kBattleCameraOrbit:
      rule = &kOrbit;
      break;
    default:
      break;
  }
  cameraTarget = {position.x, position.y + rule->lift, position.z};
  cameraPitch = TurnToward(angle.x, cameraPitch, rule->pitchStep);
  if (rule->orbit != 0.0f) {
    cameraYaw += rule->orbit;
  } else {
    cameraYaw = TurnToward(angle.y + rule->yawOffset, cameraYaw, rule->yawStep);
  }
  if (g_camera.GetMode() != Camera::kOrbit) g_camera.SetMode(Camera::kOrbit);
  g_camera.SetPosition(cameraTarget.x, cameraTarget.y, cameraTarget.z);
  g_camera.SetPitch(cameraPitch);
  g_camera.SetYaw(cameraYaw);
}

void BattlePlayer::ApplyCamera() const {
  g_camera.SetPosition(cameraTarget.x, cameraTarget.y, cameraTarget.z);
  g_camera.SetPitch(cameraPitch);
  g_camera.SetYaw(cameraYaw);
}

// ---- Drawing ----

void BattlePlayer::Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {
  port::gpu::Device* device = g_graphics.GetDevice();
  if (!alive || !model.IsLoaded() || !device || device != port::gpu::Device::Current()) return;
  DrawModel(view, projection, lightDirection);
  DrawOrnaments();
  const uint32_t lighting = device->GetRenderState(RenderState::Lighting);
  device->SetRenderState(RenderState::Lighting, 1);
  DrawRankMarker();
  DrawCircleShadow(device, position.x, shadowHeight, position.z, kDraw.shadowSize, 255);
  device->SetRenderState(RenderState::Lighting, lighting);
}

void BattlePlayer::DrawModel(port::Matrix view, port::Matrix projection, port::Vec4 light) {
  const int32_t least =
      model.GetMethod() == SkinnedModel::kMethodSoftware ? kDraw.flashMinFixed : kDraw.flashMinToon;
  DrawFigure(view, projection, light,
             {.device = g_graphics.GetDevice(),
              .effect = model.GetEffectHolder(),
              .ramp = ToonTexture(),
              .flash = Flashing(least),
              .flashColour = kFlashColours[character >= 1 && character <= 4 ? character - 1 : 0],
              .ambient = nullptr});
}

// Both hang on the head frame; a model without one wears neither.
void BattlePlayer::DrawOrnaments() {
  const ModelFrame* head = upperFrames[kUpperFrameCount - 1];
  if (!head) return;
  port::gpu::Device* device = g_graphics.GetDevice();
  if (character == 2 && !extraMeshes.empty() && extraMeshes.front()->GetMesh()) {
    const float s = kDraw.sunflowerScale;
    const port::Vec3& t = kDraw.sunflowerTurn;
    const port::Vec3& at = kDraw.sunflowerAt;
    const port::Matrix world =
        port::MatrixScaling(s, s, s) * port::MatrixRotationZ(t.z * kDegToRad) *
        port::MatrixRotationY(t.y * kDegToRad) * port::MatrixRotationX(t.x * kDegToRad) *
        port::MatrixTranslation(at.x, at.y, at.z) * head->combined;
    device->SetTransform(port::gpu::TransformType::World, world);
    extraMeshes.front()->Draw();
  }
  if (mode == kBattlePiyori) DrawChick(device, Chick(), kChick);
}

void BattlePlayer::DrawRankMarker() {
  if (rankMarkerFrames >= kMarkerShown) return;
  const bool top = rank == 1;
  const float s = top ? kDraw.topScale : kDraw.markerScale;
  const float lift = top ? kDraw.topLift : kDraw.markerLift;
  const port::Matrix world =
      port::MatrixScaling(s, s, s) *
      port::MatrixRotationY(kDraw.markerSpin * static_cast<float>(modeFrame) * kDegToRad) *
      port::MatrixTranslation(position.x, position.y + lift, position.z);
  g_graphics.GetDevice()->SetTransform(port::gpu::TransformType::World, world);
  RankMarker(rank).Draw();
}
