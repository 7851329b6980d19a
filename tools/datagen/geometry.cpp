#include "datagen/geometry.h"

#include <map>

namespace datagen {

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

Mat4 Mat4::Translation(Vec3 t) {
  Mat4 r;
  r.m[3][0] = t.x;
  r.m[3][1] = t.y;
  r.m[3][2] = t.z;
  return r;
}

Mat4 Mat4::RotX(float a) {
  Mat4 r;
  float c = std::cos(a), s = std::sin(a);
  r.m[1][1] = c;
  r.m[1][2] = s;
  r.m[2][1] = -s;
  r.m[2][2] = c;
  return r;
}

Mat4 Mat4::RotY(float a) {
  Mat4 r;
  float c = std::cos(a), s = std::sin(a);
  r.m[0][0] = c;
  r.m[0][2] = -s;
  r.m[2][0] = s;
  r.m[2][2] = c;
  return r;
}

Mat4 Mat4::RotZ(float a) {
  Mat4 r;
  float c = std::cos(a), s = std::sin(a);
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

Mat4 Mat4::Scale(Vec3 s) {
  Mat4 r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  return r;
}

Vec3 Mat4::Point(Vec3 v) const {
  return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0] + m[3][0],
          v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1] + m[3][1],
          v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2] + m[3][2]};
}

Vec3 Mat4::Dir(Vec3 v) const {
  return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0],
          v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
          v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}

Mat4 Mat4::RigidInverse() const {
  Mat4 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = m[j][i];
  Vec3 t{m[3][0], m[3][1], m[3][2]};
  for (int j = 0; j < 3; ++j) r.m[3][j] = -(t.x * r.m[0][j] + t.y * r.m[1][j] + t.z * r.m[2][j]);
  return r;
}

Quat QuatFromMatrix(const Mat4& a) {
  const auto& m = a.m;
  Quat q;
  float tr = m[0][0] + m[1][1] + m[2][2];
  if (tr > 0) {
    float s = std::sqrt(tr + 1.0f) * 2.0f;
    q.w = 0.25f * s;
    q.x = (m[1][2] - m[2][1]) / s;
    q.y = (m[2][0] - m[0][2]) / s;
    q.z = (m[0][1] - m[1][0]) / s;
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    float s = std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]) * 2.0f;
    q.w = (m[1][2] - m[2][1]) / s;
    q.x = 0.25f * s;
    q.y = (m[0][1] + m[1][0]) / s;
    q.z = (m[2][0] + m[0][2]) / s;
  } else if (m[1][1] > m[2][2]) {
    float s = std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]) * 2.0f;
    q.w = (m[2][0] - m[0][2]) / s;
    q.x = (m[0][1] + m[1][0]) / s;
    q.y = 0.25f * s;
    q.z = (m[1][2] + m[2][1]) / s;
  } else {
    float s = std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]) * 2.0f;
    q.w = (m[0][1] - m[1][0]) / s;
    q.x = (m[2][0] + m[0][2]) / s;
    q.y = (m[1][2] + m[2][1]) / s;
    q.z = 0.25f * s;
  }
  return q;
}

static void Rgb(uint32_t rgb, float& r, float& g, float& b) {
  r = ((rgb >> 16) & 0xFF) / 255.0f;
  g = ((rgb >> 8) & 0xFF) / 255.0f;
  b = (rgb & 0xFF) / 255.0f;
}

Material Paint(uint32_t rgb, float glow) {
  Material m;
  Rgb(rgb, m.r, m.g, m.b);
  m.er = m.r * glow;
  m.eg = m.g * glow;
  m.eb = m.b * glow;
  return m;
}

Material Glow(uint32_t rgb, float alpha) {
  Material m;
  Rgb(rgb, m.r, m.g, m.b);
  m.a = alpha;
  m.er = m.r;
  m.eg = m.g;
  m.eb = m.b;
  return m;
}

int Mesh::AddMaterial(const Material& m) {
  mats.push_back(m);
  return static_cast<int>(mats.size()) - 1;
}

uint32_t Mesh::Vertex(Vec3 p, Vec3 n, float tu, float tv, int b) {
  pos.push_back(p);
  nrm.push_back(Normalize(n));
  u.push_back(tu);
  v.push_back(tv);
  bone.push_back(b);
  return static_cast<uint32_t>(pos.size() - 1);
}

