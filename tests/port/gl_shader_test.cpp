// A program set on the device replaces the fixed-function shader but keeps the device's states.
#include "port/gl_shader.h"
#include "support/gl_context.h"

namespace gltest {
namespace {

using namespace port::gpu;

class SolidProgram : public ShaderProgram {
 public:
  SolidProgram() {
    std::string log;
    program_ = port::gl::BuildProgram(
        "#version 330 core\nin vec4 aPosition;\nin vec4 aColor;\nout vec4 c;\n"
        "void main() { gl_Position = aPosition; c = aColor; }\n",
        "#version 330 core\nin vec4 c;\nuniform sampler2D tex;\nout vec4 o;\n"
        "void main() { o = vec4(c.b, c.g, c.r, 0.5) * texture(tex, vec2(0.5)); }\n",
        &log);
    EXPECT_NE(program_, 0u) << log;
  }
  ~SolidProgram() override { glDeleteProgram(program_); }
  void Apply(Device&, const VertexLayout& layout) override {
    ++applied;
    sawColour = layout.Find(DeclUsage::Color) != nullptr;
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "tex"), 0);
  }
  int applied = 0;
  bool sawColour = false;

 private:
  GLuint program_ = 0;
};

TEST_F(DeviceTest, ShaderProgramDrawsWithTheDeviceStatesAndTextures) {
  SolidProgram program;
  Texture* white = dev().CreateTexture(1, 1, 1);
  const uint32_t texel = 0xFFFFFFFFu;
  white->Update(0, &texel);
  dev().SetTexture(0, white);
  dev().SetRenderState(RenderState::CullMode, CullNone);
  dev().SetRenderState(RenderState::ZEnable, 0);
  dev().SetRenderState(RenderState::AlphaBlendEnable, 1);
  dev().SetRenderState(RenderState::SrcBlend, BlendSrcAlpha);
  dev().SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);
  dev().SetShaderProgram(&program);
  EXPECT_EQ(dev().GetShaderProgram(), &program);
  dev().Clear(ClearTarget, 0xFF000000u);
  const ColourVertex quad[4] = {{-1, -1, 0.5f, 0xFF0000FFu},
                                {1, -1, 0.5f, 0xFF0000FFu},
                                {1, 1, 0.5f, 0xFF0000FFu},
                                {-1, 1, 0.5f, 0xFF0000FFu}};
  dev().SetFVF(kColourFvf);
  dev().DrawPrimitiveUP(TriangleFan, 2, quad, sizeof(ColourVertex));
  EXPECT_EQ(program.applied, 1);
  EXPECT_TRUE(program.sawColour);
  // The program swapped blue into red; the device's blend halved it over black.
  EXPECT_TRUE(NearArgb(At(dev().ReadBackBuffer(), 320, 240) & 0x00FFFFFF, 0x00800000u, 1));

  // Without it the fixed-function shader draws again.
  dev().SetShaderProgram(nullptr);
  dev().SetRenderState(RenderState::AlphaBlendEnable, 0);
  dev().SetRenderState(RenderState::Lighting, 0);
  dev().DrawPrimitiveUP(TriangleFan, 2, quad, sizeof(ColourVertex));
  EXPECT_EQ(At(dev().ReadBackBuffer(), 320, 240), 0xFF0000FFu);
  EXPECT_EQ(program.applied, 1);
  dev().SetTexture(0, nullptr);
  white->Release();
}

}  // namespace
}  // namespace gltest
