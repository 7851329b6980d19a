// Draws whose vertices all lie outside one plane of the view volume are left
// out, and the picture stays the same to the bit: random meshes across the
// edges of the view, behind the eye and straddling its plane, through
// perspective and orthographic projections in a quarter of the screen or all
// of it; a four-viewport battle, the sokai crowd and a stage frame. Corrupt
// draws are still refused, and draws the test cannot judge are drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "actors/BattlePlayer.h"
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
#include "support/battle_fixture.h"
#include "support/gl_context.h"
#include "support/picture_diff.h"
#include "support/stage_scene_fixture.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using namespace port::gpu;

using testsupport::Differences;

struct Counted {
  std::vector<uint32_t> picture;
  uint64_t draws = 0, culled = 0;
};

// The frame drawn with every draw sent, then with the view test, then with
// every draw again (the frame must repeat itself for the comparison to mean
// anything). The view test must leave draws out, and send fewer.
void ExpectSameCulled(Device& device, const std::function<void()>& draw) {
  auto run = [&](bool cull) {
    device.SetViewCulling(cull);
    const uint64_t draws = device.DrawCalls(), culled = device.CulledDraws();
    port::CrtSrand(99);  // thunder turns at random as it is drawn
    draw();
    Counted c;
    c.picture = device.ReadBackBuffer();
    c.draws = device.DrawCalls() - draws;
    c.culled = device.CulledDraws() - culled;
    return c;
  };
  const Counted all = run(false);
  const Counted culled = run(true);
  EXPECT_EQ(Differences(all.picture, run(false).picture), "") << "the draw does not repeat";
  device.SetViewCulling(true);
  EXPECT_EQ(Differences(all.picture, culled.picture), "");
  EXPECT_EQ(all.culled, 0u);
  EXPECT_GT(culled.culled, 0u);
  EXPECT_LT(culled.draws, all.draws) << culled.culled << " left out";
  int bright = 0;
  for (uint32_t p : all.picture) bright += (p & 0xFFFFFF) != 0;
  EXPECT_GT(bright, 1000) << "the frame draws something";
}

// ---- Random meshes on a bare device ----

struct Vertex {
  float x, y, z;
  uint32_t colour;
};
constexpr uint32_t kFvf = fvf::XYZ | fvf::Diffuse;
constexpr int kMeshes = 6, kMeshVertices = 12, kMeshTriangles = 10;

port::Matrix Orthographic(float width, float height, float zn, float zf) {
  port::Matrix m;
  m.m[0][0] = 2.0f / width;
  m.m[1][1] = 2.0f / height;
  m.m[2][2] = 1.0f / (zf - zn);
  m.m[3][2] = -zn / (zf - zn);
  m.m[3][3] = 1.0f;
  return m;
}

class CullDevice : public gltest::DeviceTest {
 protected:
  void SetUp() override {
    gltest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    port::CrtSrand(1234);
    auto unit = [] { return static_cast<float>(port::CrtRand() % 2001) / 1000.0f - 1.0f; };
    // Blobs of vertices in the unit cube, each with triangles of its own
    // counted from its first vertex, so they are drawn with a base vertex.
    vertices_ = dev().CreateBuffer(sizeof(Vertex) * kMeshes * kMeshVertices, false);
    auto* v = static_cast<Vertex*>(vertices_->Lock());
    for (int i = 0; i < kMeshes * kMeshVertices; ++i)
      v[i] = {unit(), unit(), unit(), 0xFF000000u | (port::CrtRand() * 2654435761u & 0x7F7F7Fu)};
    vertices_->Unlock();
    indices_ = dev().CreateBuffer(2 * 3 * kMeshTriangles * kMeshes, true);
    auto* idx = static_cast<uint16_t*>(indices_->Lock());
    for (int i = 0; i < 3 * kMeshTriangles * kMeshes; ++i)
      idx[i] = static_cast<uint16_t>(2 + port::CrtRand() % (kMeshVertices - 2));
    indices_->Unlock();
  }
  void TearDown() override {
    if (device_) {
      dev().SetStreamSource(nullptr, 0, 0);
      dev().SetIndices(nullptr);
    }
    port::SafeRelease(vertices_);
    port::SafeRelease(indices_);
    gltest::DeviceTest::TearDown();
  }