void Mesh::Tri(uint32_t a, uint32_t b, uint32_t c, Vec3 outward, int mat) {
  Vec3 n = Cross(pos[b] - pos[a], pos[c] - pos[a]);
  if (Dot(n, outward) < 0) std::swap(b, c);
  tris.push_back({a, b, c});
  triMat.push_back(static_cast<uint32_t>(mat));
}

void Mesh::Quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 outward, int mat, int bn, float s) {
  uint32_t i0 = Vertex(a, outward, 0, s, bn), i1 = Vertex(b, outward, s, s, bn);
  uint32_t i2 = Vertex(c, outward, s, 0, bn), i3 = Vertex(d, outward, 0, 0, bn);
  Tri(i0, i1, i2, outward, mat);
  Tri(i0, i2, i3, outward, mat);
}

void Mesh::Box(Vec3 c, Vec3 h, int mat, int bn, float s) {
  auto P = [&](float sx, float sy, float sz) {
    return Vec3{c.x + sx * h.x, c.y + sy * h.y, c.z + sz * h.z};
  };
  Quad(P(-1, -1, 1), P(1, -1, 1), P(1, 1, 1), P(-1, 1, 1), {0, 0, 1}, mat, bn, s);
  Quad(P(1, -1, -1), P(-1, -1, -1), P(-1, 1, -1), P(1, 1, -1), {0, 0, -1}, mat, bn, s);
  Quad(P(1, -1, 1), P(1, -1, -1), P(1, 1, -1), P(1, 1, 1), {1, 0, 0}, mat, bn, s);
  Quad(P(-1, -1, -1), P(-1, -1, 1), P(-1, 1, 1), P(-1, 1, -1), {-1, 0, 0}, mat, bn, s);
  Quad(P(-1, 1, 1), P(1, 1, 1), P(1, 1, -1), P(-1, 1, -1), {0, 1, 0}, mat, bn, s);
  Quad(P(-1, -1, -1), P(1, -1, -1), P(1, -1, 1), P(-1, -1, 1), {0, -1, 0}, mat, bn, s);
}

void Mesh::Lathe(Vec3 base, float height, const std::vector<float>& radii, int slices, int mat,
                 int bn, bool inward) {
  int rings = static_cast<int>(radii.size()) - 1;
  uint32_t first = static_cast<uint32_t>(pos.size());
  for (int r = 0; r <= rings; ++r) {
    float y = height * static_cast<float>(r) / static_cast<float>(rings);
    // Slope of the outline gives the normal's vertical part.
    float r0 = radii[static_cast<size_t>(r > 0 ? r - 1 : r)];
    float r1 = radii[static_cast<size_t>(r < rings ? r + 1 : r)];
    float dy = height / static_cast<float>(rings) * static_cast<float>((r > 0) + (r < rings));
    for (int s = 0; s <= slices; ++s) {
      float a = 2 * kPi * static_cast<float>(s) / static_cast<float>(slices);
      Vec3 dir{std::sin(a), 0, std::cos(a)};
      Vec3 n = Normalize(Vec3{dir.x * dy, r0 - r1, dir.z * dy});
      if (inward) n = n * -1.0f;
      Vertex(base + Vec3{dir.x * radii[static_cast<size_t>(r)], y,
                         dir.z * radii[static_cast<size_t>(r)]},
             n, static_cast<float>(s) / static_cast<float>(slices),
             1.0f - static_cast<float>(r) / static_cast<float>(rings), bn);
    }
  }
  uint32_t row = static_cast<uint32_t>(slices + 1);
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < slices; ++s) {
      uint32_t a = first + static_cast<uint32_t>(r) * row + static_cast<uint32_t>(s);
      uint32_t b = a + 1, c = a + row, d = a + row + 1;
      Vec3 out = nrm[a] + nrm[b] + nrm[c] + nrm[d];
      // Degenerate triangles at a pole are skipped.
      if (radii[static_cast<size_t>(r)] > 0) Tri(a, b, d, out, mat);
      if (radii[static_cast<size_t>(r + 1)] > 0) Tri(a, d, c, out, mat);
    }
}

