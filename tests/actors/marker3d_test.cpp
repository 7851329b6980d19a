// Boss 3's target markers on the stage-3 field: the chain of nine, its fifth
// marker in front of the player, the explosions every 20 frames that belong
// to the markers' owner and knock the player back, the marker's own sizes,
// indexes outside the chain, and what is drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "actors/Marker3D.h"
#include "actors/Player4Shots.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/ObjectList.h"

namespace {

using stagetest::StageFixture;

class Marker3DTest : public StageFixture {
 protected:
  Marker3DTest() { setup.field = stagetest::kStage3Field; }
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    Marker3D::Load(device);
  }
  void TearDown() override {
    Marker3D::Unload();
    StageFixture::TearDown();
  }

  // The live explosion standing where a marker was, or null.
  static Player4LargeTama3* ExplosionAt(const port::Vec3& at) {
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* e = dynamic_cast<Player4LargeTama3*>(g_objects.At(i));
      if (e && e->IsAlive() && e->position == at) return e;
    }
    return nullptr;
  }
  static std::vector<Marker3D*> AliveMarkers() {
    std::vector<Marker3D*> found;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* m = dynamic_cast<Marker3D*>(g_objects.At(i));
      if (m && m->IsAlive()) found.push_back(m);
    }
    return found;
  }
};

// The heading of the point seen from the arena's centre, 0 to 360. Each
// marker lies in a 70-degree sector set by the index of the one placing it.
float YawFromCentre(const port::Vec3& p) { return std::fmod(YawTo(0, 0, p.x, p.z), 360.0f); }

bool InSector(float yaw, float from) {
  const float offset = std::fmod(yaw - from + 720.0f, 360.0f);
  return offset >= -0.01f && offset <= 70.01f;
}

TEST_F(Marker3DTest, AChainOfNinePlacesItsFifthBeforeThePlayerAndExplodesEvery20Frames) {
  port::CrtSrand(41);
  // Facing east, beyond the reach of the markers round the centre.
  player.Place(-20, 1, -10, 90);
  Step(2);
  const port::Vec3 inFront = player.position + port::Vec3{2.0f, 0.0f, 0.0f};
  Marker3D* first = Marker3D::Spawn({5, 0.5f, 5}, 0, kOwnerEnemy);
  ASSERT_NE(first, nullptr);
  std::vector<port::Vec3> placed{first->position};
  std::vector<int> explodedAt;
  std::vector<Marker3D*> before{first};
  int knockedBackAt = 0;
  for (int f = 1; f <= 330; ++f) {
    Step();
    const std::vector<Marker3D*> now = AliveMarkers();
    for (Marker3D* m : now) {
      if (std::find(before.begin(), before.end(), m) != before.end()) continue;
      // Placed at its predecessor's 20th frame.
      EXPECT_EQ(f, 20 * static_cast<int>(placed.size())) << "marker " << m->index;
      EXPECT_EQ(m->index, static_cast<int>(placed.size()));
      EXPECT_EQ(m->GetOwner(), kOwnerEnemy);
      placed.push_back(m->centre);
    }
    for (Marker3D* m : before) {
      if (m->IsAlive()) continue;
      explodedAt.push_back(f);
      const Player4LargeTama3* e = ExplosionAt(m->position);
      ASSERT_NE(e, nullptr) << "frame " << f;
      EXPECT_EQ(e->GetOwner(), kOwnerEnemy);
    }
    before = now;
    if (!knockedBackAt && player.mode == kPlayerKnockBack) knockedBackAt = f;
  }
  ASSERT_EQ(placed.size(), 9u);
  for (int i = 1; i <= 3; ++i) {
    const float r = std::hypot(placed[i].x, placed[i].z);
    EXPECT_FLOAT_EQ(placed[i].y, 0.5f);
    EXPECT_TRUE(r >= 3.0f && r <= 14.0f) << i << " at " << r;
    EXPECT_TRUE(InSector(YawFromCentre(placed[i]), 100.0f + 90.0f * (i - 1))) << i;
  }
  EXPECT_NEAR(placed[4].x, inFront.x, 1e-4f);
  EXPECT_NEAR(placed[4].y, inFront.y, 1e-4f);
  EXPECT_NEAR(placed[4].z, inFront.z, 1e-4f);
  for (int i = 5; i <= 8; ++i) {
    const float r = std::hypot(placed[i].x, placed[i].z);
    EXPECT_FLOAT_EQ(placed[i].y, 3.0f);
    EXPECT_TRUE(r >= 3.0f && r <= 14.0f) << i << " at " << r;
    EXPECT_TRUE(InSector(YawFromCentre(placed[i]), -350.0f + 90.0f * (i - 1))) << i;
  }
  // 150 frames after each placement; the last at 8 x 20 + 150.
  std::vector<int> expected;
  for (int i = 0; i <= 8; ++i) expected.push_back(20 * i + 150);
  EXPECT_EQ(explodedAt, expected);
  EXPECT_EQ(CountSound(kSoundMarker), 9);
  EXPECT_EQ(FirstSound(kSoundMarker)->volume, -500);
  int bangs = 0;
  for (const stagetest::SoundEvent& s : sounds) {
    if (s.id == kSoundHit && s.volume == -500) ++bangs;
  }
  EXPECT_GE(bangs, 9);
  // The marker before the player never touched it; its explosion did.
  EXPECT_GT(knockedBackAt, 4 * 20 + 150);
  EXPECT_EQ(CountObjects(kObjectMarker3D), 0);
}

