#pragma once
// GLSL program building and the fixed-function program of the device.
#include <cstdint>
#include <string>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace port::gl {

// Compiles one shader; 0 and the compiler's log in *error on failure.
GLuint CompileShader(GLenum type, const char* source, std::string* error);
// Links a program whose shaders are attached; false and the linker's log in
// *error on failure (the program is kept for the caller to delete).
bool LinkProgram(GLuint program, std::string* error);

// Compiles and links a program with the device's attribute locations bound.
// 0 and the compiler's log in *error on failure.
GLuint BuildProgram(const char* vertexSource, const char* fragmentSource, std::string* error);

// The device state that selects the fixed-function program's path, in the
// canonical form the device gives it: ops 0 (unknown) to 7, arguments 0 to 2,
// alpha function 0 (always) to 7, and fields a switched-off path does not
// read left at zero.
struct FixedPath {
  bool remapDepth = false, lighting = false, normalize = false, diffuseFromVertex = false,
       lightOn = false, lightDirectional = false, lightRanged = false, texCoord1Present = false,
       points = false, pointScale = false, pointSprite = false, alphaTest = false,
       instanced = false;  // the world-view matrix per instance instead of a uniform
  int alphaFunc = 0;
  bool hasTexture[2] = {};
  int colorOps[2][3] = {};  // op, arg1, arg2
  int alphaOps[2][3] = {};
  uint64_t Key() const;
};

// The general program (path null: every switch a uniform) or the variant for
// one path (every switch a constant). 0 and the log in *error on failure.
GLuint BuildFixedProgram(const FixedPath* path, std::string* error);

// Locations of the fixed-function program's uniforms; -1 for those a variant
// folded away.
struct FixedUniforms {
  GLint worldView, projection, normalMatrix, remapDepth;
  GLint lighting, normalize, diffuseFromVertex, ambient, matDiffuse, matAmbient, matEmissive;
  GLint lightOn, lightType, lightDirView, lightPosView, lightDiffuse, lightAmbient, lightAtten;
  GLint texCoord1Present, points, pointScale, pointParams, pointClamp;
  GLint texture0, texture1, hasTexture, colorOps, alphaOps, pointSprite, alphaTest, alphaFunc,
      alphaRef;
};
// Looks the uniforms up and binds the samplers to units 0 and 1 (the program
// is left current).
FixedUniforms PrepareFixedProgram(GLuint program, bool remapDepth);

// For tests: a line put into every variant's fragment source from now on
// (null for none), so a broken variant can be forced.
void SetVariantFault(const char* line);
const std::string& VariantFault();

extern const char* const kFixedVertexShader;
extern const char* const kFixedFragmentShader;

}  // namespace port::gl
