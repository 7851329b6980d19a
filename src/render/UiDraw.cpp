#include "render/UiDraw.h"

#include <cmath>

#include "platform/GraphicsDevice.h"
#include "render/Texture.h"

namespace {

constexpr int kFirstTableId = 2;
// Ids 2 to 113; an all-zero entry (20 to 23) draws the whole texture.
constexpr port::Rect kUiRects[] = {
    {315, 6, 391, 73},     // 2
    {0, 0, 262, 76},       // 3
    {0, 90, 448, 160},     // 4
    {6, 178, 353, 247},    // 5
    {0, 270, 400, 334},    // 6
    {0, 357, 517, 436},    // 7
    {10, 328, 365, 380},   // 8
    {234, 438, 514, 508},  // 9
    {0, 444, 235, 508},    // 10
    {0, 0, 303, 60},       // 11
    {0, 79, 499, 133},     // 12
    {0, 152, 454, 208},    // 13
    {0, 226, 393, 282},    // 14
    {331, 302, 454, 358},  // 15
    {0, 303, 273, 358},    // 16
    {0, 378, 212, 433},    // 17
    {0, 452, 364, 508},    // 18
    {240, 377, 363, 433},  // 19
    {0, 0, 0, 0},          // 20: whole texture
    {0, 0, 0, 0},          // 21: whole texture
    {0, 0, 0, 0},          // 22: whole texture
    {0, 0, 0, 0},          // 23: whole texture
    {0, 0, 118, 42},       // 24
    {124, 1, 221, 41},     // 25
    {0, 56, 207, 94},      // 26
    {0, 159, 197, 202},    // 27
    {1, 108, 255, 148},    // 28
    {0, 215, 234, 255},    // 29
    {174, 72, 241, 79},    // 30
    {174, 72, 241, 79},    // 31
    {147, 44, 214, 80},    // 32
    {2, 213, 128, 256},    // 33
    {127, 213, 189, 254},  // 34
    {194, 213, 254, 254},  // 35
    {1, 47, 145, 80},      // 36
    {3, 90, 106, 123},     // 37
    {1, 134, 145, 167},    // 38
    {79, 48, 106, 77},     // 39
    {113, 90, 249, 124},   // 40
    {220, 45, 237, 82},    // 41
    {185, 132, 253, 166},  // 42
    {223, 136, 253, 166},  // 43
    {2, 108, 126, 148},    // 44
    {2, 177, 141, 211},    // 45
    {150, 178, 215, 212},  // 46
    {3, 53, 160, 103},     // 47
    {131, 3, 250, 42},     // 48
    {12, 221, 54, 253},    // 49
    {61, 221, 110, 253},   // 50
    {117, 221, 164, 253},  // 51
    {170, 221, 220, 253},  // 52
    {4, 0, 250, 41},       // 53
    {0, 0, 146, 36},       // 54
    {133, 109, 250, 148},  // 55
    {4, 163, 218, 201},    // 56
    {2, 0, 303, 76},       // 57
    {309, 0, 507, 76},     // 58
    {5, 90, 196, 166},     // 59
    {207, 90, 507, 166},   // 60
    {0, 267, 362, 332},    // 61
    {0, 357, 358, 423},    // 62
    {0, 446, 503, 510},    // 63
    {0, 176, 364, 247},    // 64
    {5, 4, 441, 62},       // 65
    {0, 68, 507, 123},     // 66
    {0, 130, 292, 188},    // 67
    {292, 133, 438, 186},  // 68
    {3, 201, 287, 252},    // 69
    {300, 201, 500, 250},  // 70
    {8, 262, 294, 317},    // 71
    {297, 260, 508, 320},  // 72
    {4, 390, 435, 450},    // 73
    {224, 457, 432, 511},  // 74
    {0, 0, 219, 70},       // 75
    {0, 92, 503, 165},     // 76
    {0, 186, 503, 255},    // 77
    {11, 8, 415, 71},      // 78
    {11, 93, 496, 160},    // 79
    {257, 177, 508, 249},  // 80
    {0, 180, 240, 246},    // 81
    {180, 265, 508, 335},  // 82
    {5, 265, 508, 335},    // 83
    {10, 358, 260, 419},   // 84
    {342, 441, 505, 511},  // 85
    {6, 438, 334, 509},    // 86
    {261, 355, 420, 421},  // 87
    {436, 19, 497, 54},    // 88
    {440, 361, 495, 414},  // 89
    {8, 3, 169, 67},       // 90
    {178, 3, 339, 68},     // 91
    {349, 3, 510, 68},     // 92
    {8, 90, 169, 155},     // 93
    {178, 90, 340, 156},   // 94
    {13, 179, 250, 245},   // 95
    {9, 444, 335, 544},    // 96
    {263, 181, 505, 246},  // 97
    {341, 89, 474, 155},   // 98
    {278, 356, 509, 420},  // 99
    {9, 6, 74, 102},       // 100
    {93, 6, 156, 103},     // 101
    {179, 6, 245, 106},    // 102
    {267, 6, 333, 106},    // 103
    {349, 6, 415, 106},    // 104
    {433, 6, 499, 106},    // 105
    {9, 139, 74, 235},     // 106
    {94, 139, 160, 235},   // 107
    {178, 139, 244, 235},  // 108
    {265, 139, 331, 235},  // 109
    {7, 279, 249, 370},    // 110
    {7, 407, 340, 508},    // 111
    {262, 266, 511, 372},  // 112
    {481, 109, 501, 154},  // 113
};
constexpr int kTableCount = static_cast<int>(sizeof(kUiRects) / sizeof(kUiRects[0]));
static_assert(kTableCount == 112);

// More places than any int has digits would only add zeros off the screen.
constexpr int kMaxDigits = 64;

bool Drawable(const Texture* texture) { return texture && texture->IsLoaded(); }

}  // namespace

