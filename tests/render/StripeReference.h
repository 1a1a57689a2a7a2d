#pragma once

// The stripe formulas in double precision, written out independently of the GLSL
// text, to check the drawn pixels against.
#include <cstdint>

namespace talvex::test {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

// The four weights of a linear colour with switch values R and G.
double redMix(Rgb linear, double R);
double redPrimaryMix(Rgb linear, double R);
double greenMix(Rgb linear, double G);
double greenPrimaryMix(Rgb linear, double G);

// The weights as the algorithm states them for a sampled (gamma-encoded) colour.
struct Weights {
    double redMix, redPrimaryMix, greenMix, greenPrimaryMix;
};
Weights weightsOfSampled(Rgb sampled, double R = 1, double G = 1);

// Expected output colour (components in [0, 1]) of a sampled colour at column i, row j
// (counted from the bottom) of the drawable, for stripe scale s and switches R, G.
Rgb expectedColour(Rgb sampled, int i, int j, double s, double R, double G);

// Expected 8-bit BGRA pixel for an 8-bit BGRA input; alpha passes unchanged.
std::uint32_t expectedPixel(std::uint32_t bgra, int i, int j, double s, double R, double G);

}  // namespace talvex::test
