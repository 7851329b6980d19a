#include "app/Application.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/GraphicsDevice.h"
#include "port/gpu.h"

namespace {

constexpr const char* kOptionFile = "save/option.sav";
constexpr int32_t kDefaultMatchTime = 6000;  // frames
constexpr int32_t kDefaultBattleDrawInterval = 2;
constexpr int32_t kDefaultBattlePlayers = 2;

// The first value of a key=value file: the text after the first "=" up to
// the line end, at most 49 characters. False when the file has no "=".
bool ReadFirstKvInt(std::FILE* f, int32_t* value) {
  int c;
  while ((c = std::fgetc(f)) != EOF && c != '=') {
  }
  if (c == EOF) return false;
  char buffer[50];
  if (!std::fgets(buffer, sizeof buffer, f)) return false;
  // Out-of-range numbers saturate instead of overflowing.
  long v = std::strtol(buffer, nullptr, 10);
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

uint8_t Application::ReadOptionFile() {
  // The screen mode is the first line of the option file; without the file,
  // or with a value that is no screen mode, the game starts in a window.
  options.screenMode = 0;
  if (std::FILE* f = std::fopen(kOptionFile, "rb")) {
    int32_t mode = 0;
    if (ReadFirstKvInt(f, &mode) && (mode == 0 || mode == 1)) options.screenMode = static_cast<uint8_t>(mode);
    std::fclose(f);
  }
  return options.screenMode;
}

bool Application::HasVertexShader11(const port::gpu::Caps& caps) {
  return caps.vertexShaderVersion >= 0xFFFE0101u;
}

bool Application::Init(port::Window* window, uint8_t fullScreen, int width, int height) {
  if (!g_graphics.Create(window, fullScreen, width, height)) return false;
  g_graphics.SetDefaultStates();
  g_graphics.CreateFont(10, 20);
  if (!HasVertexShader11(g_graphics.GetCaps())) {
    if (port::gpu::Device* device = g_graphics.GetDevice()) device->SetSoftwareVertexProcessing(true);
  }

  // TODO(input): g_input.InitMouse, InitKeyboard, InitJoysticks; results are not tested.

  LoadRankings();
  requestedScene = SceneTitle;

  // TODO(sound): g_sound.Init (result not tested), LoadSystemSounds, LoadStageSounds.
  return true;
}

void Application::LoadRankings() {
  // TODO(rankings): LoadNormalRanking("save/normal_ranking.sav"), LoadSokaiRanking("save/sokai_ranking.sav").
  battle.matchTime = kDefaultMatchTime;
  battle.drawInterval = kDefaultBattleDrawInterval;
  battle.players = kDefaultBattlePlayers;
  toonEffectAvailable = 1;
  // TODO(characters): g_characters.Init(device, caps, 1); toonEffectAvailable then
  // tells whether its toon effect exists. Until then every model skins in software.
  toonEffectAvailable = 0;
}

void Application::Shutdown() {
  g_graphics.Release();
  // TODO(input): g_input.Release().
  // TODO(sound): g_sound.Shutdown().
  ReleaseGame();
}

void Application::ReleaseGame() {
  // TODO(actors, lists): the small enemies' and two bosses' models, g_player,
  // then g_objects, g_effects, g_stageField, g_characters, then the battle
  // players and select models, slot by slot.
}

void Application::LeaveScene() {
  ReleaseSceneTextures();
  currentScene = SceneNone;
}

void Application::ReleaseSceneTextures() {
  // TODO(textures): release every scene texture in load order, then empty the list.
}
