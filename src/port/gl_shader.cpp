#include "port/gl_shader.h"

#include <cstdio>

#include "port/gpu.h"

namespace port::gl {

namespace {

std::string InfoLog(GLuint object, bool program) {
  GLint length = 0;
  if (program)
    glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
  else
    glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
  GLsizei written = 0;
  if (program)
    glGetProgramInfoLog(object, length, &written, log.data());
  else
    glGetShaderInfoLog(object, length, &written, log.data());
  log.resize(static_cast<size_t>(written > 0 ? written : 0));
  return log;
}

std::string g_variantFault;

void Define(std::string* out, const char* name, int value) {
  *out += "#define ";
  *out += name;
  *out += ' ';
  *out += std::to_string(value);
  *out += '\n';
}

void Define(std::string* out, const char* name, bool value) {
  *out += "#define ";
  *out += name;
  *out += value ? " true\n" : " false\n";
}

void DefineOps(std::string* out, const char* name, const int ops[3]) {
  char line[96];
  std::snprintf(line, sizeof line, "#define %s %d, %d, %d\n", name, ops[0], ops[1], ops[2]);
  *out += line;
}

}  // namespace

uint64_t FixedPath::Key() const {
  uint64_t k = 0;
  int shift = 0;
  auto put = [&k, &shift](uint64_t value, int bits) {
    k |= (value & ((uint64_t{1} << bits) - 1)) << shift;
    shift += bits;
  };
  for (bool b :
       {remapDepth, lighting, normalize, diffuseFromVertex, lightOn, lightDirectional, lightRanged,
        texCoord1Present, points, pointScale, pointSprite, alphaTest, instanced})
    put(b, 1);
  put(static_cast<uint64_t>(alphaFunc), 3);
  for (int s = 0; s < 2; ++s) {
    put(hasTexture[s], 1);
    put(static_cast<uint64_t>(colorOps[s][0]), 3);
    put(static_cast<uint64_t>(colorOps[s][1]), 2);
    put(static_cast<uint64_t>(colorOps[s][2]), 2);
    put(static_cast<uint64_t>(alphaOps[s][0]), 3);
    put(static_cast<uint64_t>(alphaOps[s][1]), 2);
    put(static_cast<uint64_t>(alphaOps[s][2]), 2);
  }
  return k;
}

void SetVariantFault(const char* line) { g_variantFault = line ? line : ""; }
const std::string& VariantFault() { return g_variantFault; }

GLuint BuildFixedProgram(const FixedPath* path, std::string* error) {
  std::string head = "#version 330 core\n";
  std::string fragmentHead = head;
  if (path) {
    const FixedPath& p = *path;
    head += "#define VARIANT 1\n";
    Define(&head, "V_REMAP_DEPTH", p.remapDepth);
    Define(&head, "V_LIGHTING", p.lighting);
    Define(&head, "V_NORMALIZE", p.normalize);
    Define(&head, "V_DIFFUSE_FROM_VERTEX", p.diffuseFromVertex);
    Define(&head, "V_LIGHT_ON", p.lightOn);
    Define(&head, "V_LIGHT_DIRECTIONAL", p.lightDirectional);
    Define(&head, "V_LIGHT_RANGED", p.lightRanged);
    Define(&head, "V_TEXCOORD1_PRESENT", p.texCoord1Present);
    Define(&head, "V_POINTS", p.points);
    Define(&head, "V_POINT_SCALE", p.pointScale);
    if (p.instanced) head += "#define V_INSTANCED 1\n";
    fragmentHead += "#define VARIANT 1\n";
    Define(&fragmentHead, "V_HAS_TEXTURE0", p.hasTexture[0]);
    Define(&fragmentHead, "V_HAS_TEXTURE1", p.hasTexture[1]);
    DefineOps(&fragmentHead, "V_COLOR_OPS0", p.colorOps[0]);
    DefineOps(&fragmentHead, "V_COLOR_OPS1", p.colorOps[1]);
    DefineOps(&fragmentHead, "V_ALPHA_OPS0", p.alphaOps[0]);
    DefineOps(&fragmentHead, "V_ALPHA_OPS1", p.alphaOps[1]);
    Define(&fragmentHead, "V_POINT_SPRITE", p.pointSprite);
    Define(&fragmentHead, "V_ALPHA_TEST", p.alphaTest);
    Define(&fragmentHead, "V_ALPHA_FUNC", p.alphaFunc);
    if (!g_variantFault.empty()) fragmentHead += g_variantFault + "\n";
  }
  const std::string vs = head + kFixedVertexShader;
  const std::string fs = fragmentHead + kFixedFragmentShader;
  return BuildProgram(vs.c_str(), fs.c_str(), error);
}

FixedUniforms PrepareFixedProgram(GLuint program, bool remapDepth) {
  auto loc = [program](const char* name) { return glGetUniformLocation(program, name); };
  FixedUniforms u;
  u.worldView = loc("uWorldView");
  u.projection = loc("uProjection");
  u.normalMatrix = loc("uNormalMatrix");
  u.remapDepth = loc("uRemapDepth");
  u.lighting = loc("uLighting");
  u.normalize = loc("uNormalize");
  u.diffuseFromVertex = loc("uDiffuseFromVertex");
  u.ambient = loc("uAmbient");
  u.matDiffuse = loc("uMatDiffuse");
  u.matAmbient = loc("uMatAmbient");
  u.matEmissive = loc("uMatEmissive");
  u.lightOn = loc("uLightOn");
  u.lightType = loc("uLightType");
  u.lightDirView = loc("uLightDirView");
  u.lightPosView = loc("uLightPosView");
  u.lightDiffuse = loc("uLightDiffuse");
  u.lightAmbient = loc("uLightAmbient");
  u.lightAtten = loc("uLightAtten");
  u.texCoord1Present = loc("uTexCoord1Present");
  u.points = loc("uPoints");
  u.pointScale = loc("uPointScale");
  u.pointParams = loc("uPointParams");
  u.pointClamp = loc("uPointClamp");
  u.texture0 = loc("uTexture0");
  u.texture1 = loc("uTexture1");
  u.hasTexture = loc("uHasTexture");
  u.colorOps = loc("uColorOps");
  u.alphaOps = loc("uAlphaOps");
  u.pointSprite = loc("uPointSprite");
  u.alphaTest = loc("uAlphaTest");
  u.alphaFunc = loc("uAlphaFunc");
  u.alphaRef = loc("uAlphaRef");
  glUseProgram(program);
  glUniform1i(u.texture0, 0);
  glUniform1i(u.texture1, 1);
  glUniform1i(u.remapDepth, remapDepth ? 1 : 0);
  return u;
}

GLuint CompileShader(GLenum type, const char* source, std::string* error) {
  GLuint s = glCreateShader(type);
  glShaderSource(s, 1, &source, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    if (error) *error = InfoLog(s, false);
    glDeleteShader(s);
    return 0;
  }
  return s;
}

bool LinkProgram(GLuint program, std::string* error) {
  glLinkProgram(program);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok && error) *error = InfoLog(program, true);
  return ok != 0;
}

