#include "platform/Rgb.h"

#include <cstdio>

namespace talvex {

std::optional<Rgb> pixelOfRow(const std::uint8_t* row, std::size_t x, std::size_t bitsPerPixel) {
    if (bitsPerPixel != 32)
        return std::nullopt;
    const std::uint8_t* p = row + x * 4;
    return Rgb{p[2], p[1], p[0]};
}

std::string hexString(Rgb colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.red, colour.green, colour.blue);
    return text;
}

}  // namespace talvex
