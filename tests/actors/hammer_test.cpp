// Stage 3's hammers on the stage-3 field: how each mode turns, the 500-frame
// swing, the arm's eight points and the player they knock back, the creak,
// the drawing and the states it puts back, and a missing model.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/Hammer.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "port/random.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/ObjectList.h"

namespace {

using port::gpu::RenderState;
using port::gpu::SamplerState;
using stagetest::StageFixture;

class HammerTest : public StageFixture {
 protected:
  HammerTest() { setup.field = stagetest::kStage3Field; }
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    Hammer::Load(device);
  }
  void TearDown() override {
    Hammer::Unload();
    StageFixture::TearDown();
  }
  // Far from the player at the origin unless placed elsewhere.
  Hammer* Place(int32_t mode, float pitch = 0.0f, float heading = 0.0f,
                port::Vec3 at = {-20, 1.5f, -20}) {
    return Hammer::Spawn({.at = at, .pitch = pitch, .heading = heading, .mode = mode});
  }
};

struct TurnCase {
  int32_t mode;
  float pitch;  // at the spawn
  int frames;
  float headingGain;
  float pitchAfter;
};

constexpr TurnCase kTurns[] = {
    {kHammerFast, 10, 100, 245.0f, 10},
    {kHammerSteady, 10, 100, 150.0f, 10},
    {kHammerBack, 10, 100, -200.0f, 10},
    {kHammerSlowBack, 10, 100, -100.0f, 10},
    // The rocking modes set the pitch from the age: sin(26 x 3.5 degrees) ~ 1.
    {kHammerSeesawUp, 10, 26, 39.0f, 39.99695f},
    {kHammerSeesawDown, 10, 26, 39.0f, 0.00305f},
    {kHammerSeesawUp, 10, 52, 78.0f, 19.30201f},  // sin(182 degrees) < 0
    // The swing turns forward for its first 270 frames; unknown modes swing.
    {kHammerSwing, 30, 100, 150.0f, 30},
    {9, 30, 100, 150.0f, 30},
    {-1, 30, 100, 150.0f, 30},
};

TEST_F(HammerTest, EachModeTurnsAndRocksAsItsTableSays) {
  port::CrtSrand(11);
  for (const TurnCase& c : kTurns) {
    Hammer* h = Place(c.mode, c.pitch, 40.0f);
    ASSERT_NE(h, nullptr);
    Step(c.frames);
    EXPECT_NEAR(h->rotation.y, 40.0f + c.headingGain, 2e-3f) << "mode " << c.mode;
    EXPECT_NEAR(h->rotation.x, c.pitchAfter, 2e-3f) << "mode " << c.mode;
    EXPECT_NEAR(h->rotation.z, 5.5f * static_cast<float>(c.frames), 2e-3f);  // the head spins
    EXPECT_TRUE(h->IsAlive());
    h->alive = 0;  // out of the way of the next case, which takes it again
  }
  EXPECT_EQ(CountObjects(kObjectHammer, false), 1);
}

TEST_F(HammerTest, SwingsForwardRestsSwingsBackAndRestsEvery500Frames) {
  port::CrtSrand(12);
  Hammer* h = Place(kHammerSwing);
  ASSERT_NE(h, nullptr);
  // Frames turning forward, back, and resting, per 500-frame cycle.
  for (int cycle = 0; cycle < 2; ++cycle) {
    int forward = 0, back = 0, rest = 0;
    int firstBack = 0, lastBack = 0;
    for (int age = cycle * 500 + 1; age <= cycle * 500 + 500; ++age) {
      const float before = h->rotation.y;
      Step();
      const float step = h->rotation.y - before;
      const int t = age % 500;
      if (step > 1.0f) {
        ++forward;
        EXPECT_TRUE(t < 270) << "age " << age;
      } else if (step < -1.0f) {
        ++back;
        if (!firstBack) firstBack = t;
        lastBack = t;
      } else {
        ++rest;
      }
    }
    EXPECT_EQ(forward, 270) << "cycle " << cycle;  // t = 1..269 and t = 0 closing the cycle
    EXPECT_EQ(back, 109);
    EXPECT_EQ(rest, 121);
    EXPECT_EQ(firstBack, 331);
    EXPECT_EQ(lastBack, 439);
  }
  EXPECT_NEAR(h->rotation.y, 2 * (270 - 109) * 1.5f, 0.05f);
}

TEST_F(HammerTest, ArmReachesSevenUnitsBackAndCreaksEvery40Frames) {
  port::CrtSrand(13);
  const port::Vec3 pivot{-20, 1.5f, -20};
  Hammer* h = Place(kHammerFast, 30.0f, 0.0f, pivot);
  ASSERT_NE(h, nullptr);
  // Before its first update the arm lies along +z.
  ASSERT_EQ(h->extraPoints.size(), 8u);
  EXPECT_EQ(h->extraPoints[7], (pivot + port::Vec3{0, 0, 7}));
  Step();
  ASSERT_EQ(h->extraPoints.size(), 8u);
  EXPECT_EQ(h->extraPoints[0], pivot);
  const port::Vec3 d = DirectionFromAngles(30.0f, 2.45f, 0.0f);
  for (int i = 1; i < 8; ++i) {
    const port::Vec3 want = pivot - d * static_cast<float>(i);
    EXPECT_NEAR(h->extraPoints[i].x, want.x, 1e-4f) << i;
    EXPECT_NEAR(h->extraPoints[i].y, want.y, 1e-4f) << i;
    EXPECT_NEAR(h->extraPoints[i].z, want.z, 1e-4f) << i;
  }
  // Pitched down 30 degrees, the arm rises behind the pivot.
  EXPECT_NEAR(h->extraPoints[7].y, 1.5f + 3.5f, 1e-4f);
  Step(119);
  int creaks = 0;
  for (const stagetest::SoundEvent& s : sounds) {
    if (s.id != kSoundHammer) continue;
    EXPECT_EQ(s.frame % 40, 1) << s.frame;
    ++creaks;
  }
  EXPECT_EQ(creaks, 3);  // ages 1, 41 and 81
}

