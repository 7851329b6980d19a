// Meshes drawn through the real device: subsets land where their faces are.
#include <cstring>

#include "port/mesh.h"
#include "support/gl_context.h"

namespace {

using namespace port::gpu;
using gltest::At;

class MeshDrawTest : public gltest::DeviceTest {};

TEST_F(MeshDrawTest, DrawSubsetDrawsOnlyThatSubsetAndFollowsUnlockedChanges) {
  port::Mesh* mesh = nullptr;
  ASSERT_EQ(port::Mesh::CreateFVF(4, 8, port::meshopt::kManaged, gltest::kColourFvf, &dev(), &mesh),
            port::kOk);
  // Left half red (subset 0), right half green (subset 1), in clip space.
  const gltest::ColourVertex v[8] = {{-1, -1, 0.5f, 0xFFFF0000u}, {-1, 1, 0.5f, 0xFFFF0000u},
                                     {0, 1, 0.5f, 0xFFFF0000u},   {0, -1, 0.5f, 0xFFFF0000u},
                                     {0, -1, 0.5f, 0xFF00FF00u},  {0, 1, 0.5f, 0xFF00FF00u},
                                     {1, 1, 0.5f, 0xFF00FF00u},   {1, -1, 0.5f, 0xFF00FF00u}};
  std::memcpy(mesh->LockVertexBuffer(), v, sizeof v);
  mesh->UnlockVertexBuffer();
  const uint16_t idx[12] = {4, 5, 6, 4, 6, 7, 0, 1, 2, 0, 2, 3};
  std::memcpy(mesh->LockIndexBuffer(), idx, sizeof idx);
  mesh->UnlockIndexBuffer();
  uint32_t* attr = mesh->LockAttributeBuffer();
  attr[0] = attr[1] = 1;
  attr[2] = attr[3] = 0;
  mesh->UnlockAttributeBuffer();
  ASSERT_EQ(mesh->OptimizeInplace(port::meshopt::kAttrSort), port::kOk);

  dev().SetRenderState(RenderState::Lighting, 0);
  dev().SetRenderState(RenderState::CullMode, CullNone);
  dev().SetRenderState(RenderState::ZEnable, 0);
  dev().Clear(ClearTarget, 0xFF000000u);
  ASSERT_EQ(mesh->DrawSubset(1), port::kOk);
  auto px = dev().ReadBackBuffer();
  EXPECT_EQ(At(px, 100, 240), 0xFF000000u);
  EXPECT_EQ(At(px, 500, 240), 0xFF00FF00u);

  // New colours after an unlock reach the next draw.
  auto* w = static_cast<gltest::ColourVertex*>(mesh->LockVertexBuffer());
  for (int i = 0; i < 4; ++i) w[i].colour = 0xFF0000FFu;
  mesh->UnlockVertexBuffer();
  ASSERT_EQ(mesh->DrawSubset(0), port::kOk);
  px = dev().ReadBackBuffer();
  EXPECT_EQ(At(px, 100, 240), 0xFF0000FFu);
  EXPECT_EQ(At(px, 500, 240), 0xFF00FF00u);
  mesh->Release();
}

}  // namespace
