#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/Program.h"
#include "app/WindowProc.h"
#include "port/input.h"
#include "port/window.h"
#include "support/gl_context.h"
#include "support/program_state.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Runs each test in a scratch folder of its own, so nothing touches the
// run folder's save files.
struct InScratchFolder : ::testing::Test {
  testsupport::ScopedProgramState state;  // reading the option file sets the buttons and volume
  testsupport::TempDir dir;
  testsupport::ScopedCwd cwd{dir.path()};
  void SetUp() override { fs::create_directories(dir.path() / "save"); }
  void WriteOptions(const std::string& bytes) { dir.Write("save/option.sav", bytes); }
};

using OptionFileTest = InScratchFolder;

TEST_F(OptionFileTest, ScreenModeIsTheFirstValue) {
  Application app;
  EXPECT_EQ(app.ReadOptionFile(), 0);  // no file: a window

  WriteOptions("\x89\xe6\x96\xca=1\r\nview=0\r\nvol=500\r\n");
  EXPECT_EQ(app.ReadOptionFile(), 1);
  EXPECT_EQ(app.options.screenMode, 1);

  WriteOptions("mode=0\nview=1\n");
  EXPECT_EQ(app.ReadOptionFile(), 0);
}

TEST_F(OptionFileTest, DamagedFileStartsInAWindow) {
  Application app;
  for (const char* bytes : {"", "no equals sign", "mode=", "mode=abc\n", "mode=7\n", "mode=-1\n",
                            "mode=256\n", "=99999999999999999999999999\n"}) {
    WriteOptions(bytes);
    EXPECT_EQ(app.ReadOptionFile(), 0) << bytes;
  }
  // A folder where the file should be.
  fs::remove(dir.path() / "save" / "option.sav");
  fs::create_directory(dir.path() / "save" / "option.sav");
  EXPECT_EQ(app.ReadOptionFile(), 0);
}

// Runs the whole program on g_app; the program-wide state and the
// environment come back as they were.
struct ProgramTest : InScratchFolder {
  // Never reach a real display, where a message box would wait for a click.
  testsupport::ScopedEnv display{"DISPLAY", nullptr};
  testsupport::ScopedEnv wayland{"WAYLAND_DISPLAY", nullptr};
  testsupport::ScopedEnv videoDriver{"SDL_VIDEODRIVER", "offscreen"};
  void SetUp() override {
    InScratchFolder::SetUp();
    testsupport::ScopedProgramState::Reset();
  }
};

TEST_F(ProgramTest, StartUpFailureWithoutDisplayEndsWithStatusZero) {
  videoDriver.Set("nonexistent");
  ::testing::internal::CaptureStderr();
  int status = RunProgram();
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0);
  EXPECT_NE(err.find("初期化に失敗"), std::string::npos) << err;
  EXPECT_NE(err.find("ERROR"), std::string::npos) << err;
  EXPECT_EQ(g_hWnd, nullptr);
  EXPECT_EQ(g_app.currentScene, 0);  // no frame ran
  EXPECT_TRUE(fs::is_empty(dir.path() / "save"));
}

// The title's exit item sets the quit flag inside a frame: that frame
// finishes, and no further frame runs.
int g_updates = 0;
int g_draws = 0;

TEST_F(ProgramTest, QuitInsideAFrameEndsTheLoopAfterThatFrame) {
  g_updates = g_draws = 0;
  SceneTable table{};
  table[SceneTitle].update = [](Application&) {
    if (++g_updates == 3) g_quit = 1;
  };
  table[SceneTitle].draw = [](Application&) { ++g_draws; };
  g_app.sceneTable = &table;
  int status = RunProgram();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_updates, 3);
  EXPECT_EQ(g_draws, 3);
  EXPECT_EQ(g_app.currentScene, SceneTitle);
  EXPECT_EQ(g_hWnd, nullptr);
  EXPECT_TRUE(fs::is_empty(dir.path() / "save"));
}

using MainLoop = ProgramTest;

TEST_F(MainLoop, QuitAlreadySetSkipsTheLoop) {
  g_quit = 1;
  g_app.windowActive = 1;
  g_app.requestedScene = SceneTitle;
  RunMainLoop();
  EXPECT_EQ(g_app.currentScene, 0);
}

}  // namespace

namespace {

// Starts the services on the window in the given folder and reports whether
// the toon effect came up.
class ApplicationInit : public gltest::WindowTest {
 protected:
  int ToonEffectIn(const fs::path& folder) {
    testsupport::ScopedCwd cwd(folder);
    Application app;
    EXPECT_TRUE(app.Init(window_, 0, 640, 480));
    const int toon = app.toonEffectAvailable;
    EXPECT_EQ(app.requestedScene, SceneTitle);
    app.Shutdown();
    app.Shutdown();  // the exit-time second release does nothing
    return toon;
  }
};

TEST_F(ApplicationInit, ToonEffectOnlyWithTheEffectFile) {
  EXPECT_EQ(ToonEffectIn(POMELVANE_RUN_DIR), 1);
  // Without it, models skin in software.
  testsupport::TempDir empty;
  fs::create_directories(empty.path() / "save");
  EXPECT_EQ(ToonEffectIn(empty.path()), 0);
}

TEST_F(ProgramTest, LeavingASceneReleasesItsTextures) {
  Application app;
  app.sceneTextures.resize(3);
  app.currentScene = SceneTitle;
  app.LeaveScene();
  EXPECT_TRUE(app.sceneTextures.empty());
  EXPECT_EQ(app.currentScene, 0);
  app.ReleaseSceneTextures();  // again: nothing left to release
}

}  // namespace

