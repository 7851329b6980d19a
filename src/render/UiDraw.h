#pragma once
// Decimal numbers, name letters and numbered UI rectangles drawn with the
// shared sprite of g_graphics. The caller brackets them with the sprite's
// Begin and End.
#include "port/math.h"
#include "port/sprite.h"

class Texture;

// Opaque white, and the darkening veil of id 114 (black at alpha 100).
constexpr port::Argb kUiWhite = 0xFFFFFFFFu;
constexpr port::Argb kUiVeil = 0x64000000u;
// The sprite id drawn turned a quarter to the left, and the veil.
constexpr int kUiSpriteRotated = 30;
constexpr int kUiSpriteVeil = 114;
// The name letters are glyph cells 0 to 46 of the font texture.
constexpr int kGlyphCount = 47;

// The font texture cell of digit d (0..9).
port::Rect DigitRect(int digit);
// The font texture cell of a name letter; false for a code outside 0..46.
bool GlyphRect(int cell, port::Rect* out);
// The source rectangle of a UI sprite id; false when the id draws the whole texture.
bool UiSpriteRect(int id, port::Rect* out);

// Digit count 0 or less: as many as the value has. x is the left edge of the
// ones digit; the others step 24 x scale + 1 pixels to the left.
void DrawNumber(Texture* texture, int digits, float x, float y, float scale, int value);
void DrawGlyph(Texture* texture, float x, float y, float scale, int cell);
void DrawUiSprite(Texture* texture, const port::Vec2* position, const port::Vec2* scaling, int id);