GLuint BuildProgram(const char* vertexSource, const char* fragmentSource, std::string* error) {
  GLuint vs = CompileShader(GL_VERTEX_SHADER, vertexSource, error);
  if (!vs) return 0;
  GLuint fs = CompileShader(GL_FRAGMENT_SHADER, fragmentSource, error);
  if (!fs) {
    glDeleteShader(vs);
    return 0;
  }
  GLuint p = glCreateProgram();
  glAttachShader(p, vs);
  glAttachShader(p, fs);
  using namespace port::gpu;
  glBindAttribLocation(p, attrib::Position, "aPosition");
  glBindAttribLocation(p, attrib::BlendWeight, "aBlendWeight");
  glBindAttribLocation(p, attrib::BlendIndices, "aBlendIndices");
  glBindAttribLocation(p, attrib::Normal, "aNormal");
  glBindAttribLocation(p, attrib::Color, "aColor");
  glBindAttribLocation(p, attrib::TexCoord0, "aTexCoord0");
  glBindAttribLocation(p, attrib::PSize, "aPSize");
  glBindAttribLocation(p, attrib::TexCoord1, "aTexCoord1");
  glBindAttribLocation(p, attrib::WorldView, "aWorldView0");
  glBindAttribLocation(p, attrib::WorldView + 1, "aWorldView1");
  glBindAttribLocation(p, attrib::WorldView + 2, "aWorldView2");
  glBindAttribLocation(p, attrib::WorldView + 3, "aWorldView3");
  const bool linked = LinkProgram(p, error);
  glDeleteShader(vs);
  glDeleteShader(fs);
  if (!linked) {
    glDeleteProgram(p);
    return 0;
  }
  return p;
}

// Row-vector matrices arrive as-is: in GLSL they are the column-vector form of
// the same transforms, so the chain reads Projection * WorldView * position.
// Every switch of the path is a macro: the general program reads it from a
// uniform, a variant from a constant, so both run the same arithmetic and a
// variant's compiler folds the switches away.
const char* const kFixedVertexShader = R"GLSL(
in vec4 aPosition;
in vec3 aNormal;
in vec4 aColor;
in vec2 aTexCoord0;
in vec2 aTexCoord1;
in float aPSize;

