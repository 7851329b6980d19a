#include "port/math.h"

#include <cmath>
#include <cstring>

namespace port {

// ---------------------------------------------------------------- colours

ColorValue ArgbToColor(Argb c) {
  constexpr float k = 1.0f / 255.0f;
  return {static_cast<float>((c >> 16) & 0xFF) * k, static_cast<float>((c >> 8) & 0xFF) * k,
          static_cast<float>(c & 0xFF) * k, static_cast<float>((c >> 24) & 0xFF) * k};
}

namespace {
uint32_t ChannelToByte(float v) {
  if (!(v > 0.0f)) return 0;  // also catches NaN
  if (v >= 1.0f) return 255;
  return static_cast<uint32_t>(v * 255.0f + 0.5f);
}
}  // namespace

Argb ColorToArgb(const ColorValue& c) {
  return MakeArgb(ChannelToByte(c.a), ChannelToByte(c.r), ChannelToByte(c.g), ChannelToByte(c.b));
}

// ---------------------------------------------------------------- matrices

bool Matrix::operator==(const Matrix& o) const {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m[r][c] != o.m[r][c]) return false;
  return true;
}

Matrix Matrix::operator*(const Matrix& o) const { return MatrixMultiply(*this, o); }

Matrix Matrix::Identity() { return MatrixIdentity(); }

Matrix MatrixIdentity() {
  Matrix r;
  r.m[0][0] = r.m[1][1] = r.m[2][2] = r.m[3][3] = 1.0f;
  return r;
}

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
  return r;
}

Matrix MatrixTranspose(const Matrix& m) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[j][i];
  return r;
}

bool MatrixInverse(const Matrix& mat, Matrix* out, float* determinant) {
  // Cofactor expansion through 2x2 sub-determinants, done in double so that
  // projective matrices (inverse of view*projection) keep their precision.
  double a[16];
  for (int i = 0; i < 16; ++i) a[i] = mat.m[i / 4][i % 4];
  const double s0 = a[0] * a[5] - a[4] * a[1];
  const double s1 = a[0] * a[6] - a[4] * a[2];
  const double s2 = a[0] * a[7] - a[4] * a[3];
  const double s3 = a[1] * a[6] - a[5] * a[2];
  const double s4 = a[1] * a[7] - a[5] * a[3];
  const double s5 = a[2] * a[7] - a[6] * a[3];
  const double c5 = a[10] * a[15] - a[14] * a[11];
  const double c4 = a[9] * a[15] - a[13] * a[11];
  const double c3 = a[9] * a[14] - a[13] * a[10];
  const double c2 = a[8] * a[15] - a[12] * a[11];
  const double c1 = a[8] * a[14] - a[12] * a[10];
  const double c0 = a[8] * a[13] - a[12] * a[9];
  const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (determinant) *determinant = static_cast<float>(det);
  if (det == 0.0 || !std::isfinite(det)) return false;
  const double inv = 1.0 / det;
  double b[16];
  b[0] = (a[5] * c5 - a[6] * c4 + a[7] * c3) * inv;
  b[1] = (-a[1] * c5 + a[2] * c4 - a[3] * c3) * inv;
  b[2] = (a[13] * s5 - a[14] * s4 + a[15] * s3) * inv;
  b[3] = (-a[9] * s5 + a[10] * s4 - a[11] * s3) * inv;
  b[4] = (-a[4] * c5 + a[6] * c2 - a[7] * c1) * inv;
  b[5] = (a[0] * c5 - a[2] * c2 + a[3] * c1) * inv;
  b[6] = (-a[12] * s5 + a[14] * s2 - a[15] * s1) * inv;
  b[7] = (a[8] * s5 - a[10] * s2 + a[11] * s1) * inv;
  b[8] = (a[4] * c4 - a[5] * c2 + a[7] * c0) * inv;
  b[9] = (-a[0] * c4 + a[1] * c2 - a[3] * c0) * inv;
  b[10] = (a[12] * s4 - a[13] * s2 + a[15] * s0) * inv;
  b[11] = (-a[8] * s4 + a[9] * s2 - a[11] * s0) * inv;
  b[12] = (-a[4] * c3 + a[5] * c1 - a[6] * c0) * inv;
  b[13] = (a[0] * c3 - a[1] * c1 + a[2] * c0) * inv;
  b[14] = (-a[12] * s3 + a[13] * s1 - a[14] * s0) * inv;
  b[15] = (a[8] * s3 - a[9] * s1 + a[10] * s0) * inv;
  for (int i = 0; i < 16; ++i) out->m[i / 4][i % 4] = static_cast<float>(b[i]);
  return true;
}

