#pragma once
// Vector, matrix and quaternion maths in the conventions the game was written
// for: row vectors (v' = v * M, A * B applies A first), left-handed, y up,
// translation in the fourth row, perspective depth 0..1.
#include <cstdint>

namespace port {

struct Vec2 {
  float x = 0, y = 0;
};

struct Vec3 {
  float x = 0, y = 0, z = 0;
  Vec3() = default;
  constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
  Vec3 operator/(float s) const { return {x / s, y / s, z / s}; }
  Vec3 operator-() const { return {-x, -y, -z}; }
  Vec3& operator+=(const Vec3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  Vec3& operator-=(const Vec3& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
  }
  Vec3& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  bool operator==(const Vec3& o) const = default;
};

struct Vec4 {
  float x = 0, y = 0, z = 0, w = 0;
  bool operator==(const Vec4& o) const = default;
};

// Quaternion stored (x, y, z, w).
struct Quat {
  float x = 0, y = 0, z = 0, w = 1;
  bool operator==(const Quat& o) const = default;
};

// Colour as four floats (r, g, b, a).
struct ColorValue {
  float r = 0, g = 0, b = 0, a = 0;
  bool operator==(const ColorValue& o) const = default;
};

// 32-bit colour 0xAARRGGBB.
using Argb = uint32_t;
constexpr Argb MakeArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
ColorValue ArgbToColor(Argb c);
Argb ColorToArgb(const ColorValue& c);

struct Matrix {
  // m[row][col]; the 16 floats in memory are also the column-major layout of
  // the same transform for column-vector shaders (upload without transposing).
  float m[4][4] = {};
  float& operator()(int r, int c) { return m[r][c]; }
  float operator()(int r, int c) const { return m[r][c]; }
  bool operator==(const Matrix& o) const;
  Matrix operator*(const Matrix& o) const;  // MatrixMultiply(*this, o)
  static Matrix Identity();
};

Matrix MatrixIdentity();
Matrix MatrixMultiply(const Matrix& a, const Matrix& b);  // a then b
Matrix MatrixTranspose(const Matrix& m);
// General 4x4 inverse; returns false (and leaves *out untouched) when singular.
bool MatrixInverse(const Matrix& m, Matrix* out, float* determinant = nullptr);
Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixScaling(float x, float y, float z);
Matrix MatrixRotationX(float radians);
Matrix MatrixRotationY(float radians);
Matrix MatrixRotationZ(float radians);
// RotZ(roll) * RotX(pitch) * RotY(yaw).
Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll);
Matrix MatrixRotationQuaternion(const Quat& q);
Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up);
Matrix MatrixPerspectiveFovLH(float fovy, float aspect, float zn, float zf);

float Vec3Dot(const Vec3& a, const Vec3& b);
Vec3 Vec3Cross(const Vec3& a, const Vec3& b);
float Vec3Length(const Vec3& v);
float Vec3LengthSq(const Vec3& v);
Vec3 Vec3Normalize(const Vec3& v);  // the zero vector stays zero
Vec4 Vec4Normalize(const Vec4& v);
Vec4 Vec3Transform(const Vec3& v, const Matrix& m);        // (v,1)*M, no divide
Vec3 Vec3TransformCoord(const Vec3& v, const Matrix& m);   // (v,1)*M, divided by w
Vec3 Vec3TransformNormal(const Vec3& v, const Matrix& m);  // (v,0)*M
Vec4 Vec4Transform(const Vec4& v, const Matrix& m);

Quat QuatMultiply(const Quat& a, const Quat& b);  // rotation a then b
Quat QuatInverse(const Quat& q);
Quat QuatLn(const Quat& q);
Quat QuatExp(const Quat& q);
float QuatDot(const Quat& a, const Quat& b);
Quat QuatSlerp(const Quat& a, const Quat& b, float t);
void QuatSquadSetup(Quat* a, Quat* b, Quat* c, const Quat& q0, const Quat& q1, const Quat& q2,
                    const Quat& q3);
Quat QuatSquad(const Quat& q1, const Quat& a, const Quat& b, const Quat& c, float t);

// Centre = mean of the positions, radius = largest distance from it.
// positions points at the first position; stride is in bytes.
bool ComputeBoundingSphere(const void* positions, uint32_t count, uint32_t strideBytes,
                           Vec3* centre, float* radius);

}  // namespace port
