#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "render/StaticMesh.h"
#include "support/temp_dir.h"

using port::Vec3;

namespace {

struct Quad {
  float x0, y0, x1, y1, z;  // an axis-aligned square facing -z
  uint32_t material;
};

struct Mat {
  float r, g, b, a;
  const char* texture = nullptr;
};

// A text .X file of squares, each split into two triangles.
std::string QuadsX(const std::vector<Quad>& quads, const std::vector<Mat>& materials) {
  std::string s = "xof 0303txt 0032\nMesh quads {\n";
  char buf[256];
  s += std::to_string(quads.size() * 4) + ";\n";
  for (size_t i = 0; i < quads.size(); ++i) {
    const Quad& q = quads[i];
    const float c[4][2] = {{q.x0, q.y0}, {q.x0, q.y1}, {q.x1, q.y1}, {q.x1, q.y0}};
    for (int k = 0; k < 4; ++k) {
      std::snprintf(buf, sizeof buf, "%g;%g;%g;%s\n", c[k][0], c[k][1], q.z,
                    i + 1 == quads.size() && k == 3 ? ";" : ",");
      s += buf;
    }
  }
  s += std::to_string(quads.size() * 2) + ";\n";
  for (size_t i = 0; i < quads.size(); ++i) {
    size_t b = i * 4;
    std::snprintf(buf, sizeof buf, "3;%zu,%zu,%zu;,\n3;%zu,%zu,%zu;%s\n", b, b + 1, b + 2, b, b + 2,
                  b + 3, i + 1 == quads.size() ? ";" : ",");
    s += buf;
  }
  if (!materials.empty()) {
    s += "MeshMaterialList {\n" + std::to_string(materials.size()) + ";\n" +
         std::to_string(quads.size() * 2) + ";\n";
    for (size_t i = 0; i < quads.size() * 2; ++i)
      s += std::to_string(quads[i / 2].material) + (i + 1 == quads.size() * 2 ? ";;\n" : ",\n");
    for (const Mat& m : materials) {
      std::snprintf(buf, sizeof buf, "Material {\n%g;%g;%g;%g;;\n0.0;\n0.0;0.0;0.0;;\n%g;%g;%g;;\n",
                    m.r, m.g, m.b, m.a, m.r, m.g, m.b);
      s += buf;
      if (m.texture) s += std::string("TextureFilename { \"") + m.texture + "\"; }\n";
      s += "}\n";
    }
    s += "}\n";
  }
  s += "}\n";
  return s;
}

// In this process's own scratch folder, removed when the process ends.
std::string WriteTemp(const std::string& name, const std::string& text) {
  static const testsupport::TempDir dir;
  return dir.Write(name, text);
}

const Mat kWhite{1, 1, 1, 1};

}  // namespace

TEST(StaticMeshIntersect, HitMissBothFacesAndNearestOfSeveral) {
  StaticMesh mesh;
  // Three squares across the z axis at z = 5, 2 and 9, in that file order.
  std::string path = WriteTemp(
      "sm_layers.x",
      QuadsX({{-1, -1, 1, 1, 5, 0}, {-1, -1, 1, 1, 2, 0}, {-1, -1, 1, 1, 9, 0}}, {kWhite}));
  ASSERT_TRUE(mesh.Load(nullptr, path.c_str()));
  EXPECT_EQ(mesh.MaterialCount(), 1u);

  struct Ray {
    port::Vec3 from, dir;
    float limit;
    bool hit;
    float distance;
    const char* why;
  };
  const Ray rays[] = {
      {{0.2f, 0.3f, 0}, {0, 0, 1}, 1000, true, 2, "the nearest, though listed second"},
      {{0.2f, 0.3f, 20}, {0, 0, -1}, 1000, true, 11, "from behind: back faces count too"},
      {{0, 0, 6}, {0, 0, 1}, 1000, true, 3, "between layers: the one ahead, never one behind"},
      {{0, 0, 0}, {0, 0, 2}, 1000, true, 1, "distance counts in the direction's own lengths"},
      {{3, 0, 0}, {0, 0, 1}, 1000, false, 1000, "beside the squares"},
      {{0, 0, 0}, {1, 0, 0}, 1000, false, 1000, "parallel to them"},
      {{0, 0, 30}, {0, 0, 1}, 1000, false, 1000, "pointing away"},
      {{0, 0, 0}, {0, 0, 1}, 2, false, 2, "a hit exactly at the limit is no hit"},
      {{0, 0, -998}, {0, 0, 1}, 1000, false, 1000, "a hit at 1000 exactly"},
  };
  for (const Ray& r : rays) {
    float d = r.limit;
    EXPECT_EQ(mesh.Intersect(r.from, r.dir, &d), r.hit) << r.why;
    if (r.hit) {
      EXPECT_FLOAT_EQ(d, r.distance) << r.why;
    } else {
      EXPECT_EQ(d, r.distance) << r.why;  // a miss leaves the distance alone
    }
  }
}

