#include "platform/x11/CapturedXImage.h"

#include "platform/x11/XImageBuffer.h"

namespace talvex {

CapturedXImage::CapturedXImage(std::shared_ptr<const XImageBuffer> buffer)
    : buffer_(std::move(buffer)) {}

std::size_t CapturedXImage::width() const {
    return buffer_->width();
}

std::size_t CapturedXImage::height() const {
    return buffer_->height();
}

std::size_t CapturedXImage::bytesPerRow() const {
    return buffer_->bytesPerRow();
}

std::size_t CapturedXImage::bitsPerPixel() const {
    return buffer_->bitsPerPixel();
}

const std::uint8_t* CapturedXImage::bytesInPlace() const {
    return buffer_->data();
}

std::optional<std::vector<std::uint8_t>> CapturedXImage::copyBytes() const {
    const std::uint8_t* first = buffer_->data();
    if (!first) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(first, first + bytesPerRow() * height());
}

}  // namespace talvex
