#pragma once
// Stage 3's hammers (type 6, enemy side): a spinning head on an arm that
// turns about a fixed pivot. The arm's eight collision points reach seven
// units back from the pivot, so a player is knocked back by any part of it.
// Hammers never die; the stage places them and they turn until it ends.
#include <cstdint>

#include "actors/ShotClass.h"
#include "port/math.h"

// How a hammer turns (degrees a frame unless said otherwise).
enum HammerMode : int32_t {
  kHammerSwing = 0,       // a 500-frame cycle: turns one way, rests, turns back, rests
  kHammerSeesawUp = 1,    // turns while its pitch rocks between 0 and 40
  kHammerSeesawDown = 2,  // the same, rocking the other way
  kHammerFast = 3,        // turns at 2.45
  kHammerSteady = 4,      // turns at 1.5
  kHammerBack = 5,        // turns back at 2.0
  kHammerSlowBack = 6,    // turns back at 1.0
};

struct HammerSpawn {
  port::Vec3 at;         // the pivot
  float pitch = 0.0f;    // degrees
  float heading = 0.0f;  // degrees; the arm reaches back from it
  int32_t mode = kHammerSwing;
  int32_t owner = kOwnerEnemy;
};

// Built on the shot skeleton: frameCounter is the hammer's age.
// Load keeps the device and loads the mesh unless it is loaded (the stage-3
// scene, on entering); a missing file leaves hammers undrawn. Unload releases
// the mesh; the game's final release calls it (the scene need not). A second
// call does nothing.
class Hammer : public ShotClass<Hammer, kObjectHammer, HammerSpawn> {
 public:
  static constexpr char kModelPath[] = "Xfile/stage3/hammar.x";
  static constexpr int kArmPoints = 8;

  Hammer();
  void Init(const HammerSpawn& spawn);
  void Update() override;
  void Draw() override;

  int32_t mode = kHammerSwing;

 private:
  void Turn();
};
