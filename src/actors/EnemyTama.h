#pragma once
// The bullet the bosses and the small enemies fire at the player (type 2,
// enemy side). It flies straight along its heading and pitch, hugs the ground
// when it flies level, and ends on a hit (a puff and a sound), after 100
// frames or on meeting the field (a puff).
#include <cstdint>

#include "actors/ShotClass.h"
#include "port/math.h"

enum EnemyTamaKind : int32_t {
  kEnemyTamaBall = 1,   // a plain ball
  kEnemyTamaRing = 2,   // a spinning ring round a glowing centre
  kEnemyTamaProbe = 3,  // unseen, three frames: the reach of a blow
};

struct EnemyTamaSpawn {
  port::Vec3 at;
  float heading = 0.0f;  // degrees
  float speed = 0.0f;    // units a frame
  float damage = 10.0f;
  int32_t kind = kEnemyTamaBall;
};

// Built on the shot skeleton: frameCounter is the bullet's age.
class EnemyTama : public ShotClass<EnemyTama, kObjectEnemyTama, EnemyTamaSpawn> {
 public:
  EnemyTama();
  // Keeps the device; loads the ball and ring meshes and the centre picture
  // unless the ball mesh is loaded already. Missing files leave those parts
  // undrawn.
  static void Load(port::gpu::Device* device);
  static void Unload();
  // Spawn makes a level bullet (pitch 0), which hugs the ground; SpawnPitched
  // one aimed up or down by pitch degrees (positive points down), of which
  // only an exact 0 hugs the ground. Both give null when no bullet can be had.
  static EnemyTama* SpawnPitched(float pitch, const EnemyTamaSpawn& spawn) {
    return SpawnShot<EnemyTama>(pitch, spawn);
  }
  void Init(const EnemyTamaSpawn& spawn) { Init(0.0f, spawn); }
  void Init(float pitch, const EnemyTamaSpawn& spawn);
  void Update() override;
  void Draw() override;

  int32_t kind = kEnemyTamaBall;

 private:
  // The ring's centre: a picture of constant screen size facing the viewer.
  void DrawCenter();
};
