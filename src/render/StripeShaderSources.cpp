#include "render/StripeShaderSources.h"

#include "render/StripeShaderText.h"

namespace talvex {

// Hands the quad through and the three per-draw constants on to the fragment program.
const char* const stripeVertexSource = stripeVertexText;

// Stripes over reddish colours along lines of constant x + y and over greenish
// colours along lines of constant y - x, laid out in drawable pixels with a period of
// 8 points: a white band of 1 point, then 5 points of picture, then a black band of
// 2 points. Each band pulls the colour toward white or black by a weight that says
// how red (or green) the colour is; colours are weighed in linear light.
//
// Where a weight's formula has no direction to work with (red and green both 0, which
// includes black) the weight is 0 and the pixel stays as it is.
//
// Cost: a software rasteriser runs every instruction for every pixel of a block,
// whatever the branches say, so the cost is the instructions per pixel: the four
// weights share one evaluation per band (the measures both weight formulas take from
// a colour, with one division, and one power), and the way back from linear light is
// a square root and a polynomial. Pixels in no band, or weighed 0, are written as
// sampled (the trip into linear light and back returns the same value up to rounding).
const char* const stripeFragmentSource = stripeFragmentText;

// Finding tests every pixel's distance to the found colour in CIELAB, a few powers per
// pixel: in a program of its own, so that the draws that find nothing never pay for it.
const char* const stripeFindingFragmentSource = stripeFindingFragmentText;

}  // namespace talvex
