// Static meshes: shots, bullets, markers, hazards, ornaments and the sun.
// Objects are drawn without lights, so every material glows by itself.
#include "datagen/generate.h"
#include "datagen/geometry.h"

namespace datagen {

namespace {

void Save(Output& out, const std::string& path, const Mesh& m, bool binary) {
  XNode frame("Frame", "Frame_root");
  frame.Add(MatrixNode(Mat4{}));
  frame.Add(MeshNode(m, "mesh"));
  WriteX(out, path, {frame}, binary);
}

Mesh Ball(float r, uint32_t core, uint32_t rim, int slices = 12) {
  Mesh m;
  int a = m.AddMaterial(Glow(core));
  m.Sphere({0, 0, 0}, {r, r, r}, slices, slices / 2 + 1, a);
  int b = m.AddMaterial(Glow(rim));
  // A band around the middle shows the spin.
  m.Torus({0, 0, 0}, r * 0.98f, r * 0.08f, slices, 4, b);
  return m;
}

// A big ball with three bands round it, so its roll and spin show although
// it is lit evenly.
Mesh BandedBall(float r, uint32_t core, uint32_t band) {
  Mesh m = Ball(r, core, band, 16);
  const int b = m.AddMaterial(Glow(band));
  for (const Mat4& turn : {Mat4::RotY(Rad(90)), Mat4::RotX(Rad(90))}) {
    const size_t first = m.pos.size();
    m.Torus({0, 0, 0}, r * 0.98f, r * 0.08f, 16, 4, b);
    m.Transform(turn, first);
  }
  return m;
}

// A seven-segment digit of boxes on the z = depth face, about 0.5 high.
void Digit(Mesh& m, int digit, float depth, int mat) {
  static const int seg[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  const float w = 0.16f, h = 0.22f, t = 0.035f;
  const Vec3 centres[7] = {{0, 2 * h, 0}, {w, h, 0},  {w, -h, 0}, {0, -2 * h, 0},
                           {-w, -h, 0},   {-w, h, 0}, {0, 0, 0}};
  for (int s = 0; s < 7; ++s) {
    if (!(seg[digit] >> s & 1)) continue;
    bool horizontal = s == 0 || s == 3 || s == 6;
    Vec3 half = horizontal ? Vec3{w, t, 0.04f} : Vec3{t, h, 0.04f};
    m.Box(centres[s] * 0.5f + Vec3{0, 0, depth}, half * 0.5f + Vec3{0, 0, 0.02f}, mat);
  }
}

Mesh Medal(uint32_t face, uint32_t rim, int digit) {
  Mesh m;
  int f = m.AddMaterial(Glow(face)), r = m.AddMaterial(Glow(rim));
  size_t first = m.pos.size();
  m.Cylinder({0, -0.06f, 0}, 0.5f, 0.12f, 16, f);
  m.Transform(Mat4::RotX(Rad(90)), first);
  Digit(m, digit, 0.08f, r);
  Digit(m, digit, -0.08f, r);
  return m;
}

}  // namespace

void GenerateProps(Output& out) {
  {  // The chick that circles a stunned head: body, head, beak, feet.
    Mesh m;
    int yellow = m.AddMaterial(Glow(0xFFE040)), orange = m.AddMaterial(Glow(0xFF8020)),
        black = m.AddMaterial(Glow(0x101010));
    m.Sphere({0, 0.35f, 0}, {0.3f, 0.28f, 0.33f}, 10, 6, yellow);
    m.Sphere({0, 0.72f, 0.1f}, {0.2f, 0.2f, 0.2f}, 10, 6, yellow);
    m.Box({0, 0.7f, 0.33f}, {0.06f, 0.03f, 0.06f}, orange);
    m.Box({0.08f, 0.78f, 0.27f}, {0.025f, 0.03f, 0.01f}, black);
    m.Box({-0.08f, 0.78f, 0.27f}, {0.025f, 0.03f, 0.01f}, black);
    m.Box({0.1f, 0.03f, 0.05f}, {0.04f, 0.03f, 0.08f}, orange);
    m.Box({-0.1f, 0.03f, 0.05f}, {0.04f, 0.03f, 0.08f}, orange);
    Save(out, "Xfile/hiyoko.X", m, false);
  }
  {
    Mesh m;
    int w = m.AddMaterial(Glow(0xFFFFFF)), b = m.AddMaterial(Glow(0x202060));
    m.Sphere({0, 0, 0}, {0.1f, 0.1f, 0.1f}, 8, 5, w);
    m.Sphere({0, 0, 0.07f}, {0.05f, 0.05f, 0.04f}, 8, 5, b);
    Save(out, "Xfile/eye.X", m, false);
  }
  {  // Rank 1: a crown.
    Mesh m;
    int gold = m.AddMaterial(Glow(0xFFD040)), red = m.AddMaterial(Glow(0xE02030));
    m.Lathe({0, -0.25f, 0}, 0.3f, {0.45f, 0.45f, 0.47f}, 16, gold);
    for (int k = 0; k < 5; ++k) {
      float a = 2 * kPi * static_cast<float>(k) / 5;
      Vec3 c{0.42f * std::sin(a), 0.15f, 0.42f * std::cos(a)};
      m.Box(c, {0.07f, 0.12f, 0.07f}, gold);
      m.Sphere(c + Vec3{0, 0.16f, 0}, {0.06f, 0.06f, 0.06f}, 6, 4, red);
    }
    Save(out, "Xfile/top.X", m, false);
  }
  Save(out, "Xfile/2i.X", Medal(0xD0D8E0, 0x404860, 2), false);
  Save(out, "Xfile/3i.X", Medal(0xC08040, 0x402010, 3), false);
  Save(out, "Xfile/biri.X", Medal(0x6070A0, 0x202030, 4), true);
  {  // The sun, drawn twenty times larger 100 units away: about 7 degrees across.
    Mesh m;
    // Textured, so that it shows its colours drawn unlit after the field.
    Material core = Glow(0xFFE080), ray = Glow(0xFFA030);
    core.texture = "Xfile/sun.png";
    ray.texture = "Xfile/sun_ray.png";
    int y = m.AddMaterial(core), o = m.AddMaterial(ray);
    m.Sphere({0, 0, 0}, {0.3f, 0.3f, 0.3f}, 16, 9, y);
    for (int k = 0; k < 8; ++k) {
      size_t first = m.pos.size();
      m.Box({0, 0.405f, 0}, {0.036f, 0.075f, 0.036f}, o);
      m.Transform(Mat4::RotZ(2 * kPi * static_cast<float>(k) / 8), first);
    }
    Save(out, "Xfile/sun.X", m, false);
  }
  {  // A streak along +z, drawn unlit and blended.
    Mesh m;
    Material mat = Glow(0xFFFFFF, 0.9f);
    mat.texture = "Xfile/kouka_line.png";
    int a = m.AddMaterial(mat);
    m.Quad({-0.05f, 0, 0}, {0.05f, 0, 0}, {0.05f, 0, 2}, {-0.05f, 0, 2}, {0, 1, 0}, a);
    m.Quad({-0.05f, 0, 0}, {0.05f, 0, 0}, {0.05f, 0, 2}, {-0.05f, 0, 2}, {0, -1, 0}, a);
    m.Quad({0, -0.05f, 0}, {0, 0.05f, 0}, {0, 0.05f, 2}, {0, -0.05f, 2}, {1, 0, 0}, a);
    m.Quad({0, -0.05f, 0}, {0, 0.05f, 0}, {0, 0.05f, 2}, {0, -0.05f, 2}, {-1, 0, 0}, a);
    Save(out, "Xfile/kouka_line.x", m, false);
  }
  {  // The sunflower worn by character 2, facing +z.
    Mesh m;
    int petal = m.AddMaterial(Glow(0xFFD020)), centre = m.AddMaterial(Glow(0x6A3A10)),
        stem = m.AddMaterial(Glow(0x30A030));
    m.Cylinder({0, -0.05f, 0}, 0.2f, 0.1f, 12, centre);
    m.Transform(Mat4::RotX(Rad(90)));
    for (int k = 0; k < 10; ++k) {
      size_t first = m.pos.size();
      m.Box({0, 0.35f, 0}, {0.08f, 0.16f, 0.03f}, petal);
      m.Transform(Mat4::RotZ(2 * kPi * static_cast<float>(k) / 10), first);
    }
    m.Box({0, -0.45f, -0.05f}, {0.03f, 0.25f, 0.03f}, stem);
    Save(out, "Xfile/battleplayer2p/himawari.X", m, false);
  }
  {  // Boss 3's props, held at the grip (origin), reaching along +z.
    Mesh m;
    int white = m.AddMaterial(Paint(0xF8F8F8, 0.6f));
    m.Box({0, 0, 0.12f}, {0.1f, 0.1f, 0.1f}, white);
    Save(out, "Xfile/3boss/sugger.X", m, true);
    Mesh l;
    int body = l.AddMaterial(Paint(0xD03030, 0.5f)), metal = l.AddMaterial(Paint(0xC0C0C0, 0.5f)),
        flame = l.AddMaterial(Glow(0xFFA020));
    l.Box({0, 0, 0.1f}, {0.05f, 0.025f, 0.1f}, body);
    l.Box({0, 0, 0.22f}, {0.05f, 0.025f, 0.025f}, metal);
    l.Sphere({0, 0, 0.3f}, {0.03f, 0.03f, 0.06f}, 6, 4, flame);
    Save(out, "Xfile/3boss/lighter.X", l, true);
  }
  {  // Stage 3's hammer: pivot at the origin, arm along -z, head at z = -7.
    // Drawn with only the ambient light, so the colours carry most of their
    // own light; the wood tiles along the arm.
    Mesh m;
    Material wood = Paint(0xFFF0E0, 0.9f);
    wood.texture = "Xfile/stage3/hammar.png";
    int a = m.AddMaterial(wood), b = m.AddMaterial(Paint(0xB8C0D0, 0.8f)),
        c = m.AddMaterial(Paint(0xE04030, 0.85f));
    m.Box({0, 0, -3.2f}, {0.2f, 0.2f, 3.2f}, a, -1, 4.0f);
    m.Box({0, 0, -7.0f}, {1.4f, 0.8f, 0.8f}, b);
    m.Box({1.25f, 0, -7.0f}, {0.12f, 0.85f, 0.85f}, c);
    m.Box({-1.25f, 0, -7.0f}, {0.12f, 0.85f, 0.85f}, c);
    m.Box({0, 0, 0}, {0.35f, 0.35f, 0.35f}, b);
    Save(out, "Xfile/stage3/hammar.x", m, false);
  }
  Save(out, "Xfile/tama/tama.X", Ball(0.45f, 0xFFF080, 0xFF9020), false);
  Save(out, "Xfile/tama/player1_largetama1.X", Ball(0.4f, 0xFF8030, 0xFFE060), true);
  Save(out, "Xfile/tama/player1_largetama2.X", Ball(1.0f, 0xC04010, 0xFF8040, 16), true);
  Save(out, "Xfile/tama/player2_tama.X", Ball(0.2f, 0xFF70C0, 0xFFFFFF), true);
  {  // A bomb with its fuse.
    Mesh m;
    int black = m.AddMaterial(Glow(0x303040)), fuse = m.AddMaterial(Glow(0xFFA020));
    m.Sphere({0, 0, 0}, {0.5f, 0.5f, 0.5f}, 12, 7, black);
    m.Box({0, 0.58f, 0}, {0.05f, 0.1f, 0.05f}, fuse);
    Save(out, "Xfile/tama/player2_largetama1.x", m, true);
  }
  Save(out, "Xfile/tama/player3_tama.X", Ball(0.27f, 0x60FF80, 0x20A040), true);
  {  // A tumbling block.
    Mesh m;
    int g = m.AddMaterial(Glow(0x40E070)), d = m.AddMaterial(Glow(0x107030));
    m.Box({0, 0, 0}, {0.4f, 0.4f, 0.4f}, g);
    m.Box({0, 0, 0}, {0.45f, 0.1f, 0.1f}, d);
    Save(out, "Xfile/tama/player3_largetama1.X", m, true);
  }
  Save(out, "Xfile/tama/player3_largetama2.X", Ball(1.0f, 0xA0FFB0, 0x40FF60), true);
  {  // A flame column, about one unit tall, from its base up.
    Mesh m;
    int f = m.AddMaterial(Glow(0xFF7020, 0.9f));
    m.Lathe({0, 0, 0}, 1.0f, {0.45f, 0.5f, 0.42f, 0.3f, 0.15f, 0.0f}, 12, f);
    Save(out, "Xfile/tama/player3_largetama3.X", m, true);
  }
  {
    Mesh m;
    int p = m.AddMaterial(Glow(0xC060FF)), w = m.AddMaterial(Glow(0xFFFFFF));
    m.Sphere({0, 0, 0}, {0.3f, 0.3f, 0.3f}, 10, 6, p);
    m.Sphere({0, 0, 0.2f}, {0.12f, 0.12f, 0.12f}, 6, 4, w);
    Save(out, "Xfile/tama/player4_tama.X", m, true);
  }
  {  // A mine: flat, radius about one, sitting on its base.
    Mesh m;
    int body = m.AddMaterial(Glow(0x505868)), light = m.AddMaterial(Glow(0xFF3030));
    m.Lathe({0, 0, 0}, 0.25f, {1.0f, 0.95f, 0.7f, 0.0f}, 16, body);
    m.Sphere({0, 0.27f, 0}, {0.12f, 0.08f, 0.12f}, 8, 4, light);
    Save(out, "Xfile/tama/player4_largetama1.X", m, true);
  }
  {  // A little creature: round body, ears and eyes.
    Mesh m;
    int body = m.AddMaterial(Glow(0xB080F0)), eye = m.AddMaterial(Glow(0x101010));
    m.Sphere({0, 0, 0}, {0.6f, 0.5f, 0.6f}, 12, 7, body);
    m.Box({0.25f, 0.55f, 0}, {0.07f, 0.2f, 0.05f}, body);
    m.Box({-0.25f, 0.55f, 0}, {0.07f, 0.2f, 0.05f}, body);
    m.Box({0.18f, 0.12f, 0.55f}, {0.06f, 0.09f, 0.04f}, eye);
    m.Box({-0.18f, 0.12f, 0.55f}, {0.06f, 0.09f, 0.04f}, eye);
    Save(out, "Xfile/tama/player4_largetama2.X", m, true);
  }
  {
    Mesh m;
    int a = m.AddMaterial(Glow(0xA040FF, 0.9f));
    m.Sphere({0, 0, 0}, {1, 1, 1}, 16, 9, a);
    Save(out, "Xfile/tama/player4_largetama3.X", m, true);
  }
  Save(out, "Xfile/tama/enemy_tama1.X", Ball(0.35f, 0xE040FF, 0x602080), true);
  {
    Mesh m;
    int a = m.AddMaterial(Glow(0xFF4060));
    m.Torus({0, 0, 0}, 0.5f, 0.1f, 16, 6, a);
    Save(out, "Xfile/tama/enemy_tama2_ring.X", m, true);
  }
  Save(out, "Xfile/tama/large_tama1.X", BandedBall(2.1f, 0xFF5030, 0x601808), true);
  Save(out, "Xfile/tama/large_tama2.X", BandedBall(2.5f, 0x4060FF, 0xE0E8FF), true);
  {  // A ground target marker: a ring and a cross, about a unit across.
    Mesh m;
    int a = m.AddMaterial(Glow(0xFF3030)), b = m.AddMaterial(Glow(0xFFFF40));
    size_t first = m.pos.size();
    m.Torus({0, 0, 0}, 0.5f, 0.06f, 20, 4, a);
    m.Transform(Mat4::RotX(Rad(90)), first);
    m.Box({0, 0, 0}, {0.45f, 0.03f, 0.05f}, b);
    m.Box({0, 0, 0}, {0.05f, 0.03f, 0.45f}, b);
    Save(out, "Xfile/tama/3DMarker.X", m, false);
  }
}

}  // namespace datagen
