// Every picture the game loads: the menu and HUD sheets (labels rendered
// with the Japanese font inside the rectangles the game draws), the font
// cells, gauges, faces, effect sprites, loading screens and field textures.
#include <algorithm>
#include <cmath>
#include <map>

#include "datagen/generate.h"
#include "datagen/image.h"
#include "datagen/manifest.h"

namespace datagen {

namespace {

constexpr float kTau = 6.28318531f;
const Rgba kOutline = Hex(0x101020, 255);

void Png(Output& out, const std::string& path, const Image& img) {
  out.Write(path, EncodePng(img));
}

// A deterministic noise value in [0, 1) for a pixel.
float Noise(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65536.0f;
}

void Sheets(Output& out, const TextRenderer& text) {
  const std::map<std::string, uint32_t> panel = {
      {"texture/stage_text.png", 0x2050C0},
      {"texture/pausetext.png", 0x303060},
      {"texture/sokaitext.png", 0xC05020},
      {"texture/title/course.png", 0x1C6C3C},
      {"texture/optiontext.png", 0x5A2A8A},
      {"texture/optiontext2.png", 0x5A2A8A},
      {"texture/battle/battlesetting_text.png", 0x8A2A2A},
      {"texture/battle/battle_text.png", 0xA03030},
      {"texture/rankingtext.png", 0x806010},
      {"texture/endresstext.png", 0x206080},
      {"texture/stageintroduce/stage_introduce1.png", 0x2A5A9A},
      {"texture/stageintroduce/stage_introduce2.png", 0x2A5A9A}};
  for (const UiSheet& s : UiSheets()) {
    if (s.path == "texture/font.png") continue;
    Image img(s.width, s.height);
    uint32_t colour = panel.at(s.path);
    // Larger pictures first: a rectangle inside another is the tail end of
    // that picture (a unit after a caption), drawn over it.
    std::vector<UiRect> rects = s.rects;
    std::stable_sort(rects.begin(), rects.end(), [](const UiRect& a, const UiRect& b) {
      return (a.right - a.left) * (a.bottom - a.top) > (b.right - b.left) * (b.bottom - b.top);
    });
    for (const UiRect& r : rects) {
      std::string label = r.label;
      int w = r.right - r.left, h = r.bottom - r.top;
      int textRight = r.right;
      for (const UiRect& in : rects)
        if (in.left > r.left && in.right <= r.right && in.top >= r.top && in.bottom <= r.bottom)
          textRight = std::min(textRight, in.left);
      if (label == "-") {  // a separator line
        img.FillRect(r.left, r.top, r.right, r.bottom, Hex(0xFFFFFF));
        continue;
      }
      if (label == "▶" || label == "▼") {  // arrows and pointers
        if (label == "▶")
          img.Triangle(static_cast<float>(r.left), static_cast<float>(r.top),
                       static_cast<float>(r.right), (r.top + r.bottom) / 2.0f,
                       static_cast<float>(r.left), static_cast<float>(r.bottom), Hex(0xFFE040));
        else
          img.Triangle(static_cast<float>(r.left), static_cast<float>(r.top),
                       static_cast<float>(r.right), static_cast<float>(r.top),
                       (r.left + r.right) / 2.0f, static_cast<float>(r.bottom), Hex(0xFF4040));
        continue;
      }
      // Single signs (digits, ':', '=') stand on their own, without a panel.
      size_t points = 0;
      for (unsigned char ch : label) points += (ch & 0xC0) != 0x80;
      if (points == 1) {
        text.DrawFitted(img, label, r.left, r.top, textRight, r.bottom, Hex(0xFFFFFF), kOutline,
                        0.04f);
        continue;
      }
      float radius = std::min(w, h) * 0.25f;
      img.RoundRect(r.left, r.top, r.right, r.bottom, radius, Hex(colour, 230));
      img.RoundRect(r.left + 2, r.top + 2, r.right - 2, r.top + h / 2, radius, Hex(0xFFFFFF, 40));
      text.DrawFitted(img, label, r.left, r.top, textRight, r.bottom, Hex(0xFFFFFF), kOutline,
                      0.1f);
    }
    Png(out, s.path, img);
  }
}

// Glyph cells: 0-9 digits, 10 the blank a new name starts with, then letters
// and signs; 45 is the back-space sign.
void Font(Output& out, const TextRenderer& text) {
  static const char* const glyphs[47] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "-", "A",
                                         "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                         "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y",
                                         "Z", ".", "!", "?", "&", "♪", "☆", "◆", "*", "←", "~"};
  Image img(256, 512);
  for (int n = 0; n < 47; ++n) {
    int l = 32 * (n % 8) + 3, t = 44 * (n / 8);
    int top = t, bottom = t + 37;
    if (n < 10) {  // the digits of numbers use rows 2-33 and 46-77
      top = n < 8 ? 2 : 46;
      bottom = top + 31;
    }
    text.DrawFitted(img, glyphs[n], l, top, l + 24, bottom, Hex(0xFFFFFF), kOutline, 0.06f);
  }
  Png(out, "texture/font.png", img);
}

Image GaugeFrame(uint32_t colour, const TextRenderer* text, const char* label, int w = 256,
                 int h = 64) {
  Image img(w, h);
  img.Frame(0, 0, w, h, 6, Hex(colour));
  img.Frame(6, 6, w - 6, h - 6, 2, Hex(0x101010));
  if (text && label) {
    img.RoundRect(4, 2, 70, 22, 6, Hex(colour));
    text->DrawFitted(img, label, 4, 2, 70, 22, Hex(0xFFFFFF), kOutline, 0.1f);
  }
  return img;
}

Image GaugeBar(uint32_t light, uint32_t dark) {
  Image img(256, 64);
  img.VerticalGradient(0, 0, 256, 64, Hex(light), Hex(dark));
  return img;
}

void Hud(Output& out, const TextRenderer& text) {
  Png(out, "texture/white.png", Image(1, 1, Hex(0xFFFFFF)));
  {
    Image c(64, 64);
    c.Triangle(8, 8, 58, 32, 8, 56, Hex(0x101010));
    c.Triangle(12, 14, 50, 32, 12, 50, Hex(0xFFD020));
    Png(out, "texture/cursor.png", c);
  }
  // The charge gauge: a short bar left of the stun gauge with the charge
  // level's digit under its right end. Its frame is drawn at half the bar's
  // scale, so the frame is twice the bar's size.
  {  // Filled by the alpha test: opaque at the left, fading to half.
    Image bar(32, 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) {
        uint8_t shade = static_cast<uint8_t>(255 - std::abs(y - 6) * 8);
        bar.At(x, y) = {shade, shade, shade, static_cast<uint8_t>(255 - (127 * x) / 31)};
      }
    out.Write("texture/battle/charge_gazi_bar.tga", EncodeTga(bar));
  }
  Png(out, "texture/battle/charge_gazi_waku.png", GaugeFrame(0xE0B030, nullptr, nullptr, 64, 32));
  Png(out, "texture/battle/piyori_waku.png", GaugeFrame(0xE08020, &text, "ピヨリ"));
  Png(out, "texture/battle/poyori_gazi.png", GaugeBar(0xFFF060, 0xE09010));
  Png(out, "texture/battle/enemygazi.png", GaugeFrame(0xA02020, &text, "てき"));
  Png(out, "texture/battle/enemybar.png", GaugeBar(0xFF6060, 0xA01010));
  {
    Image x(32, 32);
    x.Line(6, 6, 26, 26, 6, Hex(0xE02020));
    x.Line(26, 6, 6, 26, 6, Hex(0xE02020));
    Png(out, "texture/battle/enemyFace/batu.png", x);
  }
  struct Face {
    const char* path;
    uint32_t skin, eyes, hat;
  };
  const Face faces[] = {
      {"zako1_face", 0xE04040, 0x101010, 0xFFE060}, {"zako2_face", 0xA0A8B0, 0x20F0F0, 0x404850},
      {"zako3_face", 0x6090E0, 0x101010, 0xF0F0F0}, {"zako4_face", 0x60A060, 0xF0D020, 0x202020},
      {"1boss_face", 0xC09060, 0x101010, 0xF0C020}, {"2boss_face", 0xC0C8D0, 0xF02020, 0xD02020},
      {"3boss_face", 0xE0D0F0, 0x101010, 0x301050}};
  for (const Face& f : faces) {
    Image img(32, 32);
    img.Disc(16, 17, 13, Hex(f.skin));
    img.FillRect(5, 2, 27, 9, Hex(f.hat));
    img.Disc(11, 16, 2.5f, Hex(f.eyes));
    img.Disc(21, 16, 2.5f, Hex(f.eyes));
    img.Line(12, 24, 20, 24, 2, Hex(0x401010));
    Png(out, std::string("texture/battle/enemyFace/") + f.path + ".png", img);
  }
  {
    // Drawn unscaled at x = 30, so the banner's centre sits at 290 in the
    // picture to land on the screen's centre (320).
    Image boss(512, 128);
    boss.RoundRect(72, 8, 508, 120, 20, Hex(0x400000, 200));
    text.DrawFitted(boss, "HERE COMES THE BOSS!", 78, 10, 502, 80, Hex(0xFF3030), Hex(0xFFFFFF),
                    0.04f);
    text.DrawFitted(boss, "ボス出現!", 78, 78, 502, 118, Hex(0xFFE040), kOutline, 0.04f);
    Png(out, "data/HERE_COME_THE_BOSS.png", boss);
  }
}

struct Character {
  uint32_t body, skin, hat, back;
};
const Character kCharacters[4] = {{0x3070E0, 0xFFD8B0, 0xE03030, 0x9FC8F0},
                                  {0xF0C020, 0xFFD8B0, 0xF08020, 0xF8E8A0},
                                  {0x30B050, 0xFFD8B0, 0x207040, 0xB0E8C0},
                                  {0x9040D0, 0xFFD8B0, 0xF0F0F0, 0xD8C0F0}};

Image Portrait(const Character& c, int size) {
  Image img(size, size, Hex(c.back));
  float s = static_cast<float>(size) / 128.0f;
  img.RoundRect(static_cast<int>(34 * s), static_cast<int>(78 * s), static_cast<int>(94 * s),
                size + 10, 18 * s, Hex(c.body));
  img.Disc(64 * s, 52 * s, 32 * s, Hex(c.skin));
  img.FillRect(static_cast<int>(30 * s), static_cast<int>(16 * s), static_cast<int>(98 * s),
               static_cast<int>(32 * s), Hex(c.hat));
  img.Disc(52 * s, 54 * s, 4 * s, Hex(0x101010));
  img.Disc(76 * s, 54 * s, 4 * s, Hex(0x101010));
  img.Line(54 * s, 70 * s, 74 * s, 70 * s, 3 * s, Hex(0x802020));
  return img;
}

void Menus(Output& out, const TextRenderer& text) {
  for (int i = 0; i < 4; ++i)
    out.Write("texture/battle/player" + std::to_string(i + 1) + "_stand.jpg",
              EncodeJpeg(Portrait(kCharacters[i], 128)));
  {
    Image all(128, 128, Hex(0x303040));
    for (int i = 0; i < 4; ++i)
      all.Draw(Portrait(kCharacters[i], 64), 64.0f * (i % 2), 64.0f * (i / 2), 64.0f * (i % 2) + 64,
               64.0f * (i / 2) + 64);
    Png(out, "texture/battle/chara_stand.png", all);
  }
  // Field previews from above: floor, blocks and the stage's name.
  struct Preview {
    const char* path;
    uint32_t floor, block;
    const char* name;
    int blocks[4][4];
  };
  const Preview previews[2] = {
      {"texture/battle/stage1_picture.png",
       0x58A848,
       0x907050,
       "ステージ1",
       {{82, 82, 98, 98}, {20, 72, 44, 84}, {80, 18, 92, 30}, {0, 0, 0, 0}}},
      {"texture/battle/stage3_picture.png",
       0xA89878,
       0x606070,
       "ステージ3",
       {{34, 34, 44, 44}, {84, 34, 94, 44}, {34, 84, 44, 94}, {84, 84, 94, 94}}}};
  for (const Preview& p : previews) {
    Image img(128, 128, Hex(0x604830));
    img.FillRect(6, 6, 122, 122, Hex(p.floor));
    for (const auto& b : p.blocks) img.FillRect(b[0], b[1], b[2], b[3], Hex(p.block));
    text.DrawFitted(img, p.name, 10, 100, 118, 124, Hex(0xFFFFFF), kOutline, 0.05f);
    Png(out, p.path, img);
  }
  struct Loading {
    const char* path;
    uint32_t top, bottom;
    const char* title;
  };
  const Loading loads[4] = {
      {"texture/load_tex/stage1_load_tex.jpg", 0x80C8FF, 0x208040, "ステージ1"},
      {"texture/load_tex/stage2_load_tex.jpg", 0x202060, 0x604080, "ステージ2"},
      {"texture/load_tex/stage3_load_tex.jpg", 0x605050, 0x302020, "ステージ3"},
      {"texture/load_tex/sokai_stage_load_tex.jpg", 0xFFE080, 0xFF6040, "そうかいステージ"}};
  for (const Loading& l : loads) {
    Image img(512, 512);
    img.VerticalGradient(0, 0, 512, 512, Hex(l.top), Hex(l.bottom));
    text.DrawFitted(img, l.title, 40, 140, 472, 280, Hex(0xFFFFFF), kOutline, 0.04f);
    text.DrawFitted(img, "ロード中…", 120, 340, 392, 420, Hex(0xFFFF80), kOutline, 0.04f);
    out.Write(l.path, EncodeJpeg(img));
  }
}

// Additive sprites are glows on black; alpha-blended ones carry alpha.
void Effects(Output& out) {
  auto glow = [](int size, uint32_t colour, float falloff) {
    Image img(size, size, Hex(0x000000));
    float c = static_cast<float>(size) / 2;
    img.Disc(c, c, c * 0.95f, Hex(colour), falloff);
    img.Disc(c, c, c * 0.35f, Hex(0xFFFFFF), 0.5f);
    return img;
  };
  Png(out, "texture/effect/particle1.png", glow(64, 0xFFA040, 0.5f));
  Png(out, "texture/effect/particle2.png", glow(64, 0x40A0FF, 0.5f));
  Png(out, "texture/effect/particle3.png", glow(64, 0x60FF60, 0.5f));
  {  // The sokai shot is drawn alpha-blended and spins: its own alpha, and a
     // four-pointed star that shows the turn.
    Image img(64, 64, Hex(0xFF6020, 0));
    img.Disc(32, 32, 30, Hex(0xFF6020), 0.6f);
    for (int k = 0; k < 4; ++k) {
      const float a = kTau * static_cast<float>(k) / 4, b = a + kTau / 8, c = a - kTau / 8;
      img.Triangle(32 + 30 * std::cos(a), 32 + 30 * std::sin(a), 32 + 8 * std::cos(b),
                   32 + 8 * std::sin(b), 32 + 8 * std::cos(c), 32 + 8 * std::sin(c), Hex(0xFFE040));
    }
    img.Disc(32, 32, 10, Hex(0xFFFFFF), 0.5f);
    Png(out, "texture/player1_largetama3.png", img);
  }
  {  // Drawn alpha-blended, so the glow carries its own alpha.
    Image img(64, 64, Hex(0xC040FF, 0));
    img.Disc(32, 32, 30, Hex(0xC040FF), 0.6f);
    img.Disc(32, 32, 11, Hex(0xFFFFFF), 0.5f);
    Png(out, "texture/3boss_tama1.png", img);
  }
  auto star = [](uint32_t colour) {
    Image img(64, 64, Hex(0x000000));
    for (int k = 0; k < 5; ++k) {
      float a = kTau * static_cast<float>(k) / 5 - kTau / 4, b = a + kTau / 10, c = a - kTau / 10;
      img.Triangle(32 + 30 * std::cos(a), 32 + 30 * std::sin(a), 32 + 12 * std::cos(b),
                   32 + 12 * std::sin(b), 32 + 12 * std::cos(c), 32 + 12 * std::sin(c),
                   Hex(colour));
    }
    img.Disc(32, 32, 13, Hex(colour));
    img.Disc(32, 32, 8, Hex(0xFFFFFF), 0.5f);
    return img;
  };
  Png(out, "texture/effect/star1.png", star(0xFFE040));
  Png(out, "texture/effect/star2.png", star(0x80E0FF));
  {
    Image img(64, 64, Hex(0x000000));
    for (int k = 0; k < 12; ++k) {
      float a = kTau * static_cast<float>(k) / 12;
      float r = (k % 2) ? 22.0f : 31.0f;
      img.Line(32, 32, 32 + r * std::cos(a), 32 + r * std::sin(a), 5, Hex(0xFF8020));
    }
    img.Disc(32, 32, 18, Hex(0xFFD060), 0.6f);
    img.Disc(32, 32, 9, Hex(0xFFFFFF), 0.6f);
    Png(out, "texture/effect/hit_explosion.png", img);
  }
  {
    Image img(64, 64, Hex(0x000000));
    img.Ring(32, 32, 22, 8, Hex(0x60C0FF));
    img.Ring(32, 32, 22, 3, Hex(0xFFFFFF));
    Png(out, "texture/effect/charge1.png", img);
  }
  {  // Smoke is blended by its alpha.
    Image img(64, 64, Hex(0xC8C0B8, 0));
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        float d = std::hypot(x + 0.5f - 32, y + 0.5f - 32) / 30;
        float a = std::clamp(1 - d, 0.0f, 1.0f) * (0.7f + 0.3f * Noise(x / 4, y / 4, 7));
        img.At(x, y) = {200, 192, 184, static_cast<uint8_t>(std::lround(220 * a))};
      }
    Png(out, "texture/effect/smoke1.png", img);
  }
  {  // Four bolts; each picture's top is the far end of the beam.
    Image img(256, 256, Hex(0x000000));
    for (int q = 0; q < 4; ++q) {
      float ox = 128.0f * (q % 2), oy = 128.0f * (q / 2);
      uint32_t seed = static_cast<uint32_t>(q) + 11;
      float x = 64, prevX = 64, prevY = 0;
      for (int step = 1; step <= 8; ++step) {
        float y = 16.0f * static_cast<float>(step);
        x = std::clamp(x + (Noise(step, q, seed) - 0.5f) * 44, 20.0f, 108.0f);
        img.Line(ox + prevX, oy + prevY, ox + x, oy + y, 9, Hex(0x4060FF));
        img.Line(ox + prevX, oy + prevY, ox + x, oy + y, 3, Hex(0xFFFFFF));
        prevX = x;
        prevY = y;
      }
    }
    Png(out, "texture/effect/thunder1.png", img);
  }
  {
    Image img(128, 128, Hex(0xFFFFFF, 0));
    img.Ring(64, 64, 54, 14, Hex(0xFFFFFF, 200));
    img.Ring(64, 64, 54, 5, Hex(0xA0E0FF, 255));
    Png(out, "texture/effect/shock_wave1.png", img);
  }
  {  // A swirl around the centre.
    Image img(128, 128, Hex(0x000000, 0));
    for (int arm = 0; arm < 3; ++arm)
      for (int k = 0; k < 120; ++k) {
        float t = static_cast<float>(k) / 120;
        float a = kTau * (t * 1.25f + static_cast<float>(arm) / 3), r = 4 + 56 * t;
        img.Disc(64 + r * std::cos(a), 64 + r * std::sin(a), 2 + 5 * t,
                 Hex(0xC080FF, static_cast<uint8_t>(255 - 150 * t)));
      }
    img.Disc(64, 64, 10, Hex(0xFFFFFF), 0.6f);
    Png(out, "texture/effect/twist.png", img);
  }
  {
    Image img(128, 128, Hex(0xFF3030, 0));
    img.Ring(64, 64, 56, 8, Hex(0xFF3030));
    img.Ring(64, 64, 34, 5, Hex(0xFF8030));
    img.Line(64, 6, 64, 122, 4, Hex(0xFF3030));
    img.Line(6, 64, 122, 64, 4, Hex(0xFF3030));
    Png(out, "texture/effect/marker.png", img);
  }
  {
    Image img(64, 64, Hex(0xFF4060, 0));
    img.Disc(32, 32, 30, Hex(0xFF4060), 0.5f);
    img.Disc(32, 32, 12, Hex(0xFFFFFF), 0.6f);
    Png(out, "texture/effect/enemy_tama2_center.png", img);
  }
  {  // Darkening amount: black is none, grey toward the middle.
    Image img(64, 64, Hex(0x000000));
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        float d = std::hypot(x + 0.5f - 32, y + 0.5f - 32) / 30;
        uint8_t v = static_cast<uint8_t>(std::lround(150 * std::clamp((1 - d) * 2.5f, 0.0f, 1.0f)));
        img.At(x, y) = {v, v, v, 255};
      }
    Png(out, "data/circle_shadow.png", img);
  }
  {  // The toon ramp, dark to light from left to right.
    Image img(64, 8);
    for (int x = 0; x < 64; ++x) {
      uint8_t v = x < 22 ? 140 : x < 44 ? 205 : 255;
      for (int y = 0; y < 8; ++y) img.At(x, y) = {v, v, v, 255};
    }
    out.Write("data/toon.bmp", EncodeBmp(img));
  }
}

