#pragma once
// Start-up, the main loop and shut-down of the program.
#include <cstdint>
#include <string>

namespace port {
class Window;
}

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kFramesPerSecond = 60;

// The data folders the game reads from its working directory, by name; a
// folder it may not read counts as missing. Empty when all are there;
// otherwise one line for standard error naming the folder looked in and the
// folders missing or unreadable: with none there, "no game data in" it.
std::string DescribeMissingGameData(const std::string& folder);

// The whole run, from reading the option file to the last release. Always 0,
// the start-up failure included.
int RunProgram();

// The program as started. The data folders are looked for first: with none of
// them there, the start-up failure message names the folder (a long path
// broken over lines: the box does not wrap) and what is missing, and the
// program ends with 1 without opening a window; with some missing, standard
// error names them and the game starts all the same. Otherwise RunProgram's 0.
int ProgramMain();

// Creates the hidden main window into g_hWnd; null when there is no display.
void CreateMainWindow(bool fullScreen, int width, int height, const char* title);
// Shows the window: it counts as active from here, and shows white until the
// first frame draws.
void ShowMainWindow(port::Window* window);
// Handles one waiting event per pass, else runs a frame when one is due,
// until g_quit is set.
void RunMainLoop();
