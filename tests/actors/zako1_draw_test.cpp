// Zako1 on screen, read back from the offscreen device in both draw methods:
// a red figure where it stands, its shadow, nothing when it is dead or off
// screen, and the pose taken only for what the camera sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "actors/Zako1.h"
#include "platform/MathHelpers.h"
#include "support/stage_fixture.h"

namespace {

using gltest::Channel;
using gltest::Rgb;
using stagetest::StageFixture;

struct Box {
  int x0, y0, x1, y1;
};

// Pixels inside the box that differ between two pictures, and how many of
// those are red rather than anything else.
struct Difference {
  int changed = 0;
  int red = 0;
};
Difference Compare(const std::vector<uint32_t>& with, const std::vector<uint32_t>& without, Box b) {
  Difference d;
  for (int y = b.y0; y < b.y1; ++y) {
    for (int x = b.x0; x < b.x1; ++x) {
      const uint32_t c = Rgb(with, x, y);
      if (c == Rgb(without, x, y)) continue;
      ++d.changed;
      if (Channel(c, 16) > Channel(c, 8) + 40 && Channel(c, 16) > Channel(c, 0) + 40) ++d.red;
    }
  }
  return d;
}

class Zako1Picture : public StageFixture, public ::testing::WithParamInterface<int> {
 protected:
  Zako1Picture() { setup.method = GetParam(); }
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Zako1>();
    Step(30);  // the player settles; the camera stands behind it, facing +z
  }
  // The zako as a still figure standing at (x, z), posed in its run.
  Zako1* StandStill(float x, float z) {
    Zako1* zako = Zako1::Spawn({.at = {x, stagetest::kStandY, z}, .heading = 180.0f});
    zako->SetState(kZako1Alert);
    Step(20);
    return zako;
  }
  // The picture with and without the zako.
  std::pair<std::vector<uint32_t>, std::vector<uint32_t>> Pictures(Zako1* zako) {
    std::vector<uint32_t> with = DrawFrame();
    zako->alive = 0;
    std::vector<uint32_t> without = DrawFrame();
    zako->alive = 1;
    return {with, without};
  }
  static Box Around(const port::Vec3& s, int half) {
    return {std::max(0, static_cast<int>(s.x) - half), std::max(0, static_cast<int>(s.y) - half),
            std::min(gltest::kWidth, static_cast<int>(s.x) + half),
            std::min(gltest::kHeight, static_cast<int>(s.y) + half)};
  }
};

TEST_P(Zako1Picture, AZakoShowsRedWhereItStandsWithItsShadowBelow) {
  Zako1* zako = StandStill(1.5f, 6.0f);
  auto [with, without] = Pictures(zako);
  if (std::getenv("POMELVANE_SAVE_PICTURES")) {
    SavePng(with, "zako1_method" + std::to_string(GetParam()) + ".png");
  }
  const port::Vec3 body = ScreenOf(zako->position);
  ASSERT_GT(body.z, 0.0f);
  const Difference near = Compare(with, without, Around(body, 30));
  EXPECT_GT(near.changed, 300);
  EXPECT_GT(near.red, near.changed / 3);
  // Nothing changes far from it.
  EXPECT_EQ(Compare(with, without, {0, 0, 100, 100}).changed, 0);
  // The shadow darkens the floor under it.
  const port::Vec3 feet =
      ScreenOf({zako->position.x + 0.45f, zako->shadowHeight, zako->position.z - 0.45f});
  const uint32_t shaded = Rgb(with, static_cast<int>(feet.x), static_cast<int>(feet.y) - 1);
  const uint32_t floor = Rgb(without, static_cast<int>(feet.x), static_cast<int>(feet.y) - 1);
  EXPECT_LE(Channel(shaded, 8), Channel(floor, 8));
  EXPECT_TRUE(zako->onScreen);
  EXPECT_TRUE(zako->animated);
}

TEST_P(Zako1Picture, OffScreenItIsNotPosedButStillMoves) {
  Zako1* zako = StandStill(0.0f, -20.0f);  // behind the camera
  zako->SetState(kZako1Wander);
  Step();
  const port::Vec3 before = zako->position;
  const float time = zako->tracks[1].time;
  DrawFrame();
  EXPECT_FALSE(zako->onScreen);
  EXPECT_FALSE(zako->animated);
  Step(5);
  EXPECT_NE(zako->position, before);
  EXPECT_GT(zako->tracks[1].time, time);
}

INSTANTIATE_TEST_SUITE_P(Methods, Zako1Picture, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int>& i) {
                           return i.param == 2 ? std::string("Software") : std::string("Toon");
                         });

}  // namespace
