#include "port/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/recording_device.h"

using port::AttributeRange;
using port::Mesh;
using port::Vec3;
namespace gpu = port::gpu;
namespace fvf = port::gpu::fvf;

namespace {

struct MeshHolder {
  Mesh* m = nullptr;
  ~MeshHolder() { port::SafeRelease(m); }
  Mesh* operator->() { return m; }
};

struct V {
  float x, y, z;
};

// A mesh of XYZ positions and the given triangles and attributes.
void MakeMesh(MeshHolder* h, const std::vector<V>& verts, const std::vector<uint16_t>& idx,
              const std::vector<uint32_t>& attr, gpu::Device* device = nullptr) {
  ASSERT_EQ(Mesh::CreateFVF(static_cast<uint32_t>(attr.size()), static_cast<uint32_t>(verts.size()),
                            0, fvf::XYZ, device, &h->m),
            port::kOk);
  std::memcpy(h->m->LockVertexBuffer(), verts.data(), verts.size() * 12);
  std::memcpy(h->m->LockIndexBuffer(), idx.data(), idx.size() * 2);
  std::memcpy(h->m->LockAttributeBuffer(), attr.data(), attr.size() * 4);
}

Vec3 VertexAt(const Mesh* m, uint32_t i, uint32_t offset = 0) {
  Vec3 v;
  std::memcpy(&v, m->Vertices() + i * m->GetNumBytesPerVertex() + offset, 12);
  return v;
}

}  // namespace

TEST(Mesh, CreationLimits) {
  Mesh* m = nullptr;
  EXPECT_EQ(Mesh::CreateFVF(1, 65536, 0, fvf::XYZ, nullptr, &m), port::kInvalidArg);
  EXPECT_EQ(m, nullptr);
  EXPECT_TRUE(port::Failed(Mesh::CreateFVF(0, 3, 0, fvf::XYZ, nullptr, &m)));
  EXPECT_TRUE(port::Failed(Mesh::CreateFVF(1, 3, 0, fvf::Normal, nullptr, &m)));  // no position
  ASSERT_EQ(Mesh::CreateFVF(2, 65535, 0x220, fvf::XYZ | fvf::Normal | fvf::Tex1, nullptr, &m),
            port::kOk);
  EXPECT_EQ(m->GetNumBytesPerVertex(), 32u);
  EXPECT_EQ(m->GetFVF(), fvf::XYZ | fvf::Normal | fvf::Tex1);
  EXPECT_EQ(m->GetOptions(), 0x220u);
  EXPECT_EQ(m->GetNumFaces(), 2u);
  m->Release();
}

