#include <gtest/gtest.h>

#include <string>

#include "support/gl_context.h"
#include "support/recording_device.h"
#include "support/temp_dir.h"
#include "world/StageField.h"

namespace {

// A floor at y = 0 (wound to face up) and a wall at z = 5 (wound to face -z).
const char kFieldX[] =
    "xof 0303txt 0032\n"
    "Mesh field {\n"
    " 8;\n"
    " -10.0;0.0;-10.0;, -10.0;0.0;10.0;, 10.0;0.0;10.0;, 10.0;0.0;-10.0;,\n"
    " -10.0;0.0;5.0;, -10.0;10.0;5.0;, 10.0;10.0;5.0;, 10.0;0.0;5.0;;\n"
    " 4;\n"
    " 3;0,1,2;, 3;0,2,3;, 3;4,5,6;, 3;4,6,7;;\n"
    " MeshMaterialList {\n"
    "  1; 4; 0, 0, 0, 0;;\n"
    "  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
    " }\n"
    "}\n";

class StageFieldCasts : public gltest::GameDeviceTest {
 protected:
  void SetUp() override {
    gltest::GameDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    field.Init(device);
    field.LoadCollision(dir_.Write("field.x", kFieldX).c_str());
  }
  void TearDown() override {
    field.Release();
    gltest::GameDeviceTest::TearDown();
  }
  testsupport::TempDir dir_;
  StageField field;
};

TEST_F(StageFieldCasts, GroundProbeFindsTheFloorWithItsNormal) {
  const port::Vec3 origin{1, 5, 1};
  const port::Vec3 down{0, -10, 0};
  float distance = 1000.0f;
  port::Vec3 normal{9, 9, 9};
  ASSERT_TRUE(field.RayCastNormal(&origin, &down, &distance, &normal));
  EXPECT_NEAR(distance, 0.5f, 1e-5f) << "counted in lengths of the direction";
  EXPECT_NEAR(normal.x, 0.0f, 1e-5f);
  EXPECT_NEAR(normal.y, 1.0f, 1e-5f);
  EXPECT_NEAR(normal.z, 0.0f, 1e-5f);

  float d2 = 1000.0f;
  ASSERT_TRUE(field.RayCast(&origin, &down, &d2));
  EXPECT_NEAR(d2, 0.5f, 1e-5f);
  float d3 = 1000.0f;
  EXPECT_TRUE(field.RayCastNormal(&origin, &down, &d3, nullptr)) << "the normal is optional";
  EXPECT_FALSE(field.RayCastNormal(&origin, &down, &d3, nullptr))
      << "the same hit again is not nearer";
}

TEST_F(StageFieldCasts, OnlyAStrictlyNearerHitCounts) {
  const port::Vec3 origin{1, 5, 1};
  const port::Vec3 down{0, -1, 0};
  float distance = 5.0f;
  EXPECT_FALSE(field.RayCast(&origin, &down, &distance)) << "a hit at exactly the distance";
  EXPECT_FLOAT_EQ(distance, 5.0f);
  distance = 4.0f;
  EXPECT_FALSE(field.RayCast(&origin, &down, &distance));
  EXPECT_FLOAT_EQ(distance, 4.0f);
  distance = 1000.0f;
  // Two casts with the same variable keep the nearer hit.
  const port::Vec3 towardWall{0, 0, 1};
  const port::Vec3 atWall{0, 2, 0};
  ASSERT_TRUE(field.RayCast(&atWall, &towardWall, &distance));
  EXPECT_NEAR(distance, 5.0f, 1e-5f);
  const port::Vec3 farther{0, 2, -3};
  EXPECT_FALSE(field.RayCast(&farther, &towardWall, &distance));
  EXPECT_NEAR(distance, 5.0f, 1e-5f);
  const port::Vec3 closer{0, 2, 3};
  EXPECT_TRUE(field.RayCast(&closer, &towardWall, &distance));
  EXPECT_NEAR(distance, 2.0f, 1e-5f);
}

TEST_F(StageFieldCasts, WallNormalFollowsTheWindingFromEitherSide) {
  for (float side : {0.0f, 10.0f}) {
    const port::Vec3 origin{2, 3, side};
    const port::Vec3 dir{0, 0, side == 0.0f ? 1.0f : -1.0f};
    float distance = 100.0f;
    port::Vec3 normal;
    ASSERT_TRUE(field.RayCastNormal(&origin, &dir, &distance, &normal)) << side;
    EXPECT_NEAR(distance, 5.0f, 1e-5f);
    EXPECT_NEAR(normal.z, -1.0f, 1e-5f) << side;
  }
  const port::Vec3 away{50, 5, 50};
  const port::Vec3 down{0, -1, 0};
  float distance = 1000.0f;
  EXPECT_FALSE(field.RayCastNormal(&away, &down, &distance, nullptr));
  EXPECT_FALSE(field.RayCast(nullptr, &down, &distance));
  EXPECT_FALSE(field.RayCast(&away, &down, nullptr));
  EXPECT_FLOAT_EQ(distance, 1000.0f);
}

TEST_F(StageFieldCasts, BadCollisionFilesLeaveAFieldThatAnswersFalse) {
  const std::string full(kFieldX);
  const std::string files[] = {
      "",
      "not a mesh at all \x01\x02\xff",
      full.substr(0, full.size() / 2),
      "xof 0303txt 0032\nMesh m { 65535; 1.0;2.0;3.0;; 1; 3;0,1,2;; }\n",
      "xof 0303bin 0032\x01\x00\xff\xff\xff\x7f",
  };
  const port::Vec3 origin{1, 5, 1};
  const port::Vec3 down{0, -1, 0};
  int n = 0;
  for (const std::string& content : files) {
    field.LoadCollision(dir_.Write("bad" + std::to_string(n++) + ".x", content).c_str());
    float distance = 1000.0f;
    port::Vec3 normal;
    EXPECT_FALSE(field.RayCast(&origin, &down, &distance)) << n;
    EXPECT_FALSE(field.RayCastNormal(&origin, &down, &distance, &normal)) << n;
    EXPECT_FLOAT_EQ(distance, 1000.0f);
  }
  field.LoadCollision("Xfile/no_such_stage/none.X");
  float distance = 1000.0f;
  EXPECT_FALSE(field.RayCast(&origin, &down, &distance));
  field.LoadGround("Xfile/no_such_stage/none.X");
  field.LoadRound(nullptr);
  field.Draw({}, {}, {});
  field.Release();
  field.Release();
}

TEST(StageFieldDraw, ModesSetAndRestoreTheirStates) {
  using port::gpu::RenderState;
  RecordingDevice device;
  StageField field;
  EXPECT_EQ(field.GetDrawMode(), 0);
  field.Init(&device);
  EXPECT_EQ(field.GetDrawMode(), 1);

  device.SetRenderState(RenderState::AlphaRef, 5);
  device.log.clear();
  field.Draw({}, {}, {});
  const std::string alphaRef = "rs" + std::to_string(static_cast<int>(RenderState::AlphaRef));
  const std::string zEnable = "rs" + std::to_string(static_cast<int>(RenderState::ZEnable));
  const std::string lighting = "rs" + std::to_string(static_cast<int>(RenderState::Lighting));
  EXPECT_EQ(device.log, (std::vector<std::string>{lighting + "=0", zEnable + "=0", zEnable + "=1",
                                                  alphaRef + "=150", alphaRef + "=5"}));
  EXPECT_EQ(device.GetSamplerState(0, port::gpu::SamplerState::AddressU), 0u)
      << "mode 1 leaves addressing alone";

  field.SetDrawMode(4);
  device.log.clear();
  field.Draw({}, {}, {});
  EXPECT_EQ(device.log, (std::vector<std::string>{lighting + "=0", zEnable + "=0", zEnable + "=1",
                                                  lighting + "=1", lighting + "=0"}));
  EXPECT_EQ(device.GetSamplerState(0, port::gpu::SamplerState::AddressU), port::gpu::AddressClamp);
  EXPECT_EQ(device.GetRenderState(RenderState::AlphaRef), 5u);

  field.SetDrawMode(3);
  field.Draw({}, {}, {});
  EXPECT_FLOAT_EQ(device.GetTransform(port::gpu::TransformType::World)(0, 0), 0.4f);
  field.SetDrawMode(5);
  field.Draw({}, {}, {});
  EXPECT_FLOAT_EQ(device.GetTransform(port::gpu::TransformType::World)(1, 1), 0.8f);

  for (int mode : {6, 9, -1, 11}) {
    field.SetDrawMode(mode);
    device.log.clear();
    field.Draw({}, {}, {});
    EXPECT_EQ(device.log, (std::vector<std::string>{lighting + "=0"})) << mode;
    EXPECT_FLOAT_EQ(device.GetTransform(port::gpu::TransformType::World)(0, 0), 1.0f);
  }
}

TEST(StageFieldDraw, AFieldWithoutMeshesAnswersFalse) {
  StageField field;
  const port::Vec3 origin{0, 5, 0};
  const port::Vec3 down{0, -1, 0};
  float distance = 1000.0f;
  port::Vec3 normal;
  EXPECT_FALSE(field.RayCast(&origin, &down, &distance));
  EXPECT_FALSE(field.RayCastNormal(&origin, &down, &distance, &normal));
  field.Draw({}, {}, {});  // no device yet: nothing happens
  field.Release();
}

}  // namespace
