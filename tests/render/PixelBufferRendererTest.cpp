// Upload and draw of captured images: layouts, strides, unsupported images, viewport,
// and the end of drawing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <chrono>
#include <future>
#include <thread>

#include "render/OffscreenHarness.h"

namespace talvex::test {
namespace {

// A picture that stripes leave alone (greys), each row its own level, so that a row
// read from the wrong place shows.
Picture greyRows(int width, int height) {
    Picture picture{width, height, {}};
    for (int row = 0; row < height; ++row) {
        const std::uint32_t level = static_cast<std::uint32_t>(20 + row * 7);
        for (int i = 0; i < width; ++i)
            picture.words.push_back(0xff000000u | level * 0x010101u);
    }
    return picture;
}

// True when another thread can take the context lock within a few seconds.
bool lockIsFreeForAnotherThread(GLContext& context) {
    auto taken = std::make_shared<std::promise<void>>();
    std::future<void> done = taken->get_future();
    std::thread([&context, taken] {
        context.lock();
        context.unlock();
        taken->set_value();
    }).detach();
    return done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

void expectSamePicture(const Picture& got, const Picture& expected, int tolerance) {
    ASSERT_EQ(got.words.size(), expected.words.size());
    for (std::size_t n = 0; n < got.words.size(); ++n) {
        ASSERT_TRUE(near(got.words[n], expected.words[n], tolerance))
            << "pixel " << n << ": " << std::hex << got.words[n] << " vs " << expected.words[n];
    }
}

TEST(PixelBufferRenderer, RowsAreReadAtTheirStrideAndPaddingNeverShows) {
    TALVEX_REQUIRE_GL();
    auto offscreen = Offscreen::create(24, 16);
    ASSERT_TRUE(offscreen);
    const Picture in = greyRows(24, 16);
    // Padding of pure green, which stripes would mark, and of an odd pixel count.
    expectSamePicture(offscreen->draw(imageOf(in, 4 * 5, 0xff)), in, 1);
    expectSamePicture(offscreen->draw(imageOf(in)), in, 1);
}

// Channels that all differ, stripes off: a red/blue swap shows.
TEST(PixelBufferRenderer, BgraKeepsEveryChannelInItsPlace) {
    TALVEX_REQUIRE_GL();
    auto offscreen = Offscreen::create(4, 2, 1, {.red = 0, .green = 0});
    ASSERT_TRUE(offscreen);
    const Picture bgra = uniformPicture(4, 2, 0xffe08020u);
    for (std::uint32_t w : offscreen->draw(imageOf(bgra)).words)
        EXPECT_TRUE(near(w, 0xffe08020u, 2)) << std::hex << w;
}

TEST(PixelBufferRenderer, UndrawableImagesKeepThePreviousPictureAndFreeTheLock) {
    TALVEX_REQUIRE_GL();
    auto offscreen = Offscreen::create(8, 8);
    ASSERT_TRUE(offscreen);
    const Picture before = greyRows(8, 8);
    offscreen->draw(imageOf(before));
    PixelBufferRenderer& renderer = offscreen->renderer();
    const std::uint64_t frames = renderer.framesPresented();

    const std::vector<std::uint8_t> bytes(8 * 8 * 4, 0x55);
    const MemoryImage undrawable[] = {
        MemoryImage(8, 8, 24, 24, bytes),         // 24 bits per pixel
        MemoryImage(8, 8, 16, 16, bytes),         // 16 bits per pixel
        MemoryImage(8, 8, 8, 8, bytes),           // 8 bits per pixel
        MemoryImage(8, 8, 32, 32, {0x55, 0x55}),  // bytes short of the rows
        MemoryImage(8, 8, 30, 32, bytes),         // stride not a whole number of pixels
        MemoryImage(8, 8, 16, 32, bytes),         // stride narrower than a row
        MemoryImage(0, 8, 32, 32, bytes),         // no width
    };
    for (const MemoryImage& image : undrawable) {
        renderer.displayImage(image);
        EXPECT_TRUE(lockIsFreeForAnotherThread(renderer.context()))
            << image.bitsPerPixel() << " bits, stride " << image.bytesPerRow();
    }
    EXPECT_EQ(renderer.framesPresented(), frames);
    expectSamePicture(offscreen->read(), before, 1);
}

TEST(PixelBufferRenderer, ViewportIsTheTruncatedDeviceSize) {
    TALVEX_REQUIRE_GL();
    auto offscreen = Offscreen::create(256, 128);
    ASSERT_TRUE(offscreen);
    offscreen->renderer().reshape(Rect(0, 0, 100.5, 50.25), 2);
    ContextLock lock(offscreen->context());
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 201);
    EXPECT_EQ(viewport[3], 100);
}

TEST(PixelBufferRenderer, NothingIsDrawnAfterDetachOrWithoutAProgram) {
    TALVEX_REQUIRE_GL();
    auto offscreen = Offscreen::create(8, 8);
    ASSERT_TRUE(offscreen);
    PixelBufferRenderer& renderer = offscreen->renderer();
    EXPECT_NE(renderer.program(), 0u);
    EXPECT_GE(renderer.frameUniform(), 0);

    renderer.reset();
    EXPECT_EQ(renderer.program(), 0u);
    EXPECT_FALSE(offscreen->context().isCurrent());
    renderer.displayImage(imageOf(greyRows(8, 8)));
    EXPECT_EQ(renderer.framesPresented(), 0u);

    renderer.prepareOpenGL();
    renderer.displayImage(imageOf(greyRows(8, 8)));
    EXPECT_EQ(renderer.framesPresented(), 1u);
    renderer.detach();
    EXPECT_TRUE(renderer.isDetached());
    renderer.displayImage(imageOf(greyRows(8, 8)));
    renderer.reshape(Rect(0, 0, 8, 8), 1);
    EXPECT_EQ(renderer.framesPresented(), 1u);
}

}  // namespace
}  // namespace talvex::test

