#include "port/math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace port;

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kEps = 1e-5f;

void ExpectVec(const Vec3& v, float x, float y, float z, float eps = kEps) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

void ExpectQuat(const Quat& q, float x, float y, float z, float w, float eps = kEps) {
  EXPECT_NEAR(q.x, x, eps);
  EXPECT_NEAR(q.y, y, eps);
  EXPECT_NEAR(q.z, z, eps);
  EXPECT_NEAR(q.w, w, eps);
}

void ExpectIdentity(const Matrix& m, float eps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(m(r, c), r == c ? 1.0f : 0.0f, eps) << r << "," << c;
}

Quat AxisAngle(Vec3 axis, float angle) {
  axis = Vec3Normalize(axis);
  const float s = std::sin(angle / 2);
  return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2)};
}

}  // namespace

TEST(MathMatrix, RotationsFollowRowVectorConvention) {
  // Row vector times matrix: +x about z by 90 degrees lands on +y.
  ExpectVec(Vec3TransformNormal({1, 0, 0}, MatrixRotationZ(kPi / 2)), 0, 1, 0);
  // +y about x by 90 degrees lands on +z (left-handed).
  ExpectVec(Vec3TransformNormal({0, 1, 0}, MatrixRotationX(kPi / 2)), 0, 0, 1);
  // +z about y by 90 degrees lands on +x.
  ExpectVec(Vec3TransformNormal({0, 0, 1}, MatrixRotationY(kPi / 2)), 1, 0, 0);
}

TEST(MathMatrix, YawPitchRollOrder) {
  ExpectVec(Vec3TransformNormal({0, 0, 1}, MatrixRotationYawPitchRoll(kPi / 2, 0, 0)), 1, 0, 0);
  // A positive pitch turns +z downward.
  const float y = 0.7f, p = 0.3f;
  ExpectVec(Vec3TransformNormal({0, 0, 1}, MatrixRotationYawPitchRoll(y, p, 0)),
            std::cos(p) * std::sin(y), -std::sin(p), std::cos(p) * std::cos(y));
  // Roll first, then pitch, then yaw.
  const Matrix expect = MatrixRotationZ(0.2f) * MatrixRotationX(0.5f) * MatrixRotationY(1.1f);
  const Matrix got = MatrixRotationYawPitchRoll(1.1f, 0.5f, 0.2f);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got(r, c), expect(r, c), 1e-6f);
}

TEST(MathMatrix, MultiplyAppliesLeftFirst) {
  const Matrix m = MatrixScaling(2, 2, 2) * MatrixTranslation(1, 0, 0);
  ExpectVec(Vec3TransformCoord({1, 1, 1}, m), 3, 2, 2);
  const Matrix n = MatrixTranslation(1, 0, 0) * MatrixScaling(2, 2, 2);
  ExpectVec(Vec3TransformCoord({1, 1, 1}, n), 4, 2, 2);
  EXPECT_EQ(MatrixTranspose(MatrixTranslation(1, 2, 3))(0, 3), 1.0f);
  EXPECT_TRUE(MatrixIdentity() == Matrix::Identity());
}

TEST(MathMatrix, PerspectiveKnownValues) {
  const Matrix p = MatrixPerspectiveFovLH(0.785398f, 1.0f, 1.0f, 250.0f);
  EXPECT_NEAR(p(0, 0), 2.414214f, 1e-5f);
  EXPECT_NEAR(p(1, 1), 2.414214f, 1e-5f);
  EXPECT_NEAR(p(2, 2), 1.004016f, 1e-6f);
  EXPECT_NEAR(p(3, 2), -1.004016f, 1e-6f);
  EXPECT_EQ(p(2, 3), 1.0f);
  EXPECT_EQ(p(3, 3), 0.0f);
  // Near plane maps to depth 0, far plane to depth 1.
  EXPECT_NEAR(Vec3TransformCoord({0, 0, 1}, p).z, 0.0f, 1e-6f);
  EXPECT_NEAR(Vec3TransformCoord({0, 0, 250}, p).z, 1.0f, 1e-6f);
  // Vec3Transform does not divide.
  const Vec4 clip = Vec3Transform({0, 0, 250}, p);
  EXPECT_NEAR(clip.w, 250.0f, 1e-4f);
  EXPECT_NEAR(clip.z, 250.0f, 1e-3f);
}

