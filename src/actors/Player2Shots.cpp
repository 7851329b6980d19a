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

ShotModel& CurveModel() {
  static ShotModel* m = new ShotModel("Xfile/tama/player2_largetama1.x");
  return *m;
}

}  // namespace

// ---- Player2LargeTama1 ----

Player2LargeTama1::Player2LargeTama1() {
  type = kObjectPlayer2LargeTama1;
  radius = 0.7f;
  damage = 10.0f;
  owner = kOwnerPlayer;
}

void Player2LargeTama1::Load(port::gpu::Device* device) { CurveModel().Load(device); }
void Player2LargeTama1::Unload() { CurveModel().Unload(); }

Player2LargeTama1* Player2LargeTama1::Spawn(float x, float y, float z, float heading, int32_t curve,
                                            int32_t owner) {
  Player2LargeTama1* t = ReuseOrAddShot<Player2LargeTama1>(kObjectPlayer2LargeTama1);
  if (t) t->Init(x, y, z, heading, curve, owner);
  return t;
}

void Player2LargeTama1::Init(float x, float y, float z, float heading, int32_t curve_,
                             int32_t owner_) {
  InitShot(x, y, z, heading, owner_);
  curve = curve_;
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
  CurveModel().Draw(
      port::MatrixRotationY(kCurveSpin * static_cast<float>(frameCounter) * kDegToRad) *
      orientation * port::MatrixTranslation(position.x, position.y, position.z));
}

// ---- Player2HitBox ----

Player2HitBox::Player2HitBox() {
  type = kObjectPlayer2HitBox;
  radius = kHitBox.radius;
  damage = kHitBox.damage;
  owner = kOwnerPlayer;
}

Player2HitBox* Player2HitBox::Spawn(float x, float y, float z, float heading, int32_t owner) {
  Player2HitBox* t = ReuseOrAddShot<Player2HitBox>(kObjectPlayer2HitBox);
  if (t) t->Init(x, y, z, heading, owner);
  return t;
}

void Player2HitBox::Init(float x, float y, float z, float heading, int32_t owner_) {
  InitShot(x, y, z, heading, owner_);
}

void Player2HitBox::Update() {
  if (!alive) return;
  ++frameCounter;
  if (frameCounter > kHitBox.lifetime) alive = 0;
}
