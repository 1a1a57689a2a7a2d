#pragma once

// Draws test pictures through the real stripe programs in a headless EGL context and
// reads the result back.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CapturedImage.h"
#include "platform/gl/EGLHeadlessContext.h"
#include "render/PixelBufferRenderer.h"
#include "render/TalvexFilter.h"

namespace talvex::test {

// 8-bit BGRA pixels as 32-bit words (0xAARRGGBB), rows top first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> words;

    // Column i from the left, row j from the bottom.
    std::uint32_t at(int i, int j) const { return words[(height - 1 - j) * width + i]; }
};

Picture uniformPicture(int width, int height, std::uint32_t word);
// A 32-bit image of the picture's words, each row followed by `padBytes` of `pad`.
MemoryImage imageOf(const Picture& picture, std::size_t padBytes = 0, std::uint8_t pad = 0);

// True when the two words differ by at most `tolerance` in every channel.
bool near(std::uint32_t a, std::uint32_t b, int tolerance);

class Offscreen {
public:
    // A renderer of width × height pixels at stripe scale `scale`; none without EGL.
    static std::unique_ptr<Offscreen> create(int width, int height, double scale = 1,
                                             TalvexFilter::SwitchOverrides switches = {});

    PixelBufferRenderer& renderer() { return *renderer_; }
    EGLHeadlessContext& context() { return *context_; }
    Picture draw(const CapturedImage& image);
    Picture read();

private:
    EGLHeadlessContext* context_ = nullptr;
    std::unique_ptr<PixelBufferRenderer> renderer_;
};

// Skips the test when no headless OpenGL context can be made.
bool hasHeadlessGL();

}  // namespace talvex::test

#define TALVEX_REQUIRE_GL()                       \
    do {                                          \
        if (!::talvex::test::hasHeadlessGL())     \
            GTEST_SKIP() << "no headless OpenGL"; \
    } while (0)
