#include "port/mesh_x.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace port {

namespace {

using x::DataReader;
using x::Object;

// One Mesh object as read: vertices after splitting by normal, triangles in
// file order, each with its material index.
struct MeshData {
  bool hasNormals = false, hasUv = false, hasColors = false;
  std::vector<Vec3> pos, nrm;
  std::vector<Vec2> uv;
  std::vector<uint32_t> color;
  std::vector<uint32_t> fileVertex;  // output vertex -> file vertex
  uint32_t fileVertexCount = 0;
  std::vector<uint32_t> tris;  // 3 output vertices per triangle
  std::vector<uint32_t> triAttr;
  bool hasMaterialList = false;
  std::vector<XMaterial> materials;
  bool hasSkinHeader = false;
  uint32_t headerBones = 0;
  struct Bone {
    std::string name;
    Matrix offset;
    std::vector<uint32_t> vertices;  // file vertices
    std::vector<float> weights;
  };
  std::vector<Bone> bones;
};

struct Polygon {
  uint32_t first = 0, count = 0;  // into the flat corner list
};

bool ReadPolygons(DataReader& r, uint32_t bound, std::vector<uint32_t>* corners,
                  std::vector<Polygon>* polys, uint32_t* count) {
  if (!r.ReadDword(count)) return false;
  if (*count > r.Remaining()) return false;
  polys->clear();
  corners->clear();
  for (uint32_t f = 0; f < *count; ++f) {
    uint32_t n = 0;
    if (!r.ReadDword(&n) || n > r.Remaining()) return false;
    Polygon p{static_cast<uint32_t>(corners->size()), n};
    for (uint32_t k = 0; k < n; ++k) {
      uint32_t i = 0;
      if (!r.ReadDword(&i) || i >= bound) return false;
      corners->push_back(i);
    }
    polys->push_back(p);
  }
  return true;
}

Vec3 Normalised(Vec3 v) {
  float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return len > 0 ? v / len : v;
}

uint32_t ColorToArgbBytes(const float c[4]) {
  auto b = [](float v) -> uint32_t {
    if (!(v > 0)) return 0;
    if (v >= 1) return 255;
    return static_cast<uint32_t>(v * 255.0f + 0.5f);
  };
  return (b(c[3]) << 24) | (b(c[0]) << 16) | (b(c[1]) << 8) | b(c[2]);
}

Status ReadMaterial(const Object& o, XMaterial* out) {
  DataReader r = o.Data();
  float c[4], power, spec[3], emis[3];
  if (!r.ReadFloats(c, 4) || !r.ReadFloat(&power) || !r.ReadFloats(spec, 3) ||
      !r.ReadFloats(emis, 3)) {
    return kFail;
  }
  XMaterial m;
  m.material.diffuse = {c[0], c[1], c[2], c[3]};
  m.material.ambient = {0, 0, 0, 1};
  m.material.specular = {spec[0], spec[1], spec[2], 1};
  m.material.emissive = {emis[0], emis[1], emis[2], 1};
  m.material.power = power;
  for (const x::Child& ch : o.Children()) {
    const Object* t = ch.Target();
    if (t && t->Is(x::guids::kTextureFilename)) {
      DataReader tr = t->Data();
      if (!tr.ReadString(&m.textureFilename)) return kFail;
      break;
    }
  }
  *out = std::move(m);
  return kOk;
}

Status ReadMaterialList(const Object& o, uint32_t numPolys, std::vector<uint32_t>* polyMaterial,
                        std::vector<XMaterial>* materials) {
  DataReader r = o.Data();
  uint32_t nMaterials = 0, nIndexes = 0;
  if (!r.ReadDword(&nMaterials) || !r.ReadDword(&nIndexes) || nIndexes > r.Remaining())
    return kFail;
  polyMaterial->assign(numPolys, 0);
  uint32_t last = 0;
  for (uint32_t i = 0; i < nIndexes; ++i) {
    uint32_t m = 0;
    if (!r.ReadDword(&m) || m >= nMaterials) return kFail;
    if (i < numPolys) (*polyMaterial)[i] = m;
    last = m;
  }
  // Exporters may give fewer indices than faces: the last one repeats.
  for (uint32_t i = nIndexes; i < numPolys; ++i) (*polyMaterial)[i] = last;
  materials->clear();
  for (const x::Child& ch : o.Children()) {
    if (materials->size() >= nMaterials) break;
    const Object* t = ch.Target();
    if (!t || !t->Is(x::guids::kMaterial)) continue;
    XMaterial m;
    if (Failed(ReadMaterial(*t, &m))) return kFail;
    materials->push_back(std::move(m));
  }
  return materials->size() == nMaterials ? kOk : kFail;
}

Status ReadSkinWeights(const Object& o, uint32_t numFileVertices, MeshData::Bone* bone) {
  DataReader r = o.Data();
  uint32_t n = 0;
  if (!r.ReadString(&bone->name) || !r.ReadDword(&n) || n > r.Remaining()) return kFail;
  bone->vertices.resize(n);
  bone->weights.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    if (!r.ReadDword(&bone->vertices[i]) || bone->vertices[i] >= numFileVertices) return kFail;
  }
  if (!r.ReadFloats(bone->weights.data(), n) || !r.ReadMatrix(&bone->offset)) return kFail;
  return kOk;
}

