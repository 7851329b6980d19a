#include "actors/EnemyClasses.h"

#include "actors/Boss1.h"
#include "actors/Boss2.h"
#include "actors/Boss3.h"
#include "actors/Zako1.h"
#include "actors/Zako1b.h"
#include "actors/Zako2.h"
#include "actors/Zako3.h"
#include "actors/Zako4.h"

namespace {

// The adapters from the table's shape to a class's own static routines.
template <typename T>
void LoadClass(const EnemyLoad& l) {
  if (l.caps) T::Load(l.method, l.device, *l.caps, l.effect, l.toonRamp);
}
template <typename T>
bool SpawnClass(float x, float y, float z, float heading) {
  return T::Spawn(x, y, z, heading) != nullptr;
}
// A class's row, from its traits: read at the first use, after the traits'
// constant initialisation.
template <typename T>
EnemyClass Row(void (*load)(const EnemyLoad&) = &LoadClass<T>) {
  return {T::kTraits.appearKind, &T::kTraits, load, &T::Unload, &SpawnClass<T>};
}

// The sokai zako also takes the counters its kills count into.
void LoadSokaiZako(const EnemyLoad& l) {
  if (l.caps) Zako1b::Load(l.method, l.device, *l.caps, l.effect, l.toonRamp, l.sokai);
}

}  // namespace

std::span<const EnemyClass> EnemyClasses() {
  // One row a class, as each class lands.
  static const EnemyClass kEnemyClasses[] = {
      Row<Zako1>(), Row<Zako2>(), Row<Zako3>(), Row<Zako4>(), Row<Zako1b>(&LoadSokaiZako),
      Row<Boss1>(), Row<Boss2>(), Row<Boss3>(),
  };
  return kEnemyClasses;
}

const EnemyClass* FindEnemyClass(int32_t kind) {
  for (const EnemyClass& c : EnemyClasses())
    if (c.kind == kind) return &c;
  return nullptr;
}

const EnemyClass* PlacedEnemyClass(int32_t kind) {
  const EnemyClass* c = kind >= kAppearZako1 ? FindEnemyClass(kind) : nullptr;
  return c ? c : FindEnemyClass(kAppearZako1);
}

const char* GaugeFacePath(size_t row) {
  const std::span<const EnemyClass> rows = EnemyClasses();
  return row < rows.size() ? rows[row].traits->face : nullptr;
}

size_t GaugeFaceRow(int32_t characterKind) {
  const std::span<const EnemyClass> rows = EnemyClasses();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].traits->kind == characterKind && rows[i].traits->face) return i;
  }
  const EnemyClass* fallback = PlacedEnemyClass(kAppearZako1);
  return fallback ? static_cast<size_t>(fallback - rows.data()) : 0;
}
void LoadEnemyClasses(std::span<const int32_t> kinds, const EnemyLoad& load) {
  for (int32_t kind : kinds)
    if (const EnemyClass* c = FindEnemyClass(kind)) c->load(load);
}

void UnloadEnemyClasses(std::span<const int32_t> kinds) {
  for (int32_t kind : kinds)
    if (const EnemyClass* c = FindEnemyClass(kind)) c->unload();
}

void UnloadAllEnemyClasses() {
  for (const EnemyClass& c : EnemyClasses()) c.unload();
}

bool SpawnPlacedEnemy(int32_t kind, float x, float y, float z, float heading) {
  const EnemyClass* c = PlacedEnemyClass(kind);
  return c && c->spawn(x, y, z, heading);
}
