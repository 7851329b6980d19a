// The game itself started from a folder without its data: it says where it
// looked and what is missing, and ends at once with a status other than 0,
// whether or not a message box can be shown.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/game_process.h"
#include "support/temp_dir.h"

#ifdef POMELVANE_GAME_EXE

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

struct Ended {
  bool exited = false;  // on its own, within the time allowed
  int status = -1;
  std::string log;  // standard output and error
};

// Waits for pid to end, for at most limit; a game still running then is
// killed. Its exit status, or -1 when it did not exit on its own.
int WaitFor(pid_t pid, std::chrono::seconds limit, bool* exited) {
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!(*exited = ::waitpid(pid, &status, WNOHANG) == pid) &&
         std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(20ms);
  if (!*exited) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  return *exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the game in folder with the given display (null: none) until it ends,
// for at most a generous limit.
Ended RunIn(const fs::path& folder, const char* display) {
  Ended run;
  const std::string logPath = (folder / "game.log").string();
  const pid_t pid = testsupport::StartGameIn(folder.string(), logPath, display);
  if (pid < 0) return run;
  run.status = WaitFor(pid, 60s, &run.exited);
  run.log = testsupport::ReadAll(logPath);
  return run;
}

// True once the process handles a close request (SIGTERM) itself: its video
// and events are up, the data check behind it.
bool HandlesCloseRequests(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string key; status >> key;) {
    if (key != "SigCgt:") continue;
    std::string mask;
    status >> mask;
    return (std::stoull(mask, nullptr, 16) >> (SIGTERM - 1)) & 1;
  }
  return false;
}

TEST(GameWithoutData, SaysWhereItLookedAndEndsAtOnceWithoutADisplayOrWithADeadOne) {
  // No display at all, and one that nobody serves: the box cannot show and
  // must not wait.
  for (const char* display : {static_cast<const char*>(nullptr), ":9731"}) {
    SCOPED_TRACE(display ? display : "no display");
    testsupport::TempDir dir;
    const Ended run = RunIn(dir.path(), display);
    ASSERT_TRUE(run.exited) << run.log;
    EXPECT_EQ(run.status, 1) << run.log;
    EXPECT_NE(run.log.find("ERROR: 初期化に失敗"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("no game data in " + fs::canonical(dir.path()).string()),
              std::string::npos)
        << run.log;
    EXPECT_NE(run.log.find("(missing: Xfile, texture, sound, data, AppearData)"), std::string::npos)
        << run.log;
    // Nothing written: no save folder made.
    EXPECT_FALSE(fs::exists(dir.path() / "save"));
  }
}

// Started with some folders there, the game names the others and runs on:
// it comes up, and closes with 0 when asked as the desktop would.
TEST(GameWithoutData, SomeFoldersThereStillStartsAndNamesTheOthers) {
  testsupport::TempDir dir;
  fs::create_directory(dir.path() / "texture");
  fs::create_directory(dir.path() / "data");
  const std::string logPath = (dir.path() / "game.log").string();
  const pid_t pid = testsupport::StartGameIn(dir.path().string(), logPath);
  ASSERT_GT(pid, 0);
  const auto end = std::chrono::steady_clock::now() + 60s;
  bool ended = false;
  while (!HandlesCloseRequests(pid) && std::chrono::steady_clock::now() < end &&
         !(ended = ::waitpid(pid, nullptr, WNOHANG) == pid))
    std::this_thread::sleep_for(20ms);
  ASSERT_FALSE(ended) << testsupport::ReadAll(logPath);
  ::kill(pid, SIGTERM);
  bool exited = false;
  EXPECT_EQ(WaitFor(pid, 60s, &exited), 0);
  const std::string log = testsupport::ReadAll(logPath);
  EXPECT_NE(log.find(fs::canonical(dir.path()).string() +
                     ": data folders missing: Xfile, sound, AppearData."),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("no game data"), std::string::npos) << log;
  EXPECT_EQ(log.find("初期化に失敗"), std::string::npos) << log;
}

}  // namespace

#endif  // POMELVANE_GAME_EXE
