#pragma once
// The main window, its events, the cursor, message boxes and the clock.
#include <cstdint>
#include <string>

namespace port {

class Window;

enum class WindowEventKind {
  Close,
  Quit,
  FocusGained,
  FocusLost,
  Shown,
  Hidden,
  Exposed,
  Resized,  // the client size changed: resized, maximised, restored
  Other
};
struct WindowEvent {
  WindowEventKind kind = WindowEventKind::Other;
};

// Starts the video and event subsystems; false and an error text on failure.
bool InitVideo(std::string* error);
void ShutdownVideo();

// A window of width by height client pixels that the user may resize and
// maximise, created hidden; full screen uses the desktop mode and keeps its
// size. Null on failure.
Window* CreateMainWindow(const char* title, int width, int height, bool fullScreen,
                         std::string* error);
void ShowMainWindow(Window* window);
void DestroyMainWindow(Window* window);
bool IsFullScreen(const Window* window);
void GetWindowClientSize(const Window* window, int* width, int* height);

// Takes one waiting event, if any.
bool PollWindowEvent(WindowEvent* event);
void SetCursorVisible(bool visible);

// Modal message box; texts are Shift-JIS and are also written to standard
// error. Where no box can be shown (no display, or the box fails) it is only
// written, and returns at once.
void ShowMessageBox(Window* owner, const char* textSjis, const char* captionSjis);
// The same with texts already in UTF-8, such as a path.
void ShowMessageBoxUtf8(Window* owner, const std::string& text, const std::string& caption);

uint64_t PerformanceCounter();
uint64_t PerformanceFrequency();
uint32_t TickCountMs();
void SleepMs(uint32_t ms);
// Sleeps the calling thread for ms milliseconds (fractions kept), to within
// the system's timer slack; non-positive or NaN returns at once.
void SleepPrecise(double ms);

}  // namespace port
