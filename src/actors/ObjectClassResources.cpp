#include "actors/ObjectClassResources.h"

#include "actors/EnemyTama.h"
#include "actors/LargeBalls.h"
#include "actors/Player1Shots.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"

// In this order: Tama, EnemyTama, Player1LargeTama1 (no target list, 4
// targets), Player1LargeTama2, Player1LargeTama3, Player2Tama,
// Player2LargeTama1, Player3Tama, Player3LargeTama1, Player3LargeTama2,
// Player4Tama, Player4LargeTama1, Player4LargeTama2, Player4LargeTama3,
// LargeBall1, LargeBall2. Hammer, Boss3Tama and Marker3D are loaded by their
// scenes. Each class is added here as it is written.
void LoadObjectClassResources(port::gpu::Device* device) {
  Tama::Load(device);
  EnemyTama::Load(device);
  Player1LargeTama1::Load(device, nullptr, 4);
  Player1LargeTama2::Load(device);
  Player1LargeTama3::Load(device);
  Player2Tama::Load(device);
  Player2LargeTama1::Load(device);
  Player3Tama::Load(device);
  Player3LargeTama1::Load(device);
  Player3LargeTama2::Load(device);
  Player4Tama::Load(device);
  Player4LargeTama1::Load(device);
  Player4LargeTama2::Load(device);
  Player4LargeTama3::Load(device);
  LargeBall1::Load(device);
  LargeBall2::Load(device);
}

// The same classes in the same order.
void ReleaseObjectClassResources() {
  Tama::Unload();
  EnemyTama::Unload();
  Player1LargeTama1::Unload();
  Player1LargeTama2::Unload();
  Player1LargeTama3::Unload();
  Player2Tama::Unload();
  Player2LargeTama1::Unload();
  Player3Tama::Unload();
  Player3LargeTama1::Unload();
  Player3LargeTama2::Unload();
  Player4Tama::Unload();
  Player4LargeTama1::Unload();
  Player4LargeTama2::Unload();
  Player4LargeTama3::Unload();
  LargeBall1::Unload();
  LargeBall2::Unload();
}
