#include "actors/PlayerTamas.h"

#include "platform/MathHelpers.h"

namespace {

struct TamaLook {
  int32_t type;
  port::Vec3 scale;
  float spinY;  // degrees a frame about y
  float spinZ;  // degrees a frame about z
};
constexpr TamaLook kLook2 = {kObjectPlayer2Tama, {2.0f, 2.0f, 2.0f}, 3.0f, 0.0f};
constexpr TamaLook kLook3 = {kObjectPlayer3Tama, {1.3f, 1.3f, 1.3f}, 3.0f, 0.0f};
constexpr TamaLook kLook4 = {kObjectPlayer4Tama, {1.5f, 1.5f, 1.0f}, 23.0f, 7.0f};

// The tama's flight, without its roll.
constexpr PlayerShot::Flight kTamaFlight = {0.7f, 0.8f, 40};

ShotModel& Model2() {
  static ShotModel* m = new ShotModel("Xfile/tama/player2_tama.X");
  return *m;
}
ShotModel& Model3() {
  static ShotModel* m = new ShotModel("Xfile/tama/player3_tama.X");
  return *m;
}
ShotModel& Model4() {
  static ShotModel* m = new ShotModel("Xfile/tama/player4_tama.X");
  return *m;
}

// scale x turn about y (x turn about z) x the shot's orientation x place.
port::Matrix TamaWorld(const TamaLook& look, const PlayerShot& shot) {
  const float f = static_cast<float>(shot.frameCounter);
  port::Matrix m = port::MatrixScaling(look.scale.x, look.scale.y, look.scale.z) *
                   port::MatrixRotationY(look.spinY * f * kDegToRad);
  if (look.spinZ != 0.0f) m = m * port::MatrixRotationZ(look.spinZ * f * kDegToRad);
  return m * shot.orientation *
         port::MatrixTranslation(shot.position.x, shot.position.y, shot.position.z);
}

template <typename T>
T* SpawnTama(int32_t type, float x, float y, float z, float heading, int32_t owner) {
  T* t = ReuseOrAddShot<T>(type);
  if (t) t->Init(x, y, z, heading, owner);
  return t;
}

}  // namespace

Player2Tama::Player2Tama() { type = kLook2.type; }
void Player2Tama::Load(port::gpu::Device* device) { Model2().Load(device); }
void Player2Tama::Unload() { Model2().Unload(); }
Player2Tama* Player2Tama::Spawn(float x, float y, float z, float heading, int32_t owner) {
  return SpawnTama<Player2Tama>(kLook2.type, x, y, z, heading, owner);
}
void Player2Tama::Draw() {
  if (alive) Model2().Draw(TamaWorld(kLook2, *this));
}

Player3Tama::Player3Tama() { type = kLook3.type; }
void Player3Tama::Load(port::gpu::Device* device) { Model3().Load(device); }
void Player3Tama::Unload() { Model3().Unload(); }
Player3Tama* Player3Tama::Spawn(float x, float y, float z, float heading, int32_t owner) {
  return SpawnTama<Player3Tama>(kLook3.type, x, y, z, heading, owner);
}
void Player3Tama::Draw() {
  if (alive) Model3().Draw(TamaWorld(kLook3, *this));
}

Player4Tama::Player4Tama() { type = kLook4.type; }
void Player4Tama::Load(port::gpu::Device* device) { Model4().Load(device); }
void Player4Tama::Unload() { Model4().Unload(); }
Player4Tama* Player4Tama::Spawn(float x, float y, float z, float heading, int32_t owner) {
  return SpawnTama<Player4Tama>(kLook4.type, x, y, z, heading, owner);
}
void Player4Tama::Update() {
  if (!alive) return;
  ++frameCounter;
  FlyOn(kTamaFlight);
}
void Player4Tama::Draw() {
  if (alive) Model4().Draw(TamaWorld(kLook4, *this));
}