Status ReadMesh(const Object& mesh, MeshData* out) {
  DataReader r = mesh.Data();
  uint32_t nv = 0;
  if (!r.ReadDword(&nv)) return kFail;
  if (nv == 0) return kMeshHasNoData;
  if (nv > r.Remaining() / 3) return kFail;
  std::vector<Vec3> filePos(nv);
  for (Vec3& p : filePos) {
    if (!r.ReadFloat(&p.x) || !r.ReadFloat(&p.y) || !r.ReadFloat(&p.z)) return kFail;
  }
  std::vector<uint32_t> corners;
  std::vector<Polygon> polys;
  uint32_t nf = 0;
  if (!ReadPolygons(r, nv, &corners, &polys, &nf)) return kFail;
  if (nf == 0) return kMeshHasNoData;
  for (const Polygon& p : polys) {
    if (p.count < 3) return kFail;
  }

  std::vector<Vec3> fileNormals;
  std::vector<uint32_t> normalCorners;
  std::vector<Vec2> fileUv;
  std::vector<uint32_t> fileColor;
  std::vector<uint32_t> polyMaterial(nf, 0);
  out->fileVertexCount = nv;
  for (const x::Child& ch : mesh.Children()) {
    const Object* c = ch.Target();
    if (!c) continue;
    if (c->Is(x::guids::kMeshNormals)) {
      DataReader nr = c->Data();
      uint32_t nn = 0;
      if (!nr.ReadDword(&nn) || nn > nr.Remaining() / 3) return kFail;
      fileNormals.resize(nn);
      for (Vec3& n : fileNormals) {
        if (!nr.ReadFloat(&n.x) || !nr.ReadFloat(&n.y) || !nr.ReadFloat(&n.z)) return kFail;
        n = Normalised(n);
      }
      std::vector<Polygon> npolys;
      uint32_t nnf = 0;
      if (!ReadPolygons(nr, nn, &normalCorners, &npolys, &nnf) || nnf != nf) return kFail;
      for (uint32_t f = 0; f < nf; ++f) {
        if (npolys[f].count != polys[f].count) return kFail;
      }
      out->hasNormals = true;
    } else if (c->Is(x::guids::kMeshTextureCoords)) {
      DataReader tr = c->Data();
      uint32_t n = 0;
      if (!tr.ReadDword(&n) || n != nv) return kFail;
      fileUv.resize(n);
      for (Vec2& t : fileUv) {
        if (!tr.ReadFloat(&t.x) || !tr.ReadFloat(&t.y)) return kFail;
      }
      out->hasUv = true;
    } else if (c->Is(x::guids::kMeshVertexColors)) {
      DataReader cr = c->Data();
      uint32_t n = 0;
      if (!cr.ReadDword(&n) || n > cr.Remaining() / 5) return kFail;
      fileColor.assign(nv, 0xFFFFFFFFu);
      for (uint32_t i = 0; i < n; ++i) {
        uint32_t index = 0;
        float col[4];
        if (!cr.ReadDword(&index) || index >= nv || !cr.ReadFloats(col, 4)) return kFail;
        fileColor[index] = ColorToArgbBytes(col);
      }
      out->hasColors = true;
    } else if (c->Is(x::guids::kMeshMaterialList)) {
      if (Failed(ReadMaterialList(*c, nf, &polyMaterial, &out->materials))) return kFail;
      out->hasMaterialList = true;
    } else if (c->Is(x::guids::kXSkinMeshHeader)) {
      DataReader hr = c->Data();
      uint16_t perVertex = 0, perFace = 0, bones = 0;
      if (!hr.ReadWord(&perVertex) || !hr.ReadWord(&perFace) || !hr.ReadWord(&bones)) return kFail;
      out->hasSkinHeader = true;
      out->headerBones = bones;
    } else if (c->Is(x::guids::kSkinWeights)) {
      MeshData::Bone b;
      if (Failed(ReadSkinWeights(*c, nv, &b))) return kFail;
      out->bones.push_back(std::move(b));
    }
  }
  if (out->hasSkinHeader && out->headerBones != out->bones.size()) return kFail;

  // Output vertices: the file's, then one copy per further normal a file
  // vertex is used with.
  out->pos = filePos;
  out->fileVertex.resize(nv);
  for (uint32_t i = 0; i < nv; ++i) out->fileVertex[i] = i;
  if (out->hasUv) out->uv = fileUv;
  if (out->hasColors) out->color = fileColor;
  std::vector<int8_t> assigned(nv, 0);
  std::vector<std::vector<uint32_t>> copies;  // per file vertex, its duplicates
  if (out->hasNormals) {
    out->nrm.assign(nv, Vec3{});
    copies.resize(nv);
  }
  auto outputVertex = [&](uint32_t fv, uint32_t corner) -> uint32_t {
    if (!out->hasNormals) return fv;
    const Vec3& n = fileNormals[normalCorners[corner]];
    if (!assigned[fv]) {
      assigned[fv] = 1;
      out->nrm[fv] = n;
      return fv;
    }
    if (out->nrm[fv] == n) return fv;
    for (uint32_t d : copies[fv]) {
      if (out->nrm[d] == n) return d;
    }
    uint32_t d = static_cast<uint32_t>(out->pos.size());
    out->pos.push_back(out->pos[fv]);
    out->nrm.push_back(n);
    if (out->hasUv) out->uv.push_back(out->uv[fv]);
    if (out->hasColors) out->color.push_back(out->color[fv]);
    out->fileVertex.push_back(fv);
    copies[fv].push_back(d);
    return d;
  };
  for (uint32_t f = 0; f < nf; ++f) {
    const Polygon& p = polys[f];
    uint32_t v0 = outputVertex(corners[p.first], p.first);
    uint32_t prev = outputVertex(corners[p.first + 1], p.first + 1);
    for (uint32_t k = 2; k < p.count; ++k) {
      uint32_t cur = outputVertex(corners[p.first + k], p.first + k);
      out->tris.insert(out->tris.end(), {v0, prev, cur});
      out->triAttr.push_back(polyMaterial[f]);
      prev = cur;
    }
    if (out->pos.size() > kMaxMeshVertices) return kFail;
  }
  return kOk;
}

