#include "platform/MathHelpers.h"

#include <cmath>
#include <cstdint>

#include "port/random.h"

using port::Matrix;
using port::Vec3;
using port::Vec4;

namespace {

// The float nearest 1/32767 (2^-15 + 2^-30).
constexpr float kRandScale = 3.0518509e-5f;

Vec4 OriginInClip(const Matrix& world, const Matrix& view, const Matrix& projection) {
  const Matrix m = port::MatrixMultiply(port::MatrixMultiply(world, view), projection);
  return {m(3, 0), m(3, 1), m(3, 2), m(3, 3)};
}

float Wrap360(float a) {
  float r = static_cast<float>(std::fmod(a, 360.0));
  if (r < 0.0f) r += 360.0f;
  return r;
}

}  // namespace

Vec3 ProjectToScreen(Matrix world, Matrix view, Matrix projection, Vec3* out) {
  const Vec4 c = OriginInClip(world, view, projection);
  const Vec3 r{(c.x / c.w + 1.0f) * 320.0f, (1.0f - c.y / c.w) * 240.0f, c.z};
  if (out) *out = r;
  return r;
}

Vec3 ProjectToClip(Matrix world, Matrix view, Matrix projection, Vec3* out) {
  const Vec4 c = OriginInClip(world, view, projection);
  const Vec3 r{c.x / c.w, c.y / c.w, c.z};
  if (out) *out = r;
  return r;
}

Vec4 ProjectToClipW(Matrix world, Matrix view, Matrix projection, Vec4* out) {
  const Vec4 c = OriginInClip(world, view, projection);
  const Vec4 r{c.x / c.w, c.y / c.w, c.z, c.w};
  if (out) *out = r;
  return r;
}

Vec3 MatrixOrigin(Matrix m, Vec3* out) {
  const Matrix t = port::MatrixTranspose(m);
  const Vec3 r{t(0, 3), t(1, 3), t(2, 3)};
  if (out) *out = r;
  return r;
}

double Distance3(float x1, float y1, float z1, float x2, float y2, float z2) {
  return std::sqrt(std::pow(static_cast<double>(z1 - z2), 2.0) +
                   std::pow(static_cast<double>(y1 - y2), 2.0) +
                   std::pow(static_cast<double>(x1 - x2), 2.0));
}

Vec3 DirectionFromAngles(float angleX, float angleY, float angleZ) {
  const Matrix rx = port::MatrixRotationX(angleX * kDegToRad);
  const Matrix ry = port::MatrixRotationY(angleY * kDegToRad);
  const Matrix rz = port::MatrixRotationZ(angleZ * kDegToRad);
  const Matrix f = port::MatrixMultiply(port::MatrixMultiply(rz, rx), ry);
  const Vec4 v = port::Vec3Transform({0.0f, 0.0f, 1.0f}, f);
  return {v.x, v.y, v.z};
}

Vec3 DirectionTo(float x1, float y1, float z1, float x2, float y2, float z2) {
  return port::Vec3Normalize({x2 - x1, y2 - y1, z2 - z1});
}

float YawTo(float x1, float z1, float x2, float z2) {
  if (x2 == x1 && z2 == z1) return 0.0f;
  // The differences stay float so that a signed zero reaches atan2: it decides
  // between 450 and 90 for a heading along x.
  const float dz = z2 - z1;
  const float dx = x1 - x2;
  const double theta = std::atan2(static_cast<double>(dz), static_cast<double>(dx)) * kRadToDeg;
  if (z2 > z1 && x2 > x1) return static_cast<float>(theta - 90.0);
  return static_cast<float>(theta + 270.0);
}

float YawOfVector(float x, float /*y*/, float z) {
  if (x == 0.0f && z == 0.0f) return 0.0f;
  const float nx = -x;
  const double theta = std::atan2(static_cast<double>(z), static_cast<double>(nx)) * kRadToDeg;
  if (z >= 0.0f && x > 0.0f) return static_cast<float>(theta - 90.0);
  return static_cast<float>(theta + 270.0);
}

void AnglesOfVector(float x, float y, float z, float* pitchOut, float* yawOut) {
  if (yawOut) *yawOut = YawOfVector(x, y, z);
  if (pitchOut) {
    const float h = static_cast<float>(Distance3(0.0f, 0.0f, 0.0f, x, 0.0f, z));
    *pitchOut = 90.0f - YawTo(0.0f, 0.0f, h, -y);
  }
}

float TurnToward(float target, float current, float maxStep) {
  return TurnTowardInner(Wrap360(target), Wrap360(current), maxStep);
}

float TurnTowardInner(float t, float c, float s) {
  const float d = std::fabs(t - c);
  float r = c;
  if (s > d) {
    r = t;
  } else if (c >= 0.0f && c < 180.0f) {
    if (c <= t && t <= c + 180.0f) {
      r = c + s;
    } else if (c > s) {
      r = c - s;
    } else {
      const float v = c - s + 360.0f;
      r = v > t ? v : t;
    }
  } else {
    if (c - 180.0f <= t && t <= c) {
      r = c - s;
    } else if (t > c) {
      r = c + s;
    } else if (t < c - 180.0f) {
      r = c + s;  // upward through 360
    }
  }
  return static_cast<float>(std::fmod(r, 360.0));
}

float Approach(float target, float current, float step) {
  if (step > std::fabs(target - current)) return target;
  return target > current ? current + step : current - step;
}

Vec3 ApproachVector(float targetX, float targetY, float targetZ, float currentX, float currentY,
                    float currentZ, float step) {
  return {Approach(targetX, currentX, step), Approach(targetY, currentY, step),
          Approach(targetZ, currentZ, step)};
}

float AngleDistance(float a, float b) {
  const float d = std::fabs(Wrap360(a) - Wrap360(b));
  return d <= 180.0f ? d : 360.0f - d;
}

float RandomFloat(float a, float b) {
  // Each product rounded to single precision, in this order: the top draw
  // lands on a*b exactly.
  float t = static_cast<float>(port::CrtRand()) * a;
  t = t * kRandScale;
  t = t * b;
  return t;
}

int RandomInt(int n) {
  const int64_t p = static_cast<int64_t>(port::CrtRand()) * n;
  // One rounding to single precision of the exact product, as the game's
  // single-precision FPU did; this is what makes the top draw give n.
  float f;
  if (p > -(int64_t{1} << 31) && p < (int64_t{1} << 31)) {
    // Up to 31 bits times the two-bit constant is exact in double.
    f = static_cast<float>(static_cast<double>(p) * static_cast<double>(kRandScale));
  } else {
    f = static_cast<float>(static_cast<long double>(p) * static_cast<long double>(kRandScale));
  }
  if (f >= 2147483648.0f) return INT32_MAX;
  if (f < -2147483648.0f) return INT32_MIN;
  return static_cast<int>(f);
}
