#include "app/WindowProc.h"

#include "app/Application.h"
#include "app/FrameTimer.h"

void WindowProc(const port::WindowEvent& event) {
  switch (event.kind) {
    case port::WindowEventKind::Close:
    case port::WindowEventKind::Quit:
      // Closing saves nothing; only the title's exit item writes the save files.
      g_quit = 1;
      break;
    case port::WindowEventKind::Shown:
    case port::WindowEventKind::FocusGained:
      g_app.windowActive = 1;
      break;
    case port::WindowEventKind::FocusLost:
      g_app.windowActive = 0;
      break;
    case port::WindowEventKind::Exposed:
      g_app.Draw();
      break;
    case port::WindowEventKind::Resized:
      // Repainted whole, as after any change of size. The window's buffer may
      // have been given up with the picture in it, so a menu's kept picture is
      // drawn again, not shown again.
      g_app.title = TitleState{};
      g_app.result.rankingPicture = KeptPicture{};
      g_app.Draw();
      break;
    default:
      break;
  }
}
