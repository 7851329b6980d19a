// The stage fields (ground, round and collision meshes) and the placement
// files that stand actors on them.
#include <cmath>
#include <cstdio>

#include "datagen/generate.h"
#include "datagen/geometry.h"

namespace datagen {

namespace {

constexpr float kHalf = 40.0f;        // every field is 80 by 80 units
constexpr float kWallHeight = 30.0f;  // walls no jump clears

struct Block {
  Vec3 centre, half;  // standing on the floor: centre.y = half.y
};

struct Field {
  std::string ground, round, collision;
  std::string groundTex, wallTex, skyTex;
  std::vector<Block> blocks;
  bool binary;
};

std::vector<Field> Fields() {
  return {
      {"Xfile/stage1/stage1.X",
       "Xfile/stage1/round.X",
       "Xfile/stage1/stage1_collision.X",
       "Xfile/stage1/stage1_ground.png",
       "Xfile/stage1/stage1_wall.png",
       "Xfile/stage1/round_sky.png",
       {{{18, 1.5f, 18}, {3, 1.5f, 3}}, {{-20, 1, 12}, {4, 1, 2}}, {{15, 2, -20}, {2, 2, 2}}},
       false},
      {"Xfile/stage2/stage2.X",
       "Xfile/stage2/stage2_round.X",
       "Xfile/stage2/stage2_collision.X",
       "Xfile/stage2/stage2_ground.png",
       "Xfile/stage2/stage2_wall.png",
       "Xfile/stage2/stage2_sky.png",
       {{{-15, 1.5f, -15}, {3, 1.5f, 3}}, {{20, 1, 5}, {2, 1, 5}}, {{0, 4, 28}, {1.5f, 4, 1.5f}}},
       false},
      {"Xfile/stage3/stage3.X",
       "",
       "Xfile/stage3/collision.X",
       "Xfile/stage3/stage3_ground.png",
       "Xfile/stage3/stage3_wall.png",
       "",
       {{{35, 5, 35}, {2, 5, 2}},
        {{-35, 5, 35}, {2, 5, 2}},
        {{35, 5, -35}, {2, 5, 2}},
        {{-35, 5, -35}, {2, 5, 2}}},
       true},
      {"Xfile/stage3/battle_stage3.X",
       "",
       "Xfile/stage3/battle_stage3_collision.X",
       "Xfile/stage3/battle_stage3_ground.png",
       "Xfile/stage3/stage3_wall.png",
       "",
       // Off the diagonals, so the players starting in the corners see the middle.
       {{{12, 3, 0}, {1.5f, 3, 1.5f}},
        {{-12, 3, 0}, {1.5f, 3, 1.5f}},
        {{0, 3, 12}, {1.5f, 3, 1.5f}},
        {{0, 3, -12}, {1.5f, 3, 1.5f}}},
       true},
      {"Xfile/sokai_stage/sokai_stage.X",
       "Xfile/sokai_stage/sokai_round.X",
       "Xfile/sokai_stage/sokai_stage_collision.X",
       "Xfile/sokai_stage/sokai_ground.png",
       "Xfile/sokai_stage/sokai_wall.png",
       "Xfile/sokai_stage/sokai_sky.png",
       {},
       true},
  };
}

// A floor grid at y = 0 facing up, its texture spread over the whole floor.
void Floor(Mesh& m, int mat, int cells) {
  float step = 2 * kHalf / static_cast<float>(cells);
  for (int i = 0; i < cells; ++i)
    for (int j = 0; j < cells; ++j) {
      float x0 = -kHalf + step * static_cast<float>(i), z0 = -kHalf + step * static_cast<float>(j);
      float u0 = static_cast<float>(i) / static_cast<float>(cells),
            v0 = static_cast<float>(j) / static_cast<float>(cells);
      float du = 1.0f / static_cast<float>(cells);
      uint32_t a = m.Vertex({x0, 0, z0}, {0, 1, 0}, u0, 1 - v0, -1);
      uint32_t b = m.Vertex({x0 + step, 0, z0}, {0, 1, 0}, u0 + du, 1 - v0, -1);
      uint32_t c = m.Vertex({x0 + step, 0, z0 + step}, {0, 1, 0}, u0 + du, 1 - v0 - du, -1);
      uint32_t d = m.Vertex({x0, 0, z0 + step}, {0, 1, 0}, u0, 1 - v0 - du, -1);
      m.Tri(a, b, c, {0, 1, 0}, mat);
      m.Tri(a, c, d, {0, 1, 0}, mat);
    }
}

// Four walls around the floor, facing the play area.
void Walls(Mesh& m, int mat, float bottom, float height) {
  const float h = kHalf, t = bottom + height;
  m.Quad({-h, bottom, h}, {h, bottom, h}, {h, t, h}, {-h, t, h}, {0, 0, -1}, mat, -1, 8);
  m.Quad({h, bottom, -h}, {-h, bottom, -h}, {-h, t, -h}, {h, t, -h}, {0, 0, 1}, mat, -1, 8);
  m.Quad({h, bottom, h}, {h, bottom, -h}, {h, t, -h}, {h, t, h}, {-1, 0, 0}, mat, -1, 8);
  m.Quad({-h, bottom, -h}, {-h, bottom, h}, {-h, t, h}, {-h, t, -h}, {1, 0, 0}, mat, -1, 8);
}

// A block's five visible faces, facing out of it.
void BlockFaces(Mesh& m, const Block& b, int mat) {
  size_t first = m.tris.size();
  m.Box(b.centre, b.half, mat);
  // The bottom face (the last two triangles of a box) lies on the floor.
  m.tris.erase(m.tris.begin() + static_cast<long>(first) + 10, m.tris.end());
  m.triMat.erase(m.triMat.begin() + static_cast<long>(first) + 10, m.triMat.end());
}

Material Textured(const std::string& tex) {
  Material m = Paint(0xFFFFFF, 0.3f);
  m.texture = tex;
  return m;
}

void Save(Output& out, const std::string& path, const Mesh& m, bool binary) {
  XNode frame("Frame", "Frame_field");
  frame.Add(MatrixNode(Mat4{}));
  frame.Add(MeshNode(m, "field"));
  WriteX(out, path, {frame}, binary);
}

}  // namespace

void GenerateFields(Output& out) {
  for (const Field& f : Fields()) {
    {
      Mesh g;
      int floor = g.AddMaterial(Textured(f.groundTex)), wall = g.AddMaterial(Textured(f.wallTex));
      Floor(g, floor, 8);
      Walls(g, wall, 0, 4);
      for (const Block& b : f.blocks) BlockFaces(g, b, wall);
      Save(out, f.ground, g, f.binary);
    }
    if (!f.round.empty()) {
      // A dome seen from inside: wound to face its centre.
      Mesh r;
      int sky = r.AddMaterial(Textured(f.skyTex));
      // A short wall up to the horizon, then a quarter circle to the top.
      std::vector<float> radii = {150, 150, 150};
      for (int k = 1; k <= 6; ++k)
        radii.push_back(150.0f * std::cos(kPi / 2 * static_cast<float>(k) / 6));
      radii.back() = 0;
      r.Lathe({0, -30, 0}, 150, radii, 16, sky, -1, true);
      Save(out, f.round, r, f.binary);
    }
    {
      Mesh c;
      int mat = c.AddMaterial(Paint(0x808080));
      Floor(c, mat, 4);
      Walls(c, mat, -5, kWallHeight);
      for (const Block& b : f.blocks) BlockFaces(c, b, mat);
      Save(out, f.collision, c, f.binary);
    }
  }
}

namespace {

struct Record {
  float x, y, z, heading;
  int kind;
};

std::string ArgFile(const std::vector<Record>& recs) {
  std::string s = "count=" + std::to_string(recs.size()) + "\r\n";
  for (const Record& r : recs) {
    s += "x=" + FormatFloat(r.x) + "\r\n";
    s += "y=" + FormatFloat(r.y) + "\r\n";
    s += "z=" + FormatFloat(r.z) + "\r\n";
    s += "heading=" + FormatFloat(r.heading) + "\r\n";
    s += "kind=" + std::to_string(r.kind) + "\r\n";
  }
  return s;
}

// Enemies stand in a loose ring ahead of the player's start, clear of the
// blocks of their field.
std::vector<Record> Area(int count, const std::vector<int>& kinds, uint32_t seed,
                         const std::vector<Block>& blocks) {
  std::vector<Record> recs;
  uint32_t state = seed;
  auto next = [&] {
    state = state * 214013u + 2531011u;
    return static_cast<float>((state >> 16) & 0x7FFF) / 32767.0f;
  };
  while (static_cast<int>(recs.size()) < count) {
    float a = 2 * kPi * next(), r = 8 + 22 * next();
    float x = r * std::sin(a), z = 5 + r * std::cos(a) * 0.9f;
    if (std::fabs(x) > kHalf - 4 || std::fabs(z) > kHalf - 4) continue;
    bool clear = true;
    for (const Block& b : blocks)
      if (std::fabs(x - b.centre.x) < b.half.x + 3 && std::fabs(z - b.centre.z) < b.half.z + 3)
        clear = false;
    // Apart, so that no two start inside each other.
    for (const Record& r2 : recs)
      if (std::hypot(x - r2.x, z - r2.z) < 3) clear = false;
    if (!clear) continue;
    recs.push_back({std::round(x * 10) / 10, 2.0f, std::round(z * 10) / 10, 0,
                    kinds[recs.size() % kinds.size()]});
  }
  return recs;
}

}  // namespace

void GeneratePlacements(Output& out) {
  std::vector<Field> fields = Fields();
  const Record player{0, 2, -28, 0, 1000};
  struct Stage {
    int areas;
    std::vector<int> counts;  // enemies an area
    std::vector<std::vector<int>> kinds;
    int boss;
    std::vector<Block> blocks;
  };
  // Stage 1 brings the zako2 in beside the zako1, stage 2 the zako3; stage 3
  // is the zako3's and zako4's. A zako4 takes long to bring down (it is
  // immune for 141 frames after each hit), so stage 3's areas stay smaller.
  const Stage stages[3] = {
      {2, {4, 6}, {{1, 1, 2}, {1, 2, 2}}, 100, fields[0].blocks},
      {4, {5, 7, 9, 11}, {{1, 2}, {2, 3}, {1, 3}, {1, 2, 3}}, 101, fields[1].blocks},
      {4, {5, 6, 7, 8}, {{3}, {3, 3, 4}, {4, 3}, {4, 3}}, 102, fields[2].blocks},
  };
  for (int s = 0; s < 3; ++s) {
    std::string base =
        "AppearData/stage" + std::to_string(s + 1) + "/stage" + std::to_string(s + 1);
    const Stage& st = stages[s];
    out.Write(base + "_player.arg", ArgFile({player}));
    for (int a = 0; a < st.areas; ++a) {
      std::string name = base + "_erea" + std::to_string(a + 1) + ".arg";
      out.Write(name,
                ArgFile(Area(st.counts[static_cast<size_t>(a)], st.kinds[static_cast<size_t>(a)],
                             static_cast<uint32_t>(100 * s + a + 1), st.blocks)));
      out.Write("fixtures/empty_areas/" + name, ArgFile({}));
    }
    out.Write(base + "_boss.arg", ArgFile({{0, 2, 15, 0, st.boss}}));
    out.Write("fixtures/empty_areas/" + base + "_boss.arg", ArgFile({}));
    // The introduction marks the start (kind 0) and the boss's place.
    out.Write(base + "_introduce.arg", ArgFile({{0, 0, -28, 0, 0}, {0, 0, 15, 0, st.boss}}));
  }
  // Four players in the corners, facing the middle.
  const std::vector<Record> corners = {{-15, 2, -15, 45, 1001},
                                       {15, 2, 15, 225, 1002},
                                       {15, 2, -15, 315, 1003},
                                       {-15, 2, 15, 135, 1004}};
  out.Write("AppearData/battle/battle_stage1.arg", ArgFile(corners));
  out.Write("AppearData/battle/battle_stage3.arg", ArgFile(corners));
}

}  // namespace datagen
