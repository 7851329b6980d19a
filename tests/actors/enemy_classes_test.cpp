// The table of enemy classes the scenes load and spawn through: which class
// a placement kind spawns, a kind whose class has no row, loading and
// unloading by the kinds a stage lists, and each row's placement kind and
// gauge face taken from its class's traits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "actors/Enemy.h"
#include "actors/EnemyClasses.h"
#include "actors/Zako1.h"
#include "platform/GraphicsDevice.h"
#include "support/stage_fixture.h"
#include "world/CharacterList.h"

namespace {

using stagetest::StageFixture;

class EnemyClassTable : public StageFixture {
 protected:
  void TearDown() override {
    UnloadAllEnemyClasses();
    StageFixture::TearDown();
  }
  EnemyLoad Load() {
    EnemyLoad l;
    l.method = setup.method;
    l.device = device;
    l.caps = &g_graphics.GetCaps();
    l.effect = g_characters.GetToonEffect();
    l.toonRamp = g_characters.GetToonRamp();
    return l;
  }
};

TEST_F(EnemyClassTable, PlacementKindsSpawnTheirClassAndEveryOtherKindAZako1) {
  struct Case {
    int32_t appearKind;
    int32_t characterKind;  // of the class the kind names
  };
  // Kinds the placement files do not name fall to zako1.
  const Case cases[] = {{1, kCharacterZako1},
                        {5, kCharacterZako1},
                        {999, kCharacterZako1},
                        {0, kCharacterZako1},
                        {-7, kCharacterZako1},
                        {2, kCharacterZako2},
                        {3, kCharacterZako3},
                        {4, kCharacterZako4},
                        {kAppearBoss1, kCharacterBoss1},
                        {kAppearBoss2, kCharacterBoss2},
                        {kAppearBoss3, kCharacterBoss3}};
  const int32_t every[] = {1, 2, 3, 4, kAppearBoss1, kAppearBoss2, kAppearBoss3};
  LoadEnemyClasses(every, Load());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.appearKind);
    g_characters.Clear();
    const bool hasRow = PlacedEnemyClass(c.appearKind) != nullptr;
    // A class not written yet has no row, and its records spawn nothing:
    // never a stand-in of another class.
    EXPECT_EQ(SpawnPlacedEnemy(c.appearKind, 3.0f, 1.0f, 5.0f, 90.0f), hasRow);
    ASSERT_EQ(g_characters.Size(), hasRow ? 1u : 0u);
    if (!hasRow) continue;
    const Character* spawned = g_characters.At(0);
    EXPECT_EQ(spawned->GetKind(), c.characterKind);
    EXPECT_TRUE(spawned->IsAlive());
    EXPECT_EQ(spawned->position.x, 3.0f);
    EXPECT_EQ(spawned->angle.y, 90.0f);
  }
  EXPECT_NE(PlacedEnemyClass(1), nullptr) << "zako1 is written";
}

TEST_F(EnemyClassTable, StagesLoadAndUnloadTheKindsTheyList) {
  const int32_t stage1[] = {kAppearZako1, kAppearZako2, kAppearBoss1};
  const int32_t none[] = {kAppearBoss1};
  LoadEnemyClasses(none, Load());
  EXPECT_FALSE(Zako1::Shared().model.IsLoaded());
  LoadEnemyClasses(stage1, Load());
  EXPECT_TRUE(Zako1::Shared().model.IsLoaded());
  LoadEnemyClasses(stage1, Load());  // loaded already: bound again only
  EXPECT_TRUE(Zako1::Shared().model.IsLoaded());
  UnloadEnemyClasses(none);
  EXPECT_TRUE(Zako1::Shared().model.IsLoaded());
  UnloadEnemyClasses(stage1);
  EXPECT_FALSE(Zako1::Shared().model.IsLoaded());
  UnloadEnemyClasses(stage1);  // a second time does nothing

  // Without the device's caps nothing loads.
  EnemyLoad bare;
  LoadEnemyClasses(stage1, bare);
  EXPECT_FALSE(Zako1::Shared().model.IsLoaded());
}

TEST_F(EnemyClassTable, EveryRowHasItsRoutinesAndAKindOfItsOwn) {
  for (const EnemyClass& c : EnemyClasses()) {
    SCOPED_TRACE(c.kind);
    EXPECT_TRUE(c.load && c.unload && c.spawn);
    EXPECT_EQ(FindEnemyClass(c.kind), &c) << "one row a kind";
    EXPECT_TRUE(c.kind == kSokaiZakoClass || (c.kind >= 1 && c.kind <= 4) ||
                (c.kind >= kAppearBoss1 && c.kind <= kAppearBoss3));
  }
}

TEST_F(EnemyClassTable, EachRowTakesItsPlacementKindAndGaugeFaceFromItsTraits) {
  const std::span<const EnemyClass> rows = EnemyClasses();
  std::vector<int32_t> kinds;
  for (const EnemyClass& c : rows) kinds.push_back(c.kind);
  LoadEnemyClasses(kinds, Load());
  player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
  Step(2);

  // The face box of the gauge after a report from each row's kind.
  std::vector<std::string> paths;
  std::vector<std::vector<uint32_t>> boxes;
  for (size_t i = 0; i < rows.size(); ++i) {
    const EnemyClass& c = rows[i];
    const EnemyTraits& t = *c.traits;
    SCOPED_TRACE(t.kind);
    EXPECT_EQ(c.kind, t.appearKind);
    if (c.kind >= kAppearZako1) {
      // Its placement records spawn this class, and no other row has its kind.
      g_characters.Clear();
      EXPECT_EQ(PlacedEnemyClass(c.kind), &c);
      ASSERT_TRUE(SpawnPlacedEnemy(c.kind, 3.0f, 1.0f, 5.0f, 90.0f));
      ASSERT_EQ(g_characters.Size(), 1u);
      EXPECT_EQ(g_characters.At(0)->GetKind(), t.kind);
    } else {
      EXPECT_EQ(PlacedEnemyClass(c.kind), PlacedEnemyClass(kAppearZako1)) << "never placed";
    }
    // The gauge shows the face the traits name; a class without one, zako1's.
    const char* face = t.face ? t.face : PlacedEnemyClass(kAppearZako1)->traits->face;
    ASSERT_NE(face, nullptr);
    EXPECT_STREQ(GaugeFacePath(GaugeFaceRow(t.kind)), face);
    if (t.face) {
      EXPECT_EQ(GaugeFaceRow(t.kind), i);
    }
    ASSERT_LT(GaugeFaceRow(t.kind), player.faces.size());
    EXPECT_TRUE(player.faces[GaugeFaceRow(t.kind)].IsLoaded());
    g_characters.Clear();
    player.ShowEnemyGauge(t.kind, 5.0f, 10.0f);
    const std::vector<uint32_t> p = DrawFrame();
    std::vector<uint32_t> box;
    for (int y = 3; y < 35; ++y) {
      for (int x = 415; x < 447; ++x) box.push_back(gltest::Rgb(p, x, y));
    }
    paths.push_back(face);
    boxes.push_back(box);
  }
  // One picture a face file: the same file draws the same, another differs.
  for (size_t i = 0; i < rows.size(); ++i) {
    for (size_t j = i + 1; j < rows.size(); ++j) {
      EXPECT_EQ(boxes[i] == boxes[j], paths[i] == paths[j]) << paths[i] << " and " << paths[j];
    }
  }
}

}  // namespace
