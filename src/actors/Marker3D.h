#pragma once
// Boss 3's target marker (type 9): a spinning marker with a picture facing
// the screen. Each marker places the next of a chain of nine at its 20th
// frame, the fifth two units in front of the stage player, and at its 150th
// turns into an explosion that belongs to its own owner. The marker itself
// never hits: only its explosion hurts.
#include <cstdint>

#include "actors/ShotClass.h"
#include "port/math.h"

struct Marker3DSpawn {
  port::Vec3 at;
  int32_t index = 0;  // the marker's place in its chain (0 for the first)
  int32_t owner = kOwnerEnemy;
};

// Built on the shot skeleton: frameCounter is the marker's age.
class Marker3D : public ShotClass<Marker3D, kObjectMarker3D, Marker3DSpawn> {
 public:
  static constexpr int32_t kChainLength = 9;  // indexes 0 to 8

  Marker3D();
  // Keeps the device and loads the mesh, the picture and its quad, on every
  // call (boss 3's loading). Missing files leave the markers undrawn.
  static void Load(port::gpu::Device* device);
  // Releases them; the game's final release calls it. A second call does
  // nothing.
  static void Unload();
  void Init(const Marker3DSpawn& spawn);
  void Update() override;
  void Draw() override;

  port::Vec3 previousPosition;  // before this frame's update
  port::Vec3 centre;            // where it was placed
  int32_t index = 0;
  float pictureSize = 3.0f;
  float meshSize = 0.0f;

 private:
  void PlaceNext() const;
};
