#include "talvex/OffscreenDrawing.h"

#include <cstdint>
#include <vector>

#include "platform/UserDefaults.h"
#include "platform/gl/EGLHeadlessContext.h"
#include "render/TalvexFilter.h"

namespace talvex {

namespace {

void deleteBytes(void* bytes) {
    delete static_cast<std::vector<std::uint8_t>*>(bytes);
}

}  // namespace

std::unique_ptr<OffscreenDrawing> OffscreenDrawing::create(QSize size, const FilterOptions& options,
                                                           std::string& error) {
    std::string why;
    std::unique_ptr<EGLHeadlessContext> context =
        EGLHeadlessContext::create(size.width(), size.height(), &why);
    if (!context) {
        error = "no usable OpenGL: " + why;
        return nullptr;
    }
    std::unique_ptr<OffscreenDrawing> drawing(
        new OffscreenDrawing(std::move(context), size, options));
    drawing->renderer_.prepareOpenGL();
    if (drawing->renderer_.program() == 0) {
        error = "no usable OpenGL: the stripe program could not be built";
        return nullptr;
    }
    return drawing;
}

OffscreenDrawing::OffscreenDrawing(std::unique_ptr<EGLHeadlessContext> context, QSize size,
                                   const FilterOptions& options)
    : drawable_(*context),
      renderer_(
          std::move(context),
          [overrides = TalvexFilter::SwitchOverrides{options.red, options.green, options.strength,
                                                     options.find, options.near}] {
              return std::make_unique<TalvexFilter>(overrides);
          }),
      size_(size),
      scale_(options.scale) {
    // What the options leave open is drawn by the user's settings.
    renderer_.setLensSettings(LensSettings::read(UserDefaults::standard()));
}

std::optional<QImage> OffscreenDrawing::draw(std::shared_ptr<const MemoryImage> image,
                                             std::string& error) {
    // 1. Draw. The renderer keeps the image it shows rather than a copy of its bytes.
    renderer_.reshape(
        Rect(0, 0, pointsForPixels(size_.width(), scale_), pointsForPixels(size_.height(), scale_)),
        scale_);
    renderer_.displayImage(std::move(image));
    if (renderer_.framesPresented() == 0) {
        error = "no usable OpenGL: the image could not be drawn (too large?)";
        return std::nullopt;
    }
    // 2. Read back, into an image that owns the bytes read (Format_ARGB32 is the BGRA
    // byte order on a little-endian machine).
    auto pixels = std::make_unique<std::vector<std::uint8_t>>(drawable_.readPixelsBGRA());
    if (pixels->empty()) {
        error = "no usable OpenGL: the result could not be read back";
        return std::nullopt;
    }
    QImage result(pixels->data(), size_.width(), size_.height(), size_.width() * 4,
                  QImage::Format_ARGB32, &deleteBytes, pixels.get());
    if (result.isNull()) {
        error = "no usable OpenGL: the result could not be read back";
        return std::nullopt;
    }
    pixels.release();
    return result;
}

}  // namespace talvex
