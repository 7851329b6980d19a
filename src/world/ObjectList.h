#pragma once
// The list that owns every shot, bullet, marker and hazard of a scene (g_objects).
#include <memory>

#include "world/DynamicObject.h"
#include "world/ListSlots.h"

namespace port::gpu {
class Device;
}

// Loads or releases the class-wide models and textures of the object
// classes. The list only calls them: the classes live in a higher layer.
using ObjectClassLoader = void (*)(port::gpu::Device* device);
using ObjectClassReleaser = void (*)();

class ObjectList : public ListSlots<DynamicObject> {
 public:
  ObjectList() = default;
  // The list of the game is made with the object classes' loader and releaser.
  ObjectList(ObjectClassLoader loadClasses, ObjectClassReleaser releaseClasses)
      : loadClasses_(loadClasses), releaseClasses_(releaseClasses) {}
  ~ObjectList();

  // Stores the device and loads the object classes' shared resources.
  void Init(port::gpu::Device* device);
  // Unloads them again and clears the list. A second call does nothing more.
  void Release();

  int Add(std::unique_ptr<DynamicObject> object) { return ListSlots::Add(std::move(object)); }
  // The first dead object of the type, or -1.
  int FindReusable(int type) const;
  int CountAlive() const;
  void UpdateAll();
  void Clear() { ClearSlots(); }

  // Stores the device without loading anything.
  void SetDevice(port::gpu::Device* device) { device_ = device; }
  port::gpu::Device* GetDevice() const { return device_; }

  // Every object's Draw, then every object's DrawSecondPass.
  void DrawAll();

 private:
  port::gpu::Device* device_ = nullptr;
  bool classesLoaded_ = false;
  ObjectClassLoader loadClasses_ = nullptr;
  ObjectClassReleaser releaseClasses_ = nullptr;
};

extern ObjectList g_objects;
