#include <gtest/gtest.h>

#include "port/effect.h"
#include "render/EffectHolder.h"
#include "support/gl_context.h"
#include "support/temp_dir.h"

using namespace port;
using gltest::At;
using gltest::DeviceTest;
using gltest::NearArgb;

namespace {

const std::string kToonPath = std::string(POMELVANE_SOURCE_DIR) + "/data/toonSkinEffect.fx";

// In this process's own scratch folder, removed when the process ends.
std::string WriteTemp(const std::string& name, const std::string& text) {
  static const testsupport::TempDir dir;
  return dir.Write(name, text);
}

// Flat colour, positions moved by one palette matrix picked by the blend indices.
const char* kFlat = R"(
param float4x4 mPalette[4];
param float4 vCol;
param int Which;
vertex VS %{
void main() {
  ivec4 i = BlendIndices();
  gl_Position = ToDeviceClip(mPalette[i[Which]] * vec4(inPosition.xyz, 1.0));
}
%}
fragment FS %{ void main() { FragColor = vCol; } %}
technique Flat {
  pass { CullMode = None; ZEnable = false; AlphaBlendEnable = false; VertexShader = VS; FragmentShader = FS; }
  pass { Lighting = true; SrcBlend = One; VertexShader = VS; FragmentShader = FS; }
}
)";

// Position, then four index bytes typed as a colour.
struct IndexedVertex {
  float x, y, z;
  uint8_t index[4];
};

gpu::VertexLayout IndexedLayout() {
  gpu::VertexLayout l;
  l.elements = {{0, gpu::DeclType::Float3, gpu::DeclUsage::Position, 0},
                {12, gpu::DeclType::Color, gpu::DeclUsage::BlendIndices, 0}};
  l.stride = sizeof(IndexedVertex);
  return l;
}

// A square covering the middle of the screen: clip x, y in -0.5..0.5.
void DrawSquare(gpu::Device& dev, uint8_t i0, uint8_t i1, uint8_t i2, uint8_t i3) {
  IndexedVertex v[4] = {{-0.5f, -0.5f, 0.5f, {i0, i1, i2, i3}},
                        {-0.5f, 0.5f, 0.5f, {i0, i1, i2, i3}},
                        {0.5f, 0.5f, 0.5f, {i0, i1, i2, i3}},
                        {0.5f, -0.5f, 0.5f, {i0, i1, i2, i3}}};
  dev.SetVertexLayout(IndexedLayout());
  dev.DrawPrimitiveUP(gpu::TriangleFan, 2, v, sizeof(IndexedVertex));
}

class EffectDeviceTest : public DeviceTest {
 protected:
  Effect* Create(const char* text) {
    Effect* fx = nullptr;
    std::string errors;
    EXPECT_EQ(Effect::CreateFromText(device_.get(), text, &fx, &errors), kOk) << errors;
    return fx;
  }
};

}  // namespace

TEST_F(EffectDeviceTest, ParameterChangesInsideAPassReachTheNextDraw) {
  Effect* fx = Create(kFlat);
  ASSERT_NE(fx, nullptr);
  const EffectHandle palette = fx->GetParameterByName("mPalette"),
                     col = fx->GetParameterByName("vCol"), which = fx->GetParameterByName("Which");
  ASSERT_NE(palette, 0u);
  // Palette entry 2 moves the square to the left half, entry 1 to the right.
  Matrix m[4] = {Matrix::Identity(), MatrixTranslation(0.5f, 0, 0), MatrixTranslation(-0.5f, 0, 0),
                 Matrix::Identity()};
  EXPECT_EQ(fx->SetMatrixArray(palette, m, 4), kOk);
  dev().Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000);
  uint32_t passes = 0;
  ASSERT_EQ(fx->Begin(&passes, 0), kOk);
  EXPECT_EQ(passes, 2u);
  ASSERT_EQ(fx->Pass(0), kOk);
  fx->SetVector(col, {1, 0, 0, 1});
  fx->SetInt(which, 0);
  DrawSquare(dev(), 2, 1, 0, 3);  // index byte 0 = 2: left
  fx->SetVector(col, {0, 0, 1, 1});
  fx->SetInt(which, 1);
  DrawSquare(dev(), 2, 1, 0, 3);  // index byte 1 = 1: right
  EXPECT_EQ(fx->End(), kOk);
  std::vector<uint32_t> px = dev().ReadBackBuffer();
  EXPECT_TRUE(NearArgb(At(px, 160, 240), 0xFFFF0000, 2));
  EXPECT_TRUE(NearArgb(At(px, 480, 240), 0xFF0000FF, 2));
  EXPECT_TRUE(NearArgb(At(px, 320, 60), 0xFF000000, 2));
  fx->Release();
}

