#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
  EXPECT_NE(DescribeMissingGameData(".").find("missing: data, AppearData)"), std::string::npos);

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
  EXPECT_NE(some.find("(missing: texture, data, AppearData)"), std::string::npos) << some;
  EXPECT_EQ(some.find("初期化に失敗"), std::string::npos) << some;
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
