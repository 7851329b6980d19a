#pragma once
// Small .X models and animation files written by the tests themselves.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/x_writer.h"

namespace modeltest {

inline const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

inline std::vector<float> Translation(float x, float y, float z) {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

// A file in this process's own scratch folder, removed when the process ends.
inline std::string WriteFile(const std::string& name, const std::string& content) {
  static const testsupport::TempDir dir;
  return dir.Write(name, content);
}

inline void Frame(xtest::XWriter& w, const std::string& name, const std::vector<float>& matrix) {
  w.Begin("Frame", name);
  w.Begin("FrameTransformMatrix");
  w.Floats(matrix);
  w.End();
}

// A slab 1 wide and 2 high in the x-y plane facing -z, rows every 0.5 from
// y = 0, skinned to Bone1 (at the origin) below y = 1 and Bone2 (at y = 1,
// a child of Bone1) above; the row at y = 1 is shared half and half.
struct ArmOptions {
  bool ownAnimation = false;      // the file brings a set bending Bone2
  uint32_t headerBones = 2;       // XSkinMeshHeader's bone count
  uint32_t extraWeightIndex = 0;  // nonzero: Bone2 also weights this vertex
  std::string bone2Name = "Bone2";
  bool rigidHand = false;  // an unskinned square hung on Bone2, 1 above it
};

// A rigid square 0.6 wide lying in its frame's x-y plane from y = 1 to 1.6.
inline void WriteHand(xtest::XWriter& w) {
  w.Begin("Mesh", "Hand");
  w.Int(4);
  w.Floats({-0.3f, 1, 0, -0.3f, 1.6f, 0, 0.3f, 1.6f, 0, 0.3f, 1, 0});
  w.Int(2);
  w.Ints({3, 0, 1, 2, 3, 0, 2, 3});
  w.Begin("MeshNormals", "");
  w.Int(1);
  w.Floats({0, 0, -1});
  w.Int(2);
  w.Ints({3, 0, 0, 0, 3, 0, 0, 0});
  w.End();
  w.End();
}

inline void WriteArmMesh(xtest::XWriter& w, const ArmOptions& o) {
  const uint32_t rows = 5;
  w.Begin("Mesh", "Body");
  w.Int(rows * 2);
  std::vector<float> pos;
  for (uint32_t r = 0; r < rows; ++r) {
    const float y = 0.5f * static_cast<float>(r);
    pos.insert(pos.end(), {-0.5f, y, 0.0f, 0.5f, y, 0.0f});
  }
  w.Floats(pos);
  w.Int((rows - 1) * 2);
  std::vector<uint32_t> faces;
  for (uint32_t r = 0; r + 1 < rows; ++r) {
    const uint32_t a = r * 2;  // (left, right) of this row, then of the next
    faces.insert(faces.end(), {3, a, a + 2, a + 3, 3, a, a + 3, a + 1});
  }
  w.Ints(faces);
  w.Begin("MeshNormals");
  w.Int(1);
  w.Floats({0, 0, -1});
  w.Int((rows - 1) * 2);
  std::vector<uint32_t> nf;
  for (uint32_t f = 0; f < (rows - 1) * 2; ++f) nf.insert(nf.end(), {3, 0, 0, 0});
  w.Ints(nf);
  w.End();
  w.Begin("MeshTextureCoords");
  w.Int(rows * 2);
  std::vector<float> uv;
  for (uint32_t r = 0; r < rows; ++r) uv.insert(uv.end(), {0, 1 - 0.25f * r, 1, 1 - 0.25f * r});
  w.Floats(uv);
  w.End();
  w.Begin("MeshMaterialList");
  w.Ints({1, (rows - 1) * 2});
  w.Ints(std::vector<uint32_t>((rows - 1) * 2, 0));
  w.Begin("Material", "Skin");
  w.Floats({1, 0.8f, 0.6f, 1, 8, 0, 0, 0, 0.2f, 0.2f, 0.2f});
  w.End();
  w.End();
  w.Begin("XSkinMeshHeader");
  w.Ints({2, 4, o.headerBones});
  w.End();
  w.Begin("SkinWeights");
  w.String("Bone1");
  w.Int(6);
  w.Ints({0, 1, 2, 3, 4, 5});
  w.Floats({1, 1, 1, 1, 0.5f, 0.5f});
  w.Floats(kIdentity);
  w.End();
  w.Begin("SkinWeights");
  w.String(o.bone2Name);
  std::vector<uint32_t> v2 = {4, 5, 6, 7, 8, 9};
  std::vector<float> w2 = {0.5f, 0.5f, 1, 1, 1, 1};
  if (o.extraWeightIndex) {
    v2.push_back(o.extraWeightIndex);
    w2.push_back(0.25f);
  }
  w.Int(static_cast<uint32_t>(v2.size()));
  w.Ints(v2);
  w.Floats(w2);
  w.Floats(Translation(0, -1, 0));
  w.End();
  w.End();  // Mesh
}

// One animation of frame `target`: rotation keys about z (degrees) at the given times.
inline void WriteBend(xtest::XWriter& w, const std::string& target,
                      const std::vector<uint32_t>& times, const std::vector<float>& degrees) {
  w.Begin("Animation", "");
  w.Ref(target);
  w.Begin("AnimationKey");
  w.Ints({0, static_cast<uint32_t>(times.size())});
  for (size_t i = 0; i < times.size(); ++i) {
    const float h = degrees[i] * 3.14159265f / 360.0f;  // half angle
    w.Ints({times[i], 4});
    w.Floats({std::cos(h), 0, 0, std::sin(h)});
  }
  w.End();
  w.End();
}

inline std::string ArmModel(const ArmOptions& o = {}) {
  xtest::TextWriter w;
  Frame(w, "Root", kIdentity);
  Frame(w, "Bone1", kIdentity);
  Frame(w, "Bone2", Translation(0, 1, 0));
  if (o.rigidHand) WriteHand(w);
  w.End();
  w.End();
  WriteArmMesh(w, o);
  w.End();
  if (o.ownAnimation) {
    w.Begin("AnimationSet", "Own");
    WriteBend(w, "Bone2", {0, 20}, {0, 90});
    w.End();
  }
  return w.Finish();
}

// An animation file with one set bending Bone2 evenly to `degrees` at time
// `length`, with a key half way.
inline std::string BendFile(float degrees, uint32_t length, const std::string& target = "Bone2") {
  xtest::TextWriter w;
  w.Begin("AnimationSet", "Bend");
  WriteBend(w, target, {0, length / 2, length}, {0, degrees / 2, degrees});
  w.End();
  return w.Finish();
}

}  // namespace modeltest
