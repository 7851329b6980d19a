#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "port/texture_file.h"
#include "render/Billboard.h"
#include "render/CircleShadow.h"
#include "render/StaticMesh.h"
#include "render/Texture.h"
#include "support/gl_context.h"
#include "support/image_encoders.h"
#include "support/temp_dir.h"

using namespace port;
using gltest::At;
using gltest::DeviceTest;
using gltest::NearArgb;

namespace {

// In this process's own scratch folder, removed when the process ends.
std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  static const testsupport::TempDir dir;
  return dir.Write(name, bytes);
}
std::string WriteTemp(const std::string& name, const std::string& text) {
  return WriteTemp(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string RgbPng(const std::string& name, uint32_t w, uint32_t h,
                   const std::vector<uint32_t>& rgb) {
  testimg::PngLayout s(w, h, PNG_COLOR_TYPE_RGB, 8);
  for (uint32_t y = 0; y < h; ++y) {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t c = rgb[y * w + x];
      row.insert(row.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                             static_cast<uint8_t>(c)});
    }
    s.rows.push_back(row);
  }
  return WriteTemp(name, testimg::EncodePng(s));
}

void FlatStates(gpu::Device& dev) {
  dev.SetTransform(gpu::TransformType::World, Matrix::Identity());
  dev.SetTransform(gpu::TransformType::View, Matrix::Identity());
  dev.SetTransform(gpu::TransformType::Projection, Matrix::Identity());
  dev.SetRenderState(gpu::RenderState::CullMode, gpu::CullNone);
  dev.SetRenderState(gpu::RenderState::ZEnable, 0);
  dev.SetRenderState(gpu::RenderState::AlphaBlendEnable, 0);
  dev.SetRenderState(gpu::RenderState::Lighting, 0);
}

}  // namespace

TEST_F(DeviceTest, TextureLoadRoundsUpAndFailsCleanly) {
  Texture t;
  std::string path = RgbPng("tex_3x5.png", 3, 5, std::vector<uint32_t>(15, 0x336699));
  ASSERT_TRUE(t.Load(device_.get(), path.c_str(), 0));
  ASSERT_NE(t.Get(), nullptr);
  EXPECT_EQ(t.Get()->Width(), 4u);
  EXPECT_EQ(t.Get()->Height(), 8u);
  EXPECT_EQ(t.Get()->Levels(), 4u);
  // Loading a missing file releases the old texture and holds none.
  EXPECT_FALSE(t.Load(device_.get(), "no/such/texture.png", 0));
  EXPECT_EQ(t.Get(), nullptr);
  EXPECT_FALSE(t.Load(device_.get(), WriteTemp("tex_empty.png", std::string()).c_str(), 0));
  EXPECT_FALSE(t.Load(nullptr, path.c_str(), 0));
  t.Release();
  t.Release();
  EXPECT_EQ(t.Get(), nullptr);
  EXPECT_TRUE(t.DrawSprite(nullptr, nullptr, nullptr, nullptr, 0xFFFFFFFF));
}

// A texture whose file gives no picture says so on standard error with its
// path and the reason, once however often it is loaded; a good one says
// nothing.
TEST_F(DeviceTest, ATextureThatGivesNoPictureIsNamedOnceOnStandardError) {
  testsupport::TempDir dir;
  const std::string good = RgbPng("named_good.png", 2, 2, std::vector<uint32_t>(4, 0x112233));
  const std::string file = dir.Write("a_file.png", "not a picture");
  std::filesystem::create_directory(dir.path() / "folder.png");
  struct Case {
    const char* name;
    std::string path;
    const char* reason;
  };
  std::vector<Case> cases = {
      {"missing", (dir.path() / "missing.png").string(), "cannot read the file"},
      {"a folder", (dir.path() / "folder.png").string(), "cannot read the file"},
      {"below a file", file + "/below.png", "cannot read the file"},
      {"not a picture", file, "unknown image format"},
  };
  // Where modes bind (not as root): a file the player may not read.
  const std::string locked = dir.Write("locked.png", std::string(64, 'x'));
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  if (const int fd = ::open(locked.c_str(), O_RDONLY); fd >= 0)
    ::close(fd);
  else
    cases.push_back({"not readable", locked, "cannot read the file"});

  testing::internal::CaptureStderr();
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      Texture t;
      EXPECT_FALSE(t.Load(device_.get(), c.path.c_str(), 0)) << c.name;
      gpu::Texture* texture = nullptr;
      EXPECT_TRUE(Failed(CreateTextureFromFile(device_.get(), c.path, 0, &texture))) << c.name;
    }
    Texture t;
    EXPECT_TRUE(t.Load(device_.get(), good.c_str(), 0));
  }
  const std::string err = testing::internal::GetCapturedStderr();
  std::string expected;
  for (const Case& c : cases) expected += c.path + ": not loaded: " + c.reason + "\n";
  EXPECT_EQ(err, expected);
}

