// The close-up through the stage scenes' own drawing: during the boss's
// entrance the stage picture carries it beside the announcement, blinking;
// after the entrance, or with no target to draw into, it is not there and
// the boss phase runs on. The targets go with the stage. Under each stage's
// own sun the close-up frames the boss's face, lit, with its shoulders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "actors/Boss.h"
#include "actors/Boss1.h"
#include "actors/Boss2.h"
#include "actors/Boss3.h"
#include "app/StagePhase.h"
#include "support/stage_fixture.h"
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
  // The stage without its areas: the boss phase comes at once.
  Boss* IntoBossPhase(int stage = 1) {
    const std::string folder = "AppearData/stage" + std::to_string(stage) + "/";
    for (int a = 1; a <= 4; ++a)
      Remove(folder + "stage" + std::to_string(stage) + "_erea" + std::to_string(a) + ".arg");
    app.requestedScene = stage == 1 ? SceneStage1 : stage == 2 ? SceneStage2 : SceneStage3;
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

// The stand-ins give each boss's head a colour of its own.
struct FaceCase {
  int stage;
  uint32_t face;
};
constexpr FaceCase kFaces[] = {{1, 0xF09070}, {2, 0xF0D890}, {3, 0xC8F0C0}};

// A pixel of the face's colour at at least half its brightness: lit, not the
// dark side of a box.
bool LitFace(uint32_t pixel, uint32_t face) {
  int sum = 0, faceSum = 0;
  for (int shift : {0, 8, 16}) {
    sum += gltest::Channel(pixel, shift);
    faceSum += gltest::Channel(face, shift);
  }
  const float k = static_cast<float>(sum) / static_cast<float>(faceSum);
  if (k < 0.5f) return false;
  for (int shift : {0, 8, 16})
    if (std::abs(gltest::Channel(pixel, shift) - k * gltest::Channel(face, shift)) > 10.0f)
      return false;
  return true;
}

class BossFaceInCloseUp : public BossCloseUpOnStage,
                          public ::testing::WithParamInterface<FaceCase> {};

// Through the entrance (walking, then the levy pose) and in both draw
// methods, the head stands whole in the picture with room under it for the
// shoulders.
TEST_P(BossFaceInCloseUp, CloseUpFramesTheLitHeadAndShoulders) {
  const FaceCase c = GetParam();
  for (uint8_t toon : {0, 1}) {
    SCOPED_TRACE(toon ? "toon" : "software");
    app.toonEffectAvailable = toon;
    Boss* boss = IntoBossPhase(c.stage);
    ASSERT_NE(boss, nullptr);
    for (int32_t life : {10, 100, 190}) {
      SCOPED_TRACE(life);
      const std::vector<uint32_t> shown = PictureAtLifeFrame(boss, life);
      // The scenes run in a scratch folder: the variable may name one to keep them in.
      if (const char* keep = std::getenv("POMELVANE_SAVE_PICTURES")) {
        const std::string folder = std::filesystem::is_directory(keep) ? keep : ".";
        stagetest::WritePicture(shown, folder + "/boss" + std::to_string(c.stage) + "_face_" +
                                           std::to_string(life) + (toon ? "_toon" : "") + ".png");
      }
      // The head's box: the rows and columns with a run of the face's colour.
      int n = 0, top = kY0 + kSize, bottom = 0, left = kX0 + kSize, right = 0;
      std::vector<int> rows(kSize), columns(kSize);
      for (int y = kY0; y < kY0 + kSize; ++y)
        for (int x = kX0; x < kX0 + kSize; ++x)
          if (LitFace(gltest::Rgb(shown, x, y), c.face)) {
            ++n;
            ++rows[y - kY0];
            ++columns[x - kX0];
          }
      for (int i = 0; i < kSize; ++i) {
        if (rows[i] >= 8) top = std::min(top, kY0 + i), bottom = std::max(bottom, kY0 + i);
        if (columns[i] >= 8) left = std::min(left, kX0 + i), right = std::max(right, kX0 + i);
      }
      EXPECT_GT(n, 600) << "a big face, lit";
      EXPECT_GT(top, kY0) << "not cut by the top edge";
      EXPECT_LT(bottom, kY0 + kSize / 2 + 16) << "the shoulders under it";
      EXPECT_GT(left, kX0);
      EXPECT_LT(right, kX0 + kSize - 1);
    }
    app.requestedScene = SceneNone;
    app.ReleaseStage1();
    app.ReleaseStage2();
    app.ReleaseStage3();
  }
}

INSTANTIATE_TEST_SUITE_P(Bosses, BossFaceInCloseUp, ::testing::ValuesIn(kFaces),
                         [](const auto& info) {
                           return "Boss" + std::to_string(info.param.stage);
                         });

}  // namespace
