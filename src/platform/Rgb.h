#pragma once

// One colour of eight bits a channel, as a pixel of a captured image holds it, and
// its reading from the image layouts the window server hands over (see CapturedImage).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace talvex {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Pixel `x` of a row laid out as CapturedImage describes (32-bit BGRA); none for other
// pixel sizes.
std::optional<Rgb> pixelOfRow(const std::uint8_t* row, std::size_t x, std::size_t bitsPerPixel);

// "#A51C24": upper-case hexadecimal, red first.
std::string hexString(Rgb colour);

}  // namespace talvex
