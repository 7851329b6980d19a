#include "port/window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "port/text_encoding.h"
#include "port/window_sdl.h"

#include <malloc.h>

#include <cerrno>
#include <ctime>

namespace port {

void SetGlAttributes() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

namespace {

// A frame frees and allocates the same few megabytes over and over; by
// default the C library hands the top of the heap back to the system and
// asks for it again (a brk call each way, and fresh pages to fault in) many
// times a frame. Keeping a margin ends that churn.
void KeepHeapTop() {
  static bool done = false;
  if (done) return;
  done = true;
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_TOP_PAD, 4 << 20);
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
}

}  // namespace

bool InitVideo(std::string* error) {
  KeepHeapTop();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    if (error) *error = SDL_GetError();
    return false;
  }
  return true;
}

void ShutdownVideo() { SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS); }

Window* CreateMainWindow(const char* title, int width, int height, bool fullScreen,
                         std::string* error) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    if (error) *error = "video is not started";
    return nullptr;
  }
  SetGlAttributes();
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  int x = SDL_WINDOWPOS_UNDEFINED, y = SDL_WINDOWPOS_UNDEFINED;
  // Full screen keeps the desktop's mode; the device scales its 640 by 480
  // picture into it. The window is also made borderless at the display's size,
  // so it covers the display where no window manager honours the request.
  SDL_Rect bounds;
  if (fullScreen && SDL_GetDisplayBounds(0, &bounds) == 0) {
    flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP;
    x = bounds.x;
    y = bounds.y;
    width = bounds.w;
    height = bounds.h;
  } else if (fullScreen) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  } else {
    // A sizing border and a maximise box; the device letterboxes the picture.
    flags |= SDL_WINDOW_RESIZABLE;
  }
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
  if (!sdl) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  if (fullScreen) SDL_ShowCursor(SDL_DISABLE);
  Window* w = new Window;
  w->sdl = sdl;
  w->fullScreen = fullScreen;
  return w;
}

void ShowMainWindow(Window* window) {
  if (window && window->sdl) SDL_ShowWindow(window->sdl);
}

void DestroyMainWindow(Window* window) {
  if (!window) return;
  if (window->sdl) SDL_DestroyWindow(window->sdl);
  delete window;
}

bool IsFullScreen(const Window* window) { return window && window->fullScreen; }

void GetWindowClientSize(const Window* window, int* width, int* height) {
  int w = 0, h = 0;
  if (window && window->sdl) SDL_GetWindowSize(window->sdl, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

bool PollWindowEvent(WindowEvent* event) {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return false;
  WindowEventKind kind = WindowEventKind::Other;
  if (e.type == SDL_QUIT) {
    kind = WindowEventKind::Quit;
  } else if (e.type == SDL_WINDOWEVENT) {
    switch (e.window.event) {
      case SDL_WINDOWEVENT_CLOSE:
        kind = WindowEventKind::Close;
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        kind = WindowEventKind::FocusGained;
        break;
      case SDL_WINDOWEVENT_SHOWN:
        kind = WindowEventKind::Shown;
        break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        kind = WindowEventKind::FocusLost;
        break;
      case SDL_WINDOWEVENT_HIDDEN:
        kind = WindowEventKind::Hidden;
        break;
      case SDL_WINDOWEVENT_EXPOSED:
        kind = WindowEventKind::Exposed;
        break;
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        kind = WindowEventKind::Resized;
        break;
      default:
        break;
    }
  }
  if (event) event->kind = kind;
  return true;
}

void SetCursorVisible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

namespace {

// A box can only appear on a real display; offscreen and dummy video have none.
bool CanShowBox() {
  const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
  if (!driver) driver = std::getenv("SDL_VIDEODRIVER");
  if (!driver || !*driver) return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  return std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0;
}

}  // namespace

void ShowMessageBox(Window* owner, const char* textSjis, const char* captionSjis) {
  ShowMessageBoxUtf8(owner, SjisToUtf8(textSjis ? textSjis : ""),
                     SjisToUtf8(captionSjis ? captionSjis : ""));
}

void ShowMessageBoxUtf8(Window* owner, const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  if (!CanShowBox()) return;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(),
                           owner ? owner->sdl : nullptr);
}

uint64_t PerformanceCounter() { return SDL_GetPerformanceCounter(); }
uint64_t PerformanceFrequency() { return SDL_GetPerformanceFrequency(); }
uint32_t TickCountMs() { return SDL_GetTicks(); }
void SleepMs(uint32_t ms) { SDL_Delay(ms); }

void SleepPrecise(double ms) {
  if (!(ms > 0.0)) return;
  if (ms > 1000.0) ms = 1000.0;
  const auto ns = static_cast<long>(ms * 1e6);
  timespec want{ns / 1'000'000'000L, ns % 1'000'000'000L};
  timespec left{};
  // A signal cuts the sleep short; the rest is slept.
  while (nanosleep(&want, &left) != 0 && errno == EINTR) want = left;
}

}  // namespace port