Matrix MatrixTranslation(float x, float y, float z) {
  Matrix r = MatrixIdentity();
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Matrix MatrixScaling(float x, float y, float z) {
  Matrix r;
  r.m[0][0] = x;
  r.m[1][1] = y;
  r.m[2][2] = z;
  r.m[3][3] = 1.0f;
  return r;
}

Matrix MatrixRotationX(float a) {
  const float c = std::cos(a), s = std::sin(a);
  Matrix r = MatrixIdentity();
  r.m[1][1] = c;
  r.m[1][2] = s;
  r.m[2][1] = -s;
  r.m[2][2] = c;
  return r;
}

Matrix MatrixRotationY(float a) {
  const float c = std::cos(a), s = std::sin(a);
  Matrix r = MatrixIdentity();
  r.m[0][0] = c;
  r.m[0][2] = -s;
  r.m[2][0] = s;
  r.m[2][2] = c;
  return r;
}

Matrix MatrixRotationZ(float a) {
  const float c = std::cos(a), s = std::sin(a);
  Matrix r = MatrixIdentity();
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll) {
  return MatrixMultiply(MatrixMultiply(MatrixRotationZ(roll), MatrixRotationX(pitch)),
                        MatrixRotationY(yaw));
}

Matrix MatrixRotationQuaternion(const Quat& q) {
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  Matrix r = MatrixIdentity();
  r.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
  r.m[0][1] = 2.0f * (x * y + z * w);
  r.m[0][2] = 2.0f * (x * z - y * w);
  r.m[1][0] = 2.0f * (x * y - z * w);
  r.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
  r.m[1][2] = 2.0f * (y * z + x * w);
  r.m[2][0] = 2.0f * (x * z + y * w);
  r.m[2][1] = 2.0f * (y * z - x * w);
  r.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
  return r;
}

Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
  const Vec3 z = Vec3Normalize(at - eye);
  const Vec3 x = Vec3Normalize(Vec3Cross(up, z));
  const Vec3 y = Vec3Cross(z, x);
  Matrix r;
  r.m[0][0] = x.x;
  r.m[0][1] = y.x;
  r.m[0][2] = z.x;
  r.m[0][3] = 0.0f;
  r.m[1][0] = x.y;
  r.m[1][1] = y.y;
  r.m[1][2] = z.y;
  r.m[1][3] = 0.0f;
  r.m[2][0] = x.z;
  r.m[2][1] = y.z;
  r.m[2][2] = z.z;
  r.m[2][3] = 0.0f;
  r.m[3][0] = -Vec3Dot(x, eye);
  r.m[3][1] = -Vec3Dot(y, eye);
  r.m[3][2] = -Vec3Dot(z, eye);
  r.m[3][3] = 1.0f;
  return r;
}

Matrix MatrixPerspectiveFovLH(float fovy, float aspect, float zn, float zf) {
  const float ys = 1.0f / std::tan(fovy * 0.5f);
  const float xs = ys / aspect;
  const float q = zf / (zf - zn);
  Matrix r;
  r.m[0][0] = xs;
  r.m[1][1] = ys;
  r.m[2][2] = q;
  r.m[2][3] = 1.0f;
  r.m[3][2] = -zn * q;
  return r;
}

// ---------------------------------------------------------------- vectors

float Vec3Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 Vec3Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Vec3LengthSq(const Vec3& v) { return Vec3Dot(v, v); }
float Vec3Length(const Vec3& v) { return std::sqrt(Vec3LengthSq(v)); }

Vec3 Vec3Normalize(const Vec3& v) {
  const float len = Vec3Length(v);
  if (len == 0.0f) return {0.0f, 0.0f, 0.0f};
  return v / len;
}

Vec4 Vec4Normalize(const Vec4& v) {
  const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + v.w * v.w);
  if (len == 0.0f) return {};
  return {v.x / len, v.y / len, v.z / len, v.w / len};
}

Vec4 Vec4Transform(const Vec4& v, const Matrix& m) {
  Vec4 r;
  r.x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + v.w * m.m[3][0];
  r.y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + v.w * m.m[3][1];
  r.z = v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + v.w * m.m[3][2];
  r.w = v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + v.w * m.m[3][3];
  return r;
}

Vec4 Vec3Transform(const Vec3& v, const Matrix& m) {
  return Vec4Transform({v.x, v.y, v.z, 1.0f}, m);
}

Vec3 Vec3TransformCoord(const Vec3& v, const Matrix& m) {
  const Vec4 r = Vec3Transform(v, m);
  return {r.x / r.w, r.y / r.w, r.z / r.w};
}

Vec3 Vec3TransformNormal(const Vec3& v, const Matrix& m) {
  const Vec4 r = Vec4Transform({v.x, v.y, v.z, 0.0f}, m);
  return {r.x, r.y, r.z};
}

