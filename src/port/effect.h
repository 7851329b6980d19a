#pragma once
// Effects: techniques of passes, each pass a set of render states and a GLSL
// program, driven through named parameters. Effect files are text in our own
// small format:
//
//   // comment (also '#')           outside %{ %} blocks, to the end of the line
//   param float4x4 mVP;             mat4 uniform
//   param float4x4 mBones[26];      mat4 array uniform
//   param float4 vCol;              vec4 uniform
//   param int CurNumBones;          int uniform
//   param texture DecalTex : 1;     sampler2D on device stage 1, plus a bool
//                                   uniform DecalTex_bound: the parameter is set
//   sampler Ramp : 0;               sampler2D on device stage 0
//   common %{ ...GLSL... %}         text put into every shader (helper functions)
//   vertex SkinVS %{ ...GLSL with main()... %}
//   fragment ToonFS %{ ...GLSL with main()... %}
//   technique TShader {
//     pass P0 {                     passes are numbered in file order from 0
//       CullMode = CCW;             render states, named as port::gpu::RenderState
//       ZWriteEnable = true;        values: true/false, numbers, or the names of
//       VertexShader = SkinVS;      Cull, Cmp and Blend values (None, CW, CCW,
//       FragmentShader = ToonFS;    Less, LessEqual, SrcAlpha, InvSrcAlpha, ...)
//     }
//   }
//
// Every shader gets "#version 330 core", the uniforms of every param and
// sampler, and VERTEX_SHADER or FRAGMENT_SHADER defined as 1 (for common). Vertex shaders also get
// the device's attributes: vec4 inPosition, vec4 inBlendWeight, vec4 inBlendIndices, vec3 inNormal,
// vec4 inColor, vec2 inTexCoord0 (locations of port::gpu::attrib); ToDeviceClip(p) turns a clip
// position of the game's conventions (depth 0..w) into gl_Position; and ivec4 BlendIndices()
// decodes the bone indices. Skinned meshes carry their four index bytes typed as a D3DCOLOR, which
// arrives as (r, g, b, a) = bytes (2, 1, 0, 3) / 255, so indices = ivec4(inBlendIndices.zyxw *
// 255.001953): index k of the mesh is component k of the result. Fragment shaders write vec4
// FragColor.
//
// Samplers read the textures bound on the device's stages with the stage's
// sampler states; a texture parameter only records whether it is set.
//
// Handles are interned by name for the whole run, so a handle taken from one
// effect stays valid for an effect created again from the same file.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "port/gpu.h"
#include "port/math.h"
#include "port/resource.h"

namespace port {

// 0 is the null handle.
using EffectHandle = uint32_t;
EffectHandle InternEffectName(std::string_view name);

// Begin flag: do not save and restore the device states the passes set.
constexpr uint32_t kEffectDoNotSaveState = 1;

namespace fx {

enum class ParamType { Matrix, Vector, Int, Texture };

struct ParamDesc {
  std::string name;
  ParamType type = ParamType::Vector;
  uint32_t arraySize = 0;  // 0: a single value
  int stage = -1;          // textures: the device stage sampled
};

struct SamplerDesc {
  std::string name;
  int stage = 0;
};

struct PassDesc {
  std::string name;
  std::vector<std::pair<gpu::RenderState, uint32_t>> states;
  std::string vertexShader, fragmentShader;  // names of shader blocks
};

struct TechniqueDesc {
  std::string name;
  std::vector<PassDesc> passes;
};

struct EffectDesc {
  std::vector<ParamDesc> params;
  std::vector<SamplerDesc> samplers;
  std::string common;
  std::map<std::string, std::string> vertexShaders, fragmentShaders;
  std::vector<TechniqueDesc> techniques;
};

// Parses effect text. False with "line N: reason" in *error on a syntax error,
// an unknown state or value, a duplicate name, or a pass naming a missing shader.
bool ParseEffect(std::string_view text, EffectDesc* out, std::string* error);

// The full GLSL source of one shader block of a parsed effect. remapDepth:
// the context's clip depth runs -w..w, so ToDeviceClip maps 0..w onto it.
// switches (one value a parameter, or null): each int parameter and each
// texture's _bound flag becomes a constant of that value instead of a uniform.
std::string BuildShaderSource(const EffectDesc& desc, bool vertex, const std::string& body,
                              bool remapDepth = true, const std::vector<int>* switches = nullptr);

}  // namespace fx

class Effect : public Resource {
 public:
  // Reads, parses and compiles an effect file for the device (which must be
  // the live one). kOk and *out, or a failure status with *out null and the
  // reason (missing file, syntax error, GLSL compile or link log) in *errors.
  static Status CreateFromFile(gpu::Device* device, const std::string& path, Effect** out,
                               std::string* errors);
  static Status CreateFromText(gpu::Device* device, std::string_view text, Effect** out,
                               std::string* errors);

  EffectHandle GetTechniqueByName(const char* name) const;  // 0 when absent
  EffectHandle GetParameterByName(const char* name) const;  // 0 when absent
  Status SetTechnique(EffectHandle technique);              // the first technique until set
  EffectHandle GetCurrentTechnique() const;
  uint32_t PassCount() const;

  // Begin saves the device states any pass of the technique sets (unless
  // kEffectDoNotSaveState) and reports the pass count; Pass(n) applies pass
  // n's states and program; End restores the saved states and leaves the
  // device on its fixed-function shader.
  Status Begin(uint32_t* passes, uint32_t flags);
  Status Pass(uint32_t pass);
  Status End();
  bool IsBegun() const { return begun_; }

  // Values may change at any time; a change inside a pass reaches the next draw.
  Status SetMatrix(EffectHandle param, const Matrix& m);
  Status SetMatrixArray(EffectHandle param, const Matrix* m, uint32_t count);
  Status SetVector(EffectHandle param, const Vec4& v);
  Status SetInt(EffectHandle param, int value);
  Status SetTexture(EffectHandle param, gpu::Texture* texture);  // null: not set

  Status GetVector(EffectHandle param, Vec4* v) const;
  Status GetInt(EffectHandle param, int* value) const;

  class PassProgram;

 private:
  struct Value {
    std::vector<float> floats;  // matrices and vectors
    int intValue = 0;           // ints; textures: 1 when set
    uint64_t serial = 1;        // bumped on every change
  };

  Effect() = default;
  ~Effect() override;
  int ParamIndex(EffectHandle param, fx::ParamType type) const;
  void Touch(Value& v);
  bool FilterValues() const;
  void SetFloats(Value& v, const float* f, size_t count);
  void SetIntValue(Value& v, int value);

  gpu::Device* device_ = nullptr;
  fx::EffectDesc desc_;
  std::vector<EffectHandle> paramHandles_;
  std::vector<Value> values_;
  std::vector<EffectHandle> techniqueHandles_;
  std::vector<std::vector<std::unique_ptr<PassProgram>>> programs_;  // [technique][pass]
  int technique_ = 0;
  bool begun_ = false;
  bool saved_ = false;
  std::vector<std::pair<gpu::RenderState, uint32_t>> savedStates_;
  uint64_t serialCounter_ = 1;

  friend class PassProgram;
};

}  // namespace port
