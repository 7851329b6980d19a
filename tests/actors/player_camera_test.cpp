// The stage player's camera: the goals each camera mode and view type settles
// on, the bounded steps it takes toward them, and what reaches g_camera.
#include <gtest/gtest.h>

#include <cmath>

#include "port/input.h"
#include "render/Camera.h"
#include "support/stage_fixture.h"

namespace {

using stagetest::StageFixture;

class PlayerCamera : public StageFixture {};

float Wrapped(float degrees) { return std::fmod(std::fmod(degrees, 360.0f) + 360.0f, 360.0f); }

struct CameraCase {
  const char* name;
  int32_t viewType;
  void (*pose)(Player&);  // null: control
  float distance;
  port::Vec3 target;  // relative to the player's position
  float pitch, yaw;   // the player faces heading 30
};

TEST_F(PlayerCamera, EachCameraSettlesOnItsGoals) {
  const float h = 30.0f;
  const float s = std::sin(h * 0.017453292f), c = std::cos(h * 0.017453292f);
  const CameraCase cases[] = {
      {"follow, view 0", 0, nullptr, 4.0f, {0.0f, 0.65f, 0.0f}, 0.0f, h + 180.0f},
      // Level ground tilts view type 1 as a jump does: 20 degrees down.
      {"follow, view 1", 1, nullptr, 4.0f, {0.0f, 1.0f, 0.0f}, 340.0f, h + 180.0f},
      {"follow, view 2", 2, nullptr, 4.1f, {4.0f * s, 0.3f, 4.0f * c}, 0.0f, h + 180.0f},
      {"time up", 0, [](Player& p) { p.SetTimeUp(); }, 2.5f, {0.0f, 0.0f, 0.0f}, 20.0f, h + 15.0f},
      {"game over",
       2,
       [](Player& p) { p.SetGameOver(); },
       2.5f,
       {0.0f, 0.0f, 0.0f},
       20.0f,
       h + 15.0f},
      {"clear", 1, [](Player& p) { p.SetClear(); }, 2.5f, {0.0f, 0.0f, 0.0f}, 355.0f, h},
  };
  for (const CameraCase& k : cases) {
    SCOPED_TRACE(k.name);
    player.viewType = k.viewType;
    player.Place(0.0f, stagetest::kStandY, 0.0f, h);
    if (k.pose) k.pose(player);
    Step(400);
    EXPECT_NEAR(player.cameraDistance, k.distance, 1e-4f);
    const port::Vec3 t = player.cameraTarget - player.position;
    EXPECT_NEAR(t.x, k.target.x, 1e-3f);
    EXPECT_NEAR(t.y, k.target.y, 1e-3f);
    EXPECT_NEAR(t.z, k.target.z, 1e-3f);
    EXPECT_NEAR(Wrapped(player.cameraPitch), k.pitch, 1e-3f);
    EXPECT_NEAR(Wrapped(player.cameraYaw), Wrapped(k.yaw), 1e-3f);
    // What the camera was given.
    EXPECT_EQ(g_camera.GetMode(), Camera::kOrbit);
    EXPECT_NEAR(g_camera.GetDistance(), k.distance, 1e-4f);
    EXPECT_NEAR(Wrapped(g_camera.GetYaw()), Wrapped(k.yaw), 1e-3f);
    EXPECT_NEAR(g_camera.GetTarget().y, player.cameraTarget.y, 1e-5f);
  }
}

TEST_F(PlayerCamera, ViewType1TiltsWithTheGroundAheadAndLevelsInTheAir) {
  player.viewType = 1;
  // On the low block (top 2 up), 1 unit from its edge, facing off it: the
  // ground ahead falls 2 over 1.5, more than the 30 degrees the tilt is held to.
  player.Place(-20.0f, stagetest::kLowBlockTop + 1.0f, 13.0f, 0.0f);
  Step(200);
  ASSERT_FLOAT_EQ(player.position.y, stagetest::kLowBlockTop + 1.0f);
  EXPECT_NEAR(Wrapped(player.cameraPitch), 310.0f, 1e-3f);  // -30 - 20
  Hold(port::kKeyC);
  Step(3);
  EXPECT_EQ(player.airborne, 1);
  const float tilted = player.cameraPitch;
  Step();
  // In the air the goal is -20: the pitch turns there by at most 1 a frame.
  EXPECT_NEAR(player.cameraPitch, tilted + 1.0f, 1e-3f);
}

TEST_F(PlayerCamera, StepsAreBoundedAndTheStunnedCameraCircles) {
  player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
  Step(100);
  EXPECT_NEAR(Wrapped(player.cameraYaw), 180.0f, 1e-3f);
  // A sudden turn: the camera swings after it 2 degrees a frame.
  player.angle.y = 90.0f;
  Step();
  EXPECT_NEAR(Wrapped(player.cameraYaw), 182.0f, 1e-3f);
  Step(44);
  EXPECT_NEAR(Wrapped(player.cameraYaw), 270.0f, 1e-3f);
  // A sudden move: the target follows 1.5 a frame along each axis.
  const float x = player.cameraTarget.x;
  player.position.x += 5.0f;
  Step();
  EXPECT_NEAR(player.cameraTarget.x - x, 1.5f, 1e-4f);
  Step(3);
  EXPECT_NEAR(player.cameraTarget.x, player.position.x, 1e-4f);

  // Stunned: 2 degrees round a frame, closing in to 3.
  player.mode = kPlayerPiyori;
  player.modeFrame = 0;
  Step(2);
  const float yaw = player.cameraYaw;
  Step(10);
  EXPECT_NEAR(player.cameraYaw - yaw, 20.0f, 1e-3f);
  Step(100);
  EXPECT_NEAR(player.cameraDistance, 3.0f, 1e-4f);

  // With the camera off nothing is written into it.
  player.cameraOn = 0;
  const float distance = g_camera.GetDistance();
  const float circled = g_camera.GetYaw();
  Step(5);
  EXPECT_EQ(g_camera.GetYaw(), circled);
  EXPECT_EQ(g_camera.GetDistance(), distance);
}

}  // namespace