// ---------------------------------------------------------------- quaternions

Quat QuatMultiply(const Quat& a, const Quat& b) {
  Quat r;
  r.x = b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y;
  r.y = b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x;
  r.z = b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w;
  r.w = b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z;
  return r;
}

float QuatDot(const Quat& a, const Quat& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

Quat QuatInverse(const Quat& q) {
  const float n = QuatDot(q, q);
  if (n == 0.0f) return {0.0f, 0.0f, 0.0f, 0.0f};
  return {-q.x / n, -q.y / n, -q.z / n, q.w / n};
}

Quat QuatLn(const Quat& q) {
  float t = 1.0f;
  // Identity (and anything rounded past it) has no axis: the log is zero.
  if (q.w < 1.0f && q.w > -1.0f) {
    const float s = std::sqrt(1.0f - q.w * q.w);
    if (s > 0.0f) t = std::acos(q.w) / s;
  }
  return {t * q.x, t * q.y, t * q.z, 0.0f};
}

Quat QuatExp(const Quat& q) {
  const float theta = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (theta == 0.0f) return {0.0f, 0.0f, 0.0f, 1.0f};
  const float k = std::sin(theta) / theta;
  return {k * q.x, k * q.y, k * q.z, std::cos(theta)};
}

Quat QuatSlerp(const Quat& a, const Quat& b, float t) {
  float d = QuatDot(a, b);
  float sign = 1.0f;
  if (d < 0.0f) {
    d = -d;
    sign = -1.0f;
  }
  float wa, wb;
  if (1.0f - d <= 0.001f) {
    wa = 1.0f - t;
    wb = t;
  } else {
    const float theta = std::acos(d);
    const float st = std::sin(theta);
    wa = std::sin((1.0f - t) * theta) / st;
    wb = std::sin(t * theta) / st;
  }
  wb *= sign;
  return {wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
}

namespace {
Quat Neg(const Quat& q) { return {-q.x, -q.y, -q.z, -q.w}; }
Quat Add(const Quat& a, const Quat& b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
Quat Scale(const Quat& q, float s) { return {q.x * s, q.y * s, q.z * s, q.w * s}; }
}  // namespace

void QuatSquadSetup(Quat* outA, Quat* outB, Quat* outC, const Quat& q0, const Quat& q1,
                    const Quat& q2, const Quat& q3) {
  const Quat p0 = QuatDot(q0, q1) < 0.0f ? Neg(q0) : q0;
  const Quat c = QuatDot(q1, q2) < 0.0f ? Neg(q2) : q2;
  const Quat p3 = QuatDot(c, q3) < 0.0f ? Neg(q3) : q3;

  const Quat q1Inv = QuatInverse(q1);
  const Quat a = QuatMultiply(
      q1,
      QuatExp(Scale(Add(QuatLn(QuatMultiply(q1Inv, p0)), QuatLn(QuatMultiply(q1Inv, c))), -0.25f)));
  const Quat cInv = QuatInverse(c);
  const Quat b = QuatMultiply(
      c,
      QuatExp(Scale(Add(QuatLn(QuatMultiply(cInv, q1)), QuatLn(QuatMultiply(cInv, p3))), -0.25f)));
  *outA = a;
  *outB = b;
  *outC = c;
}

Quat QuatSquad(const Quat& q1, const Quat& a, const Quat& b, const Quat& c, float t) {
  return QuatSlerp(QuatSlerp(q1, c, t), QuatSlerp(a, b, t), 2.0f * t * (1.0f - t));
}

// ---------------------------------------------------------------- bounds

bool ComputeBoundingSphere(const void* positions, uint32_t count, uint32_t strideBytes,
                           Vec3* centre, float* radius) {
  if (!positions || !centre || !radius || count == 0 || strideBytes < sizeof(float) * 3)
    return false;
  const auto* base = static_cast<const unsigned char*>(positions);
  auto at = [&](uint32_t i) {
    float p[3];
    std::memcpy(p, base + static_cast<size_t>(i) * strideBytes, sizeof p);
    return Vec3{p[0], p[1], p[2]};
  };
  Vec3 sum{0.0f, 0.0f, 0.0f};
  for (uint32_t i = 0; i < count; ++i) sum += at(i);
  const Vec3 c = sum / static_cast<float>(count);
  float r2 = 0.0f;
  for (uint32_t i = 0; i < count; ++i) {
    const float d = Vec3LengthSq(at(i) - c);
    if (d > r2) r2 = d;
  }
  *centre = c;
  *radius = std::sqrt(r2);
  return true;
}

}  // namespace port
