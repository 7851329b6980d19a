// The round mesh drawn after the ground, only where the depth is still the
// cleared far end, gives the picture, the depth and the states of drawing it
// first: stage 1 and the sokai crowd through the scene, the four-viewport
// battle with and without toon shading, every draw mode from cameras looking
// down, up and along the floor. A ground that may not cover what is under it
// (partly clear texels, a material alpha below one) or a missing mesh keeps
// the round mesh first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "actors/Player2Shots.h"
#include "actors/PlayerTamas.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "port/random.h"
#include "render/Camera.h"
#include "support/battle_fixture.h"
#include "support/image_encoders.h"
#include "support/picture_diff.h"
#include "support/stage_fixture.h"
#include "support/stage_scene_fixture.h"
#include "support/temp_dir.h"
#include "world/StageField.h"

namespace {

using namespace port::gpu;
using port::Argb;
using port::Matrix;

constexpr Argb kProbeColour = 0xFF123456u;

using testsupport::Differences;

// Puts the field's order back as it was.
class ScopedOrder {
 public:
  ScopedOrder() : saved_(g_stageField.GetRoundAfterGround()) {}
  ~ScopedOrder() { g_stageField.SetRoundAfterGround(saved_); }

 private:
  bool saved_;
};

// The frame drawn with the round mesh first, then after the ground, then
// first again (the frame must repeat itself for the comparison to mean
// anything).
void ExpectSameBothOrders(Device& device, const std::function<void()>& draw) {
  ScopedOrder order;
  auto run = [&](bool last) {
    g_stageField.SetRoundAfterGround(last);
    port::CrtSrand(99);
    draw();
    return device.ReadBackBuffer();
  };
  const std::vector<uint32_t> first = run(false);
  const std::vector<uint32_t> last = run(true);
  EXPECT_EQ(Differences(first, run(false)), "") << "the draw does not repeat";
  EXPECT_EQ(Differences(first, last), "");
}

// Whether the field, drawn now with the device's states, puts the round mesh
// after the ground. Over a depth cleared to the near end the ground draws
// nothing, and neither does a round mesh drawn after it; drawn first, without
// depth test, it shows. Looks along the floor, where the round mesh is.
bool RoundGoesLast(Device& device) {
  const Matrix view = device.GetTransform(TransformType::View);
  const Viewport viewport = device.GetViewport();
  device.SetViewport({0, 0, 640, 480, 0.0f, 1.0f});
  device.SetTransform(TransformType::View,
                      port::MatrixLookAtLH({0, 3, 0}, {0, 3, 10}, {0.0f, 1.0f, 0.0f}));
  device.Clear(ClearTarget | ClearZBuffer, kProbeColour, 0.0f);
  g_stageField.Draw({}, {}, {});
  const std::vector<uint32_t> picture = device.ReadBackBuffer();
  device.SetTransform(TransformType::View, view);
  device.SetViewport(viewport);
  return std::all_of(picture.begin(), picture.end(), [](uint32_t p) { return p == kProbeColour; });
}

// ---- The scenes ----

class StageFrameOrder : public stagescene::StageSceneTest,
                        public testing::WithParamInterface<int> {};

// 0, 1: stage 1 without and with toon shading; 2, 3: the sokai crowd likewise.
TEST_P(StageFrameOrder, DrawsTheSameWithTheRoundLast) {
  ASSERT_NO_FATAL_FAILURE(FireInFirstArea(GetParam(), 90));
  ExpectSameBothOrders(*device, [&] { app.DrawStage(); });
  EXPECT_TRUE(RoundGoesLast(*device));
}
INSTANTIATE_TEST_SUITE_P(Kinds, StageFrameOrder, testing::Values(0, 1, 2, 3));

class BattleFrameOrder : public battletest::BattleFixture, public testing::WithParamInterface<int> {
 protected:
  BattleFrameOrder() { setup.method = GetParam(); }
};

// The four players' viewports, shots flying through them.
TEST_P(BattleFrameOrder, DrawsTheSameWithTheRoundLast) {
  port::CrtSrand(11);
  PlaceAll();
  BattleStep(30);
  for (const BattlePlayer& p : players) {
    Tama::Spawn({.at = p.position, .heading = p.angle.y + 180.0f, .owner = p.id});
    Player2Tama::Spawn({.at = p.position, .heading = p.angle.y + 200.0f, .owner = p.id});
  }
  BattleStep(10);
  DrawFrom(0);  // poses every player
  ExpectSameBothOrders(*device, [&] { DrawSplitScreen(); });
  EXPECT_TRUE(RoundGoesLast(*device));
}
INSTANTIATE_TEST_SUITE_P(Methods, BattleFrameOrder, testing::Values(2, 3));

// ---- Draw modes, cameras and grounds ----

// Every state the field sets or could leave changed.
struct States {
  uint32_t rs[static_cast<int>(RenderState::Count)];
  uint32_t ss[static_cast<int>(SamplerState::Count)];
  Viewport viewport;
  Matrix world;
};

States Snapshot(const Device& device) {
  States s{};
  for (int i = 0; i < static_cast<int>(RenderState::Count); ++i)
    s.rs[i] = device.GetRenderState(static_cast<RenderState>(i));
  for (int i = 0; i < static_cast<int>(SamplerState::Count); ++i)
    s.ss[i] = device.GetSamplerState(0, static_cast<SamplerState>(i));
  s.viewport = device.GetViewport();
  s.world = device.GetTransform(TransformType::World);
  return s;
}

void ExpectSameStates(const States& a, const States& b) {
  for (int i = 0; i < static_cast<int>(RenderState::Count); ++i)
    EXPECT_EQ(a.rs[i], b.rs[i]) << "render state " << i;
  for (int i = 0; i < static_cast<int>(SamplerState::Count); ++i)
    EXPECT_EQ(a.ss[i], b.ss[i]) << "sampler state " << i;
  EXPECT_EQ(std::memcmp(&a.viewport, &b.viewport, sizeof a.viewport), 0);
  EXPECT_TRUE(a.world == b.world);
}

struct CameraPose {
  port::Vec3 eye;
  float yaw, pitch;  // degrees
};
constexpr CameraPose kPoses[] = {
    {{0, 3, -20}, 0, 10},      // along the floor
    {{0, 60, -30}, 20, 70},    // from high up, looking down
    {{5, 20, 0}, 135, 89},     // straight down
    {{-30, 2, 30}, 120, -40},  // from a corner, looking up
    {{0, 1.5f, 0}, 250, -85},  // straight up
    {{0, 8, -90}, 0, 5},       // from outside the walls
};

class FieldOrder : public stagetest::StageFixture {
 protected:
  // The picture and depth-test outcome of the stage frame, and the states the
  // field leaves, drawn both ways from every pose in every draw mode.
  void ExpectSameEverywhere() {
    ScopedOrder order;
    g_camera.SetMode(Camera::kLookOut);
    for (int32_t mode : {1, 2, 3, 4, 5, 10}) {
      g_stageField.SetDrawMode(mode);
      for (const CameraPose& pose : kPoses) {
        SCOPED_TRACE("mode " + std::to_string(mode) + ", pitch " + std::to_string(pose.pitch));
        g_camera.SetPosition(pose.eye.x, pose.eye.y, pose.eye.z);
        g_camera.SetYaw(pose.yaw);
        g_camera.SetPitch(pose.pitch);
        g_stageField.SetRoundAfterGround(false);
        const std::vector<uint32_t> first = DrawFrame();
        const States before = Snapshot(*device);
        g_stageField.Draw({}, {}, {});
        const States afterFirst = Snapshot(*device);
        g_stageField.SetRoundAfterGround(true);
        EXPECT_EQ(Differences(first, DrawFrame()), "");
        ExpectSameStates(before, Snapshot(*device));
        g_stageField.Draw({}, {}, {});
        ExpectSameStates(afterFirst, Snapshot(*device));
        // The depth the field leaves, the far end where the round mesh shows.
        const std::vector<uint32_t> depth = DepthAfterField(false);
        const auto sky = std::count(depth.begin(), depth.end(), 0xFFFFFFFFu);
        ++(sky == 0 ? posesWithoutSky : posesWithSky);
        EXPECT_EQ(Differences(depth, DepthAfterField(true)), "");
        EXPECT_TRUE(RoundGoesLast(*device));
      }
    }
    EXPECT_GT(posesWithoutSky, 0);
    EXPECT_GT(posesWithSky, 0);
  }
  int posesWithoutSky = 0, posesWithSky = 0;

