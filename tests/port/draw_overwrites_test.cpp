// What the device can promise about a draw it has not made yet: that every
// fragment it keeps overwrites the picture, because blending is off or copies
// a source whose alpha is known to be one. Anything it cannot know is no.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/gl_context.h"

namespace {

using namespace port::gpu;

class DrawOverwrites : public gltest::DeviceTest {
 protected:
  void TearDown() override {
    if (device_) dev().SetTexture(0, nullptr);
    for (Texture* t : textures_) port::SafeRelease(t);
    port::SafeRelease(target_);
    gltest::DeviceTest::TearDown();
  }
  // A texture of two levels, each uploaded with alpha 255 but for the
  // texels given; levels past `uploaded` are left as made.
  Texture* Make(uint32_t levels, uint32_t uploaded, uint32_t clearTexels) {
    Texture* t = dev().CreateTexture(4, 4, levels);
    for (uint32_t l = 0; l < uploaded; ++l) {
      std::vector<uint32_t> texels(16, 0xFF808080u);
      for (uint32_t i = 0; i < clearTexels; ++i) texels[i] = 0x80808080u;
      t->Update(l, texels.data());
    }
    textures_.push_back(t);
    return t;
  }
  std::vector<Texture*> textures_;
  RenderTarget* target_ = nullptr;
};

TEST_F(DrawOverwrites, OnlyWhereAlphaIsKnownToBeOne) {
  const VertexLayout mesh = LayoutFromFvf(fvf::XYZ | fvf::Normal | fvf::Tex1);
  const VertexLayout coloured = LayoutFromFvf(fvf::XYZ | fvf::Diffuse | fvf::Tex1);
  Material one, half;
  one.diffuse = {1, 1, 1, 1};
  half.diffuse = {1, 1, 1, 0.5f};
  Texture* opaque = Make(2, 2, 0);
  Texture* clear = Make(2, 2, 1);
  Texture* halfUploaded = Make(2, 1, 0);
  Texture* madeClear = Make(1, 1, 0);
  target_ = dev().CreateRenderTarget(8, 8);
  ASSERT_NE(target_, nullptr);

  dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
  dev().SetRenderState(RenderState::SrcBlend, BlendSrcAlpha);
  dev().SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);
  dev().SetTextureStageState(0, StageState::ColorOp, TexOpModulate);
  dev().SetTextureStageState(0, StageState::AlphaOp, TexOpModulate);
  dev().SetTextureStageState(0, StageState::AlphaArg1, TexArgTexture);
  dev().SetTextureStageState(0, StageState::AlphaArg2, TexArgDiffuse);
  EXPECT_TRUE(dev().DrawOverwrites({&mesh, &one, opaque, false}));
  EXPECT_TRUE(dev().DrawOverwrites({&mesh, &one, opaque, true}));
  EXPECT_TRUE(dev().DrawOverwrites({&mesh, &one, nullptr, true}));
  EXPECT_TRUE(dev().DrawOverwrites({&mesh, &half, opaque, false})) << "unlit, no colours";
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, &half, opaque, true}));
  EXPECT_FALSE(dev().DrawOverwrites({&coloured, &one, opaque, false}));
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, &one, clear, false}));
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, &one, halfUploaded, false}));
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, &one, target_->GetTexture(), false}));
  EXPECT_FALSE(dev().DrawOverwrites({nullptr, &one, opaque, false}));
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, nullptr, opaque, false}));
  std::vector<uint32_t> texels(16, 0xFF808080u);
  texels[5] = 0x00808080u;
  madeClear->Update(0, texels.data());
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, &one, madeClear, false})) << "made clear again";

  // The texture's alpha not read: only the diffuse's counts.
  dev().SetTextureStageState(0, StageState::AlphaOp, TexOpSelectArg2);
  EXPECT_TRUE(dev().DrawOverwrites({&mesh, &one, clear, false}));
  dev().SetTextureStageState(0, StageState::AlphaOp, TexOpModulate);

  // Adding to the picture never overwrites it.
  dev().SetRenderState(RenderState::DestBlend, BlendOne);
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, &one, opaque, false}));
  // Without blending anything kept overwrites.
  dev().SetRenderState(RenderState::AlphaBlendEnable, 0);
  EXPECT_TRUE(dev().DrawOverwrites({&mesh, &half, clear, true}));
  EXPECT_TRUE(dev().DrawOverwrites({&coloured, &one, target_->GetTexture(), false}));
  // The general program blends as asked, whatever the alpha.
  dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
  dev().SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);
  dev().SetShaderVariants(false);
  EXPECT_FALSE(dev().DrawOverwrites({&mesh, &one, opaque, false}));
  dev().SetShaderVariants(true);
  EXPECT_TRUE(dev().DrawOverwrites({&mesh, &one, opaque, false}));
}

}  // namespace
