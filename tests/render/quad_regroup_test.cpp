// Quads gathered by their states across a pass of additive draws, and drawn
// one instanced draw per set of states, give the picture the same quads give
// drawn in the order asked: random quads and states on a bare device, a busy
// four-viewport battle frame and a sokai frame full of bursts. The gathering
// takes fewer draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "actors/BattlePlayer.h"
#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "app/Application.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "render/Camera.h"
#include "support/battle_fixture.h"
#include "support/gl_context.h"
#include "support/picture_diff.h"
#include "support/stage_scene_fixture.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"
#include "world/ShockWaveEffect.h"
#include "world/StageField.h"
#include "world/ThunderEffect.h"

namespace {

using namespace port::gpu;

using testsupport::Differences;

struct Drawn {
  std::vector<uint32_t> picture;
  uint64_t draws = 0;
};

// The frame drawn in the order asked, then gathered, then in order again (the
// frame must repeat itself for the comparison to mean anything). The draws of
// each way are returned, the ordered way first; every draw is sent, so the
// counts show the gathering alone.
std::pair<uint64_t, uint64_t> ExpectSameBothWays(Device& device,
                                                 const std::function<void()>& draw) {
  device.SetViewCulling(false);
  auto run = [&](bool regroup) {
    device.SetQuadRegrouping(regroup);
    const uint64_t before = device.DrawCalls();
    port::CrtSrand(99);  // thunder turns at random as it is drawn
    draw();
    Drawn d;
    d.picture = device.ReadBackBuffer();
    d.draws = device.DrawCalls() - before;
    return d;
  };
  const Drawn ordered = run(false);
  const Drawn gathered = run(true);
  EXPECT_EQ(Differences(ordered.picture, run(false).picture), "") << "the draw does not repeat";
  device.SetQuadRegrouping(true);
  device.SetViewCulling(true);
  EXPECT_EQ(Differences(ordered.picture, gathered.picture), "");
  int bright = 0;
  for (uint32_t p : ordered.picture) bright += (p & 0xFFFFFF) != 0;
  EXPECT_GT(bright, 1000) << "the frame draws something";
  return {ordered.draws, gathered.draws};
}

// ---- Random quads on a bare device ----

struct QuadVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

class QuadDevice : public gltest::DeviceTest {
 protected:
  void SetUp() override {
    gltest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    // Dim texels of every alpha, so sums stay mostly below saturation and
    // every rounding of a blended colour shows.
    uint32_t seed = 77;
    for (GpuTexture*& t : textures_) {
      t = dev().CreateTexture(8, 8, 1);
      std::vector<uint32_t> texels(64);
      for (uint32_t& texel : texels) {
        seed = seed * 1103515245u + 12345u;
        texel = (seed & 0xFF000000u) | ((seed >> 4) & 0x3F3F3Fu);
      }
      t->Update(0, texels.data());
    }
    quad_ = dev().CreateBuffer(sizeof(QuadVertex) * 8, false);
  }
  void TearDown() override {
    if (device_) {
      dev().SetTexture(0, nullptr);
      dev().SetStreamSource(nullptr, 0, 0);
    }
    for (GpuTexture* t : textures_) port::SafeRelease(t);
    port::SafeRelease(quad_);
    gltest::DeviceTest::TearDown();
  }
  // Two quads in the buffer: the second, from vertex 4, tinted.
  void Fill(uint32_t tint) {
    auto* q = static_cast<QuadVertex*>(quad_->Lock());
    for (int k = 0; k < 2; ++k) {
      const uint32_t c = k == 0 ? 0xFFFFFFFFu : tint;
      q[k * 4 + 0] = {-1, 1, 0, c, 1, 0};
      q[k * 4 + 1] = {1, 1, 0, c, 0, 0};
      q[k * 4 + 2] = {1, -1, 0, c, 0, 1};
      q[k * 4 + 3] = {-1, -1, 0, c, 1, 1};
    }
    quad_->Unlock();
  }