uint32_t FvfOf(const MeshData& d) {
  uint32_t f = gpu::fvf::XYZ;
  if (d.hasNormals) f |= gpu::fvf::Normal;
  if (d.hasColors) f |= gpu::fvf::Diffuse;
  if (d.hasUv) f |= gpu::fvf::Tex1;
  return f;
}

// Neighbours across edges 01, 12 and 20 of each triangle, found through the
// file's vertices so that vertices split by normal still join.
void ComputeAdjacency(const std::vector<uint32_t>& tris, const std::vector<uint32_t>& key,
                      std::vector<uint32_t>* adjacency) {
  const size_t nt = tris.size() / 3;
  adjacency->assign(nt * 3, 0xFFFFFFFFu);
  if (nt == 0) return;
  // Half-edges bucketed by their first vertex, in half-edge order, so the
  // first half-edge of a repeated edge is the one found.
  uint32_t vertices = 0;
  for (uint32_t t : tris) vertices = std::max(vertices, key[t] + 1);
  std::vector<uint32_t> start(size_t{vertices} + 1, 0);
  for (uint32_t t : tris) ++start[key[t] + 1];
  for (uint32_t v = 0; v < vertices; ++v) start[v + 1] += start[v];
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  struct HalfEdge {
    uint32_t to, index;
  };
  std::vector<HalfEdge> bucket(nt * 3);
  for (size_t t = 0; t < nt; ++t) {
    for (int e = 0; e < 3; ++e) {
      const uint32_t a = key[tris[t * 3 + e]], b = key[tris[t * 3 + (e + 1) % 3]];
      bucket[fill[a]++] = {b, static_cast<uint32_t>(t * 3 + e)};
    }
  }
  for (size_t t = 0; t < nt; ++t) {
    for (int e = 0; e < 3; ++e) {
      const uint32_t a = key[tris[t * 3 + e]], b = key[tris[t * 3 + (e + 1) % 3]];
      // The first half-edge running b -> a.
      for (uint32_t i = start[b]; i < start[b + 1]; ++i) {
        if (bucket[i].to != a) continue;
        if (bucket[i].index / 3 != t) (*adjacency)[t * 3 + e] = bucket[i].index / 3;
        break;
      }
    }
  }
}

