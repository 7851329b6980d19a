#pragma once
// The program-wide state that the program, main-loop and window-event tests
// change through RunProgram, Application::Init and WindowProc: the frame timer
// (with g_quit), the window values, the scene state of g_app, and what the
// option file sets elsewhere (g_player's buttons, the master volume). The
// guard saves them when built and puts them back when it goes; Reset gives a
// test the state of a program that has not started. g_app's state is copied
// struct by struct, so a field added to one of them is kept without a word
// here; a new struct needs its line.
#include <cstdint>

#include "actors/Player.h"
#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/WindowProc.h"
#include "platform/SoundManager.h"

namespace testsupport {

class ScopedProgramState {
 public:
  ScopedProgramState()
      : timer_(g_frameTimer),
        window_(g_hWnd),
        fullScreen_(g_fullScreen),
        shared_(g_app),
        stageMode_(g_app.stageMode),
        sokai_(g_app.sokai),
        battle_(g_app.battle),
        menus_(g_app.menus),
        title_(g_app.title),
        result_(g_app.result),
        masterVolume_(g_sound.masterVolume) {
    for (int a = 0; a < Player::kActionCount; ++a) buttons_[a] = g_player.GetButton(a);
  }
  ~ScopedProgramState() {
    g_frameTimer = timer_;
    g_hWnd = window_;
    g_fullScreen = fullScreen_;
    static_cast<SharedSceneState&>(g_app) = shared_;
    g_app.stageMode = stageMode_;
    g_app.sokai = sokai_;
    g_app.battle = battle_;
    g_app.menus = menus_;
    g_app.title = title_;
    g_app.result = result_;
    g_sound.masterVolume = masterVolume_;
    for (int a = 0; a < Player::kActionCount; ++a) g_player.SetButton(a, buttons_[a]);
  }
  ScopedProgramState(const ScopedProgramState&) = delete;
  ScopedProgramState& operator=(const ScopedProgramState&) = delete;

  // No scene current or requested, the window inactive, the quit flag clear.
  static void Reset() {
    g_quit = 0;
    g_app.requestedScene = SceneNone;
    g_app.currentScene = SceneNone;
    g_app.windowActive = 0;
    g_app.sceneTable = nullptr;
  }

 private:
  FrameTimer timer_;
  port::Window* window_;
  uint8_t fullScreen_;
  SharedSceneState shared_;
  StageModeState stageMode_;
  SokaiCounters sokai_;
  BattleSettings battle_;
  MenuState menus_;
  TitleState title_;
  RunResult result_;
  int32_t masterVolume_;
  int32_t buttons_[Player::kActionCount] = {};
};

// What a stage leaves in the stage player that the next test must not see.
inline void ResetStagePlayer() {
  g_player.Release();
  g_player.alive = 0;
  g_player.tracks.clear();
  g_player.device = nullptr;
  g_player.camera = nullptr;
  g_player.effect = nullptr;
  g_player.toonRamp = nullptr;
  g_player.sokai = 0;
  g_player.viewType = 0;
  g_player.charge = 0;
  g_player.stunGauge = 0.0f;
  g_player.mode = kPlayerControl;
  g_player.position = g_player.previousPosition = {};
  g_player.gaugeTimer = Player::kGaugeHidden;
}

}  // namespace testsupport
