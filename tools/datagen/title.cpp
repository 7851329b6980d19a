// The title screen's two pictures. Both are drawn at twice their size on the
// screen, in screen proportions, then reduced to their texture size: the
// title stretches its picture by 1.7 across and 1.2 down, the figures by 1.5.
#include <cmath>
#include <string>

#include "datagen/generate.h"
#include "datagen/image.h"

namespace datagen {

namespace {

constexpr float kTau = 6.28318531f;
const Rgba kInk = Hex(0x3A1A08);

// The title picture: 256 by 256 drawn at (102, 6) scaled (1.7, 1.2), so it
// covers 435 by 307 pixels of the screen. The logo fills the upper part; the
// band below it holds the caption of the menu item and the two arrows
// (screen rows 195 to 256); below the band it is clear.
void TitlePicture(Output& out, const TextRenderer& text) {
  constexpr int kW = 870, kH = 614;  // twice 435 by 307
  Image c(kW, kH);
  // Clouds behind the logo.
  auto cloud = [&](float x, float y, float s) {
    const Rgba white = Hex(0xFFFFFF, 235);
    c.Disc(x, y, 34 * s, white);
    c.Disc(x + 40 * s, y - 16 * s, 44 * s, white);
    c.Disc(x + 88 * s, y, 36 * s, white);
    c.RoundRect(static_cast<int>(x), static_cast<int>(y - 6 * s), static_cast<int>(x + 90 * s),
                static_cast<int>(y + 34 * s), 18 * s, white);
  };
  cloud(60, 80, 1.0f);
  cloud(700, 50, 1.1f);
  cloud(640, 300, 0.7f);

  // A pomelo rising behind the plate, with its leaves.
  c.Disc(435, 72, 56, Hex(0x5A3A10));
  c.Disc(435, 72, 50, Hex(0xE8E040));
  c.Disc(420, 56, 20, Hex(0xFFFFB0, 150), 0.6f);
  c.Triangle(440, 18, 496, 8, 474, 36, Hex(0x2E8A2E));
  c.Triangle(430, 18, 378, 10, 400, 36, Hex(0x3AA03A));

  // The plate: dark rim, warm body, gloss over the upper half.
  c.RoundRect(34, 76, 836, 318, 70, kInk);
  c.RoundRectGradient(44, 86, 826, 308, 62, Hex(0xFFD040), Hex(0xFF7A20));
  c.RoundRectGradient(64, 94, 806, 190, 48, Hex(0xFFFFFF, 110), Hex(0xFFFFFF, 10));
  text.DrawFitted(c, "ポメルヴェイン", 64, 96, 806, 262, Hex(0xFFFFFF), kInk, 0.04f);
  // The name in letters on a ribbon across the bottom of the plate.
  c.RoundRect(230, 262, 640, 338, 22, kInk);
  c.RoundRectGradient(238, 270, 632, 330, 16, Hex(0xE83838), Hex(0xA01818));
  text.DrawFitted(c, "POMELVANE", 238, 270, 632, 330, Hex(0xFFF4C0), Hex(0x601010), 0.12f);

  // Sparkles.
  auto star = [&](float x, float y, float r) {
    for (int k = 0; k < 4; ++k) {
      const float a = kTau * static_cast<float>(k) / 4;
      c.Triangle(x + r * std::cos(a), y + r * std::sin(a), x + r * 0.22f * std::cos(a + 0.8f),
                 y + r * 0.22f * std::sin(a + 0.8f), x + r * 0.22f * std::cos(a - 0.8f),
                 y + r * 0.22f * std::sin(a - 0.8f), Hex(0xFFFFC0));
    }
    c.Disc(x, y, r * 0.25f, Hex(0xFFFFFF));
  };
  star(70, 210, 26);
  star(800, 200, 30);
  star(300, 40, 18);
  star(590, 30, 16);

  // The menu band (screen rows 195 to 256 of the picture's 6 to 313).
  c.RoundRect(6, 372, 864, 508, 40, Hex(0xFFFFFF, 200));
  c.RoundRectGradient(12, 378, 858, 502, 34, Hex(0x203C80, 220), Hex(0x10204C, 220));
  out.Write("texture/title/title.png", EncodePng(c.Shrunk(256, 256)));
}

// The figure: 256 by 256 drawn at (6, 261) scaled 1.5 and, mirrored, at
// (633, 261); the screen shows its upper 146 rows. A child waving on a
// grassy hill, the grass running flat and alike to the right edge so the two
// copies meet without a seam where they overlap.
void TitleFigure(Output& out) {
  constexpr int kS = 768;  // twice 384
  Image c(kS, kS);
  const float groundY = 376;  // screen row 449
  // Ground: a hill under the child, flat from the middle on.
  const Rgba grassTop = Hex(0x58C848), grassBottom = Hex(0x2E8A30);
  c.Disc(150, groundY + 150, 230, Hex(0x2A6A20));
  c.Disc(150, groundY + 156, 224, grassTop);
  c.VerticalGradient(0, static_cast<int>(groundY), kS, kS, grassTop, grassBottom);
  c.FillRect(0, static_cast<int>(groundY) - 4, kS, static_cast<int>(groundY), Hex(0x2A6A20));
  c.VerticalGradient(0, static_cast<int>(groundY), kS, static_cast<int>(groundY) + 6, Hex(0x80E060),
                     grassTop);
  // A small cloud in the sky between the two copies, and flowers, all left of
  // the part the copies share.
  c.Disc(360, 120, 22, Hex(0xFFFFFF, 235));
  c.Disc(388, 104, 28, Hex(0xFFFFFF, 235));
  c.Disc(418, 120, 22, Hex(0xFFFFFF, 235));
  c.RoundRect(356, 112, 424, 140, 12, Hex(0xFFFFFF, 235));
  auto flower = [&](float x, float y, uint32_t petal) {
    for (int k = 0; k < 5; ++k) {
      const float a = kTau * static_cast<float>(k) / 5;
      c.Disc(x + 9 * std::cos(a), y + 9 * std::sin(a), 7, Hex(petal));
    }
    c.Disc(x, y, 6, Hex(0xFFD030));
  };
  flower(330, groundY + 34, 0xFFFFFF);
  flower(420, groundY + 20, 0xFF80B0);
  flower(40, groundY - 40, 0xFFFFFF);
  flower(250, groundY - 10, 0xFFE060);

  // The child, outlined: legs and shoes, the arms, the body, the head.
  const float cx = 150, feet = 372;
  const Rgba skin = Hex(0xFFD8B0), shirt = Hex(0x3070E0), trousers = Hex(0x283C78);
  auto limb = [&](float x0, float y0, float x1, float y1, float w, Rgba col) {
    c.Line(x0, y0, x1, y1, w + 10, kInk);
    c.Line(x0, y0, x1, y1, w, col);
  };
  auto outlined = [&](float l, float t, float r, float b, float rad, Rgba col) {
    c.RoundRect(static_cast<int>(l - 5), static_cast<int>(t - 5), static_cast<int>(r + 5),
                static_cast<int>(b + 5), rad + 5, kInk);
    c.RoundRect(static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b),
                rad, col);
  };
  limb(cx - 24, feet - 80, cx - 30, feet, 28, trousers);
  limb(cx + 24, feet - 80, cx + 30, feet, 28, trousers);
  outlined(cx - 62, feet - 6, cx - 14, feet + 14, 9, Hex(0xD03030));
  outlined(cx + 14, feet - 6, cx + 62, feet + 14, 9, Hex(0xD03030));
  limb(cx - 46, feet - 172, cx - 86, feet - 96, 24, shirt);    // the lower arm
  limb(cx + 46, feet - 172, cx + 108, feet - 252, 24, shirt);  // waving
  c.Disc(cx - 88, feet - 92, 19, kInk);
  c.Disc(cx - 88, feet - 92, 14, skin);
  c.Disc(cx + 112, feet - 258, 19, kInk);
  c.Disc(cx + 112, feet - 258, 14, skin);
  c.RoundRect(static_cast<int>(cx - 62), static_cast<int>(feet - 196), static_cast<int>(cx + 62),
              static_cast<int>(feet - 62), 38, kInk);
  c.RoundRectGradient(static_cast<int>(cx - 56), static_cast<int>(feet - 190),
                      static_cast<int>(cx + 56), static_cast<int>(feet - 68), 32, Hex(0x4A8CF8),
                      Hex(0x2050B8));
  const float hy = feet - 272;  // head centre
  c.Disc(cx, hy, 86, kInk);
  c.Disc(cx, hy, 80, Hex(0x5A3418));  // hair, then the face over it
  c.Disc(cx, hy + 12, 68, skin);
  // A cap with its brim.
  outlined(cx - 64, hy - 92, cx + 64, hy - 30, 40, Hex(0xE03030));
  outlined(cx - 80, hy - 42, cx + 92, hy - 26, 8, Hex(0xE03030));
  c.Disc(cx, hy - 92, 10, Hex(0xFFFFFF));
  // Face: eyes with highlights, cheeks, a smile.
  for (float ex : {cx - 28, cx + 28}) {
    c.Disc(ex, hy + 14, 13, kInk);
    c.Disc(ex + 4, hy + 8, 5, Hex(0xFFFFFF));
  }
  c.Disc(cx - 50, hy + 40, 13, Hex(0xFF7070, 140));
  c.Disc(cx + 50, hy + 40, 13, Hex(0xFF7070, 140));
  for (int k = 0; k < 8; ++k) {
    const float a0 = 0.5f + 2.14f * static_cast<float>(k) / 8;
    const float a1 = 0.5f + 2.14f * static_cast<float>(k + 1) / 8;
    c.Line(cx + 22 * std::cos(a0), hy + 32 + 16 * std::sin(a0), cx + 22 * std::cos(a1),
           hy + 32 + 16 * std::sin(a1), 6, kInk);
  }
  out.Write("texture/title/title_hitoObject.png", EncodePng(c.Shrunk(256, 256)));
}

}  // namespace

void GenerateTitle(Output& out, const TextRenderer& text) {
  TitlePicture(out, text);
  TitleFigure(out);
}

}  // namespace datagen
