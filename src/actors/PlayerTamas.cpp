#include "actors/PlayerTamas.h"

#include "platform/MathHelpers.h"

namespace {

struct TamaLook {
  port::Vec3 scale;
  float spinY;  // degrees a frame about y
  float spinZ;  // degrees a frame about z
};
constexpr TamaLook kLook2 = {{2.0f, 2.0f, 2.0f}, 3.0f, 0.0f};
constexpr TamaLook kLook3 = {{1.3f, 1.3f, 1.3f}, 3.0f, 0.0f};
constexpr TamaLook kLook4 = {{1.5f, 1.5f, 1.0f}, 23.0f, 7.0f};

// The tama's flight, without its roll.
constexpr PlayerShot::Flight kTamaFlight = {0.7f, 0.8f, 40};

// scale x turn about y (x turn about z) x the shot's orientation x place.
port::Matrix TamaWorld(const TamaLook& look, const PlayerShot& shot) {
  const float f = static_cast<float>(shot.frameCounter);
  port::Matrix m = port::MatrixScaling(look.scale.x, look.scale.y, look.scale.z) *
                   port::MatrixRotationY(look.spinY * f * kDegToRad);
  if (look.spinZ != 0.0f) m = m * port::MatrixRotationZ(look.spinZ * f * kDegToRad);
  return m * shot.orientation *
         port::MatrixTranslation(shot.position.x, shot.position.y, shot.position.z);
}

}  // namespace

void Player2Tama::Draw() {
  if (alive) Model().Draw(TamaWorld(kLook2, *this));
}

void Player3Tama::Draw() {
  if (alive) Model().Draw(TamaWorld(kLook3, *this));
}

void Player4Tama::Update() {
  if (!alive) return;
  ++frameCounter;
  FlyOn(kTamaFlight);
}
void Player4Tama::Draw() {
  if (alive) Model().Draw(TamaWorld(kLook4, *this));
}