  using GpuTexture = port::gpu::Texture;
  GpuTexture* textures_[3] = {};
  Buffer* quad_ = nullptr;
};

// Overlapping quads of three textures, adding to the picture (the
// destination weighed by one) with depth writes off, among alpha-blended quads with and without
// depth writes, quads drawn from memory, a refill of the vertices, a depth-only clear, viewport
// changes and a read of the picture midway.
TEST_F(QuadDevice, AdditiveQuadsDrawTheSameGathered) {
  auto frame = [&](uint32_t seed) {
    port::CrtSrand(seed);
    auto rnd = [](int n) { return port::CrtRand() % n; };
    auto unit = [&] { return static_cast<float>(rnd(1000)) / 1000.0f; };
    std::vector<uint32_t> midway;
    Fill(0xFF6080A0u);
    dev().SetViewport({0, 0, 640, 480, 0.0f, 1.0f});
    dev().Clear(ClearTarget | ClearZBuffer, 0xFF102030u);
    dev().SetRenderState(RenderState::Lighting, 0);
    dev().SetRenderState(RenderState::CullMode, CullNone);
    dev().SetRenderState(RenderState::ZEnable, 1);
    dev().SetRenderState(RenderState::ZFunc, CmpLessEqual);
    dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
    dev().SetFVF(0x142);
    dev().SetStreamSource(quad_, 0, sizeof(QuadVertex));
    for (int i = 0; i < 600; ++i) {
      // Mostly added (one, one the most), some drawn from memory, now and
      // then alpha over what is there.
      const Blend added[] = {BlendOne,      BlendOne,         BlendOne,         BlendOne,
                             BlendSrcAlpha, BlendSrcAlpha,    BlendSrcColor,    BlendInvSrcAlpha,
                             BlendZero,     BlendInvSrcColor, BlendInvSrcColor, BlendOne};
      const int blend = rnd(40);
      const bool over = blend == 39, fromMemory = blend == 38;
      dev().SetRenderState(RenderState::SrcBlend, over ? BlendSrcAlpha : added[rnd(12)]);
      dev().SetRenderState(RenderState::DestBlend, over ? BlendInvSrcAlpha : BlendOne);
      // Alpha over what is there keeps its order with depth writes or without.
      dev().SetRenderState(RenderState::ZWriteEnable, over ? rnd(2) : 0);
      dev().SetRenderState(RenderState::AlphaTestEnable, i / 100 % 2);
      dev().SetRenderState(RenderState::AlphaFunc, CmpGreater);
      dev().SetRenderState(RenderState::AlphaRef, 0x40);
      dev().SetTexture(0, textures_[rnd(3)]);
      if (i % 150 == 149) {
        const uint32_t x = static_cast<uint32_t>(rnd(2)) * 320;
        dev().SetViewport({x, 0, 320, 480, 0.0f, 1.0f});
      }
      if (i == 200) Fill(0xC0FF4020u);
      if (i == 300) midway = dev().ReadBackBuffer();
      if (i == 400) dev().Clear(ClearZBuffer, 0);
      port::Matrix world = port::MatrixIdentity();
      world.m[0][0] = 0.1f + 0.3f * unit();
      world.m[1][1] = 0.1f + 0.3f * unit();
      world.m[1][0] = 0.2f * unit() - 0.1f;
      world.m[3][0] = 1.6f * unit() - 0.8f;
      world.m[3][1] = 1.6f * unit() - 0.8f;
      world.m[3][2] = unit();
      dev().SetTransform(TransformType::World, world);
      if (fromMemory) {
        QuadVertex up[4];
        std::memcpy(up, quad_->Data(), sizeof up);
        dev().DrawPrimitiveUP(TriangleFan, 2, up, sizeof(QuadVertex));
      } else {
        dev().DrawPrimitive(TriangleFan, rnd(2) * 4, 2);
      }
    }
    std::vector<uint32_t> last = dev().ReadBackBuffer();
    last.insert(last.end(), midway.begin(), midway.end());
    return last;
  };
  uint64_t ordered = 0, gathered = 0;
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    dev().SetQuadRegrouping(false);
    uint64_t before = dev().DrawCalls();
    const std::vector<uint32_t> strict = frame(seed);
    ordered += dev().DrawCalls() - before;
    dev().SetQuadRegrouping(true);
    before = dev().DrawCalls();
    EXPECT_EQ(Differences(strict, frame(seed)), "");
    gathered += dev().DrawCalls() - before;
    // Every quad drawn by itself, with the general program.
    dev().SetShaderVariants(false);
    EXPECT_EQ(Differences(strict, frame(seed)), "");
    dev().SetShaderVariants(true);
  }
  EXPECT_LT(gathered, ordered);
}

