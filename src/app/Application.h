#pragma once
// The one object that holds the game's state across scenes, runs one frame
// of the current scene and switches scenes on request.
#include <array>
#include <cstdint>
#include <vector>

#include "actors/BattlePlayer.h"
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
  SceneRanking1 = 18,  // one page per table, 18 to 21
  SceneRanking4 = 21,
  SceneNameEntry1 = 22,  // 22 to 25
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
  void DrawStageIntro();
  void InitStage1();
  void UpdateStage1();
  void InitStage2();
  void UpdateStage2();
  void InitStage3();
  void UpdateStage3();
  void DrawStage();
  void InitSokai();
  void UpdateSokai();
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

  // Scene state. The placement records, the ranking tables, the battle
  // players and the select models join these fields with the code that uses them.
  int32_t menuKeys[12] = {};  // held-frame counters; an action fires at 1
  int32_t toonEffectAvailable = 0;
  int32_t menuCursor = 0;
  BattleSettings battle;
  OptionSettings options;
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