  // The field alone, then its depth read as contours: over a black picture,
  // quads over the whole viewport at 24 depths up to the far end, each adding
  // its own bit where it passes the depth test.
  std::vector<uint32_t> DepthAfterField(bool roundLast) {
    g_stageField.SetRoundAfterGround(roundLast);
    device->Clear(ClearTarget | ClearZBuffer, kProbeColour, 1.0f);
    g_camera.Apply();
    g_stageField.Draw({}, {}, {});
    const States saved = Snapshot(*device);
    const RenderState changed[] = {RenderState::Lighting,     RenderState::AlphaBlendEnable,
                                   RenderState::SrcBlend,     RenderState::DestBlend,
                                   RenderState::ZWriteEnable, RenderState::CullMode};
    device->Clear(ClearTarget, 0xFF000000u, 1.0f);
    for (TransformType t : {TransformType::World, TransformType::View, TransformType::Projection})
      device->SetTransform(t, port::MatrixIdentity());
    port::gpu::Texture* texture = device->GetTexture(0);
    if (texture) texture->AddRef();
    device->SetTexture(0, nullptr);
    device->SetRenderState(RenderState::Lighting, 0);
    device->SetRenderState(RenderState::AlphaBlendEnable, 1);
    device->SetRenderState(RenderState::SrcBlend, BlendOne);
    device->SetRenderState(RenderState::DestBlend, BlendOne);
    device->SetRenderState(RenderState::ZWriteEnable, 0);
    device->SetRenderState(RenderState::CullMode, CullNone);
    device->SetFVF(fvf::XYZ | fvf::Diffuse);
    struct Vertex {
      float x, y, z;
      uint32_t colour;
    };
    for (int k = 0; k < 24; ++k) {
      const float z = 1.0f - std::ldexp(1.0f, -k - 1);  // up to 1 - 2^-24
      const uint32_t bit = 0xFF000000u | (1u << k);
      const Vertex quad[4] = {{-1, -1, z, bit}, {1, -1, z, bit}, {1, 1, z, bit}, {-1, 1, z, bit}};
      device->DrawPrimitiveUP(TriangleFan, 2, quad, sizeof(Vertex));
    }
    for (RenderState state : changed)
      device->SetRenderState(state, saved.rs[static_cast<int>(state)]);
    device->SetTexture(0, texture);
    port::SafeRelease(texture);
    g_camera.Apply();
    device->SetTransform(TransformType::World, saved.world);
    return device->ReadBackBuffer();
  }