  // A world matrix that puts the unit cube, scaled, near an edge of the
  // view volume (just inside or just outside it, or across it), behind the
  // eye or across its plane, as seen through the projection.
  port::Matrix Place(bool perspective) {
    auto unit = [] { return static_cast<float>(port::CrtRand() % 2001) / 1000.0f - 1.0f; };
    const float scale = 0.02f + 0.5f * std::fabs(unit()) * std::fabs(unit());
    float z;
    switch (port::CrtRand() % 6) {
      case 0:
        z = -3.0f * std::fabs(unit());  // behind the eye
        break;
      case 1:
        z = 0.3f * unit();  // across the eye's plane: w near 0
        break;
      case 2:
        z = 1.0f + 0.5f * unit();  // across the near plane
        break;
      case 3:
        z = 40.0f + 4.0f * unit();  // across the far plane
        break;
      default:
        z = 2.0f + 30.0f * std::fabs(unit());
        break;
    }
    // Half the view's width and height at that depth.
    const float reach = perspective ? std::fabs(z) * std::tan(0.5f) : 6.0f;
    float x = reach * 4.0f / 3.0f * unit(), y = reach * unit();
    const uint32_t edge = port::CrtRand() % 5;
    const float across = 1.0f + 0.4f * unit() * unit() * unit();
    if (edge == 0) x = reach * 4.0f / 3.0f * across;
    if (edge == 1) x = -reach * 4.0f / 3.0f * across;
    if (edge == 2) y = reach * across;
    if (edge == 3) y = -reach * across;
    port::Matrix world = port::MatrixMultiply(
        port::MatrixScaling(scale * (0.5f + std::fabs(unit())), scale, scale),
        port::MatrixRotationYawPitchRoll(3.0f * unit(), 3.0f * unit(), 3.0f * unit()));
    world.m[3][0] = x;
    world.m[3][1] = y;
    world.m[3][2] = z;
    return world;
  }

  // A frame of random draws of every kind through one projection.
  std::vector<uint32_t> Frame(uint32_t seed) {
    port::CrtSrand(seed);
    auto pick = [](uint32_t n) { return port::CrtRand() % n; };
    const bool perspective = seed % 3 != 0;
    port::Matrix projection = perspective
                                  ? port::MatrixPerspectiveFovLH(1.0f, 4.0f / 3.0f, 1.0f, 40.0f)
                                  : Orthographic(16.0f, 12.0f, -2.0f, 40.0f);
    if (seed % 4 == 1) projection.m[2][0] = 0.3f;  // skewed: x leans with depth
    dev().SetViewport({0, 0, 640, 480, 0.0f, 1.0f});
    dev().Clear(ClearTarget | ClearZBuffer, 0xFF000000u);
    dev().SetTransform(TransformType::View, port::MatrixIdentity());
    dev().SetTransform(TransformType::Projection, projection);
    dev().SetRenderState(RenderState::Lighting, 0);
    dev().SetRenderState(RenderState::CullMode, CullNone);
    dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
    dev().SetRenderState(RenderState::SrcBlend, BlendOne);
    dev().SetRenderState(RenderState::DestBlend, BlendOne);
    dev().SetRenderStateF(RenderState::PointSize, 9.0f);
    dev().SetTextureStageState(0, StageState::ColorOp, TexOpSelectArg2);
    dev().SetTextureStageState(0, StageState::ColorArg2, TexArgDiffuse);
    dev().SetFVF(kFvf);
    dev().SetStreamSource(vertices_, 0, sizeof(Vertex));
    dev().SetIndices(indices_);
    const Vertex* data = static_cast<const Vertex*>(vertices_->Data());
    for (int i = 0; i < 400; ++i) {
      if (i % 25 == 0) {
        // A quarter of the screen, or all of it: pixels past a quarter's
        // edge would land in the next.
        const uint32_t quarter = pick(5);
        dev().SetViewport(
            quarter == 4 ? Viewport{0, 0, 640, 480, 0.0f, 1.0f}
                         : Viewport{quarter % 2 * 320, quarter / 2 * 240, 320, 240, 0.0f, 1.0f});
        dev().SetRenderState(RenderState::ZWriteEnable, pick(2));
      }
      dev().SetTransform(TransformType::World, Place(perspective));
      const int mesh = static_cast<int>(pick(kMeshes));
      const uint32_t first = static_cast<uint32_t>(mesh * kMeshVertices);
      switch (pick(6)) {
        case 0:
        case 1:
          dev().DrawIndexedPrimitive(
              TriangleList, static_cast<int32_t>(first), 2, kMeshVertices - 2,
              static_cast<uint32_t>(mesh * 3 * kMeshTriangles), kMeshTriangles);
          break;
        case 2:
          dev().DrawPrimitive(TriangleStrip, first, kMeshVertices - 2);
          break;
        case 3:
          dev().DrawPrimitive(LineList, first, kMeshVertices / 2);
          break;
        case 4:
          dev().DrawPrimitiveUP(TriangleFan, kMeshVertices - 2, data + first, sizeof(Vertex));
          break;
        default:
          dev().DrawPrimitive(PointList, first, kMeshVertices);  // sprites reach past centres
          break;
      }
    }
    return dev().ReadBackBuffer();
  }

