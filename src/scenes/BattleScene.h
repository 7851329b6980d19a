#pragma once
// What the battle match (scene 14) and its drawing share: the phases, the
// scene textures and the settings as the match reads them.
#include <cstdint>

#include "app/Application.h"
#include "app/StagePhase.h"

namespace battle {

// The match's phases (Application::stagePhase).
enum BattlePhase : int32_t {
  kIntro = kPhaseIntro,  // 230 frames, the two spoken cues
  kFirstHalf = 1,
  kSecondHalf = 2,  // from half the match time: the ranks show
  kResultMenu = 7,
  kTimeOver = 8,  // the players stopped, 181 frames
  kResult = 9,    // winners and losers, 181 frames
};

// The scene textures by load index.
enum BattleTexture : int {
  kBattleText = 0,
  kSettingText = 1,
  kStageText = 2,
  kFont = 3,
  kChargeFrame = 4,
  kChargeBar = 5,
  kStunFrame = 6,
  kStunBar = 7,
  kCourse = 8,
};

constexpr int32_t kMinPlayers = 2;

// The players taking part, 2 to 4 whatever the settings hold.
int32_t PlayersOf(const Application& app);

}  // namespace battle
