// Boss 3's target markers on the stage-3 field: the chain of nine with its
// fifth before the player, the explosions every 20 frames that belong to the
// markers' owner and knock the player back, the marker's sizes, indexes
// outside the chain, and its drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "actors/Marker3D.h"
#include "actors/Player4Shots.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "support/stage3_fixture.h"
#include "world/ObjectList.h"

namespace {

using stagetest::Stage3Fixture;

class Marker3DTest : public Stage3Fixture {
 protected:
  // The owner of the live explosion standing where a marker was, or 0.
  static int32_t ExplosionOwnerAt(const port::Vec3& at) {
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* e = dynamic_cast<Player4LargeTama3*>(g_objects.At(i));
      if (e && e->IsAlive() && e->position == at) return e->GetOwner();
    }
    return 0;
  }
};

// A marker around the centre lies 3 to 14 units out, in the 70-degree sector
// the placing marker's index sets.
void ExpectAroundTheCentre(const port::Vec3& p, float sectorFrom, float height) {
  const float r = std::hypot(p.x, p.z);
  const float offset = std::fmod(YawTo(0, 0, p.x, p.z) - sectorFrom + 1080.0f, 360.0f);
  EXPECT_FLOAT_EQ(p.y, height);
  EXPECT_TRUE(r >= 3.0f && r <= 14.0f) << r;
  EXPECT_TRUE(offset >= -0.01f && offset <= 70.01f) << offset;
}

TEST_F(Marker3DTest, AChainOfNinePlacesItsFifthBeforeThePlayerAndExplodesEvery20Frames) {
  port::CrtSrand(41);
  player.Place(-20, 1, -10, 90);  // facing east, beyond the reach of the others
  Step(2);
  const port::Vec3 inFront = player.position + port::Vec3{2.0f, 0.0f, 0.0f};
  std::vector<Marker3D*> alive{
      Marker3D::Spawn({.at = {5, 0.5f, 5}, .index = 0, .owner = kOwnerEnemy})};
  std::vector<port::Vec3> placed{alive[0]->position};
  std::vector<int> explodedAt;
  int knockedBackAt = 0;
  for (int f = 1; f <= 330; ++f) {
    Step();
    std::vector<Marker3D*> now;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      auto* m = dynamic_cast<Marker3D*>(g_objects.At(i));
      if (!m || !m->IsAlive()) continue;
      now.push_back(m);
      if (std::find(alive.begin(), alive.end(), m) != alive.end()) continue;
      // Placed at its predecessor's 20th frame, by the enemy.
      EXPECT_EQ(f, 20 * static_cast<int>(placed.size()));
      EXPECT_EQ(m->index, static_cast<int>(placed.size()));
      EXPECT_EQ(m->GetOwner(), kOwnerEnemy);
      placed.push_back(m->centre);
    }
    for (Marker3D* m : alive) {
      if (m->IsAlive()) continue;
      explodedAt.push_back(f);
      EXPECT_EQ(ExplosionOwnerAt(m->position), kOwnerEnemy) << f;
    }
    alive = now;
    if (!knockedBackAt && player.mode == kPlayerKnockBack) knockedBackAt = f;
  }
  ASSERT_EQ(placed.size(), 9u);
  for (int i = 1; i <= 3; ++i) ExpectAroundTheCentre(placed[i], 100.0f + 90.0f * (i - 1), 0.5f);
  EXPECT_EQ(placed[4], inFront);
  for (int i = 5; i <= 8; ++i) ExpectAroundTheCentre(placed[i], -350.0f + 90.0f * (i - 1), 3.0f);
  std::vector<int> expected;
  for (int i = 0; i <= 8; ++i) expected.push_back(20 * i + 150);
  EXPECT_EQ(explodedAt, expected);
  EXPECT_EQ(CountSound(kSoundMarker), 9);
  EXPECT_EQ(FirstSound(kSoundMarker)->volume, -500);
  // The marker before the player never touched it; its explosion did.
  EXPECT_GT(knockedBackAt, 4 * 20 + 150);
}

TEST_F(Marker3DTest, ShrinksItsPictureShowsItsMeshAndOutsideTheChainPlacesNone) {
  port::CrtSrand(42);
  for (int32_t index : {8, -1, 100}) {
    const int32_t owner = index == 100 ? kOwnerPlayer : kOwnerEnemy;
    Marker3D* m = Marker3D::Spawn({.at = {-15, 0.5f, 15}, .index = index, .owner = owner});
    Step(19);
    EXPECT_NEAR(m->pictureSize, 1.1f, 1e-4f);
    EXPECT_FLOAT_EQ(m->meshSize, 0.0f);
    Step(11);
    EXPECT_FLOAT_EQ(m->meshSize, 3.5f);
    Step(99);
    EXPECT_NEAR(m->meshSize, 0.53f, 1e-4f);
    Step(20);
    EXPECT_EQ(CountObjects(kObjectMarker3D), 1) << index;
    Step();
    EXPECT_FALSE(m->IsAlive());
    EXPECT_EQ(ExplosionOwnerAt(m->position), owner);
    EXPECT_EQ(sounds.back().id, kSoundHit);
    EXPECT_EQ(sounds.back().volume, -500);
    Step(30);  // the explosion is over
  }
}

TEST_F(Marker3DTest, IsDrawnAheadOfTheEyeAndWithoutItsFilesRunsUndrawn) {
  port::CrtSrand(43);
  player.Place(0, 1, -20, 0);
  Step();
  Marker3D* m = Marker3D::Spawn({.at = {1.5f, 0.5f, -14}, .index = 8, .owner = kOwnerEnemy});
  Step(5);
  EXPECT_GT(PixelsDrawnBy(m), 100);  // the picture alone
  Step(35);
  EXPECT_GT(PixelsDrawnBy(m), 400);  // mesh and picture
  m->position = {1.5f, 0.5f, -30};   // behind the eye
  EXPECT_EQ(PixelsDrawnBy(m), 0);
  Marker3D::Unload();
  WithoutFiles([&] { Marker3D::Load(device); });
  Marker3D* lone = Marker3D::Spawn({.at = {1.5f, 0.5f, -14}, .index = 7, .owner = kOwnerEnemy});
  Step(40);
  EXPECT_EQ(CountObjects(kObjectMarker3D), 3);  // it placed the last one
  EXPECT_EQ(PixelsDrawnBy(lone), 0);
}

}  // namespace
