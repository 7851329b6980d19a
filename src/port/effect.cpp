#include "port/effect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "port/gl_shader.h"
#include "port/path.h"

namespace port {

namespace {

GLuint Compile(GLenum type, const std::string& source, const std::string& name,
               std::string* errors) {
  std::string log;
  GLuint shader = gl::CompileShader(type, source.c_str(), &log);
  if (!shader && errors)
    *errors = std::string(type == GL_VERTEX_SHADER ? "vertex" : "fragment") + " shader " + name +
              ": " + log;
  return shader;
}

// Whether the context clips depth at -w..w (GL's default) rather than 0..w.
bool DepthNeedsRemap() {
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major > 4 || (major == 4 && minor >= 5)) {
    GLint mode = 0;
    glGetIntegerv(GL_CLIP_DEPTH_MODE, &mode);
    return mode != GL_ZERO_TO_ONE;
  }
  return true;
}

}  // namespace

namespace {

// One linked program of a pass and what it has been sent.
struct LinkedProgram {
  GLuint name = 0;
  std::vector<GLint> locations, boundLocations, arraySizes;
  std::vector<uint64_t> uploaded;
};

// Builds one pass's program from its two shader sources; 0 on failure with
// the log in *log.
GLuint BuildPassProgram(const std::string& vertexSource, const std::string& fragmentSource,
                        std::string* log) {
  GLuint vs = gl::CompileShader(GL_VERTEX_SHADER, vertexSource.c_str(), log);
  if (!vs) return 0;
  GLuint fs = gl::CompileShader(GL_FRAGMENT_SHADER, fragmentSource.c_str(), log);
  if (!fs) {
    glDeleteShader(vs);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  const bool linked = gl::LinkProgram(program, log);
  glDeleteShader(vs);
  glDeleteShader(fs);
  if (!linked) {
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

}  // namespace

class Effect::PassProgram : public gpu::ShaderProgram {
 public:
  PassProgram(Effect* owner, const fx::PassDesc& pass, bool remapDepth)
      : owner_(owner),
        vertexShader_(pass.vertexShader),
        fragmentShader_(pass.fragmentShader),
        remapDepth_(remapDepth) {}
  ~PassProgram() override {
    if (!gpu::Device::Current()) return;
    if (general_.name) glDeleteProgram(general_.name);
    for (auto& [key, variant] : variants_)
      if (variant.name) glDeleteProgram(variant.name);
  }

  bool Link(GLuint vertex, GLuint fragment, const std::string& passName, std::string* errors) {
    general_.name = glCreateProgram();
    glAttachShader(general_.name, vertex);
    glAttachShader(general_.name, fragment);
    std::string log;
    const bool linked = gl::LinkProgram(general_.name, &log);
    glDetachShader(general_.name, vertex);
    glDetachShader(general_.name, fragment);
    if (!linked) {
      if (errors) *errors = "pass " + passName + ": " + log;
      return false;
    }
    Prepare(&general_);
    return true;
  }

  void Apply(gpu::Device& device, const gpu::VertexLayout&) override {
    LinkedProgram* p = device.GetShaderVariants() ? Variant() : &general_;
    glUseProgram(p->name);
    const auto& params = owner_->desc_.params;
    for (size_t i = 0; i < params.size(); ++i) {
      const Value& v = owner_->values_[i];
      if (p->uploaded[i] == v.serial) continue;
      p->uploaded[i] = v.serial;
      const GLint location = p->locations[i];
      switch (params[i].type) {
        case fx::ParamType::Matrix:
          if (location >= 0) {
            GLsizei count =
                params[i].arraySize ? std::min<GLsizei>(p->arraySizes[i], params[i].arraySize) : 1;
            glUniformMatrix4fv(location, count, GL_FALSE, v.floats.data());
          }
          break;
        case fx::ParamType::Vector:
          if (location >= 0) glUniform4fv(location, 1, v.floats.data());
          break;
        case fx::ParamType::Int:
          if (location >= 0) glUniform1i(location, v.intValue);
          break;
        case fx::ParamType::Texture:
          if (p->boundLocations[i] >= 0) glUniform1i(p->boundLocations[i], v.intValue);
          break;
      }
    }
  }

 private:
  // Paths a pass may have; past that the general program draws the rest.
  static constexpr size_t kMaxVariants = 16;

  // Uniform locations (-1 for one a variant made a constant), active array
  // sizes and the samplers' stages.
  void Prepare(LinkedProgram* p) {
    const auto& params = owner_->desc_.params;
    p->locations.assign(params.size(), -1);
    p->boundLocations.assign(params.size(), -1);
    p->arraySizes.assign(params.size(), 1);
    p->uploaded.assign(params.size(), 0);

    // Active array sizes: unused trailing elements may be optimised away.
    GLint activeCount = 0;
    glGetProgramiv(p->name, GL_ACTIVE_UNIFORMS, &activeCount);
    std::vector<std::pair<std::string, GLint>> active;
    for (GLint i = 0; i < activeCount; ++i) {
      char name[256];
      GLsizei len = 0;
      GLint size = 0;
      GLenum type = 0;
      glGetActiveUniform(p->name, static_cast<GLuint>(i), sizeof name, &len, &size, &type, name);
      std::string n(name, static_cast<size_t>(len));
      if (n.size() > 3 && n.compare(n.size() - 3, 3, "[0]") == 0) n.resize(n.size() - 3);
      active.emplace_back(n, size);
    }

    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(p->name);
    for (size_t i = 0; i < params.size(); ++i) {
      p->locations[i] = glGetUniformLocation(p->name, params[i].name.c_str());
      for (const auto& [n, size] : active)
        if (n == params[i].name) p->arraySizes[i] = size;
      if (params[i].type == fx::ParamType::Texture) {
        p->boundLocations[i] = glGetUniformLocation(p->name, (params[i].name + "_bound").c_str());
        if (p->locations[i] >= 0) glUniform1i(p->locations[i], params[i].stage);
      }
    }
    for (const fx::SamplerDesc& s : owner_->desc_.samplers) {
      GLint loc = glGetUniformLocation(p->name, s.name.c_str());
      if (loc >= 0) glUniform1i(loc, s.stage);
    }
    glUseProgram(static_cast<GLuint>(previous));
  }

  // The program with the current int values and texture flags built in,
  // made on first use; the general program when it cannot be built.
  LinkedProgram* Variant() {
    const auto& params = owner_->desc_.params;
    key_.assign(params.size(), 0);
    bool any = false;
    for (size_t i = 0; i < params.size(); ++i) {
      if (params[i].type != fx::ParamType::Int && params[i].type != fx::ParamType::Texture)
        continue;
      key_[i] = owner_->values_[i].intValue;
      any = true;
    }
    if (!any) return &general_;
    auto found = variants_.find(key_);
    if (found != variants_.end()) return found->second.name ? &found->second : &general_;
    if (variants_.size() >= kMaxVariants) return &general_;

    const fx::EffectDesc& d = owner_->desc_;
    std::string fragment =
        fx::BuildShaderSource(d, false, d.fragmentShaders.at(fragmentShader_), remapDepth_, &key_);
    if (!gl::VariantFault().empty())
      fragment.insert(fragment.find('\n') + 1, gl::VariantFault() + "\n");
    std::string log;
    LinkedProgram made;
    made.name = BuildPassProgram(
        fx::BuildShaderSource(d, true, d.vertexShaders.at(vertexShader_), remapDepth_, &key_),
        fragment, &log);
    if (!made.name) {
      // One line: the log's first.
      std::fprintf(stderr, "effect variant of %s/%s failed, drawing with the general program: %s\n",
                   vertexShader_.c_str(), fragmentShader_.c_str(),
                   log.substr(0, log.find('\n')).c_str());
      variants_.emplace(key_, LinkedProgram{});
      return &general_;
    }
    Prepare(&made);
    return &variants_.emplace(key_, std::move(made)).first->second;
  }

  Effect* owner_;
  std::string vertexShader_, fragmentShader_;
  bool remapDepth_;
  LinkedProgram general_;
  std::map<std::vector<int>, LinkedProgram> variants_;
  std::vector<int> key_;
};
Status Effect::CreateFromFile(gpu::Device* device, const std::string& path, Effect** out,
                              std::string* errors) {
  if (out) *out = nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadGameFile(path, &bytes, FileKind::Effect)) {
    if (errors) *errors = "cannot read " + path;
    return kFail;
  }
  return CreateFromText(device,
                        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        out, errors);
}

Status Effect::CreateFromText(gpu::Device* device, std::string_view text, Effect** out,
                              std::string* errors) {
  if (!out) return kInvalidArg;
  *out = nullptr;
  if (!device || device != gpu::Device::Current()) {
    if (errors) *errors = "no live device";
    return kInvalidCall;
  }
  fx::EffectDesc desc;
  if (!fx::ParseEffect(text, &desc, errors)) return kFail;

  Effect* effect = new Effect();
  effect->device_ = device;
  effect->desc_ = std::move(desc);
  const fx::EffectDesc& d = effect->desc_;
  for (const fx::ParamDesc& p : d.params) {
    effect->paramHandles_.push_back(InternEffectName(p.name));
    Value v;
    if (p.type == fx::ParamType::Matrix) v.floats.assign(16 * std::max(1u, p.arraySize), 0.0f);
    if (p.type == fx::ParamType::Vector) v.floats.assign(4, 0.0f);
    effect->values_.push_back(std::move(v));
  }

  // Compile each shader block a pass uses once, then link one program a pass.
  std::map<std::string, GLuint> vertexObjects, fragmentObjects;
  const bool remapDepth = DepthNeedsRemap();
  auto compiled = [&](bool vertex, const std::string& name) -> GLuint {
    auto& cache = vertex ? vertexObjects : fragmentObjects;
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    const std::string& body = (vertex ? d.vertexShaders : d.fragmentShaders).at(name);
    GLuint shader = Compile(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER,
                            fx::BuildShaderSource(d, vertex, body, remapDepth), name, errors);
    if (shader) cache.emplace(name, shader);
    return shader;
  };
  bool ok = true;
  for (const fx::TechniqueDesc& t : d.techniques) {
    effect->techniqueHandles_.push_back(InternEffectName(t.name));
    effect->programs_.emplace_back();
    for (size_t i = 0; ok && i < t.passes.size(); ++i) {
      const fx::PassDesc& p = t.passes[i];
      GLuint vs = compiled(true, p.vertexShader);
      GLuint fs = vs ? compiled(false, p.fragmentShader) : 0;
      if (!vs || !fs) {
        ok = false;
        break;
      }
      auto program = std::make_unique<PassProgram>(effect, p, remapDepth);
      if (!program->Link(vs, fs, t.name + "." + std::to_string(i), errors)) ok = false;
      effect->programs_.back().push_back(std::move(program));
    }
    if (!ok) break;
  }
  for (auto& [name, shader] : vertexObjects) glDeleteShader(shader);
  for (auto& [name, shader] : fragmentObjects) glDeleteShader(shader);
  if (!ok) {
    effect->Release();
    return kFail;
  }
  *out = effect;
  return kOk;
}

Effect::~Effect() {
  gpu::Device* live = gpu::Device::Current();
  if (live && live == device_) {
    if (begun_) End();
    // Never leave the device pointing at a program that is about to go.
    gpu::ShaderProgram* current = live->GetShaderProgram();
    for (auto& passes : programs_)
      for (auto& p : passes)
        if (p.get() == current) live->SetShaderProgram(nullptr);
  }
}

EffectHandle Effect::GetTechniqueByName(const char* name) const {
  if (!name) return 0;
  for (size_t i = 0; i < desc_.techniques.size(); ++i)
    if (desc_.techniques[i].name == name) return techniqueHandles_[i];
  return 0;
}

EffectHandle Effect::GetParameterByName(const char* name) const {
  if (!name) return 0;
  for (size_t i = 0; i < desc_.params.size(); ++i)
    if (desc_.params[i].name == name) return paramHandles_[i];
  return 0;
}

Status Effect::SetTechnique(EffectHandle technique) {
  if (technique == 0 || begun_) return kInvalidCall;
  for (size_t i = 0; i < techniqueHandles_.size(); ++i) {
    if (techniqueHandles_[i] == technique) {
      technique_ = static_cast<int>(i);
      return kOk;
    }
  }
  return kInvalidArg;
}

EffectHandle Effect::GetCurrentTechnique() const {
  return techniqueHandles_.empty() ? 0 : techniqueHandles_[static_cast<size_t>(technique_)];
}

uint32_t Effect::PassCount() const {
  return desc_.techniques.empty()
             ? 0
             : static_cast<uint32_t>(
                   desc_.techniques[static_cast<size_t>(technique_)].passes.size());
}

Status Effect::Begin(uint32_t* passes, uint32_t flags) {
  if (begun_) return kInvalidCall;
  if (passes) *passes = PassCount();
  begun_ = true;
  savedStates_.clear();
  saved_ = !(flags & kEffectDoNotSaveState);
  if (saved_ && device_ == gpu::Device::Current()) {
    for (const fx::PassDesc& p : desc_.techniques[static_cast<size_t>(technique_)].passes) {
      for (const auto& entry : p.states) {
        const gpu::RenderState state = entry.first;  // a plain name: lambdas may capture it
        bool known = std::any_of(savedStates_.begin(), savedStates_.end(),
                                 [&](const auto& s) { return s.first == state; });
        if (!known) savedStates_.emplace_back(state, device_->GetRenderState(state));
      }
    }
  }
  return kOk;
}

Status Effect::Pass(uint32_t pass) {
  if (!begun_ || pass >= PassCount()) return kInvalidCall;
  if (device_ != gpu::Device::Current()) return kInvalidCall;
  const fx::PassDesc& p = desc_.techniques[static_cast<size_t>(technique_)].passes[pass];
  for (const auto& [state, value] : p.states) device_->SetRenderState(state, value);
  device_->SetShaderProgram(programs_[static_cast<size_t>(technique_)][pass].get());
  return kOk;
}

Status Effect::End() {
  if (!begun_) return kInvalidCall;
  begun_ = false;
  if (device_ != gpu::Device::Current()) return kOk;
  for (const auto& [state, value] : savedStates_) device_->SetRenderState(state, value);
  savedStates_.clear();
  device_->SetShaderProgram(nullptr);
  return kOk;
}

int Effect::ParamIndex(EffectHandle param, fx::ParamType type) const {
  if (param == 0) return -1;
  for (size_t i = 0; i < paramHandles_.size(); ++i)
    if (paramHandles_[i] == param) return desc_.params[i].type == type ? static_cast<int>(i) : -1;
  return -1;
}

void Effect::Touch(Value& v) { v.serial = ++serialCounter_; }

// A value set again unchanged is not sent again (the models set every
// parameter before each subset, most of them as they were), unless the
// device's state filter is off: then every value set is sent.
bool Effect::FilterValues() const {
  return device_ && device_ == gpu::Device::Current() && device_->GetStateFilter();
}

void Effect::SetFloats(Value& v, const float* f, size_t count) {
  if (FilterValues() && std::memcmp(v.floats.data(), f, sizeof(float) * count) == 0) return;
  std::memcpy(v.floats.data(), f, sizeof(float) * count);
  Touch(v);
}

void Effect::SetIntValue(Value& v, int value) {
  if (FilterValues() && v.intValue == value) return;
  v.intValue = value;
  Touch(v);
}

Status Effect::SetMatrix(EffectHandle param, const Matrix& m) {
  int i = ParamIndex(param, fx::ParamType::Matrix);
  if (i < 0 || desc_.params[static_cast<size_t>(i)].arraySize != 0) return kInvalidCall;
  SetFloats(values_[static_cast<size_t>(i)], &m.m[0][0], 16);
  return kOk;
}

Status Effect::SetMatrixArray(EffectHandle param, const Matrix* m, uint32_t count) {
  int i = ParamIndex(param, fx::ParamType::Matrix);
  if (i < 0 || (count > 0 && !m)) return kInvalidCall;
  uint32_t capacity = std::max(1u, desc_.params[static_cast<size_t>(i)].arraySize);
  if (count > capacity) return kInvalidCall;
  static_assert(sizeof(Matrix) == sizeof(float) * 16, "matrices are packed");
  Value& v = values_[static_cast<size_t>(i)];
  if (count > 0)
    SetFloats(v, &m[0].m[0][0], 16 * count);
  else if (!FilterValues())
    Touch(v);
  return kOk;
}

Status Effect::SetVector(EffectHandle param, const Vec4& value) {
  int i = ParamIndex(param, fx::ParamType::Vector);
  if (i < 0) return kInvalidCall;
  const float f[4] = {value.x, value.y, value.z, value.w};
  SetFloats(values_[static_cast<size_t>(i)], f, 4);
  return kOk;
}

Status Effect::SetInt(EffectHandle param, int value) {
  int i = ParamIndex(param, fx::ParamType::Int);
  if (i < 0) return kInvalidCall;
  SetIntValue(values_[static_cast<size_t>(i)], value);
  return kOk;
}

Status Effect::SetTexture(EffectHandle param, gpu::Texture* texture) {
  int i = ParamIndex(param, fx::ParamType::Texture);
  if (i < 0) return kInvalidCall;
  SetIntValue(values_[static_cast<size_t>(i)], texture ? 1 : 0);
  return kOk;
}

Status Effect::GetVector(EffectHandle param, Vec4* out) const {
  int i = ParamIndex(param, fx::ParamType::Vector);
  if (i < 0 || !out) return kInvalidCall;
  const auto& f = values_[static_cast<size_t>(i)].floats;
  *out = {f[0], f[1], f[2], f[3]};
  return kOk;
}

Status Effect::GetInt(EffectHandle param, int* out) const {
  int i = ParamIndex(param, fx::ParamType::Int);
  if (i < 0 || !out) return kInvalidCall;
  *out = values_[static_cast<size_t>(i)].intValue;
  return kOk;
}

}  // namespace port