uniform mat4 uWorldView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;

uniform vec4 uAmbient;
uniform vec4 uMatDiffuse, uMatAmbient, uMatEmissive;
uniform vec3 uLightDirView;
uniform vec3 uLightPosView;
uniform vec4 uLightDiffuse, uLightAmbient;
uniform vec4 uLightAtten;  // a0, a1, a2, range

uniform vec4 uPointParams;  // A, B, C, viewport height
uniform vec2 uPointClamp;   // min, max

#ifdef V_INSTANCED
in vec4 aWorldView0, aWorldView1, aWorldView2, aWorldView3;
#define WORLD_VIEW mat4(aWorldView0, aWorldView1, aWorldView2, aWorldView3)
#else
#define WORLD_VIEW uWorldView
#endif

#ifdef VARIANT
#define REMAP_DEPTH V_REMAP_DEPTH
#define LIGHTING V_LIGHTING
#define NORMALIZE V_NORMALIZE
#define DIFFUSE_FROM_VERTEX V_DIFFUSE_FROM_VERTEX
#define LIGHT_ON V_LIGHT_ON
#define LIGHT_DIRECTIONAL V_LIGHT_DIRECTIONAL
#define LIGHT_RANGED V_LIGHT_RANGED
#define TEXCOORD1_PRESENT V_TEXCOORD1_PRESENT
#define POINTS V_POINTS
#define POINT_SCALE V_POINT_SCALE
#else
uniform bool uRemapDepth;
uniform bool uLighting;
uniform bool uNormalize;
uniform bool uDiffuseFromVertex;
uniform bool uLightOn;
uniform int uLightType;
uniform bool uTexCoord1Present;
uniform bool uPoints;
uniform bool uPointScale;
#define REMAP_DEPTH uRemapDepth
#define LIGHTING uLighting
#define NORMALIZE uNormalize
#define DIFFUSE_FROM_VERTEX uDiffuseFromVertex
#define LIGHT_ON uLightOn
#define LIGHT_DIRECTIONAL (uLightType == 3)
#define LIGHT_RANGED (uLightAtten.w > 0.0)
#define TEXCOORD1_PRESENT uTexCoord1Present
#define POINTS uPoints
#define POINT_SCALE uPointScale
#endif

out vec4 vColor;
out vec2 vTex0;
out vec2 vTex1;

void main() {
  vec4 eye = WORLD_VIEW * aPosition;
  vec4 clip = uProjection * eye;
  if (REMAP_DEPTH) clip.z = 2.0 * clip.z - clip.w;
  gl_Position = clip;

  if (LIGHTING) {
    vec3 n = uNormalMatrix * aNormal;
    if (NORMALIZE && dot(n, n) > 0.0) n = normalize(n);
    vec4 md = DIFFUSE_FROM_VERTEX ? aColor : uMatDiffuse;
    vec3 c = uMatEmissive.rgb + uMatAmbient.rgb * uAmbient.rgb;
    if (LIGHT_ON) {
      if (LIGHT_DIRECTIONAL) {
        vec3 l = -uLightDirView;
        c += uMatAmbient.rgb * uLightAmbient.rgb + md.rgb * uLightDiffuse.rgb * max(0.0, dot(n, l));
      } else {
        vec3 p = eye.xyz / (eye.w != 0.0 ? eye.w : 1.0);
        vec3 d = uLightPosView - p;
        float dist = length(d);
        vec3 l = dist > 0.0 ? d / dist : vec3(0.0);
        float denom = uLightAtten.x + uLightAtten.y * dist + uLightAtten.z * dist * dist;
        float att = denom > 0.0 ? 1.0 / denom : 1.0;
        if (LIGHT_RANGED && dist > uLightAtten.w) att = 0.0;
        c += att * (uMatAmbient.rgb * uLightAmbient.rgb + md.rgb * uLightDiffuse.rgb * max(0.0, dot(n, l)));
      }
    }
    vColor = vec4(clamp(c, 0.0, 1.0), clamp(md.a, 0.0, 1.0));
  } else {
    vColor = aColor;
  }
  vTex0 = aTexCoord0;
  vTex1 = TEXCOORD1_PRESENT ? aTexCoord1 : aTexCoord0;

  if (POINTS) {
    float size = aPSize;
    if (POINT_SCALE) {
      float de = length(eye.xyz);
      float q = uPointParams.x + uPointParams.y * de + uPointParams.z * de * de;
      size = q > 0.0 ? uPointParams.w * size * sqrt(1.0 / q) : uPointClamp.y;
    }
    gl_PointSize = clamp(size, max(uPointClamp.x, 1.0), max(uPointClamp.y, 1.0));
  } else {
    gl_PointSize = 1.0;
  }
}
)GLSL";

