// The fixed-function program a draw runs: the variant of the path its states
// select (built on first use), or the general program; and the uniforms it
// reads, each sent only when it differs from what that program last got.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "port/gpu_gl_device.h"

namespace port::gpu::impl {

namespace {

// The normal matrix of the column-vector form: the inverse transpose of the
// upper 3x3, stored column-major for glUniformMatrix3fv.
void NormalMatrix(const Matrix& m, float out[9]) {
  // Row-vector n' = n * A, A the upper 3x3; normals use inverse-transpose(A).
  const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
  const float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
  const float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
  const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  const float det = a * A + b * B + c * C;
  if (std::fabs(det) < 1e-30f) {
    for (int k = 0; k < 9; ++k) out[k] = 0;
    return;
  }
  const float inv = 1.0f / det;
  // Cofactor matrix / det = inverse-transpose of A (rows of the row-vector form).
  const float it[3][3] = {{A * inv, B * inv, C * inv},
                          {-(b * i - c * h) * inv, (a * i - c * g) * inv, -(a * h - b * g) * inv},
                          {(b * f - c * e) * inv, -(a * f - c * d) * inv, (a * e - b * d) * inv}};
  // n' = n * it in row form; GLSL computes M * n with M column-major, so the
  // floats go in row-major order of it (same trick as the 4x4 matrices).
  for (int r = 0; r < 3; ++r)
    for (int col = 0; col < 3; ++col) out[r * 3 + col] = it[r][col];
}

Vec3 TransformDir(const Vec3& v, const Matrix& m) {
  return Vec3(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
              v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
              v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]);
}

Vec3 TransformPoint(const Vec3& v, const Matrix& m) {
  Vec3 r = TransformDir(v, m);
  return Vec3(r.x + m.m[3][0], r.y + m.m[3][1], r.z + m.m[3][2]);
}

// A stage operation or a comparison as the path keys it: 1 to 7 as they
// stand, anything else 0; a stage argument: current or texture as they stand,
// anything else 0 (diffuse).
int PathOp(uint32_t v) { return v >= 1 && v <= 7 ? static_cast<int>(v) : 0; }
int PathArg(uint32_t v) { return v == 1 || v == 2 ? static_cast<int>(v) : 0; }

// Whether an alpha of 255 passes the test of func against ref (a byte).
bool PassesOpaque(int func, uint32_t ref) {
  switch (func) {
    case CmpNever:
      return false;
    case CmpLess:
      return 255 < ref;
    case CmpEqual:
      return ref == 255;
    case CmpLessEqual:
      return ref == 255;
    case CmpNotEqual:
      return ref != 255;
    default:  // greater (or equal) than a byte, always
      return func != CmpGreater || ref < 255;
  }
}

}  // namespace

// The program for the path the current state selects: the variant of that
// path, built on first use, or the general program when variants are off or
// the variant failed to build.
FixedProgram* GLDevice::SelectFixedProgram(PrimitiveType type) {
  if (!programs_.useVariants && !programs_.instancing) return &programs_.general;
  return Variant(PathOfStates(type));
}

// The path of the current states: the lighting, points, alpha test and stage
// operations a draw of this type reaches, and nothing it cannot reach, so
// that draws which look alike share one variant.
gl::FixedPath GLDevice::PathOfStates(PrimitiveType type) const {
  gl::FixedPath p;
  p.remapDepth = !context_.clipControl;
  p.instanced = programs_.instancing;
  p.lighting = Rs(RenderState::Lighting) != 0;
  if (p.lighting) {
    p.normalize = Rs(RenderState::NormalizeNormals) != 0;
    p.diffuseFromVertex =
        state_.layout.Find(DeclUsage::Color, 0) != nullptr && Rs(RenderState::ColorVertex) != 0;
    p.lightOn = state_.lightOn;
    if (p.lightOn) {
      p.lightDirectional = state_.light.type == LightDirectional;
      p.lightRanged = !p.lightDirectional && state_.light.range > 0.0f;
    }
  }
  p.texCoord1Present = state_.layout.Find(DeclUsage::TexCoord, 1) != nullptr;
  p.points = type == PointList;
  if (p.points) {
    p.pointScale = Rs(RenderState::PointScaleEnable) != 0;
    p.pointSprite = Rs(RenderState::PointSpriteEnable) != 0;
  }
  p.alphaTest = Rs(RenderState::AlphaTestEnable) != 0;
  if (p.alphaTest) p.alphaFunc = PathOp(Rs(RenderState::AlphaFunc));
  FoldAlphaTest(&p);
  StagePaths(&p);
  return p;
}

