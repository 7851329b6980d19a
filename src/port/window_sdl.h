#pragma once
// The SDL side of the main window, shared by the window and the GL device.
#include <SDL2/SDL.h>

namespace port {

class Window {
 public:
  SDL_Window* sdl = nullptr;
  bool fullScreen = false;
};

// The context attributes every GL window and context of ours asks for.
void SetGlAttributes();

}  // namespace port
