#include "platform/MathHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "port/random.h"

using port::Matrix;
using port::Vec3;

namespace {

// Seed that makes the next CrtRand() return `value`.
uint32_t SeedFor(int value) {
  // Inverse of the multiplier modulo 2^32 (Newton's iteration).
  uint32_t inv = 214013u;
  for (int i = 0; i < 5; ++i) inv *= 2u - 214013u * inv;
  const uint32_t next = static_cast<uint32_t>(value) << 16;
  return (next - 2531011u) * inv;
}

}  // namespace

TEST(MathHelpersProjection, CentreOfViewAndOrigin) {
  const Matrix view = port::MatrixLookAtLH({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
  const Matrix proj = port::MatrixPerspectiveFovLH(0.785398f, 640.0f / 480.0f, 1, 250);
  const Vec3 s = ProjectToScreen(port::MatrixIdentity(), view, proj);
  EXPECT_NEAR(s.x, 320.0f, 1e-4f);
  EXPECT_NEAR(s.y, 240.0f, 1e-4f);
  EXPECT_NEAR(s.z, 10.0f * 250.0f / 249.0f - 250.0f / 249.0f, 1e-4f);  // undivided depth

  // Up and right of centre moves right and up on screen (y grows downward).
  Vec3 out;
  const Vec3 ur = ProjectToScreen(port::MatrixTranslation(1, 1, 0), view, proj, &out);
  EXPECT_EQ(out, ur);
  EXPECT_GT(ur.x, 320.0f);
  EXPECT_LT(ur.y, 240.0f);
  const Vec3 clip = ProjectToClip(port::MatrixTranslation(1, 1, 0), view, proj);
  EXPECT_NEAR((clip.x + 1) * 320.0f, ur.x, 1e-3f);
  port::Vec4 w4;
  const port::Vec4 cw = ProjectToClipW(port::MatrixTranslation(1, 1, 0), view, proj, &w4);
  EXPECT_EQ(cw, w4);
  EXPECT_NEAR(cw.w, 10.0f, 1e-4f);
  EXPECT_EQ(cw.x, clip.x);

  // Behind the camera: w < 0, mirrored.
  EXPECT_LT(ProjectToClipW(port::MatrixTranslation(1, 0, -20), view, proj).w, 0.0f);

  Vec3 o;
  EXPECT_EQ(MatrixOrigin(port::MatrixTranslation(4, 5, 6) * port::MatrixRotationY(0), &o),
            Vec3(4, 5, 6));
  EXPECT_EQ(o, Vec3(4, 5, 6));
}

TEST(MathHelpersGeometry, DistanceAndDirections) {
  EXPECT_DOUBLE_EQ(Distance3(1, 2, 3, 4, 6, 3), 5.0);
  EXPECT_EQ(DirectionTo(1, 1, 1, 1, 1, 1), Vec3(0, 0, 0));
  const Vec3 d = DirectionTo(0, 0, 0, 0, 3, 4);
  EXPECT_NEAR(d.y, 0.6f, 1e-6f);
  EXPECT_NEAR(d.z, 0.8f, 1e-6f);

  // Heading 90 turns forward to +x; a positive x angle turns it downward.
  Vec3 f = DirectionFromAngles(0, 90, 0);
  EXPECT_NEAR(f.x, 1, 1e-6f);
  EXPECT_NEAR(f.z, 0, 1e-6f);
  f = DirectionFromAngles(30, 0, 0);
  EXPECT_NEAR(f.y, -0.5f, 1e-6f);
  // z angle first, then x, then heading: roll leaves forward alone.
  f = DirectionFromAngles(30, 90, 45);
  EXPECT_NEAR(f.x, 0.8660254f, 1e-6f);
  EXPECT_NEAR(f.y, -0.5f, 1e-6f);
  EXPECT_NEAR(f.z, 0.0f, 1e-6f);
}

TEST(MathHelpersHeadings, YawToTable) {
  struct Row {
    float x1, z1, x2, z2, yaw;
  };
  const std::vector<Row> rows = {
      {0, 0, 0, 5, 360},  {0, 0, 5, 0, 450}, {0, 0, 0, -5, 180}, {0, 0, -5, 0, 270},
      {1, 1, 1, 1, 0},    {0, 0, 5, 5, 45},  {0, 0, 5, -5, 135}, {0, 0, -5, -5, 225},
      {0, 0, -5, 5, 315}, {2, 3, 7, 3, 450},
  };
  for (const Row& r : rows)
    EXPECT_NEAR(YawTo(r.x1, r.z1, r.x2, r.z2), r.yaw, 1e-4f)
        << r.x1 << "," << r.z1 << " -> " << r.x2 << "," << r.z2;
  // Along +x with a negative zero in z: the other side of atan2's cut.
  EXPECT_NEAR(YawTo(0.0f, 0.0f, 5.0f, -0.0f), 90.0f, 1e-4f);
}

TEST(MathHelpersHeadings, YawOfVectorAndAngles) {
  EXPECT_EQ(YawOfVector(0, 7, 0), 0.0f);
  EXPECT_NEAR(YawOfVector(1, 0, 0), 90.0f, 1e-4f);
  EXPECT_NEAR(YawOfVector(0, 0, 1), 360.0f, 1e-4f);
  EXPECT_NEAR(YawOfVector(0, 0, -1), 180.0f, 1e-4f);
  EXPECT_NEAR(YawOfVector(-1, 0, 0), 270.0f, 1e-4f);
  EXPECT_NEAR(YawOfVector(1, 0, 1), 45.0f, 1e-4f);

  float pitch = 0, yaw = 0;
  AnglesOfVector(0, 1, 1, &pitch, &yaw);
  EXPECT_NEAR(pitch, -45.0f, 1e-4f);
  EXPECT_NEAR(yaw, 360.0f, 1e-4f);
  AnglesOfVector(1, -1, 0, &pitch, nullptr);
  EXPECT_NEAR(pitch, 45.0f, 1e-4f);
  AnglesOfVector(0, 0, 0, &pitch, &yaw);
  EXPECT_EQ(pitch, 90.0f);
  EXPECT_EQ(yaw, 0.0f);
  // Level vectors: the sign of a zero y picks 0 or -360.
  AnglesOfVector(0, 0.0f, 1, &pitch, nullptr);
  EXPECT_NEAR(pitch, 0.0f, 1e-4f);
  AnglesOfVector(0, -0.0f, 1, &pitch, nullptr);
  EXPECT_NEAR(pitch, -360.0f, 1e-4f);
  AnglesOfVector(3, 4, 0, nullptr, nullptr);  // both outputs optional
}

TEST(MathHelpersHeadings, TurnTowardTable) {
  struct Row {
    float target, current, step, result;
  };
  const std::vector<Row> rows = {
      {10, 350, 5, 355},   {350, 10, 5, 5},     {100, 95, 10, 100}, {-90, 0, 5, 355},
      {90, 0, 10, 10},     {0, 90, 10, 80},     {200, 10, 5, 5},    {300, 3, 5, 358},
      {100, 200, 10, 190}, {250, 200, 10, 210}, {1, 358, 5, 3},     {720, 0, 5, 0},
      {5, 0, 5, 5},        {10, 0, 5, 5},       {180, 0, 5, 5},     {355, 0, 400, 355},
      {200, 180, 20, 200},
  };
  for (const Row& r : rows)
    EXPECT_NEAR(TurnToward(r.target, r.current, r.step), r.result, 1e-4f)
        << r.target << " from " << r.current << " by " << r.step;
  // c - s + 360 not beyond the target: stop on it.
  EXPECT_NEAR(TurnTowardInner(300, 2, 70), 300, 1e-4f);
  // Turning up past 359 wraps to the low end, never to 360.
  EXPECT_NEAR(TurnTowardInner(10, 358, 2), 0, 1e-4f);
}

TEST(MathHelpersHeadings, ApproachAndAngleDistance) {
  EXPECT_EQ(Approach(10, 0, 3), 3);
  EXPECT_EQ(Approach(-10, 0, 3), -3);
  EXPECT_EQ(Approach(1, 0, 3), 1);
  EXPECT_EQ(Approach(3, 0, 3), 3);  // not strictly greater: one step
  EXPECT_EQ(ApproachVector(10, -10, 1, 0, 0, 0, 2), Vec3(2, -2, 1));

  EXPECT_EQ(AngleDistance(350, 10), 20);
  EXPECT_EQ(AngleDistance(0, 180), 180);
  EXPECT_EQ(AngleDistance(-90, 90), 180);
  EXPECT_EQ(AngleDistance(360, 0), 0);
  EXPECT_EQ(AngleDistance(450, 0), 90);
  EXPECT_EQ(AngleDistance(-30, 30), 60);
  EXPECT_EQ(AngleDistance(190, 0), 170);
}

TEST(MathHelpersRandom, GeneratorSequence) {
  port::CrtSrand(1);
  EXPECT_EQ(port::CrtRand(), 41);
  EXPECT_EQ(port::CrtRand(), 18467);
  EXPECT_EQ(port::CrtRand(), 6334);
  for (int v : {0, 1, 32766, 32767}) {
    port::CrtSrand(SeedFor(v));
    EXPECT_EQ(port::CrtRand(), v);
  }
}

TEST(MathHelpersRandom, RandomIntTopDrawGivesN) {
  struct Row {
    int raw, n, result;
  };
  const std::vector<Row> rows = {
      {32767, 360, 360},   {32766, 360, 359},     {32767, 1, 1},   {32766, 1, 0},
      {0, 360, 0},         {16384, 2, 1},         {16383, 2, 0},   {32767, 0, 0},
      {32767, 1000, 1000}, {32767, 65536, 65536}, {32767, -5, -5}, {32766, -5, -4},
  };
  for (const Row& r : rows) {
    port::CrtSrand(SeedFor(r.raw));
    EXPECT_EQ(RandomInt(r.n), r.result) << "raw " << r.raw << " n " << r.n;
  }
  // Huge bounds neither overflow nor leave the range.
  port::CrtSrand(SeedFor(32767));
  EXPECT_EQ(RandomInt(INT32_MAX), INT32_MAX);

  // Seed 1: 41, 18467, 6334 scaled to 0..99.
  port::CrtSrand(1);
  EXPECT_EQ(RandomInt(100), 0);
  EXPECT_EQ(RandomInt(100), 56);
  EXPECT_EQ(RandomInt(100), 19);

  // Below the top draw every value 0..n-1 comes up.
  std::vector<int> seen(6, 0);
  port::CrtSrand(7);
  for (int i = 0; i < 2000; ++i) {
    const int v = RandomInt(5);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 5);
    ++seen[v];
  }
  for (int i = 0; i < 5; ++i) EXPECT_GT(seen[i], 300);
}

TEST(MathHelpersRandom, RandomFloatRange) {
  port::CrtSrand(SeedFor(32767));
  EXPECT_EQ(RandomFloat(100, 0.1f), 10.0f);
  port::CrtSrand(SeedFor(32767));
  EXPECT_EQ(RandomFloat(60, 0.01f), 60 * 0.01f);
  port::CrtSrand(SeedFor(0));
  EXPECT_EQ(RandomFloat(60, 0.01f), 0.0f);
  port::CrtSrand(SeedFor(16384));
  const float mid = RandomFloat(1, 1);
  EXPECT_GT(mid, 0.5f);
  EXPECT_LT(mid, 0.5001f);
}