// An alpha test every fragment passes is left out: where every fragment's
// alpha is 255, the test passes all or none.
void GLDevice::FoldAlphaTest(gl::FixedPath* p) const {
  if (!p->alphaTest || !AlphaIsOne(CurrentSetup())) return;
  if (!PassesOpaque(p->alphaFunc, Rs(RenderState::AlphaRef) & 0xFF)) return;
  p->alphaTest = false;
  p->alphaFunc = 0;
}

// Each stage's colour and alpha operation with its arguments, up to the
// first disabled colour operation: later stages are never read.
void GLDevice::StagePaths(gl::FixedPath* p) const {
  for (int s = 0; s < kStages; ++s) {
    const auto& t = state_.tss[s];
    p->colorOps[s][0] = PathOp(t[static_cast<int>(StageState::ColorOp)]);
    if (p->colorOps[s][0] == static_cast<int>(TexOpDisable)) break;
    p->hasTexture[s] = state_.textures[s] != nullptr;
    p->colorOps[s][1] = PathArg(t[static_cast<int>(StageState::ColorArg1)]);
    p->colorOps[s][2] = PathArg(t[static_cast<int>(StageState::ColorArg2)]);
    p->alphaOps[s][0] = PathOp(t[static_cast<int>(StageState::AlphaOp)]);
    if (p->alphaOps[s][0] == static_cast<int>(TexOpDisable)) continue;
    p->alphaOps[s][1] = PathArg(t[static_cast<int>(StageState::AlphaArg1)]);
    p->alphaOps[s][2] = PathArg(t[static_cast<int>(StageState::AlphaArg2)]);
  }
}

// The variant of the path, built on its first use; the general program where
// it failed to build.
FixedProgram* GLDevice::Variant(const gl::FixedPath& p) {
  const uint64_t key = p.Key();
  auto found = programs_.variants.find(key);
  if (found != programs_.variants.end())
    return found->second ? found->second.get() : &programs_.general;
  std::string log;
  const GLuint name = gl::BuildFixedProgram(&p, &log);
  if (!name) {
    // One line: the log's first.
    const std::string first = log.substr(0, log.find('\n'));
    std::fprintf(stderr, "shader variant %016llx failed, drawing with the general program: %s\n",
                 static_cast<unsigned long long>(key), first.c_str());
    programs_.variants.emplace(key, nullptr);
    cache_.gl.program = kUnknownName;
    return &programs_.general;
  }
  auto program = std::make_unique<FixedProgram>();
  program->name = name;
  program->u = gl::PrepareFixedProgram(name, p.remapDepth);
  cache_.gl.program = name;
  FixedProgram* made = program.get();
  programs_.variants.emplace(key, std::move(program));
  return made;
}

// The fixed-function program for the current states, and every uniform it
// reads that differs from what it was last sent.
void GLDevice::ApplyFixedFunction(PrimitiveType type) {
  programs_.current = SelectFixedProgram(type);
  UseProgram(programs_.current->name);
  const Matrix& world = state_.transforms[static_cast<int>(TransformType::World)];
  const Matrix& view = state_.transforms[static_cast<int>(TransformType::View)];
  const Matrix wv = MatrixMultiply(world, view);
  SendTransforms(wv);
  SendLighting(wv);
  Uniform1i(Slot::TexCoord1Present, programs_.current->u.texCoord1Present,
            state_.layout.Find(DeclUsage::TexCoord, 1) != nullptr);
  SendPoints(type);
  SendStages();
  SendAlphaTest();
}

