// Work the device and the effects spare themselves draws the picture it
// would have drawn: an FVF set again keeps its layout until another is set;
// effect values set again unchanged are not sent again, a change still
// reaching the next draw; a frame of every scene kind draws the same with
// the state filter on and off.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "actors/BattlePlayer.h"
#include "actors/Player1Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "app/Application.h"
#include "app/MenuItem.h"
#include "app/StagePhase.h"
#include "port/effect.h"
#include "port/random.h"
#include "support/battle_fixture.h"
#include "support/gl_context.h"
#include "support/picture_diff.h"
#include "support/stage_scene_fixture.h"
#include "world/ObjectList.h"

namespace {

using namespace port::gpu;

using testsupport::Differences;

// Everything sent as asked (state filter off), then spared,
// then as asked again (the draw must repeat itself for the comparison to
// mean anything).
void ExpectSameSpared(Device& device, const std::function<void()>& draw) {
  auto run = [&](bool spare) {
    device.SetStateFilter(spare);
    draw();
    return device.ReadBackBuffer();
  };
  const std::vector<uint32_t> asked = run(false);
  const std::vector<uint32_t> spared = run(true);
  ASSERT_EQ(Differences(asked, run(false)), "") << "the draw does not repeat";
  device.SetStateFilter(true);
  EXPECT_EQ(Differences(asked, spared), "");
  int bright = 0;
  for (uint32_t p : asked) bright += (p & 0xFFFFFF) != 0;
  EXPECT_GT(bright, 1000) << "the frame draws something";
}

// ---- Layouts ----

class KeptLayouts : public gltest::DeviceTest {};

// An FVF set again keeps its layout; a layout set in between, or another
// FVF, is seen, and the first FVF set after it brings its own layout back.
TEST_F(KeptLayouts, AnFvfSetAgainAfterALayoutBringsItsOwnBack) {
  const uint32_t a = fvf::XYZ | fvf::Diffuse | fvf::Tex1, b = fvf::XYZ | fvf::Normal;
  auto same = [](const VertexLayout& x, const VertexLayout& y) {
    if (x.stride != y.stride || x.elements.size() != y.elements.size()) return false;
    for (size_t i = 0; i < x.elements.size(); ++i)
      if (x.elements[i].offset != y.elements[i].offset ||
          x.elements[i].type != y.elements[i].type || x.elements[i].usage != y.elements[i].usage)
        return false;
    return true;
  };
  dev().SetFVF(a);
  dev().SetFVF(a);
  EXPECT_TRUE(same(dev().GetVertexLayout(), LayoutFromFvf(a)));
  dev().SetVertexLayout(LayoutFromFvf(b));
  EXPECT_TRUE(same(dev().GetVertexLayout(), LayoutFromFvf(b)));
  dev().SetFVF(a);
  EXPECT_TRUE(same(dev().GetVertexLayout(), LayoutFromFvf(a)));
  dev().SetFVF(b);
  EXPECT_TRUE(same(dev().GetVertexLayout(), LayoutFromFvf(b)));
  dev().SetFVF(0);
  EXPECT_TRUE(dev().GetVertexLayout().elements.empty());
  dev().SetFVF(a);
  EXPECT_TRUE(same(dev().GetVertexLayout(), LayoutFromFvf(a)));
}

// ---- Effect values ----

const char* const kTintEffect = R"(
param float4 vCol;
param float4x4 mPlace[2];
param int Which;
vertex VS %{
void main() { gl_Position = ToDeviceClip(mPlace[clamp(Which, 0, 1)] * vec4(inPosition.xyz, 1.0)); }
%}
fragment FS %{
void main() { FragColor = vCol; }
%}
technique T {
  pass { CullMode = None; ZEnable = false; AlphaBlendEnable = false; VertexShader = VS; FragmentShader = FS; }
}
)";

class EffectValues : public gltest::DeviceTest {};

