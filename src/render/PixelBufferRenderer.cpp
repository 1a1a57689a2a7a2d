#include "render/PixelBufferRenderer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <climits>
#include <cmath>
#include <optional>

#include "platform/SystemLog.h"
#include "render/ShaderProgramBuilder.h"

namespace talvex {

namespace {

// Points × scale in device pixels, truncated toward zero; 0 for anything that is not
// a representable non-negative size.
GLsizei truncatedPixels(double points, double scale) {
    const double pixels = std::trunc(points * scale);
    if (!(pixels >= 0))
        return 0;
    if (pixels > INT_MAX)
        return INT_MAX;
    return static_cast<GLsizei>(pixels);
}

// The context lock plus the context current on this thread, unless the renderer has
// been detached; on scope exit the context is released and the lock given up.
class DrawingScope {
public:
    DrawingScope(GLContext& context, const std::atomic<bool>& detached)
        : context_(context), lock_(context) {
        current_ = !detached && context_.makeCurrent();
    }
    ~DrawingScope() {
        if (current_)
            context_.clearCurrent();
    }
    DrawingScope(const DrawingScope&) = delete;
    DrawingScope& operator=(const DrawingScope&) = delete;

    bool canDraw() const { return current_; }

private:
    GLContext& context_;
    std::lock_guard<GLContext> lock_;
    bool current_ = false;
};

}  // namespace

// The view as the filter sees it: the snapshot of the last reshape and the live mirror
// flag.
class PixelBufferRenderer::ViewState final : public ShaderFilterView {
public:
    explicit ViewState(const std::atomic<bool>& mirror) : mirror_(mirror) {}
    void set(Rect bounds, double scale) {
        bounds_ = bounds;
        scale_ = scale;
    }
    Rect bounds() const override { return bounds_; }
    bool mirrorTransform() const override { return mirror_; }
    double backingScaleFactor() const override { return scale_; }

private:
    const std::atomic<bool>& mirror_;
    Rect bounds_;
    double scale_ = 0;
};

PixelBufferRenderer::PixelBufferRenderer(std::unique_ptr<GLContext> context,
                                         FilterFactory makeFilter)
    : context_(std::move(context)),
      makeFilter_(std::move(makeFilter)),
      view_(std::make_unique<ViewState>(mirrorTransform)) {}

PixelBufferRenderer::~PixelBufferRenderer() {
    detach();
}

OpenGLShaderFilter& PixelBufferRenderer::filter() {
    std::call_once(filterMade_, [this] { filter_ = makeFilter_(); });
    return *filter_;
}

unsigned PixelBufferRenderer::program() const {
    return program_;
}
int PixelBufferRenderer::frameUniform() const {
    return frame_;
}
bool PixelBufferRenderer::isDetached() const {
    return detached_;
}

void PixelBufferRenderer::prepareOpenGL() {
    OpenGLShaderFilter& shaderFilter = filter();
    DrawingScope scope(*context_, detached_);
    if (!scope.canDraw())
        return;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    deleteProgram();

    GLuint built = 0;
    buildProgram(shaderFilter.vertexSource(), shaderFilter.fragmentSource(),
                 shaderFilter.attributeCount(), shaderFilter.attributeNames(),
                 shaderFilter.attributeLocations(), 0, nullptr, nullptr, &built);
    program_ = built;
    if (built == 0) {
        systemLog("Error creating the program");
        frame_ = -1;
        return;
    }
    frame_ = uniformLocation(built, "videoframe");
}

void PixelBufferRenderer::reshape(Rect bounds, double backingScale) {
    OpenGLShaderFilter& shaderFilter = filter();
    DrawingScope scope(*context_, detached_);
    redrawRequired = true;
    if (!scope.canDraw())
        return;
    view_->set(bounds, backingScale);
    shaderFilter.prepareForView(*view_);
    glViewport(0, 0, truncatedPixels(bounds.width(), backingScale),
               truncatedPixels(bounds.height(), backingScale));
    collectGLErrors();
}

bool PixelBufferRenderer::isDrawable(const CapturedImage& image,
                                     const std::vector<std::uint8_t>& bytes) const {
    const std::size_t bitsPerPixel = image.bitsPerPixel();
    if (bitsPerPixel != 32 && bitsPerPixel != 16)
        return false;
    const std::size_t pixelBytes = bitsPerPixel / 8;
    const std::size_t width = image.width();
    const std::size_t height = image.height();
    const std::size_t bytesPerRow = image.bytesPerRow();
    const auto maxSide = static_cast<std::size_t>(maxTextureSize_);
    if (width == 0 || height == 0 || width > maxSide || height > maxSide)
        return false;
    // OpenGL reads every row at a whole number of pixels from the last one; the copy
    // must hold the last row up to its last pixel.
    if (bytesPerRow % pixelBytes != 0 || bytesPerRow / pixelBytes < width)
        return false;
    if (bytesPerRow / pixelBytes > static_cast<std::size_t>(INT_MAX))
        return false;
    return bytes.size() / bytesPerRow >= height - 1 &&
           bytes.size() - (height - 1) * bytesPerRow >= width * pixelBytes;
}

bool PixelBufferRenderer::isShown(const CapturedImage& image,
                                  const std::vector<std::uint8_t>& bytes) const {
    return image.width() == shown_.width && image.height() == shown_.height &&
           image.bytesPerRow() == shown_.bytesPerRow &&
           image.bitsPerPixel() == shown_.bitsPerPixel && bytes == shown_.bytes;
}

void PixelBufferRenderer::rememberShown(const CapturedImage& image,
                                        std::vector<std::uint8_t> bytes) {
    shown_ = {image.width(), image.height(), image.bytesPerRow(), image.bitsPerPixel(),
              std::move(bytes)};
}

void PixelBufferRenderer::upload(const CapturedImage& image,
                                 const std::vector<std::uint8_t>& bytes) {
    const std::size_t bitsPerPixel = image.bitsPerPixel();
    const GLenum type =
        bitsPerPixel == 32 ? GL_UNSIGNED_INT_8_8_8_8_REV : GL_UNSIGNED_SHORT_1_5_5_5_REV;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH,
                  static_cast<GLint>(image.bytesPerRow() / (bitsPerPixel / 8)));
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(image.width()),
                 static_cast<GLsizei>(image.height()), 0, GL_BGRA, type, bytes.data());
}