void Mesh::Sphere(Vec3 c, Vec3 rad, int slices, int stacks, int mat, int bn) {
  uint32_t first = static_cast<uint32_t>(pos.size());
  for (int i = 0; i <= stacks; ++i) {
    float t = kPi * static_cast<float>(i) / static_cast<float>(stacks);
    for (int s = 0; s <= slices; ++s) {
      float a = 2 * kPi * static_cast<float>(s) / static_cast<float>(slices);
      Vec3 unit{std::sin(t) * std::sin(a), -std::cos(t), std::sin(t) * std::cos(a)};
      Vec3 p{c.x + unit.x * rad.x, c.y + unit.y * rad.y, c.z + unit.z * rad.z};
      Vertex(p, {unit.x / rad.x, unit.y / rad.y, unit.z / rad.z},
             static_cast<float>(s) / static_cast<float>(slices),
             1.0f - static_cast<float>(i) / static_cast<float>(stacks), bn);
    }
  }
  uint32_t row = static_cast<uint32_t>(slices + 1);
  for (int i = 0; i < stacks; ++i)
    for (int s = 0; s < slices; ++s) {
      uint32_t a = first + static_cast<uint32_t>(i) * row + static_cast<uint32_t>(s);
      uint32_t b = a + 1, cc = a + row, d = a + row + 1;
      Vec3 out = (pos[a] + pos[d]) * 0.5f - c;
      if (i > 0) Tri(a, b, d, out, mat);
      if (i < stacks - 1) Tri(a, d, cc, out, mat);
    }
}

void Mesh::Cylinder(Vec3 base, float r, float h, int slices, int mat, int bn) {
  uint32_t first = static_cast<uint32_t>(pos.size());
  for (int s = 0; s <= slices; ++s) {
    float a = 2 * kPi * static_cast<float>(s) / static_cast<float>(slices);
    Vec3 d{std::sin(a), 0, std::cos(a)};
    float tu = static_cast<float>(s) / static_cast<float>(slices);
    Vertex(base + d * r, d, tu, 1, bn);
    Vertex(base + d * r + Vec3{0, h, 0}, d, tu, 0, bn);
  }
  for (int s = 0; s < slices; ++s) {
    uint32_t a = first + 2 * static_cast<uint32_t>(s);
    Vec3 out = nrm[a] + nrm[a + 2];
    Tri(a, a + 2, a + 3, out, mat);
    Tri(a, a + 3, a + 1, out, mat);
  }
  for (int cap = 0; cap < 2; ++cap) {
    Vec3 n{0, cap ? 1.0f : -1.0f, 0};
    Vec3 cc = base + Vec3{0, cap ? h : 0, 0};
    uint32_t centre = Vertex(cc, n, 0.5f, 0.5f, bn);
    uint32_t ring = static_cast<uint32_t>(pos.size());
    for (int s = 0; s <= slices; ++s) {
      float a = 2 * kPi * static_cast<float>(s) / static_cast<float>(slices);
      Vertex(cc + Vec3{std::sin(a) * r, 0, std::cos(a) * r}, n, 0.5f + 0.5f * std::sin(a),
             0.5f + 0.5f * std::cos(a), bn);
    }
    for (int s = 0; s < slices; ++s)
      Tri(centre, ring + static_cast<uint32_t>(s), ring + static_cast<uint32_t>(s) + 1, n, mat);
  }
}

void Mesh::Torus(Vec3 c, float big, float small, int slices, int sides, int mat) {
  uint32_t first = static_cast<uint32_t>(pos.size());
  for (int i = 0; i <= slices; ++i) {
    float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(slices);
    Vec3 ring{std::cos(a), std::sin(a), 0};
    for (int j = 0; j <= sides; ++j) {
      float b = 2 * kPi * static_cast<float>(j) / static_cast<float>(sides);
      Vec3 n = ring * std::cos(b) + Vec3{0, 0, std::sin(b)};
      Vertex(c + ring * big + n * small, n, static_cast<float>(i) / static_cast<float>(slices),
             static_cast<float>(j) / static_cast<float>(sides), -1);
    }
  }
  uint32_t row = static_cast<uint32_t>(sides + 1);
  for (int i = 0; i < slices; ++i)
    for (int j = 0; j < sides; ++j) {
      uint32_t a = first + static_cast<uint32_t>(i) * row + static_cast<uint32_t>(j);
      Vec3 out = nrm[a] + nrm[a + row + 1];
      Tri(a, a + row, a + row + 1, out, mat);
      Tri(a, a + row + 1, a + 1, out, mat);
    }
}