TEST_F(EffectDeviceTest, BeginSavesPassStatesAndEndRestoresThem) {
  Effect* fx = Create(kFlat);
  ASSERT_NE(fx, nullptr);
  dev().SetRenderState(gpu::RenderState::CullMode, gpu::CullCCW);
  dev().SetRenderState(gpu::RenderState::Lighting, 0);
  dev().SetRenderState(gpu::RenderState::SrcBlend, gpu::BlendSrcAlpha);
  dev().SetRenderState(gpu::RenderState::ZEnable, 1);
  ASSERT_EQ(fx->Begin(nullptr, 0), kOk);
  EXPECT_EQ(fx->Begin(nullptr, 0), kInvalidCall);  // already begun
  ASSERT_EQ(fx->Pass(0), kOk);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::CullMode), gpu::CullNone);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::ZEnable), 0u);
  EXPECT_NE(dev().GetShaderProgram(), nullptr);
  ASSERT_EQ(fx->Pass(1), kOk);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::Lighting), 1u);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::SrcBlend), gpu::BlendOne);
  EXPECT_EQ(fx->Pass(2), kInvalidCall);
  ASSERT_EQ(fx->End(), kOk);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::CullMode), gpu::CullCCW);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::Lighting), 0u);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::SrcBlend), gpu::BlendSrcAlpha);
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::ZEnable), 1u);
  EXPECT_EQ(dev().GetShaderProgram(), nullptr);
  EXPECT_EQ(fx->End(), kInvalidCall);
  EXPECT_EQ(fx->Pass(0), kInvalidCall);  // outside Begin

  // Without saving, End leaves the pass's states.
  ASSERT_EQ(fx->Begin(nullptr, kEffectDoNotSaveState), kOk);
  fx->Pass(0);
  fx->End();
  EXPECT_EQ(dev().GetRenderState(gpu::RenderState::CullMode), gpu::CullNone);

  // Releasing an effect in the middle of a pass leaves the device on its own shader.
  fx->Begin(nullptr, 0);
  fx->Pass(0);
  fx->Release();
  EXPECT_EQ(dev().GetShaderProgram(), nullptr);
}

TEST_F(EffectDeviceTest, SettersCheckTypesAndSizes) {
  Effect* fx = Create(kFlat);
  ASSERT_NE(fx, nullptr);
  const EffectHandle palette = fx->GetParameterByName("mPalette"),
                     col = fx->GetParameterByName("vCol");
  Matrix m[5];
  EXPECT_EQ(fx->SetMatrixArray(palette, m, 5), kInvalidCall);
  EXPECT_EQ(fx->SetMatrix(palette, m[0]), kInvalidCall);
  EXPECT_EQ(fx->SetInt(col, 3), kInvalidCall);
  EXPECT_EQ(fx->SetVector(0, {}), kInvalidCall);
  EXPECT_EQ(fx->SetVector(InternEffectName("NotInThisEffect"), {}), kInvalidCall);
  EXPECT_EQ(fx->GetParameterByName("nope"), 0u);
  EXPECT_EQ(fx->GetParameterByName(nullptr), 0u);
  EXPECT_EQ(fx->GetTechniqueByName("Flat"), InternEffectName("Flat"));
  EXPECT_EQ(fx->SetTechnique(InternEffectName("Other")), kInvalidArg);
  fx->Release();
}