struct FlatVertex {
  Vec3 pos, nrm;
  uint32_t color = 0;
  Vec2 uv;
};

// Builds a mesh of the given format from triangles sorted stably by material.
Status BuildMesh(uint32_t fvf, const std::vector<FlatVertex>& verts,
                 const std::vector<uint32_t>& tris, const std::vector<uint32_t>& attrs,
                 uint32_t options, gpu::Device* device, std::vector<uint32_t>* triOrder,
                 Mesh** out) {
  if (verts.size() > kMaxMeshVertices) return kFail;
  uint32_t nt = static_cast<uint32_t>(attrs.size());
  Mesh* m = nullptr;
  Status s = Mesh::CreateFVF(nt, static_cast<uint32_t>(verts.size()), options, fvf, device, &m);
  if (Failed(s)) return s;
  const gpu::VertexLayout& l = m->GetDeclaration();
  const gpu::VertexElement* ne = l.Find(gpu::DeclUsage::Normal);
  const gpu::VertexElement* ce = l.Find(gpu::DeclUsage::Color);
  const gpu::VertexElement* te = l.Find(gpu::DeclUsage::TexCoord);
  uint8_t* vb = static_cast<uint8_t*>(m->LockVertexBuffer());
  for (size_t i = 0; i < verts.size(); ++i) {
    uint8_t* p = vb + i * l.stride;
    std::memcpy(p, &verts[i].pos, 12);
    if (ne) std::memcpy(p + ne->offset, &verts[i].nrm, 12);
    if (ce) std::memcpy(p + ce->offset, &verts[i].color, 4);
    if (te) std::memcpy(p + te->offset, &verts[i].uv, 8);
  }
  m->UnlockVertexBuffer();
  uint16_t* ib = m->LockIndexBuffer();
  uint32_t* ab = m->LockAttributeBuffer();
  for (uint32_t t = 0; t < nt; ++t) {
    for (int k = 0; k < 3; ++k) ib[t * 3 + k] = static_cast<uint16_t>(tris[t * 3 + k]);
    ab[t] = attrs[t];
  }
  m->UnlockIndexBuffer();
  m->UnlockAttributeBuffer();
  m->OptimizeInplace(meshopt::kAttrSort, triOrder);
  *out = m;
  return kOk;
}