  // The ground file with its floor texture and floor material replaced.
  std::string GroundWith(const std::string& texture, const std::string& diffuseAlpha) {
    std::ifstream in(std::string(POMELVANE_RUN_DIR) + "/" + stagetest::kStage1Field.ground);
    std::stringstream text;
    text << in.rdbuf();
    std::string x = text.str();
    const std::string floor = "\"Xfile/stage1/stage1_ground.png\"";
    const size_t at = x.find(floor);
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos) return {};
    x.replace(at, floor.size(), "\"" + texture + "\"");
    const std::string white = "1.000000;1.000000;1.000000;1.000000;;";
    const size_t material = x.rfind(white, at);
    x.replace(material, white.size(), "1.000000;1.000000;1.000000;" + diffuseAlpha + ";;");
    return dir_.Write("ground.x", x);
  }

  // A 16 by 16 texture: every fourth texel of the alpha given, the rest opaque.
  std::string FloorTexture(const std::string& name, uint8_t alpha) {
    testimg::PngLayout png(16, 16, PNG_COLOR_TYPE_RGBA, 8);
    for (uint32_t y = 0; y < 16; ++y) {
      std::vector<uint8_t> row;
      for (uint32_t x = 0; x < 16; ++x) {
        const uint8_t a = (x + y) % 4 == 0 ? alpha : 255;
        row.insert(row.end(), {static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 16), 90, a});
      }
      png.rows.push_back(row);
    }
    const std::vector<uint8_t> bytes = testimg::EncodePng(png);
    return dir_.Write(name,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

  testsupport::TempDir dir_;
};

TEST_F(FieldOrder, EveryModeAndCameraDrawsTheSameWithTheRoundLast) { ExpectSameEverywhere(); }

// Partly clear texels blend with the round mesh under them where the alpha
// test keeps them, and so do the filtered edges of cut-outs and a lit floor
// material whose alpha is below one: the round mesh goes first. With blending
// off, or with wholly opaque texels, it may go last.
TEST_F(FieldOrder, AGroundThatMayNotCoverKeepsTheRoundFirst) {
  struct Case {
    uint8_t texelAlpha;
    const char* materialAlpha;
    int32_t drawMode;
    uint32_t blend;
    bool roundLast;
  };
  const Case cases[] =
      {
          {255, "1.000000", 1, 1, true}, {200, "1.000000", 1, 1, false},
          {0, "1.000000", 1, 1, false},  {255, "0.500000", 2, 1, false},
          {255, "0.500000", 1, 1, true},  // unlit: the material's alpha is not read
          {200, "1.000000", 1, 0, true}, {0, "0.500000", 2, 0, true},
      };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    const std::string texture = FloorTexture("floor" + std::to_string(n++) + ".png", c.texelAlpha);
    g_stageField.LoadGround(GroundWith(texture, c.materialAlpha).c_str());
    ASSERT_NE(g_stageField.Ground().GetMesh(), nullptr);
    g_stageField.SetDrawMode(c.drawMode);
    g_camera.SetMode(Camera::kLookOut);
    g_camera.SetPosition(0, 20, -30);
    g_camera.SetPitch(30);
    ExpectSameBothOrders(*device, [&] {
      device->SetRenderState(RenderState::AlphaBlendEnable, c.blend);
      DrawFrame();
    });
    device->SetRenderState(RenderState::AlphaBlendEnable, c.blend);
    EXPECT_EQ(RoundGoesLast(*device), c.roundLast);
  }
  device->SetRenderState(RenderState::AlphaBlendEnable, 1);
}