TEST(Mesh, CloneConvertsElementsByUsageAndZeroFillsMissingOnes) {
  MeshHolder src;
  ASSERT_EQ(Mesh::CreateFVF(1, 3, 0, fvf::XYZ | fvf::Diffuse | fvf::Tex1, nullptr, &src.m),
            port::kOk);
  struct In {
    float x, y, z;
    uint32_t colour;
    float u, v;
  } in[3] = {{1, 2, 3, 0x80FF0040u, 0.25f, 0.5f}, {4, 5, 6, 0, 1, 1}, {7, 8, 9, 0xFFFFFFFFu, 0, 0}};
  std::memcpy(src->LockVertexBuffer(), in, sizeof in);
  uint16_t idx[3] = {0, 1, 2};
  std::memcpy(src->LockIndexBuffer(), idx, sizeof idx);
  src->LockAttributeBuffer()[0] = 7;
  ASSERT_EQ(src->OptimizeInplace(port::meshopt::kAttrSort), port::kOk);

  MeshHolder dst;
  ASSERT_EQ(src->CloneMeshFVF(0x220, fvf::XYZ | fvf::Normal | fvf::Tex1, nullptr, &dst.m),
            port::kOk);
  EXPECT_EQ(dst->GetNumBytesPerVertex(), 32u);
  struct Out {
    float x, y, z, nx, ny, nz, u, v;
  } out[3];
  std::memcpy(out, dst->Vertices(), sizeof out);
  EXPECT_EQ(out[0].x, 1);
  EXPECT_EQ(out[2].z, 9);
  EXPECT_EQ(out[0].nx, 0);
  EXPECT_EQ(out[0].nz, 0);
  EXPECT_EQ(out[0].u, 0.25f);
  EXPECT_EQ(out[0].v, 0.5f);
  EXPECT_EQ(dst->Indices()[2], 2);
  EXPECT_EQ(dst->Attributes()[0], 7u);
  EXPECT_EQ(dst->AttributeTable(), src->AttributeTable());

  // Declaration clone with type changes: colour to four floats, position to FLOAT4.
  gpu::VertexLayout l;
  l.elements = {{0, gpu::DeclType::Float3, gpu::DeclUsage::Position, 0},
                {12, gpu::DeclType::Float4, gpu::DeclUsage::Color, 0},
                {28, gpu::DeclType::Float1, gpu::DeclUsage::TexCoord, 0},
                {32, gpu::DeclType::UByte4, gpu::DeclUsage::BlendIndices, 0}};
  l.stride = 36;
  MeshHolder conv;
  ASSERT_EQ(src->CloneMesh(0, l, nullptr, &conv.m), port::kOk);
  EXPECT_EQ(conv->GetFVF(), 0u);  // not an FVF layout
  float c[4], u;
  std::memcpy(c, conv->Vertices() + 12, 16);
  std::memcpy(&u, conv->Vertices() + 28, 4);
  EXPECT_FLOAT_EQ(c[0], 1.0f);           // red 0xFF
  EXPECT_FLOAT_EQ(c[2], 0x40 / 255.0f);  // blue
  EXPECT_FLOAT_EQ(c[3], 0x80 / 255.0f);  // alpha
  EXPECT_EQ(u, 0.25f);
  uint32_t blend;
  std::memcpy(&blend, conv->Vertices() + 32, 4);
  EXPECT_EQ(blend, 0u);
}

TEST(Mesh, AttributeSortIsStableAndBuildsTheTable) {
  MeshHolder m;
  std::vector<V> verts(8);
  MakeMesh(&m, verts, {0, 1, 2, 1, 2, 3, 2, 3, 4, 3, 4, 5, 5, 6, 7}, {2, 0, 1, 0, 2});
  std::vector<uint32_t> faceRemap;
  ASSERT_EQ(m->OptimizeInplace(port::meshopt::kAttrSort, &faceRemap), port::kOk);
  EXPECT_EQ(faceRemap, (std::vector<uint32_t>{1, 3, 2, 0, 4}));
  std::vector<uint32_t> attr(m->Attributes(), m->Attributes() + 5);
  EXPECT_EQ(attr, (std::vector<uint32_t>{0, 0, 1, 2, 2}));
  EXPECT_EQ(m->Indices()[0], 1);  // old face 1 first
  EXPECT_EQ(m->Indices()[3], 3);  // then old face 3
  uint32_t n = 0;
  ASSERT_EQ(m->GetAttributeTable(nullptr, &n), port::kOk);
  ASSERT_EQ(n, 3u);
  std::vector<AttributeRange> table(n);
  ASSERT_EQ(m->GetAttributeTable(table.data(), &n), port::kOk);
  EXPECT_EQ(table[0], (AttributeRange{0, 0, 2, 1, 5}));
  EXPECT_EQ(table[1], (AttributeRange{1, 2, 1, 2, 3}));
  EXPECT_EQ(table[2], (AttributeRange{2, 3, 2, 0, 8}));
}

