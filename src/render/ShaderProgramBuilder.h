#pragma once

// Free functions that compile and link GLSL programs on the context current on the
// calling thread. Failures are reported on standard output, in these exact texts:
//   "Failed to compile shader:\n" followed by the source string(s) as given,
//   "Failed to link program N", "Failed to validate program N" (no line break).
// A status is 0 for failure and nonzero for success.
#include <GL/gl.h>

namespace talvex {

// Creates a shader object of `type` (GL_VERTEX_SHADER, GL_FRAGMENT_SHADER) and stores
// its handle in `shader` before compiling: the caller deletes it whatever the outcome.
GLint compileShader(GLenum type, GLsizei count, const GLchar* const* sources, GLuint* shader);
GLint linkProgram(GLuint program);
GLint validateProgram(GLuint program);
// The uniform's location, -1 when the program has no such active uniform.
GLint uniformLocation(GLuint program, const GLchar* name);

// Compiles both texts, binds attribute i to attributeLocations[i] for every non-empty
// name, links, and looks up the non-empty uniform names. On success stores the program
// in `program` and the uniform locations in `uniformLocations`; on failure writes
// neither and deletes the program object it made. No shader objects are left behind.
// With uniformCount 0 the uniform arrays may be null.
GLint buildProgram(const GLchar* vertexSource, const GLchar* fragmentSource, GLsizei attributeCount,
                   const GLchar* const* attributeNames, const GLint* attributeLocations,
                   GLsizei uniformCount, const GLchar* const* uniformNames, GLint* uniformLocations,
                   GLuint* program);

}  // namespace talvex