struct Collector {
  uint32_t fvf = gpu::fvf::XYZ;
  std::vector<FlatVertex> verts;
  std::vector<uint32_t> tris, attrs, fileKey;
  std::vector<XMaterial> materials;
  uint32_t nextKey = 0;
  Status status = kOk;

  void AddMesh(const Object& o, const Matrix& world) {
    MeshData d;
    Status s = ReadMesh(o, &d);
    if (s == kMeshHasNoData) return;
    if (Failed(s)) {
      status = s;
      return;
    }
    fvf |= FvfOf(d);
    uint32_t base = static_cast<uint32_t>(verts.size());
    uint32_t keyBase = nextKey;
    nextKey += d.fileVertexCount;
    if (base + d.pos.size() > kMaxMeshVertices) {
      status = kFail;
      return;
    }
    for (size_t i = 0; i < d.pos.size(); ++i) {
      FlatVertex v;
      v.pos = Vec3TransformCoord(d.pos[i], world);
      if (d.hasNormals) v.nrm = Vec3TransformNormal(d.nrm[i], world);
      if (d.hasColors) v.color = d.color[i];
      if (d.hasUv) v.uv = d.uv[i];
      verts.push_back(v);
      fileKey.push_back(keyBase + d.fileVertex[i]);
    }
    uint32_t materialBase = static_cast<uint32_t>(materials.size());
    if (d.hasMaterialList && !d.materials.empty()) {
      materials.insert(materials.end(), d.materials.begin(), d.materials.end());
    } else {
      materials.push_back({DefaultXMaterial(), {}});
      std::fill(d.triAttr.begin(), d.triAttr.end(), 0u);
    }
    for (uint32_t t : d.tris) tris.push_back(base + t);
    for (uint32_t a : d.triAttr) attrs.push_back(materialBase + a);
  }

  void Walk(const Object& o, const Matrix& parent, uint32_t depth) {
    if (Failed(status)) return;
    if (o.Is(x::guids::kMesh)) {
      AddMesh(o, parent);
    } else if (o.Is(x::guids::kFrame)) {
      if (depth > 256) {
        status = kFail;
        return;
      }
      Matrix local = MatrixIdentity();
      for (const x::Child& c : o.Children()) {
        if (!c.IsReference() && c.object->Is(x::guids::kFrameTransformMatrix)) {
          DataReader r = c.object->Data();
          if (!r.ReadMatrix(&local)) {
            status = kFail;
            return;
          }
        }
      }
      Matrix world = MatrixMultiply(local, parent);
      for (const x::Child& c : o.Children()) {
        if (!c.IsReference()) Walk(*c.object, world, depth + 1);
      }
    }
  }
};

}  // namespace

gpu::Material DefaultXMaterial() {
  gpu::Material m;
  m.diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
  m.specular = {0.5f, 0.5f, 0.5f, 0.0f};
  return m;
}