TEST(StaticMeshIntersect, NormalNeedsTheCollisionCopyAndGivesTheFaceNormal) {
  StaticMesh mesh;
  std::string path = WriteTemp("sm_floor.x", QuadsX({{-1, -1, 1, 1, 4, 0}}, {kWhite}));
  ASSERT_TRUE(mesh.Load(nullptr, path.c_str()));
  float d = 100.0f;
  Vec3 n{9, 9, 9};
  EXPECT_FALSE(mesh.IntersectNormal({0, 0, 0}, {0, 0, 1}, &d, &n));
  mesh.LockForCollision();
  ASSERT_TRUE(mesh.HasCollisionData());
  EXPECT_TRUE(mesh.IntersectNormal({0.5f, -0.5f, 0}, {0, 0, 1}, &d, &n));
  EXPECT_FLOAT_EQ(d, 4.0f);
  // Corners (x0,y0), (x0,y1), (x1,y1): (0,2,0) x (2,2,0) points along -z.
  EXPECT_NEAR(n.x, 0.0f, 1e-6f);
  EXPECT_NEAR(n.y, 0.0f, 1e-6f);
  EXPECT_NEAR(n.z, -1.0f, 1e-6f);
  d = 100.0f;
  EXPECT_TRUE(mesh.IntersectNormal({0, 0, 0}, {0, 0, 1}, &d, nullptr));
  // Bounding sphere of the square.
  EXPECT_NEAR(mesh.Centre().z, 4.0f, 1e-6f);
  EXPECT_NEAR(mesh.Radius(), std::sqrt(2.0f), 1e-5f);
}

TEST(StaticMeshLoad, BadFilesLeaveAnEmptyMeshThatNeverHits) {
  std::string good = QuadsX({{-1, -1, 1, 1, 4, 0}}, {kWhite});
  StaticMesh mesh;
  EXPECT_EQ(mesh.Radius(), 1.0f);
  EXPECT_FALSE(mesh.Load(nullptr, "no/such/mesh.x"));
  EXPECT_FALSE(mesh.Load(nullptr, nullptr));
  EXPECT_FALSE(mesh.Load(nullptr, WriteTemp("sm_empty.x", "").c_str()));
  EXPECT_FALSE(mesh.Load(nullptr, WriteTemp("sm_cut.x", good.substr(0, good.size() / 2)).c_str()));
  EXPECT_FALSE(
      mesh.Load(nullptr, WriteTemp("sm_junk.x", "xof 0303txt 0032\nMesh { 99999999; }").c_str()));
  float d = 100.0f;
  Vec3 n;
  EXPECT_FALSE(mesh.Intersect({0, 0, 0}, {0, 0, 1}, &d));
  mesh.LockForCollision();
  EXPECT_FALSE(mesh.IntersectNormal({0, 0, 0}, {0, 0, 1}, &d, &n));
  EXPECT_EQ(mesh.MaterialCount(), 0u);
  EXPECT_EQ(mesh.GetMesh(), nullptr);

  // Loading over a loaded mesh replaces it; a failed load after it empties it.
  ASSERT_TRUE(mesh.Load(nullptr, WriteTemp("sm_good.x", good).c_str()));
  mesh.LockForCollision();
  EXPECT_TRUE(mesh.Intersect({0, 0, 0}, {0, 0, 1}, &d));
  EXPECT_FALSE(mesh.Load(nullptr, "no/such/mesh.x"));
  d = 100.0f;
  EXPECT_FALSE(mesh.Intersect({0, 0, 0}, {0, 0, 1}, &d));
  EXPECT_FALSE(mesh.HasCollisionData());
  // Release keeps the radius and may run twice.
  mesh.Release();
  mesh.Release();
  EXPECT_NEAR(mesh.Radius(), std::sqrt(2.0f), 1e-5f);
}
