#include "render/OffscreenHarness.h"

#include <cstdlib>
#include <cstring>

namespace talvex::test {

Picture uniformPicture(int width, int height, std::uint32_t word) {
    return {width, height,
            std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), word)};
}

MemoryImage imageOf(const Picture& picture, std::size_t padBytes, std::uint8_t pad) {
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 4 + padBytes;
    std::vector<std::uint8_t> bytes(rowBytes * static_cast<std::size_t>(picture.height), pad);
    for (int row = 0; row < picture.height; ++row) {
        std::memcpy(bytes.data() + row * rowBytes, picture.words.data() + row * picture.width,
                    static_cast<std::size_t>(picture.width) * 4);
    }
    return MemoryImage(picture.width, picture.height, rowBytes, 32, std::move(bytes));
}

bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xff);
        const int cb = static_cast<int>((b >> shift) & 0xff);
        if (std::abs(ca - cb) > tolerance)
            return false;
    }
    return true;
}

std::unique_ptr<Offscreen> Offscreen::create(int width, int height, double scale,
                                             TalvexFilter::SwitchOverrides switches) {
    auto context = EGLHeadlessContext::create(width, height);
    if (!context)
        return nullptr;
    auto made = std::make_unique<Offscreen>();
    made->context_ = context.get();
    made->renderer_ = std::make_unique<PixelBufferRenderer>(
        std::move(context), [switches] { return std::make_unique<TalvexFilter>(switches); });
    made->renderer_->prepareOpenGL();
    made->renderer_->reshape(Rect(0, 0, width / scale, height / scale), scale);
    return made;
}

Picture Offscreen::draw(const CapturedImage& image) {
    renderer_->displayImage(image);
    return read();
}

Picture Offscreen::read() {
    const std::vector<std::uint8_t> bytes = context_->readPixelsBGRA();
    Picture picture{context_->width(), context_->height(), {}};
    picture.words.resize(bytes.size() / 4);
    std::memcpy(picture.words.data(), bytes.data(), bytes.size());
    return picture;
}

bool hasHeadlessGL() {
    static const bool available = EGLHeadlessContext::create(1, 1) != nullptr;
    return available;
}

}  // namespace talvex::test