TEST_F(HammerTest, AnyArmPointKnocksThePlayerBackAndTheHammerTurnsOn) {
  port::CrtSrand(14);
  const port::Vec3 pivot{10, 1.5f, -10};
  Hammer* h = Place(kHammerSteady, 0.0f, 90.0f, pivot);
  ASSERT_NE(h, nullptr);
  struct ReachCase {
    float along;  // units back from the pivot
    bool hit;
  };
  for (const ReachCase& c :
       {ReachCase{0, true}, ReachCase{3, true}, ReachCase{7, true}, ReachCase{8.3f, false}}) {
    h->Init({.at = pivot, .pitch = 0, .heading = 90, .mode = kHammerSteady});
    // Placed where the arm will lie after its first turn; the player's first
    // frame after a placement is a guarded one.
    const port::Vec3 d = DirectionFromAngles(0.0f, 91.5f, 0.0f);
    const port::Vec3 at = pivot - d * c.along;
    player.Place(at.x, stagetest::kStandY, at.z, 0.0f);
    Step();
    ClearSounds();
    Step();
    EXPECT_EQ(player.mode == kPlayerKnockBack, c.hit) << c.along;
    EXPECT_EQ(CountSound(kSoundHit), c.hit ? 1 : 0) << c.along;
    EXPECT_EQ(h->hitState, 0);
    EXPECT_TRUE(h->IsAlive());
  }
  // A hit from the arm pushes the player away from the pivot.
  player.Place(pivot.x - 3.0f, stagetest::kStandY, pivot.z, 0.0f);
  h->Init({.at = pivot, .pitch = 0, .heading = 80, .mode = kHammerSteady});
  ASSERT_GT(StepUntil([&] { return player.mode == kPlayerKnockBack; }, 10), 0);
  EXPECT_NEAR(player.moveHeading, 270.0f, 0.01f);
  EXPECT_NEAR(player.stunGauge, 15.0f, 0.01f);
  const float x = player.position.x;
  Step(5);
  EXPECT_LT(player.position.x, x);
  EXPECT_TRUE(h->IsAlive());
}

TEST_F(HammerTest, IsDrawnLitAndPutsBackTheStatesItChanged) {
  port::CrtSrand(15);
  player.Place(0, 1, -22, 0);
  Hammer* h = Place(kHammerSteady, 0.0f, 270.0f, {-3.5f, 1.5f, -12});
  ASSERT_NE(h, nullptr);
  Step();
  const std::vector<uint32_t> with = DrawFrame();
  h->alive = 0;
  EXPECT_GT(CountDiffering(with, DrawFrame()), 1500);
  h->alive = 1;
  struct StateCase {
    uint32_t lighting, address;
  };
  for (const StateCase& c :
       {StateCase{0, port::gpu::AddressClamp}, StateCase{1, port::gpu::AddressWrap},
        StateCase{1, port::gpu::AddressClamp}}) {
    device->SetRenderState(RenderState::Lighting, c.lighting);
    device->SetSamplerState(0, SamplerState::AddressU, c.address);
    device->SetSamplerState(0, SamplerState::AddressV, c.address);
    h->Draw();
    EXPECT_EQ(device->GetRenderState(RenderState::Lighting), c.lighting);
    EXPECT_EQ(device->GetSamplerState(0, SamplerState::AddressU), c.address);
    EXPECT_EQ(device->GetSamplerState(0, SamplerState::AddressV), c.address);
  }
}

TEST_F(HammerTest, WithoutItsModelTurnsAndHitsUndrawn) {
  port::CrtSrand(16);
  Hammer::Unload();
  {
    testsupport::TempDir empty;
    testsupport::ScopedCwd inEmpty(empty.path());
    Hammer::Load(device);
  }
  player.Place(0, 1, -20, 0);
  Hammer* h = Place(kHammerSteady, 0.0f, 270.0f, {0, 1.5f, -12});
  ASSERT_NE(h, nullptr);
  Step();
  const std::vector<uint32_t> with = DrawFrame();
  h->alive = 0;
  EXPECT_EQ(CountDiffering(with, DrawFrame()), 0);
  h->alive = 1;
  // Still there for the player to run into.
  player.Place(h->extraPoints[4].x, stagetest::kStandY, h->extraPoints[4].z, 0.0f);
  EXPECT_GT(StepUntil([&] { return player.mode == kPlayerKnockBack; }, 3), 0);
}

}  // namespace
