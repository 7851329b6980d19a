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
template <typename T>
constexpr EnemyClass Row(int32_t kind) {
  return {kind, &LoadClass<T>, &T::Unload, &SpawnClass<T>};
}

// The sokai zako also takes the counters its kills count into.
void LoadSokaiZako(const EnemyLoad& l) {
  if (l.caps) Zako1b::Load(l.method, l.device, *l.caps, l.effect, l.toonRamp, l.sokai);
}

// One row a class, as each class lands.
constexpr EnemyClass kEnemyClasses[] = {
    Row<Zako1>(kAppearZako1),
    Row<Zako2>(kAppearZako2),
    Row<Zako3>(kAppearZako3),
    Row<Zako4>(kAppearZako4),
    {kSokaiZakoClass, &LoadSokaiZako, &Zako1b::Unload, &SpawnClass<Zako1b>},
    Row<Boss1>(kAppearBoss1),
    Row<Boss2>(kAppearBoss2),
    Row<Boss3>(kAppearBoss3),
};

// The kinds a placement record names by number; any other spawns a zako1.
constexpr int32_t kPlacedKinds[] = {kAppearZako1, kAppearZako2, kAppearZako3, kAppearZako4,
                                    kAppearBoss1, kAppearBoss2, kAppearBoss3};

}  // namespace

std::span<const EnemyClass> EnemyClasses() { return kEnemyClasses; }

const EnemyClass* FindEnemyClass(int32_t kind) {
  for (const EnemyClass& c : EnemyClasses())
    if (c.kind == kind) return &c;
  return nullptr;
}

const EnemyClass* PlacedEnemyClass(int32_t kind) {
  for (int32_t placed : kPlacedKinds)
    if (placed == kind) return FindEnemyClass(kind);
  return FindEnemyClass(kAppearZako1);
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
