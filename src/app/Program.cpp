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
#include "port/file.h"
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

// The data folders the game cannot use, as lists for a message: those that
// are not there (or are no folder), and those there that it may not read.
struct DataFolders {
  std::string missing;
  std::string unreadable;
  size_t count = 0;  // of both
};

DataFolders LookForData() {
  DataFolders found;
  for (const char* name : kDataFolders) {
    const std::string path = port::ResolvePath(name);
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(path, ec);
    if (folder && port::IsReadableFolder(path)) continue;
    std::string& list = folder ? found.unreadable : found.missing;
    list += list.empty() ? "" : ", ";
    list += name;
    ++found.count;
  }
  return found;
}

// "missing: sound, data; cannot be read: texture".
std::string Unusable(const DataFolders& data) {
  std::string text;
  if (!data.missing.empty()) text = "missing: " + data.missing;
  if (!data.unreadable.empty())
    text += (text.empty() ? "" : "; ") + std::string("cannot be read: ") + data.unreadable;
  return text;
}

constexpr const char* kNoDataIn = "Pomelvane: no game data in ";
constexpr const char* kStartHere =
    "Start the game from the folder that holds its data (build/run after a build).";

// A message box does not wrap, and a line wider than the screen loses its
// start: a folder's path goes over lines of at most this many bytes, well
// inside a 1024-pixel screen in the box's font.
constexpr size_t kBoxLineBytes = 64;

// head then path, over lines of at most kBoxLineBytes: broken after the head
// or after a '/' where one falls in the line, else between two characters.
std::string BrokenOverLines(const std::string& head, const std::string& path) {
  const std::string text = head + path;
  auto breaksBefore = [&](size_t i) {
    return i == head.size() || (i > head.size() && text[i - 1] == '/');
  };
  std::string lines;
  size_t start = 0;
  while (text.size() - start > kBoxLineBytes) {
    size_t cut = start + kBoxLineBytes;
    while (cut > start && !breaksBefore(cut)) --cut;
    if (cut == start) {
      cut = start + kBoxLineBytes;
      while (cut > start + 1 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    }
    lines += text.substr(start, cut - start) + "\n";
    start = cut;
  }
  return lines + text.substr(start);
}

// The start-up failure message's lines when folder holds none of the data.
std::string NoDataBoxText(const std::string& folder, const DataFolders& data) {
  return port::SjisToUtf8(kInitFailedText) + "\n" + BrokenOverLines(kNoDataIn, folder) + "\n(" +
         Unusable(data) + ").\n" + kStartHere;
}

// The line for standard error: with none of the data, the failure message in
// one line; with some, only what the game does without.
std::string DataLine(const std::string& folder, const DataFolders& data) {
  if (data.count == 0) return {};
  if (data.count == std::size(kDataFolders))
    return kNoDataIn + folder + " (" + Unusable(data) + "). " + kStartHere;
  return "Pomelvane: " + folder + ": data folders " + Unusable(data) + ".";
}

}  // namespace

std::string DescribeMissingGameData(const std::string& folder) {
  return DataLine(folder, LookForData());
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
  const DataFolders data = LookForData();
  if (data.count == std::size(kDataFolders)) {
    // Started from the wrong folder: nothing could be shown or heard.
    port::ShowMessageBoxUtf8(nullptr, NoDataBoxText(folder, data), kInitFailedCaption);
    return 1;
  }
  // Said once; the game then goes on as it does with any missing file.
  if (data.count > 0) std::fprintf(stderr, "%s\n", DataLine(folder, data).c_str());
  return RunProgram();
}
