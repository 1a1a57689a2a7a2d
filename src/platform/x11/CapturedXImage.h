#pragma once

// A captured picture as the pixel buffer view takes it, over pixels read back from the
// X server. It keeps its buffer alive: the capturer reuses a buffer for the next frame
// only once no image refers to it any more.
#include <memory>

#include "platform/CapturedImage.h"

namespace talvex {

class XImageBuffer;

class CapturedXImage final : public CapturedImage {
public:
    explicit CapturedXImage(std::shared_ptr<const XImageBuffer> buffer);

    std::size_t width() const override;
    std::size_t height() const override;
    std::size_t bytesPerRow() const override;
    std::size_t bitsPerPixel() const override;
    std::optional<std::vector<std::uint8_t>> copyBytes() const override;
    const std::uint8_t* bytesInPlace() const override;

private:
    std::shared_ptr<const XImageBuffer> buffer_;
};

}  // namespace talvex
