#pragma once
// The main window's event handler and the program-wide window values.
#include <cstdint>

#include "port/window.h"

extern port::Window* g_hWnd;
extern uint8_t g_fullScreen;  // 1 full screen, 0 window

void WindowProc(const port::WindowEvent& event);
