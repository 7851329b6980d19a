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

bool PresentKept(const KeptPicture& kept, uint64_t look) {
  port::gpu::Device* device = g_graphics.GetDevice();
  if (!device || kept.serial == 0 || kept.look != look || device->PictureSerial() != kept.serial)
    return false;
  g_graphics.Present();
  return true;
}

void EndFrameKept(KeptPicture& kept, uint64_t look) {
  EndFrame();
  port::gpu::Device* device = g_graphics.GetDevice();
  kept.look = look;
  kept.serial = device ? device->PictureSerial() : 0;
}

void Sprite(Texture* texture, int id, float x, float y, float scaleX, float scaleY) {
  const port::Vec2 position{x, y};
  const port::Vec2 scaling{scaleX, scaleY};
  DrawUiSprite(texture, &position, &scaling, id);
}

bool Latched(int32_t& latch, bool held) {
  if (!held) latch = 0;
  return held && latch == 0;
}

bool LeaveFor(Application& app, int32_t scene) {
  if (scene == SceneNone) return false;
  app.requestedScene = scene;
  app.LeaveScene();
  return true;
}

void Draw(Application& app, const Caption& caption) {
  Sprite(SceneTexture(app, caption.texture), caption.sprite, caption.x, caption.y, caption.scaleX,
         caption.scaleY);
}

void Draw(Application& app, const NumberPlace& place, int value) {
  DrawNumber(SceneTexture(app, place.font), place.digits, place.x, place.y, place.scale, value);
}

void DrawInterval(Application& app, const IntervalLayout& layout, int32_t interval) {
  if (interval == 1) {
    Draw(app, layout.everyFrame);
  } else if (interval == 2 || interval == 3) {
    Draw(app, layout.one, 1);
    Draw(app, layout.slash);
    Draw(app, layout.n, interval);
    Draw(app, layout.frames);
  }
}

void EndFrameWithText(const char* text, int32_t x, int32_t y, port::Argb colour) {
  if (port::Sprite* sprite = g_graphics.GetSprite()) sprite->End();
  if (text) g_graphics.DrawTextF(x, y, text, colour);
  g_graphics.Present();
}

void Play(MenuSound sound) { g_sound.PlaySystemSound(sound.id, sound.offset); }

}  // namespace menu
