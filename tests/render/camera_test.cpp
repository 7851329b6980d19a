#include <gtest/gtest.h>

#include <cmath>

#include "render/Camera.h"
#include "support/recording_device.h"

namespace {

constexpr float kTol = 1e-3f;

void ExpectNear(const port::Vec3& a, const port::Vec3& b, float tol = kTol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

// Clip coordinates of a world point through the camera.
port::Vec4 Clip(const Camera& c, port::Vec3 p) {
  return port::Vec3Transform(p, c.GetView() * c.GetProjection());
}

TEST(Camera, StartsLookingOutFromTheOriginAndApplies) {
  RecordingDevice device;
  Camera camera;
  EXPECT_EQ(camera.GetMode(), Camera::kLookOut);
  EXPECT_FLOAT_EQ(camera.GetYaw(), 180.0f);
  EXPECT_FLOAT_EQ(camera.GetPitch(), 10.0f);
  EXPECT_FLOAT_EQ(camera.GetDistance(), 40.0f);
  camera.SetDevice(&device);
  EXPECT_EQ(device.transformSets, 2);
  ExpectNear(camera.GetEye(), {0, 0, 0});
  // Yaw 180 looks along -z; a positive pitch looks down.
  ExpectNear(camera.GetTarget(),
             {0, -40 * std::sin(10 * 0.017453292f), -40 * std::cos(10 * 0.017453292f)});
  EXPECT_EQ(device.GetTransform(port::gpu::TransformType::View), camera.GetView());
  EXPECT_EQ(device.GetTransform(port::gpu::TransformType::Projection), camera.GetProjection());
}

TEST(Camera, SwitchingToOrbitKeepsTheEyeAndTurnsTheAngles) {
  RecordingDevice device;
  Camera camera;
  camera.SetDevice(&device);
  const port::Matrix before = camera.GetView();
  camera.SetMode(Camera::kOrbit);
  EXPECT_FLOAT_EQ(camera.GetYaw(), 360.0f);
  EXPECT_FLOAT_EQ(camera.GetPitch(), -10.0f);
  EXPECT_FLOAT_EQ(camera.GetDistance(), 40.0f);
  ExpectNear(camera.GetEye(), {0, 0, 0});
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(camera.GetView()(r, c), before(r, c), kTol);

  // Only once the target is placed does the eye orbit it: 40 away on +z, above.
  camera.SetPosition(0, 0, 0);
  ExpectNear(camera.GetTarget(), {0, 0, 0});
  ExpectNear(camera.GetEye(),
             {0, 40 * std::sin(10 * 0.017453292f), 40 * std::cos(10 * 0.017453292f)});
  const port::Vec4 c = Clip(camera, {0, 0, 0});
  EXPECT_NEAR(c.x / c.w, 0.0f, kTol);
  EXPECT_NEAR(c.y / c.w, 0.0f, kTol);
}

TEST(Camera, OrbitSettersMoveTheTargetAndKeepTheOffset) {
  RecordingDevice device;
  Camera camera;
  camera.SetDevice(&device);
  camera.SetMode(Camera::kOrbit);
  camera.SetDistance(4.0f);
  camera.SetPitch(0.0f);
  camera.SetYaw(90.0f);  // offset toward +x
  camera.SetPosition(5, 1, -2);
  ExpectNear(camera.GetTarget(), {5, 1, -2});
  ExpectNear(camera.GetEye(), {9, 1, -2});
  camera.SetPosition(0, 0, 0);
  ExpectNear(camera.GetEye(), {4, 0, 0});
  // Yaw is not wrapped.
  camera.SetYaw(450.0f);
  EXPECT_FLOAT_EQ(camera.GetYaw(), 450.0f);
  ExpectNear(camera.GetEye(), {4, 0, 0});
  // Negative pitch puts the eye above the target.
  camera.SetPitch(-30.0f);
  EXPECT_NEAR(camera.GetEye().y, 2.0f, kTol);
}

TEST(Camera, SettingTheCurrentModeAppliesNothing) {
  RecordingDevice device;
  Camera camera;
  camera.SetDevice(&device);
  const int sets = device.transformSets;
  camera.SetMode(Camera::kLookOut);
  EXPECT_EQ(device.transformSets, sets);
  camera.SetMode(7);  // not a mode
  EXPECT_EQ(camera.GetMode(), Camera::kLookOut);
  EXPECT_EQ(device.transformSets, sets);
}

TEST(Camera, FreeModeRoundTripRecoversTheAngles) {
  Camera camera;  // no device: everything still works
  camera.SetMode(Camera::kOrbit);
  camera.SetPosition(1, 2, 3);
  camera.SetDistance(10.0f);
  camera.SetPitch(-20.0f);
  camera.SetYaw(45.0f);
  const port::Vec3 eye = camera.GetEye();
  camera.SetMode(Camera::kFree);
  ExpectNear(camera.GetPointA(), eye);
  ExpectNear(camera.GetPointB(), {1, 2, 3});
  camera.SetPosition(100, 100, 100);  // ignored in free mode
  ExpectNear(camera.GetPointB(), {1, 2, 3});
  camera.SetMode(Camera::kOrbit);
  EXPECT_NEAR(camera.GetDistance(), 10.0f, kTol);
  EXPECT_NEAR(camera.GetPitch(), -20.0f, 1e-2f);
  EXPECT_NEAR(std::fmod(camera.GetYaw() + 360.0f, 360.0f), 45.0f, 1e-2f);
  camera.SetYaw(camera.GetYaw());  // recomputes the offset
  ExpectNear(camera.GetEye(), eye, 1e-2f);

  // Look-out to free keeps the eye and makes the target absolute.
  Camera out;
  out.SetPosition(0, 5, 0);
  const port::Vec3 target = out.GetTarget();
  out.SetMode(Camera::kFree);
  ExpectNear(out.GetEye(), {0, 5, 0});
  ExpectNear(out.GetTarget(), target);
}

TEST(Camera, ProjectionIsLeftHandedSquareAndClipsNearAndFar) {
  Camera camera;
  camera.SetMode(Camera::kOrbit);
  camera.SetPitch(0.0f);
  camera.SetYaw(180.0f);  // eye on -z looking toward +z
  camera.SetDistance(10.0f);
  camera.SetPosition(0, 0, 0);
  ExpectNear(camera.GetEye(), {0, 0, -10});

  const port::Vec4 right = Clip(camera, {1, 0, 0});
  const port::Vec4 up = Clip(camera, {0, 1, 0});
  EXPECT_GT(right.x / right.w, 0.0f) << "+x is to the right";
  EXPECT_GT(up.y / up.w, 0.0f) << "+y is up";
  // Aspect 1.0: one unit across spans as much of the picture as one unit up.
  EXPECT_NEAR(right.x / right.w, up.y / up.w, 1e-5f);
  // 45 degree vertical field: a point at 45/2 degrees lies on the edge.
  const port::Vec4 edge = Clip(camera, {0, 10 * std::tan(0.785398f / 2), 0});
  EXPECT_NEAR(edge.y / edge.w, 1.0f, 1e-4f);

  const port::Vec4 nearPoint = Clip(camera, {0, 0, -9.5f});  // 0.5 from the eye
  const port::Vec4 farPoint = Clip(camera, {0, 0, 241.0f});  // 251 from the eye
  const port::Vec4 inside = Clip(camera, {0, 0, 100.0f});
  EXPECT_LT(nearPoint.z / nearPoint.w, 0.0f);
  EXPECT_GT(farPoint.z / farPoint.w, 1.0f);
  EXPECT_GT(inside.z / inside.w, 0.0f);
  EXPECT_LT(inside.z / inside.w, 1.0f);
}

}  // namespace
