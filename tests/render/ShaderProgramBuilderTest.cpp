// The builder on a real context: the exact failure texts on standard output and the
// objects left behind.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

#include "render/OffscreenHarness.h"
#include "render/ShaderProgramBuilder.h"
#include "render/TalvexFilter.h"

namespace talvex::test {
namespace {

class ShaderProgramBuilderTest : public testing::Test {
protected:
    void SetUp() override {
        if (!hasHeadlessGL())
            GTEST_SKIP() << "no headless OpenGL";
        context_ = EGLHeadlessContext::create(4, 4);
        ASSERT_TRUE(context_);
        lock_ = std::make_unique<ContextLock>(*context_);
        ASSERT_TRUE(lock_->isCurrent());
    }
    void TearDown() override { lock_.reset(); }

    TalvexFilter filter_;
    std::unique_ptr<EGLHeadlessContext> context_;
    std::unique_ptr<ContextLock> lock_;
};

TEST_F(ShaderProgramBuilderTest, FailedCompileReportsTextAndLinkFailureAndLeavesNothing) {
    const char* broken = "attribute vec4 position;\nvoid main() { gl_Position = position }\n";
    GLuint program = 4242;
    testing::internal::CaptureStdout();
    const GLint status =
        buildProgram(broken, filter_.fragmentSource(), filter_.attributeCount(),
                     filter_.attributeNames(), filter_.attributeLocations(), &program);
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(status, 0);
    EXPECT_EQ(program, 4242u);
    const std::string prefix = std::string("Failed to compile shader:\n") + broken;
    ASSERT_EQ(out.compare(0, prefix.size(), prefix), 0) << out;
    const std::string rest = out.substr(prefix.size());
    int linked = -1;
    ASSERT_EQ(std::sscanf(rest.c_str(), "Failed to link program %d", &linked), 1) << rest;
    EXPECT_EQ(rest, "Failed to link program " + std::to_string(linked));
    // The program object that nobody received is gone, and so are both shaders.
    EXPECT_FALSE(glIsProgram(static_cast<GLuint>(linked)));
    for (GLuint name = 1; name < 16; ++name)
        EXPECT_FALSE(glIsShader(name)) << name;
}

TEST_F(ShaderProgramBuilderTest, SuccessBindsTheTable) {
    const char* names[] = {"position", "texturecoordinate", "", "showred", "showgreen"};
    const GLint locations[] = {0, 1, 9, 3, 4};
    GLuint program = 0;
    testing::internal::CaptureStdout();
    const GLint status = buildProgram(filter_.vertexSource(), filter_.fragmentSource(), 5, names,
                                      locations, &program);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    ASSERT_NE(status, 0);
    ASSERT_NE(program, 0u);
    EXPECT_EQ(glGetAttribLocation(program, "position"), 0);
    EXPECT_EQ(glGetAttribLocation(program, "showred"), 3);
    EXPECT_EQ(glGetAttribLocation(program, "showgreen"), 4);
    // The unnamed entry bound nothing to 9.
    EXPECT_NE(glGetAttribLocation(program, "scale"), 9);
    // Both shaders are flagged for deletion and go with the program.
    GLuint attached[2] = {};
    GLsizei count = 0;
    glGetAttachedShaders(program, 2, &count, attached);
    ASSERT_EQ(count, 2);
    for (GLuint shader : attached) {
        GLint deleting = 0;
        glGetShaderiv(shader, GL_DELETE_STATUS, &deleting);
        EXPECT_EQ(deleting, GL_TRUE);
    }
    glDeleteProgram(program);
}

TEST_F(ShaderProgramBuilderTest, ALinkFailurePrintsItsLineWithoutABreak) {
    // A fragment program that never defines main() compiles but cannot link.
    const char* noMain = "void helper() {}\n";
    GLuint program = 0;
    testing::internal::CaptureStdout();
    buildProgram(filter_.vertexSource(), noMain, 0, nullptr, nullptr, &program);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Failed to link program ", 0), 0u) << out;
    EXPECT_EQ(out.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace talvex::test