port::Rect DigitRect(int digit) {
  const int column = digit % 8;
  const bool secondRow = digit >= 8;
  return {32 * column + 3, secondRow ? 46 : 2, 32 * column + 27, secondRow ? 77 : 33};
}

bool GlyphRect(int cell, port::Rect* out) {
  if (cell < 0 || cell >= kGlyphCount) return false;
  const int left = 32 * (cell % 8) + 3;
  const int top = 44 * (cell / 8);
  *out = {left, top, left + 24, top + 37};
  return true;
}

bool UiSpriteRect(int id, port::Rect* out) {
  if (id < kFirstTableId || id >= kFirstTableId + kTableCount) return false;
  const port::Rect& r = kUiRects[id - kFirstTableId];
  if (r.right == 0 && r.bottom == 0) return false;
  *out = r;
  return true;
}

void DrawNumber(Texture* texture, int digits, float x, float y, float scale, int value) {
  if (!Drawable(texture)) return;
  int n = digits;
  if (n <= 0) {
    n = 1;
    for (int v = value / 10; v > 0; v /= 10) ++n;
  }
  if (n > kMaxDigits) n = kMaxDigits;
  port::Sprite* sprite = g_graphics.GetSprite();
  const port::Vec2 scaling{scale, scale};
  for (int i = 0; i < n; ++i) {
    int d = static_cast<int>(value / std::pow(10.0, i)) % 10;
    if (d < 0) d = 0;  // a negative value shows zeros
    const port::Rect rect = DigitRect(d);
    const port::Vec2 at{x - 24.0f * scale * static_cast<float>(i) - static_cast<float>(i), y};
    texture->DrawSprite(sprite, &scaling, &at, &rect, kUiWhite);
  }
}

void DrawGlyph(Texture* texture, float x, float y, float scale, int cell) {
  port::Rect rect;
  if (!Drawable(texture) || !GlyphRect(cell, &rect)) return;
  const port::Vec2 scaling{scale, scale};
  const port::Vec2 at{x, y};
  texture->DrawSprite(g_graphics.GetSprite(), &scaling, &at, &rect, kUiWhite);
}

void DrawUiSprite(Texture* texture, const port::Vec2* position, const port::Vec2* scaling, int id) {
  if (!Drawable(texture)) return;
  port::Sprite* sprite = g_graphics.GetSprite();
  port::Rect rect;
  if (id == kUiSpriteVeil) {
    texture->DrawSprite(sprite, scaling, position, nullptr, kUiVeil);
  } else if (!UiSpriteRect(id, &rect)) {
    texture->DrawSprite(sprite, scaling, position, nullptr, kUiWhite);
  } else if (id == kUiSpriteRotated) {
    texture->DrawSpriteRotated(sprite, scaling, position, -1.57f, &rect, kUiWhite);
  } else {
    texture->DrawSprite(sprite, scaling, position, &rect, kUiWhite);
  }
}
