#include "app/Application.h"

#include <cstdint>

#include "actors/Boss3Tama.h"
#include "actors/EnemyClasses.h"
#include "actors/Hammer.h"
#include "actors/Marker3D.h"
#include "actors/Player.h"

#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

namespace {

constexpr int32_t kDefaultMatchTime = 6000;  // frames
constexpr int32_t kDefaultBattleDrawInterval = 2;
constexpr int32_t kDefaultBattlePlayers = 2;

}  // namespace

uint8_t Application::ReadOptionFile() {
  // Every option and button assignment; the screen mode decides the window.
  LoadOptions(kOptionFile);
  return options.screenMode;
}

int OnEnumJoystick(const PadDeviceInstance* device, void* context) {
  return g_input.OnEnumDevice(device, context);
}

int OnEnumJoystickAxis(const PadAxisInstance* axis, void* context) {
  return g_input.OnEnumAxis(axis, context);
}

bool Application::HasVertexShader11(const port::gpu::Caps& caps) {
  return caps.vertexShaderVersion >= 0xFFFE0101u;
}

bool Application::Init(port::Window* window, uint8_t fullScreen, int width, int height) {
  if (!g_graphics.Create(window, fullScreen, width, height)) return false;
  g_graphics.SetDefaultStates();
  g_graphics.CreateFont(10, 20);
  if (!HasVertexShader11(g_graphics.GetCaps())) {
    if (port::gpu::Device* device = g_graphics.GetDevice())
      device->SetSoftwareVertexProcessing(true);
  }

  // A missing device does not stop the start.
  g_input.InitMouse(window);
  g_input.InitKeyboard(window);
  g_input.InitJoysticks(window, nullptr, OnEnumJoystick, OnEnumJoystickAxis);

  LoadRankings();
  requestedScene = SceneTitle;

  // Without sound the game runs silent.
  g_sound.Init(window);
  g_sound.LoadSystemSounds();
  g_sound.LoadStageSounds();
  return true;
}

void Application::LoadRankings() {
  LoadNormalRanking(kNormalRankingFile);
  LoadSokaiRanking(kSokaiRankingFile);
  battle.matchTime = kDefaultMatchTime;
  battle.drawInterval = kDefaultBattleDrawInterval;
  battle.players = kDefaultBattlePlayers;
  toonEffectAvailable = 1;
  g_characters.Init(g_graphics.GetDevice(), g_graphics.GetCaps(), 1);
  // Without the toon effect every model skins in software.
  toonEffectAvailable = g_characters.GetToonEffect()->GetEffect() != nullptr ? 1 : 0;
}

void Application::Shutdown() {
  g_graphics.Release();
  g_input.Release();
  g_sound.Shutdown();
  ReleaseGame();
}

void Application::ReleaseGame() {
  // The small enemies' and the bosses' models, every class of the table.
  UnloadAllEnemyClasses();
  // The classes the stage-3 scene and boss 3 load, which no scene unloads.
  Hammer::Unload();
  Boss3Tama::Unload();
  Marker3D::Unload();
  g_player.Release();
  g_objects.Release();
  g_effects.Release();
  g_stageField.Release();
  g_characters.Release();
  g_sun.mesh.Release();  // kept from scene to scene while they ask for it
  for (BattlePlayer& p : battlePlayers) p.Release();
  for (SelectModel& m : selectModels) m.Release();
}

void Application::LeaveScene() {
  ReleaseSceneTextures();
  currentScene = SceneNone;
}

void Application::ReleaseSceneTextures() {
  for (Texture& texture : sceneTextures) texture.Release();
  sceneTextures.clear();
}
