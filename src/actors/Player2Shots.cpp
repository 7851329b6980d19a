#include "actors/Player2Shots.h"

#include "platform/MathHelpers.h"

namespace {

constexpr PlayerShot::Flight kCurveFlight = {0.4f, 0.8f, 120};
// Degrees a frame by the curve's remainder modulo 4.
constexpr float kCurveTurn[4] = {1.0f, 0.3f, -0.3f, -1.0f};
constexpr float kCurveSpin = 5.0f;  // degrees a frame about y, drawn

struct HitBoxNumbers {
  float radius = 1.5f;
  float damage = 100.0f;
  int32_t lifetime = 3;  // gone past this: 4 frames alive
};
constexpr HitBoxNumbers kHitBox;

}  // namespace

// ---- Player2LargeTama1 ----

Player2LargeTama1::Player2LargeTama1() : ShotClass({.radius = 0.7f, .damage = 10.0f}) {}

void Player2LargeTama1::Init(const Player2LargeTama1Spawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  curve = spawn.curve;
}

void Player2LargeTama1::Update() {
  if (!alive) return;
  ++frameCounter;
  // The remainder keeps the curve's sign: a negative curve does not turn.
  const int32_t r = curve % 4;
  if (r >= 0) rotation.y += kCurveTurn[r];
  FlyOn(kCurveFlight);
}

void Player2LargeTama1::Draw() {
  if (!alive) return;
  Model().Draw(port::MatrixRotationY(kCurveSpin * static_cast<float>(frameCounter) * kDegToRad) *
               orientation * port::MatrixTranslation(position.x, position.y, position.z));
}

// ---- Player2HitBox ----

Player2HitBox::Player2HitBox() : ShotClass({.radius = kHitBox.radius, .damage = kHitBox.damage}) {}

void Player2HitBox::Update() {
  if (!alive) return;
  ++frameCounter;
  if (frameCounter > kHitBox.lifetime) alive = 0;
}
