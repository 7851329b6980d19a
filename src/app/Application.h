#pragma once
// The one object that holds the game's state across scenes, runs one frame
// of the current scene and switches scenes on request.
#include <array>
#include <cstdint>
#include <vector>

#include "actors/BattlePlayer.h"
#include "actors/SokaiCounters.h"
#include "app/AppearRecord.h"
#include "app/RankingEntry.h"
#include "app/SelectModel.h"
#include "render/Texture.h"

namespace port {
class Window;
namespace gpu {
struct Caps;
}
}  // namespace port

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

// The save files: read once at start, written by the title's exit item.
inline constexpr const char* kSaveFolder = "save";
inline constexpr const char* kOptionFile = "save/option.sav";
inline constexpr const char* kNormalRankingFile = "save/normal_ranking.sav";
inline constexpr const char* kSokaiRankingFile = "save/sokai_ranking.sav";

// Enter, update and draw of one scene number; a null routine is not called.
struct SceneRoutines {
  void (*enter)(Application&) = nullptr;
  void (*update)(Application&) = nullptr;
  void (*draw)(Application&) = nullptr;
};
using SceneTable = std::array<SceneRoutines, SceneIdLast + 1>;

// The game's own table.
const SceneTable& GameSceneTable();

struct BattleSettings {
  int32_t drawInterval = 0;
  int32_t players = 0;
  int32_t matchTime = 0;  // frames
  int32_t character[4] = {};
  uint8_t decided[4] = {};
  int32_t stage = 0;
};

// The camera of the stage introduction: it orbits the target.
struct IntroCamera {
  float targetX = 0.0f, targetY = 0.0f, targetZ = 0.0f;
  float distance = 0.0f;
  float pitch = 0.0f;  // degrees
  float yaw = 0.0f;    // degrees
};

struct OptionSettings {
  uint8_t screenMode = 0;  // 0 window, 1 full screen
  int32_t drawInterval = 0;
  int32_t volume = 0;  // 0 to 1000
  int32_t viewType = 0;
};

class Application {
 public:
  // Start and end of the program.
  uint8_t ReadOptionFile();
  bool Init(port::Window* window, uint8_t fullScreen, int width, int height);
  void Frame();
  void Draw();
  void Shutdown();
  void LoadRankings();
  void ReleaseGame();

  void LeaveScene();
  void ReleaseSceneTextures();
  static bool HasVertexShader11(const port::gpu::Caps& caps);

  // Scene routines.
  void InitTitle(int32_t cursor);
  void UpdateTitle();
  void DrawTitle();
  void InitStageIntro();
  void UpdateStageIntro();
  void InputStageIntro();
  void DrawStageIntro();
  void InitStage1();
  void UpdateStage1();
  void InitStage2();
  void UpdateStage2();
  void InitStage3();
  void UpdateStage3();
  void DrawStage();
  void DrawStageHud();
  void DrawStageOverlay();
  void InitSokai();
  void UpdateSokai();

  // The in-stage keys of the stages and the sokai stage: F12, the pause key
  // and the pause menu. True when they left the scene (the rest of the
  // update must not run).
  bool StageKeys();
  // The releases of the stages and the sokai stage. Each may run twice; the
  // second time finds nothing to release. All but ReleaseSokai clear
  // currentScene.
  void ReleaseStage1();
  void ReleaseStage1AfterClear();  // keeps the zako1 and zako2 models for stage 2
  void ReleaseStage2();
  void ReleaseStage3();
  void ReleaseSokai();
  // A sokai zako knocked away: the combo grows and scores its new value.
  void AddSokaiKill();
  void InitBattleSettings();
  void UpdateBattleSettings();
  void DrawBattleSettings();
  void InitCharacterSelect();
  void UpdateCharacterSelect();
  void DrawCharacterSelect();
  void InitStageSelect();
  void UpdateStageSelect();
  void DrawStageSelect();
  void InitBattle();
  void UpdateBattle();
  void DrawBattle();
  // ---- The battle match (scene 14) ----
  // F12 and the result menu; the release of what the match loaded (a second
  // call finds nothing); the HUD over the split screen, drawn with the full
  // viewport set.
  void InputBattle();
  void ReleaseBattle();
  void DrawBattleHud();
  // ---- end of the battle match ----
  void InitOptions();
  void UpdateOptions();
  void DrawOptions();
  void InitButtonConfig1P();
  void UpdateButtonConfig1P();
  void DrawButtonConfig1P();
  void InitButtonConfig2P4P();
  void UpdateButtonConfig2P4P();
  void DrawButtonConfig2P4P();
  void InitRanking();
  void UpdateRanking();
  void DrawRanking();
  void InitNameEntry();
  void UpdateNameEntry();
  void DrawNameEntry();

