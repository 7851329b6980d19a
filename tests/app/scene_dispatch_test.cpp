#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/WindowProc.h"
#include "port/gpu.h"
#include "port/window.h"
#include "support/program_state.h"

namespace {

// Scenes 1 to 5 record their routines; what each does beyond that is set per test.
std::vector<std::string> g_log;
int32_t g_requestFromEnter = 0;   // written by scene 2's enter routine
int32_t g_requestFromUpdate = 0;  // written by scene 1's update routine
bool g_clearCurrentInUpdate = false;

void Log(const char* what, const Application& app) {
  g_log.push_back(std::string(what) + std::to_string(app.currentScene));
}

SceneTable RecordingTable() {
  SceneTable t{};
  for (int id = 1; id <= 5; ++id) {
    t[static_cast<size_t>(id)].enter = [](Application& app) {
      Log("enter", app);
      if (app.currentScene == 2 && g_requestFromEnter) app.requestedScene = g_requestFromEnter;
    };
    t[static_cast<size_t>(id)].update = [](Application& app) {
      Log("update", app);
      if (app.currentScene == 1 && g_requestFromUpdate) {
        app.requestedScene = g_requestFromUpdate;
        if (g_clearCurrentInUpdate) app.currentScene = SceneNone;
      }
    };
    t[static_cast<size_t>(id)].draw = [](Application& app) { Log("draw", app); };
  }
  // 6 draws only, as the numbers without a scene of their own do.
  t[6].draw = [](Application& app) { Log("draw", app); };
  return t;
}

struct SceneDispatchTest : ::testing::Test {
  SceneTable table = RecordingTable();
  Application app;
  void SetUp() override {
    g_log.clear();
    g_requestFromEnter = g_requestFromUpdate = 0;
    g_clearCurrentInUpdate = false;
    app.sceneTable = &table;
    app.windowActive = 1;
  }
  std::vector<std::string> Frame() {
    g_log.clear();
    app.Frame();
    return g_log;
  }
  using Calls = std::vector<std::string>;
};

TEST_F(SceneDispatchTest, RequestIsEnteredAtTheStartOfTheNextFrame) {
  app.requestedScene = 1;
  EXPECT_EQ(Frame(), (Calls{"enter1", "update1", "draw1"}));
  EXPECT_EQ(app.requestedScene, 0);
  EXPECT_EQ(Frame(), (Calls{"update1", "draw1"}));

  // Requested during an update: this frame still draws the old scene.
  g_requestFromUpdate = 3;
  EXPECT_EQ(Frame(), (Calls{"update1", "draw1"}));
  EXPECT_EQ(app.currentScene, 1);
  EXPECT_EQ(app.requestedScene, 3);
  EXPECT_EQ(Frame(), (Calls{"enter3", "update3", "draw3"}));
}

TEST_F(SceneDispatchTest, SceneThatClearsItselfDrawsNothingThatFrame) {
  app.requestedScene = 1;
  Frame();
  g_requestFromUpdate = 4;
  g_clearCurrentInUpdate = true;
  EXPECT_EQ(Frame(), (Calls{"update1"}));
  EXPECT_EQ(app.currentScene, 0);
  EXPECT_EQ(Frame(), (Calls{"enter4", "update4", "draw4"}));
}

TEST_F(SceneDispatchTest, RequestWrittenByAnEnterRoutineIsDropped) {
  g_requestFromEnter = 5;
  app.requestedScene = 2;
  EXPECT_EQ(Frame(), (Calls{"enter2", "update2", "draw2"}));
  EXPECT_EQ(app.requestedScene, 0);
  EXPECT_EQ(Frame(), (Calls{"update2", "draw2"}));
}

// The frame timer's clock, recording the sleeps asked of it.
struct SleepLog : FrameTimer::Clock {
  std::vector<double> sleeps;
  bool QueryFrequency(int64_t* frequency) override {
    *frequency = 0;
    return false;
  }
  int64_t QueryCounter() override { return 0; }
  uint32_t TimeMs() override { return 0; }
  void Sleep(double ms) override { sleeps.push_back(ms); }
};

TEST_F(SceneDispatchTest, InactiveFrameOnlySleeps) {
  app.requestedScene = 1;
  app.windowActive = 0;
  SleepLog clock;
  g_frameTimer.SetClock(&clock);
  EXPECT_TRUE(Frame().empty());
  g_frameTimer.SetClock(nullptr);
  EXPECT_EQ(clock.sleeps, std::vector<double>{500.0});
  // The request waits for the first active frame.
  EXPECT_EQ(app.requestedScene, 1);
  EXPECT_EQ(app.currentScene, 0);
  app.windowActive = 1;
  EXPECT_EQ(Frame(), (Calls{"enter1", "update1", "draw1"}));
}

TEST_F(SceneDispatchTest, NumbersWithoutRoutinesStillBecomeCurrent) {
  for (int32_t id : {6, 9, 10, 26, 1000, -1}) {
    app.requestedScene = id;
    Calls frame = Frame();
    EXPECT_EQ(app.currentScene, id);
    EXPECT_EQ(app.requestedScene, 0);
    if (id == 6)
      EXPECT_EQ(frame, (Calls{"draw6"}));
    else
      EXPECT_TRUE(frame.empty()) << id;
  }
  // Nothing current: a paint draws nothing.
  app.currentScene = SceneNone;
  g_log.clear();
  app.Draw();
  EXPECT_TRUE(g_log.empty());
}

TEST_F(SceneDispatchTest, LeaveSceneClearsTheCurrentScene) {
  app.currentScene = 3;
  app.LeaveScene();
  EXPECT_EQ(app.currentScene, 0);
}

TEST(GameSceneTable, EveryNumberHasTheRoutinesOfItsScene) {
  const SceneTable& t = GameSceneTable();
  EXPECT_EQ(t[0].enter, nullptr);
  EXPECT_EQ(t[0].draw, nullptr);
  for (int id : {1, 2, 3, 4, 5, 8, 11, 12, 13, 14, 15, 16, 17, 18, 21, 22, 25}) {
    EXPECT_NE(t[static_cast<size_t>(id)].enter, nullptr) << id;
    EXPECT_NE(t[static_cast<size_t>(id)].update, nullptr) << id;
    EXPECT_NE(t[static_cast<size_t>(id)].draw, nullptr) << id;
  }
  for (int id : {6, 7}) {
    EXPECT_EQ(t[static_cast<size_t>(id)].enter, nullptr);
    EXPECT_EQ(t[static_cast<size_t>(id)].update, nullptr);
    EXPECT_EQ(t[static_cast<size_t>(id)].draw, t[3].draw);
  }
  for (int id : {9, 10}) {
    EXPECT_EQ(t[static_cast<size_t>(id)].enter, nullptr);
    EXPECT_EQ(t[static_cast<size_t>(id)].draw, nullptr);
  }
  // The stages and the sokai stage share one draw; the pages share their routines.
  EXPECT_EQ(t[8].draw, t[3].draw);
  EXPECT_EQ(t[5].draw, t[3].draw);
  for (int id = 19; id <= 21; ++id) EXPECT_EQ(t[static_cast<size_t>(id)].update, t[18].update);
  for (int id = 23; id <= 25; ++id) EXPECT_EQ(t[static_cast<size_t>(id)].update, t[22].update);
  EXPECT_NE(t[18].update, t[22].update);
}

TEST(Application, VertexShaderVersionTest) {
  port::gpu::Caps caps;
  caps.vertexShaderVersion = 0xFFFE0101;
  EXPECT_TRUE(Application::HasVertexShader11(caps));
  caps.vertexShaderVersion = 0xFFFE0300;
  EXPECT_TRUE(Application::HasVertexShader11(caps));
  caps.vertexShaderVersion = 0xFFFE0100;
  EXPECT_FALSE(Application::HasVertexShader11(caps));
  caps.vertexShaderVersion = 0;
  EXPECT_FALSE(Application::HasVertexShader11(caps));
}

// The window events reach the global application and quit flag; both come
// back as they were.
struct WindowProcTest : ::testing::Test {
  testsupport::ScopedProgramState state;
  SceneTable table = RecordingTable();
  void SetUp() override {
    testsupport::ScopedProgramState::Reset();
    g_log.clear();
    g_app.sceneTable = &table;
  }
  static void Send(port::WindowEventKind kind) { WindowProc(port::WindowEvent{kind}); }
};

TEST_F(WindowProcTest, ActivationFollowsShowAndFocus) {
  EXPECT_EQ(g_app.windowActive, 0);
  Send(port::WindowEventKind::Shown);
  EXPECT_EQ(g_app.windowActive, 1);
  Send(port::WindowEventKind::FocusLost);
  EXPECT_EQ(g_app.windowActive, 0);
  Send(port::WindowEventKind::Other);
  EXPECT_EQ(g_app.windowActive, 0);
  Send(port::WindowEventKind::FocusGained);
  EXPECT_EQ(g_app.windowActive, 1);
  EXPECT_EQ(g_quit, 0);
}

TEST_F(WindowProcTest, CloseAndQuitSetTheQuitFlag) {
  Send(port::WindowEventKind::Close);
  EXPECT_EQ(g_quit, 1);
  EXPECT_EQ(g_quit, g_frameTimer.quit);
  g_quit = 0;
  Send(port::WindowEventKind::Quit);
  EXPECT_EQ(g_quit, 1);
}

TEST_F(WindowProcTest, ExposeDrawsTheCurrentSceneOnly) {
  Send(port::WindowEventKind::Exposed);  // nothing current yet
  EXPECT_TRUE(g_log.empty());
  g_app.currentScene = 4;
  Send(port::WindowEventKind::Exposed);
  EXPECT_EQ(g_log, (std::vector<std::string>{"draw4"}));
}

}  // namespace
