#include "platform/Rgb.h"

#include <cstdio>

namespace talvex {

namespace {

// 0-31 to 0-255, the ends kept: 31 gives 255.
std::uint8_t widen(unsigned fiveBits) {
    return static_cast<std::uint8_t>((fiveBits << 3) | (fiveBits >> 2));
}

}  // namespace

std::optional<Rgb> pixelOfRow(const std::uint8_t* row, std::size_t x, std::size_t bitsPerPixel) {
    if (bitsPerPixel == 32) {
        const std::uint8_t* p = row + x * 4;
        return Rgb{p[2], p[1], p[0]};
    }
    if (bitsPerPixel == 16) {
        const std::uint8_t* p = row + x * 2;
        const unsigned word = p[0] | (p[1] << 8);
        return Rgb{widen((word >> 10) & 31), widen((word >> 5) & 31), widen(word & 31)};
    }
    return std::nullopt;
}

std::string hexString(Rgb colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.red, colour.green, colour.blue);
    return text;
}

}  // namespace talvex
