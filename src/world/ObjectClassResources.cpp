// The object list's hook into the shot and hazard classes: each class's
// class-wide models and textures, loaded and released in this order.
#include "world/ObjectList.h"

void LoadObjectClassResources(port::gpu::Device* device) {
  // Tama, EnemyTama, Player1LargeTama1 (no target list, 4 targets),
  // Player1LargeTama2, Player1LargeTama3, Player2Tama, Player2LargeTama1,
  // Player3Tama, Player3LargeTama1, Player3LargeTama2, Player4Tama,
  // Player4LargeTama1, Player4LargeTama2, Player4LargeTama3, LargeBall1,
  // LargeBall2. Hammer, Boss3Tama and Marker3D are loaded by their scenes.
}

void ReleaseObjectClassResources() {
  // The same classes in the same order.
}
