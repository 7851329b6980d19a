#pragma once
// The enemy classes that the scenes load, unload and spawn, one row a class.
// The scenes never name an enemy class: a stage lists the placement kinds of
// the classes it loads, and a placement record spawns by its kind. The stage
// player never names one either: its enemy gauge shows the faces the rows
// give.
//
// A new enemy class joins with one row in kEnemyClasses (EnemyClasses.cpp),
// made from the class itself: its placement kind and gauge face come from
// its traits (EnemyTraits::appearKind and face), the adapters from its
// static Load, Unload and Spawn. From then on the stages that list its kind
// load it when they start and unload it when they end,
// Application::ReleaseGame unloads it, the placement records of its kind
// spawn it, and the gauge shows its face. A kind without a row loads nothing
// and its records spawn zako1s.
#include <cstddef>
#include <cstdint>
#include <span>

class EffectHolder;
struct EnemyTraits;
class Texture;
struct SokaiCounters;
namespace port::gpu {
class Device;
struct Caps;
}  // namespace port::gpu

// What a placement record places (the record's kind). These numbers are not
// the CharacterKind numbers of the characters spawned.
enum AppearKind : int32_t {
  kAppearZako1 = 1,  // and every value the table does not list
  kAppearZako2 = 2,
  kAppearZako3 = 3,
  kAppearZako4 = 4,
  kAppearBoss1 = 100,
  kAppearBoss2 = 101,
  kAppearBoss3 = 102,
  kAppearPlayer = 1000,         // the stage player's start
  kAppearBattlePlayer1 = 1001,  // to 1004: battle players 1 to 4
  kAppearBattlePlayer4 = 1004,
};

// The sokai stage's zako has a row of its own but no placement kind: only
// the sokai stage spawns it. No placement record names a kind below 1.
constexpr int32_t kSokaiZakoClass = -1;

// What a class loader is given.
struct EnemyLoad {
  int method = 2;  // 3 toon effect, 2 software skinning
  port::gpu::Device* device = nullptr;
  const port::gpu::Caps* caps = nullptr;
  EffectHolder* effect = nullptr;
  Texture* toonRamp = nullptr;
  SokaiCounters* sokai = nullptr;  // where the sokai zako counts its kills
};

struct EnemyClass {
  int32_t kind;  // AppearKind, or kSokaiZakoClass: the class's traits.appearKind
  const EnemyTraits* traits;
  // The class-wide model and textures; loading a loaded class binds it again.
  void (*load)(const EnemyLoad& load);
  // A second call does nothing.
  void (*unload)();
  // A live enemy at (x, y, z) facing `heading` degrees; false when none
  // could be had.
  bool (*spawn)(float x, float y, float z, float heading);
};

// Every row, in the order ReleaseGame unloads them.
std::span<const EnemyClass> EnemyClasses();
// The row of a kind, or null.
const EnemyClass* FindEnemyClass(int32_t kind);
// The class a placement record of `kind` spawns: a kind of 1 or more that a
// row holds its own, every other kind zako1's. Null when zako1 has no row.
const EnemyClass* PlacedEnemyClass(int32_t kind);

// The enemy gauge's pictures: the face of the class in row `row` (null
// where it has none, or past the last row).
const char* GaugeFacePath(size_t row);
// The row whose face the gauge shows for an enemy of `characterKind`: its
// class's when it has one, else the row of the class the unlisted placement
// kinds spawn (zako1's).
size_t GaugeFaceRow(int32_t characterKind);

void LoadEnemyClasses(std::span<const int32_t> kinds, const EnemyLoad& load);
void UnloadEnemyClasses(std::span<const int32_t> kinds);
void UnloadAllEnemyClasses();
// Spawns the class of a placement record; false when it has no row or no
// enemy could be had.
bool SpawnPlacedEnemy(int32_t kind, float x, float y, float z, float heading);
