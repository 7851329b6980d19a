#include "actors/Marker3D.h"

#include "actors/Player.h"
#include "actors/Player4Shots.h"
#include "actors/ScreenPicture.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"

namespace {

struct MarkerNumbers {
  float radius = -3.5f;  // never within any hit test's reach
  float damage = 15.0f;
  int32_t placeNextAt = 20;
  int32_t explodeAt = 150;
  float pictureShrink = 0.1f;  // a frame while the age is below placeNextAt
  int32_t meshFrom = 30;       // the mesh appears at this age
  int32_t meshUntil = 130;     // and shrinks while the age is between the two
  float meshStart = 3.5f;
  float meshShrink = 0.03f;
  float spinX = 5.0f;  // degrees a frame
  float spinY = 3.0f;
};
constexpr MarkerNumbers kMarker;

// Where the chain goes after each index: markers 1 to 3 and 5 to 8 lie at a
// random yaw in a 70-degree sector and 3 to 14 units from the arena's centre;
// marker 4 lies in front of the stage player.
struct ChainStep {
  int32_t firstIndex, lastIndex;
  int32_t yawBase;  // + RandomInt(70) + 90 x index
  float height;
};
constexpr ChainStep kAroundCentre[] = {{0, 2, 100, 0.5f}, {4, 7, -350, 3.0f}};
constexpr int32_t kBeforePlayerIndex = 3;
constexpr int32_t kYawSpread = 70;
constexpr int32_t kYawPerIndex = 90;
constexpr float kNearest = 3.0f;  // + RandomFloat(110, 0.1)
constexpr float kInFront = 2.0f;

// Class-wide data; never destroyed, so nothing runs after the device is gone.
struct MarkerResources {
  ShotModel mesh{"Xfile/tama/3DMarker.X"};
  ScreenPicture picture{"texture/effect/marker.png"};
};
MarkerResources& Resources() {
  static MarkerResources* r = new MarkerResources;
  return *r;
}

}  // namespace

// Each spawn gives its own owner.
Marker3D::Marker3D()
    : ShotClass({.radius = kMarker.radius, .damage = kMarker.damage, .owner = kOwnerPlayer}) {}

void Marker3D::Load(port::gpu::Device* device) {
  MarkerResources& r = Resources();
  r.mesh.Unload();
  r.mesh.Load(device);
  r.picture.Load(device);
}

void Marker3D::Unload() {
  Resources().mesh.Unload();
  Resources().picture.Unload();
}

void Marker3D::Init(const Marker3DSpawn& spawn) {
  InitShot(spawn.at, 0.0f, spawn.owner);
  previousPosition = centre = spawn.at;
  index = spawn.index;
  pictureSize = 3.0f;
  meshSize = 0.0f;
}

void Marker3D::PlaceNext() const {
  port::Vec3 next;
  if (index == kBeforePlayerIndex) {
    const port::Vec3 d = DirectionFromAngles(0.0f, g_player.angle.y, 0.0f);
    next = g_player.position + d * kInFront;
  } else {
    const ChainStep* step = nullptr;
    for (const ChainStep& s : kAroundCentre) {
      if (index >= s.firstIndex && index <= s.lastIndex) step = &s;
    }
    // The last marker, and any index outside the chain, places none.
    if (!step) return;
    const float yaw =
        static_cast<float>(RandomInt(kYawSpread) + step->yawBase + kYawPerIndex * index);
    const port::Vec3 d = DirectionFromAngles(0.0f, yaw, 0.0f);
    const float r = kNearest + RandomFloat(110.0f, 0.1f);
    next = {d.x * r, step->height, d.z * r};
  }
  // Every later marker is the enemy's, whoever placed the first.
  Spawn({.at = next, .index = index + 1, .owner = kOwnerEnemy});
}

void Marker3D::Update() {
  if (!alive) return;
  ++frameCounter;
  previousPosition = position;
  if (frameCounter == kMarker.placeNextAt) PlaceNext();
  if (frameCounter < kMarker.placeNextAt) pictureSize -= kMarker.pictureShrink;
  if (frameCounter == kMarker.meshFrom) meshSize = kMarker.meshStart;
  if (frameCounter > kMarker.meshFrom && frameCounter < kMarker.meshUntil) {
    meshSize -= kMarker.meshShrink;
  }
  if (frameCounter == 1) g_sound.PlaySound(kSoundMarker, kQuieter5dB);
  if (frameCounter == kMarker.explodeAt) {
    alive = 0;
    g_sound.PlaySound(kSoundHit, kQuieter5dB);
    Player4LargeTama3::Spawn({.at = position, .owner = owner});
  }
}

void Marker3D::Draw() {
  if (!alive) return;
  const port::Vec4 c = ScreenPicture::Clip(position);
  if (c.z < 1.0f) return;
  const float age = static_cast<float>(frameCounter);
  Resources().mesh.Draw(port::MatrixScaling(meshSize, meshSize, meshSize) *
                        port::MatrixRotationX(age * kMarker.spinX * kDegToRad) *
                        port::MatrixRotationY(age * kMarker.spinY * kDegToRad) *
                        port::MatrixTranslation(position.x, position.y, position.z));
  const float s = pictureSize / (c.z + 1.0f);
  Resources().picture.Draw(c, s, s, 0.0f);
}
