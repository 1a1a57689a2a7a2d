#pragma once

// An image as the window server hands it over: rows top first at `bytesPerRow`
// stride, 32-bit BGRA (bytes blue, green, red, alpha). Other pixel sizes exist (and are
// not drawn). Borrowed by the display for one call.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace talvex {

class CapturedImage {
public:
    virtual ~CapturedImage() = default;
    virtual std::size_t width() const = 0;
    virtual std::size_t height() const = 0;
    virtual std::size_t bytesPerRow() const = 0;
    virtual std::size_t bitsPerPixel() const = 0;
    // A copy of all bytes (height × bytesPerRow), or none when no copy can be made.
    virtual std::optional<std::vector<std::uint8_t>> copyBytes() const = 0;
    // The bytes in place (height × bytesPerRow), valid while the image lives; null
    // when the image keeps none in memory (then only copyBytes() reads them).
    virtual const std::uint8_t* bytesInPlace() const { return nullptr; }
};

// An image whose bytes live in memory (still images, tests).
class MemoryImage final : public CapturedImage {
public:
    MemoryImage(std::size_t width, std::size_t height, std::size_t bytesPerRow,
                std::size_t bitsPerPixel, std::vector<std::uint8_t> bytes)
        : width_(width),
          height_(height),
          bytesPerRow_(bytesPerRow),
          bitsPerPixel_(bitsPerPixel),
          bytes_(std::move(bytes)) {}

    std::size_t width() const override { return width_; }
    std::size_t height() const override { return height_; }
    std::size_t bytesPerRow() const override { return bytesPerRow_; }
    std::size_t bitsPerPixel() const override { return bitsPerPixel_; }
    std::optional<std::vector<std::uint8_t>> copyBytes() const override { return bytes_; }
    // Only bytes that hold every row in full are handed out in place.
    const std::uint8_t* bytesInPlace() const override {
        return bytes_.size() >= bytesPerRow_ * height_ ? bytes_.data() : nullptr;
    }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::size_t width_, height_, bytesPerRow_, bitsPerPixel_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace talvex
