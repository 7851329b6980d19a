#include "port/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace port {

namespace {

uint32_t ElementSize(gpu::DeclType t) {
  switch (t) {
    case gpu::DeclType::Float1:
      return 4;
    case gpu::DeclType::Float2:
      return 8;
    case gpu::DeclType::Float3:
      return 12;
    case gpu::DeclType::Float4:
      return 16;
    case gpu::DeclType::Color:
      return 4;
    case gpu::DeclType::UByte4:
      return 4;
    default:
      return 0;
  }
}

bool ValidLayout(const gpu::VertexLayout& l) {
  if (l.stride == 0) return false;
  bool position = false;
  for (const gpu::VertexElement& e : l.elements) {
    uint32_t size = ElementSize(e.type);
    if (size == 0 || e.offset + size > l.stride) return false;
    if (e.usage == gpu::DeclUsage::Position && e.usageIndex == 0 &&
        e.type == gpu::DeclType::Float3) {
      position = true;
    }
  }
  return position;
}

// An element as four floats: float components as they are (missing ones 0),
// a colour as r, g, b, a in 0..1, UBYTE4 as its four byte values.
void Decode(const uint8_t* p, gpu::DeclType t, float out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  switch (t) {
    case gpu::DeclType::Float1:
    case gpu::DeclType::Float2:
    case gpu::DeclType::Float3:
    case gpu::DeclType::Float4:
      std::memcpy(out, p, ElementSize(t));
      break;
    case gpu::DeclType::Color:  // stored B, G, R, A
      out[0] = p[2] / 255.0f;
      out[1] = p[1] / 255.0f;
      out[2] = p[0] / 255.0f;
      out[3] = p[3] / 255.0f;
      break;
    case gpu::DeclType::UByte4:
      for (int i = 0; i < 4; ++i) out[i] = p[i];
      break;
    default:
      break;
  }
}

uint8_t ToByte(float v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v + 0.5f);
}

void Encode(const float in[4], gpu::DeclType t, uint8_t* p) {
  switch (t) {
    case gpu::DeclType::Float1:
    case gpu::DeclType::Float2:
    case gpu::DeclType::Float3:
    case gpu::DeclType::Float4:
      std::memcpy(p, in, ElementSize(t));
      break;
    case gpu::DeclType::Color:
      p[2] = ToByte(in[0] * 255);
      p[1] = ToByte(in[1] * 255);
      p[0] = ToByte(in[2] * 255);
      p[3] = ToByte(in[3] * 255);
      break;
    case gpu::DeclType::UByte4:
      for (int i = 0; i < 4; ++i) p[i] = ToByte(in[i]);
      break;
    default:
      break;
  }
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 LoadVec3(const uint8_t* p) {
  Vec3 v;
  std::memcpy(&v.x, p, 4);
  std::memcpy(&v.y, p + 4, 4);
  std::memcpy(&v.z, p + 8, 4);
  return v;
}
void StoreVec3(uint8_t* p, const Vec3& v) {
  std::memcpy(p, &v.x, 4);
  std::memcpy(p + 4, &v.y, 4);
  std::memcpy(p + 8, &v.z, 4);
}

}  // namespace

Status Mesh::Create(uint32_t numFaces, uint32_t numVertices, uint32_t options,
                    const gpu::VertexLayout& layout, gpu::Device* device, Mesh** out) {
  if (!out) return kInvalidArg;
  *out = nullptr;
  if (numFaces == 0 || numVertices == 0 || numVertices > kMaxMeshVertices || !ValidLayout(layout)) {
    return kInvalidArg;
  }
  if (numFaces > (uint32_t{1} << 28)) return kOutOfMemory;
  Mesh* m = new Mesh;
  m->numFaces_ = numFaces;
  m->numVertices_ = numVertices;
  m->options_ = options;
  m->layout_ = layout;
  m->fvf_ = gpu::FvfFromLayout(layout);
  m->device_ = device;
  m->vertices_.assign(size_t{numVertices} * layout.stride, 0);
  m->indices_.assign(size_t{numFaces} * 3, 0);
  m->attributes_.assign(numFaces, 0);
  *out = m;
  return kOk;
}

Status Mesh::CreateFVF(uint32_t numFaces, uint32_t numVertices, uint32_t options, uint32_t fvf,
                       gpu::Device* device, Mesh** out) {
  Status s = Create(numFaces, numVertices, options, gpu::LayoutFromFvf(fvf), device, out);
  if (!Failed(s)) (*out)->fvf_ = fvf;
  return s;
}

Mesh::~Mesh() {
  SafeRelease(vb_);
  SafeRelease(ib_);
}

