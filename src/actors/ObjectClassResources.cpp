#include "actors/ObjectClassResources.h"

#include "actors/EnemyTama.h"
#include "actors/LargeBalls.h"
#include "actors/Player1Shots.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"

namespace {

struct ObjectClass {
  void (*load)(port::gpu::Device* device);
  void (*unload)();
};

template <typename T>
constexpr ObjectClass Row() {
  return {&T::Load, &T::Unload};
}

// Loaded in this order and released in the same order. A class that shares no
// resources (Player1TamaBurst, Player2HitBox, BallLauncher) has no row; one
// that only one scene uses (Hammer, Boss3Tama, Marker3D) is loaded and
// released by that scene instead.
constexpr ObjectClass kObjectClasses[] = {
    Row<Tama>(),
    Row<EnemyTama>(),
    // No target list, four targets.
    {[](port::gpu::Device* device) { Player1LargeTama1::Load(device, nullptr, 4); },
     &Player1LargeTama1::Unload},
    Row<Player1LargeTama2>(),
    Row<Player1LargeTama3>(),
    Row<Player2Tama>(),
    Row<Player2LargeTama1>(),
    Row<Player3Tama>(),
    Row<Player3LargeTama1>(),
    Row<Player3LargeTama2>(),
    Row<Player4Tama>(),
    Row<Player4LargeTama1>(),
    Row<Player4LargeTama2>(),
    Row<Player4LargeTama3>(),
    Row<LargeBall1>(),
    Row<LargeBall2>(),
};

}  // namespace

void LoadObjectClassResources(port::gpu::Device* device) {
  for (const ObjectClass& c : kObjectClasses) c.load(device);
}

void ReleaseObjectClassResources() {
  for (const ObjectClass& c : kObjectClasses) c.unload();
}
