// Software skinning and the bone-palette conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "port/gpu.h"
#include "port/math.h"
#include "port/mesh.h"
#include "port/skin.h"

namespace {

namespace fvf = port::gpu::fvf;
using port::Matrix;
using port::Vec3;

struct Vertex {
  float x, y, z, nx, ny, nz, u, v;
};
constexpr uint32_t kFvf = fvf::XYZ | fvf::Normal | fvf::Tex1;

template <typename T>
struct Ref {
  T* p = nullptr;
  ~Ref() { port::SafeRelease(p); }
  T* operator->() const { return p; }
};

// A strip of quads going up in y, two vertices a row; row r is weighted to
// bone r % bones (0.75) and bone (r + 1) % bones (0.25).
void MakeStrip(uint32_t quads, uint32_t bones, uint32_t materials, port::Mesh** mesh,
               port::SkinInfo** skin) {
  const uint32_t rows = quads + 1;
  ASSERT_EQ(port::Mesh::CreateFVF(quads * 2, rows * 2, 0, kFvf, nullptr, mesh), port::kOk);
  auto* v = static_cast<Vertex*>((*mesh)->LockVertexBuffer());
  for (uint32_t r = 0; r < rows; ++r) {
    const float y = static_cast<float>(r);
    v[2 * r] = {0, y, 0, 0, 0, -1, 0, y};
    v[2 * r + 1] = {1, y, 0, 0, 0, -1, 1, y};
  }
  uint16_t* idx = (*mesh)->LockIndexBuffer();
  uint32_t* attr = (*mesh)->LockAttributeBuffer();
  for (uint32_t q = 0; q < quads; ++q) {
    const uint16_t a = static_cast<uint16_t>(2 * q);
    const uint16_t tri[6] = {a, uint16_t(a + 2), uint16_t(a + 3),
                             a, uint16_t(a + 3), uint16_t(a + 1)};
    std::memcpy(idx + 6 * q, tri, sizeof tri);
    attr[2 * q] = attr[2 * q + 1] = q * materials / quads;
  }
  *skin = port::SkinInfo::Create(rows * 2, bones);
  for (uint32_t b = 0; b < bones; ++b) {
    std::vector<uint32_t> verts;
    std::vector<float> weights;
    for (uint32_t r = 0; r < rows; ++r) {
      if (r % bones == b || (r + 1) % bones == b) {
        const float w = r % bones == b ? 0.75f : 0.25f;
        verts.insert(verts.end(), {2 * r, 2 * r + 1});
        weights.insert(weights.end(), {w, w});
      }
    }
    ASSERT_EQ((*skin)->SetBoneInfluence(b, static_cast<uint32_t>(verts.size()), verts.data(),
                                        weights.data()),
              port::kOk);
  }
}

Matrix BoneTransform(uint32_t b) {
  return port::MatrixRotationZ(0.1f * static_cast<float>(b)) *
         port::MatrixTranslation(0.3f * static_cast<float>(b), 0, 0.05f * static_cast<float>(b));
}

TEST(SoftwareSkinning, BlendsPositionsAndNormalsByTheBoneMatricesAndCopiesTheRest) {
  Ref<port::Mesh> src, dst;
  ASSERT_EQ(port::Mesh::CreateFVF(1, 4, 0, kFvf, nullptr, &src.p), port::kOk);
  auto* v = static_cast<Vertex*>(src->LockVertexBuffer());
  v[0] = {1, 0, 0, 1, 0, 0, 0.1f, 0.2f};
  v[1] = {0, 1, 0, 0, 1, 0, 0.3f, 0.4f};
  v[2] = {2, 2, 0, 0, 0, 1, 0.5f, 0.6f};
  v[3] = {5, 5, 5, 0, 0, 1, 0.7f, 0.8f};  // weighted by no bone
  ASSERT_EQ(src->CloneMeshFVF(0, kFvf, nullptr, &dst.p), port::kOk);
  Ref<port::SkinInfo> skin{port::SkinInfo::Create(4, 2)};
  const uint32_t v0[] = {0, 1}, v1[] = {1, 2};
  const float w0[] = {1.0f, 0.5f}, w1[] = {0.5f, 1.0f};
  skin->SetBoneInfluence(0, 2, v0, w0);
  skin->SetBoneInfluence(1, 2, v1, w1);
  const Matrix bones[2] = {port::MatrixTranslation(1, 0, 0),
                           port::MatrixRotationZ(3.14159265f / 2)};

  ASSERT_EQ(port::UpdateSkinnedMesh(*skin.p, bones, 2, *src.p, dst.p), port::kOk);
  const auto* out = reinterpret_cast<const Vertex*>(dst->Vertices());
  EXPECT_NEAR(out[0].x, 2.0f, 1e-6f);
  EXPECT_NEAR(out[0].nx, 1.0f, 1e-6f);  // translation leaves normals alone
  // Half moved by (1, 0, 0), half turned a quarter: (0.5, 0.5) + (-0.5, 0).
  EXPECT_NEAR(out[1].x, 0.0f, 1e-6f);
  EXPECT_NEAR(out[1].y, 0.5f, 1e-6f);
  EXPECT_NEAR(out[1].nx, -0.5f, 1e-6f);  // not renormalised
  EXPECT_NEAR(out[1].ny, 0.5f, 1e-6f);
  EXPECT_NEAR(out[2].x, -2.0f, 1e-5f);
  EXPECT_NEAR(out[2].y, 2.0f, 1e-5f);
  EXPECT_EQ(out[3].x, 0.0f);  // no influence: the origin
  EXPECT_EQ(out[3].nz, 0.0f);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i].u, v[i].u);

  // Skinning again from the same source gives the same result.
  ASSERT_EQ(port::UpdateSkinnedMesh(*skin.p, bones, 2, *src.p, dst.p), port::kOk);
  EXPECT_NEAR(out[0].x, 2.0f, 1e-6f);

  EXPECT_EQ(port::UpdateSkinnedMesh(*skin.p, bones, 1, *src.p, dst.p), port::kInvalidArg);
  Ref<port::Mesh> small;
  ASSERT_EQ(port::Mesh::CreateFVF(1, 3, 0, kFvf, nullptr, &small.p), port::kOk);
  EXPECT_EQ(port::UpdateSkinnedMesh(*skin.p, bones, 2, *src.p, small.p), port::kInvalidArg);
  EXPECT_EQ(port::UpdateSkinnedMesh(*skin.p, bones, 2, *small.p, small.p), port::kInvalidArg);
}

