#include "app/Program.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/WindowProc.h"
#include "platform/GraphicsDevice.h"
#include "port/gpu.h"
#include "port/path.h"
#include "port/random.h"
#include "port/text_encoding.h"
#include "port/window.h"

namespace {

constexpr const char* kTitle = "Pomelvane";
// "初期化に失敗" in Shift-JIS.
constexpr const char* kInitFailedText = "\x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e\xb8\x94\x73";
constexpr const char* kInitFailedCaption = "ERROR";
constexpr port::Argb kBackgroundWhite = 0xFFFFFFFFu;
constexpr const char* kDataFolders[] = {"Xfile", "texture", "sound", "data", "AppearData"};

// The data folders not found, as a list for a message; the count in *count.
std::string MissingDataFolders(size_t* count) {
  std::string missing;
  *count = 0;
  for (const char* name : kDataFolders) {
    std::error_code ec;
    if (std::filesystem::is_directory(port::ResolvePath(name), ec)) continue;
    missing += (*count)++ ? ", " : "";
    missing += name;
  }
  return missing;
}

constexpr const char* kStartHere =
    "Start the game from the folder that holds its data (build/run after a build).";

// The message for data folders missing from folder, in one line, or with a
// line for each part (a message box does not wrap).
std::string MissingDataMessage(const std::string& folder, const std::string& missing,
                               const char* breakAt) {
  return "Pomelvane: no game data in " + folder + breakAt + "(missing: " + missing + ")." +
         breakAt + kStartHere;
}

}  // namespace

std::string DescribeMissingGameData(const std::string& folder) {
  size_t count = 0;
  const std::string missing = MissingDataFolders(&count);
  return count == 0 ? std::string() : MissingDataMessage(folder, missing, " ");
}

void CreateMainWindow(bool fullScreen, int width, int height, const char* title) {
  std::string error;
  g_hWnd = port::CreateMainWindow(title, width, height, fullScreen, &error);
  // A full-screen window hides the cursor from its creation on.
  if (g_hWnd && fullScreen) port::SetCursorVisible(false);
}

void ShowMainWindow(port::Window* window) {
  if (!window) return;
  port::ShowMainWindow(window);
  // Showing activates the window; no focus event may follow without a window manager.
  WindowProc(port::WindowEvent{port::WindowEventKind::Shown});
  g_graphics.Clear(port::gpu::ClearTarget, kBackgroundWhite);
  g_graphics.Present();
  // The paint that showing causes; no scene is current yet, so it draws nothing.
  WindowProc(port::WindowEvent{port::WindowEventKind::Exposed});
}

void RunMainLoop() {
  port::WindowEvent event;
  while (!g_quit) {
    if (port::PollWindowEvent(&event)) {
      WindowProc(event);
      continue;
    }
    g_frameTimer.Sample();
    if (g_frameTimer.IsFrameDue()) {
      g_frameTimer.Advance();
      g_app.Frame();
    } else {
      // Events that arrive meanwhile wait for the next pass, at most a frame.
      g_frameTimer.Wait();
    }
  }
}

int RunProgram() {
  g_fullScreen = g_app.ReadOptionFile();

  std::string error;
  const bool video = port::InitVideo(&error);
  if (video) CreateMainWindow(g_fullScreen != 0, kScreenWidth, kScreenHeight, kTitle);

  g_frameTimer.Init();
  g_frameTimer.SetRate(kFramesPerSecond);

  if (!g_app.Init(g_hWnd, g_fullScreen, kScreenWidth, kScreenHeight)) {
    g_app.Shutdown();
    port::ShowMessageBox(nullptr, kInitFailedText, kInitFailedCaption);
  } else {
    ::ShowMainWindow(g_hWnd);
    port::CrtSrand(static_cast<uint32_t>(std::time(nullptr)));
    RunMainLoop();
    g_app.Shutdown();
  }

  if (g_hWnd) {
    port::DestroyMainWindow(g_hWnd);
    g_hWnd = nullptr;
  }
  if (video) port::ShutdownVideo();
  return 0;
}

int ProgramMain() {
  std::error_code ec;
  const std::string folder = std::filesystem::current_path(ec).string();
  size_t count = 0;
  const std::string missing = MissingDataFolders(&count);
  if (count == std::size(kDataFolders)) {
    // Started from the wrong folder: nothing could be shown or heard. A box
    // does not wrap its lines.
    port::ShowMessageBoxUtf8(
        nullptr,
        port::SjisToUtf8(kInitFailedText) + "\n" + MissingDataMessage(folder, missing, "\n"),
        kInitFailedCaption);
    return 1;
  }
  // Said once; the game then goes on as it does with any missing file.
  if (count > 0) std::fprintf(stderr, "%s\n", MissingDataMessage(folder, missing, " ").c_str());
  return RunProgram();
}
