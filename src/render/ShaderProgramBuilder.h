#pragma once

// Free functions that build GLSL programs on the context current on the calling
// thread. Failures are reported on standard output, in these exact texts:
//   "Failed to compile shader:\n" followed by the source string as given,
//   "Failed to link program N" (no line break).
// A status is 0 for failure and nonzero for success.
#include <GL/gl.h>

namespace talvex {

// The uniform's location, -1 when the program has no such active uniform.
GLint uniformLocation(GLuint program, const GLchar* name);

// Compiles both texts, binds attribute i to attributeLocations[i] for every non-empty
// name and links. On success stores the program in `program`; on failure leaves it
// unwritten and deletes the program object it made. No shader objects are left behind.
GLint buildProgram(const GLchar* vertexSource, const GLchar* fragmentSource, GLsizei attributeCount,
                   const GLchar* const* attributeNames, const GLint* attributeLocations,
                   GLuint* program);

}  // namespace talvex