TEST_F(DeviceTest, BillboardDrawsItsQuadWithUMirrored) {
  // Left texel red, right texel blue.
  Texture t;
  ASSERT_TRUE(t.Load(device_.get(), RgbPng("bb.png", 2, 1, {0xFF0000, 0x0000FF}).c_str(), 0));
  Billboard b;
  ASSERT_TRUE(b.Create(device_.get()));
  ASSERT_TRUE(b.Create(device_.get()));  // again: the first quad is released
  EXPECT_EQ(Billboard::DrawDevice(), device_.get());
  FlatStates(dev());
  dev().Clear(gpu::ClearTarget, 0xFF000000);
  b.Draw(MatrixScaling(0.5f, 0.5f, 1.0f), t.Get());
  std::vector<uint32_t> px = dev().ReadBackBuffer();
  EXPECT_TRUE(NearArgb(At(px, 200, 240), 0xFF0000FF, 2));  // screen left shows u near 1
  EXPECT_TRUE(NearArgb(At(px, 440, 240), 0xFFFF0000, 2));
  EXPECT_TRUE(NearArgb(At(px, 20, 240), 0xFF000000, 0));

  QuadVertex v;
  SetQuadVertex(&v, 1, 2, 3, 0x11223344, 0.5f, 0.25f);
  EXPECT_EQ(v.colour, 0x11223344u);
  EXPECT_EQ(v.v, 0.25f);
  SetQuadVertex(nullptr, 0, 0, 0, 0, 0, 0);
}

TEST_F(DeviceTest, CircleShadowDarkensBelowAndPutsStatesBack) {
  ASSERT_TRUE(CircleShadowTexture().Load(
      device_.get(), RgbPng("shadow.png", 4, 4, std::vector<uint32_t>(16, 0xFFFFFF)).c_str(), 0));
  gpu::Texture* held = CircleShadowTexture().Get();
  LoadCircleShadow(device_.get());  // already held: nothing happens
  EXPECT_EQ(CircleShadowTexture().Get(), held);

  dev().SetTransform(gpu::TransformType::View, MatrixLookAtLH({0, 10, 0}, {0, 0, 0}, {0, 0, 1}));
  dev().SetTransform(gpu::TransformType::Projection,
                     MatrixPerspectiveFovLH(0.785f, 4.0f / 3.0f, 1, 100));
  dev().SetRenderState(gpu::RenderState::CullMode, gpu::CullNone);
  dev().SetRenderState(gpu::RenderState::AlphaBlendEnable, 1);
  dev().SetRenderState(gpu::RenderState::Lighting, 1);
  dev().SetRenderState(gpu::RenderState::SrcBlend, gpu::BlendOne);
  dev().SetRenderState(gpu::RenderState::DestBlend, gpu::BlendZero);
  dev().Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFFFFFFFF);
  DrawCircleShadow(device_.get(), 0, 0, 0, 1.0f, 255);
  std::vector<uint32_t> px = dev().ReadBackBuffer();
  EXPECT_TRUE(NearArgb(At(px, 320, 240) | 0xFF000000, 0xFF000000, 2));
  EXPECT_TRUE(NearArgb(At(px, 10, 10), 0xFFFFFFFF, 0));
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::Lighting), 1u);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::SrcBlend), gpu::BlendOne);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::DestBlend), gpu::BlendZero);
  ReleaseCircleShadow();
  ReleaseCircleShadow();
  EXPECT_EQ(CircleShadowTexture().Get(), nullptr);
}

