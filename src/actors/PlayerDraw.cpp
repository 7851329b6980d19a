// The stage player on screen: the figure in either draw method with its
// flash, the chick over the head while stunned, the shadow, and the enemy
// gauge in the top right corner.
#include "actors/Player.h"

#include "actors/EnemyClasses.h"
#include "platform/MathHelpers.h"
#include "port/effect.h"
#include "port/gpu.h"
#include "port/sprite.h"
#include "render/CircleShadow.h"
#include "render/EffectHolder.h"
#include "render/MaterialColor.h"

using port::gpu::RenderState;

namespace {

struct DrawNumbers {
  port::Argb ambient = port::MakeArgb(255, 120, 120, 120);
  float flash[4] = {255.0f, 0.0f, 255.0f, 255.0f};  // magenta, saturating
  int32_t flashPeriod = 10;  // mode frames: the second half of each is flashed
  int32_t flashMinFrames = 2;
  float chickScale = 0.2f;
  float chickStand = 1.5707964f;  // radians about x
  float chickCircle = 5.0f;       // degrees a mode frame
  float chickHeight = 0.372f;     // above the head frame
  float shadowSize = 0.6f;
};
constexpr DrawNumbers kDraw;

struct GaugeLayout {
  port::Vec2 bar{455.0f, 4.0f};
  port::Vec2 scale{0.65f, 0.46f};
  port::Vec2 face{415.0f, 3.0f};
  int32_t blink = 10;  // drawn frames: the cross shows in the first half
};
constexpr GaugeLayout kGauge;

}  // namespace

bool Player::Flashing() const {
  return invulnerable && modeFrame % kDraw.flashPeriod >= kDraw.flashPeriod / 2 &&
         invulnerableFrames >= kDraw.flashMinFrames;
}

void Player::Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {
  if (!alive || !device) return;
  DrawModel(view, projection, lightDirection);
  if (mode == kPlayerPiyori) DrawChick();
  DrawCircleShadow(device, position.x, shadowHeight, position.z, kDraw.shadowSize, 255);
}

void Player::DrawModel(port::Matrix view, port::Matrix projection, port::Vec4 light) {
  const port::Matrix world = port::MatrixScaling(1.0f, 1.0f, 1.0f) *
                             port::MatrixRotationZ((angle.z + displayAngle.z) * kDegToRad) *
                             port::MatrixRotationX((angle.x + displayAngle.x) * kDegToRad) *
                             port::MatrixRotationY((angle.y + displayAngle.y) * kDegToRad) *
                             port::MatrixTranslation(position.x, position.y, position.z);
  model.SetView(view);
  model.SetProjection(projection);
  model.SetWorld(world);
  model.SetLight(light.x, light.y, light.z, light.w, nullptr);
  ApplyAnimation();
  const bool flash = Flashing();
  const uint8_t renderFlag = flash ? 0 : 1;

  if (model.GetMethod() == SkinnedModel::kMethodSoftware) {
    const uint32_t lighting = device->GetRenderState(RenderState::Lighting);
    const uint32_t ambient = device->GetRenderState(RenderState::Ambient);
    device->SetRenderState(RenderState::Lighting, 1);
    device->SetRenderState(RenderState::Ambient, kDraw.ambient);
    port::gpu::Material m;
    SetMaterialColor(&m, kDraw.flash[0], kDraw.flash[1], kDraw.flash[2], kDraw.flash[3]);
    model.SetMaterial(m);
    model.Render(renderFlag);
    device->SetRenderState(RenderState::Ambient, ambient);
    device->SetRenderState(RenderState::Lighting, lighting);
    return;
  }

  if (!effect) return;
  const uint32_t cull = device->GetRenderState(RenderState::CullMode);
  const uint32_t zWrite = device->GetRenderState(RenderState::ZWriteEnable);
  port::gpu::Texture* stage0 = device->GetTexture(0);
  if (stage0) stage0->AddRef();  // kept while the stage holds the ramp
  device->SetTexture(0, toonRamp ? toonRamp->Get() : nullptr);
  device->SetRenderState(RenderState::CullMode, port::gpu::CullCW);
  device->SetRenderState(RenderState::ZWriteEnable, 0);
  effect->Begin(1, 0);
  model.Render(0);
  effect->End();
  device->SetRenderState(RenderState::ZWriteEnable, 1);
  device->SetRenderState(RenderState::CullMode, port::gpu::CullCCW);
  effect->Begin(0, 0);
  if (flash) {
    if (port::Effect* fx = effect->GetEffect()) {
      fx->SetVector(fx->GetParameterByName("vCol"),
                    {kDraw.flash[0], kDraw.flash[1], kDraw.flash[2], kDraw.flash[3]});
    }
  }
  model.Render(renderFlag);
  effect->End();
  device->SetRenderState(RenderState::CullMode, cull);
  device->SetRenderState(RenderState::ZWriteEnable, zWrite);
  device->SetTexture(0, stage0);
  port::SafeRelease(stage0);
}

void Player::DrawChick() {
  // Without a head frame there is nothing to sit on.
  const ModelFrame* head = upperFrames[kUpperFrameCount - 1];
  if (!head) return;
  const float turn = kDraw.chickCircle * static_cast<float>(modeFrame) * kDegToRad;
  const port::Matrix world =
      port::MatrixScaling(kDraw.chickScale, kDraw.chickScale, kDraw.chickScale) *
      port::MatrixRotationX(kDraw.chickStand) * port::MatrixRotationZ(turn) *
      port::MatrixTranslation(0.0f, 0.0f, kDraw.chickHeight) * head->combined;
  device->SetTransform(port::gpu::TransformType::World, world);
  chickMesh.Draw();
}

Texture* Player::FaceOf(int32_t kind_) {
  const size_t row = GaugeFaceRow(kind_);
  return row < faces.size() ? &faces[row] : nullptr;
}

void Player::Draw2D(port::Sprite* sprite) {
  if (!alive || gaugeTimer >= kGaugeHidden || gaugeTimer < 0) return;
  // An enemy that reports no maximum gets no bar rather than a broken one.
  if (gaugeMax > 0.0f) {
    const port::Vec2 barScale{gaugeValue * kGauge.scale.x / gaugeMax, kGauge.scale.y};
    gaugeBar.DrawSprite(sprite, &barScale, &kGauge.bar, nullptr, 0xFFFFFFFFu);
  }
  gaugeFrame.DrawSprite(sprite, &kGauge.scale, &kGauge.bar, nullptr, 0xFFFFFFFFu);
  if (Texture* face = FaceOf(gaugeKind)) {
    face->DrawSprite(sprite, nullptr, &kGauge.face, nullptr, 0xFFFFFFFFu);
  }
  if (gaugeValue == 0.0f && gaugeTimer % kGauge.blink < kGauge.blink / 2) {
    cross.DrawSprite(sprite, nullptr, &kGauge.face, nullptr, 0xFFFFFFFFu);
  }
  ++gaugeTimer;
}