TEST(Mesh, CompactDropsUnusedVerticesKeepingOrder) {
  MeshHolder m;
  MakeMesh(&m, {{0, 0, 0}, {9, 9, 9}, {1, 0, 0}, {9, 9, 9}, {0, 1, 0}, {1, 1, 0}},
           {0, 2, 4, 4, 2, 5}, {0, 0});
  std::vector<uint32_t> vremap;
  ASSERT_EQ(
      m->OptimizeInplace(port::meshopt::kCompact | port::meshopt::kAttrSort, nullptr, &vremap),
      port::kOk);
  EXPECT_EQ(m->GetNumVertices(), 4u);
  EXPECT_EQ(vremap, (std::vector<uint32_t>{0, 0xFFFFFFFFu, 1, 0xFFFFFFFFu, 2, 3}));
  std::vector<uint16_t> idx(m->Indices(), m->Indices() + 6);
  EXPECT_EQ(idx, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3}));
  EXPECT_EQ(VertexAt(m.m, 3), (Vec3{1, 1, 0}));
  EXPECT_EQ(m->AttributeTable().size(), 1u);
  EXPECT_EQ(m->AttributeTable()[0].vertexCount, 4u);
  Vec3 c;
  float r;
  ASSERT_EQ(port::ComputeMeshBoundingSphere(m.m, &c, &r), port::kOk);
  EXPECT_EQ(c, (Vec3{0.5f, 0.5f, 0}));  // the unused (9,9,9) vertices are gone
  EXPECT_FLOAT_EQ(r, std::sqrt(0.5f));
}

TEST(Mesh, UpdateSemanticsKeepsBytesAndStride) {
  MeshHolder m;
  ASSERT_EQ(Mesh::CreateFVF(1, 3, 0, fvf::XYZB2 | fvf::LastBetaUByte4 | fvf::Normal | fvf::Tex1,
                            nullptr, &m.m),
            port::kOk);
  gpu::VertexLayout l = m->GetDeclaration();
  for (auto& e : l.elements) {
    if (e.usage == gpu::DeclUsage::BlendIndices) e.type = gpu::DeclType::Color;
  }
  uint8_t* v = static_cast<uint8_t*>(m->LockVertexBuffer());
  v[5] = 0xAB;
  ASSERT_EQ(m->UpdateSemantics(l), port::kOk);
  EXPECT_EQ(m->GetDeclaration().Find(gpu::DeclUsage::BlendIndices)->type, gpu::DeclType::Color);
  EXPECT_EQ(m->Vertices()[5], 0xAB);
  gpu::VertexLayout wider = l;
  wider.stride += 4;
  EXPECT_EQ(m->UpdateSemantics(wider), port::kInvalidArg);
  EXPECT_EQ(m->GetNumBytesPerVertex(), l.stride);
}

TEST(Mesh, ComputeNormalsSumsFaceNormalsPerVertexIndex) {
  MeshHolder m;
  ASSERT_EQ(Mesh::CreateFVF(2, 4, 0, fvf::XYZ | fvf::Normal, nullptr, &m.m), port::kOk);
  // Two faces folded along the edge 0-1: one in the x-y plane, one in the y-z plane.
  float v[4][6] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}};
  std::memcpy(m->LockVertexBuffer(), v, sizeof v);
  uint16_t idx[6] = {0, 1, 2, 0, 3, 1};
  std::memcpy(m->LockIndexBuffer(), idx, sizeof idx);
  ASSERT_EQ(port::ComputeNormals(m.m), port::kOk);
  Vec3 n2 = VertexAt(m.m, 2, 12), n3 = VertexAt(m.m, 3, 12), n0 = VertexAt(m.m, 0, 12);
  EXPECT_EQ(n2, (Vec3{0, 0, -1}));  // (v1 - v0) x (v2 - v0)
  EXPECT_EQ(n3, (Vec3{-1, 0, 0}));
  float h = 1 / std::sqrt(2.0f);
  EXPECT_FLOAT_EQ(n0.x, -h);
  EXPECT_FLOAT_EQ(n0.z, -h);
  MeshHolder noNormals;
  MakeMesh(&noNormals, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}, {0});
  EXPECT_TRUE(port::Failed(port::ComputeNormals(noNormals.m)));
}

