#pragma once
// The one object that holds the game's state across scenes, runs one frame
// of the current scene and switches scenes on request.
#include <cstdint>
#include <vector>

#include "actors/BattlePlayer.h"
#include "actors/SokaiCounters.h"
#include "app/SceneState.h"
#include "app/SelectModel.h"
#include "render/Texture.h"

namespace port {
class Window;
namespace gpu {
struct Caps;
}
}  // namespace port

// The save files: read once at start, written by the title's exit item.
inline constexpr const char* kSaveFolder = "save";
inline constexpr const char* kOptionFile = "save/option.sav";
inline constexpr const char* kNormalRankingFile = "save/normal_ranking.sav";
inline constexpr const char* kSokaiRankingFile = "save/sokai_ranking.sav";

// The game's own table.
const SceneTable& GameSceneTable();

// The scene state is SharedSceneState's fields and one struct per scene
// family (app/SceneState.h); the scene routines are members, defined in
// scenes/.
class Application : public SharedSceneState {
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
  // Place a stage-mode result (stageMode.framesUsed, stages reached) or the sokai score:
  // fill the result and its rankPlace, and return the place (kNotPlaced: none).
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
  // ---- end of the battle menus ----

  // Placement files. Loading replaces the records with the file's (none when
  // it cannot be read; a damaged record or an unfinished last one is left
  // out, and at most kMaxAppearRecords are read). Spawning places every
  // record in order and leaves the records as they are.
  void LoadAppearData(const char* path);
  void SpawnAppearData();

  // The state of each scene family (app/SceneState.h); SharedSceneState
  // holds what they share. The test guard copies each struct whole.
  MenuState menus;           // every menu page, the pause and result menus
  TitleState title;          // the title
  StageModeState stageMode;  // stage introduction, stages 1 to 3, the pause
  SokaiCounters sokai;       // the sokai stage (the actors count into it)
  BattleSettings battle;     // battle settings, character and stage select
  RunResult result;          // a run's result, the ranking and name entry

  // What the scenes load, beside their state: the battle-mode players (for
  // the whole run), the turning figure of each player slot on the character
  // select, and the textures the current scene loaded, indexed by load order
  // in its draw routine.
  SelectModel selectModels[BattlePlayer::kMaxPlayers];
  BattlePlayer battlePlayers[BattlePlayer::kMaxPlayers];
  std::vector<Texture> sceneTextures;

 private:
  const SceneTable& Scenes() const { return sceneTable ? *sceneTable : GameSceneTable(); }
};

extern Application g_app;

// The joystick enumeration callbacks, forwarded to the input device.
struct PadDeviceInstance;
struct PadAxisInstance;
int OnEnumJoystick(const PadDeviceInstance* device, void* context);
int OnEnumJoystickAxis(const PadAxisInstance* axis, void* context);
