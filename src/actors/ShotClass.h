#pragma once
// The class side of a shot: a class derives from ShotClass<Class, Type,
// SpawnArgs, Base> (Type its ObjectType, Base PlayerShot or the shot class it
// extends). It gets
//   - its type, set on construction, and kType; its constructor hands the
//     base the ShotStats a new object starts with;
//   - static Spawn(const SpawnArgs&), which reuses a dead object of its type in
//     g_objects or else adds a new one, then calls Init(spawn); null when
//     neither can be had. The default Init places the shot with InitShot; a
//     class with more to set declares its own Init, which begins with InitShot;
//   - static Load and Unload of its class-wide mesh Model(), read from
//     kModelPath. A class with other resources declares its own Load and
//     Unload, which hide these; a class with none lists neither.
// The list of the classes the object list loads is in ObjectClassResources.cpp.
#include <cstdint>

#include "actors/PlayerShot.h"

namespace port::gpu {
class Device;
}

// What a new object of a shot class starts with; a spawn may change them.
struct ShotStats {
  float radius;  // negative: no hit test catches it
  float damage;
  int32_t owner = kOwnerPlayer;
};

// The spawn contract for any shot class: a dead object of T's type, or a new T
// added to the list, handed to T::Init(args...).
template <typename T, typename... Args>
T* SpawnShot(const Args&... args) {
  T* shot = ReuseOrAddShot<T>(T::kType);
  if (shot) shot->Init(args...);
  return shot;
}

template <typename T, ObjectType Type, typename SpawnArgs = ShotSpawn, typename Base = PlayerShot>
class ShotClass : public Base {
 public:
  static constexpr int32_t kType = Type;

  static T* Spawn(const SpawnArgs& spawn) { return SpawnShot<T>(spawn); }
  static void Load(port::gpu::Device* device) { Model().Load(device); }
  static void Unload() { Model().Unload(); }

  void Init(const SpawnArgs& spawn) { this->InitShot(spawn.at, spawn.heading, spawn.owner); }

 protected:
  // A class built on another shot class keeps that one's stats.
  ShotClass() { this->type = Type; }
  explicit ShotClass(const ShotStats& stats) {
    this->type = Type;
    this->radius = stats.radius;
    this->damage = stats.damage;
    this->owner = stats.owner;
  }

  // Never destroyed, so nothing runs after the device is gone.
  static ShotModel& Model() {
    static ShotModel* model = new ShotModel(T::kModelPath);
    return *model;
  }
};