  Buffer* vertices_ = nullptr;
  Buffer* indices_ = nullptr;
};

TEST_F(CullDevice, RandomMeshesAcrossTheViewEdgesDrawTheSame) {
  uint64_t culled = 0, drawn = 0;
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    dev().SetViewCulling(false);
    const std::vector<uint32_t> all = Frame(seed);
    dev().SetViewCulling(true);
    const uint64_t before = dev().CulledDraws(), draws = dev().DrawCalls();
    EXPECT_EQ(Differences(all, Frame(seed)), "");
    culled += dev().CulledDraws() - before;
    drawn += dev().DrawCalls() - draws;
    // With quads gathered, and without: the same again.
    dev().SetQuadRegrouping(seed % 2 == 0);
    EXPECT_EQ(Differences(all, Frame(seed)), "");
    dev().SetQuadRegrouping(true);
  }
  // Draws near an edge fall on either side of it.
  EXPECT_GT(culled, 1000u);
  EXPECT_GT(drawn, 1000u);
}

// Draws outside the view that the test cannot judge are drawn: vertices not
// finite, a buffer locked for writing, points, blend weights. A draw whose
// indices reach past the vertices is refused as before, wherever it lies.
TEST_F(CullDevice, DrawsItCannotJudgeAreSentAndCorruptOnesRefused) {
  dev().SetTransform(TransformType::Projection,
                     port::MatrixPerspectiveFovLH(1.0f, 4.0f / 3.0f, 1.0f, 40.0f));
  dev().SetTransform(TransformType::World, port::MatrixTranslation(100.0f, 0.0f, 10.0f));
  dev().SetRenderState(RenderState::Lighting, 0);
  dev().SetFVF(kFvf);
  dev().SetStreamSource(vertices_, 0, sizeof(Vertex));
  dev().SetIndices(indices_);
  auto sent = [&](const std::function<void()>& draw) {
    const uint64_t draws = dev().DrawCalls(), culled = dev().CulledDraws();
    draw();
    dev().ReadBackBuffer();  // held draws are sent
    return std::pair<uint64_t, uint64_t>(dev().DrawCalls() - draws, dev().CulledDraws() - culled);
  };
  using Result = std::pair<uint64_t, uint64_t>;
  const auto indexed = [&] { dev().DrawIndexedPrimitive(TriangleList, 0, 0, 12, 0, 4); };
  EXPECT_EQ(sent(indexed), Result(0, 1)) << "far to the right";
  const uint64_t serial = dev().PictureSerial();
  EXPECT_EQ(sent(indexed), Result(0, 1)) << "again, from the box remembered";
  EXPECT_NE(dev().PictureSerial(), serial) << "left out counts as drawn for the serial";
  EXPECT_EQ(sent([&] { dev().DrawPrimitive(PointList, 0, 12); }), Result(1, 0));

  // Indices past the last vertex, or a base vertex before the first.
  const int32_t last = kMeshes * kMeshVertices - 1;
  EXPECT_EQ(sent([&] { dev().DrawIndexedPrimitive(TriangleList, last, 0, 12, 0, 4); }),
            Result(0, 0));
  EXPECT_EQ(sent([&] { dev().DrawIndexedPrimitive(TriangleList, -20, 0, 12, 0, 4); }),
            Result(0, 0));
  // A base vertex that puts only the least indices before the first vertex.
  EXPECT_EQ(sent([&] { dev().DrawIndexedPrimitive(TriangleList, -3, 0, 12, 0, 4); }), Result(0, 0));
  EXPECT_EQ(sent([&] { dev().DrawIndexedPrimitive(TriangleList, -2, 0, 12, 0, 4); }), Result(0, 1));

  // Locked: the bytes may no longer be what the context holds.
  vertices_->Lock();
  EXPECT_EQ(sent(indexed), Result(1, 0));
  vertices_->Unlock();
  EXPECT_EQ(sent(indexed), Result(0, 1));

  // A coordinate not finite.
  auto* v = static_cast<Vertex*>(vertices_->Lock());
  const float saved = v[5].y;
  v[5].y = std::numeric_limits<float>::quiet_NaN();
  vertices_->Unlock();
  EXPECT_EQ(sent(indexed), Result(1, 0));
  v = static_cast<Vertex*>(vertices_->Lock());
  v[5].y = saved;
  vertices_->Unlock();

  // Drawn from memory; blend weights.
  const Vertex* data = static_cast<const Vertex*>(vertices_->Data());
  EXPECT_EQ(sent([&] { dev().DrawPrimitiveUP(TriangleFan, 4, data, sizeof(Vertex)); }),
            Result(0, 1));
  dev().SetFVF(fvf::XYZB1);
  EXPECT_EQ(sent([&] { dev().DrawPrimitive(TriangleFan, 0, 4); }), Result(1, 0));
  dev().SetFVF(kFvf);
  dev().SetViewCulling(false);
  EXPECT_EQ(sent(indexed), Result(1, 0));
  dev().SetViewCulling(true);
}

