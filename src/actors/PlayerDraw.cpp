// The stage player on screen: the figure in either draw method with its
// flash, the chick over the head while stunned, the shadow, and the enemy
// gauge in the top right corner.
#include "actors/Player.h"
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

// Face textures in load order.
enum FaceIndex {
  kFaceZako1,
  kFaceZako2,
  kFaceBoss1,
  kFaceZako3,
  kFaceBoss2,
  kFaceZako4,
  kFaceBoss3
};

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
  switch (kind_) {
    case kCharacterZako2:
      return &faces[kFaceZako2];
    case kCharacterZako3:
      return &faces[kFaceZako3];
    case kCharacterZako4:
      return &faces[kFaceZako4];
    case kCharacterBoss1:
      return &faces[kFaceBoss1];
    case kCharacterBoss2:
      return &faces[kFaceBoss2];
    case kCharacterBoss3:
      return &faces[kFaceBoss3];
    default:
      return &faces[kFaceZako1];
  }
}

void Player::Draw2D(port::Sprite* sprite) {
  if (!alive || gaugeTimer >= kGaugeHidden || gaugeTimer < 0) return;
  // An enemy that reports no maximum gets no bar rather than a broken one.
  if (gaugeMax > 0.0f) {
    const port::Vec2 barScale{gaugeValue * kGauge.scale.x / gaugeMax, kGauge.scale.y};
    gaugeBar.DrawSprite(sprite, &barScale, &kGauge.bar, nullptr, 0xFFFFFFFFu);
  }
  gaugeFrame.DrawSprite(sprite, &kGauge.scale, &kGauge.bar, nullptr, 0xFFFFFFFFu);
  FaceOf(gaugeKind)->DrawSprite(sprite, nullptr, &kGauge.face, nullptr, 0xFFFFFFFFu);
  if (gaugeValue == 0.0f && gaugeTimer % kGauge.blink < kGauge.blink / 2) {
    cross.DrawSprite(sprite, nullptr, &kGauge.face, nullptr, 0xFFFFFFFFu);
  }
  ++gaugeTimer;
}