  // Save files and ranking tables. Loading never fails: a missing or damaged
  // file gives the defaults. Saving writes a temporary file and renames it,
  // so a failed save (false) leaves the old file as it was.
  void LoadOptions(const char* path);
  bool SaveOptions(const char* path);
  void LoadNormalRanking(const char* path);
  void LoadSokaiRanking(const char* path);
  bool SaveNormalRanking(const char* path);
  bool SaveSokaiRanking(const char* path);
  // Place a stage-mode result (framesUsed, stages reached) or the sokai score:
  // fill the results and rankPlace, and return the place (kNotPlaced: none).
  int32_t NormalRankPosition(int32_t stages);
  int32_t SokaiRankPosition();
  // Pad buttons of battle players 1 to 3 (players 2P to 4P) by action.
  int32_t BattleButton(int player, int action) const;
  void SetBattleButton(int player, int action, int32_t button);

  // The menu keys of the title, the ranking pages and the name entry.
  void InputTitle();
  void InputRanking();
  void InputNameEntry();
  // The keys of the options page and the two button pages.
  void InputOptions();
  void InputButtonConfig1P();
  void InputButtonConfig2P4P();

  // ---- The battle menus: settings, character select, stage select ----
  // The keys of the three menus.
  void InputBattleSettings();
  void InputCharacterSelect();
  void InputStageSelect();
  // The scene textures and, for the character select, the select models'
  // shared resources. Each may run twice; the second time finds nothing.
  void ReleaseStageSelect();
  void ReleaseCharacterSelect();
  // How the battle players share the keyboard and the pads: direction 0 up,
  // 1 down, 2 left, 3 right; a button by its pad number (0 to 2 are also
  // the keys Z, X and C). False for a player outside 0..3.
  bool IsPlayerDirection(int direction, int player) const;
  bool IsPlayerButton(int32_t button, int player) const;
  // The turning figure of each player slot on the character select.
  SelectModel selectModels[BattlePlayer::kMaxPlayers];
  // ---- end of the battle menus ----

  // Placement files. Loading replaces the records with the file's (none when
  // it cannot be read; a damaged record or an unfinished last one is left
  // out, and at most kMaxAppearRecords are read). Spawning places every
  // record in order and leaves the records as they are.
  void LoadAppearData(const char* path);
  void SpawnAppearData();
  std::vector<AppearRecord> appearRecords;

  // Scene state. The placement records, the ranking tables, the battle
  // players and the select models join these fields with the code that uses them.
  int32_t menuKeys[12] = {};  // held-frame counters; an action fires at 1
  int32_t toonEffectAvailable = 0;
  int32_t menuCursor = 0;  // MenuItem
  // The title's last finished picture: what it showed and the device's
  // picture serial after it (0: none). Presented again while both hold.
  uint64_t titleLook = 0;
  uint64_t titleSerial = 0;
  // The cursors of players 1 to 4 on the 2P-4P button page (MenuItem).
  int32_t playerCursors[BattlePlayer::kMaxPlayers] = {};
  int32_t introTarget = SceneNone;  // the scene the stage introduction leads to
  int32_t framesUsed = 0;           // stage clock: frames over the whole stage-mode run
  int32_t timeLeft = 0;             // stage clock: frames left
  int32_t bonus = 0;                // time still to be paid into timeLeft, 100 a frame
  uint8_t paused = 0;               // the pause menu is shown
  IntroCamera introCamera;
  // Ranking tables, five rows each, best first. The spare tables are built at
  // start and never saved.
  std::vector<RankingEntry> normalRanking;
  std::vector<CompactRankingEntry> spareRanking3;
  SokaiCounters sokai;
  std::vector<RankingEntry> sokaiRanking;
  std::vector<RankingEntry> spareRanking4;
  BattleSettings battle;
  OptionSettings options;
  // Results of the run just ended, and the row the name entry fills
  // (rankPlace 0 to 4, kNotPlaced none); nameCursor is the letter being
  // chosen, 5 when the name is done.
  int32_t resultTime = 0;
  int32_t resultStages = 0;
  int32_t resultExtra = 0;
  int32_t resultScore = 0;
  int32_t rankPlace = 0;
  int32_t nameCursor = 0;
  // The battle-mode players, for the whole run.
  BattlePlayer battlePlayers[BattlePlayer::kMaxPlayers];
  int32_t requestedScene = SceneNone;
  int32_t currentScene = SceneNone;
  int32_t stagePhase = 0;
  int32_t sceneFrame = 0;
  int32_t phaseFrame = 0;
  // Textures the current scene loaded, indexed by load order in its draw routine.
  std::vector<Texture> sceneTextures;
  uint8_t windowActive = 0;

  // The scene routines in use; null means the game's table.
  const SceneTable* sceneTable = nullptr;

 private:
  const SceneTable& Scenes() const { return sceneTable ? *sceneTable : GameSceneTable(); }
};

extern Application g_app;

// The joystick enumeration callbacks, forwarded to the input device.
struct PadDeviceInstance;
struct PadAxisInstance;
int OnEnumJoystick(const PadDeviceInstance* device, void* context);
int OnEnumJoystickAxis(const PadAxisInstance* axis, void* context);