TEST(MathMatrix, LookAtPutsTargetOnPositiveZ) {
  const Matrix v = MatrixLookAtLH({0, 6.95f, 39.39f}, {0, 0, 0}, {0, 1, 0});
  const Vec3 t = Vec3TransformCoord({0, 0, 0}, v);
  EXPECT_NEAR(t.x, 0, kEps);
  EXPECT_NEAR(t.y, 0, kEps);
  EXPECT_NEAR(t.z, Vec3Length({0, 6.95f, 39.39f}), 1e-4f);
  ExpectVec(Vec3TransformCoord({0, 6.95f, 39.39f}, v), 0, 0, 0, 1e-4f);
  // Looking down +z from the origin is the identity.
  ExpectIdentity(MatrixLookAtLH({0, 0, 0}, {0, 0, 5}, {0, 1, 0}), 0);
  // Looking down -z: +x of the world is to the left.
  EXPECT_NEAR(Vec3TransformCoord({1, 0, -1}, MatrixLookAtLH({0, 0, 0}, {0, 0, -1}, {0, 1, 0})).x,
              -1.0f, kEps);
}

TEST(MathMatrix, InverseOfGeneralAndProjective) {
  const Matrix world = MatrixScaling(2, 3, 0.5f) * MatrixRotationYawPitchRoll(0.3f, -0.4f, 1.2f) *
                       MatrixTranslation(5, -7, 11);
  Matrix inv;
  float det = 0;
  ASSERT_TRUE(MatrixInverse(world, &inv, &det));
  EXPECT_NEAR(det, 3.0f, 1e-4f);
  ExpectIdentity(inv * world, 1e-5f);
  ExpectIdentity(world * inv, 1e-5f);

  // inverse(view * projection) maps clip space back to the world.
  const Matrix vp = MatrixLookAtLH({3, 10, -40}, {0, 0, 0}, {0, 1, 0}) *
                    MatrixPerspectiveFovLH(0.785398f, 4.0f / 3.0f, 1, 250);
  ASSERT_TRUE(MatrixInverse(vp, &inv));
  ExpectIdentity(inv * vp, 1e-4f);
  const Vec3 p{1.5f, 2.0f, 3.0f};
  ExpectVec(Vec3TransformCoord(Vec3TransformCoord(p, vp), inv), p.x, p.y, p.z, 1e-3f);
}

TEST(MathMatrix, SingularInverseLeavesOutputUntouched) {
  Matrix out = MatrixTranslation(9, 9, 9);
  float det = 5;
  EXPECT_FALSE(MatrixInverse(MatrixScaling(1, 0, 1), &out, &det));
  EXPECT_EQ(det, 0.0f);
  EXPECT_TRUE(out == MatrixTranslation(9, 9, 9));
  EXPECT_FALSE(MatrixInverse(Matrix{}, &out));
}

