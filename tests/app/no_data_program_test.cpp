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

// Runs the game in folder with the given display (null: none) for at most
// limit; a game still running then is killed.
Ended RunIn(const fs::path& folder, const char* display, std::chrono::seconds limit) {
  Ended run;
  const std::string logPath = (folder / "game.log").string();
  const pid_t pid = testsupport::StartGameIn(folder.string(), logPath, display);
  if (pid < 0) return run;
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!(run.exited = ::waitpid(pid, &status, WNOHANG) == pid) &&
         std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(20ms);
  if (!run.exited) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.log = testsupport::ReadAll(logPath);
  return run;
}

TEST(GameWithoutData, SaysWhereItLookedAndEndsAtOnceWithoutADisplayOrWithADeadOne) {
  // No display at all, and one that nobody serves: the box cannot show and
  // must not wait.
  for (const char* display : {static_cast<const char*>(nullptr), ":9731"}) {
    SCOPED_TRACE(display ? display : "no display");
    testsupport::TempDir dir;
    const Ended run = RunIn(dir.path(), display, 20s);
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

TEST(GameWithoutData, SomeFoldersThereStillStartsAndNamesTheOthers) {
  testsupport::TempDir dir;
  fs::create_directory(dir.path() / "texture");
  fs::create_directory(dir.path() / "data");
  const Ended run = RunIn(dir.path(), nullptr, 3s);
  EXPECT_FALSE(run.exited) << "still running when stopped: " << run.log;
  EXPECT_NE(run.log.find("(missing: Xfile, sound, AppearData)"), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find("初期化に失敗"), std::string::npos) << run.log;
}

}  // namespace

#endif  // POMELVANE_GAME_EXE