void GLDevice::SendTransforms(const Matrix& wv) {
  const gl::FixedUniforms& u = programs_.current->u;
  const Matrix& proj = state_.transforms[static_cast<int>(TransformType::Projection)];
  if (Fresh(Slot::WorldView, &wv.m[0][0], sizeof wv.m))
    glUniformMatrix4fv(u.worldView, 1, GL_FALSE, &wv.m[0][0]);
  if (Fresh(Slot::Projection, &proj.m[0][0], sizeof proj.m))
    glUniformMatrix4fv(u.projection, 1, GL_FALSE, &proj.m[0][0]);
}

// The lights are sent in view space, as the shader lights there.
void GLDevice::SendLighting(const Matrix& wv) {
  const gl::FixedUniforms& u = programs_.current->u;
  const bool lighting = Rs(RenderState::Lighting) != 0;
  Uniform1i(Slot::Lighting, u.lighting, lighting);
  if (!lighting) return;
  const Matrix& view = state_.transforms[static_cast<int>(TransformType::View)];
  float nm[9];
  NormalMatrix(wv, nm);
  if (Fresh(Slot::NormalMatrix, nm, sizeof nm)) glUniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, nm);
  Uniform1i(Slot::Normalize, u.normalize, Rs(RenderState::NormalizeNormals) != 0);
  const bool vertexColour =
      state_.layout.Find(DeclUsage::Color, 0) != nullptr && Rs(RenderState::ColorVertex) != 0;
  Uniform1i(Slot::DiffuseFromVertex, u.diffuseFromVertex, vertexColour);
  const ColorValue amb = FromArgb(Rs(RenderState::Ambient));
  Uniform4f(Slot::Ambient, u.ambient, amb.r, amb.g, amb.b, amb.a);
  const Material& m = state_.material;
  Uniform4f(Slot::MatDiffuse, u.matDiffuse, m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a);
  Uniform4f(Slot::MatAmbient, u.matAmbient, m.ambient.r, m.ambient.g, m.ambient.b, m.ambient.a);
  Uniform4f(Slot::MatEmissive, u.matEmissive, m.emissive.r, m.emissive.g, m.emissive.b,
            m.emissive.a);
  Uniform1i(Slot::LightOn, u.lightOn, state_.lightOn);
  Uniform1i(Slot::LightType, u.lightType, static_cast<GLint>(state_.light.type));
  const Vec3 dir = TransformDir(state_.light.direction, view);
  Uniform3f(Slot::LightDirView, u.lightDirView, dir.x, dir.y, dir.z);
  const Vec3 pos = TransformPoint(state_.light.position, view);
  Uniform3f(Slot::LightPosView, u.lightPosView, pos.x, pos.y, pos.z);
  Uniform4f(Slot::LightDiffuse, u.lightDiffuse, state_.light.diffuse.r, state_.light.diffuse.g,
            state_.light.diffuse.b, state_.light.diffuse.a);
  Uniform4f(Slot::LightAmbient, u.lightAmbient, state_.light.ambient.r, state_.light.ambient.g,
            state_.light.ambient.b, state_.light.ambient.a);
  Uniform4f(Slot::LightAtten, u.lightAtten, state_.light.attenuation0, state_.light.attenuation1,
            state_.light.attenuation2, state_.light.range);
}

void GLDevice::SendPoints(PrimitiveType type) {
  const gl::FixedUniforms& u = programs_.current->u;
  const bool points = type == PointList;
  Uniform1i(Slot::Points, u.points, points);
  Uniform1i(Slot::PointSprite, u.pointSprite, points && Rs(RenderState::PointSpriteEnable) != 0);
  if (points) {
    Uniform1i(Slot::PointScale, u.pointScale, Rs(RenderState::PointScaleEnable) != 0);
    Uniform4f(Slot::PointParams, u.pointParams, AsFloat(Rs(RenderState::PointScaleA)),
              AsFloat(Rs(RenderState::PointScaleB)), AsFloat(Rs(RenderState::PointScaleC)),
              static_cast<float>(state_.viewport.height));
    Uniform2f(Slot::PointClamp, u.pointClamp, AsFloat(Rs(RenderState::PointSizeMin)),
              std::min(AsFloat(Rs(RenderState::PointSizeMax)), context_.caps.maxPointSize));
  }
}