TEST(Mesh, IntersectFindsTheNearestHitOnEitherSide) {
  MeshHolder m;
  // Two parallel unit quads facing -z, at z = 5 and z = 2, far one first.
  MakeMesh(&m,
           {{0, 0, 5}, {0, 1, 5}, {1, 0, 5}, {1, 1, 5}, {0, 0, 2}, {0, 1, 2}, {1, 0, 2}, {1, 1, 2}},
           {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7}, {0, 0, 1, 1});
  port::IntersectInfo hit;
  ASSERT_EQ(port::Intersect(m.m, {0.25f, 0.5f, 0}, {0, 0, 1}, &hit), port::kOk);
  ASSERT_TRUE(hit.hit);
  EXPECT_EQ(hit.face, 2u);
  EXPECT_FLOAT_EQ(hit.dist, 2.0f);
  EXPECT_FLOAT_EQ(hit.u, 0.5f);   // along v0 -> v1 (y)
  EXPECT_FLOAT_EQ(hit.v, 0.25f);  // along v0 -> v2 (x)

  // The direction's length scales the distance.
  ASSERT_EQ(port::Intersect(m.m, {0.25f, 0.5f, 0}, {0, 0, 4}, &hit), port::kOk);
  EXPECT_FLOAT_EQ(hit.dist, 0.5f);

  // From between the quads looking back: the near quad's back side.
  ASSERT_EQ(port::Intersect(m.m, {0.25f, 0.5f, 3}, {0, 0, -1}, &hit), port::kOk);
  ASSERT_TRUE(hit.hit);
  EXPECT_EQ(hit.face, 2u);
  EXPECT_FLOAT_EQ(hit.dist, 1.0f);
  // ... and forward: the far quad; the one behind the origin does not count.
  ASSERT_EQ(port::Intersect(m.m, {0.25f, 0.5f, 3}, {0, 0, 1}, &hit), port::kOk);
  EXPECT_EQ(hit.face, 0u);
  EXPECT_FLOAT_EQ(hit.dist, 2.0f);

  // Misses: beside the quads, parallel to them, pointing away.
  EXPECT_EQ(port::Intersect(m.m, {2, 0.5f, 0}, {0, 0, 1}, &hit), port::kOk);
  EXPECT_FALSE(hit.hit);
  port::Intersect(m.m, {0.5f, 0.5f, 0}, {1, 0, 0}, &hit);
  EXPECT_FALSE(hit.hit);
  port::Intersect(m.m, {0.5f, 0.5f, 0}, {0, 0, -1}, &hit);
  EXPECT_FALSE(hit.hit);
  // An edge counts.
  port::Intersect(m.m, {1, 0.5f, 0}, {0, 0, 1}, &hit);
  EXPECT_TRUE(hit.hit);
}

