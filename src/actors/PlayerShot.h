#pragma once
// What every shot, bullet, marker and hazard of the object list shares: the
// class-wide mesh, the spawn that reuses a dead object of the same type, the
// common initialisation, and the steps of the common frame (orientation and
// forward vector, the move, puffs and bursts). Ground following and the wall
// ahead are in Motion.h. A shot class is made with ShotClass (ShotClass.h).
#include <cstdint>
#include <memory>
#include <new>

#include "port/math.h"
#include "render/StaticMesh.h"
#include "world/DynamicObject.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace port::gpu {
class Device;
}

// Where a shot starts and whose it is: what most shot classes' Spawn takes.
struct ShotSpawn {
  port::Vec3 at;
  float heading = 0.0f;  // degrees
  int32_t owner = kOwnerPlayer;
};

class PlayerShot : public DynamicObject {
 public:
  // Owner, position, heading; pitch and roll 0; alive; frame counter and hit
  // state 0; no extra collision points.
  void InitShot(const port::Vec3& at, float heading, int32_t owner);

  // How a straight shot flies.
  struct Flight {
    float speed;       // units a frame
    float height;      // flies this high over the ground
    int32_t lifetime;  // ends when the frame counter passes it
  };

  port::Matrix orientation = port::MatrixIdentity();  // from the angles, rebuilt each frame
  int32_t frameCounter = 0;                           // frames since the initialisation

 protected:
  // Rebuilds the orientation, roll then pitch then heading, and returns the
  // forward vector it turns +z into.
  port::Vec3 Orient();
  // Moves x and z along the forward vector; y is the ground following's.
  void MoveAlong(const port::Vec3& forward, float speed);
  // The common frame of the straight shots, after the frame counter and any
  // turn: orientation, the move, a hit (sound, a puff, gone; the rest of the
  // frame still runs), ground following, and the end past the lifetime or at
  // a wall ahead (a puff, gone).
  void FlyOn(const Flight& flight);
  // One particle of the kind at the position, not moving.
  void Puff(int32_t kind, float scale) const;

  // n particles of the kind (glowing unless given) thrown every way at a
  // speed of RandomFloat(speedCount, speedUnit) + speedAdd.
  struct BurstSpec {
    int count;
    float scale;
    float speedCount, speedUnit, speedAdd;
    int32_t kind = kParticleGlow;
  };
  void Burst(const BurstSpec& spec) const;
};

// The tumbling ball draw of the large shots: scale, then the turns about x
// (6.5 degrees a frame) and z (8 degrees a frame), then the place.
port::Matrix TumblingWorld(float scale, int32_t frame, const port::Vec3& at);

// The mesh a shot class draws, with the device of its Load.
class ShotModel {
 public:
  explicit ShotModel(const char* path) : path_(path) {}
  // Keeps the device; loads the mesh unless it is loaded already.
  void Load(port::gpu::Device* device);
  void Unload();
  // The mesh at the world matrix; nothing without a device or a mesh.
  void Draw(const port::Matrix& world);
  port::gpu::Device* Device() const { return device_; }
  const StaticMesh& Mesh() const { return mesh_; }

 private:
  const char* path_;
  port::gpu::Device* device_ = nullptr;
  StaticMesh mesh_;
};

// The spawn contract: a dead object of the type in g_objects, or else a new
// T added to the list; null when neither can be had.
template <typename T>
T* ReuseOrAddShot(int32_t type) {
  const int i = g_objects.FindReusable(type);
  if (i >= 0) {
    if (T* reused = dynamic_cast<T*>(g_objects.At(static_cast<size_t>(i)))) return reused;
  }
  std::unique_ptr<T> made(new (std::nothrow) T);
  if (!made) return nullptr;
  T* shot = made.get();
  g_objects.Add(std::move(made));
  return shot;
}