TEST(MathVector, BasicsAndZeroNormalize) {
  EXPECT_FLOAT_EQ(Vec3Dot({1, 2, 3}, {4, 5, 6}), 32);
  ExpectVec(Vec3Cross({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
  EXPECT_FLOAT_EQ(Vec3Length({3, 4, 0}), 5);
  EXPECT_FLOAT_EQ(Vec3LengthSq({3, 4, 0}), 25);
  ExpectVec(Vec3Normalize({0, 3, 4}), 0, 0.6f, 0.8f);
  const Vec3 z = Vec3Normalize({0, 0, 0});
  EXPECT_EQ(z, Vec3(0, 0, 0));
  const Vec4 z4 = Vec4Normalize({});
  EXPECT_EQ(z4, Vec4{});
  const Vec4 n4 = Vec4Normalize({0, 0, 3, 4});
  EXPECT_NEAR(n4.w, 0.8f, kEps);
  // TransformNormal ignores translation; TransformCoord divides by w.
  ExpectVec(Vec3TransformNormal({1, 2, 3}, MatrixTranslation(10, 10, 10)), 1, 2, 3);
  Matrix half = MatrixIdentity();
  half(3, 3) = 2;
  ExpectVec(Vec3TransformCoord({2, 4, 6}, half), 1, 2, 3);
}

TEST(MathQuat, MultiplyIsFirstThenSecond) {
  const Quat a = AxisAngle({0, 0, 1}, kPi / 2);  // x -> y
  const Quat b = AxisAngle({1, 0, 0}, kPi / 2);  // y -> z
  // a then b takes +x to +z.
  const Matrix m = MatrixRotationQuaternion(QuatMultiply(a, b));
  ExpectVec(Vec3TransformNormal({1, 0, 0}, m), 0, 0, 1);
  // Same as multiplying the matrices in that order.
  const Matrix mm = MatrixRotationQuaternion(a) * MatrixRotationQuaternion(b);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(m(r, c), mm(r, c), 1e-6f);
  // Matrix from a quaternion about y agrees with RotationY.
  const Matrix ry = MatrixRotationQuaternion(AxisAngle({0, 1, 0}, 0.8f));
  const Matrix ey = MatrixRotationY(0.8f);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(ry(r, c), ey(r, c), 1e-6f);
}

TEST(MathQuat, InverseLnExpEdges) {
  const Quat q{0.2f, -0.4f, 0.1f, 0.5f};
  ExpectQuat(QuatMultiply(q, QuatInverse(q)), 0, 0, 0, 1);
  const Quat ln = QuatLn(Quat{});
  ExpectQuat(ln, 0, 0, 0, 0, 0);
  EXPECT_FALSE(std::isnan(ln.x));
  ExpectQuat(QuatLn({0, 0, 0, -1}), 0, 0, 0, 0, 0);  // no division by zero
  ExpectQuat(QuatExp({0, 0, 0, 0}), 0, 0, 0, 1, 0);
  const Quat u = AxisAngle({1, 2, -1}, 1.3f);
  ExpectQuat(QuatExp(QuatLn(u)), u.x, u.y, u.z, u.w);
  ExpectQuat(QuatLn(AxisAngle({0, 1, 0}, 1.0f)), 0, 0.5f, 0, 0);
}

TEST(MathQuat, SlerpEndpointsMidpointAndShortPath) {
  const Quat a{};
  const Quat b = AxisAngle({0, 1, 0}, kPi / 2);
  ExpectQuat(QuatSlerp(a, b, 0), a.x, a.y, a.z, a.w);
  ExpectQuat(QuatSlerp(a, b, 1), b.x, b.y, b.z, b.w);
  const Quat mid = AxisAngle({0, 1, 0}, kPi / 4);
  ExpectQuat(QuatSlerp(a, b, 0.5f), mid.x, mid.y, mid.z, mid.w);
  // Negated target takes the short way: same result.
  const Quat nb{-b.x, -b.y, -b.z, -b.w};
  ExpectQuat(QuatSlerp(a, nb, 0.5f), mid.x, mid.y, mid.z, mid.w);
  // Nearly equal: plain linear weights, not renormalised.
  const Quat c{0, 0.01f, 0, 1};
  const Quat l = QuatSlerp(a, c, 0.5f);
  EXPECT_FLOAT_EQ(l.y, 0.005f);
  EXPECT_FLOAT_EQ(l.w, 1.0f);
  // Equal inputs give no NaN.
  EXPECT_FALSE(std::isnan(QuatSlerp(b, b, 0.3f).w));
}

TEST(MathQuat, SquadStartsAtQ1AndEndsAtQ2) {
  const Quat q0 = AxisAngle({0, 1, 0}, 0.1f);
  const Quat q1 = AxisAngle({0, 1, 0}, 0.6f);
  const Quat q2 = AxisAngle({1, 1, 0}, 1.2f);
  const Quat q3r = AxisAngle({1, 0, 0}, 2.0f);
  const Quat q3{-q3r.x, -q3r.y, -q3r.z, -q3r.w};
  Quat a, b, c;
  QuatSquadSetup(&a, &b, &c, q0, q1, q2, q3);
  EXPECT_EQ(QuatSquad(q1, a, b, c, 0), q1);
  const Quat end = QuatSquad(q1, a, b, c, 1);
  ExpectQuat(end, c.x, c.y, c.z, c.w);
  ExpectQuat(c, q2.x, q2.y, q2.z, q2.w);
  // Repeated keys: every key identical gives the key throughout, not NaN.
  QuatSquadSetup(&a, &b, &c, q1, q1, q1, q1);
  for (float t : {0.0f, 0.3f, 0.5f, 1.0f})
    ExpectQuat(QuatSquad(q1, a, b, c, t), q1.x, q1.y, q1.z, q1.w);
  // q2 on the far hemisphere is flipped into C.
  const Quat nq2{-q2.x, -q2.y, -q2.z, -q2.w};
  QuatSquadSetup(&a, &b, &c, q0, q1, nq2, q3);
  ExpectQuat(c, q2.x, q2.y, q2.z, q2.w);
}

TEST(MathQuat, SquadOnOneAxisMatchesAngleInterpolation) {
  // Evenly spaced keys about one axis: squad follows the angle smoothly.
  const Quat q0 = AxisAngle({0, 0, 1}, 0.0f), q1 = AxisAngle({0, 0, 1}, 0.5f),
             q2 = AxisAngle({0, 0, 1}, 1.0f), q3 = AxisAngle({0, 0, 1}, 1.5f);
  Quat a, b, c;
  QuatSquadSetup(&a, &b, &c, q0, q1, q2, q3);
  const Quat m = QuatSquad(q1, a, b, c, 0.5f);
  const Quat e = AxisAngle({0, 0, 1}, 0.75f);
  ExpectQuat(m, e.x, e.y, e.z, e.w, 1e-4f);
}

TEST(MathBounds, MeanCentreAndFarthestPoint) {
  struct Vertex {
    float p[3];
    float n[3];
    float uv[2];
  };
  std::vector<Vertex> v = {{{0, 0, 0}, {}, {}},
                           {{2, 0, 0}, {}, {}},
                           {{2, 2, 0}, {}, {}},
                           {{0, 2, 0}, {}, {}},
                           {{1, 1, 8}, {}, {}}};
  Vec3 c;
  float r = 0;
  ASSERT_TRUE(ComputeBoundingSphere(v.data(), 5, sizeof(Vertex), &c, &r));
  ExpectVec(c, 1, 1, 1.6f);
  EXPECT_NEAR(r, 6.4f, 1e-5f);
  EXPECT_FALSE(ComputeBoundingSphere(v.data(), 0, sizeof(Vertex), &c, &r));
  EXPECT_FALSE(ComputeBoundingSphere(nullptr, 3, sizeof(Vertex), &c, &r));
}

TEST(MathColor, ArgbRoundTrip) {
  const ColorValue c = ArgbToColor(0x80FF4000u);
  EXPECT_FLOAT_EQ(c.r, 1.0f);
  EXPECT_NEAR(c.g, 64 / 255.0f, 1e-7f);
  EXPECT_FLOAT_EQ(c.b, 0.0f);
  EXPECT_NEAR(c.a, 128 / 255.0f, 1e-7f);
  for (Argb v : {0x00000000u, 0xFFFFFFFFu, 0x80FF4000u, 0x12345678u})
    EXPECT_EQ(ColorToArgb(ArgbToColor(v)), v);
  EXPECT_EQ(ColorToArgb({2.0f, -1.0f, 0.5f, 1.0f}), 0xFFFF0080u);
  EXPECT_EQ(MakeArgb(255, 1, 2, 3), 0xFF010203u);
}