TEST(Mesh, IntersectNeverSlipsBetweenFacesThatShareAnEdge) {
  MeshHolder m;
  // A floor of four 20-unit cells at y = 0, each two faces split on its diagonal.
  std::vector<V> v;
  std::vector<uint16_t> idx;
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      const float x0 = -20.0f + 20.0f * i, z0 = -20.0f + 20.0f * j;
      const uint16_t a = static_cast<uint16_t>(v.size());
      v.insert(v.end(),
               {V{x0, 0, z0}, V{x0 + 20, 0, z0}, V{x0 + 20, 0, z0 + 20}, V{x0, 0, z0 + 20}});
      idx.insert(idx.end(),
                 {a, uint16_t(a + 1), uint16_t(a + 2), a, uint16_t(a + 2), uint16_t(a + 3)});
    }
  }
  MakeMesh(&m, v, idx, std::vector<uint32_t>(8, 0));
  // Straight down onto the shared edges, the diagonals and the middle corner.
  // A heading of 180 or 90 degrees leaves a sine's rounding beside an edge.
  const Vec3 points[] = {{0, 1, -0.3f},
                         {0, 1, 0.3f},
                         {0.15f, 1, 0},
                         {-0.15f, 1, 0},
                         {0, 1, 0},
                         {5, 1, -15},
                         {-7.3f, 1, 12.7f},
                         {0, 1, -19.99f},
                         {-2.6e-8f, 1, -0.3f},
                         {2.6e-8f, 1, -0.3f},
                         {0.15f, 1, -1.3e-8f},
                         {-0.3f, 1, 1.3e-8f},
                         {-2.6e-8f, 1, -3.3f},
                         {0.45f, 1, 3.9e-8f}};
  for (const Vec3& p : points) {
    port::IntersectInfo hit;
    ASSERT_EQ(port::Intersect(m.m, p, {0, -10, 0}, &hit), port::kOk);
    EXPECT_TRUE(hit.hit) << p.x << " " << p.z;
    EXPECT_FLOAT_EQ(hit.dist, 0.1f) << p.x << " " << p.z;
  }
}

TEST(Mesh, DrawSubsetUploadsOnceAndDrawsTheRange) {
  RecordingDevice dev;
  MeshHolder m;
  MakeMesh(&m, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 2, 0}}, {0, 1, 2, 2, 1, 3, 1, 3, 4},
           {1, 0, 1}, &dev);
  ASSERT_EQ(m->OptimizeInplace(port::meshopt::kAttrSort), port::kOk);
  ASSERT_EQ(m->DrawSubset(1), port::kOk);
  ASSERT_EQ(dev.indexedDraws.size(), 1u);
  EXPECT_EQ(dev.indexedDraws[0].startIndex, 3u);
  EXPECT_EQ(dev.indexedDraws[0].primitiveCount, 2u);
  EXPECT_EQ(dev.indexedDraws[0].minIndex, 0u);
  EXPECT_EQ(dev.indexedDraws[0].numVertices, 5u);
  EXPECT_EQ(dev.stride, 12u);
  EXPECT_EQ(dev.layout.stride, 12u);
  ASSERT_EQ(dev.created.size(), 2u);
  EXPECT_EQ(dev.stream, dev.created[0]);
  EXPECT_EQ(std::memcmp(dev.created[1]->Data(), m->Indices(), 18), 0);
  int uploads = dev.uploads;
  EXPECT_EQ(m->DrawSubset(9), port::kOk);  // no such subset: nothing drawn
  EXPECT_EQ(dev.indexedDraws.size(), 1u);
  m->LockVertexBuffer(port::kLockReadOnly);
  m->DrawSubset(0);
  EXPECT_EQ(dev.uploads, uploads);  // read-only lock: nothing to upload
  static_cast<float*>(m->LockVertexBuffer())[0] = 5;
  m->UnlockVertexBuffer();
  m->DrawSubset(0);
  EXPECT_EQ(dev.uploads, uploads + 1);
  EXPECT_EQ(static_cast<const float*>(dev.created[0]->Data())[0], 5.0f);
  EXPECT_EQ(dev.created.size(), 2u);

  MeshHolder noDevice;
  MakeMesh(&noDevice, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}, {0});
  EXPECT_TRUE(port::Failed(noDevice->DrawSubset(0)));
}

TEST(Mesh, DrawWithoutTableDrawsRunsOfTheAttribute) {
  RecordingDevice dev;
  MeshHolder m;
  MakeMesh(&m, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2},
           {3, 3, 1, 3}, &dev);
  ASSERT_EQ(m->DrawSubset(3), port::kOk);
  ASSERT_EQ(dev.indexedDraws.size(), 2u);
  EXPECT_EQ(dev.indexedDraws[0].primitiveCount, 2u);
  EXPECT_EQ(dev.indexedDraws[1].startIndex, 9u);
}
