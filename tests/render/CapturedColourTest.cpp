// The colour the renderer keeps of its picture: the pixels as captured, not as drawn
// through the stripes.
#include <gtest/gtest.h>

#include "render/OffscreenHarness.h"

namespace talvex::test {
namespace {

TEST(CapturedColour, IsThePixelBeforeTheStripesInEitherLayout) {
    TALVEX_REQUIRE_GL();
    const int width = 48, height = 24;
    auto offscreen = Offscreen::create(width, height, 1, {.red = 1, .green = 1});
    ASSERT_TRUE(offscreen);
    PixelBufferRenderer& renderer = offscreen->renderer();
    EXPECT_FALSE(renderer.capturedColourAt(0, 0)) << "a colour before the first picture";

    // Saturated red, which the stripes mark, with one other pixel to tell rows apart.
    Picture red = uniformPicture(width, height, 0xffe00000u);
    red.words[2 * width + 5] = 0xff123456u;  // row 2 from the top, column 5
    const Picture drawn = offscreen->draw(imageOf(red, 12));
    const auto striped = std::count_if(drawn.words.begin(), drawn.words.end(),
                                       [](std::uint32_t w) { return !near(w, 0xffe00000u, 8); });
    ASSERT_GT(striped, width) << "no stripes drawn: the test would prove nothing";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb expected = x == 5 && y == 2 ? Rgb{0x12, 0x34, 0x56} : Rgb{0xe0, 0, 0};
            ASSERT_EQ(renderer.capturedColourAt(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_FALSE(renderer.capturedColourAt(width, 0));
    EXPECT_FALSE(renderer.capturedColourAt(0, height));
}

}  // namespace
}  // namespace talvex::test
