// Stage 3's hammers on the stage-3 field: each mode's turn, the 500-frame
// swing, the arm's points knocking the player back, the creak, the drawing
// with the states it puts back, and a missing model.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/Hammer.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "port/random.h"
#include "support/stage3_fixture.h"

namespace {

using port::gpu::RenderState;
using port::gpu::SamplerState;
using stagetest::Stage3Fixture;

class HammerTest : public Stage3Fixture {
 protected:
  static Hammer* Place(int32_t mode, float pitch, float heading, port::Vec3 at = {-20, 1.5f, -20}) {
    return Hammer::Spawn({.at = at, .pitch = pitch, .heading = heading, .mode = mode});
  }
};

TEST_F(HammerTest, EachModeTurnsAndRocksAsItsTableSays) {
  port::CrtSrand(11);
  struct TurnCase {
    int32_t mode;
    int frames;
    float headingGain, pitchAfter;  // spawned at heading 40, pitch 10
  };
  for (const TurnCase& c :
       {TurnCase{kHammerFast, 100, 245, 10}, TurnCase{kHammerSteady, 100, 150, 10},
        TurnCase{kHammerBack, 100, -200, 10}, TurnCase{kHammerSlowBack, 100, -100, 10},
        TurnCase{kHammerSeesawUp, 26, 39, 39.99695f},  // (sin(91 degrees) + 1) x 20
        TurnCase{kHammerSeesawDown, 26, 39, 0.00305f}, TurnCase{kHammerSeesawUp, 52, 78, 19.30201f},
        TurnCase{kHammerSwing, 100, 150, 10}, TurnCase{9, 100, 150, 10},  // unknown: swing
        TurnCase{-1, 100, 150, 10}}) {
    Hammer* h = Place(c.mode, 10.0f, 40.0f);
    Step(c.frames);
    EXPECT_NEAR(h->rotation.y, 40.0f + c.headingGain, 2e-3f) << "mode " << c.mode;
    EXPECT_NEAR(h->rotation.x, c.pitchAfter, 2e-3f) << "mode " << c.mode;
    EXPECT_NEAR(h->rotation.z, 5.5f * c.frames, 2e-3f);  // the head spins
    h->alive = 0;                                        // the next case takes it again
  }
  EXPECT_EQ(CountObjects(kObjectHammer, false), 1);
}

TEST_F(HammerTest, SwingsForwardRestsSwingsBackAndRestsEvery500Frames) {
  port::CrtSrand(12);
  Hammer* h = Place(kHammerSwing, 0.0f, 0.0f);
  for (int cycle = 0; cycle < 2; ++cycle) {
    int forward = 0, back = 0, firstBack = 0, lastBack = 0;
    for (int t = 1; t <= 500; ++t) {
      const float before = h->rotation.y;
      Step();
      forward += h->rotation.y > before ? 1 : 0;
      if (h->rotation.y < before) {
        ++back;
        lastBack = t;
        if (!firstBack) firstBack = t;
      }
    }
    EXPECT_EQ(forward, 270);  // t = 1 to 269, and t = 0 that closes the cycle
    EXPECT_EQ(back, 109);
    EXPECT_EQ(firstBack, 331);
    EXPECT_EQ(lastBack, 439);
  }
  EXPECT_NEAR(h->rotation.y, 2 * 161 * 1.5f, 0.05f);
}

TEST_F(HammerTest, EveryArmPointKnocksThePlayerBackAndTheHammerCreaksOn) {
  port::CrtSrand(13);
  const port::Vec3 pivot{10, 1.5f, -10};
  Hammer* h = Place(kHammerSteady, 30.0f, 90.0f, pivot);
  EXPECT_EQ(h->extraPoints[7], (pivot + port::Vec3{0, 0, 7}));  // along +z until it turns
  Step();
  // Pitched down, the arm rises behind the pivot.
  const port::Vec3 d = DirectionFromAngles(30.0f, 91.5f, 0.0f);
  for (int i = 0; i < Hammer::kArmPoints; ++i) {
    const port::Vec3 want = pivot - d * static_cast<float>(i);
    const port::Vec3 off = h->extraPoints[i] - want;
    EXPECT_NEAR(std::fabs(off.x) + std::fabs(off.y) + std::fabs(off.z), 0.0f, 1e-4f) << i;
  }
  for (float along : {0.0f, 3.0f, 7.0f, 8.3f}) {
    h->Init({.at = pivot, .heading = 90, .mode = kHammerSteady});
    // Where the level arm lies after its first turn; a placed player is
    // guarded for its first frame.
    const port::Vec3 at = pivot - DirectionFromAngles(0.0f, 91.5f, 0.0f) * along;
    player.Place(at.x, stagetest::kStandY, at.z, 0.0f);
    Step();
    ClearSounds();
    Step();
    const bool hit = along < 7.5f;
    EXPECT_EQ(player.mode == kPlayerKnockBack, hit) << along;
    EXPECT_EQ(CountSound(kSoundHit), hit ? 1 : 0) << along;
    if (hit) {
      EXPECT_NEAR(player.stunGauge, 15.0f, 0.01f);
    }
    EXPECT_EQ(h->hitState, 0);
  }
  ClearSounds();
  Step(118);  // ages 3 to 120
  int creaks = 0;
  for (const stagetest::SoundEvent& s : sounds) creaks += s.id == kSoundHammer ? 1 : 0;
  EXPECT_EQ(creaks, 2);  // ages 41 and 81
  EXPECT_TRUE(h->IsAlive());
}

TEST_F(HammerTest, IsDrawnPuttingBackItsStatesAndWithoutItsModelHitsUndrawn) {
  port::CrtSrand(15);
  player.Place(0, 1, -22, 0);
  Hammer* h = Place(kHammerSteady, 0.0f, 270.0f, {-3.5f, 1.5f, -12});
  Step();
  EXPECT_GT(PixelsDrawnBy(h), 1500);
  for (uint32_t lighting : {0u, 1u}) {
    for (uint32_t address : {port::gpu::AddressClamp, port::gpu::AddressWrap}) {
      device->SetRenderState(RenderState::Lighting, lighting);
      device->SetSamplerState(0, SamplerState::AddressU, address);
      device->SetSamplerState(0, SamplerState::AddressV, address);
      h->Draw();
      EXPECT_EQ(device->GetRenderState(RenderState::Lighting), lighting);
      EXPECT_EQ(device->GetSamplerState(0, SamplerState::AddressU), address);
      EXPECT_EQ(device->GetSamplerState(0, SamplerState::AddressV), address);
    }
  }
  Hammer::Unload();
  WithoutFiles([&] { Hammer::Load(device); });
  EXPECT_EQ(PixelsDrawnBy(h), 0);
  player.Place(h->extraPoints[4].x, stagetest::kStandY, h->extraPoints[4].z, 0.0f);
  EXPECT_GT(StepUntil([&] { return player.mode == kPlayerKnockBack; }, 3), 0);
}

}  // namespace
