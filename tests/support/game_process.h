#pragma once
// The game's own executable started as a child process for tests that need
// the whole program: its output to a log file, silent audio, and in the
// sanitizer build the leak check on with the system libraries kept loaded.
#include <stdio.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

namespace testsupport {

#ifdef POMELVANE_GAME_EXE
// Starts the game in folder, standard output and error to logPath, on the X
// display given, or with none (the offscreen driver) when display is null.
// The child's pid, or -1 when it could not be made.
inline pid_t StartGameIn(const std::string& folder, const std::string& logPath,
                         const char* display = nullptr) {
  const std::string supp = std::string(POMELVANE_SOURCE_DIR) + "/tools/lsan.supp";
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (::chdir(folder.c_str()) != 0) ::_exit(126);
  FILE* log = ::fopen(logPath.c_str(), "w");
  if (!log) ::_exit(126);
  ::dup2(::fileno(log), 1);
  ::dup2(::fileno(log), 2);
  ::unsetenv("WAYLAND_DISPLAY");
  if (display) {
    ::unsetenv("SDL_VIDEODRIVER");
    ::setenv("DISPLAY", display, 1);
  } else {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ::unsetenv("DISPLAY");
  }
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  // In the sanitizer build a leak fails the run: the system libraries' own
  // are suppressed, and kept loaded so they can be named.
  ::setenv("ASAN_OPTIONS", "detect_leaks=1:verify_asan_link_order=0", 1);
  ::setenv("LSAN_OPTIONS", ("suppressions=" + supp).c_str(), 1);
  ::setenv("LD_PRELOAD", POMELVANE_KEEP_LIBRARIES, 1);
  ::execl(POMELVANE_GAME_EXE, POMELVANE_GAME_EXE, static_cast<char*>(nullptr));
  ::_exit(127);
}
#endif

}  // namespace testsupport
