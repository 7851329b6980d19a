// Placement files: reading an .arg file into the application's records and
// spawning what they place.
#include <cstdio>

#include "actors/EnemyClasses.h"
#include "actors/Motion.h"
#include "actors/Player.h"
#include "app/Application.h"
#include "platform/MathHelpers.h"
#include "world/StageField.h"

namespace {

constexpr float kStandHeight = 1.0f;  // an actor's origin above the ground

// Where an enemy placed at *at can stand: there, when the field has ground
// under it; on the floor above a point below the field; nowhere (false) off
// the field, where it could never be reached. Without a collision mesh the
// point stands as it is.
bool PlaceOnField(port::Vec3* at) {
  if (!g_stageField.Collision().HasCollisionData()) return true;
  if (FindGround(*at).found) return true;
  const port::Vec3 up{0.0f, 1.0f, 0.0f};
  float reach = 2.0f * kAppearFarthest;
  if (!g_stageField.RayCast(at, &up, &reach)) return false;
  at->y += reach + kStandHeight;
  return true;
}

}  // namespace

void Application::LoadAppearData(const char* path) {
  // A missing file places nothing; said, so a broken install shows why.
  if (!ReadAppearRecords(path, &appearRecords) && path) {
    std::fprintf(stderr, "Could not read %s\n", path);
  }
}

void Application::SpawnAppearData() {
  for (const AppearRecord& r : appearRecords) {
    if (r.kind == kAppearPlayer) {
      g_player.sokai = 0;
      g_player.viewType = options.viewType;
      g_player.Place(r.x, r.y, r.z, r.param);
      continue;
    }
    if (r.kind >= kAppearBattlePlayer1 && r.kind <= kAppearBattlePlayer4) {
      const int32_t index = r.kind - kAppearBattlePlayer1;
      battlePlayers[index].Init(r.x, r.y, r.z, r.param, kOwnerBattlePlayer1 + index);
      continue;
    }
    // One heading per enemy record, in record order.
    const float heading = static_cast<float>(RandomInt(360));
    port::Vec3 at{r.x, r.y, r.z};
    // The class of the kind, through the enemy class table: a class not
    // written yet has no row and spawns nothing.
    const EnemyClass* enemy = PlacedEnemyClass(r.kind);
    if (enemy && PlaceOnField(&at)) enemy->spawn({.at = at, .heading = heading});
  }
}
