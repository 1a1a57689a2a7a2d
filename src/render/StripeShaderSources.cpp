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
// Cost: a software rasteriser runs both sides of a branch for a block of pixels, so
// the four weights share one evaluation per band: the measures both weight formulas
// take from a colour (colourShape) are computed once, and one power finishes the weight.
// Pixels in no band are written as sampled, without the trip into linear light and
// back (which returns the same value up to rounding).
const char* const stripeFragmentSource = stripeFragmentText;

}  // namespace talvex