// Textures named inside the field and prop meshes.
void MeshTextures(Output& out) {
  auto tiles = [](uint32_t a, uint32_t b, int cells, uint32_t seed) {
    Image img(256, 256);
    int size = 256 / cells;
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        bool odd = ((x / size) + (y / size)) % 2;
        Rgba c = Lerp(Hex(odd ? a : b), Hex(0x000000), 0.15f * Noise(x / 2, y / 2, seed));
        if (x % size == 0 || y % size == 0) c = Lerp(c, Hex(0x000000), 0.3f);
        img.At(x, y) = c;
      }
    return img;
  };
  auto bricks = [](uint32_t brick, uint32_t mortar) {
    Image img(128, 128, Hex(mortar));
    for (int row = 0; row < 8; ++row)
      for (int col = -1; col < 4; ++col) {
        int l = col * 32 + (row % 2) * 16 + 1;
        img.FillRect(l, row * 16 + 1, l + 30, row * 16 + 15,
                     Lerp(Hex(brick), Hex(0x000000), 0.1f * ((row + col) % 3)));
      }
    return img;
  };
  auto sky = [](uint32_t top, uint32_t horizon, uint32_t seed) {
    Image img(256, 256);
    img.VerticalGradient(0, 0, 256, 256, Hex(top), Hex(horizon));
    for (int k = 0; k < 10; ++k) {
      float x = 256 * Noise(k, 1, seed), y = 120 + 90 * Noise(k, 2, seed);
      img.Disc(x, y, 10 + 14 * Noise(k, 3, seed), Hex(0xFFFFFF, 150), 0.6f);
    }
    return img;
  };
  Png(out, "Xfile/stage1/stage1_ground.png", tiles(0x5AAE48, 0x4C9A3C, 8, 1));
  Png(out, "Xfile/stage1/stage1_wall.png", bricks(0xA07050, 0x605040));
  Png(out, "Xfile/stage1/round_sky.png", sky(0x3070D0, 0xB0E0FF, 1));
  Png(out, "Xfile/stage2/stage2_ground.png", tiles(0x707080, 0x5A5A6A, 8, 2));
  Png(out, "Xfile/stage2/stage2_wall.png", bricks(0x505068, 0x303040));
  Png(out, "Xfile/stage2/stage2_sky.png", sky(0x101040, 0x604080, 2));
  Png(out, "Xfile/stage3/stage3_ground.png", tiles(0x9A8A78, 0x807060, 4, 3));
  Png(out, "Xfile/stage3/stage3_wall.png", bricks(0x707078, 0x404048));
  Png(out, "Xfile/stage3/battle_stage3_ground.png", tiles(0xD0B880, 0xB89C68, 8, 4));
  Png(out, "Xfile/sokai_stage/sokai_ground.png", tiles(0xF0D070, 0xE0A050, 8, 5));
  Png(out, "Xfile/sokai_stage/sokai_wall.png", bricks(0xE07040, 0x804020));
  Png(out, "Xfile/sokai_stage/sokai_sky.png", sky(0xFF9040, 0xFFE0A0, 5));
  {
    Image img(64, 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        img.At(x, y) = Lerp(Hex(0xB08050), Hex(0x604020),
                            0.5f + 0.5f * std::sin(x * 0.6f + 3 * Noise(x / 8, y / 16, 9)));
    Png(out, "Xfile/stage3/hammar.png", img);
  }
  {
    Image img(64, 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 64; ++x) {
        float a =
            std::clamp(1 - std::fabs(y - 7.5f) / 8, 0.0f, 1.0f) * (1 - static_cast<float>(x) / 64);
        img.At(x, y) = {255, 255, 230, static_cast<uint8_t>(std::lround(255 * a))};
      }
    Png(out, "Xfile/kouka_line.png", img);
  }
  {  // The sun: warm yellow with faint bands, and its orange rays.
    Image img(64, 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        img.At(x, y) = Lerp(Hex(0xFFE060), Hex(0xFFC030), 0.5f + 0.5f * std::sin(y * 0.4f));
    Png(out, "Xfile/sun.png", img);
    Image rays(16, 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) rays.At(x, y) = Hex(0xFF9020);
    Png(out, "Xfile/sun_ray.png", rays);
  }
}

}  // namespace

void GenerateTextures(Output& out, const std::string& fontPath) {
  TextRenderer text(fontPath);
  Sheets(out, text);
  Font(out, text);
  Hud(out, text);
  Menus(out, text);
  GenerateTitle(out, text);
  Effects(out);
  MeshTextures(out);
}

}  // namespace datagen
