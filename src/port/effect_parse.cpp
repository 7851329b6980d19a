// The effect file format (see effect.h): parsing and GLSL assembly. Kept
// apart from the GL side so it needs no device.
#include <cctype>
#include <charconv>
#include <cstring>
#include <set>
#include <unordered_map>

#include "port/effect.h"

namespace port {

EffectHandle InternEffectName(std::string_view name) {
  static std::unordered_map<std::string, EffectHandle> names;
  if (name.empty()) return 0;
  auto [it, added] =
      names.try_emplace(std::string(name), static_cast<EffectHandle>(names.size() + 1));
  return it->second;
}

namespace fx {
namespace {

enum class Tok { End, Ident, Number, Punct, Raw, Bad };

struct Token {
  Tok kind = Tok::End;
  std::string text;
  int line = 1;
};

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Token Next() {
    SkipSpaceAndComments();
    Token t;
    t.line = line_;
    if (pos_ >= s_.size()) return t;
    char c = s_[pos_];
    if (c == '%' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '{') {
      size_t start = pos_ + 2;
      size_t end = s_.find("%}", start);
      if (end == std::string_view::npos) {
        t.kind = Tok::Bad;
        t.text = "GLSL block without its closing %}";
        pos_ = s_.size();
        return t;
      }
      t.kind = Tok::Raw;
      t.text = std::string(s_.substr(start, end - start));
      for (char ch : t.text)
        if (ch == '\n') ++line_;
      pos_ = end + 2;
      return t;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = pos_;
      while (pos_ < s_.size() &&
             (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
        ++pos_;
      t.kind = Tok::Ident;
      t.text = std::string(s_.substr(start, pos_ - start));
      return t;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '-' && pos_ + 1 < s_.size() &&
         std::isdigit(static_cast<unsigned char>(s_[pos_ + 1])))) {
      size_t start = pos_++;
      while (pos_ < s_.size() && std::isalnum(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      t.kind = Tok::Number;
      t.text = std::string(s_.substr(start, pos_ - start));
      return t;
    }
    if (std::strchr(";:={}[]", c)) {
      ++pos_;
      t.kind = Tok::Punct;
      t.text = std::string(1, c);
      return t;
    }
    t.kind = Tok::Bad;
    t.text = std::string("unexpected character '") + c + "'";
    ++pos_;
    return t;
  }

 private:
  void SkipSpaceAndComments() {
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '#' || (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/')) {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  std::string_view s_;
  size_t pos_ = 0;
  int line_ = 1;
};

bool ParseNumber(const std::string& text, int64_t* out) {
  std::string_view v = text;
  bool negative = false;
  if (!v.empty() && v[0] == '-') {
    negative = true;
    v.remove_prefix(1);
  }
  int base = 10;
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    base = 16;
    v.remove_prefix(2);
  }
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
  if (ec != std::errc() || end != v.data() + v.size() || value > 0xFFFFFFFFull) return false;
  *out = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

enum class ValueKind { Bool, Cull, Shade, Cmp, Blend, Number };

struct StateInfo {
  const char* name;
  gpu::RenderState state;
  ValueKind kind;
};

const StateInfo kStates[] = {
    {"Lighting", gpu::RenderState::Lighting, ValueKind::Bool},
    {"SpecularEnable", gpu::RenderState::SpecularEnable, ValueKind::Bool},
    {"CullMode", gpu::RenderState::CullMode, ValueKind::Cull},
    {"ShadeMode", gpu::RenderState::ShadeMode, ValueKind::Shade},
    {"Ambient", gpu::RenderState::Ambient, ValueKind::Number},
    {"AlphaTestEnable", gpu::RenderState::AlphaTestEnable, ValueKind::Bool},
    {"AlphaFunc", gpu::RenderState::AlphaFunc, ValueKind::Cmp},
    {"AlphaRef", gpu::RenderState::AlphaRef, ValueKind::Number},
    {"ZEnable", gpu::RenderState::ZEnable, ValueKind::Bool},
    {"ZFunc", gpu::RenderState::ZFunc, ValueKind::Cmp},
    {"ZWriteEnable", gpu::RenderState::ZWriteEnable, ValueKind::Bool},
    {"NormalizeNormals", gpu::RenderState::NormalizeNormals, ValueKind::Bool},
    {"AlphaBlendEnable", gpu::RenderState::AlphaBlendEnable, ValueKind::Bool},
    {"SrcBlend", gpu::RenderState::SrcBlend, ValueKind::Blend},
    {"DestBlend", gpu::RenderState::DestBlend, ValueKind::Blend},
    {"ColorVertex", gpu::RenderState::ColorVertex, ValueKind::Bool},
};

struct NamedValue {
  const char* name;
  uint32_t value;
};

const NamedValue kBools[] = {{"true", 1}, {"false", 0}};
const NamedValue kCulls[] = {{"None", gpu::CullNone}, {"CW", gpu::CullCW}, {"CCW", gpu::CullCCW}};
const NamedValue kShades[] = {{"Flat", gpu::ShadeFlat}, {"Gouraud", gpu::ShadeGouraud}};
const NamedValue kCmps[] = {{"Never", gpu::CmpNever},
                            {"Less", gpu::CmpLess},
                            {"Equal", gpu::CmpEqual},
                            {"LessEqual", gpu::CmpLessEqual},
                            {"Greater", gpu::CmpGreater},
                            {"NotEqual", gpu::CmpNotEqual},
                            {"GreaterEqual", gpu::CmpGreaterEqual},
                            {"Always", gpu::CmpAlways}};
const NamedValue kBlends[] = {
    {"Zero", gpu::BlendZero},           {"One", gpu::BlendOne},
    {"SrcColor", gpu::BlendSrcColor},   {"InvSrcColor", gpu::BlendInvSrcColor},
    {"SrcAlpha", gpu::BlendSrcAlpha},   {"InvSrcAlpha", gpu::BlendInvSrcAlpha},
    {"DestAlpha", gpu::BlendDestAlpha}, {"InvDestAlpha", gpu::BlendInvDestAlpha},
    {"DestColor", gpu::BlendDestColor}, {"InvDestColor", gpu::BlendInvDestColor}};

template <size_t N>
bool LookUp(const NamedValue (&table)[N], const std::string& name, uint32_t* out) {
  for (const NamedValue& nv : table) {
    if (EqualsNoCase(nv.name, name)) {
      *out = nv.value;
      return true;
    }
  }
  return false;
}

bool StateValue(ValueKind kind, const Token& t, uint32_t* out) {
  if (t.kind == Tok::Number) {
    int64_t n = 0;
    if (!ParseNumber(t.text, &n) || n < 0) return false;
    *out = static_cast<uint32_t>(n);
    return true;
  }
  if (t.kind != Tok::Ident) return false;
  switch (kind) {
    case ValueKind::Bool:
      return LookUp(kBools, t.text, out);
    case ValueKind::Cull:
      return LookUp(kCulls, t.text, out);
    case ValueKind::Shade:
      return LookUp(kShades, t.text, out);
    case ValueKind::Cmp:
      return LookUp(kCmps, t.text, out);
    case ValueKind::Blend:
      return LookUp(kBlends, t.text, out);
    case ValueKind::Number:
      return false;
  }
  return false;
}

class Parser {
 public:
  Parser(std::string_view text, EffectDesc* out, std::string* error)
      : lex_(text), out_(out), error_(error) {
    Advance();
  }

  bool Run() {
    while (cur_.kind != Tok::End) {
      if (cur_.kind != Tok::Ident)
        return Error("expected param, sampler, common, vertex, fragment or technique");
      std::string word = cur_.text;
      Advance();
      bool ok = word == "param"       ? Param()
                : word == "sampler"   ? Sampler()
                : word == "common"    ? Common()
                : word == "vertex"    ? Shader(true)
                : word == "fragment"  ? Shader(false)
                : word == "technique" ? Technique()
                                      : Error("unknown section '" + word + "'");
      if (!ok) return false;
    }
    if (out_->techniques.empty()) return Error("the effect has no technique");
    return true;
  }

 private:
  void Advance() { cur_ = lex_.Next(); }

  bool Error(const std::string& message) {
    if (error_) {
      if (cur_.kind == Tok::Bad)
        *error_ = "line " + std::to_string(cur_.line) + ": " + cur_.text;
      else
        *error_ = "line " + std::to_string(cur_.line) + ": " + message;
    }
    return false;
  }

  bool Expect(const char* punct) {
    if (cur_.kind != Tok::Punct || cur_.text != punct)
      return Error(std::string("expected '") + punct + "'");
    Advance();
    return true;
  }

  bool IsPunct(const char* punct) const { return cur_.kind == Tok::Punct && cur_.text == punct; }

  bool Name(std::string* out, const char* what) {
    if (cur_.kind != Tok::Ident) return Error(std::string("expected ") + what);
    if (cur_.text.rfind("gl_", 0) == 0) return Error("names may not start with gl_");
    *out = cur_.text;
    Advance();
    return true;
  }

  bool Integer(int64_t lo, int64_t hi, int64_t* out, const char* what) {
    if (cur_.kind != Tok::Number || !ParseNumber(cur_.text, out) || *out < lo || *out > hi)
      return Error(std::string("expected ") + what);
    Advance();
    return true;
  }

  bool Declare(const std::string& name) {
    if (!uniforms_.insert(name).second) return Error("'" + name + "' is declared twice");
    return true;
  }

  bool Param() {
    ParamDesc p;
    std::string type;
    if (!Name(&type, "a parameter type")) return false;
    if (type == "float4x4")
      p.type = ParamType::Matrix;
    else if (type == "float4")
      p.type = ParamType::Vector;
    else if (type == "int")
      p.type = ParamType::Int;
    else if (type == "texture")
      p.type = ParamType::Texture;
    else
      return Error("unknown parameter type '" + type + "'");
    if (!Name(&p.name, "a parameter name") || !Declare(p.name)) return false;
    if (IsPunct("[")) {
      if (p.type != ParamType::Matrix) return Error("only float4x4 parameters may be arrays");
      Advance();
      int64_t n = 0;
      if (!Integer(1, 256, &n, "an array size from 1 to 256") || !Expect("]")) return false;
      p.arraySize = static_cast<uint32_t>(n);
    }
    if (p.type == ParamType::Texture) {
      int64_t stage = 0;
      if (!Expect(":") || !Integer(0, gpu::Device::kStages - 1, &stage, "a texture stage"))
        return false;
      p.stage = static_cast<int>(stage);
      if (!Declare(p.name + "_bound")) return false;
    }
    if (!Expect(";")) return false;
    out_->params.push_back(std::move(p));
    return true;
  }

  bool Sampler() {
    SamplerDesc s;
    int64_t stage = 0;
    if (!Name(&s.name, "a sampler name") || !Declare(s.name) || !Expect(":") ||
        !Integer(0, gpu::Device::kStages - 1, &stage, "a texture stage") || !Expect(";"))
      return false;
    s.stage = static_cast<int>(stage);
    out_->samplers.push_back(std::move(s));
    return true;
  }

  bool Common() {
    if (cur_.kind != Tok::Raw) return Error("expected a %{ GLSL %} block");
    out_->common += cur_.text;
    Advance();
    return true;
  }

  bool Shader(bool vertex) {
    std::string name;
    if (!Name(&name, "a shader name")) return false;
    if (cur_.kind != Tok::Raw) return Error("expected a %{ GLSL %} block");
    auto& map = vertex ? out_->vertexShaders : out_->fragmentShaders;
    if (!map.emplace(name, cur_.text).second)
      return Error("shader '" + name + "' is defined twice");
    Advance();
    return true;
  }

  bool Technique() {
    TechniqueDesc t;
    if (!Name(&t.name, "a technique name")) return false;
    for (const TechniqueDesc& other : out_->techniques)
      if (other.name == t.name) return Error("technique '" + t.name + "' is defined twice");
    if (!Expect("{")) return false;
    while (!IsPunct("}")) {
      if (cur_.kind != Tok::Ident || cur_.text != "pass") return Error("expected pass or '}'");
      Advance();
      PassDesc p;
      if (cur_.kind == Tok::Ident) {
        p.name = cur_.text;
        Advance();
      }
      if (!Expect("{")) return false;
      while (!IsPunct("}")) {
        std::string key;
        if (!Name(&key, "a render state or shader")) return false;
        if (!Expect("=")) return false;
        Token value = cur_;
        if (key == "VertexShader" || key == "FragmentShader") {
          const auto& map = key == "VertexShader" ? out_->vertexShaders : out_->fragmentShaders;
          if (value.kind != Tok::Ident || !map.count(value.text))
            return Error("no " + std::string(key == "VertexShader" ? "vertex" : "fragment") +
                         " shader named '" + value.text + "'");
          (key == "VertexShader" ? p.vertexShader : p.fragmentShader) = value.text;
        } else {
          const StateInfo* info = nullptr;
          for (const StateInfo& s : kStates)
            if (EqualsNoCase(s.name, key)) info = &s;
          if (!info) return Error("unknown render state '" + key + "'");
          uint32_t v = 0;
          if (!StateValue(info->kind, value, &v))
            return Error("bad value '" + value.text + "' for " + key);
          p.states.emplace_back(info->state, v);
        }
        Advance();
        if (!Expect(";")) return false;
      }
      Advance();
      if (p.vertexShader.empty() || p.fragmentShader.empty())
        return Error("a pass needs a VertexShader and a FragmentShader");
      t.passes.push_back(std::move(p));
    }
    Advance();
    if (t.passes.empty()) return Error("technique '" + t.name + "' has no pass");
    out_->techniques.push_back(std::move(t));
    return true;
  }

  Lexer lex_;
  Token cur_;
  EffectDesc* out_;
  std::string* error_;
  std::set<std::string> uniforms_;
};

}  // namespace

bool ParseEffect(std::string_view text, EffectDesc* out, std::string* error) {
  *out = EffectDesc{};
  Parser parser(text, out, error);
  if (!parser.Run()) {
    *out = EffectDesc{};
    return false;
  }
  return true;
}

std::string BuildShaderSource(const EffectDesc& desc, bool vertex, const std::string& body,
                              bool remapDepth, const std::vector<int>* switches) {
  std::string s = "#version 330 core\n";
  for (size_t i = 0; i < desc.params.size(); ++i) {
    const ParamDesc& p = desc.params[i];
    const bool fixed = switches && i < switches->size();
    if (fixed && p.type == ParamType::Int) {
      s += "const int " + p.name + " = " + std::to_string((*switches)[i]) + ";\n";
      continue;
    }
    if (fixed && p.type == ParamType::Texture) {
      s += "uniform sampler2D " + p.name + ";\nconst bool " + p.name +
           "_bound = " + ((*switches)[i] ? "true" : "false") + ";\n";
      continue;
    }
    switch (p.type) {
      case ParamType::Matrix:
        s += "uniform mat4 " + p.name;
        if (p.arraySize) s += "[" + std::to_string(p.arraySize) + "]";
        s += ";\n";
        break;
      case ParamType::Vector:
        s += "uniform vec4 " + p.name + ";\n";
        break;
      case ParamType::Int:
        s += "uniform int " + p.name + ";\n";
        break;
      case ParamType::Texture:
        s += "uniform sampler2D " + p.name + ";\nuniform bool " + p.name + "_bound;\n";
        break;
    }
  }
  for (const SamplerDesc& smp : desc.samplers) s += "uniform sampler2D " + smp.name + ";\n";
  s += vertex ? "#define VERTEX_SHADER 1\n" : "#define FRAGMENT_SHADER 1\n";
  if (vertex) {
    s += "layout(location = " + std::to_string(gpu::attrib::Position) + ") in vec4 inPosition;\n";
    s += "layout(location = " + std::to_string(gpu::attrib::BlendWeight) +
         ") in vec4 inBlendWeight;\n";
    s += "layout(location = " + std::to_string(gpu::attrib::BlendIndices) +
         ") in vec4 inBlendIndices;\n";
    s += "layout(location = " + std::to_string(gpu::attrib::Normal) + ") in vec3 inNormal;\n";
    s += "layout(location = " + std::to_string(gpu::attrib::Color) + ") in vec4 inColor;\n";
    s += "layout(location = " + std::to_string(gpu::attrib::TexCoord0) + ") in vec2 inTexCoord0;\n";
    // Depth in the game's clip space runs 0..w; unless the context clips the
    // same way, GL's runs -w..w.
    s += remapDepth ? "vec4 ToDeviceClip(vec4 p) { return vec4(p.x, p.y, 2.0 * p.z - p.w, p.w); }\n"
                    : "vec4 ToDeviceClip(vec4 p) { return p; }\n";
    s += "ivec4 BlendIndices() { return ivec4(inBlendIndices.zyxw * 255.001953); }\n";
  } else {
    s += "out vec4 FragColor;\n";
  }
  s += "#line 1 1\n";
  s += desc.common;
  s += "\n#line 1 2\n";
  s += body;
  s += "\n";
  return s;
}

}  // namespace fx
}  // namespace port
