#pragma once
// A picture laid out on the screen at the place a world point projects to:
// constant screen size whatever the distance, always facing the viewer. The
// bullets and markers that glow draw their pictures through it.
#include "port/math.h"
#include "render/Billboard.h"
#include "render/Texture.h"

namespace port::gpu {
class Device;
}

class ScreenPicture {
 public:
  explicit ScreenPicture(const char* path) : path_(path) {}
  ScreenPicture(const ScreenPicture&) = delete;
  ScreenPicture& operator=(const ScreenPicture&) = delete;

  // Keeps the device, loads the texture (colour key 0) and makes the quad,
  // on every call; a missing file leaves the picture undrawn.
  void Load(port::gpu::Device* device);
  void Unload();
  bool IsLoaded() const { return texture_.IsLoaded(); }

  // Where the point lies for g_camera: (x/w, y/w, z, w) of its clip position.
  // A z below 1 is too near the eye or behind it: callers draw nothing there.
  static port::Vec4 Clip(const port::Vec3& at);

  // The quad scaled (sx, sy) in normalised device units and turned by spin
  // degrees about the view axis, centred on the clip point c, carried back
  // into the world through g_camera's view and projection. Drawn unlit; the
  // lighting state is put back as it was.
  void Draw(const port::Vec4& c, float sx, float sy, float spinDegrees);

 private:
  const char* path_;
  port::gpu::Device* device_ = nullptr;
  Texture texture_;
  Billboard quad_;
};