namespace talvex::test {
namespace {

// The stripe filter with a fragment program that cannot compile.
class BrokenFilter final : public OpenGLShaderFilter {
public:
    void prepareForView(const ShaderFilterView& view) override { stripes_.prepareForView(view); }
    void applyParametersForTextureOfWidth(std::uint64_t w, std::uint64_t h) override {
        stripes_.applyParametersForTextureOfWidth(w, h);
    }
    const char* vertexSource() const override { return stripes_.vertexSource(); }
    const char* fragmentSource() const override { return "this is not a shader"; }
    std::int32_t attributeCount() const override { return stripes_.attributeCount(); }
    const std::int32_t* attributeLocations() const override {
        return stripes_.attributeLocations();
    }
    const char* const* attributeNames() const override { return stripes_.attributeNames(); }

private:
    TalvexFilter stripes_;
};

// An error OpenGL records is counted at every frame and logged the first time.
TEST(PixelBufferRenderer, GLErrorsAreCountedAndEachKindLoggedOnce) {
    TALVEX_REQUIRE_GL();
    auto offscreen = Offscreen::create(8, 4);
    ASSERT_TRUE(offscreen);
    const MemoryImage image = imageOf(uniformPicture(8, 4, 0xff808080u));
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 2; ++frame) {
        {
            ContextLock lock(offscreen->context());
            glEnable(0x7fff);  // GL_INVALID_ENUM
        }
        offscreen->renderer().redrawRequired = true;
        offscreen->renderer().displayImage(image);
    }
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(offscreen->renderer().glErrors(), 2u);
    const auto first = log.find("OpenGL error 0x0500 after drawing a frame");
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("OpenGL error", first + 1), std::string::npos) << log;
}

// A program that does not build is logged in the one line and none is kept.
TEST(PixelBufferRenderer, AFailedBuildLogsItsLine) {
    TALVEX_REQUIRE_GL();
    auto context = EGLHeadlessContext::create(8, 4);
    ASSERT_TRUE(context);
    PixelBufferRenderer broken(std::move(context), [] { return std::make_unique<BrokenFilter>(); });
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    broken.prepareOpenGL();
    const std::string log =
        testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Error creating the program\n"), std::string::npos) << log;
    EXPECT_EQ(broken.program(), 0u);
}

}  // namespace
}  // namespace talvex::test