Status LoadMeshFromXFile(const x::File& file, uint32_t options, gpu::Device* device,
                         std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                         Mesh** mesh) {
  if (!mesh) return kInvalidArg;
  *mesh = nullptr;
  Collector c;
  for (const Object* o : file.Objects()) c.Walk(*o, MatrixIdentity(), 0);
  if (Failed(c.status)) return c.status;
  if (c.attrs.empty()) return kFail;  // no mesh in the file
  std::vector<uint32_t> order;
  Status s = BuildMesh(c.fvf, c.verts, c.tris, c.attrs, options, device, &order, mesh);
  if (Failed(s)) return s;
  if (adjacency) {
    std::vector<uint32_t> sorted(c.tris.size());
    for (size_t t = 0; t < order.size(); ++t) {
      for (int k = 0; k < 3; ++k) sorted[t * 3 + k] = c.tris[order[t] * 3 + k];
    }
    ComputeAdjacency(sorted, c.fileKey, adjacency);
  }
  if (materials) *materials = std::move(c.materials);
  return kOk;
}

Status LoadMeshFromX(std::string_view path, uint32_t options, gpu::Device* device,
                     std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                     Mesh** mesh) {
  if (mesh) *mesh = nullptr;
  x::Error err;
  std::unique_ptr<x::File> file = x::File::Load(path, &err);
  if (!file) {
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(path.size()), path.data(),
                 err.ToString().c_str());
    return kFail;
  }
  return LoadMeshFromXFile(*file, options, device, adjacency, materials, mesh);
}

Status LoadSkinMeshFromXof(const x::Object& meshObject, uint32_t options, gpu::Device* device,
                           std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                           SkinInfo** skinInfo, Mesh** mesh) {
  if (mesh) *mesh = nullptr;
  if (skinInfo) *skinInfo = nullptr;
  if (!mesh || !meshObject.Is(x::guids::kMesh)) return kInvalidArg;
  MeshData d;
  Status s = ReadMesh(meshObject, &d);
  if (Failed(s)) return s;
  std::vector<FlatVertex> verts(d.pos.size());
  for (size_t i = 0; i < verts.size(); ++i) {
    verts[i].pos = d.pos[i];
    if (d.hasNormals) verts[i].nrm = d.nrm[i];
    if (d.hasColors) verts[i].color = d.color[i];
    if (d.hasUv) verts[i].uv = d.uv[i];
  }
  std::vector<uint32_t> order;
  s = BuildMesh(FvfOf(d), verts, d.tris, d.triAttr, options, device, &order, mesh);
  if (Failed(s)) return s;
  if (adjacency) {
    std::vector<uint32_t> sorted(d.tris.size());
    for (size_t t = 0; t < order.size(); ++t) {
      for (int k = 0; k < 3; ++k) sorted[t * 3 + k] = d.tris[order[t] * 3 + k];
    }
    ComputeAdjacency(sorted, d.fileVertex, adjacency);
  }
  if (skinInfo) {
    // Each file vertex's influences go to every output vertex made from it.
    std::vector<std::vector<uint32_t>> outputsOf(d.fileVertexCount);
    for (uint32_t v = 0; v < d.fileVertex.size(); ++v) outputsOf[d.fileVertex[v]].push_back(v);
    SkinInfo* skin = SkinInfo::Create(static_cast<uint32_t>(d.pos.size()),
                                      static_cast<uint32_t>(d.bones.size()));
    for (uint32_t b = 0; b < d.bones.size(); ++b) {
      const MeshData::Bone& bone = d.bones[b];
      std::vector<uint32_t> vs;
      std::vector<float> ws;
      for (size_t i = 0; i < bone.vertices.size(); ++i) {
        for (uint32_t v : outputsOf[bone.vertices[i]]) {
          vs.push_back(v);
          ws.push_back(bone.weights[i]);
        }
      }
      skin->SetBoneName(b, bone.name);
      skin->SetBoneOffsetMatrix(b, bone.offset);
      skin->SetBoneInfluence(b, static_cast<uint32_t>(vs.size()), vs.data(), ws.data());
    }
    *skinInfo = skin;
  }
  if (materials) *materials = d.hasMaterialList ? std::move(d.materials) : std::vector<XMaterial>{};
  return kOk;
}

}  // namespace port