TEST_F(Marker3DTest, PictureShrinksMeshAppearsAndShrinksAndIndexesOutsideTheChainPlaceNone) {
  port::CrtSrand(42);
  struct EndCase {
    int32_t index;
    int32_t owner;
  };
  for (const EndCase& c :
       {EndCase{8, kOwnerEnemy}, EndCase{-1, kOwnerEnemy}, EndCase{100, kOwnerPlayer}}) {
    Marker3D* m = Marker3D::Spawn({-15, 0.5f, 15}, c.index, c.owner);
    ASSERT_NE(m, nullptr);
    Step(19);
    EXPECT_NEAR(m->pictureSize, 1.1f, 1e-4f);
    EXPECT_FLOAT_EQ(m->meshSize, 0.0f);
    Step(11);
    EXPECT_FLOAT_EQ(m->meshSize, 3.5f);
    Step(99);
    EXPECT_NEAR(m->meshSize, 0.53f, 1e-4f);
    EXPECT_NEAR(m->pictureSize, 1.1f, 1e-4f);
    Step(20);
    EXPECT_TRUE(m->IsAlive());
    EXPECT_EQ(CountObjects(kObjectMarker3D), 1) << c.index;
    Step();
    EXPECT_FALSE(m->IsAlive());
    const Player4LargeTama3* bang = ExplosionAt(m->position);
    ASSERT_NE(bang, nullptr);
    EXPECT_EQ(bang->GetOwner(), c.owner);
    Step(30);  // the explosion is over
  }
}

TEST_F(Marker3DTest, IsDrawnAsMeshAndPictureAndWithoutItsFilesRunsUndrawn) {
  port::CrtSrand(43);
  player.Place(0, 1, -20, 0);
  Step();
  Marker3D* m = Marker3D::Spawn({1.5f, 0.5f, -14}, 8, kOwnerEnemy);
  ASSERT_NE(m, nullptr);
  struct DrawCase {
    int age;
    int atLeast;
  };
  // The picture alone while young; mesh and picture once it has come.
  for (const DrawCase& c : {DrawCase{5, 100}, DrawCase{40, 400}}) {
    while (m->frameCounter < c.age) Step();
    const std::vector<uint32_t> with = DrawFrame();
    m->alive = 0;
    EXPECT_GT(CountDiffering(with, DrawFrame()), c.atLeast) << "age " << c.age;
    m->alive = 1;
  }
  // Behind the eye nothing is drawn.
  m->position = {1.5f, 0.5f, -30};
  const std::vector<uint32_t> behind = DrawFrame();
  m->alive = 0;
  EXPECT_EQ(CountDiffering(behind, DrawFrame()), 0);

  Marker3D::Unload();
  {
    testsupport::TempDir empty;
    testsupport::ScopedCwd inEmpty(empty.path());
    Marker3D::Load(device);
  }
  Marker3D* lone = Marker3D::Spawn({1.5f, 0.5f, -14}, 7, kOwnerEnemy);
  ASSERT_NE(lone, nullptr);
  Step(40);
  EXPECT_EQ(CountObjects(kObjectMarker3D), 2);  // it placed the last one
  const std::vector<uint32_t> with = DrawFrame();
  lone->alive = 0;
  EXPECT_EQ(CountDiffering(with, DrawFrame()), 0);
}

}  // namespace