void* Mesh::LockVertexBuffer(uint32_t flags) {
  if (!(flags & kLockReadOnly)) vertsDirty_ = true;
  return vertices_.data();
}

uint16_t* Mesh::LockIndexBuffer(uint32_t flags) {
  if (!(flags & kLockReadOnly)) indicesDirty_ = true;
  return indices_.data();
}

uint32_t* Mesh::LockAttributeBuffer(uint32_t) { return attributes_.data(); }

Status Mesh::Upload() {
  if (!device_) return kInvalidCall;
  auto fill = [&](gpu::Buffer*& buf, const void* data, size_t bytes, bool isIndex) -> bool {
    if (!buf || buf->Size() != bytes) {
      SafeRelease(buf);
      buf = device_->CreateBuffer(static_cast<uint32_t>(bytes), isIndex);
      if (!buf) return false;
    }
    void* dst = buf->Lock();
    if (!dst) return false;
    std::memcpy(dst, data, bytes);
    buf->Unlock();
    return true;
  };
  if (vertsDirty_ || !vb_) {
    if (!fill(vb_, vertices_.data(), vertices_.size(), false)) return kOutOfMemory;
    vertsDirty_ = false;
  }
  if (indicesDirty_ || !ib_) {
    if (!fill(ib_, indices_.data(), indices_.size() * 2, true)) return kOutOfMemory;
    indicesDirty_ = false;
  }
  return kOk;
}

Status Mesh::DrawSubset(uint32_t attribId) {
  if (!device_) return kInvalidCall;
  // Collect the face runs first: an id with no faces touches nothing.
  struct Run {
    uint32_t faceStart, faceCount, vertexStart, vertexCount;
  };
  std::vector<Run> runs;
  if (!table_.empty()) {
    for (const AttributeRange& r : table_) {
      if (r.attribId == attribId && r.faceCount > 0)
        runs.push_back({r.faceStart, r.faceCount, r.vertexStart, r.vertexCount});
    }
  } else {
    for (uint32_t f = 0; f < numFaces_;) {
      if (attributes_[f] != attribId) {
        ++f;
        continue;
      }
      uint32_t start = f;
      while (f < numFaces_ && attributes_[f] == attribId) ++f;
      runs.push_back({start, f - start, 0, numVertices_});
    }
  }
  if (runs.empty()) return kOk;
  Status s = Upload();
  if (Failed(s)) return s;
  device_->SetVertexLayout(layout_);
  device_->SetStreamSource(vb_, 0, layout_.stride);
  device_->SetIndices(ib_);
  for (const Run& r : runs) {
    device_->DrawIndexedPrimitive(gpu::TriangleList, 0, r.vertexStart, r.vertexCount,
                                  r.faceStart * 3, r.faceCount);
  }
  return kOk;
}

Status Mesh::GetAttributeTable(AttributeRange* table, uint32_t* count) const {
  if (!count) return kInvalidArg;
  if (table) {
    uint32_t n = std::min<uint32_t>(*count, static_cast<uint32_t>(table_.size()));
    std::copy(table_.begin(), table_.begin() + n, table);
  }
  *count = static_cast<uint32_t>(table_.size());
  return kOk;
}

Status Mesh::SetAttributeTable(const AttributeRange* table, uint32_t count) {
  if (count > 0 && !table) return kInvalidArg;
  for (uint32_t i = 0; i < count; ++i) {
    const AttributeRange& r = table[i];
    if (r.faceStart > numFaces_ || r.faceCount > numFaces_ - r.faceStart ||
        r.vertexStart > numVertices_ || r.vertexCount > numVertices_ - r.vertexStart) {
      return kInvalidArg;
    }
  }
  table_.assign(table, table + count);
  return kOk;
}

void Mesh::BuildTableFromAttributes() {
  table_.clear();
  for (uint32_t f = 0; f < numFaces_;) {
    AttributeRange r;
    r.attribId = attributes_[f];
    r.faceStart = f;
    uint32_t lo = UINT32_MAX, hi = 0;
    while (f < numFaces_ && attributes_[f] == r.attribId) {
      for (int k = 0; k < 3; ++k) {
        lo = std::min<uint32_t>(lo, indices_[f * 3 + k]);
        hi = std::max<uint32_t>(hi, indices_[f * 3 + k]);
      }
      ++f;
    }
    r.faceCount = f - r.faceStart;
    r.vertexStart = lo;
    r.vertexCount = hi - lo + 1;
    table_.push_back(r);
  }
}

Status Mesh::CloneMeshFVF(uint32_t options, uint32_t fvf, gpu::Device* device, Mesh** out) const {
  Status s = CloneMesh(options, gpu::LayoutFromFvf(fvf), device, out);
  if (!Failed(s)) (*out)->fvf_ = fvf;
  return s;
}