using MissingDataTest = InScratchFolder;

TEST_F(MissingDataTest, NamesTheFolderAndWhatIsMissing) {
  const std::string line = DescribeMissingGameData("/some/where");
  EXPECT_NE(line.find("/some/where"), std::string::npos) << line;
  EXPECT_NE(line.find("missing: Xfile, texture, sound, data, AppearData"), std::string::npos)
      << line;

  // Letter case as the data paths accept it.
  fs::create_directory(dir.path() / "Xfile");
  fs::create_directory(dir.path() / "TEXTURE");
  fs::create_directory(dir.path() / "sound");
  dir.Write("data", "a file, not a folder");
  // The game starts without them: no claim that there is no data.
  EXPECT_EQ(DescribeMissingGameData("."), "Pomelvane: .: data folders missing: data, AppearData.");

  fs::remove(dir.path() / "data");
  fs::create_directory(dir.path() / "data");
  fs::create_directory(dir.path() / "AppearData");
  EXPECT_EQ(DescribeMissingGameData("."), "");
}

// The program as started, by the data it finds in its folder.
int g_exitFrames = 0;

TEST_F(ProgramTest, WithoutItsDataTheProgramSaysWhereItLookedAndEndsWithOne) {
  const std::string folder = fs::current_path().string();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ProgramMain(), 1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  // The start-up failure message, written out as every message box is.
  EXPECT_EQ(err.rfind("ERROR: 初期化に失敗\n", 0), 0u) << err;
  EXPECT_NE(err.find("no game data in " + folder), std::string::npos) << err;
  EXPECT_NE(err.find("(missing: Xfile, texture, sound, data, AppearData)"), std::string::npos)
      << err;
  EXPECT_EQ(g_hWnd, nullptr);
  EXPECT_EQ(g_app.currentScene, 0);  // no window, no frame
  EXPECT_TRUE(fs::is_empty(dir.path() / "save"));

  // Some folders there: the game starts as before, naming the others.
  fs::create_directory(dir.path() / "Xfile");
  fs::create_directory(dir.path() / "sound");
  SceneTable table{};
  table[SceneTitle].update = [](Application&) { g_quit = 1; };
  g_app.sceneTable = &table;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ProgramMain(), 0);
  const std::string some = ::testing::internal::GetCapturedStderr();
  g_app.sceneTable = nullptr;
  EXPECT_EQ(g_app.currentScene, SceneTitle);
  EXPECT_NE(some.find(folder + ": data folders missing: texture, data, AppearData."),
            std::string::npos)
      << some;
  EXPECT_EQ(some.find("no game data"), std::string::npos) << some;
  EXPECT_EQ(some.find("初期化に失敗"), std::string::npos) << some;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The message box does not wrap: the failure message keeps its lines, and a
// long folder goes over lines short enough for any screen, broken after a
// '/' where it can be and never inside a character.
TEST_F(ProgramTest, TheNoDataMessageKeepsItsLinesAndBreaksALongFolderOverSeveral) {
  constexpr size_t kMostBytes = 64;
  const std::string head = "Pomelvane: no game data in ";
  struct Case {
    const char* name;
    fs::path folder;   // below the scratch folder
    bool slashesOnly;  // every break after a '/'
  };
  fs::path deep;
  while (deep.string().size() < 150) deep /= "a-folder-of-the-user";
  const Case cases[] = {
      {"the scratch folder", ".", true},
      {"150 characters in folders", deep, true},
      {"one name of 150 characters", std::string(150, 'n'), false},
      {"a long name of wide characters",
       "データ" + std::string(50, 'x') + "フォルダ名前長い長い長い長い長い長い長い", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directories(dir.path() / c.folder);
    testsupport::ScopedCwd in(dir.path() / c.folder);
    const std::string folder = fs::current_path().string();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ProgramMain(), 1);
    const std::vector<std::string> lines = Lines(::testing::internal::GetCapturedStderr());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "ERROR: 初期化に失敗");
    EXPECT_EQ(lines[lines.size() - 2], "(missing: Xfile, texture, sound, data, AppearData).");
    EXPECT_EQ(lines.back(),
              "Start the game from the folder that holds its data (build/run after a build).");
    // The lines between: the head and the whole folder.
    std::string joined;
    for (size_t i = 1; i + 2 < lines.size(); ++i) {
      const std::string& line = lines[i];
      joined += line;
      EXPECT_LE(line.size(), kMostBytes) << line;
      EXPECT_NE(static_cast<unsigned char>(line[0]) & 0xC0, 0x80) << "a character cut: " << line;
      if (c.slashesOnly && i + 3 < lines.size()) {
        EXPECT_TRUE(line == head || line.ends_with('/')) << line;
      }
    }
    EXPECT_EQ(joined, head + folder);
    if ((head + folder).size() <= kMostBytes) {
      EXPECT_EQ(lines.size(), 4u);
    }
  }
}

