// The generated models read through the game's .X reader: frames, one
// animation set per file with the lengths the actors time against, skins
// naming real frames, and meshes in every static file.
#if __has_include("port/xfile.h")
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "datagen/manifest.h"
#include "port/xfile.h"

namespace {

using port::x::Object;

std::unique_ptr<port::x::File> Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  std::string d = s.str();
  port::x::Error err;
  auto file = port::x::File::LoadMemory(d.data(), d.size(), &err);
  EXPECT_TRUE(file) << path << ": " << err.ToString();
  return file;
}

void Walk(const Object* o, const std::function<void(const Object*)>& f) {
  f(o);
  for (const auto& c : o->Children())
    if (!c.IsReference() && c.object) Walk(c.object, f);
}

// Top-level sets of the file and, for each, the last key time of each of its
// animations (which must all agree).
struct SetInfo {
  int animations = 0;
  std::set<uint32_t> lastTimes;
  std::set<std::string> targets;
};

void ReadSets(const port::x::File& file, const std::string& path, std::vector<SetInfo>* sets) {
  for (const Object* top : file.Objects()) {
    if (top->TemplateName() != "AnimationSet") continue;
    SetInfo info;
    for (const auto& c : top->Children()) {
      if (c.IsReference() || c.object->TemplateName() != "Animation") continue;
      ++info.animations;
      int refs = 0;
      std::set<uint32_t> types;
      for (const auto& a : c.object->Children()) {
        if (a.IsReference()) {
          ++refs;
          EXPECT_TRUE(a.object && a.object->TemplateName() == "Frame") << path << " ref " << a.name;
          info.targets.insert(a.name);
          continue;
        }
        if (a.object->TemplateName() != "AnimationKey") continue;
        auto r = a.object->Data();
        uint32_t type = 0, count = 0, time = 0, values = 0;
        ASSERT_TRUE(r.ReadDword(&type) && r.ReadDword(&count)) << path;
        EXPECT_TRUE(types.insert(type).second) << path << " repeats key type " << type;
        EXPECT_TRUE(type == 0 || type == 2) << path;
        ASSERT_GT(count, 0u) << path;
        for (uint32_t k = 0; k < count; ++k) {
          uint32_t prev = time;
          ASSERT_TRUE(r.ReadDword(&time) && r.ReadDword(&values)) << path;
          EXPECT_EQ(values, type == 0 ? 4u : 3u) << path;
          if (k > 0) {
            EXPECT_GT(time, prev) << path;
          }
          ASSERT_TRUE(r.Skip(values)) << path;
        }
        info.lastTimes.insert(time);
      }
      EXPECT_EQ(refs, 1) << path;
      EXPECT_TRUE(types.count(0)) << path << ": every animated frame has rotation keys";
    }
    sets->push_back(info);
  }
}

}  // namespace

TEST(DataModels, CharactersCarryTheirFramesSetsAndLengths) {
  for (const auto& c : datagen::Characters()) {
    auto model = Read(c.folder + "stop.X");
    ASSERT_TRUE(model);
    for (const auto& name : datagen::BodyFrameNames()) {
      const Object* f = model->FindObject(name);
      ASSERT_TRUE(f) << c.folder << " lacks " << name;
      EXPECT_EQ(f->TemplateName(), "Frame");
    }
    // The skin names frames of the model, at most 26 bones.
    int bones = 0, meshes = 0;
    for (const Object* top : model->Objects())
      Walk(top, [&](const Object* o) {
        if (o->TemplateName() == "Mesh") ++meshes;
        if (o->TemplateName() != "SkinWeights") return;
        ++bones;
        std::string frame;
        auto r = o->Data();
        ASSERT_TRUE(r.ReadString(&frame));
        EXPECT_TRUE(model->FindObject(frame)) << c.folder << " skin bone " << frame;
      });
    EXPECT_EQ(meshes, 1) << c.folder;
    EXPECT_GT(bones, 0) << c.folder;
    EXPECT_LE(bones, 26) << c.folder;

    std::vector<datagen::AnimFile> files = c.files;
    files.insert(files.end(), c.extras.begin(), c.extras.end());
    for (const auto& f : files) {
      std::string path = c.folder + f.name;
      auto file = f.name == "stop.X" ? std::move(model) : Read(path);
      ASSERT_TRUE(file);
      std::vector<SetInfo> sets;
      ReadSets(*file, path, &sets);
      ASSERT_EQ(sets.size(), 1u) << path;
      EXPECT_EQ(sets[0].animations, 18) << path;
      EXPECT_EQ(sets[0].targets.size(), 18u) << path;
      EXPECT_EQ(sets[0].lastTimes, std::set<uint32_t>{uint32_t(f.length)}) << path;
    }
  }
}

