#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/MathHelpers.h"
#include "render/Camera.h"
#include "support/gl_context.h"
#include "support/temp_dir.h"
#include "world/EffectList.h"
#include "world/LineEffect.h"
#include "world/ParticleEffect.h"
#include "world/ShockWaveEffect.h"
#include "world/ThunderEffect.h"

namespace {

// Runs in an empty folder: every effect texture is missing, so the effects
// draw untextured white and a read-back sees exactly where they landed.
class EffectDraw : public gltest::GameDeviceTest {
 protected:
  void SetUp() override {
    gltest::GameDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    EnterFolder(empty_.path());
    g_effects.Clear();
    g_effects.Init(device);
    g_camera.SetDevice(device);
    g_camera.SetMode(Camera::kOrbit);
    g_camera.SetDistance(10.0f);
    g_camera.SetPitch(0.0f);
    g_camera.SetYaw(0.0f);  // eye on +z looking toward -z
    g_camera.SetPosition(0, 0, 0);
    ClearTo(0xFF000000u);
  }
  void TearDown() override {
    g_effects.Release();
    gltest::GameDeviceTest::TearDown();
  }
  std::vector<uint32_t> DrawEffects() {
    g_effects.DrawAll(g_camera.GetView(), g_camera.GetProjection());
    return Picture();
  }
  static int Lit(const std::vector<uint32_t>& p) {
    int n = 0;
    for (uint32_t px : p) n += (px & 0xFFFFFFu) != 0;
    return n;
  }

 private:
  testsupport::TempDir empty_;
};

TEST_F(EffectDraw, ParticleFacesTheScreenAtItsPosition) {
  ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleGlow});
  const auto p = DrawEffects();
  EXPECT_NE(gltest::Rgb(p, 320, 240), 0u);
  EXPECT_EQ(gltest::Rgb(p, 320, 100), 0u);
  EXPECT_EQ(gltest::Rgb(p, 10, 10), 0u);
  // About 1 / (z + 1) of the half-screen each way: 24 pixels at this depth.
  EXPECT_GT(Lit(p), 20 * 20);
  EXPECT_LT(Lit(p), 60 * 60);
}

// Every sprite of a draw shares one view, kept from draw to draw: a second
// draw from another view puts the particle where that view sees it.
TEST_F(EffectDraw, ParticleFollowsTheViewFromOneDrawToTheNext) {
  ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleGlow});
  for (float target : {0.0f, 2.0f, -1.5f}) {
    SCOPED_TRACE("looking at x " + std::to_string(target));
    g_camera.SetPosition(target, 0, 0);
    ClearTo(0xFF000000u);
    const auto p = DrawEffects();
    const port::Vec4 c =
        ProjectToClipW(port::MatrixIdentity(), g_camera.GetView(), g_camera.GetProjection());
    double sum = 0;
    int n = 0;
    for (int x = 0; x < gltest::kWidth; ++x) {
      if (gltest::Rgb(p, x, 240) == 0) continue;
      sum += x;
      ++n;
    }
    ASSERT_GT(n, 10);
    EXPECT_NEAR(sum / n, (c.x + 1.0) * 320.0, 2.0);
  }
}

TEST_F(EffectDraw, KindsThatAreNotDrawnAndInactiveParticles) {
  ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleNone});
  ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = 42});
  ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleGlow, .active = 0});
  EXPECT_EQ(Lit(DrawEffects()), 0);
}

TEST_F(EffectDraw, ParticleAtTheEyeIsNotDrawnButStillMovesAndAges) {
  ParticleEffect* p =
      ParticleEffect::Spawn({.at = {0, 0, 9.5f}, .speed = 0.1f, .kind = kParticleGlow});
  EXPECT_EQ(Lit(DrawEffects()), 0);
  p->Update();
  EXPECT_EQ(p->age, 1);
  EXPECT_NEAR(p->position.z, 9.6f, 1e-5f);
}

TEST_F(EffectDraw, SmokeDrawsInTheBlendedPass) {
  ParticleEffect::Spawn({.at = {0, 0, 0}, .kind = kParticleSmoke});
  const auto p = DrawEffects();
  EXPECT_NE(gltest::Rgb(p, 320, 240), 0u);
  EXPECT_EQ(device->GetRenderState(port::gpu::RenderState::ZWriteEnable), 1u);
}

TEST_F(EffectDraw, ThunderRisesAlongItsTurnedAxis) {
  // Pitch -90 turns the beam's +z axis up; length 2 x scale.
  ThunderEffect::Spawn({.at = {0, 0, 0}, .scale = 2.0f, .pitch = -90.0f});
  const auto p = DrawEffects();
  int litAbove = 0, litBelow = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 300; x < 340; ++x) {
      if (gltest::Rgb(p, x, y) == 0) continue;
      if (y <= 240) {
        ++litAbove;
      } else if (y > 242) {
        ++litBelow;
      }
    }
  }
  EXPECT_GT(litAbove, 100);
  EXPECT_EQ(litBelow, 0) << "the beam starts at its position";
  EXPECT_EQ(device->GetRenderState(port::gpu::RenderState::CullMode), port::gpu::CullCCW);
}

TEST_F(EffectDraw, ShockWaveLiesFlatAndGrows) {
  g_camera.SetPitch(-60.0f);  // from above
  ShockWaveEffect* s = ShockWaveEffect::Spawn({.at = {0, 0, 0}});
  EXPECT_EQ(Lit(DrawEffects()), 0) << "size 0 at spawn";
  s->Update();
  const int small = Lit(DrawEffects());
  for (int i = 0; i < 3; ++i) s->Update();
  ClearTo(0xFF000000u);
  const int large = Lit(DrawEffects());
  EXPECT_GT(small, 0);
  EXPECT_GT(large, small * 4);
  EXPECT_EQ(device->GetRenderState(port::gpu::RenderState::CullMode), port::gpu::CullCCW);
}

TEST_F(EffectDraw, LineWithoutItsMeshDrawsNothing) {
  LineEffect::Spawn({.at = {0, 0, 0}, .speed = 0.1f});
  EXPECT_EQ(Lit(DrawEffects()), 0);
}

}  // namespace
