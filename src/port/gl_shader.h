#pragma once
// GLSL program building and the fixed-function program of the device.
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

extern const char* const kFixedVertexShader;
extern const char* const kFixedFragmentShader;

}  // namespace port::gl
