// The close-up through the stage scenes' own drawing: during the boss's
// entrance the stage picture carries it beside the announcement, blinking;
// after the entrance, or with no target to draw into, it is not there and
// the boss phase runs on. The targets go with the stage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actors/Boss.h"
#include "actors/Boss1.h"
#include "actors/Boss2.h"
#include "actors/Boss3.h"
#include "app/StagePhase.h"
#include "support/stage_scene_fixture.h"
#include "world/CharacterList.h"

namespace {

using namespace stagescene;

// The close-up's place on the picture.
constexpr int kX0 = 400, kY0 = 150, kSize = 128;

int SkyBluePixels(const std::vector<uint32_t>& picture) {
  int n = 0;
  for (int y = kY0; y < kY0 + kSize; ++y)
    for (int x = kX0; x < kX0 + kSize; ++x) n += gltest::Rgb(picture, x, y) == 0x0096FFu;
  return n;
}

class BossCloseUpOnStage : public StageSceneTest {
 protected:
  // Stage 1 without its areas: the boss phase comes at once.
  Boss* IntoBossPhase() {
    for (int a = 1; a <= 2; ++a)
      Remove("AppearData/stage1/stage1_erea" + std::to_string(a) + ".arg");
    app.requestedScene = SceneStage1;
    Frames();
    if (UntilPhase(kPhaseBoss) <= 0) return nullptr;
    Frames();
    return LiveBoss();
  }
  static Boss* LiveBoss() {
    for (size_t i = 0; i < g_characters.Size(); ++i) {
      auto* b = dynamic_cast<Boss*>(g_characters.At(i));
      if (b && b->IsAlive()) return b;
    }
    return nullptr;
  }
  // Frames (drawn) until the boss's life frame, then the picture.
  std::vector<uint32_t> PictureAtLifeFrame(Boss* boss, int32_t life) {
    drawing = false;
    while (boss->lifeFrames < life - 1) Frames();
    drawing = true;
    Frames();
    drawing = false;
    return device->ReadBackBuffer();
  }
};

TEST_F(BossCloseUpOnStage, StagePictureShowsTheCloseUpOnlyWhileTheEntranceShowsIt) {
  Boss* boss = IntoBossPhase();
  ASSERT_NE(boss, nullptr);
  ASSERT_NE(Boss1::Shared().closeUp, nullptr);
  // Shown at life frame 100 (mod 30 < 20; the announcement is off then).
  const std::vector<uint32_t> shown = PictureAtLifeFrame(boss, 100);
  EXPECT_GT(SkyBluePixels(shown), kSize * kSize / 3);
  EXPECT_LT(SkyBluePixels(shown), kSize * kSize) << "the boss stands in it";
  // Blinked off at 110, gone after the entrance.
  EXPECT_EQ(SkyBluePixels(PictureAtLifeFrame(boss, 110)), 0);
  EXPECT_EQ(SkyBluePixels(PictureAtLifeFrame(boss, 270)), 0);
  EXPECT_EQ(boss->announcement, 0);
  EXPECT_EQ(device->GetRenderTarget(), nullptr) << "the picture's own target is back";

  // The targets go with the stage, and a second release finds nothing.
  app.requestedScene = SceneNone;
  app.ReleaseStage1();
  EXPECT_EQ(Boss1::Shared().closeUp, nullptr);
  app.ReleaseStage1();
  Boss1::Unload();
  EXPECT_EQ(Boss1::Shared().closeUp, nullptr);
}

TEST_F(BossCloseUpOnStage, WithoutATargetTheEntranceHasNoCloseUpAndThePhaseStillEnds) {
  device->ForceRenderTargetFailure(true);
  Boss* boss = IntoBossPhase();
  ASSERT_NE(boss, nullptr);
  EXPECT_EQ(Boss1::Shared().closeUp, nullptr);
  const std::vector<uint32_t> entrance = PictureAtLifeFrame(boss, 100);
  EXPECT_EQ(SkyBluePixels(entrance), 0);
  EXPECT_EQ(boss->announcement, 1);
  // The boss falls to its last hit and the phase ends in the clear.
  boss->hitPoints = 0.0f;
  boss->SetState(kBoss1Defeated);
  ASSERT_GT(UntilPhase(kPhaseClear, 400), 0);
}

}  // namespace
