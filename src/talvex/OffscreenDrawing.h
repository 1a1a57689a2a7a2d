#pragma once

// The still-image command's drawing at one pixel size: an OpenGL context with an
// offscreen drawable of that size and the stripe program built in it. The command
// makes it before it decodes the picture where the file's header gives the size, so
// that OpenGL's own set-up, which does not survive running out of memory, never has to
// share what is left with the picture.
#include <QImage>
#include <QSize>
#include <memory>
#include <optional>
#include <string>

#include "platform/CapturedImage.h"
#include "render/PixelBufferRenderer.h"
#include "talvex/FilterCommand.h"

namespace talvex {

class EGLHeadlessContext;

class OffscreenDrawing {
public:
    // None (with `error`, one line) when OpenGL is not usable or cannot draw at `size`.
    static std::unique_ptr<OffscreenDrawing> create(QSize size, const FilterOptions& options,
                                                    std::string& error);

    QSize size() const { return size_; }

    // `image`, of this size, drawn through the stripe filter at the options' scale and
    // read back; none (with `error`) when it cannot be drawn. The drawing holds the
    // image until it goes.
    std::optional<QImage> draw(std::shared_ptr<const MemoryImage> image, std::string& error);

private:
    OffscreenDrawing(std::unique_ptr<EGLHeadlessContext> context, QSize size,
                     const FilterOptions& options);

    EGLHeadlessContext& drawable_;  // owned by the renderer
    PixelBufferRenderer renderer_;
    QSize size_;
    double scale_;
};

}  // namespace talvex
