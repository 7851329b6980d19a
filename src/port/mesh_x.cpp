#include "port/mesh_x.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
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
  uint32_t first = 0, count = 0;  // its corners in the face list's numbers
};

// A list of polygons read in place from the object's numbers: polygon f's
// corners are v[polys[f].first] onwards.
struct FaceList {
  const uint32_t* v = nullptr;
  std::vector<Polygon> polys;
};

bool ReadPolygons(DataReader& r, uint32_t bound, FaceList* faces, uint32_t* count) {
  if (!r.ReadDword(count)) return false;
  if (*count > r.Remaining()) return false;
  // Each polygon: its corner count, then its corners; integers all.
  size_t avail = 0;
  const uint32_t* v = r.PeekDwords(&avail);
  if (!v) return false;
  faces->v = v;
  faces->polys.resize(*count);
  size_t at = 0;
  for (uint32_t f = 0; f < *count; ++f) {
    if (at >= avail) return false;
    const uint32_t n = v[at++];
    if (n > avail - at) return false;
    faces->polys[f] = Polygon{static_cast<uint32_t>(at), n};
    for (uint32_t k = 0; k < n; ++k) {
      if (v[at + k] >= bound) return false;
    }
    at += n;
  }
  return r.Skip(at);
}

// Vectors read straight from a list of floats.
static_assert(sizeof(Vec3) == 3 * sizeof(float) && sizeof(Vec2) == 2 * sizeof(float));
template <typename V>
float* Floats(V* v) {
  return reinterpret_cast<float*>(v);
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
  polyMaterial->assign(std::max(numPolys, nIndexes), 0);
  if (!r.ReadDwords(polyMaterial->data(), nIndexes)) return kFail;
  uint32_t last = 0;
  for (uint32_t i = 0; i < nIndexes; ++i) {
    last = (*polyMaterial)[i];
    if (last >= nMaterials) return kFail;
  }
  polyMaterial->resize(numPolys);
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
  if (!r.ReadDwords(bone->vertices.data(), n)) return kFail;
  for (uint32_t v : bone->vertices) {
    if (v >= numFileVertices) return kFail;
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
  if (!r.ReadFloats(Floats(filePos.data()), size_t{nv} * 3)) return kFail;
  FaceList faces;
  uint32_t nf = 0;
  if (!ReadPolygons(r, nv, &faces, &nf)) return kFail;
  if (nf == 0) return kMeshHasNoData;
  const std::vector<Polygon>& polys = faces.polys;
  for (const Polygon& p : polys) {
    if (p.count < 3) return kFail;
  }

  std::vector<Vec3> fileNormals;
  FaceList normalFaces;
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
      if (!nr.ReadFloats(Floats(fileNormals.data()), size_t{nn} * 3)) return kFail;
      for (Vec3& n : fileNormals) n = Normalised(n);
      uint32_t nnf = 0;
      if (!ReadPolygons(nr, nn, &normalFaces, &nnf) || nnf != nf) return kFail;
      for (uint32_t f = 0; f < nf; ++f) {
        if (normalFaces.polys[f].count != polys[f].count) return kFail;
      }
      out->hasNormals = true;
    } else if (c->Is(x::guids::kMeshTextureCoords)) {
      DataReader tr = c->Data();
      uint32_t n = 0;
      if (!tr.ReadDword(&n) || n != nv) return kFail;
      fileUv.resize(n);
      if (!tr.ReadFloats(Floats(fileUv.data()), size_t{n} * 2)) return kFail;
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
  out->pos = std::move(filePos);
  out->fileVertex.resize(nv);
  for (uint32_t i = 0; i < nv; ++i) out->fileVertex[i] = i;
  if (out->hasUv) out->uv = std::move(fileUv);
  if (out->hasColors) out->color = std::move(fileColor);
  constexpr uint32_t kNone = 0xFFFFFFFFu;
  std::vector<int8_t> assigned;
  std::vector<uint32_t> nextCopy;  // per output vertex, the next copy of its file vertex
  if (out->hasNormals) {
    out->nrm.assign(nv, Vec3{});
    assigned.assign(nv, 0);
    nextCopy.assign(nv, kNone);
  }
  // The output vertex of file vertex fv with normal ni.
  auto outputVertex = [&](uint32_t fv, uint32_t ni) -> uint32_t {
    if (!out->hasNormals) return fv;
    const Vec3& n = fileNormals[ni];
    if (!assigned[fv]) {
      assigned[fv] = 1;
      out->nrm[fv] = n;
      return fv;
    }
    uint32_t last = fv;
    for (uint32_t d = fv; d != kNone; d = nextCopy[d]) {
      if (out->nrm[d] == n) return d;
      last = d;
    }
    uint32_t d = static_cast<uint32_t>(out->pos.size());
    out->pos.push_back(out->pos[fv]);
    out->nrm.push_back(n);
    if (out->hasUv) out->uv.push_back(out->uv[fv]);
    if (out->hasColors) out->color.push_back(out->color[fv]);
    out->fileVertex.push_back(fv);
    nextCopy.push_back(kNone);
    nextCopy[last] = d;
    return d;
  };
  size_t triangles = 0;
  for (const Polygon& p : polys) triangles += p.count - 2;
  out->tris.reserve(triangles * 3);
  out->triAttr.reserve(triangles);
  for (uint32_t f = 0; f < nf; ++f) {
    const uint32_t* pv = faces.v + polys[f].first;
    const uint32_t* pn = out->hasNormals ? normalFaces.v + normalFaces.polys[f].first : pv;
    uint32_t v0 = outputVertex(pv[0], pn[0]);
    uint32_t prev = outputVertex(pv[1], pn[1]);
    for (uint32_t k = 2; k < polys[f].count; ++k) {
      uint32_t cur = outputVertex(pv[k], pn[k]);
      out->tris.push_back(v0);
      out->tris.push_back(prev);
      out->tris.push_back(cur);
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
// file's vertices (keys below `keys`) so that vertices split by normal still join.
void ComputeAdjacency(const uint16_t* idx, size_t nt, const std::vector<uint32_t>& key,
                      uint32_t keys, std::vector<uint32_t>* adjacency) {
  adjacency->assign(nt * 3, 0xFFFFFFFFu);
  if (nt == 0) return;
  // Half-edges bucketed by their first file vertex, in half-edge order, so
  // the first half-edge of a repeated edge is the one found: vertex v's run
  // begins at start[v] and ends at start[v + 1].
  const uint32_t* k = key.data();
  std::vector<uint32_t> start(size_t{keys} + 2, 0);
  for (size_t i = 0; i < nt * 3; ++i) ++start[k[idx[i]] + 2];
  for (size_t v = 2; v < start.size(); ++v) start[v] += start[v - 1];
  struct HalfEdge {
    uint32_t to, triangle;
  };
  std::vector<HalfEdge> bucket(nt * 3);
  for (size_t t = 0; t < nt; ++t) {
    const uint32_t c0 = k[idx[t * 3]], c1 = k[idx[t * 3 + 1]], c2 = k[idx[t * 3 + 2]];
    const uint32_t tri = static_cast<uint32_t>(t);
    bucket[start[c0 + 1]++] = {c1, tri};
    bucket[start[c1 + 1]++] = {c2, tri};
    bucket[start[c2 + 1]++] = {c0, tri};
  }
  uint32_t* adj = adjacency->data();
  for (size_t t = 0; t < nt; ++t) {
    const uint32_t c[3] = {k[idx[t * 3]], k[idx[t * 3 + 1]], k[idx[t * 3 + 2]]};
    for (int e = 0; e < 3; ++e) {
      const uint32_t a = c[e], b = c[e == 2 ? 0 : e + 1];
      // The first half-edge running b -> a.
      for (uint32_t i = start[b], end = start[b + 1]; i < end; ++i) {
        if (bucket[i].to != a) continue;
        if (bucket[i].triangle != t) adj[t * 3 + e] = bucket[i].triangle;
        break;
      }
    }
  }
}

// A mesh's vertices, one array per element; a null array writes zeros.
struct VertexSource {
  size_t count = 0;
  const Vec3* pos = nullptr;
  const Vec3* nrm = nullptr;
  const uint32_t* color = nullptr;
  const Vec2* uv = nullptr;
};

// Triangle order sorted stably by material; empty when the triangles are in
// that order already.
std::vector<uint32_t> SortByMaterial(const std::vector<uint32_t>& attrs) {
  if (std::is_sorted(attrs.begin(), attrs.end())) return {};
  std::vector<uint32_t> order(attrs.size());
  uint32_t top = 0;
  for (uint32_t a : attrs) top = std::max(top, a);
  if (size_t{top} > attrs.size()) {
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return attrs[a] < attrs[b]; });
    return order;
  }
  std::vector<uint32_t> next(size_t{top} + 2, 0);
  for (uint32_t a : attrs) ++next[a + 1];
  for (size_t k = 1; k < next.size(); ++k) next[k] += next[k - 1];
  for (uint32_t t = 0; t < attrs.size(); ++t) order[next[attrs[t]]++] = t;
  return order;
}

// Builds a mesh of the given format with its triangles sorted stably by
// material.
Status BuildMesh(uint32_t fvf, const VertexSource& verts, const std::vector<uint32_t>& tris,
                 const std::vector<uint32_t>& attrs, uint32_t options, gpu::Device* device,
                 Mesh** out) {
  if (verts.count > kMaxMeshVertices) return kFail;
  uint32_t nt = static_cast<uint32_t>(attrs.size());
  Mesh* m = nullptr;
  Status s = Mesh::CreateFVF(nt, static_cast<uint32_t>(verts.count), options, fvf, device, &m);
  if (Failed(s)) return s;
  const gpu::VertexLayout& l = m->GetDeclaration();
  const gpu::VertexElement* ne = l.Find(gpu::DeclUsage::Normal);
  const gpu::VertexElement* ce = l.Find(gpu::DeclUsage::Color);
  const gpu::VertexElement* te = l.Find(gpu::DeclUsage::TexCoord);
  uint8_t* vb = static_cast<uint8_t*>(m->LockVertexBuffer());
  // The buffer starts zeroed: absent elements stay so.
  for (size_t i = 0; i < verts.count; ++i) std::memcpy(vb + i * l.stride, &verts.pos[i], 12);
  if (ne && verts.nrm) {
    for (size_t i = 0; i < verts.count; ++i)
      std::memcpy(vb + i * l.stride + ne->offset, &verts.nrm[i], 12);
  }
  if (ce && verts.color) {
    for (size_t i = 0; i < verts.count; ++i)
      std::memcpy(vb + i * l.stride + ce->offset, &verts.color[i], 4);
  }
  if (te && verts.uv) {
    for (size_t i = 0; i < verts.count; ++i)
      std::memcpy(vb + i * l.stride + te->offset, &verts.uv[i], 8);
  }
  m->UnlockVertexBuffer();
  const std::vector<uint32_t> order = SortByMaterial(attrs);
  uint16_t* ib = m->LockIndexBuffer();
  uint32_t* ab = m->LockAttributeBuffer();
  // The attribute table as the triangles go in: each material's faces and
  // the span of vertices they use.
  std::vector<AttributeRange> table;
  for (uint32_t t = 0; t < nt; ++t) {
    const uint32_t from = order.empty() ? t : order[t];
    if (table.empty() || table.back().attribId != attrs[from]) {
      AttributeRange r;
      r.attribId = attrs[from];
      r.faceStart = t;
      r.vertexStart = UINT32_MAX;
      table.push_back(r);
    }
    AttributeRange& r = table.back();
    ++r.faceCount;
    for (int k = 0; k < 3; ++k) {
      const uint32_t v = tris[from * 3 + k];
      ib[t * 3 + k] = static_cast<uint16_t>(v);
      const uint32_t end = r.vertexStart == UINT32_MAX ? v + 1 : r.vertexStart + r.vertexCount;
      r.vertexStart = std::min(r.vertexStart, v);
      r.vertexCount = std::max(end, v + 1) - r.vertexStart;
    }
    ab[t] = attrs[from];
  }
  m->UnlockIndexBuffer();
  m->UnlockAttributeBuffer();
  if (Failed(m->SetAttributeTable(table.data(), static_cast<uint32_t>(table.size())))) {
    m->Release();
    return kFail;
  }
  *out = m;
  return kOk;
}

void MeshAdjacency(Mesh* mesh, const std::vector<uint32_t>& key, uint32_t keys,
                   std::vector<uint32_t>* adjacency) {
  const uint16_t* idx = mesh->LockIndexBuffer(kLockReadOnly);
  ComputeAdjacency(idx, mesh->GetNumFaces(), key, keys, adjacency);
  mesh->UnlockIndexBuffer();
}

bool IsIdentity(const Matrix& m) {
  const Matrix id = MatrixIdentity();
  return std::memcmp(&m, &id, sizeof m) == 0;
}

struct Collector {
  uint32_t fvf = gpu::fvf::XYZ;
  std::vector<Vec3> pos, nrm;
  std::vector<uint32_t> color;
  std::vector<Vec2> uv;
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
    const size_t base = pos.size(), n = d.pos.size();
    uint32_t keyBase = nextKey;
    nextKey += d.fileVertexCount;
    if (base + n > kMaxMeshVertices) {
      status = kFail;
      return;
    }
    // The identity, as every frame of most models holds, moves nothing.
    const bool identity = IsIdentity(world);
    if (base == 0 && identity) {
      pos = std::move(d.pos);
    } else {
      pos.resize(base + n);
      for (size_t i = 0; i < n; ++i)
        pos[base + i] = identity ? d.pos[i] : Vec3TransformCoord(d.pos[i], world);
    }
    if (d.hasNormals) {
      if (base == 0 && identity) {
        nrm = std::move(d.nrm);
      } else {
        nrm.resize(base + n);
        for (size_t i = 0; i < n; ++i)
          nrm[base + i] = identity ? d.nrm[i] : Vec3TransformNormal(d.nrm[i], world);
      }
    }
    if (d.hasColors) {
      color.resize(base);
      color.insert(color.end(), d.color.begin(), d.color.end());
    }
    if (d.hasUv) {
      uv.resize(base);
      uv.insert(uv.end(), d.uv.begin(), d.uv.end());
    }
    uint32_t materialBase = static_cast<uint32_t>(materials.size());
    if (d.hasMaterialList && !d.materials.empty()) {
      materials.insert(materials.end(), d.materials.begin(), d.materials.end());
    } else {
      materials.push_back({DefaultXMaterial(), {}});
      std::fill(d.triAttr.begin(), d.triAttr.end(), 0u);
    }
    if (base == 0 && keyBase == 0 && materialBase == 0 && tris.empty()) {
      // The first mesh: its numbers stand as they are.
      fileKey = std::move(d.fileVertex);
      tris = std::move(d.tris);
      attrs = std::move(d.triAttr);
      return;
    }
    fileKey.reserve(base + n);
    for (size_t i = 0; i < n; ++i) fileKey.push_back(keyBase + d.fileVertex[i]);
    tris.reserve(tris.size() + d.tris.size());
    for (uint32_t t : d.tris) tris.push_back(static_cast<uint32_t>(base) + t);
    attrs.reserve(attrs.size() + d.triAttr.size());
    for (uint32_t a : d.triAttr) attrs.push_back(materialBase + a);
  }

  // The arrays of every element some mesh gave, as long as the positions.
  VertexSource Source() {
    VertexSource v;
    v.count = pos.size();
    v.pos = pos.data();
    if (fvf & gpu::fvf::Normal) {
      nrm.resize(v.count);
      v.nrm = nrm.data();
    }
    if (fvf & gpu::fvf::Diffuse) {
      color.resize(v.count);
      v.color = color.data();
    }
    if (fvf & gpu::fvf::Tex1) {
      uv.resize(v.count);
      v.uv = uv.data();
    }
    return v;
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
  Status s = BuildMesh(c.fvf, c.Source(), c.tris, c.attrs, options, device, mesh);
  if (Failed(s)) return s;
  if (adjacency) MeshAdjacency(*mesh, c.fileKey, c.nextKey, adjacency);
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
  VertexSource verts;
  verts.count = d.pos.size();
  verts.pos = d.pos.data();
  if (d.hasNormals) verts.nrm = d.nrm.data();
  if (d.hasColors) verts.color = d.color.data();
  if (d.hasUv) verts.uv = d.uv.data();
  s = BuildMesh(FvfOf(d), verts, d.tris, d.triAttr, options, device, mesh);
  if (Failed(s)) return s;
  if (adjacency) MeshAdjacency(*mesh, d.fileVertex, d.fileVertexCount, adjacency);
  if (skinInfo) {
    // Each file vertex's influences go to every output vertex made from it:
    // outputs[first[f]] to outputs[first[f + 1] - 1], in output order.
    std::vector<uint32_t> first(size_t{d.fileVertexCount} + 1, 0), outputs(d.fileVertex.size());
    for (uint32_t f : d.fileVertex) ++first[f + 1];
    for (uint32_t f = 0; f < d.fileVertexCount; ++f) first[f + 1] += first[f];
    {
      std::vector<uint32_t> fill(first.begin(), first.end() - 1);
      for (uint32_t v = 0; v < d.fileVertex.size(); ++v) outputs[fill[d.fileVertex[v]]++] = v;
    }
    SkinInfo* skin = SkinInfo::Create(static_cast<uint32_t>(d.pos.size()),
                                      static_cast<uint32_t>(d.bones.size()));
    for (uint32_t b = 0; b < d.bones.size(); ++b) {
      const MeshData::Bone& bone = d.bones[b];
      std::vector<uint32_t> vs;
      std::vector<float> ws;
      vs.reserve(bone.vertices.size());
      ws.reserve(bone.vertices.size());
      for (size_t i = 0; i < bone.vertices.size(); ++i) {
        const uint32_t f = bone.vertices[i];
        for (uint32_t k = first[f]; k < first[f + 1]; ++k) {
          vs.push_back(outputs[k]);
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