TEST_F(EffectDeviceTest, BadEffectFilesFailWithAReason) {
  Effect* fx = reinterpret_cast<Effect*>(1);
  std::string errors;
  EXPECT_TRUE(Failed(Effect::CreateFromFile(device_.get(), "no/such/effect.fx", &fx, &errors)));
  EXPECT_EQ(fx, nullptr);
  EXPECT_FALSE(errors.empty());
  // Syntax error.
  errors.clear();
  EXPECT_TRUE(Failed(Effect::CreateFromText(device_.get(), "technique T { pass { ", &fx, &errors)));
  EXPECT_NE(errors.find("line 1"), std::string::npos) << errors;
  // GLSL that does not compile, and programs that do not link.
  errors.clear();
  EXPECT_TRUE(Failed(Effect::CreateFromText(device_.get(), R"(
vertex V %{ void main() { gl_Position = undefinedThing; } %}
fragment F %{ void main() { FragColor = vec4(1.0); } %}
technique T { pass { VertexShader = V; FragmentShader = F; } })",
                                            &fx, &errors)));
  EXPECT_NE(errors.find("vertex shader V"), std::string::npos) << errors;
  errors.clear();
  EXPECT_TRUE(Failed(Effect::CreateFromText(device_.get(), R"(
vertex V %{ void main() { gl_Position = vec4(0.0); } %}
fragment F %{ void notMain() { FragColor = vec4(1.0); } %}
technique T { pass { VertexShader = V; FragmentShader = F; } })",
                                            &fx, &errors)));
  EXPECT_FALSE(errors.empty());
  // Without a live device nothing is created.
  EXPECT_EQ(Effect::CreateFromText(nullptr, kFlat, &fx, &errors), kInvalidCall);
}

TEST_F(EffectDeviceTest, HolderFailsOnABrokenFileAndDoesNothingWhenEmpty) {
  EffectHolder holder;
  holder.Begin(0, 0);  // empty: nothing happens
  holder.End();
  EXPECT_EQ(dev().GetShaderProgram(), nullptr);

  std::string broken = WriteTemp("broken.fx", "param float4 vCol\ntechnique TShader {");
  EXPECT_FALSE(holder.Create(device_.get(), broken.c_str(), "TShader"));
  EXPECT_EQ(holder.GetEffect(), nullptr);
  EXPECT_FALSE(holder.LastError().empty());
  EXPECT_FALSE(holder.Create(device_.get(), "no/such.fx", "TShader"));
  EXPECT_EQ(holder.GetEffect(), nullptr);
  // A file without the technique asked for leaves the holder empty too.
  EXPECT_FALSE(holder.Create(device_.get(), kToonPath.c_str(), "NoSuchTechnique"));
  EXPECT_EQ(holder.GetEffect(), nullptr);
  holder.Begin(1, 0);
  holder.End();
  EXPECT_EQ(dev().GetShaderProgram(), nullptr);

  // A good file after a failure works.
  ASSERT_TRUE(holder.Create(device_.get(), kToonPath.c_str(), "TShader"));
  EXPECT_EQ(holder.PassCount(), 3u);
  holder.Begin(1, 0);
  EXPECT_NE(dev().GetShaderProgram(), nullptr);
  holder.End();
  EXPECT_EQ(dev().GetShaderProgram(), nullptr);
}

TEST_F(EffectDeviceTest, CreatingTwiceHoldsOneEffectAndHandlesStayValid) {
  EffectHolder holder;
  ASSERT_TRUE(holder.Create(device_.get(), kToonPath.c_str(), "TShader"));
  Effect* first = holder.GetEffect();
  const EffectHandle vCol = first->GetParameterByName("vCol");
  first->AddRef();
  ASSERT_TRUE(holder.Create(device_.get(), kToonPath.c_str(), "TShader"));
  EXPECT_NE(holder.GetEffect(), first);
  EXPECT_EQ(first->Release(), 0u);  // the holder let go of the first one
  // A handle from the first effect sets the second.
  EXPECT_EQ(holder.GetEffect()->SetVector(vCol, {0.25f, 0.5f, 0.75f, 1}), kOk);
  Vec4 got;
  EXPECT_EQ(holder.GetEffect()->GetVector(vCol, &got), kOk);
  EXPECT_EQ(got.y, 0.5f);
  holder.Release();
  holder.Release();
  EXPECT_EQ(holder.GetEffect(), nullptr);
}

