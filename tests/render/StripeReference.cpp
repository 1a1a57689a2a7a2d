#include "render/StripeReference.h"

#include <algorithm>
#include <cmath>

namespace talvex::test {

namespace {

constexpr double gammaValue = 1.8;

double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}
double maxOf(Rgb c) {
    return std::max({c.r, c.g, c.b});
}
double minOf(Rgb c) {
    return std::min({c.r, c.g, c.b});
}

double mixture(Rgb c, double redGreenMix, double mixPower) {
    const double rg = std::hypot(c.r, c.g);
    if (rg == 0)
        return 0;
    const double redGreenFactor = (c.r - c.g) / rg;
    const double blueFactor =
        clamp01((c.r - 0.2 * c.b) / std::sqrt(c.r * c.r + c.g * c.g + c.b * c.b));
    const double L = maxOf(c) - minOf(c) == 0 ? 0 : (maxOf(c) + minOf(c)) * 0.5;
    const double halfIntensity = std::sqrt(L) * std::sqrt(1 - L) * 2;
    const double m =
        clamp01(redGreenMix * redGreenFactor) * blueFactor * clamp01(halfIntensity * 1.5);
    return std::pow(m, mixPower);
}

double mixture2(Rgb v, double xyMix, double power, double zThreshold) {
    const double xy = std::hypot(v.r, v.g);
    if (xy == 0)
        return 0;
    const double xyFactor = clamp01((v.r - v.g) / xy);
    const double zFactor =
        clamp01(zThreshold - 2 * v.b / std::sqrt(v.r * v.r + v.g * v.g + v.b * v.b));
    const double saturation = maxOf(v) == 0 ? 0 : (maxOf(v) - minOf(v)) / maxOf(v);
    const double light = (maxOf(v) + minOf(v)) * 0.5 * clamp01(5 * (-0.02 + saturation));
    const double m = clamp01(xyMix) * xyFactor * zFactor * clamp01(4 * light * light);
    return std::pow(clamp01(m), power);
}

// (sqrt g, sqrt r, sqrt b): green is weighed first.
Rgb greenValues(Rgb c) {
    return {std::sqrt(c.g), std::sqrt(c.r), std::sqrt(c.b)};
}

Rgb mixToward(Rgb c, double target, double t) {
    return {c.r * (1 - t) + target * t, c.g * (1 - t) + target * t, c.b * (1 - t) + target * t};
}

Rgb power(Rgb c, double p) {
    return {std::pow(c.r, p), std::pow(c.g, p), std::pow(c.b, p)};
}

double floorMod(double a, double b) {
    return a - b * std::floor(a / b);
}

}  // namespace

double redMix(Rgb c, double R) {
    return mixture(c, R, 1.8);
}
double redPrimaryMix(Rgb c, double R) {
    return clamp01(mixture(c, R, 1.0) * 1.3 - 0.3);
}
double greenMix(Rgb c, double G) {
    return mixture2(greenValues(c), G, 0.4, 2.0);
}
double greenPrimaryMix(Rgb c, double G) {
    return clamp01(1.4 * mixture2(greenValues(c), G, 0.4, 1.3));
}

Weights weightsOfSampled(Rgb sampled, double R, double G) {
    const Rgb c = power(sampled, gammaValue);
    return {redMix(c, R), redPrimaryMix(c, R), greenMix(c, G), greenPrimaryMix(c, G)};
}

Rgb expectedColour(Rgb sampled, int i, int j, double s, double R, double G) {
    const double fx = i + 0.5, fy = j + 0.5, P = 8 * s;
    const double stepRed = floorMod(R * (fy + fx), P);
    const double stepNonGreen = floorMod(G * (fy + fx), P);
    const double stepGreen = floorMod(G * (fy - fx), P);
    Rgb c = power(sampled, gammaValue);
    if (stepRed < s) {
        c = mixToward(c, 1, redPrimaryMix(c, R));
    } else if (stepRed >= 6 * s) {
        c = mixToward(c, 0, redMix(c, R));
    }
    const bool greenFree = stepNonGreen < s || stepNonGreen >= 6 * s;
    if (!greenFree && stepGreen < s) {
        c = mixToward(c, 1, greenPrimaryMix(c, G));
    } else if (!greenFree && stepGreen >= 6 * s) {
        c = mixToward(c, 0, greenMix(c, G));
    }
    return power(c, 1 / gammaValue);
}

std::uint32_t expectedPixel(std::uint32_t bgra, int i, int j, double s, double R, double G) {
    auto channel = [&](int shift) { return ((bgra >> shift) & 0xff) / 255.0; };
    const Rgb out = expectedColour({channel(16), channel(8), channel(0)}, i, j, s, R, G);
    auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(clamp01(v) * 255)); };
    return (bgra & 0xff000000u) | byte(out.r) << 16 | byte(out.g) << 8 | byte(out.b);
}

}  // namespace talvex::test
