// The stripe programs drawn for real (headless Mesa) and compared with the formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "platform/UserDefaults.h"
#include "render/OffscreenHarness.h"
#include "render/StripeReference.h"
#include "settings/Settings.h"

namespace talvex::test {
namespace {

constexpr std::uint32_t white = 0xffffffffu;
constexpr std::uint32_t black = 0xff000000u;

std::uint32_t word(int r, int g, int b, int a = 255) {
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(r) << 16 |
           static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}

std::string hex(std::uint32_t w) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", w);
    return text;
}

int floorMod(int a, int b) {
    return ((a % b) + b) % b;
}

// The formulas' pixel blended over the plain one at `percent` strength.
std::uint32_t expectedAtStrength(std::uint32_t in, int i, int j, double s, double R, double G,
                                 int percent) {
    const std::uint32_t striped = expectedPixel(in, i, j, s, R, G);
    const double t = percent / 100.0;
    std::uint32_t blended = in & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const double a = (striped >> shift) & 255, b = (in >> shift) & 255;
        blended |= static_cast<std::uint32_t>(std::lround(t * a + (1 - t) * b)) << shift;
    }
    return blended;
}

// Draws the picture and checks every pixel against the formulas for its own colour,
// each channel within `tolerance` levels.
void expectPictureMatchesFormulas(const Picture& in, double s, double R, double G,
                                  int percent = 100, int tolerance = 2) {
    auto offscreen =
        Offscreen::create(in.width, in.height, s,
                          {static_cast<std::int64_t>(R), static_cast<std::int64_t>(G), percent});
    ASSERT_TRUE(offscreen);
    const Picture out = offscreen->draw(imageOf(in));
    int mismatches = 0;
    for (int j = 0; j < in.height; ++j) {
        for (int i = 0; i < in.width; ++i) {
            const std::uint32_t expected = expectedAtStrength(in.at(i, j), i, j, s, R, G, percent);
            if (!near(out.at(i, j), expected, tolerance) && ++mismatches <= 3) {
                ADD_FAILURE() << "colour " << hex(in.at(i, j)) << " s=" << s << " R=" << R
                              << " G=" << G << " " << percent << "% at (" << i << ", " << j
                              << "): got " << hex(out.at(i, j)) << ", expected " << hex(expected);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

void expectUniformColourMatchesFormulas(std::uint32_t colour, double s, double R, double G) {
    expectPictureMatchesFormulas(uniformPicture(48, 48, colour), s, R, G);
}

// Colours spread over the whole cube, a different one at every pixel.
Picture scatteredPicture(int size) {
    Picture picture{size, size, {}};
    for (int n = 0; n < size * size; ++n) {
        picture.words.push_back(word(n * 37 % 256, n * 101 % 256, n * 59 % 256));
    }
    return picture;
}

// A grid over the colour cube, each colour in a block of 8 × 8 pixels, so that every
// colour meets every place of the stripe period.
Picture colourGridPicture() {
    const int levels[] = {0, 40, 80, 128, 170, 215, 255};
    const int blocksPerRow = 7 * 7;
    Picture picture{blocksPerRow * 8, 7 * 8, {}};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const int block = x / 8;
            picture.words.push_back(word(levels[block / 7], levels[block % 7], levels[y / 8]));
        }
    }
    return picture;
}

// Pixels whose expected colour owes something to both families: it differs from what
// the red family alone and the green family alone would give.
int pixelsShapedByBothFamilies(const Picture& in, double s, double R, double G) {
    int count = 0;
    for (int j = 0; j < in.height; ++j) {
        for (int i = 0; i < in.width; ++i) {
            const std::uint32_t both = expectedPixel(in.at(i, j), i, j, s, R, G);
            if (!near(both, expectedPixel(in.at(i, j), i, j, s, R, 0), 2) &&
                !near(both, expectedPixel(in.at(i, j), i, j, s, 0, G), 2))
                ++count;
        }
    }
    return count;
}

TEST(StripeReference, MatchesTheWorkedWeights) {
    const Weights red = weightsOfSampled({1, 0, 0});
    EXPECT_NEAR(red.redMix, 1, 1e-9);
    EXPECT_NEAR(red.redPrimaryMix, 1, 1e-9);
    EXPECT_EQ(red.greenMix + red.greenPrimaryMix, 0);
    const Weights green = weightsOfSampled({0, 1, 0});
    EXPECT_NEAR(green.greenMix, 1, 1e-9);
    EXPECT_NEAR(green.greenPrimaryMix, 1, 1e-9);
    EXPECT_EQ(green.redMix + green.redPrimaryMix, 0);
    const Weights darkRed = weightsOfSampled({0.5, 0, 0});
    EXPECT_NEAR(darkRed.redMix, 1, 1e-9);
    EXPECT_NEAR(darkRed.redPrimaryMix, 1, 1e-9);
    const Weights orange = weightsOfSampled({1, 0.5, 0});
    EXPECT_NEAR(orange.redMix, 0.471, 1e-3);
    EXPECT_NEAR(orange.redPrimaryMix, 0.556, 1e-3);
    const Weights teal = weightsOfSampled({0, 0.5, 0.5});
    EXPECT_NEAR(teal.greenMix, 0.490, 1e-3);
    EXPECT_EQ(teal.greenPrimaryMix, 0);
    for (Rgb neutral : {Rgb{0.5, 0.5, 0.5}, Rgb{0.5, 0.5, 0}, Rgb{0, 0, 0}, Rgb{0, 0, 1}}) {
        const Weights w = weightsOfSampled(neutral);
        EXPECT_EQ(w.redMix + w.redPrimaryMix + w.greenMix + w.greenPrimaryMix, 0);
    }
}

// Every colour of the grid, every switch value a menu stores and every strength: each
// channel within one level of the formulas.
TEST(StripeShading, ColourGridMatchesTheFormulasWithinOneLevel) {
    TALVEX_REQUIRE_GL();
    const Picture grid = colourGridPicture();
    for (int percent : {25, 50, 75, 100}) {
        for (int R = 0; R <= 3; ++R) {
            for (int G = 0; G <= 3; ++G)
                expectPictureMatchesFormulas(grid, 1, R, G, percent, 1);
        }
    }
}

// Pure red and pure green show the band layout itself: full white and black bands.
TEST(StripeShading, BandsFollowThePatternTable) {
    TALVEX_REQUIRE_GL();
    for (double s : {1.0, 2.0}) {
        const int period = static_cast<int>(8 * s);
        const int size = 4 * period;
        auto offscreen = Offscreen::create(size, size, s, {1, 1});
        ASSERT_TRUE(offscreen);
        const Picture red = offscreen->draw(imageOf(uniformPicture(size, size, word(255, 0, 0))));
        const Picture green = offscreen->draw(imageOf(uniformPicture(size, size, word(0, 255, 0))));
        for (int j = 0; j < size; ++j) {
            for (int i = 0; i < size; ++i) {
                const int k = floorMod(i + j + 1, period);
                const int q = floorMod(j - i, period);
                const bool redWhite = k < s, redBlack = k >= 6 * s;
                const bool greenRange = !redWhite && !redBlack;
                const std::uint32_t expectRed =
                    redWhite ? white : (redBlack ? black : word(255, 0, 0));
                const std::uint32_t expectGreen =
                    greenRange && q < s ? white
                                        : (greenRange && q >= 6 * s ? black : word(0, 255, 0));
                ASSERT_TRUE(near(red.at(i, j), expectRed, 1))
                    << "red s=" << s << " (" << i << ", " << j << ") " << hex(red.at(i, j));
                ASSERT_TRUE(near(green.at(i, j), expectGreen, 1))
                    << "green s=" << s << " (" << i << ", " << j << ") " << hex(green.at(i, j));
            }
        }
    }
}

// Every pixel of the drawable, on both sides of the diagonal fy = fx, at both scales.
TEST(StripeShading, WeightedColoursMatchTheFormulas) {
    TALVEX_REQUIRE_GL();
    const std::uint32_t colours[] = {
        word(255, 0, 0),        word(0, 255, 0),       word(128, 0, 0),      // red, green, dark red
        word(255, 128, 0),      word(0, 128, 128),     word(128, 128, 128),  // orange, teal, grey
        word(128, 128, 0),      word(0, 0, 0),         word(0, 0, 255),  // balanced, black, blue
        word(200, 60, 40, 128), word(40, 180, 90, 30),                   // alpha kept
        word(1, 0, 0),          word(0, 1, 0),         word(90, 200, 240)};  // near black, sky
    for (std::uint32_t colour : colours) {
        for (double s : {1.0, 2.0})
            expectUniformColourMatchesFormulas(colour, s, 1, 1);
    }
}

TEST(StripeShading, SwitchesSelectTheFamilies) {
    TALVEX_REQUIRE_GL();
    for (std::uint32_t colour : {word(255, 0, 0), word(0, 255, 0), word(255, 128, 0)}) {
        expectUniformColourMatchesFormulas(colour, 1, 0, 0);
        expectUniformColourMatchesFormulas(colour, 1, 0, 1);
        expectUniformColourMatchesFormulas(colour, 1, 1, 0);
    }
}

// Switches that differ, neither of them 0, put a red and a green band on some pixels:
// the green band is weighed on the colour the red band left. A negative red switch
// weighs greenish colours for the red family, so both bands then change the pixel.
TEST(StripeShading, UnequalSwitchesApplyBothBandsInTurn) {
    TALVEX_REQUIRE_GL();
    const Picture scattered = scatteredPicture(64);
    const Picture yellowGreen = uniformPicture(48, 48, word(150, 230, 40));
    const double switches[][2] = {{3, 1}, {2, 1}, {1, 2}, {-1, 1}, {1, -1}, {-2, 3}};
    for (const auto& [R, G] : switches) {
        expectPictureMatchesFormulas(scattered, 1, R, G);
        expectPictureMatchesFormulas(yellowGreen, 1, R, G);
    }
    expectPictureMatchesFormulas(scattered, 2, 3, 1);
    expectPictureMatchesFormulas(scattered, 2, -1, 1);
    EXPECT_GT(pixelsShapedByBothFamilies(yellowGreen, 1, -1, 1), 0);
    EXPECT_GT(pixelsShapedByBothFamilies(yellowGreen, 1, -2, 3), 0);
    EXPECT_GT(pixelsShapedByBothFamilies(scattered, 1, -1, 1), 0);
}

// A pixel in both bands whose colour only the green family weighs: the red band leaves
// it alone and the green band must still be drawn.
TEST(StripeShading, GreenBandStillDrawnWhereTheRedBandWeighsNothing) {
    TALVEX_REQUIRE_GL();
    const std::uint32_t green = word(0, 255, 0);
    for (const auto& [R, G] : {std::pair{3.0, 1.0}, std::pair{1.0, 2.0}}) {
        int both = 0;
        for (int j = 0; j < 48; ++j) {
            for (int i = 0; i < 48; ++i) {
                const double sum = i + j + 1;
                const bool red = std::fmod(R * sum, 8) < 1 || std::fmod(R * sum, 8) >= 6;
                const double greenRange = std::fmod(G * sum, 8);
                const double q = std::fmod(G * (j - i) + 800, 8);
                both += red && greenRange >= 1 && greenRange < 6 && (q < 1 || q >= 6);
            }
        }
        EXPECT_GT(both, 0) << R << "/" << G;
        expectUniformColourMatchesFormulas(green, 1, R, G);
    }
}

TEST(StripeShading, BothSwitchesOffLeaveEveryColourAlone) {
    TALVEX_REQUIRE_GL();
    const int size = 64;
    Picture in{size, size, {}};
    for (int n = 0; n < size * size; ++n) {
        in.words.push_back(word(n * 7 % 256, n * 13 % 256, n * 29 % 256, n * 3 % 256));
    }
    auto offscreen = Offscreen::create(size, size, 1, {0, 0});
    ASSERT_TRUE(offscreen);
    const Picture out = offscreen->draw(imageOf(in));
    for (int n = 0; n < size * size; ++n) {
        ASSERT_TRUE(near(out.words[n], in.words[n], 1)) << n << ": " << hex(out.words[n]);
    }
}

// With the red family off, green dashes keep to the places where red bands would lie.
TEST(StripeShading, GreenAloneStaysOffTheRedDiagonals) {
    TALVEX_REQUIRE_GL();
    const int size = 32;
    auto offscreen = Offscreen::create(size, size, 1, {0, 1});
    ASSERT_TRUE(offscreen);
    const std::uint32_t green = word(0, 255, 0);
    const Picture out = offscreen->draw(imageOf(uniformPicture(size, size, green)));
    int touched = 0;
    for (int j = 0; j < size; ++j) {
        for (int i = 0; i < size; ++i) {
            const int k = floorMod(i + j + 1, 8);
            if (k == 0 || k >= 6) {
                EXPECT_TRUE(near(out.at(i, j), green, 1)) << i << ", " << j;
            } else if (!near(out.at(i, j), green, 1)) {
                ++touched;
            }
        }
    }
    EXPECT_GT(touched, 0);
}

// A stored stripe switch of 3 (what a stripe item tagged 3 stores) reaches the
// programs unchanged through the settings read from the store: with nothing
// overriding them, every pixel is the one for R = 3, and the picture is not the one
// for R = 1.
TEST(StripeShading, AStoredSwitchOfThreeIsDrawnAsThree) {
    TALVEX_REQUIRE_GL();
    struct StoredSwitches {
        StoredSwitches() {
            UserDefaults::standard().setIntegerForKey(3, keys::redStripesEnabled);
            UserDefaults::standard().setIntegerForKey(1, keys::greenStripesEnabled);
        }
        ~StoredSwitches() {
            UserDefaults::standard().removeObjectForKey(keys::redStripesEnabled);
            UserDefaults::standard().removeObjectForKey(keys::greenStripesEnabled);
        }
    } stored;
    const Picture in = scatteredPicture(64);
    auto offscreen = Offscreen::create(in.width, in.height);
    ASSERT_TRUE(offscreen);
    offscreen->renderer().setLensSettings(LensSettings::read(UserDefaults::standard()));
    const Picture out = offscreen->draw(imageOf(in));
    int asThree = 0;
    int unlikeOne = 0;
    for (int j = 0; j < in.height; ++j) {
        for (int i = 0; i < in.width; ++i) {
            asThree += near(out.at(i, j), expectedPixel(in.at(i, j), i, j, 1, 3, 1), 2);
            unlikeOne += !near(out.at(i, j), expectedPixel(in.at(i, j), i, j, 1, 1, 1), 2);
        }
    }
    EXPECT_EQ(asThree, in.width * in.height);
    EXPECT_GT(unlikeOne, in.width * in.height / 10);
}

// Full strength is the filter alone, bit for bit; half strength lies halfway between
// the plain and the striped picture in every channel, within one 8-bit step.
TEST(StripeShading, StrengthBlendsTheStripesOverThePlainPicture) {
    TALVEX_REQUIRE_GL();
    const Picture in = scatteredPicture(64);
    auto drawn = [&](TalvexFilter::SwitchOverrides switches) {
        auto offscreen = Offscreen::create(in.width, in.height, 1, switches);
        return offscreen ? offscreen->draw(imageOf(in)) : Picture{};
    };
    const Picture striped = drawn({.red = 1, .green = 1});
    const Picture plain = drawn({.red = 0, .green = 0});
    ASSERT_FALSE(striped.words.empty());
    EXPECT_EQ(drawn({.red = 1, .green = 1, .strength = 100}).words, striped.words);
    const Picture half = drawn({.red = 1, .green = 1, .strength = 50});
    int striped_pixels = 0;
    for (std::size_t n = 0; n < half.words.size(); ++n) {
        striped_pixels += striped.words[n] != plain.words[n];
        for (int shift = 0; shift < 24; shift += 8) {
            const double a = (striped.words[n] >> shift) & 255, b = (plain.words[n] >> shift) & 255;
            const double got = (half.words[n] >> shift) & 255;
            ASSERT_LE(std::abs(got - (a + b) / 2), 1.0) << "pixel " << n << " channel " << shift;
        }
    }
    EXPECT_GT(striped_pixels, 64 * 64 / 10);
}

}  // namespace
}  // namespace talvex::test
