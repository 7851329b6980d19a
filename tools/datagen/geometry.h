#pragma once
// Vectors, matrices (row vectors, v' = v x M, as the game's maths) and the
// meshes the models are built from.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "datagen/xwriter.h"

namespace datagen {

constexpr float kPi = 3.14159265358979f;
inline float Rad(float deg) { return deg * kPi / 180.0f; }

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 Normalize(Vec3 a) {
  float l = std::sqrt(Dot(a, a));
  return l > 0 ? a * (1.0f / l) : Vec3{0, 1, 0};
}

struct Mat4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  static Mat4 Translation(Vec3 t);
  static Mat4 RotX(float rad);
  static Mat4 RotY(float rad);
  static Mat4 RotZ(float rad);
  static Mat4 Scale(Vec3 s);
  Vec3 Point(Vec3 v) const;
  Vec3 Dir(Vec3 v) const;
  Mat4 RigidInverse() const;  // rotation and translation only
};
Mat4 operator*(const Mat4& a, const Mat4& b);

struct Quat {
  float x = 0, y = 0, z = 0, w = 1;
};
// The quaternion whose rotation matrix (game convention) is m's rotation.
Quat QuatFromMatrix(const Mat4& m);

struct Material {
  float r = 1, g = 1, b = 1, a = 1;
  float power = 8;
  float sr = 0.2f, sg = 0.2f, sb = 0.2f;
  float er = 0, eg = 0, eb = 0;
  std::string texture;  // relative to the game's working folder
};
// Lit material with a little self-light so that no side is black.
Material Paint(uint32_t rgb, float glow = 0.25f);
// Unlit-looking material for objects drawn without lights.
Material Glow(uint32_t rgb, float alpha = 1.0f);

struct Mesh {
  std::vector<Vec3> pos, nrm;
  std::vector<float> u, v;
  std::vector<int> bone;  // per vertex, -1 for none
  std::vector<std::array<uint32_t, 3>> tris;
  std::vector<uint32_t> triMat;
  std::vector<Material> mats;

  int AddMaterial(const Material& m);
  uint32_t Vertex(Vec3 p, Vec3 n, float tu, float tv, int boneIndex);
  // A triangle wound so that (b - a) x (c - a) points along outward.
  void Tri(uint32_t a, uint32_t b, uint32_t c, Vec3 outward, int mat);
  // Flat quad a b c d (in order around its edge) facing outward.
  void Quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 outward, int mat, int bone = -1,
            float uvScale = 1.0f);
  void Box(Vec3 center, Vec3 half, int mat, int bone = -1, float uvScale = 1.0f);
  // Solid of revolution about the y axis through base: radius r(t) at
  // height h*t, t from 0 to 1, sampled at `rings` + 1 heights.
  void Lathe(Vec3 base, float height, const std::vector<float>& radii, int slices, int mat,
             int bone = -1, bool inward = false);
  void Sphere(Vec3 c, Vec3 radii, int slices, int stacks, int mat, int bone = -1);
  void Cylinder(Vec3 base, float r, float h, int slices, int mat, int bone = -1);
  // Ring around the z axis (in the x-y plane).
  void Torus(Vec3 c, float big, float small, int slices, int sides, int mat);
  void Transform(const Mat4& m, size_t firstVertex = 0);
};

struct SkinBone {
  std::string frame;
  Mat4 offset;  // model space to the bone's bind space
};

// The Mesh data object; with bones, the skin (each vertex on one bone).
XNode MeshNode(const Mesh& mesh, const std::string& name,
               const std::vector<SkinBone>* bones = nullptr);
XNode MatrixNode(const Mat4& m);

}  // namespace datagen
