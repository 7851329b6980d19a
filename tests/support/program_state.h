#pragma once
// The program-wide state that the program, main-loop and window-event tests
// change through RunProgram, Application::Init and WindowProc: the frame timer
// (with g_quit), the window values, the fields of g_app that start-up and
// the frame write, and what the option file sets elsewhere (g_player's
// buttons, the master volume). The guard saves them when built and puts them back when it
// goes; Reset gives a test the state of a program that has not started.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

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
        requestedScene_(g_app.requestedScene),
        currentScene_(g_app.currentScene),
        windowActive_(g_app.windowActive),
        sceneTable_(g_app.sceneTable),
        toonEffectAvailable_(g_app.toonEffectAvailable),
        menuCursor_(g_app.menuCursor),
        stagePhase_(g_app.stagePhase),
        sceneFrame_(g_app.sceneFrame),
        phaseFrame_(g_app.phaseFrame),
        battle_(g_app.battle),
        options_(g_app.options),
        introTarget_(g_app.introTarget),
        framesUsed_(g_app.framesUsed),
        timeLeft_(g_app.timeLeft),
        bonus_(g_app.bonus),
        paused_(g_app.paused),
        introCamera_(g_app.introCamera),
        sokai_(g_app.sokai),
        normalRanking_(g_app.normalRanking),
        spareRanking3_(g_app.spareRanking3),
        sokaiRanking_(g_app.sokaiRanking),
        spareRanking4_(g_app.spareRanking4),
        masterVolume_(g_sound.masterVolume) {
    for (int a = 0; a < Player::kActionCount; ++a) buttons_[a] = g_player.GetButton(a);
    std::copy(std::begin(g_app.menuKeys), std::end(g_app.menuKeys), menuKeys_);
    std::copy(std::begin(g_app.playerCursors), std::end(g_app.playerCursors), playerCursors_);
  }
  ~ScopedProgramState() {
    g_frameTimer = timer_;
    g_hWnd = window_;
    g_fullScreen = fullScreen_;
    g_app.requestedScene = requestedScene_;
    g_app.currentScene = currentScene_;
    g_app.windowActive = windowActive_;
    g_app.sceneTable = sceneTable_;
    g_app.toonEffectAvailable = toonEffectAvailable_;
    g_app.menuCursor = menuCursor_;
    g_app.stagePhase = stagePhase_;
    g_app.sceneFrame = sceneFrame_;
    g_app.phaseFrame = phaseFrame_;
    g_app.battle = battle_;
    g_app.options = options_;
    g_app.introTarget = introTarget_;
    g_app.framesUsed = framesUsed_;
    g_app.timeLeft = timeLeft_;
    g_app.bonus = bonus_;
    g_app.paused = paused_;
    g_app.introCamera = introCamera_;
    g_app.sokai = sokai_;
    g_app.normalRanking = normalRanking_;
    g_app.spareRanking3 = spareRanking3_;
    g_app.sokaiRanking = sokaiRanking_;
    g_app.spareRanking4 = spareRanking4_;
    g_sound.masterVolume = masterVolume_;
    for (int a = 0; a < Player::kActionCount; ++a) g_player.SetButton(a, buttons_[a]);
    std::copy(std::begin(menuKeys_), std::end(menuKeys_), g_app.menuKeys);
    std::copy(std::begin(playerCursors_), std::end(playerCursors_), g_app.playerCursors);
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
  int32_t requestedScene_, currentScene_;
  uint8_t windowActive_;
  const SceneTable* sceneTable_;
  int32_t toonEffectAvailable_, menuCursor_, stagePhase_, sceneFrame_, phaseFrame_;
  BattleSettings battle_;
  OptionSettings options_;
  int32_t introTarget_, framesUsed_, timeLeft_, bonus_;
  uint8_t paused_;
  IntroCamera introCamera_;
  SokaiCounters sokai_;
  std::vector<RankingEntry> normalRanking_;
  std::vector<CompactRankingEntry> spareRanking3_;
  std::vector<RankingEntry> sokaiRanking_, spareRanking4_;
  int32_t masterVolume_;
  int32_t buttons_[Player::kActionCount] = {};
  decltype(Application::menuKeys) menuKeys_;
  decltype(Application::playerCursors) playerCursors_;
};

}  // namespace testsupport
