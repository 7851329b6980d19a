#pragma once
// The state Application keeps for its scenes: one struct per scene family,
// and one for what every scene shares. Each is a plain value, so the test
// guard saves and restores it whole (tests/support/program_state.h); what
// the scenes load (textures, models, battle players) is not among them.
#include <array>
#include <cstdint>
#include <vector>

#include "actors/BattlePlayer.h"
#include "app/AppearRecord.h"
#include "app/RankingEntry.h"

// Scene numbers; 0 is none, 6, 7, 9 and 10 are numbers without a scene.
enum SceneId : int32_t {
  SceneNone = 0,
  SceneTitle = 1,
  SceneStageIntro = 2,
  SceneStage1 = 3,
  SceneStage2 = 4,
  SceneStage3 = 5,
  SceneSokai = 8,
  SceneBattleSettings = 11,
  SceneCharacterSelect = 12,
  SceneStageSelect = 13,
  SceneBattle = 14,
  SceneOptions = 15,
  SceneButtonConfig1P = 16,
  SceneButtonConfig2P4P = 17,
  SceneRanking1 = 18,  // one page per table, 18 to 21: normal, sokai, spare 3, spare 4
  SceneRankingSokai = 19,
  SceneRanking4 = 21,
  SceneNameEntry1 = 22,  // one per table, 22 to 25, in the same order
  SceneNameEntrySokai = 23,
  SceneNameEntry4 = 25,
  SceneIdLast = 25,
};

class Application;

// Enter, update and draw of one scene number; a null routine is not called.
struct SceneRoutines {
  void (*enter)(Application&) = nullptr;
  void (*update)(Application&) = nullptr;
  void (*draw)(Application&) = nullptr;
};
using SceneTable = std::array<SceneRoutines, SceneIdLast + 1>;

struct OptionSettings {
  uint8_t screenMode = 0;  // 0 window, 1 full screen
  int32_t drawInterval = 0;
  int32_t volume = 0;  // 0 to 1000
  int32_t viewType = 0;
};

// What every scene shares: the scene switch, the frame counters, the phase
// and clock of the timed scenes (stages, sokai stage, battle match), the
// placement records, the options and the ranking tables. Application
// derives from it, so these read as its own fields.
struct SharedSceneState {
  int32_t requestedScene = SceneNone;
  int32_t currentScene = SceneNone;
  // The scene routines in use; null means the game's table.
  const SceneTable* sceneTable = nullptr;
  uint8_t windowActive = 0;
  int32_t toonEffectAvailable = 0;
  int32_t sceneFrame = 0;
  int32_t stagePhase = 0;
  int32_t phaseFrame = 0;
  int32_t timeLeft = 0;  // clock: frames left
  int32_t bonus = 0;     // time still to be paid into timeLeft, 100 a frame
  // The records of the last placement file read (LoadAppearData).
  std::vector<AppearRecord> appearRecords;
  OptionSettings options;
  // Ranking tables, five rows each, best first. The spare tables are built at
  // start and never saved.
  std::vector<RankingEntry> normalRanking;
  std::vector<CompactRankingEntry> spareRanking3;
  std::vector<RankingEntry> sokaiRanking;
  std::vector<RankingEntry> spareRanking4;
};

// The menu pages, and the menus inside the stages (pause) and the battle
// match (result).
struct MenuState {
  int32_t keys[12] = {};  // held-frame counters; an action fires at 1
  int32_t cursor = 0;     // MenuItem
  // The cursors of players 1 to 4 on the 2P-4P button page (MenuItem).
  int32_t playerCursors[BattlePlayer::kMaxPlayers] = {};
};

// A menu's last finished picture: what it showed and the device's picture
// serial after it (0: none). Presented again while both hold.
struct KeptPicture {
  uint64_t look = 0;
  uint64_t serial = 0;
};

// The title's last finished picture.
struct TitleState : KeptPicture {};

// The camera of the stage introduction: it orbits the target.
struct IntroCamera {
  float targetX = 0.0f, targetY = 0.0f, targetZ = 0.0f;
  float distance = 0.0f;
  float pitch = 0.0f;  // degrees
  float yaw = 0.0f;    // degrees
};

// The stage mode: its introduction, its clock over the whole run and the
// pause menu (which the sokai stage shares).
struct StageModeState {
  int32_t introTarget = SceneNone;  // the scene the stage introduction leads to
  int32_t framesUsed = 0;           // frames over the whole stage-mode run
  uint8_t paused = 0;               // the pause menu is shown
  IntroCamera introCamera;
};

// The battle mode's settings and the players' choices on its menus.
struct BattleSettings {
  int32_t drawInterval = 0;
  int32_t players = 0;
  int32_t matchTime = 0;  // frames
  int32_t character[4] = {};
  uint8_t decided[4] = {};
  int32_t stage = 0;
};

// The results of the run just ended, and the row the name entry fills
// (rankPlace 0 to 4, kNotPlaced none); nameCursor is the letter being
// chosen, 5 when the name is done.
struct RunResult {
  int32_t time = 0;
  int32_t stages = 0;
  int32_t extra = 0;
  int32_t score = 0;
  int32_t rankPlace = 0;
  int32_t nameCursor = 0;
  KeptPicture rankingPicture;  // the ranking page's last finished picture
};