// A texture's texels and a vertex buffer's vertices replaced while quads that
// read them are held, a held texture released by its owner, and more sets of
// states than are held at once: the quads show what they were drawn with.
TEST_F(QuadDevice, HeldQuadsKeepWhatTheyRead) {
  auto frame = [&] {
    Fill(0xFFFFFFFFu);
    GpuTexture* own = dev().CreateTexture(8, 8, 1);
    std::vector<uint32_t> texels(64, 0xFF204060u);
    own->Update(0, texels.data());
    dev().Clear(ClearTarget | ClearZBuffer, 0xFF000000u);
    dev().SetRenderState(RenderState::Lighting, 0);
    dev().SetRenderState(RenderState::CullMode, CullNone);
    dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
    dev().SetRenderState(RenderState::SrcBlend, BlendOne);
    dev().SetRenderState(RenderState::DestBlend, BlendOne);
    dev().SetRenderState(RenderState::ZWriteEnable, 0);
    dev().SetFVF(0x142);
    dev().SetStreamSource(quad_, 0, sizeof(QuadVertex));
    for (int i = 0; i < 12; ++i) {
      dev().SetTexture(0, i % 2 ? own : textures_[0]);
      port::Matrix world = port::MatrixScaling(0.3f, 0.3f, 1.0f);
      world.m[3][0] = -0.8f + 0.12f * static_cast<float>(i);
      world.m[3][2] = 0.5f;
      dev().SetTransform(TransformType::World, world);
      dev().DrawPrimitive(TriangleFan, 0, 2);
      if (i == 4) {
        std::fill(texels.begin(), texels.end(), 0xFF600000u);
        own->Update(0, texels.data());
      }
      if (i == 8) Fill(0xFF00FF00u);
    }
    // More sets of states than are gathered at once: a viewport each.
    for (uint32_t i = 0; i < 100; ++i) {
      dev().SetViewport({i * 3, 0, 320, 480, 0.0f, 1.0f});
      dev().DrawPrimitive(TriangleFan, 0, 2);
    }
    dev().SetViewport({0, 0, 640, 480, 0.0f, 1.0f});
    dev().SetTexture(0, nullptr);
    own->Release();  // still held by the quads not yet drawn
    dev().SetRenderState(RenderState::ZWriteEnable, 1);
    return dev().ReadBackBuffer();
  };
  dev().SetQuadRegrouping(false);
  const std::vector<uint32_t> strict = frame();
  dev().SetQuadRegrouping(true);
  EXPECT_EQ(Differences(strict, frame()), "");
}

// ---- Busy frames of the game ----