const char* const kFixedFragmentShader = R"GLSL(
in vec4 vColor;
in vec2 vTex0;
in vec2 vTex1;

uniform sampler2D uTexture0;
uniform sampler2D uTexture1;
uniform float uAlphaRef;

#ifdef VARIANT
const bool kHasTexture[2] = bool[2](V_HAS_TEXTURE0, V_HAS_TEXTURE1);
const ivec3 kColorOps[2] = ivec3[2](ivec3(V_COLOR_OPS0), ivec3(V_COLOR_OPS1));
const ivec3 kAlphaOps[2] = ivec3[2](ivec3(V_ALPHA_OPS0), ivec3(V_ALPHA_OPS1));
#define HAS_TEXTURE kHasTexture
#define COLOR_OPS kColorOps
#define ALPHA_OPS kAlphaOps
#define POINT_SPRITE V_POINT_SPRITE
#define ALPHA_TEST V_ALPHA_TEST
#define ALPHA_FUNC V_ALPHA_FUNC
#else
uniform bool uHasTexture[2];
uniform ivec3 uColorOps[2];   // op, arg1, arg2
uniform ivec3 uAlphaOps[2];
uniform bool uPointSprite;
uniform bool uAlphaTest;
uniform int uAlphaFunc;
#define HAS_TEXTURE uHasTexture
#define COLOR_OPS uColorOps
#define ALPHA_OPS uAlphaOps
#define POINT_SPRITE uPointSprite
#define ALPHA_TEST uAlphaTest
#define ALPHA_FUNC uAlphaFunc
#endif

out vec4 fragColor;

vec4 Arg(int a, vec4 tex, vec4 cur, vec4 diffuse) {
  if (a == 2) return tex;
  if (a == 1) return cur;
  return diffuse;
}

vec4 Combine(int op, vec4 a1, vec4 a2) {
  if (op == 2) return a1;
  if (op == 3) return a2;
  if (op == 4) return a1 * a2;
  if (op == 5) return min(2.0 * a1 * a2, vec4(1.0));
  if (op == 6) return min(4.0 * a1 * a2, vec4(1.0));
  if (op == 7) return min(a1 + a2, vec4(1.0));
  return a1;
}

bool ReadsTexture(ivec3 o) {
  return (o.x != 3 && o.y == 2) || (o.x != 2 && o.z == 2);
}

bool Compare(int func, float a, float ref) {
  if (func == 1) return false;
  if (func == 2) return a < ref;
  if (func == 3) return a == ref;
  if (func == 4) return a <= ref;
  if (func == 5) return a > ref;
  if (func == 6) return a != ref;
  if (func == 7) return a >= ref;
  return true;
}

void main() {
  vec4 cur = vColor;
  for (int s = 0; s < 2; ++s) {
    ivec3 co = COLOR_OPS[s];
    ivec3 ao = ALPHA_OPS[s];
    if (co.x == 1) break;
    vec2 uv = POINT_SPRITE ? gl_PointCoord : (s == 0 ? vTex0 : vTex1);
    vec4 tex = vec4(1.0);
    if (HAS_TEXTURE[s]) tex = (s == 0) ? texture(uTexture0, uv) : texture(uTexture1, uv);
    // A stage that reads a missing texture passes the current colour through.
    vec3 rgb = cur.rgb;
    if (HAS_TEXTURE[s] || !ReadsTexture(co))
      rgb = Combine(co.x, Arg(co.y, tex, cur, vColor), Arg(co.z, tex, cur, vColor)).rgb;
    float alpha = cur.a;
    if (ao.x != 1 && (HAS_TEXTURE[s] || !ReadsTexture(ao)))
      alpha = Combine(ao.x, Arg(ao.y, tex, cur, vColor), Arg(ao.z, tex, cur, vColor)).a;
    cur = vec4(rgb, alpha);
  }
  if (ALPHA_TEST) {
    float a = floor(clamp(cur.a, 0.0, 1.0) * 255.0 + 0.5);
    if (!Compare(ALPHA_FUNC, a, uAlphaRef)) discard;
  }
  fragColor = cur;
}
)GLSL";

}  // namespace port::gl