// A round mesh that reaches nearer than the ground (here the ground itself,
// drawn unlit) still shows only where the ground left the far end.
TEST_F(FieldOrder, TheRoundMeshStaysBehindAGroundFartherThanIt) {
  g_stageField.LoadRound(stagetest::kStage1Field.ground);
  g_stageField.SetDrawMode(2);
  g_camera.SetMode(Camera::kLookOut);
  for (const CameraPose& pose : kPoses) {
    g_camera.SetPosition(pose.eye.x, pose.eye.y, pose.eye.z);
    g_camera.SetYaw(pose.yaw);
    g_camera.SetPitch(pose.pitch);
    ExpectSameBothOrders(*device, [&] { DrawFrame(); });
  }
  EXPECT_TRUE(RoundGoesLast(*device));
}

// Without a round mesh, or without a ground, the field draws as it always did.
TEST_F(FieldOrder, AMissingMeshKeepsTheOrder) {
  g_stageField.LoadRound("Xfile/no_such_stage/none.X");
  ExpectSameBothOrders(*device, [&] { DrawFrame(); });
  g_stageField.LoadRound(stagetest::kStage1Field.round);
  g_stageField.LoadGround("Xfile/no_such_stage/none.X");
  ExpectSameBothOrders(*device, [&] { DrawFrame(); });
  EXPECT_FALSE(RoundGoesLast(*device));
}

}  // namespace