// Every kind of particle, thunder and shock waves around a point.
void Burst(port::Vec3 at, int n) {
  const int32_t kinds[] = {kParticleGlow, kParticleGlowShrink, kParticleSpark, kParticleSparkShrink,
                           kParticleDust, kParticleDustSlow,   kParticleHit,   kParticleCharge,
                           kParticleStar, kParticleStarPulse,  kParticleSmoke};
  for (int i = 0; i < n; ++i) {
    const float pitch = static_cast<float>(RandomInt(180)) - 90.0f;
    const float yaw = static_cast<float>(RandomInt(360));
    const int32_t kind = kinds[i % (sizeof kinds / sizeof kinds[0])];
    ParticleEffect::Spawn({.at = at,
                           .scale = 0.5f + 0.1f * static_cast<float>(i % 5),
                           .pitch = pitch,
                           .yaw = yaw,
                           .speed = 0.05f + 0.01f * static_cast<float>(i % 7),
                           .kind = kind});
    if (i % 40 == 0) ThunderEffect::Spawn({.at = at, .scale = 2.0f, .pitch = pitch, .yaw = yaw});
    if (i % 40 == 20) ShockWaveEffect::Spawn({.at = {at.x, at.y - 0.8f, at.z}, .yaw = yaw});
  }
}

class BattleBusyFrame : public battletest::BattleFixture, public testing::WithParamInterface<int> {
 protected:
  BattleBusyFrame() { setup.method = GetParam(); }
};

// The four viewports, every character's shots in the air and bursts of every
// effect around every player.
TEST_P(BattleBusyFrame, DrawsTheSameGathered) {
  port::CrtSrand(41);
  PlaceAll();
  BattleStep(30);
  for (const BattlePlayer& p : players) {
    const float h = p.angle.y + 180.0f;
    const port::Vec3& x = p.position;
    Tama::Spawn({.at = x, .heading = h, .owner = p.id});
    Player1LargeTama1::Spawn({.at = x, .heading = h + 20, .owner = p.id, .battleMode = 1});
    Player2Tama::Spawn({.at = x, .heading = h + 20, .owner = p.id});
    Player3Tama::Spawn({.at = x, .heading = h - 20, .owner = p.id});
    Player3LargeTama2::Spawn({.at = {x.x + 2, 0.3f, x.z}, .heading = h, .owner = p.id});
    Player4LargeTama1::Spawn({.at = {x.x - 2, 1, x.z + 2}, .heading = h, .owner = p.id});
    Player4LargeTama3::Spawn({.at = {x.x - 3, 1, x.z}, .heading = h, .owner = p.id});
  }
  BattleStep(8);
  for (const BattlePlayer& p : players) Burst(p.position + port::Vec3{0.0f, 1.0f, 0.0f}, 80);
  BattleStep(2);
  DrawFrom(0);  // poses every player
  const auto [ordered, gathered] = ExpectSameBothWays(*device, [&] { DrawSplitScreen(); });
  EXPECT_LT(gathered * 3, ordered * 2) << gathered << " draws against " << ordered;
  EXPECT_GT(g_objects.CountAlive(), 0);
}
INSTANTIATE_TEST_SUITE_P(Methods, BattleBusyFrame, testing::Values(2, 3));

class SokaiBusyFrame : public stagescene::StageSceneTest {};

// The sokai crowd under fire, with bursts of every effect among it.
TEST_F(SokaiBusyFrame, DrawsTheSameGathered) {
  port::CrtSrand(5);
  StartFromTitle(kItemSokai);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  for (int i = 0; i < 240; ++i) {
    i % 20 < 10 ? Hold(stagescene::kZ) : Let(stagescene::kZ);
    if (i % 40 == 30) {
      Burst(g_player.position + port::Vec3{0.0f, 0.0f, 4.0f}, 48);
      g_characters.ForEach([&](Character* c) {
        if (c->alive && RandomInt(3) == 0) Burst(c->position, 24);
      });
    }
    Frames();
  }
  app.DrawStage();  // what a draw moves on after an update has moved
  const auto [ordered, gathered] = ExpectSameBothWays(*device, [&] { app.DrawStage(); });
  EXPECT_LT(gathered, ordered) << gathered << " draws against " << ordered;
}

}  // namespace
