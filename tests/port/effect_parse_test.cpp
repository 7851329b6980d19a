#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "port/effect.h"

using namespace port;

namespace {

std::string ReadSource(const char* relative) {
  std::ifstream f(std::string(POMELVANE_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

const char* kSmall = R"(
# a test effect
param float4x4 mBones[4];
param float4 vTint;      // colour
param int Count;
param texture Decal : 1;
sampler Ramp : 0;
common %{ float Twice(float x) { return 2.0 * x; } %}
vertex VS %{ void main() { gl_Position = vec4(0.0); } %}
fragment FS %{ void main() { FragColor = vTint; } %}
technique First {
  pass { CullMode = CW; ZWriteEnable = false; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
         AlphaRef = 0x80; VertexShader = VS; FragmentShader = FS; }
  pass Named { VertexShader = VS; FragmentShader = FS; }
}
technique Second { pass { Lighting = true; VertexShader = VS; FragmentShader = FS; } }
)";

}  // namespace

TEST(EffectParse, ReadsParametersTechniquesPassesAndStates) {
  fx::EffectDesc d;
  std::string error;
  ASSERT_TRUE(fx::ParseEffect(kSmall, &d, &error)) << error;
  ASSERT_EQ(d.params.size(), 4u);
  EXPECT_EQ(d.params[0].name, "mBones");
  EXPECT_EQ(d.params[0].type, fx::ParamType::Matrix);
  EXPECT_EQ(d.params[0].arraySize, 4u);
  EXPECT_EQ(d.params[1].type, fx::ParamType::Vector);
  EXPECT_EQ(d.params[2].type, fx::ParamType::Int);
  EXPECT_EQ(d.params[3].type, fx::ParamType::Texture);
  EXPECT_EQ(d.params[3].stage, 1);
  ASSERT_EQ(d.samplers.size(), 1u);
  EXPECT_EQ(d.samplers[0].stage, 0);
  ASSERT_EQ(d.techniques.size(), 2u);
  const fx::TechniqueDesc& t = d.techniques[0];
  EXPECT_EQ(t.name, "First");
  ASSERT_EQ(t.passes.size(), 2u);
  EXPECT_EQ(t.passes[1].name, "Named");
  using S = gpu::RenderState;
  std::vector<std::pair<S, uint32_t>> want = {{S::CullMode, gpu::CullCW},
                                              {S::ZWriteEnable, 0},
                                              {S::SrcBlend, gpu::BlendSrcAlpha},
                                              {S::DestBlend, gpu::BlendInvSrcAlpha},
                                              {S::AlphaRef, 0x80}};
  EXPECT_EQ(t.passes[0].states, want);
  EXPECT_EQ(d.techniques[1].passes[0].states,
            (std::vector<std::pair<S, uint32_t>>{{S::Lighting, 1}}));

  // The generated source declares every uniform and, for vertex shaders, the attributes.
  std::string vs = fx::BuildShaderSource(d, true, d.vertexShaders.at("VS"));
  EXPECT_EQ(vs.rfind("#version 330 core\n", 0), 0u);
  for (const char* line :
       {"uniform mat4 mBones[4];", "uniform vec4 vTint;", "uniform int Count;",
        "uniform sampler2D Decal;", "uniform bool Decal_bound;", "uniform sampler2D Ramp;",
        "layout(location = 2) in vec4 inBlendIndices;", "float Twice"})
    EXPECT_NE(vs.find(line), std::string::npos) << line;
  std::string fs = fx::BuildShaderSource(d, false, d.fragmentShaders.at("FS"));
  EXPECT_NE(fs.find("out vec4 FragColor;"), std::string::npos);
  EXPECT_EQ(fs.find("in vec4 inPosition"), std::string::npos);
}

TEST(EffectParse, SyntaxErrorsAreReportedWithTheirLine) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"param float4 v\n", 2},      // missing ';' at end of text
      {"param float3 v;", 1},       // unknown type
      {"param float4 v[2];", 1},    // arrays of vectors
      {"param texture t;", 1},      // texture without stage
      {"param texture t : 2;", 1},  // stage out of range
      {"param float4x4 m[0];", 1},
      {"param float4x4 m[100000];", 1},
      {"param int a;\nparam int a;", 2},                // duplicate
      {"param int a_bound;\nparam texture a : 0;", 2},  // clash with the generated flag
      {"param int gl_Foo;", 1},
      {"vertex V %{ void main(){} ", 1},  // block never closed
      {"vertex V %{ %}\nvertex V %{ %}", 2},
      {"\n\ntechnique T { pass { VertexShader = V; } }", 3},  // no such shader
      {"vertex V %{ %}\nfragment F %{ %}\ntechnique T { pass { VertexShader = V; } }",
       3},  // no fragment
      {"vertex V %{ %}\nfragment F %{ %}\ntechnique T { pass { Bogus = 1; VertexShader = V; "
       "FragmentShader = F; } }",
       3},
      {"vertex V %{ %}\nfragment F %{ %}\ntechnique T { pass { CullMode = Sideways; } }", 3},
      {"vertex V %{ %}\nfragment F %{ %}\ntechnique T { }", 3},  // no pass
      {"vertex V %{ %}\nfragment F %{ %}\ntechnique T { pass { VertexShader = V; FragmentShader = "
       "F; }",
       3},
      {"", 1},  // no technique
      {"param int x; $", 1},
      {"nonsense", 1},
  };
  for (const Case& c : cases) {
    fx::EffectDesc d;
    std::string error;
    EXPECT_FALSE(fx::ParseEffect(c.text, &d, &error)) << c.text;
    EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ":", 0), 0u)
        << c.text << " -> " << error;
    EXPECT_TRUE(d.techniques.empty());
  }
}

