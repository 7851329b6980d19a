// The bosses on screen, read back from the offscreen device in both draw
// methods: each boss a big figure where it stands, cyan while it blinks,
// boss 3's twist under it and its props in its hands; the announcement and
// the close-up picture at their places during the entrance, drawn without
// disturbing the stage picture, and left out when no render target can be
// made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "actors/Boss1.h"
#include "actors/Boss2.h"
#include "actors/Boss3.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"

namespace {

using gltest::Channel;
using gltest::Rgb;
using stagetest::StageFixture;

struct Box {
  int x0, y0, x1, y1;
};

struct BossCase {
  const char* name;
  Boss* (*spawn)(float x, float y, float z, float heading);
  int32_t still;  // a state that stands still
};
Boss* SpawnBoss1(float x, float y, float z, float h) { return Boss1::Spawn(x, y, z, h); }
Boss* SpawnBoss2(float x, float y, float z, float h) { return Boss2::Spawn(x, y, z, h); }
Boss* SpawnBoss3(float x, float y, float z, float h) { return Boss3::Spawn(x, y, z, h); }
const BossCase kBosses[] = {{"boss1", SpawnBoss1, kBoss1Levy},
                            {"boss2", SpawnBoss2, kBoss2Levy},
                            {"boss3", SpawnBoss3, kBoss3Stand}};

class BossPicture : public StageFixture, public ::testing::WithParamInterface<int> {
 protected:
  BossPicture() { setup.method = GetParam(); }
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Boss1>();
    LoadEnemyClass<Boss2>();
    LoadEnemyClass<Boss3>();
    Step(30);  // the player settles; the camera stands behind it, facing +z
  }
  // The boss standing still at (kBesideX, z) facing the camera, past its
  // entrance: clear of the player, who stands in the middle of the picture.
  static constexpr float kBesideX = 3.0f;
  Boss* Standing(const BossCase& c, float z = 8.0f) {
    Boss* boss = c.spawn(kBesideX, stagetest::kStandY, z, 180.0f);
    if (!boss) return nullptr;
    Step(2);
    boss->lifeFrames = 400;
    boss->announcement = 0;
    Settle(boss, c.still, z);
    return boss;
  }
  void Settle(Boss* boss, int32_t state, float z) {
    boss->SetState(state);
    for (int i = 0; i < 20; ++i) {
      boss->position = boss->previousPosition = {kBesideX, stagetest::kStandY, z};
      boss->angle.y = 180.0f;
      Step();
    }
  }
  void Save(const std::vector<uint32_t>& picture, const std::string& name) {
    if (std::getenv("POMELVANE_SAVE_PICTURES"))
      SavePng(picture, name + "_method" + std::to_string(GetParam()) + ".png");
  }
  // The box round the pixels that differ between two pictures.
  static Box Changed(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int* count) {
    Box box{gltest::kWidth, gltest::kHeight, 0, 0};
    *count = 0;
    for (int y = 0; y < gltest::kHeight; ++y) {
      for (int x = 0; x < gltest::kWidth; ++x) {
        if (Rgb(a, x, y) == Rgb(b, x, y)) continue;
        ++*count;
        box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1),
               std::max(box.y1, y + 1)};
      }
    }
    return box;
  }
  static int CountWhere(const std::vector<uint32_t>& p, Box b, bool (*pred)(uint32_t)) {
    int n = 0;
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) n += pred(Rgb(p, x, y)) ? 1 : 0;
    return n;
  }
};

TEST_P(BossPicture, EachBossStandsBigWhereItIsAndBlinksCyan) {
  for (const BossCase& c : kBosses) {
    SCOPED_TRACE(c.name);
    Boss* boss = Standing(c);
    ASSERT_NE(boss, nullptr);
    const std::vector<uint32_t> with = DrawFrame();
    boss->alive = 0;
    const std::vector<uint32_t> without = DrawFrame();
    boss->alive = 1;
    Save(with, c.name);
    int changed = 0;
    const Box box = Changed(with, without, &changed);
    const port::Vec3 at = ScreenOf(boss->position);
    EXPECT_GT(changed, 2000) << "a big figure";
    EXPECT_GT(box.y1 - box.y0, 100);
    EXPECT_LE(box.x0, static_cast<int>(at.x));
    EXPECT_GE(box.x1, static_cast<int>(at.x));

    // Blinking, the figure shows in one colour, cyan.
    boss->guard = 1;
    boss->invulnerableFrames = 5;
    boss->lifeFrames = 405;
    ASSERT_TRUE(boss->Blinking());
    boss->animated = 0;
    const std::vector<uint32_t> blink = DrawFrame();
    Save(blink, std::string(c.name) + "_blink");
    const int cyan = CountWhere(blink, box, [](uint32_t p) {
      return Channel(p, 16) < 80 && Channel(p, 8) > 120 && Channel(p, 0) > 120 &&
             std::abs(static_cast<int>(Channel(p, 8)) - static_cast<int>(Channel(p, 0))) < 40;
    });
    EXPECT_GT(cyan, changed / 3);
    boss->guard = 0;
    boss->alive = 0;
  }
}

TEST_P(BossPicture, BossThreeRunsOverItsTwistAndHoldsItsPropsInTheLevy) {
  Boss* boss = Standing(kBosses[2]);
  ASSERT_NE(boss, nullptr);
  auto* b3 = static_cast<Boss3*>(boss);
  const std::vector<uint32_t> plain = DrawFrame();
  b3->twist = 1;
  const std::vector<uint32_t> twist = DrawFrame();
  Save(twist, "boss3_twist");
  int changed = 0;
  const Box box = Changed(twist, plain, &changed);
  EXPECT_GT(changed, 200);
  const port::Vec3 under = ScreenOf({boss->position.x, boss->position.y - 0.68f, boss->position.z});
  EXPECT_LE(box.x0, static_cast<int>(under.x));
  EXPECT_GE(box.x1, static_cast<int>(under.x));
  b3->twist = 0;

  Settle(boss, kBoss3Levy, 8.0f);
  Step(60);  // the props show from frame 66
  ASSERT_EQ(b3->leftProp, 1);
  const std::vector<uint32_t> props = DrawFrame();
  Save(props, "boss3_props");
  b3->leftProp = b3->rightProp = 0;
  const std::vector<uint32_t> bare = DrawFrame();
  EXPECT_GT(CountDiffering(props, bare), 30);
}

INSTANTIATE_TEST_SUITE_P(Methods, BossPicture, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int>& i) {
                           return i.param == 2 ? std::string("Software") : std::string("Toon");
                         });

}  // namespace
