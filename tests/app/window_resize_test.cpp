// The window resized, shrunk to a pixel, maximised, minimised and restored
// while the game runs: the picture stays whole and the game goes on exactly
// as it would have.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "actors/BattlePlayer.h"
#include "app/MenuItem.h"
#include "app/WindowProc.h"
#include "platform/GraphicsDevice.h"
#include "port/gl_shader.h"
#include "port/random.h"
#include "port/window_sdl.h"
#include "scenes/BattleScene.h"
#include "support/game_run.h"
#include "support/gl_context.h"

namespace {

using namespace gamerun;

port::gpu::Device& Device() { return *g_graphics.GetDevice(); }

// The waiting window events, handed on as the main loop hands them.
void HandleEvents() {
  port::WindowEvent e;
  while (port::PollWindowEvent(&e)) WindowProc(e);
}

void Send(SDL_WindowEventID id) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = static_cast<uint8_t>(id);
  event.window.windowID = SDL_GetWindowID(g_hWnd->sdl);
  SDL_PushEvent(&event);
}

// A new size, as a user's drag or the maximise box gives it. On X the
// window's back buffer is then made anew and what it held is gone: the
// offscreen driver keeps it, so it is wiped here as X would.
void Resize(int w, int h) {
  SDL_SetWindowSize(g_hWnd->sdl, w, h);
  GLint previous = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previous));
  HandleEvents();
}

// What the window shows at 640 by 480, rows top first.
std::vector<uint32_t> WindowPicture() {
  GLint previous = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  std::vector<uint32_t> rows(static_cast<size_t>(gltest::kWidth) * gltest::kHeight);
  glReadPixels(0, 0, gltest::kWidth, gltest::kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               rows.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
  std::vector<uint32_t> out(rows.size());
  for (int y = 0; y < gltest::kHeight; ++y)
    std::copy_n(&rows[static_cast<size_t>(gltest::kHeight - 1 - y) * gltest::kWidth],
                gltest::kWidth, &out[static_cast<size_t>(y) * gltest::kWidth]);
  return out;
}

// The same picture, drawn into the window or into the device's buffer:
// Mesa rasterises the window from the top down, so a few edge pixels may
// round the other way, by one level.
testing::AssertionResult SamePicture(const std::vector<uint32_t>& got,
                                     const std::vector<uint32_t>& want) {
  if (got.size() != want.size()) return testing::AssertionFailure() << "size " << got.size();
  size_t differ = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] == want[i]) continue;
    if (!gltest::NearArgb(got[i], want[i], 1) || ++differ > got.size() / 1000)
      return testing::AssertionFailure()
             << "pixel " << i << ": " << gltest::NearArgb(got[i], want[i], 1).message();
  }
  return testing::AssertionSuccess();
}

// The title and a ranking page keep their finished picture and present it
// again frame after frame; a change of size must not leave a lost one shown.
TEST(WindowResize, MenusThatKeepTheirPictureShowItWholeAtEverySize) {
  GameRun run;
  // The title maximised while it is drawn straight into the window.
  ASSERT_TRUE(run.Start(31));
  ASSERT_TRUE(Device().GetDrawIntoWindow());
  run.drawing = true;
  run.Frames(5);
  const std::vector<uint32_t> title = Device().ReadBackBuffer();
  Resize(1280, 960);
  EXPECT_FALSE(Device().GetDrawIntoWindow());
  EXPECT_TRUE(SamePicture(Device().ReadBackBuffer(), title));
  run.Frames(3);
  EXPECT_TRUE(SamePicture(Device().ReadBackBuffer(), title));
  Resize(640, 480);
  EXPECT_TRUE(SamePicture(WindowPicture(), title));

  // A ranking page, from a new start, through every kind of size.
  ASSERT_TRUE(run.Restart(31));
  ASSERT_TRUE(Device().GetDrawIntoWindow());
  run.Frames(5);
  while (g_app.menus.cursor != kItemRanking) run.Tap(kRight);
  run.Tap(kZ);
  ASSERT_GT(run.UntilScene(SceneRanking1, 5), 0);
  run.Frames(10);
  const std::vector<uint32_t> page = Device().ReadBackBuffer();
  ASSERT_FALSE(SamePicture(page, title));
  const struct {
    int w, h;
  } sizes[] = {{900, 500}, {1, 1}, {1280, 960}, {640, 480}, {641, 480}, {640, 480}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s.w << "x" << s.h);
    Resize(s.w, s.h);
    int w = 0, h = 0;
    port::GetWindowClientSize(g_hWnd, &w, &h);
    EXPECT_EQ(w, s.w);
    EXPECT_EQ(h, s.h);
    EXPECT_FALSE(Device().GetDrawIntoWindow());
    EXPECT_TRUE(SamePicture(Device().ReadBackBuffer(), page));
    run.Frames(3);
    EXPECT_EQ(g_app.currentScene, SceneRanking1);
    EXPECT_TRUE(SamePicture(Device().ReadBackBuffer(), page));
  }
  EXPECT_TRUE(SamePicture(WindowPicture(), page));
}

