#include "scenes/MenuScene.h"

#include <climits>

#include "actors/Player.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"

namespace menu {

namespace {

constexpr int kPad = 0;
constexpr port::Argb kClearBlue = 0xFF0000FFu;

bool PadButtonHeld(int action) { return g_input.IsPadButton(kPad, g_player.GetButton(action)); }

}  // namespace

void Poll() {
  g_input.PollKeyboard();
  g_input.PollJoysticks();
}

bool ConfirmHeld() { return g_input.IsKeyDown(port::kKeyZ) || PadButtonHeld(kActionAttack); }
bool CancelHeld() { return g_input.IsKeyDown(port::kKeyX) || PadButtonHeld(kActionShift); }
bool EscapeHeld() { return g_input.IsKeyDown(port::kKeyEscape); }
bool LeftHeld() {
  return g_input.IsKeyDown(port::kKeyLeft) || g_input.IsPadDirection(kPad, kPadLeft);
}
bool RightHeld() {
  return g_input.IsKeyDown(port::kKeyRight) || g_input.IsPadDirection(kPad, kPadRight);
}
bool UpHeld() { return g_input.IsKeyDown(port::kKeyUp) || g_input.IsPadDirection(kPad, kPadUp); }
bool DownHeld() {
  return g_input.IsKeyDown(port::kKeyDown) || g_input.IsPadDirection(kPad, kPadDown);
}

bool CountPress(int32_t& counter, bool held) {
  if (!held) {
    counter = 0;
    return false;
  }
  if (counter < INT_MAX) ++counter;  // a key held for a year does not wrap
  return counter == 1;
}

void LoadSceneTextures(Application& app, std::initializer_list<const char*> paths) {
  app.ReleaseSceneTextures();
  app.sceneTextures.resize(paths.size());
  size_t i = 0;
  for (const char* path : paths) app.sceneTextures[i++].Load(g_graphics.GetDevice(), path, 0);
}

Texture* SceneTexture(Application& app, int index) {
  if (index < 0 || index >= static_cast<int>(app.sceneTextures.size())) return nullptr;
  return &app.sceneTextures[static_cast<size_t>(index)];
}

void BeginFrame() {
  g_graphics.Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, kClearBlue);
  if (port::Sprite* sprite = g_graphics.GetSprite()) sprite->Begin();
}

void EndFrame() {
  if (port::Sprite* sprite = g_graphics.GetSprite()) sprite->End();
  g_graphics.Present();
}

void Sprite(Texture* texture, int id, float x, float y, float scaleX, float scaleY) {
  const port::Vec2 position{x, y};
  const port::Vec2 scaling{scaleX, scaleY};
  DrawUiSprite(texture, &position, &scaling, id);
}

void Play(MenuSound sound) { g_sound.PlaySystemSound(sound.id, sound.offset); }

}  // namespace menu
