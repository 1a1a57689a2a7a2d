#include "render/ShaderProgramBuilder.h"

#include <GL/glext.h>

#include <cstdio>

namespace talvex {

namespace {

// Standard output is where build failures are reported; flushed at once so that the
// text is out before anything else the process writes.
void report(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void reportNumbered(const char* format, GLuint handle) {
    std::printf(format, static_cast<int>(handle));
    std::fflush(stdout);
}

bool isNamed(const GLchar* name) {
    return name != nullptr && name[0] != '\0';
}

// Creates a shader object of `type` and stores its handle in `shader` before compiling:
// the caller deletes it whatever the outcome.
GLint compileShader(GLenum type, const GLchar* source, GLuint* shader) {
    *shader = glCreateShader(type);
    glShaderSource(*shader, 1, &source, nullptr);
    glCompileShader(*shader);
    GLint status = 0;
    glGetShaderiv(*shader, GL_COMPILE_STATUS, &status);
    if (status == 0) {
        report("Failed to compile shader:\n");
        report(source);
    }
    return status;
}

GLint linkProgram(GLuint program) {
    glLinkProgram(program);
    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == 0)
        reportNumbered("Failed to link program %d", program);
    return status;
}

}  // namespace

GLint uniformLocation(GLuint program, const GLchar* name) {
    return glGetUniformLocation(program, name);
}

GLint buildProgram(const GLchar* vertexSource, const GLchar* fragmentSource, GLsizei attributeCount,
                   const GLchar* const* attributeNames, const GLint* attributeLocations,
                   GLuint* program) {
    // 1-3. Both stages are compiled and attached even when one fails, so that every
    // failure is reported.
    const GLuint made = glCreateProgram();
    GLuint vertexShader = 0;
    GLuint fragmentShader = 0;
    GLint status = compileShader(GL_VERTEX_SHADER, vertexSource, &vertexShader);
    status *= compileShader(GL_FRAGMENT_SHADER, fragmentSource, &fragmentShader);
    glAttachShader(made, vertexShader);
    glAttachShader(made, fragmentShader);

    // 4. Locations come from the table, not from the linker.
    for (GLsizei i = 0; i < attributeCount; ++i) {
        if (isNamed(attributeNames[i])) {
            glBindAttribLocation(made, static_cast<GLuint>(attributeLocations[i]),
                                 attributeNames[i]);
        }
    }

    // 5-6. Link (also after a failed compile) and hand out the program on success.
    status *= linkProgram(made);
    if (status != 0)
        *program = made;

    // 7. The linked program keeps its attached shaders alive until it goes.
    if (vertexShader != 0)
        glDeleteShader(vertexShader);
    if (fragmentShader != 0)
        glDeleteShader(fragmentShader);
    // A program nobody receives would leak for the life of the context.
    if (status == 0)
        glDeleteProgram(made);
    return status;
}

}  // namespace talvex