void Mesh::Transform(const Mat4& m, size_t firstVertex) {
  for (size_t i = firstVertex; i < pos.size(); ++i) {
    pos[i] = m.Point(pos[i]);
    nrm[i] = Normalize(m.Dir(nrm[i]));
  }
}

XNode MatrixNode(const Mat4& m) {
  XNode n("FrameTransformMatrix");
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) n.Float(m.m[i][j], i == 3 && j == 3 ? ";;" : ",");
  return n;
}

namespace {

void Vectors(XNode& n, const std::vector<Vec3>& vs) {
  n.Int(static_cast<uint32_t>(vs.size()), ";\n");
  for (size_t i = 0; i < vs.size(); ++i) {
    n.Float(vs[i].x).Float(vs[i].y);
    n.Float(vs[i].z, i + 1 == vs.size() ? ";;\n" : ";,\n");
  }
}

void Faces(XNode& n, const std::vector<std::array<uint32_t, 3>>& tris) {
  n.Int(static_cast<uint32_t>(tris.size()), ";\n");
  for (size_t i = 0; i < tris.size(); ++i) {
    n.Int(3).Int(tris[i][0], ",").Int(tris[i][1], ",");
    n.Int(tris[i][2], i + 1 == tris.size() ? ";;\n" : ";,\n");
  }
}

}  // namespace

XNode MeshNode(const Mesh& mesh, const std::string& name, const std::vector<SkinBone>* bones) {
  XNode n("Mesh", name);
  Vectors(n, mesh.pos);
  Faces(n, mesh.tris);
  XNode& normals = n.Add(XNode("MeshNormals"));
  Vectors(normals, mesh.nrm);
  Faces(normals, mesh.tris);
  XNode& uv = n.Add(XNode("MeshTextureCoords"));
  uv.Int(static_cast<uint32_t>(mesh.pos.size()), ";\n");
  for (size_t i = 0; i < mesh.pos.size(); ++i)
    uv.Float(mesh.u[i]).Float(mesh.v[i], i + 1 == mesh.pos.size() ? ";;\n" : ";,\n");
  XNode& list = n.Add(XNode("MeshMaterialList"));
  list.Int(static_cast<uint32_t>(mesh.mats.size()), ";\n")
      .Int(static_cast<uint32_t>(mesh.tris.size()), ";\n");
  for (size_t i = 0; i < mesh.triMat.size(); ++i)
    list.Int(mesh.triMat[i], i + 1 == mesh.triMat.size() ? ";;\n" : ",");
  for (const Material& m : mesh.mats) {
    XNode& mat = list.Add(XNode("Material"));
    mat.Float(m.r).Float(m.g).Float(m.b).Float(m.a, ";;\n");
    mat.Float(m.power, ";\n");
    mat.Float(m.sr).Float(m.sg).Float(m.sb, ";;\n");
    mat.Float(m.er).Float(m.eg).Float(m.eb, ";;\n");
    if (!m.texture.empty()) mat.Add(XNode("TextureFilename")).Str(m.texture);
  }
  if (bones) {
    std::map<int, std::vector<uint32_t>> byBone;
    for (size_t i = 0; i < mesh.bone.size(); ++i)
      byBone[mesh.bone[i]].push_back(static_cast<uint32_t>(i));
    XNode& head = n.Add(XNode("XSkinMeshHeader"));
    head.Int(1).Int(1).Int(static_cast<uint32_t>(byBone.size()));
    for (const auto& [b, verts] : byBone) {
      const SkinBone& sb = (*bones)[static_cast<size_t>(b)];
      XNode& w = n.Add(XNode("SkinWeights"));
      w.Str(sb.frame, ";\n").Int(static_cast<uint32_t>(verts.size()), ";\n");
      for (size_t i = 0; i < verts.size(); ++i)
        w.Int(verts[i], i + 1 == verts.size() ? ";\n" : ",");
      for (size_t i = 0; i < verts.size(); ++i) w.Float(1.0f, i + 1 == verts.size() ? ";\n" : ",");
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) w.Float(sb.offset.m[i][j], i == 3 && j == 3 ? ";;\n" : ",");
    }
  }
  return n;
}

}  // namespace datagen
