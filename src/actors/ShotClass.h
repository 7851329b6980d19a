#pragma once
// The class side of a shot: a class derives from ShotClass<Class, SpawnArgs,
// Base> (Base is PlayerShot, or the shot class it extends) and names its
// ObjectType as kType. It gets
//   - its type, set on construction;
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

// The spawn contract for any shot class: a dead object of T's type, or a new T
// added to the list, handed to T::Init(args...).
template <typename T, typename... Args>
T* SpawnShot(const Args&... args) {
  T* shot = ReuseOrAddShot<T>(T::kType);
  if (shot) shot->Init(args...);
  return shot;
}

template <typename T, typename SpawnArgs = ShotSpawn, typename Base = PlayerShot>
class ShotClass : public Base {
 public:
  static T* Spawn(const SpawnArgs& spawn) { return SpawnShot<T>(spawn); }
  static void Load(port::gpu::Device* device) { Model().Load(device); }
  static void Unload() { Model().Unload(); }

  void Init(const SpawnArgs& spawn) { this->InitShot(spawn.at, spawn.heading, spawn.owner); }

 protected:
  ShotClass() { this->type = T::kType; }

  // Never destroyed, so nothing runs after the device is gone.
  static ShotModel& Model() {
    static ShotModel* model = new ShotModel(T::kModelPath);
    return *model;
  }
};