TEST(DataModels, StaticAndFieldMeshesHoldMeshes) {
  for (const auto& e : datagen::Manifest()) {
    if (e.kind != datagen::DataKind::StaticMesh && e.kind != datagen::DataKind::FieldMesh) continue;
    auto file = Read(e.path);
    ASSERT_TRUE(file);
    int meshes = 0, materials = 0;
    for (const Object* top : file->Objects())
      Walk(top, [&](const Object* o) {
        meshes += o->TemplateName() == "Mesh";
        materials += o->TemplateName() == "Material";
      });
    EXPECT_GE(meshes, 1) << e.path;
    EXPECT_GE(materials, 1) << e.path;
  }
}

// Collision floors face up and walls face the play area: a ray cast from the
// middle reaches surfaces whose (c1 - c0) x (c2 - c0) points back at it.
TEST(DataModels, CollisionMeshesFaceThePlayArea) {
  for (const char* path : {"Xfile/stage1/stage1_collision.X", "Xfile/stage2/stage2_collision.X",
                           "Xfile/stage3/collision.X", "Xfile/stage3/battle_stage3_collision.X",
                           "Xfile/sokai_stage/sokai_stage_collision.X"}) {
    auto file = Read(path);
    ASSERT_TRUE(file);
    const Object* mesh = nullptr;
    for (const Object* top : file->Objects())
      Walk(top, [&](const Object* o) {
        if (o->TemplateName() == "Mesh" && !mesh) mesh = o;
      });
    ASSERT_TRUE(mesh) << path;
    auto r = mesh->Data();
    uint32_t nv = 0, nf = 0;
    ASSERT_TRUE(r.ReadDword(&nv));
    std::vector<float> v(size_t(nv) * 3);
    ASSERT_TRUE(r.ReadFloats(v.data(), v.size()));
    ASSERT_TRUE(r.ReadDword(&nf));
    ASSERT_LE(nv, 65535u);
    int floorUp = 0, wallsIn = 0;
    for (uint32_t f = 0; f < nf; ++f) {
      uint32_t n = 0, i[3];
      ASSERT_TRUE(r.ReadDword(&n) && n == 3);
      ASSERT_TRUE(r.ReadDword(&i[0]) && r.ReadDword(&i[1]) && r.ReadDword(&i[2]));
      auto P = [&](uint32_t k, int c) { return v[size_t(i[k]) * 3 + size_t(c)]; };
      float ax = P(1, 0) - P(0, 0), ay = P(1, 1) - P(0, 1), az = P(1, 2) - P(0, 2);
      float bx = P(2, 0) - P(0, 0), by = P(2, 1) - P(0, 1), bz = P(2, 2) - P(0, 2);
      float nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
      float cx = (P(0, 0) + P(1, 0) + P(2, 0)) / 3, cz = (P(0, 2) + P(1, 2) + P(2, 2)) / 3;
      bool onFloor = P(0, 1) == 0 && P(1, 1) == 0 && P(2, 1) == 0;
      if (onFloor) {
        EXPECT_GT(ny, 0) << path << " face " << f;
        ++floorUp;
      } else if (std::fabs(cx) > 39.9f || std::fabs(cz) > 39.9f) {  // the outer walls
        EXPECT_LT(nx * cx + nz * cz, 0) << path << " face " << f;
        ++wallsIn;
      }
    }
    EXPECT_GT(floorUp, 0) << path;
    EXPECT_EQ(wallsIn, 8) << path;
  }
}
#endif