void PixelBufferRenderer::displayImage(const CapturedImage& image, double /*scale*/) {
    // 1-2. One copy of the bytes, alive for this draw only.
    std::optional<std::vector<std::uint8_t>> bytes = image.copyBytes();
    if (!bytes)
        return;

    // 3-4.
    OpenGLShaderFilter& shaderFilter = filter();
    DrawingScope scope(*context_, detached_);
    if (!scope.canDraw() || program_ == 0)
        return;
    glDisable(GL_DEPTH_TEST);
    glUseProgram(program_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textureName);

    // 5. Keep the previous picture for what cannot be uploaded as it is, and for an
    // image that is the picture on screen already.
    if (!isDrawable(image, *bytes))
        return;
    if (!redrawRequired.exchange(false) && isShown(image, *bytes)) {
        ++framesUnchanged_;
        return;
    }

    // 6-9. The pixels go to OpenGL unchanged; the packed type does the unpacking.
    upload(image, *bytes);
    glUniform1i(frame_, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    // 10-13.
    shaderFilter.applyParametersForTextureOfWidth(image.width(), image.height());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    context_->flushBuffer();
    collectGLErrors();
    rememberShown(image, std::move(*bytes));
    ++framesPresented_;
}

std::optional<Rgb> PixelBufferRenderer::capturedColourAt(std::size_t x, std::size_t y) {
    std::lock_guard lock(*context_);
    if (x >= shown_.width || y >= shown_.height)
        return std::nullopt;
    return pixelOfRow(shown_.bytes.data() + y * shown_.bytesPerRow, x, shown_.bitsPerPixel);
}

void PixelBufferRenderer::reset() {
    std::lock_guard lock(*context_);
    const bool wasCurrent = context_->isCurrent();
    std::unique_ptr<CurrentBinding> previous = wasCurrent ? nullptr : context_->currentBinding();
    if (!wasCurrent && !context_->makeCurrent()) {
        // The drawable is gone; the program goes with the context.
        program_ = 0;
        return;
    }
    deleteProgram();
    if (wasCurrent)
        return;
    // Leaving the context current here would keep the capture thread from making it
    // current for its next frame.
    if (previous && !previous->isNone()) {
        previous->restore();
    } else {
        context_->clearCurrent();
    }
}

void PixelBufferRenderer::detach() {
    if (detached_)
        return;
    reset();
    std::lock_guard lock(*context_);
    detached_ = true;
    context_->detach();
}

void PixelBufferRenderer::collectGLErrors() {
    // Each error flag is reported once and then cleared; a handful at most are set.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i)
        ++glErrors_;
}

void PixelBufferRenderer::deleteProgram() {
    if (program_ != 0)
        glDeleteProgram(program_);
    program_ = 0;
}

}  // namespace talvex
