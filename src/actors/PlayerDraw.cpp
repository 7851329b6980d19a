// The stage player on screen: the figure in either draw method with its
// flash, the chick over the head while stunned, the shadow, and the enemy
// gauge in the top right corner.
#include "actors/Player.h"

#include "actors/EnemyClasses.h"
#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "port/sprite.h"
#include "render/CircleShadow.h"

namespace {

struct DrawNumbers {
  port::Argb ambient = port::MakeArgb(255, 120, 120, 120);
  float flash[4] = {255.0f, 0.0f, 255.0f, 255.0f};  // magenta, saturating
  int32_t flashAbove = 1;                           // invulnerable frames must be above this
  float shadowSize = 0.6f;
};
constexpr DrawNumbers kDraw;

constexpr ChickLook kChick = {
    .scale = {0.2f, 0.2f, 0.2f}, .stand = 1.5707964f, .circle = 5.0f, .height = 0.372f};

struct GaugeLayout {
  port::Vec2 bar{455.0f, 4.0f};
  port::Vec2 scale{0.65f, 0.46f};
  port::Vec2 face{415.0f, 3.0f};
  int32_t blink = 10;  // drawn frames: the cross shows in the first half
};
constexpr GaugeLayout kGauge;

}  // namespace

void Player::Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {
  if (!alive || !device) return;
  DrawModel(view, projection, lightDirection);
  if (mode == kPlayerPiyori) DrawChick(device, chickMesh, kChick);
  DrawCircleShadow(device, position.x, shadowHeight, position.z, kDraw.shadowSize, 255);
}

void Player::DrawModel(port::Matrix view, port::Matrix projection, port::Vec4 light) {
  DrawFigure(view, projection, light,
             {.device = device,
              .effect = effect,
              .ramp = toonRamp,
              .flash = Flashing(kDraw.flashAbove),
              .flashColour = kDraw.flash,
              .ambient = &kDraw.ambient});
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