// What a battle frame leaves behind: where everyone is and stands.
struct BattleState {
  int32_t scene, phase, sceneFrame;
  std::vector<float> places;
  std::vector<int32_t> scores;
  bool operator==(const BattleState&) const = default;
};

BattleState StateOf() {
  BattleState s{g_app.currentScene, g_app.stagePhase, g_app.sceneFrame, {}, {}};
  for (int k = 0; k < 2; ++k) {
    const BattlePlayer& p = g_app.battlePlayers[k];
    s.places.insert(s.places.end(), {p.position.x, p.position.y, p.position.z, p.angle.y});
    s.scores.insert(s.scores.end(), {p.points, p.rank, p.mode});
  }
  return s;
}

struct BattleRecord {
  std::vector<BattleState> states;
  std::vector<std::vector<uint32_t>> pictures;
  int nextRandom = -1;
};

// Two players on pads from the title into a battle, fought for a while with
// scripted pads; with `disturb`, the window is resized, maximised, shrunk to
// a pixel, minimised and restored on the way.
BattleRecord PlayABattle(bool disturb) {
  BattleRecord record;
  GameRun run(2);
  if (!run.Start(1907)) return record;
  // Both runs copy the picture, so that they compare pixel for pixel.
  Device().SetDrawIntoWindow(false);
  run.Frames();
  run.Tap(kRight);
  run.Tap(kRight);
  run.Tap(kZ);
  if (run.UntilScene(SceneBattleSettings, 5) < 0) return record;
  while (g_app.menus.cursor != kItemStart) run.Tap(kDown);
  run.Tap(kZ);
  if (run.UntilScene(SceneCharacterSelect, 5) < 0) return record;
  for (int k = 0; k < 2; ++k)
    run.TapPadButton(k, g_app.battlePlayers[k].GetButton(kBattleActionAttack));
  if (run.UntilScene(SceneStageSelect, 200) < 0) return record;
  run.Tap(kDown);
  run.Tap(kZ);
  if (run.UntilScene(SceneBattle, 5) < 0) return record;

  run.drawing = true;
  for (int f = 0; f < 420; ++f) {
    if (disturb) {
      switch (f) {
        case 60:
          Resize(1024, 768);  // maximised
          break;
        case 61:
          Resize(1, 1);
          break;
        case 150:
          // Minimised: no longer the active window, whose frames only wait.
          Send(SDL_WINDOWEVENT_MINIMIZED);
          Send(SDL_WINDOWEVENT_FOCUS_LOST);
          Send(SDL_WINDOWEVENT_HIDDEN);
          HandleEvents();
          run.Frames(2);
          Send(SDL_WINDOWEVENT_SHOWN);
          Send(SDL_WINDOWEVENT_RESTORED);
          Send(SDL_WINDOWEVENT_FOCUS_GAINED);
          Send(SDL_WINDOWEVENT_EXPOSED);
          HandleEvents();
          break;
        case 300:
          Resize(640, 480);
          break;
        default:
          break;
      }
    }
    for (int k = 0; k < 2; ++k) {
      const BattlePlayer& p = g_app.battlePlayers[k];
      run.PadButton(k, p.GetButton(kBattleActionShift), (f / 90 + k) % 3 != 0);
      run.PadButton(k, p.GetButton(kBattleActionAttack), (f + 9 * k) % 20 == 0);
      run.PadButton(k, p.GetButton(kBattleActionJump), (f + 40 * k) % 150 == 0);
      run.PadStick(k, (f / 70 + k) % 3 - 1, (f / 110 + k) % 4 == 0 ? -1 : 0);
    }
    run.Frames();
    record.states.push_back(StateOf());
    if (f % 30 == 0) record.pictures.push_back(Device().ReadBackBuffer());
  }
  record.nextRandom = port::CrtRand();
  return record;
}

TEST(WindowResize, ABattleGoesOnAsIfTheWindowHadNotChanged) {
  const BattleRecord calm = PlayABattle(false);
  const BattleRecord disturbed = PlayABattle(true);
  ASSERT_EQ(calm.states.size(), 420u);
  ASSERT_EQ(disturbed.states.size(), calm.states.size());
  EXPECT_EQ(calm.states.back().scene, SceneBattle);
  EXPECT_NE(calm.states.front().places, calm.states.back().places) << "the players moved";
  for (size_t f = 0; f < calm.states.size(); ++f)
    ASSERT_TRUE(disturbed.states[f] == calm.states[f]) << "frame " << f;
  ASSERT_EQ(disturbed.pictures.size(), calm.pictures.size());
  for (size_t i = 0; i < calm.pictures.size(); ++i)
    EXPECT_TRUE(disturbed.pictures[i] == calm.pictures[i]) << "checkpoint " << i;
  EXPECT_EQ(disturbed.nextRandom, calm.nextRandom);
}

}  // namespace
