#pragma once
// What the menu scenes share: the menu keys (keyboard or pad 0), the
// held-frame counters that turn a held key into one action, the scene
// textures, and the frame a 2D scene draws into.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "app/Application.h"
#include "platform/SoundManager.h"
#include "port/math.h"

namespace menu {

// The system sounds of the menus and their volume offset.
constexpr int32_t kSoundCursor = 0;
constexpr int32_t kSoundDecide = 1;
constexpr int32_t kMenuSoundOffset = kQuieter10dB;

// A system sound with the volume offset the menus play it at.
struct MenuSound {
  int32_t id;
  int32_t offset;
};
constexpr MenuSound kValueSound = {kSoundCursor, kMenuSoundOffset};  // a value changes
constexpr MenuSound kDecideSound = {kSoundDecide, kMenuSoundOffset};
constexpr MenuSound kStepSound = {2, kQuieter20dB};  // the cursor moves
void Play(MenuSound sound);

// A menu's row: its item and the cursor's height.
struct MenuRow {
  int32_t item;
  float cursorY;
};
// Place of an item among the rows; an item not among them counts as the first.
template <size_t N>
int RowOf(const MenuRow (&rows)[N], int32_t item) {
  for (size_t i = 0; i < N; ++i)
    if (rows[i].item == item) return static_cast<int>(i);
  return 0;
}

// Polls the keyboard and the pads.
void Poll();
// Z, or pad 0's button assigned to the stage player's attack.
bool ConfirmHeld();
// X, or pad 0's button assigned to the stage player's shift.
bool CancelHeld();
bool EscapeHeld();
// The arrow, or pad 0 pushed all the way.
bool LeftHeld();
bool RightHeld();
bool UpHeld();
bool DownHeld();

// Counts a held-frame counter up while held, back to 0 when released; true
// on the frame it becomes 1, when the action fires.
bool CountPress(int32_t& counter, bool held);

// Empties the scene texture list and loads the files in order (colour key 0:
// none); a file that cannot be loaded leaves its entry empty, drawing nothing.
void LoadSceneTextures(Application& app, std::initializer_list<const char*> paths);
// Entry i of the scene texture list, or null.
Texture* SceneTexture(Application& app, int index);

// The frame of a 2D scene: clear to the opaque blue, begin the sprite; then
// end the sprite and present.
void BeginFrame();
void EndFrame();

// DrawUiSprite with the position and scaling given as numbers.
void Sprite(Texture* texture, int id, float x, float y, float scaleX, float scaleY);

}  // namespace menu