// ---- Frames of the game ----

class BattleCulledFrame : public battletest::BattleFixture,
                          public testing::WithParamInterface<int> {
 protected:
  BattleCulledFrame() { setup.method = GetParam(); }
};

// The four viewports, every character's shots in the air and bursts around
// every player: each shot is drawn in every viewport, most outside it.
TEST_P(BattleCulledFrame, DrawsTheSameCulled) {
  port::CrtSrand(43);
  PlaceAll();
  BattleStep(30);
  for (const BattlePlayer& p : players) {
    const float h = p.angle.y + 180.0f;
    const port::Vec3& x = p.position;
    Tama::Spawn({.at = x, .heading = h, .owner = p.id});
    Player1LargeTama1::Spawn({.at = x, .heading = h + 20, .owner = p.id, .battleMode = 1});
    Player2Tama::Spawn({.at = x, .heading = h + 20, .owner = p.id});
    Player3Tama::Spawn({.at = x, .heading = h - 20, .owner = p.id});
    Player4LargeTama1::Spawn({.at = {x.x - 2, 1, x.z + 2}, .heading = h, .owner = p.id});
    for (int i = 0; i < 12; ++i)
      ParticleEffect::Spawn({.at = x + port::Vec3{0.0f, 1.0f, 0.0f},
                             .scale = 0.6f,
                             .pitch = static_cast<float>(RandomInt(180)) - 90.0f,
                             .yaw = static_cast<float>(RandomInt(360)),
                             .speed = 0.08f,
                             .kind = kParticleGlow});
  }
  BattleStep(12);
  DrawFrom(0);  // poses every player
  ExpectSameCulled(*device, [&] { DrawSplitScreen(); });
  // And with quads drawn in the order asked.
  device->SetQuadRegrouping(false);
  ExpectSameCulled(*device, [&] { DrawSplitScreen(); });
  device->SetQuadRegrouping(true);
  EXPECT_GT(g_objects.CountAlive(), 0);
}
INSTANTIATE_TEST_SUITE_P(Methods, BattleCulledFrame, testing::Values(2, 3));

class StageCulledFrame : public stagescene::StageSceneTest,
                         public testing::WithParamInterface<int> {};

// 0: stage 1 with shots in the air; 1: the sokai crowd under fire.
TEST_P(StageCulledFrame, DrawsTheSameCulled) {
  port::CrtSrand(6);
  StartFromTitle(GetParam() == 0 ? kItemStageMode : kItemSokai);
  ASSERT_GT(UntilPhase(kPhaseArea1), 0);
  for (int i = 0; i < 120; ++i) {
    i % 20 < 10 ? Hold(stagescene::kZ) : Let(stagescene::kZ);
    Frames();
  }
  app.DrawStage();  // what a draw moves on after an update has moved
  ExpectSameCulled(*device, [&] { app.DrawStage(); });
}
INSTANTIATE_TEST_SUITE_P(Kinds, StageCulledFrame, testing::Values(0, 1));

}  // namespace