TEST(EffectParse, HostileTextNeverCrashes) {
  std::string base = kSmall;
  std::srand(3);
  for (int round = 0; round < 2000; ++round) {
    std::string t = base;
    int edits = 1 + std::rand() % 4;
    for (int k = 0; k < edits; ++k) {
      size_t at = static_cast<size_t>(std::rand()) % t.size();
      switch (std::rand() % 3) {
        case 0:
          t[at] = static_cast<char>(std::rand());
          break;
        case 1:
          t.erase(at, 1 + static_cast<size_t>(std::rand()) % 8);
          break;
        default:
          t.resize(at);
          break;
      }
      if (t.empty()) break;
    }
    fx::EffectDesc d;
    std::string error;
    if (!fx::ParseEffect(t, &d, &error)) {
      EXPECT_FALSE(error.empty());
    }
  }
  // Deep or long input stays linear.
  std::string many(200000, '{');
  fx::EffectDesc d;
  EXPECT_FALSE(fx::ParseEffect(many, &d, nullptr));
}

TEST(EffectParse, ToonEffectFileHasTheTechniqueAndParametersTheGameSets) {
  std::string text = ReadSource("data/toonSkinEffect.fx");
  ASSERT_FALSE(text.empty());
  fx::EffectDesc d;
  std::string error;
  ASSERT_TRUE(fx::ParseEffect(text, &d, &error)) << error;
  const fx::TechniqueDesc* t = nullptr;
  for (const auto& tech : d.techniques)
    if (tech.name == "TShader") t = &tech;
  ASSERT_NE(t, nullptr);
  EXPECT_GE(t->passes.size(), 3u);
  auto find = [&](const char* name) -> const fx::ParamDesc* {
    for (const auto& p : d.params)
      if (p.name == name) return &p;
    return nullptr;
  };
  ASSERT_NE(find("mVP"), nullptr);
  EXPECT_EQ(find("mVP")->type, fx::ParamType::Matrix);
  ASSERT_NE(find("mWorldMatrixArray"), nullptr);
  EXPECT_GE(find("mWorldMatrixArray")->arraySize, 26u);
  ASSERT_NE(find("vLightDir"), nullptr);
  EXPECT_EQ(find("vLightDir")->type, fx::ParamType::Vector);
  ASSERT_NE(find("vCol"), nullptr);
  EXPECT_EQ(find("vCol")->type, fx::ParamType::Vector);
  ASSERT_NE(find("CurNumBones"), nullptr);
  EXPECT_EQ(find("CurNumBones")->type, fx::ParamType::Int);
  ASSERT_NE(find("DecalTex"), nullptr);
  EXPECT_EQ(find("DecalTex")->type, fx::ParamType::Texture);
  EXPECT_EQ(find("DecalTex")->stage, 1);
  ASSERT_EQ(d.samplers.size(), 1u);
  EXPECT_EQ(d.samplers[0].stage, 0);
}

TEST(EffectParse, HandlesAreInternedByName) {
  EffectHandle a = InternEffectName("mVP");
  EXPECT_NE(a, 0u);
  EXPECT_EQ(InternEffectName("mVP"), a);
  EXPECT_NE(InternEffectName("vCol"), a);
  EXPECT_EQ(InternEffectName(""), 0u);
}
