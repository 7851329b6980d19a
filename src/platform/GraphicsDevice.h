#pragma once
// The graphics device of the game: the device, the one sprite of all 2D
// drawing, the text font, the present parameters and the device caps.
#include <cstdint>
#include <memory>
#include <vector>

#include "port/gpu.h"
#include "port/sprite.h"

namespace port {
class Window;
}

// The presentation settings the device is created with.
struct PresentParameters {
  static constexpr uint32_t kFormatUnknown = 0;  // the desktop's format
  static constexpr uint32_t kFormatR5G6B5 = 23;
  static constexpr uint32_t kFormatD16 = 80;
  static constexpr uint32_t kSwapDiscard = 1;
  static constexpr uint32_t kFlagDiscardDepthStencil = 2;

  uint32_t backBufferWidth = 0, backBufferHeight = 0;  // 0: the window's client size
  uint32_t backBufferFormat = kFormatUnknown;
  uint32_t backBufferCount = 0;
  uint32_t multiSample = 0;
  uint32_t swapEffect = 0;
  port::Window* deviceWindow = nullptr;
  uint8_t windowed = 0;
  uint8_t enableAutoDepthStencil = 0;
  uint32_t autoDepthStencilFormat = 0;
  uint32_t flags = 0;
  uint32_t refreshRate = 0;
  uint32_t presentationInterval = 0;
};

class GraphicsDevice {
 public:
  GraphicsDevice();
  ~GraphicsDevice();
  GraphicsDevice(const GraphicsDevice&) = delete;
  GraphicsDevice& operator=(const GraphicsDevice&) = delete;

  // On failure shows its message and releases what it made.
  bool Create(port::Window* window, uint8_t fullScreen, int32_t width, int32_t height);
  void SetDefaultStates();
  // Called with 10 and 20. False without a font file (no message) or when the
  // font cannot be made (with its message); text then draws nothing.
  bool CreateFont(int32_t width, int32_t height);
  void SetFullViewport(uint8_t clear);
  void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t clear);
  void Clear(uint32_t flags, port::Argb colour);
  port::Status Present();
  void DrawText(const char* text, int32_t x, int32_t y, port::Argb colour);
  // Draws the text as it stands: it is never used as a format.
  void DrawTextF(int32_t x, int32_t y, const char* text, port::Argb colour);
  // An offscreen picture of width by height with a depth buffer of its own;
  // null when it cannot be made (no device, or the device refuses). The
  // caller releases it.
  port::gpu::RenderTarget* CreateRenderTarget(uint32_t width, uint32_t height);
  // Draws go into the target, over the whole of it, until EndRenderTarget
  // puts back the target, depth and viewport that were current before; the
  // target's texture then holds the picture. Pairs nest. False, with nothing
  // changed, without a device or a target.
  bool BeginRenderTarget(port::gpu::RenderTarget* target);
  void EndRenderTarget();
  // Releases the font, the sprite, the device and the video system; a second call does nothing.
  void Release();

  port::gpu::Device* GetDevice() const { return device.get(); }
  port::Sprite* GetSprite() const { return sprite.get(); }
  port::Font* GetFont() const { return font.get(); }
  const port::gpu::Caps& GetCaps() const { return caps; }
  int32_t BackBufferWidth() const { return static_cast<int32_t>(activeParameters.backBufferWidth); }
  int32_t BackBufferHeight() const {
    return static_cast<int32_t>(activeParameters.backBufferHeight);
  }
  bool IsFullScreen() const { return fullScreen != 0; }
  port::Window* GetWindow() const { return window; }

 private:
  bool direct3d = false;  // the video system is started
  std::unique_ptr<port::gpu::Device> device;
  std::unique_ptr<port::Sprite> sprite;
  PresentParameters activeParameters;
  PresentParameters windowedParameters;
  PresentParameters fullScreenParameters;
  std::unique_ptr<port::Font> font;
  uint8_t fullScreen = 0;
  port::Window* window = nullptr;
  int32_t width = 0, height = 0;
  port::gpu::Caps caps;
  // What each open BeginRenderTarget put aside (a reference on the target).
  struct SavedTarget {
    port::gpu::RenderTarget* target = nullptr;  // null: the back buffer
    port::gpu::Viewport viewport;
  };
  std::vector<SavedTarget> savedTargets;
};

// Defined with the other program-wide objects.
extern GraphicsDevice g_graphics;
