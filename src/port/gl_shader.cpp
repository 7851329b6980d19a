#include "port/gl_shader.h"

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

}  // namespace

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
const char* const kFixedVertexShader = R"GLSL(
#version 330 core
in vec4 aPosition;
in vec3 aNormal;
in vec4 aColor;
in vec2 aTexCoord0;
in vec2 aTexCoord1;
in float aPSize;

uniform mat4 uWorldView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;
uniform bool uRemapDepth;

uniform bool uLighting;
uniform bool uNormalize;
uniform bool uDiffuseFromVertex;
uniform vec4 uAmbient;
uniform vec4 uMatDiffuse, uMatAmbient, uMatEmissive;
uniform bool uLightOn;
uniform int uLightType;
uniform vec3 uLightDirView;
uniform vec3 uLightPosView;
uniform vec4 uLightDiffuse, uLightAmbient;
uniform vec4 uLightAtten;  // a0, a1, a2, range

uniform bool uTexCoord1Present;

uniform bool uPoints;
uniform bool uPointScale;
uniform vec4 uPointParams;  // A, B, C, viewport height
uniform vec2 uPointClamp;   // min, max

out vec4 vColor;
out vec2 vTex0;
out vec2 vTex1;

void main() {
  vec4 eye = uWorldView * aPosition;
  vec4 clip = uProjection * eye;
  if (uRemapDepth) clip.z = 2.0 * clip.z - clip.w;
  gl_Position = clip;

  if (uLighting) {
    vec3 n = uNormalMatrix * aNormal;
    if (uNormalize && dot(n, n) > 0.0) n = normalize(n);
    vec4 md = uDiffuseFromVertex ? aColor : uMatDiffuse;
    vec3 c = uMatEmissive.rgb + uMatAmbient.rgb * uAmbient.rgb;
    if (uLightOn) {
      vec3 l;
      float att = 1.0;
      if (uLightType == 3) {
        l = -uLightDirView;
      } else {
        vec3 p = eye.xyz / (eye.w != 0.0 ? eye.w : 1.0);
        vec3 d = uLightPosView - p;
        float dist = length(d);
        l = dist > 0.0 ? d / dist : vec3(0.0);
        float denom = uLightAtten.x + uLightAtten.y * dist + uLightAtten.z * dist * dist;
        att = denom > 0.0 ? 1.0 / denom : 1.0;
        if (uLightAtten.w > 0.0 && dist > uLightAtten.w) att = 0.0;
      }
      c += att * (uMatAmbient.rgb * uLightAmbient.rgb + md.rgb * uLightDiffuse.rgb * max(0.0, dot(n, l)));
    }
    vColor = vec4(clamp(c, 0.0, 1.0), clamp(md.a, 0.0, 1.0));
  } else {
    vColor = aColor;
  }
  vTex0 = aTexCoord0;
  vTex1 = uTexCoord1Present ? aTexCoord1 : aTexCoord0;

  if (uPoints) {
    float size = aPSize;
    if (uPointScale) {
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
#version 330 core
in vec4 vColor;
in vec2 vTex0;
in vec2 vTex1;

uniform sampler2D uTexture0;
uniform sampler2D uTexture1;
uniform bool uHasTexture[2];
uniform ivec3 uColorOps[2];   // op, arg1, arg2
uniform ivec3 uAlphaOps[2];
uniform bool uPointSprite;

uniform bool uAlphaTest;
uniform int uAlphaFunc;
uniform float uAlphaRef;

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
    ivec3 co = uColorOps[s];
    ivec3 ao = uAlphaOps[s];
    if (co.x == 1) break;
    vec2 uv = uPointSprite ? gl_PointCoord : (s == 0 ? vTex0 : vTex1);
    vec4 tex = vec4(1.0);
    if (uHasTexture[s]) tex = (s == 0) ? texture(uTexture0, uv) : texture(uTexture1, uv);
    // A stage that reads a missing texture passes the current colour through.
    vec3 rgb = cur.rgb;
    if (uHasTexture[s] || !ReadsTexture(co))
      rgb = Combine(co.x, Arg(co.y, tex, cur, vColor), Arg(co.z, tex, cur, vColor)).rgb;
    float alpha = cur.a;
    if (ao.x != 1 && (uHasTexture[s] || !ReadsTexture(ao)))
      alpha = Combine(ao.x, Arg(ao.y, tex, cur, vColor), Arg(ao.z, tex, cur, vColor)).a;
    cur = vec4(rgb, alpha);
  }
  if (uAlphaTest) {
    float a = floor(clamp(cur.a, 0.0, 1.0) * 255.0 + 0.5);
    if (!Compare(uAlphaFunc, a, uAlphaRef)) discard;
  }
  fragColor = cur;
}
)GLSL";

}  // namespace port::gl