Status Mesh::CloneMesh(uint32_t options, const gpu::VertexLayout& layout, gpu::Device* device,
                       Mesh** out) const {
  if (!out) return kInvalidArg;
  Mesh* m = nullptr;
  Status s = Create(numFaces_, numVertices_, options, layout, device, &m);
  if (Failed(s)) {
    *out = nullptr;
    return s;
  }
  m->indices_ = indices_;
  m->attributes_ = attributes_;
  m->table_ = table_;
  for (const gpu::VertexElement& d : layout.elements) {
    const gpu::VertexElement* src = layout_.Find(d.usage, d.usageIndex);
    if (!src) continue;  // stays zero
    for (uint32_t v = 0; v < numVertices_; ++v) {
      const uint8_t* sp = vertices_.data() + size_t{v} * layout_.stride + src->offset;
      uint8_t* dp = m->vertices_.data() + size_t{v} * layout.stride + d.offset;
      if (src->type == d.type) {
        std::memcpy(dp, sp, ElementSize(d.type));
      } else {
        float tmp[4];
        Decode(sp, src->type, tmp);
        Encode(tmp, d.type, dp);
      }
    }
  }
  *out = m;
  return kOk;
}

Status Mesh::OptimizeInplace(uint32_t flags, std::vector<uint32_t>* faceRemap,
                             std::vector<uint32_t>* vertexRemap) {
  bool sort = flags & (meshopt::kAttrSort | meshopt::kVertexCache);
  std::vector<uint32_t> order(numFaces_);
  std::iota(order.begin(), order.end(), 0u);
  if (sort) {
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return attributes_[a] < attributes_[b]; });
    std::vector<uint16_t> idx(indices_.size());
    std::vector<uint32_t> attr(numFaces_);
    for (uint32_t f = 0; f < numFaces_; ++f) {
      attr[f] = attributes_[order[f]];
      for (int k = 0; k < 3; ++k) idx[f * 3 + k] = indices_[order[f] * 3 + k];
    }
    indices_.swap(idx);
    attributes_.swap(attr);
    indicesDirty_ = true;
  }
  std::vector<uint32_t> remap(numVertices_);
  std::iota(remap.begin(), remap.end(), 0u);
  if (flags & meshopt::kCompact) {
    std::vector<uint8_t> used(numVertices_, 0);
    for (uint16_t i : indices_) {
      if (i < numVertices_) used[i] = 1;
    }
    uint32_t next = 0;
    for (uint32_t v = 0; v < numVertices_; ++v) remap[v] = used[v] ? next++ : 0xFFFFFFFFu;
    if (next != numVertices_ && next > 0) {
      uint32_t stride = layout_.stride;
      std::vector<uint8_t> verts(size_t{next} * stride);
      for (uint32_t v = 0; v < numVertices_; ++v) {
        if (remap[v] != 0xFFFFFFFFu)
          std::memcpy(&verts[size_t{remap[v]} * stride], &vertices_[size_t{v} * stride], stride);
      }
      for (uint16_t& i : indices_) {
        if (i < numVertices_) i = static_cast<uint16_t>(remap[i]);
      }
      vertices_.swap(verts);
      numVertices_ = next;
      vertsDirty_ = indicesDirty_ = true;
    }
  }
  if (sort) {
    BuildTableFromAttributes();
  } else if (flags & meshopt::kCompact) {
    for (AttributeRange& r : table_) {  // vertex ranges follow the renumbering
      uint32_t lo = UINT32_MAX, hi = 0;
      for (uint32_t f = r.faceStart; f < r.faceStart + r.faceCount && f < numFaces_; ++f) {
        for (int k = 0; k < 3; ++k) {
          lo = std::min<uint32_t>(lo, indices_[f * 3 + k]);
          hi = std::max<uint32_t>(hi, indices_[f * 3 + k]);
        }
      }
      r.vertexStart = lo == UINT32_MAX ? 0 : lo;
      r.vertexCount = lo == UINT32_MAX ? 0 : hi - lo + 1;
    }
  }
  if (faceRemap) *faceRemap = std::move(order);
  if (vertexRemap) *vertexRemap = std::move(remap);
  return kOk;
}

Status Mesh::UpdateSemantics(const gpu::VertexLayout& layout) {
  if (layout.stride != layout_.stride || !ValidLayout(layout)) return kInvalidArg;
  layout_ = layout;
  fvf_ = gpu::FvfFromLayout(layout);
  return kOk;
}

