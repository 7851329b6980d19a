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
  Boss* (*spawn)(const EnemySpawn& spawn);
  int32_t still;  // a state that stands still
};
Boss* SpawnBoss1(const EnemySpawn& s) { return Boss1::Spawn(s); }
Boss* SpawnBoss2(const EnemySpawn& s) { return Boss2::Spawn(s); }
Boss* SpawnBoss3(const EnemySpawn& s) { return Boss3::Spawn(s); }
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
    Boss* boss = c.spawn({.at = {kBesideX, stagetest::kStandY, z}, .heading = 180.0f});
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

// The close-up's place on the picture and its clear colour.
constexpr Box kCloseUpBox{400, 150, 528, 278};
bool SkyBlue(uint32_t p) { return p == 0x0096FFu; }
bool NotSkyBlue(uint32_t p) { return p != 0x0096FFu; }

TEST_P(BossPicture, CloseUpShowsEachBossBesideTheAnnouncementOnlyDuringTheEntrance) {
  for (const BossCase& c : kBosses) {
    SCOPED_TRACE(c.name);
    Boss* boss = c.spawn({.at = {-kBesideX, stagetest::kStandY, 8.0f}, .heading = 180.0f});
    ASSERT_NE(boss, nullptr);
    ASSERT_NE(boss->bossClass.closeUp, nullptr);
    // Life frame 100: the levy pose, the close-up shown (100 mod 30 < 20) and
    // the announcement not (100 mod 40 >= 20), so nothing overlaps it.
    Step(100);
    ASSERT_EQ(boss->lifeFrames, 100);
    ASSERT_EQ(boss->state, c.still == kBoss3Stand ? kBoss3Levy : c.still);
    const std::vector<uint32_t> shown = DrawFrame();
    Save(shown, std::string(c.name) + "_closeup");
    const int sky = CountWhere(shown, kCloseUpBox, SkyBlue);
    const int figure = CountWhere(shown, kCloseUpBox, NotSkyBlue);
    EXPECT_GT(sky, 128 * 128 / 3) << "the close-up's own background";
    EXPECT_GT(figure, 1500) << "the boss, big in its close-up";
    // The figure stands in the middle of the picture, cut by its top edge
    // (the eye looks at its waist); the rows' order is the device's test.
    int top = kCloseUpBox.y1, bottom = 0, left = kCloseUpBox.x1, right = 0;
    for (int y = kCloseUpBox.y0; y < kCloseUpBox.y1; ++y)
      for (int x = kCloseUpBox.x0; x < kCloseUpBox.x1; ++x)
        if (!SkyBlue(Rgb(shown, x, y))) {
          top = std::min(top, y);
          bottom = std::max(bottom, y);
          left = std::min(left, x);
          right = std::max(right, x);
        }
    EXPECT_LT(std::abs((left + right) / 2 - 464), 20);
    EXPECT_EQ(top, kCloseUpBox.y0);
    EXPECT_GT(bottom - top, 60);
    // Outside it the stage picture is the one drawn without the close-up.
    EXPECT_EQ(CountWhere(shown, {0, 300, 640, 480}, SkyBlue), 0);

    boss->lifeFrames = 109;  // 110 mod 30 = 20: the picture blinks off
    Step();
    EXPECT_EQ(CountWhere(DrawFrame(), kCloseUpBox, SkyBlue), 0);
    boss->lifeFrames = 239;  // the announcement ends at 240
    Step();
    EXPECT_EQ(boss->announcement, 0);
    boss->lifeFrames = 269;  // 270 mod 30 = 0: would show, were it the entrance
    Step();
    EXPECT_EQ(CountWhere(DrawFrame(), kCloseUpBox, SkyBlue), 0);
    boss->alive = 0;
  }
  // Unloaded with the stage, each class lets its target go; again, nothing.
  for (void (*unload)() : {&Boss1::Unload, &Boss2::Unload, &Boss3::Unload}) {
    unload();
    unload();
  }
  EXPECT_EQ(Boss1::Shared().closeUp, nullptr);
  EXPECT_EQ(Boss2::Shared().closeUp, nullptr);
  EXPECT_EQ(Boss3::Shared().closeUp, nullptr);
}

// The close-up poses boss 2 at the origin; its hands still shoot from where
// the boss stands.
TEST_P(BossPicture, BossTwoShootsFromItsHandsWhileItsCloseUpIsDrawn) {
  auto* boss = static_cast<Boss2*>(
      kBosses[1].spawn({.at = {-kBesideX, stagetest::kStandY, 8.0f}, .heading = 180.0f}));
  ASSERT_NE(boss, nullptr);
  DrawFrame();  // drawn before its first update: its two halves play track 0
  EXPECT_EQ(boss->upperTrack, 0);
  EXPECT_EQ(boss->lowerTrack, 0);
  Step(90);
  boss->SetSubAction(kBoss2Pair);
  const size_t before = EnemyBullets().size();
  for (int i = 0; i < 40; ++i) {
    Step();
    DrawFrame();
  }
  ASSERT_EQ(boss->announcement, 1);
  const std::vector<EnemyTama*> bullets = EnemyBullets();
  ASSERT_EQ(bullets.size(), before + 1);
  const port::Vec3 d = bullets.back()->position - boss->position;
  EXPECT_LT(std::abs(d.x) + std::abs(d.z), 2.0f) << "from the hand, not the close-up's origin";
}

TEST_P(BossPicture, WithoutACloseUpTargetTheEntranceAndTheFightGoOn) {
  device->ForceRenderTargetFailure(true);
  for (const BossCase& c : kBosses) {
    SCOPED_TRACE(c.name);
    // The stage loads its bosses again: every target is refused.
    Boss1::Unload();
    Boss2::Unload();
    Boss3::Unload();
    LoadEnemyClass<Boss1>();
    LoadEnemyClass<Boss2>();
    LoadEnemyClass<Boss3>();
    Boss* boss = c.spawn({.at = {-kBesideX, stagetest::kStandY, 8.0f}, .heading = 180.0f});
    ASSERT_NE(boss, nullptr);
    EXPECT_EQ(boss->bossClass.closeUp, nullptr);
    Step(100);
    ASSERT_EQ(boss->announcement, 1);
    const std::vector<uint32_t> entrance = DrawFrame();
    EXPECT_EQ(CountWhere(entrance, kCloseUpBox, SkyBlue), 0);
    EXPECT_EQ(device->GetRenderTarget(), nullptr);
    EXPECT_EQ(device->GetViewport().width, 640u);
    // The fight goes on to the boss's end.
    Step(200);
    boss->guard = 0;
    boss->invulnerableFrames = -1;
    boss->hitPoints = 0.5f;
    AddPlayerShot(boss->position, 0.7f, 10.0f);
    const int ended = StepUntil([&] { return !boss->alive; }, 400);
    EXPECT_GT(ended, 0) << "the last hit ends the boss";
    DrawFrame();
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, BossPicture, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int>& i) {
                           return i.param == 2 ? std::string("Software") : std::string("Toon");
                         });

}  // namespace