// Values set again unchanged, then changed: every draw shows what was set
// last, with the state filter on and off.
TEST_F(EffectValues, AChangeReachesTheNextDrawAndARepeatChangesNothing) {
  port::Effect* fx = nullptr;
  std::string errors;
  ASSERT_EQ(port::Effect::CreateFromText(device_.get(), kTintEffect, &fx, &errors), port::kOk)
      << errors;
  const port::EffectHandle colour = fx->GetParameterByName("vCol");
  const port::EffectHandle place = fx->GetParameterByName("mPlace");
  const port::EffectHandle which = fx->GetParameterByName("Which");
  const float tri[9] = {-0.5f, -0.5f, 0.5f, 0.5f, -0.5f, 0.5f, 0.0f, 0.5f, 0.5f};
  // The triangle as it is, or moved into the screen's left half.
  port::Matrix places[2] = {port::MatrixIdentity(), port::MatrixIdentity()};
  places[1].m[3][0] = -0.45f;
  // The pixel at the centre and one left of it.
  auto draw = [&] {
    dev().Clear(ClearTarget, 0xFF000000u);
    uint32_t passes = 0;
    fx->Begin(&passes, 0);
    fx->Pass(0);
    dev().SetFVF(fvf::XYZ);
    dev().DrawPrimitiveUP(TriangleList, 1, tri, 12);
    fx->End();
    const std::vector<uint32_t> p = dev().ReadBackBuffer();
    return std::pair<uint32_t, uint32_t>{p[240 * 640 + 320] & 0xFFFFFF,
                                         p[240 * 640 + 180] & 0xFFFFFF};
  };
  for (bool filter : {true, false}) {
    SCOPED_TRACE(filter ? "filtered" : "every value sent");
    dev().SetStateFilter(filter);
    fx->SetMatrixArray(place, places, 2);
    fx->SetInt(which, 0);
    fx->SetVector(colour, {1, 0, 0, 1});
    EXPECT_EQ(draw(), std::make_pair(0xFF0000u, 0u));
    fx->SetVector(colour, {1, 0, 0, 1});
    fx->SetMatrixArray(place, places, 2);
    fx->SetInt(which, 0);
    EXPECT_EQ(draw(), std::make_pair(0xFF0000u, 0u));
    fx->SetVector(colour, {0, 1, 0, 1});
    EXPECT_EQ(draw(), std::make_pair(0x00FF00u, 0u));
    fx->SetInt(which, 1);
    EXPECT_EQ(draw(), std::make_pair(0u, 0x00FF00u));
    places[1].m[3][0] = 0.0f;  // the second place moved back, the same count set
    fx->SetMatrixArray(place, places, 2);
    EXPECT_EQ(draw(), std::make_pair(0x00FF00u, 0u));
    places[1].m[3][0] = -0.45f;
  }
  dev().SetStateFilter(true);
  fx->Release();
}

// ---- A frame of each kind of scene ----

class StageSpared : public stagescene::StageSceneTest, public testing::WithParamInterface<int> {};

// 0, 1: stage 1 without and with toon shading; 2, 3: the sokai crowd likewise.
TEST_P(StageSpared, DrawsTheSame) {
  ASSERT_NO_FATAL_FAILURE(FireInFirstArea(GetParam(), 120));
  ExpectSameSpared(*device, [&] { app.DrawStage(); });
}
INSTANTIATE_TEST_SUITE_P(Kinds, StageSpared, testing::Values(0, 1, 2, 3));

class BattleSpared : public battletest::BattleFixture, public testing::WithParamInterface<int> {
 protected:
  BattleSpared() { setup.method = GetParam(); }
};

// The four players' viewports, shots flying: fixed function (2) and toon (3).
TEST_P(BattleSpared, DrawsTheSame) {
  port::CrtSrand(11);
  PlaceAll();
  BattleStep(30);
  FireEachCharactersShots();
  BattleStep(20);
  DrawFrom(0);  // poses every player
  ExpectSameSpared(*device, [&] { DrawSplitScreen(); });
  EXPECT_GT(g_objects.CountAlive(), 0);
}
INSTANTIATE_TEST_SUITE_P(Methods, BattleSpared, testing::Values(2, 3));

}  // namespace
