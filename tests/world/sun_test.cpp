// The sun: where each scene puts it, the light it sets, and the spinning
// mesh it draws (read back from the offscreen device).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/MathHelpers.h"
#include "support/gl_context.h"
#include "world/Sun.h"

namespace {

using gltest::Channel;
using gltest::Rgb;

port::Vec3 Unit(const port::Vec3& v) { return port::Vec3Normalize(v); }

// Where the scenes put the sun, and where that is.
struct Place {
  const char* scenes;
  float pitch, yaw, distance;
  port::Vec3 at;
};
const Place kPlaces[] = {
    {"stages 1 and 3, introduction, battle", 70.0f, 90.0f, 100.0f, {93.969f, 34.202f, 0.0f}},
    {"stage 2", 60.0f, -70.0f, 150.0f, {-122.07f, 75.0f, 44.43f}},
    {"sokai stage", 70.0f, 180.0f, 100.0f, {0.0f, 34.202f, -93.969f}},
};

TEST(Sun, StartsAt45DegreesTenAwayAndSetsNoDeviceUntilInit) {
  Sun sun;
  EXPECT_EQ(sun.distance, 10.0f);
  EXPECT_EQ(sun.yaw, 90.0f);
  EXPECT_EQ(sun.pitch, 45.0f);
  EXPECT_EQ(sun.position, port::Vec3{});
  EXPECT_EQ(sun.device, nullptr);
  EXPECT_EQ(sun.mesh.GetMesh(), nullptr);
  sun.Draw();  // nothing to draw with
}

// Each scene's place: the sun stands there, and its light shines from there
// toward the origin, as a unit vector with 0 as its fourth component.
TEST(Sun, EachScenesPlaceGivesTheLightFromThereTowardTheOrigin) {
  for (const Place& p : kPlaces) {
    SCOPED_TRACE(p.scenes);
    Sun sun;
    sun.SetPosition(p.pitch, p.yaw, p.distance);
    EXPECT_NEAR(sun.position.x, p.at.x, 0.01f);
    EXPECT_NEAR(sun.position.y, p.at.y, 0.01f);
    EXPECT_NEAR(sun.position.z, p.at.z, 0.01f);
    const port::Vec4 d = sun.GetLightDirection();
    const port::Vec3 want = Unit(-p.at);
    EXPECT_NEAR(d.x, want.x, 1e-4f);
    EXPECT_NEAR(d.y, want.y, 1e-4f);
    EXPECT_NEAR(d.z, want.z, 1e-4f);
    EXPECT_EQ(d.w, 0.0f);
    EXPECT_LT(d.y, 0.0f);  // always from above
    EXPECT_NEAR(sun.light.direction.x, want.x, 1e-4f);
    EXPECT_NEAR(sun.light.direction.z, want.z, 1e-4f);
  }
  // The sokai stage's light shines toward +z and down.
  Sun sokai;
  sokai.SetPosition(70.0f, 180.0f, 100.0f);
  EXPECT_GT(sokai.GetLightDirection().z, 0.9f);
}

class SunOnDevice : public gltest::GameDeviceTest {
 protected:
  void SetUp() override {
    GameDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    EnterFolder(POMELVANE_RUN_DIR);
    g_graphics.SetDefaultStates();
  }
  void TearDown() override {
    sun.mesh.Release();
    GameDeviceTest::TearDown();
  }
  // Looks from the origin at the sun, clears to blue and draws it.
  std::vector<uint32_t> LookAtTheSun(uint32_t ms) {
    ClearTo(0xFF0000FFu);
    device->SetTransform(port::gpu::TransformType::View,
                         port::MatrixLookAtLH({0, 0, 0}, sun.position, {0, 1, 0}));
    device->SetTransform(port::gpu::TransformType::Projection,
                         port::MatrixPerspectiveFovLH(0.8f, 640.0f / 480.0f, 1.0f, 1000.0f));
    clockMs = ms;
    sun.clock = [] { return clockMs; };
    // As the stage draw leaves it after the field.
    device->SetRenderState(port::gpu::RenderState::Lighting, 0);
    sun.Draw();
    return Picture();
  }

  Sun sun;
  static inline uint32_t clockMs = 0;
};

TEST_F(SunOnDevice, InitSetsAWhiteLightInSlotZeroAndLoadsTheMeshOnlyWhenAsked) {
  sun.Init(device, 1);
  port::gpu::Light light;
  ASSERT_TRUE(device->GetLight(0, &light));
  EXPECT_EQ(light.type, port::gpu::LightDirectional);
  EXPECT_EQ(light.diffuse, (port::ColorValue{1, 1, 1, 1}));
  EXPECT_EQ(light.specular, (port::ColorValue{0, 0, 0, 1}));
  EXPECT_EQ(light.ambient, (port::ColorValue{1, 1, 1, 1}));
  const port::Vec3 fromDefault = Unit(-sun.position);
  EXPECT_NEAR(light.direction.x, fromDefault.x, 1e-5f);
  EXPECT_NEAR(light.direction.y, fromDefault.y, 1e-5f);
  ASSERT_NE(sun.mesh.GetMesh(), nullptr);
  port::Mesh* mesh = sun.mesh.GetMesh();

  // A later scene with the mesh keeps the one loaded; a new place reaches
  // the device at once.
  sun.Init(device, 1);
  EXPECT_EQ(sun.mesh.GetMesh(), mesh);
  sun.SetPosition(60.0f, -70.0f, 150.0f);
  ASSERT_TRUE(device->GetLight(0, &light));
  EXPECT_NEAR(light.direction.x, sun.GetLightDirection().x, 1e-5f);

  // The sokai stage asks for none: released, and nothing is drawn.
  sun.Init(device, 0);
  EXPECT_EQ(sun.mesh.GetMesh(), nullptr);
  const std::vector<uint32_t> sky = LookAtTheSun(0);
  EXPECT_EQ(gltest::CountNot(sky, 0xFF0000FFu), 0u);
}

TEST_F(SunOnDevice, TheMeshShowsWhereTheSunStandsAndSpins200DegreesASecond) {
  sun.Init(device, 1);
  sun.SetPosition(70.0f, 90.0f, 100.0f);
  const port::Vec3 place = sun.position;
  const std::vector<uint32_t> still = LookAtTheSun(0);
  // The middle of the picture is the sun, glowing yellow.
  const uint32_t middle = Rgb(still, 320, 240);
  EXPECT_GT(Channel(middle, 16), 150);
  EXPECT_GT(Channel(middle, 8), 100);
  EXPECT_LT(Channel(middle, 0), Channel(middle, 8));  // yellow, not white
  EXPECT_GT(gltest::CountNot(still, 0xFF0000FFu), 2000u);
  // Drawing changes nothing of the sun.
  EXPECT_EQ(sun.position, place);

  // Its rays turn with the clock: 900 ms is 180 degrees, 1800 ms a full turn
  // (the eight rays look alike every 45 degrees, so take a part of that).
  const std::vector<uint32_t> turned = LookAtTheSun(100);  // 20 degrees
  EXPECT_NE(still, turned);
  const port::Matrix a = sun.WorldAt(0), b = sun.WorldAt(1800);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a(r, c), b(r, c), 1e-3f);
  }
  // Whole degrees only: 5 ms make one.
  EXPECT_EQ(sun.WorldAt(1000), sun.WorldAt(1004));
  EXPECT_FALSE(sun.WorldAt(1000) == sun.WorldAt(1005));
}

}  // namespace