struct Decoded {
  Vec3 position;
  uint32_t bone[4];
  float weight[4];
};

// Reads an output vertex back as bones (through its group's palette) and weights.
Decoded Decode(const port::Mesh& mesh, uint32_t vertex, uint32_t k,
               const port::BoneCombination& c) {
  const port::gpu::VertexLayout& l = mesh.GetDeclaration();
  const uint8_t* p = mesh.Vertices() + size_t{vertex} * l.stride;
  Decoded d{};
  std::memcpy(&d.position, p + l.Find(port::gpu::DeclUsage::Position)->offset, 12);
  float sum = 0;
  if (k > 1) {
    std::memcpy(d.weight, p + l.Find(port::gpu::DeclUsage::BlendWeight)->offset, 4 * (k - 1));
  }
  for (uint32_t i = 0; i + 1 < k; ++i) sum += d.weight[i];
  d.weight[k - 1] = 1.0f - sum;
  uint8_t slots[4];
  std::memcpy(slots, p + l.Find(port::gpu::DeclUsage::BlendIndices)->offset, 4);
  for (uint32_t i = 0; i < 4; ++i)
    d.bone[i] = slots[i] < c.boneId.size() ? c.boneId[slots[i]] : port::kNoBone;
  return d;
}

TEST(PaletteConversion, GroupsFacesWithinThePaletteAndSkinsLikeTheSoftwarePath) {
  Ref<port::Mesh> src, palette, skinned;
  Ref<port::SkinInfo> skin;
  MakeStrip(40, 40, 1, &src.p, &skin.p);
  uint32_t k = 0;
  std::vector<port::BoneCombination> combos;
  ASSERT_EQ(port::ConvertToIndexedBlendedMesh(*skin.p, *src.p, port::meshopt::kManaged, 26, &k,
                                              &combos, &palette.p),
            port::kOk);
  EXPECT_EQ(k, 2u);
  ASSERT_GE(combos.size(), 2u);
  EXPECT_EQ(palette->GetFVF(), fvf::XYZB2 | fvf::LastBetaUByte4 | fvf::Normal | fvf::Tex1);
  EXPECT_EQ(palette->GetNumFaces(), src->GetNumFaces());
  EXPECT_GT(palette->GetNumVertices(), src->GetNumVertices());  // rows shared by two groups

  const std::vector<port::AttributeRange>& table = palette->AttributeTable();
  ASSERT_EQ(table.size(), combos.size());
  for (uint32_t g = 0; g < combos.size(); ++g) {
    const port::BoneCombination& c = combos[g];
    EXPECT_EQ(c.boneId.size(), 26u);
    uint32_t used = 0;
    for (uint32_t b : c.boneId) used += b != port::kNoBone;
    EXPECT_GT(used, 0u);
    EXPECT_EQ(table[g].attribId, g);
    EXPECT_EQ(table[g].faceStart, c.faceStart);
    EXPECT_EQ(table[g].faceCount, c.faceCount);
    for (uint32_t f = c.faceStart; f < c.faceStart + c.faceCount; ++f)
      EXPECT_EQ(palette->Attributes()[f], g);
  }

  // Skin both ways with the same bones and compare every corner.
  std::vector<Matrix> bones(40);
  for (uint32_t b = 0; b < 40; ++b) bones[b] = BoneTransform(b);
  ASSERT_EQ(src->CloneMeshFVF(0, kFvf, nullptr, &skinned.p), port::kOk);
  ASSERT_EQ(port::UpdateSkinnedMesh(*skin.p, bones.data(), 40, *src.p, skinned.p), port::kOk);
  const auto* expected = reinterpret_cast<const Vertex*>(skinned->Vertices());
  for (uint32_t g = 0; g < combos.size(); ++g) {
    const port::BoneCombination& c = combos[g];
    for (uint32_t f = c.faceStart; f < c.faceStart + c.faceCount; ++f) {
      for (int corner = 0; corner < 3; ++corner) {
        const uint32_t out = palette->Indices()[3 * f + corner];
        ASSERT_GE(out, c.vertexStart);
        ASSERT_LT(out, c.vertexStart + c.vertexCount);
        const Decoded d = Decode(*palette.p, out, k, c);
        Vec3 p{0, 0, 0};
        for (uint32_t i = 0; i < k; ++i) {
          ASSERT_LT(d.bone[i], 40u);
          p += port::Vec3TransformCoord(d.position, bones[d.bone[i]]) * d.weight[i];
        }
        // Faces keep their order here (one material), so corners correspond.
        const Vertex& e = expected[src->Indices()[3 * f + corner]];
        EXPECT_NEAR(p.x, e.x, 1e-4f);
        EXPECT_NEAR(p.y, e.y, 1e-4f);
        EXPECT_NEAR(p.z, e.z, 1e-4f);
      }
    }
  }
}

