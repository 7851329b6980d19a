#pragma once
// Stand-in until the graphics device is written: does nothing, creates nothing.
#include <cstdint>

#include "port/gpu.h"

namespace port {
class Window;
}

class GraphicsDevice {
 public:
  int Create(port::Window*, uint8_t, int32_t, int32_t) { return 0; }
  void SetDefaultStates() {}
  int CreateFont(int32_t, int32_t) { return 0; }
  void SetFullViewport(uint8_t) {}
  void SetViewport(int32_t, int32_t, int32_t, int32_t, uint8_t) {}
  void Clear(uint32_t, port::Argb) {}
  port::Status Present() { return port::kOk; }
  void Release() {}
  port::gpu::Device* GetDevice() const { return nullptr; }
  const port::gpu::Caps& GetCaps() const { return caps; }

 private:
  port::gpu::Caps caps;
};

extern GraphicsDevice g_graphics;