namespace {

// The toon effect with identity bones and view-projection, the light along +z,
// culling and blending off.
class ToonEffectTest : public EffectDeviceTest {
 protected:
  void SetUp() override {
    EffectDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    std::string errors;
    ASSERT_EQ(Effect::CreateFromFile(device_.get(), kToonPath, &fx, &errors), kOk) << errors;
    for (Matrix& b : bones) b = Matrix::Identity();
    fx->SetMatrix(Param("mVP"), Matrix::Identity());
    fx->SetVector(Param("vLightDir"), {0, 0, 1, 0});
    dev().SetRenderState(gpu::RenderState::CullMode, gpu::CullNone);
    dev().SetRenderState(gpu::RenderState::AlphaBlendEnable, 0);
  }
  void TearDown() override {
    dev().SetTexture(0, nullptr);
    dev().SetTexture(1, nullptr);
    SafeRelease(ramp);
    SafeRelease(decal);
    if (fx) fx->Release();
    EffectDeviceTest::TearDown();
  }
  EffectHandle Param(const char* name) { return fx->GetParameterByName(name); }
  gpu::Texture* Texel(uint32_t argb) {
    gpu::Texture* t = dev().CreateTexture(1, 1, 1);
    t->Update(0, &argb);
    return t;
  }
  // Draws a four-vertex fan with one pass over the background and reads it back.
  template <typename V>
  std::vector<uint32_t> DrawPass(uint32_t pass, const gpu::VertexLayout& layout, const V (&v)[4],
                                 Argb background = 0xFF000000) {
    fx->SetMatrixArray(Param("mWorldMatrixArray"), bones, 26);
    dev().Clear(gpu::ClearTarget | gpu::ClearZBuffer, background);
    fx->Begin(nullptr, 0);
    fx->Pass(pass);
    dev().SetVertexLayout(layout);
    dev().DrawPrimitiveUP(gpu::TriangleFan, 2, v, sizeof(V));
    fx->End();
    return dev().ReadBackBuffer();
  }

  Effect* fx = nullptr;
  Matrix bones[26];
  gpu::Texture* ramp = nullptr;
  gpu::Texture* decal = nullptr;
};

}  // namespace