Status ComputeNormals(Mesh* mesh) {
  if (!mesh) return kInvalidArg;
  const gpu::VertexLayout& l = mesh->GetDeclaration();
  const gpu::VertexElement* pos = l.Find(gpu::DeclUsage::Position);
  const gpu::VertexElement* nrm = l.Find(gpu::DeclUsage::Normal);
  if (!pos || !nrm || pos->type != gpu::DeclType::Float3 || nrm->type != gpu::DeclType::Float3)
    return kInvalidCall;
  uint32_t nv = mesh->GetNumVertices(), nf = mesh->GetNumFaces(), stride = l.stride;
  uint8_t* v = static_cast<uint8_t*>(mesh->LockVertexBuffer());
  const uint16_t* idx = mesh->LockIndexBuffer(kLockReadOnly);
  std::vector<Vec3> sum(nv);
  for (uint32_t f = 0; f < nf; ++f) {
    uint16_t i0 = idx[f * 3], i1 = idx[f * 3 + 1], i2 = idx[f * 3 + 2];
    if (i0 >= nv || i1 >= nv || i2 >= nv) continue;
    Vec3 p0 = LoadVec3(v + size_t{i0} * stride + pos->offset);
    Vec3 p1 = LoadVec3(v + size_t{i1} * stride + pos->offset);
    Vec3 p2 = LoadVec3(v + size_t{i2} * stride + pos->offset);
    Vec3 n = Cross(p1 - p0, p2 - p0);
    float len = std::sqrt(Dot(n, n));
    if (!(len > 0)) continue;
    n = n / len;
    sum[i0] += n;
    sum[i1] += n;
    sum[i2] += n;
  }
  for (uint32_t i = 0; i < nv; ++i) {
    float len = std::sqrt(Dot(sum[i], sum[i]));
    Vec3 n = len > 0 ? sum[i] / len : Vec3{};
    StoreVec3(v + size_t{i} * stride + nrm->offset, n);
  }
  mesh->UnlockIndexBuffer();
  mesh->UnlockVertexBuffer();
  return kOk;
}

Status ComputeMeshBoundingSphere(const Mesh* mesh, Vec3* centre, float* radius) {
  if (!mesh || !centre || !radius) return kInvalidArg;
  const gpu::VertexElement* pos = mesh->GetDeclaration().Find(gpu::DeclUsage::Position);
  if (!pos) return kInvalidCall;
  if (!ComputeBoundingSphere(mesh->Vertices() + pos->offset, mesh->GetNumVertices(),
                             mesh->GetNumBytesPerVertex(), centre, radius)) {
    return kFail;
  }
  return kOk;
}

// In barycentric units: far below a texel of any face the game casts at.
constexpr float kEdgeSlack = 1e-5f;

Status Intersect(const Mesh* mesh, const Vec3& origin, const Vec3& dir, IntersectInfo* out) {
  if (!mesh || !out) return kInvalidArg;
  *out = IntersectInfo{};
  const gpu::VertexElement* pos = mesh->GetDeclaration().Find(gpu::DeclUsage::Position);
  if (!pos) return kInvalidCall;
  uint32_t nv = mesh->GetNumVertices(), nf = mesh->GetNumFaces(),
           stride = mesh->GetNumBytesPerVertex();
  const uint8_t* v = mesh->Vertices() + pos->offset;
  const uint16_t* idx = mesh->Indices();
  for (uint32_t f = 0; f < nf; ++f) {
    uint16_t i0 = idx[f * 3], i1 = idx[f * 3 + 1], i2 = idx[f * 3 + 2];
    if (i0 >= nv || i1 >= nv || i2 >= nv) continue;
    Vec3 p0 = LoadVec3(v + size_t{i0} * stride);
    Vec3 e1 = LoadVec3(v + size_t{i1} * stride) - p0;
    Vec3 e2 = LoadVec3(v + size_t{i2} * stride) - p0;
    Vec3 p = Cross(dir, e2);
    float det = Dot(e1, p);
    if (det == 0 || !std::isfinite(det)) continue;  // parallel to the plane
    float inv = 1.0f / det;
    Vec3 s = origin - p0;
    // The edges take a little slack: a ray through the edge two faces share
    // must not slip between them on rounding.
    float u = Dot(s, p) * inv;
    if (!(u >= -kEdgeSlack && u <= 1 + kEdgeSlack)) continue;
    Vec3 q = Cross(s, e1);
    float w = Dot(dir, q) * inv;
    if (!(w >= -kEdgeSlack && u + w <= 1 + kEdgeSlack)) continue;
    float t = Dot(e2, q) * inv;
    if (!(t >= 0)) continue;
    if (!out->hit || t < out->dist) {
      out->hit = true;
      out->face = f;
      out->u = u;
      out->v = w;
      out->dist = t;
    }
  }
  return kOk;
}

}  // namespace port
