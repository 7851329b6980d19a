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
// The item one row up (direction -1) or down (1) from `item`, wrapping.
template <size_t N>
int32_t Stepped(const MenuRow (&rows)[N], int32_t item, int direction) {
  constexpr int kCount = static_cast<int>(N);
  return rows[(RowOf(rows, item) + kCount + direction) % kCount].item;
}

// Requests `scene` and leaves this one; SceneNone stays, and returns false.
bool LeaveFor(Application& app, int32_t scene);

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
// A latched key: true on every frame it is held while the latch is 0. Only
// a release clears the latch; acting does not set it.
bool Latched(int32_t& latch, bool held);
// Moves the cursor one row up (direction -1) or down (1), with the step
// sound, on the frame the counter fires.
template <size_t N>
void StepOnPress(const MenuRow (&rows)[N], int32_t& cursor, int32_t& counter, bool held,
                 int direction) {
  if (!CountPress(counter, held)) return;
  Play(kStepSound);
  cursor = Stepped(rows, cursor, direction);
}
// act(1) on the frame right fires, then act(-1) on the frame left fires.
template <typename Act>
void OnSidePresses(int32_t& rightCounter, int32_t& leftCounter, Act act) {
  if (CountPress(rightCounter, RightHeld())) act(1);
  if (CountPress(leftCounter, LeftHeld())) act(-1);
}

// Empties the scene texture list and loads the files in order (colour key 0:
// none); a file that cannot be loaded leaves its entry empty, drawing nothing.
void LoadSceneTextures(Application& app, std::initializer_list<const char*> paths);
// Entry i of the scene texture list, or null.
Texture* SceneTexture(Application& app, int index);

// The frame of a 2D scene: clear to the opaque blue, begin the sprite; then
// end the sprite and present.
void BeginFrame();
void EndFrame();
// A menu that would draw the same picture again presents the one still in
// the back buffer instead: true when it did, for the picture showing look.
bool PresentKept(const KeptPicture& kept, uint64_t look);
// Ends the frame as EndFrame does, and keeps its picture as showing look.
void EndFrameKept(KeptPicture& kept, uint64_t look);

// DrawUiSprite with the position and scaling given as numbers.
void Sprite(Texture* texture, int id, float x, float y, float scaleX, float scaleY);

// ---- Page layout: each page's look is constexpr tables of these ----

// A sprite id outside the rectangle table: the whole texture.
constexpr int kWholeTexture = 0;

// A sprite of a scene texture, where it goes and how large.
struct Caption {
  int texture;  // index in the scene texture list
  int sprite;
  float x, y, scaleX, scaleY;
};
// A number in a scene font; digits 0: as many as the value has.
struct NumberPlace {
  int font;  // index in the scene texture list
  int digits;
  float x, y, scale;
};
// The draw interval: "every frame" for 1, "1 / n" for 2 and 3, nothing
// for any other value.
struct IntervalLayout {
  Caption everyFrame;
  NumberPlace one;
  Caption slash;
  NumberPlace n;
  Caption frames;
};

void Draw(Application& app, const Caption& caption);
template <size_t N>
void Draw(Application& app, const Caption (&captions)[N]) {
  for (const Caption& c : captions) Draw(app, c);
}
void Draw(Application& app, const NumberPlace& place, int value);
void DrawInterval(Application& app, const IntervalLayout& layout, int32_t interval);
// The caption moved down to the cursor's row of `item`.
template <size_t N>
void DrawCursor(Application& app, Caption cursor, const MenuRow (&rows)[N], int32_t item) {
  cursor.y = rows[RowOf(rows, item)].cursorY;
  Draw(app, cursor);
}
// Ends the sprite, draws the text over it (none when null) and presents.
void EndFrameWithText(const char* text, int32_t x, int32_t y, port::Argb colour);

}  // namespace menu