// Runs `check` in a child process bound by file modes: the test's own user,
// or nobody where the test runs as root (whom no mode stops). What the child
// wrote on standard error, then the check's answer (or how it ended when it
// did not answer within a minute); nullopt when no such process can be made
// here.
std::optional<std::string> AsAUserBoundByModes(const std::function<std::string()>& check) {
  int out[2];
  if (::pipe(out) != 0) return std::nullopt;
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    ::close(out[0]);
    ::dup2(out[1], 2);
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
      ::_exit(2);
    // A check that starts the game instead of ending fails, not hangs.
    ::alarm(60);
    // Modes that do not bind (a capability kept) leave nothing to test.
    if (DIR* d = ::opendir("texture")) {
      ::closedir(d);
      ::_exit(3);
    }
    const std::string answer = check();
    std::fflush(stderr);
    const bool written =
        ::write(out[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
    ::_exit(written ? 0 : 1);
  }
  ::close(out[1]);
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return got + "\nended by signal " + std::to_string(WTERMSIG(status));
  if (WEXITSTATUS(status) == 2 || WEXITSTATUS(status) == 3) return std::nullopt;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  return got;
}

// A folder the player may not read (no read or no search permission, as a
// mode or another owner gives) is no data to the game: with some such, the
// game starts and names them; with all, the start-up failure message says so
// and the program ends with 1.
TEST_F(ProgramTest, FoldersThatCannotBeReadCountAsMissing) {
  for (const char* name : {"Xfile", "texture", "sound", "data", "AppearData"})
    fs::create_directory(dir.path() / name);
  fs::permissions(dir.path(),
                  fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::permissions(dir.path() / "texture", fs::perms::none);
  fs::permissions(dir.path() / "sound", fs::perms::owner_write | fs::perms::owner_exec);  // no list
  fs::permissions(dir.path() / "data", fs::perms::owner_read);  // no search
  fs::remove(dir.path() / "AppearData");
  const std::optional<std::string> some =
      AsAUserBoundByModes([] { return DescribeMissingGameData("."); });
  if (!some) GTEST_SKIP() << "no process here is stopped by a folder's mode";
  EXPECT_EQ(
      *some,
      "Pomelvane: .: data folders missing: AppearData; cannot be read: texture, sound, data.");

  fs::create_directory(dir.path() / "AppearData");
  for (const char* name : {"Xfile", "AppearData"})
    fs::permissions(dir.path() / name, fs::perms::none);
  const std::optional<std::string> none =
      AsAUserBoundByModes([] { return "status " + std::to_string(ProgramMain()); });
  ASSERT_TRUE(none);
  EXPECT_NE(none->find("ERROR: 初期化に失敗\nPomelvane: no game data in "), std::string::npos)
      << *none;
  EXPECT_NE(none->find("\n(cannot be read: Xfile, texture, sound, data, AppearData).\n"),
            std::string::npos)
      << *none;
  EXPECT_TRUE(none->ends_with("status 1")) << *none;
  for (const char* name : {"Xfile", "texture", "sound", "data", "AppearData"})
    fs::permissions(dir.path() / name, fs::perms::owner_all);
}

// Every folder there, but the save folder a file: the title's exit item
// cannot write, names the files and the program still ends with 0.
TEST_F(ProgramTest, ASaveFolderThatCannotBeWrittenStillEndsWithZero) {
  for (const char* name : {"Xfile", "texture", "sound", "data", "AppearData"})
    fs::create_directory(dir.path() / name);
  fs::remove_all(dir.path() / "save");
  dir.Write("save", "a file where the folder should be");
  g_exitFrames = 0;
  SceneTable table = GameSceneTable();
  table[SceneTitle].update = [](Application& a) {
    ++g_exitFrames;
    port::SetTestKey(port::kKeyEscape, g_exitFrames == 3);
    port::SetTestKey(port::kKeyZ, g_exitFrames == 5);
    a.UpdateTitle();
  };
  g_app.sceneTable = &table;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ProgramMain(), 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  g_app.sceneTable = nullptr;
  port::ClearTestKeys();
  g_app.ReleaseSceneTextures();
  EXPECT_EQ(g_exitFrames, 5);
  for (const char* f : {kOptionFile, kNormalRankingFile, kSokaiRankingFile})
    EXPECT_NE(err.find(f), std::string::npos) << err;
  EXPECT_EQ(err.find("no game data"), std::string::npos) << err;
}