TEST_F(ToonEffectTest, CompilesAndDrawsRampTimesColourTimesDecal) {
  ASSERT_EQ(fx->SetTechnique(fx->GetTechniqueByName("TShader")), kOk);
  EXPECT_EQ(fx->PassCount(), 3u);
  for (const char* name :
       {"mVP", "vCol", "vLightDir", "DecalTex", "CurNumBones", "mWorldMatrixArray"})
    EXPECT_NE(Param(name), 0u) << name;
  ramp = Texel(0xFF808080);
  decal = Texel(0xFF00FF00);

  // A square facing the camera, weighted fully to bone index 0 (CurNumBones 0).
  struct SkinVertex {
    float x, y, z;
    uint8_t index[4];
    float nx, ny, nz, u, v;
  };
  const SkinVertex v[4] = {{-0.5f, -0.5f, 0.5f, {0, 0, 0, 0}, 0, 0, -1, 0, 0},
                           {-0.5f, 0.5f, 0.5f, {0, 0, 0, 0}, 0, 0, -1, 0, 1},
                           {0.5f, 0.5f, 0.5f, {0, 0, 0, 0}, 0, 0, -1, 1, 1},
                           {0.5f, -0.5f, 0.5f, {0, 0, 0, 0}, 0, 0, -1, 1, 0}};
  gpu::VertexLayout layout;
  layout.elements = {{0, gpu::DeclType::Float3, gpu::DeclUsage::Position, 0},
                     {12, gpu::DeclType::Color, gpu::DeclUsage::BlendIndices, 0},
                     {16, gpu::DeclType::Float3, gpu::DeclUsage::Normal, 0},
                     {28, gpu::DeclType::Float2, gpu::DeclUsage::TexCoord, 0}};
  layout.stride = sizeof(SkinVertex);
  fx->SetVector(Param("vCol"), {1, 1, 0.5f, 1});
  fx->SetInt(Param("CurNumBones"), 0);
  dev().SetTexture(0, ramp);

  const std::vector<uint32_t> plain = DrawPass(0, layout, v);
  EXPECT_TRUE(NearArgb(At(plain, 320, 240), 0xFF808040, 3));  // ramp x colour
  EXPECT_TRUE(NearArgb(At(plain, 20, 20), 0xFF000000, 0));
  fx->SetTexture(Param("DecalTex"), decal);
  dev().SetTexture(1, decal);
  EXPECT_TRUE(
      NearArgb(At(DrawPass(0, layout, v), 320, 240), 0xFF008000, 3));  // ramp x colour x decal

  // The outline pass draws black.
  const std::vector<uint32_t> outline = DrawPass(1, layout, v, 0xFFFFFFFF);
  EXPECT_TRUE(NearArgb(At(outline, 320, 240), 0xFF000000, 0));
  EXPECT_TRUE(NearArgb(At(outline, 20, 20), 0xFFFFFFFF, 0));
}

TEST_F(ToonEffectTest, BlendsCurNumBonesPlusOneWeights) {
  ramp = Texel(0xFFFFFFFF);
  dev().SetTexture(0, ramp);
  // One weight given (0.25 on the vertex's first index), the last implied (0.75).
  struct SkinVertex {
    float x, y, z, w0;
    uint8_t index[4];
    float nx, ny, nz;
  };
  // Bytes (3, 7): palette 3 moves right by 0.4, palette 7 left by 0.4.
  auto vert = [](float x, float y) {
    return SkinVertex{x, y, 0.5f, 0.25f, {3, 7, 0, 0}, 0, 0, -1};
  };
  const SkinVertex v[4] = {vert(-0.1f, -0.1f), vert(-0.1f, 0.1f), vert(0.1f, 0.1f),
                           vert(0.1f, -0.1f)};
  gpu::VertexLayout layout;
  layout.elements = {{0, gpu::DeclType::Float3, gpu::DeclUsage::Position, 0},
                     {12, gpu::DeclType::Float1, gpu::DeclUsage::BlendWeight, 0},
                     {16, gpu::DeclType::Color, gpu::DeclUsage::BlendIndices, 0},
                     {20, gpu::DeclType::Float3, gpu::DeclUsage::Normal, 0}};
  layout.stride = sizeof(SkinVertex);
  bones[3] = MatrixTranslation(0.4f, 0, 0);
  bones[7] = MatrixTranslation(-0.4f, 0, 0);
  fx->SetVector(Param("vCol"), {1, 1, 1, 1});

  auto centreX = [&](int bonesMinusOne) {
    fx->SetInt(Param("CurNumBones"), bonesMinusOne);
    const std::vector<uint32_t> px = DrawPass(0, layout, v);
    int sum = 0, n = 0;
    for (int x = 0; x < 640; ++x)
      if (At(px, x, 240) & 0xFFFFFF) sum += x, ++n;
    return n ? sum / n : -1;
  };
  // 0.25 * (x + 0.4) + 0.75 * (x - 0.4) = x - 0.2: 64 pixels left of the centre.
  EXPECT_NEAR(centreX(1), 320 - 64, 2);
  // CurNumBones 0: the one bone (index byte 0, palette 3) takes all the weight.
  EXPECT_NEAR(centreX(0), 320 + 128, 2);
}