TEST(PaletteConversion, KeepsTheFourLargestInfluencesRenormalised) {
  Ref<port::Mesh> src, palette;
  ASSERT_EQ(port::Mesh::CreateFVF(1, 3, 0, kFvf, nullptr, &src.p), port::kOk);
  uint16_t* idx = src->LockIndexBuffer();
  idx[0] = 0, idx[1] = 1, idx[2] = 2;
  Ref<port::SkinInfo> skin{port::SkinInfo::Create(3, 6)};
  const float w[6] = {0.05f, 0.1f, 0.3f, 0.2f, 0.25f, 0.1f};
  // Vertex 0 has six influences; vertices 1 and 2 belong to bone 0 alone.
  const uint32_t all[3] = {0, 1, 2}, first = 0;
  const float bone0[3] = {w[0], 1, 1};
  skin->SetBoneInfluence(0, 3, all, bone0);
  for (uint32_t b = 1; b < 6; ++b) skin->SetBoneInfluence(b, 1, &first, &w[b]);
  uint32_t k = 0;
  std::vector<port::BoneCombination> combos;
  ASSERT_EQ(port::ConvertToIndexedBlendedMesh(*skin.p, *src.p, 0, 26, &k, &combos, &palette.p),
            port::kOk);
  EXPECT_EQ(k, 4u);
  ASSERT_EQ(combos.size(), 1u);
  const Decoded d = Decode(*palette.p, palette->Indices()[0], k, combos[0]);
  const uint32_t bones[4] = {2, 4, 3, 1};  // strongest first; the earlier of two equal ones
  const float kept = 0.3f + 0.25f + 0.2f + 0.1f;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(d.bone[i], bones[i]);
    EXPECT_NEAR(d.weight[i], w[bones[i]] / kept, 1e-6f);
  }
}

TEST(PaletteConversion, MaterialsNeverShareAGroup) {
  Ref<port::Mesh> src, palette;
  Ref<port::SkinInfo> skin;
  MakeStrip(4, 3, 2, &src.p, &skin.p);
  uint32_t k = 0;
  std::vector<port::BoneCombination> combos;
  ASSERT_EQ(port::ConvertToIndexedBlendedMesh(*skin.p, *src.p, 0, 3, &k, &combos, &palette.p),
            port::kOk);
  ASSERT_EQ(combos.size(), 2u);
  EXPECT_EQ(combos[0].attribId, 0u);
  EXPECT_EQ(combos[1].attribId, 1u);
  EXPECT_EQ(combos[0].faceCount + combos[1].faceCount, 8u);
}

TEST(PaletteConversion, RefusesWhatCannotBeBuilt) {
  Ref<port::Mesh> src, out;
  Ref<port::SkinInfo> skin;
  MakeStrip(4, 6, 1, &src.p, &skin.p);
  uint32_t k = 0;
  std::vector<port::BoneCombination> combos;
  EXPECT_EQ(port::ConvertToIndexedBlendedMesh(*skin.p, *src.p, 0, 0, &k, &combos, &out.p),
            port::kInvalidArg);
  EXPECT_EQ(port::ConvertToIndexedBlendedMesh(*skin.p, *src.p, 0, 300, &k, &combos, &out.p),
            port::kInvalidArg);
  // Each face needs three bones.
  EXPECT_EQ(port::ConvertToIndexedBlendedMesh(*skin.p, *src.p, 0, 2, &k, &combos, &out.p),
            port::kInvalidArg);
  EXPECT_EQ(out.p, nullptr);
  Ref<port::SkinInfo> big{port::SkinInfo::Create(src->GetNumVertices() + 1, 1)};
  EXPECT_EQ(port::ConvertToIndexedBlendedMesh(*big.p, *src.p, 0, 26, &k, &combos, &out.p),
            port::kInvalidArg);
}

}  // namespace
