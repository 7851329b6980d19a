// The game itself on files that lie about their size or kind: it starts,
// plays on without them, holds no more memory than on clean data and ends
// with status 0 when asked to close.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/game_process.h"
#include "support/hostile_files.h"
#include "support/temp_dir.h"

#ifdef POMELVANE_GAME_EXE

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

struct GameRun {
  bool started = false;  // still running when its memory had settled
  int status = -1;       // the exit status, -1 when it did not exit normally
  uint64_t peakKb = 0;
  std::string log;  // standard output and error
};

// A private copy of the run folder: the folders made, every file linked,
// the save folder left out; `spoil` then puts its files in place.
void MirrorRunFolder(const fs::path& to, const std::function<void(const fs::path&)>& spoil) {
  const fs::path from = POMELVANE_RUN_DIR;
  for (auto it = fs::recursive_directory_iterator(from); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path rel = fs::relative(it->path(), from);
    if (rel == "save") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_directory())
      fs::create_directories(to / rel);
    else
      fs::create_symlink(it->path(), to / rel);
  }
  fs::create_directories(to / "save");
  spoil(to);
}

// The processor time the process has used so far, in clock ticks.
uint64_t CpuTicksOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t name = stat.rfind(')');  // the name may hold spaces
  if (name == std::string::npos) return 0;
  std::istringstream fields(stat.substr(name + 1));
  std::string skipped;
  for (int field = 3; field < 14; ++field) fields >> skipped;
  uint64_t user = 0, system = 0;
  fields >> user >> system;
  return user + system;
}

// Runs the game in `folder` with no display and silent audio until its
// resident memory has settled (at most `limit`), then asks it to close as
// the desktop would. Settled: no higher peak for a second, over which the
// game also ran a twentieth of a second of its own, so a game the machine
// starves meanwhile has not settled.
GameRun RunGame(const fs::path& folder, std::chrono::seconds limit = 30s) {
  GameRun run;
  const std::string logPath = (folder / "game.log").string();
  const pid_t pid = testsupport::StartGameIn(folder.string(), logPath);
  if (pid < 0) return run;
  const uint64_t settleTicks = std::max<uint64_t>(1, ::sysconf(_SC_CLK_TCK) / 20);
  const auto end = std::chrono::steady_clock::now() + limit;
  uint64_t last = 0, ticksAtLast = 0;
  auto timeAtLast = std::chrono::steady_clock::now();
  int status = 0;
  bool exited = false;
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(100ms);
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      break;
    }
    const uint64_t peak = testsupport::ResidentOf(std::to_string(pid)).peakKb;
    const uint64_t ticks = CpuTicksOf(pid);
    const auto now = std::chrono::steady_clock::now();
    if (peak != last || peak == 0) {
      last = peak;
      ticksAtLast = ticks;
      timeAtLast = now;
    } else if (now - timeAtLast >= 1s && ticks - ticksAtLast >= settleTicks) {
      break;
    }
  }
  run.peakKb = last;
  run.started = !exited;
  if (!exited) {
    ::kill(pid, SIGTERM);
    const auto stop = std::chrono::steady_clock::now() + 60s;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
      if (std::chrono::steady_clock::now() > stop) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(20ms);
    }
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.log = testsupport::ReadAll(logPath);
  return run;
}

void WriteFile(const fs::path& path, const testsupport::Bytes& bytes) {
  fs::remove(path);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// The effects the title loads.
const char* const kTitleSounds[] = {"sound/system/sha00.wav", "sound/system/puu28.wav",
                                    "sound/system/kachi24.wav", "sound/system/gun16.wav"};

TEST(HostileFilesInTheGame, StartsPlaysOnAndHoldsNoMoreMemory) {
  if (!fs::exists(fs::path(POMELVANE_RUN_DIR) / "sound/system/sha00.wav"))
    GTEST_SKIP() << "no generated data";
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> spoil;
    std::vector<std::string> named;  // files the log must name
  };
  std::vector<std::string> sounds(std::begin(kTitleSounds), std::end(kTitleSounds));
  const Case cases[] = {
      {"clean data", [](const fs::path&) {}, {}},
      {"40-byte VOC files in place of the effects",
       [](const fs::path& d) {
         for (const char* s : kTitleSounds) WriteFile(d / s, testsupport::LyingVoc());
       },
       sounds},
      {"9-byte fLaC files in place of the effects",
       [](const fs::path& d) {
         for (const char* s : kTitleSounds) WriteFile(d / s, testsupport::FlacStub());
       },
       sounds},
      {"a 1 GiB sparse option file",
       [](const fs::path& d) {
         ASSERT_TRUE(testsupport::MakeSparseFile((d / "save/option.sav").string(),
                                                 uint64_t{1} << 30, "vol=0\r\n"));
       },
       {"option.sav"}},
  };
  uint64_t cleanKb = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir dir;
    MirrorRunFolder(dir.path(), c.spoil);
    const GameRun run = RunGame(dir.path());
    EXPECT_TRUE(run.started) << run.log;
    EXPECT_EQ(run.status, 0) << run.log;
    for (const std::string& name : c.named)
      EXPECT_NE(run.log.find(name), std::string::npos) << run.log;
    // A line per refused file at most, never a flood.
    EXPECT_LT(std::count(run.log.begin(), run.log.end(), '\n'), 40) << run.log.substr(0, 4000);
    if (cleanKb == 0) {
      cleanKb = run.peakKb;
      ASSERT_GT(cleanKb, 0u);
      continue;
    }
    RecordProperty(std::string("peak_kb_") + std::to_string(&c - cases),
                   std::to_string(run.peakKb));
    std::printf("%s: peak resident %llu kB (clean start %llu kB)\n", c.name,
                static_cast<unsigned long long>(run.peakKb),
                static_cast<unsigned long long>(cleanKb));
    EXPECT_LT(run.peakKb, cleanKb + 50 * 1024);
  }
}

}  // namespace

#endif  // POMELVANE_GAME_EXE