// Each stage's texture presence and operations, as the general program reads
// them.
void GLDevice::SendStages() {
  const gl::FixedUniforms& u = programs_.current->u;
  GLint hasTexture[kStages];
  GLint colorOps[kStages * 3], alphaOps[kStages * 3];
  for (int s = 0; s < kStages; ++s) {
    hasTexture[s] = state_.textures[s] != nullptr;
    const auto& t = state_.tss[s];
    colorOps[s * 3 + 0] = static_cast<GLint>(t[static_cast<int>(StageState::ColorOp)]);
    colorOps[s * 3 + 1] = static_cast<GLint>(t[static_cast<int>(StageState::ColorArg1)]);
    colorOps[s * 3 + 2] = static_cast<GLint>(t[static_cast<int>(StageState::ColorArg2)]);
    alphaOps[s * 3 + 0] = static_cast<GLint>(t[static_cast<int>(StageState::AlphaOp)]);
    alphaOps[s * 3 + 1] = static_cast<GLint>(t[static_cast<int>(StageState::AlphaArg1)]);
    alphaOps[s * 3 + 2] = static_cast<GLint>(t[static_cast<int>(StageState::AlphaArg2)]);
  }
  if (Fresh(Slot::HasTexture, hasTexture, sizeof hasTexture))
    glUniform1iv(u.hasTexture, kStages, hasTexture);
  if (Fresh(Slot::ColorOps, colorOps, sizeof colorOps)) glUniform3iv(u.colorOps, kStages, colorOps);
  if (Fresh(Slot::AlphaOps, alphaOps, sizeof alphaOps)) glUniform3iv(u.alphaOps, kStages, alphaOps);
}

void GLDevice::SendAlphaTest() {
  const gl::FixedUniforms& u = programs_.current->u;
  Uniform1i(Slot::AlphaTest, u.alphaTest, Rs(RenderState::AlphaTestEnable) != 0);
  Uniform1i(Slot::AlphaFunc, u.alphaFunc, static_cast<GLint>(Rs(RenderState::AlphaFunc)));
  Uniform1f(Slot::AlphaRef, u.alphaRef, static_cast<float>(Rs(RenderState::AlphaRef) & 0xFF));
}

// After an effect's program has drawn, the device no longer knows which
// program is current.
void GLDevice::ApplyProgram(PrimitiveType type) {
  if (state_.program) {
    state_.program->Apply(*this, state_.layout);
    cache_.gl.program = kUnknownName;
  } else {
    ApplyFixedFunction(type);
  }
}

// True (and remembered) when the value differs from the one last sent.
bool GLDevice::Fresh(Slot slot, const void* value, size_t bytes) {
  CachedUniform& c = programs_.current->cache[static_cast<int>(slot)];
  if (c.valid && std::memcmp(c.bytes, value, bytes) == 0) return false;
  std::memcpy(c.bytes, value, bytes);
  c.valid = true;
  return true;
}

void GLDevice::Uniform1i(Slot slot, GLint location, GLint v) {
  if (location < 0) return;  // folded away in this variant
  if (Fresh(slot, &v, sizeof v)) glUniform1i(location, v);
}

void GLDevice::Uniform1f(Slot slot, GLint location, GLfloat v) {
  if (location < 0) return;  // folded away in this variant
  if (Fresh(slot, &v, sizeof v)) glUniform1f(location, v);
}

void GLDevice::Uniform2f(Slot slot, GLint location, GLfloat x, GLfloat y) {
  if (location < 0) return;  // folded away in this variant
  const GLfloat v[2] = {x, y};
  if (Fresh(slot, v, sizeof v)) glUniform2fv(location, 1, v);
}

void GLDevice::Uniform3f(Slot slot, GLint location, GLfloat x, GLfloat y, GLfloat z) {
  if (location < 0) return;  // folded away in this variant
  const GLfloat v[3] = {x, y, z};
  if (Fresh(slot, v, sizeof v)) glUniform3fv(location, 1, v);
}

void GLDevice::Uniform4f(Slot slot, GLint location, GLfloat x, GLfloat y, GLfloat z, GLfloat w) {
  if (location < 0) return;  // folded away in this variant
  const GLfloat v[4] = {x, y, z, w};
  if (Fresh(slot, v, sizeof v)) glUniform4fv(location, 1, v);
}

}  // namespace port::gpu::impl