TEST_F(DeviceTest, StaticMeshDrawsOpaqueSubsetsFirst) {
  // Subset 0: translucent red, near (z 0.2); subset 1: opaque blue, far
  // (z 0.6); they overlap in the middle of the screen.
  const char* x = R"(xof 0303txt 0032
Mesh two {
8;
-0.6;-0.5;0.2;, -0.6;0.5;0.2;, 0.2;0.5;0.2;, 0.2;-0.5;0.2;,
-0.2;-0.5;0.6;, -0.2;0.5;0.6;, 0.6;0.5;0.6;, 0.6;-0.5;0.6;;
4;
3;0,1,2;, 3;0,2,3;, 3;4,5,6;, 3;4,6,7;;
MeshMaterialList {
2; 4; 0,0,1,1;;
Material { 1.0;0.0;0.0;0.5;; 0.0; 0.0;0.0;0.0;; 1.0;0.0;0.0;; }
Material { 0.0;0.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;1.0;; }
}
}
)";
  StaticMesh mesh;
  ASSERT_TRUE(mesh.Load(device_.get(), WriteTemp("order.x", std::string(x)).c_str()));
  ASSERT_EQ(mesh.MaterialCount(), 2u);
  EXPECT_EQ(StaticMesh::DrawDevice(), device_.get());
  FlatStates(dev());
  dev().SetRenderState(gpu::RenderState::ZEnable, 1);
  dev().SetRenderState(gpu::RenderState::ZWriteEnable, 1);
  dev().SetRenderState(gpu::RenderState::ZFunc, gpu::CmpLessEqual);
  dev().SetRenderState(gpu::RenderState::AlphaBlendEnable, 1);
  dev().SetRenderState(gpu::RenderState::SrcBlend, gpu::BlendSrcAlpha);
  dev().SetRenderState(gpu::RenderState::DestBlend, gpu::BlendInvSrcAlpha);
  dev().SetRenderState(gpu::RenderState::Lighting, 1);
  dev().SetRenderState(gpu::RenderState::Ambient, 0);
  dev().LightEnable(0, false);
  dev().Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000);
  mesh.Draw();
  std::vector<uint32_t> px = dev().ReadBackBuffer();
  // Had the red gone first, its depth would hide the blue behind it.
  // (Colour only: the back buffer's alpha is blended too.)
  EXPECT_TRUE(NearArgb(At(px, 320, 240) | 0xFF000000, 0xFF800080, 3));
  EXPECT_TRUE(NearArgb(At(px, 180, 240) | 0xFF000000, 0xFF800000, 3));
  EXPECT_TRUE(NearArgb(At(px, 450, 240) | 0xFF000000, 0xFF0000FF, 3));

  // Released, it draws nothing.
  mesh.Release();
  dev().Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000);
  mesh.Draw();
  EXPECT_TRUE(NearArgb(dev().ReadBackBuffer()[240 * 640 + 320], 0xFF000000, 0));
}

TEST_F(DeviceTest, StaticMeshesOfTheDataSetLoadWithTheirTextures) {
  for (const char* path :
       {"Xfile/kouka_line.x", "Xfile/stage1/stage1.X", "Xfile/stage1/stage1_collision.X"}) {
    if (!std::ifstream(path)) GTEST_SKIP() << "no generated data";
    StaticMesh mesh;
    ASSERT_TRUE(mesh.Load(device_.get(), path)) << path;
    EXPECT_GT(mesh.MaterialCount(), 0u) << path;
    EXPECT_GT(mesh.Radius(), 0.0f) << path;
    EXPECT_EQ(mesh.GetMesh()->GetNumBytesPerVertex(), StaticMesh::kVertexStride);
  }
  StaticMesh line;
  ASSERT_TRUE(line.Load(device_.get(), "Xfile/kouka_line.x"));
  EXPECT_NE(line.SubsetTexture(0), nullptr);
  // The field's collision mesh answers downward rays.
  StaticMesh ground;
  ASSERT_TRUE(ground.Load(device_.get(), "Xfile/stage1/stage1_collision.X"));
  ground.LockForCollision();
  float d = 100000.0f;
  Vec3 n;
  EXPECT_TRUE(ground.IntersectNormal(
      {ground.Centre().x, ground.Centre().y + 500.0f, ground.Centre().z}, {0, -1, 0}, &d, &n));
}
