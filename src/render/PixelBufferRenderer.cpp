#include "render/PixelBufferRenderer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/SystemLog.h"
#include "render/ChangedArea.h"
#include "render/ShaderProgramBuilder.h"
#include "render/TalvexFilter.h"

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

// The picture as it is, for a filter drawn at less than full strength to blend over.
// It reads the quad and its texture coordinates from the filter's own attributes.
const char* const plainVertexSource = R"glsl(
attribute vec4 position;
attribute vec4 texturecoordinate;
varying vec2 coordinate;

void main()
{
    gl_Position = position;
    coordinate = texturecoordinate.xy;
}
)glsl";

const char* const plainFragmentSource = R"glsl(
uniform sampler2D videoframe;
varying vec2 coordinate;

void main()
{
    gl_FragColor = texture2D(videoframe, coordinate);
}
)glsl";

// The first error of each kind (GL_INVALID_ENUM … GL_OUT_OF_MEMORY, then any other)
// in the process is logged, with what was done before it was found.
void logFirstOfKind(GLenum error, const char* after) {
    static std::atomic<std::uint32_t> logged{0};
    const std::uint32_t kind = error >= GL_INVALID_ENUM && error <= GL_INVALID_FRAMEBUFFER_OPERATION
                                   ? 1u << (error - GL_INVALID_ENUM)
                                   : 1u << 31;
    if (logged.fetch_or(kind) & kind)
        return;
    char line[128];
    std::snprintf(line, sizeof line, "OpenGL error 0x%04x after %s; not reported again.",
                  static_cast<unsigned>(error), after);
    systemLog(line);
}

}  // namespace

// The view as the filter sees it: the snapshot of the last reshape.
class PixelBufferRenderer::ViewState final : public ShaderFilterView {
public:
    void set(Rect bounds, double scale) {
        bounds_ = bounds;
        scale_ = scale;
    }
    Rect bounds() const override { return bounds_; }
    double backingScaleFactor() const override { return scale_; }

private:
    Rect bounds_;
    double scale_ = 0;
};

PixelBufferRenderer::PixelBufferRenderer(std::unique_ptr<GLContext> context,
                                         FilterFactory makeFilter)
    : context_(std::move(context)),
      makeFilter_(std::move(makeFilter)),
      view_(std::make_unique<ViewState>()) {}

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
    redrawRequired = true;

    GLuint built = 0;
    buildProgram(shaderFilter.vertexSource(), shaderFilter.fragmentSource(),
                 shaderFilter.attributeCount(), shaderFilter.attributeNames(),
                 shaderFilter.attributeLocations(), &built);
    program_ = built;
    if (built == 0) {
        systemLog("Error creating the program");
        frame_ = -1;
        return;
    }
    frame_ = uniformLocation(built, "videoframe");
}

// The plain program binds the filter's quad and texture-coordinate attributes to the
// filter's own locations, so one set of vertex arrays serves both. A filter without
// them is always drawn at full strength. Built when a strength below full is first
// drawn: most users never need it.
void PixelBufferRenderer::buildPlainProgram(OpenGLShaderFilter& shaderFilter) {
    plainProgramTried_ = true;
    const char* const names[] = {"position", "texturecoordinate"};
    GLint locations[] = {-1, -1};
    for (int i = 0; i < shaderFilter.attributeCount(); ++i) {
        for (int n = 0; n < 2; ++n) {
            if (std::strcmp(shaderFilter.attributeNames()[i], names[n]) == 0)
                locations[n] = shaderFilter.attributeLocations()[i];
        }
    }
    if (locations[0] < 0 || locations[1] < 0)
        return;
    GLuint built = 0;
    buildProgram(plainVertexSource, plainFragmentSource, 2, names, locations, &built);
    plainProgram_ = built;
    plainFrame_ = built ? uniformLocation(built, "videoframe") : -1;
}

// The finding program shares the filter's vertex program and attributes. Built when a
// colour is first found: most frames never need it.
void PixelBufferRenderer::buildFindingProgram(OpenGLShaderFilter& shaderFilter) {
    findingProgramTried_ = true;
    const char* const source = shaderFilter.findingFragmentSource();
    if (source == nullptr)
        return;
    GLuint built = 0;
    buildProgram(shaderFilter.vertexSource(), source, shaderFilter.attributeCount(),
                 shaderFilter.attributeNames(), shaderFilter.attributeLocations(), &built);
    findingProgram_ = built;
    if (built == 0) {
        systemLog("Error creating the program that finds a colour");
        return;
    }
    findingFrame_ = uniformLocation(built, "videoframe");
}

void PixelBufferRenderer::reshape(Rect bounds, double backingScale) {
    OpenGLShaderFilter& shaderFilter = filter();
    DrawingScope scope(*context_, detached_);
    redrawRequired = true;
    if (!scope.canDraw())
        return;
    view_->set(bounds, backingScale);
    shaderFilter.prepareForView(*view_);
    viewportWidth_ = truncatedPixels(bounds.width(), backingScale);
    viewportHeight_ = truncatedPixels(bounds.height(), backingScale);
    glViewport(0, 0, viewportWidth_, viewportHeight_);
    collectGLErrors("a reshape");
}

std::optional<PixelBufferRenderer::ImageBytes> PixelBufferRenderer::bytesOf(
    const CapturedImage& image) {
    ImageBytes bytes;
    bytes.data = image.bytesInPlace();
    bytes.size = image.bytesPerRow() * image.height();
    if (bytes.data)
        return bytes;
    bytes.copy = image.copyBytes();
    if (!bytes.copy)
        return std::nullopt;
    bytes.data = bytes.copy->data();
    bytes.size = bytes.copy->size();
    return bytes;
}

bool PixelBufferRenderer::isDrawable(const CapturedImage& image, const ImageBytes& bytes) const {
    if (image.bitsPerPixel() != 32)
        return false;
    const std::size_t pixelBytes = 4;
    const std::size_t width = image.width();
    const std::size_t height = image.height();
    const std::size_t bytesPerRow = image.bytesPerRow();
    const auto maxSide = static_cast<std::size_t>(maxTextureSize_);
    if (width == 0 || height == 0 || width > maxSide || height > maxSide)
        return false;
    // OpenGL reads every row at a whole number of pixels from the last one; the bytes
    // must hold the last row up to its last pixel.
    if (bytesPerRow % pixelBytes != 0 || bytesPerRow / pixelBytes < width)
        return false;
    if (bytesPerRow / pixelBytes > static_cast<std::size_t>(INT_MAX))
        return false;
    return bytes.size / bytesPerRow >= height - 1 &&
           bytes.size - (height - 1) * bytesPerRow >= width * pixelBytes;
}

bool PixelBufferRenderer::hasShownGeometry(const CapturedImage& image) const {
    return image.width() == shown_.width && image.height() == shown_.height &&
           image.bytesPerRow() == shown_.bytesPerRow && image.bitsPerPixel() == shown_.bitsPerPixel;
}

// The image is the viewport's size, so the filter shows all of it, unscaled: each
// texel lands on one drawable pixel, sampled at its centre, where the nearest texel is
// exactly what linear filtering gives (and costs the software renderer a third of the
// pass-through draw less).
bool PixelBufferRenderer::mapsPixelForPixel(const CapturedImage& image) const {
    return image.width() == static_cast<std::size_t>(viewportWidth_) &&
           image.height() == static_cast<std::size_t>(viewportHeight_);
}

// Each texel lands on one drawable pixel, or on a square of them when magnified: the
// image is the viewport's size (the filter then shows all of it, unscaled), or that
// size divided by the magnification and rounded up (the filter then cuts whole pixels
// off), so a changed tile maps to a rectangle of the drawable.
bool PixelBufferRenderer::canUpdatePart(const CapturedImage& image, int magnification) const {
    const auto covers = [magnification](std::size_t texels, int pixels) {
        const auto span = static_cast<long long>(texels) * magnification;
        return span >= pixels && span - pixels < magnification;
    };
    return context_->keepsPicture() && magnification >= 1 &&
           covers(image.width(), viewportWidth_) && covers(image.height(), viewportHeight_);
}

std::optional<PixelBufferRenderer::Update> PixelBufferRenderer::updateFor(
    const CapturedImage& image, const ImageBytes& bytes, int magnification) {
    const bool redraw = redrawRequired.exchange(false);
    if (redraw || !hasShownGeometry(image))
        return Update::everything();
    const ChangedArea changed = ChangedArea::between(
        {shown_.bytes, bytes.data, static_cast<int>(image.width()),
         static_cast<int>(image.height()), image.bytesPerRow(), image.bitsPerPixel() / 8});
    if (changed.isEmpty())
        return std::nullopt;
    const double pixels = static_cast<double>(image.width()) * static_cast<double>(image.height());
    if (!canUpdatePart(image, magnification) ||
        static_cast<double>(changed.area()) > mostOfThePicture * pixels)
        return Update::everything();
    Update update{false, changed.rects(), {}};
    for (const PixelRect& r : update.imageRects)
        update.drawableRects.push_back(drawableRectOf(r, image, magnification));
    return update;
}

// Image rows run top first, drawable rows bottom first. Magnified, texel t covers drawable pixels t
// × m - cut ... (t + 1) × m - cut.
PixelRect PixelBufferRenderer::drawableRectOf(const PixelRect& r, const CapturedImage& image,
                                              int magnification) const {
    const int m = magnification;
    const int left = r.x * m - TalvexFilter::magnifiedOffset(viewportWidth_, image.width(), m);
    const int top = r.y * m - TalvexFilter::magnifiedOffset(viewportHeight_, image.height(), m);
    const int width = r.width * m;
    const int height = r.height * m;
    const int y = viewportHeight_ - (top + height);
    const PixelRect grown{left - drawMargin, y - drawMargin, width + 2 * drawMargin,
                          height + 2 * drawMargin};
    return grown.intersected({0, 0, viewportWidth_, viewportHeight_});
}

void PixelBufferRenderer::upload(const CapturedImage& image, const ImageBytes& bytes,
                                 const Update& update) {
    const GLenum type = GL_UNSIGNED_INT_8_8_8_8_REV;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(image.bytesPerRow() / 4));
    if (update.whole) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(image.width()),
                     static_cast<GLsizei>(image.height()), 0, GL_BGRA, type, bytes.data);
        return;
    }
    for (const PixelRect& r : update.imageRects) {
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, r.x);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, r.y);
        glTexSubImage2D(GL_TEXTURE_2D, 0, r.x, r.y, r.width, r.height, GL_BGRA, type, bytes.data);
    }
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
}

// At full strength the filter draws alone. Below it, the plain picture goes first and
// the filtered one is blended over it at the strength: s × filtered + (1 - s) × plain.
void PixelBufferRenderer::draw(const Update& update, OpenGLShaderFilter& shaderFilter) {
    const double strength = shaderFilter.strength();
    if (strength < 1 && !plainProgramTried_)
        buildPlainProgram(shaderFilter);
    if (strength >= 1 || plainProgram_ == 0) {
        drawQuads(update);
        return;
    }
    glUseProgram(plainProgram_);
    glUniform1i(plainFrame_, 0);
    drawQuads(update);
    glUseProgram(drawn_.program);
    glEnable(GL_BLEND);
    glBlendColor(0, 0, 0, static_cast<GLfloat>(std::max(strength, 0.0)));
    glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
    drawQuads(update);
    glDisable(GL_BLEND);
}

void PixelBufferRenderer::drawQuads(const Update& update) {
    if (update.whole) {
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        pixelsDrawn_ += static_cast<std::uint64_t>(viewportWidth_) * viewportHeight_;
        return;
    }
    glEnable(GL_SCISSOR_TEST);
    for (const PixelRect& r : update.drawableRects) {
        glScissor(r.x, r.y, r.width, r.height);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        pixelsDrawn_ += static_cast<std::uint64_t>(r.area());
    }
    glDisable(GL_SCISSOR_TEST);
}

// A whole frame is swapped in at the drawing buffer's own size: while the window is
// being resized, the viewport may be larger than that buffer until the reshape
// arrives, and a copy of the viewport's rectangle would be refused by the server.
void PixelBufferRenderer::present(const Update& update) {
    if (update.whole) {
        context_->flushBuffer();
        return;
    }
    context_->presentRects(update.drawableRects);
    ++partialFrames_;
}

// The picture on screen, kept to compare the next capture with: the image itself when
// it is shared, else a copy, of which a partial update copies only what changed.
void PixelBufferRenderer::rememberShown(const CapturedImage& image, const ImageBytes& bytes,
                                        const Update& update,
                                        std::shared_ptr<const CapturedImage> shared) {
    shown_.width = image.width();
    shown_.height = image.height();
    shown_.bytesPerRow = image.bytesPerRow();
    shown_.bitsPerPixel = image.bitsPerPixel();
    if (shared && !bytes.copy) {
        shown_.image = std::move(shared);
        std::vector<std::uint8_t>().swap(shown_.copy);
        shown_.bytes = bytes.data;
        return;
    }
    if (update.whole || shown_.image) {
        shown_.image.reset();
        shown_.copy.assign(bytes.data, bytes.data + bytes.size);
        shown_.bytes = shown_.copy.data();
        return;
    }
    const std::size_t pixelBytes = image.bitsPerPixel() / 8;
    for (const PixelRect& r : update.imageRects) {
        for (int row = r.y; row < r.y + r.height; ++row) {
            const std::size_t offset = row * image.bytesPerRow() + r.x * pixelBytes;
            std::memcpy(shown_.copy.data() + offset, bytes.data + offset, r.width * pixelBytes);
        }
    }
}

void PixelBufferRenderer::displayImage(const CapturedImage& image) {
    display(image, nullptr, 1);
}

void PixelBufferRenderer::displayImage(std::shared_ptr<const CapturedImage> image,
                                       int magnification) {
    if (image)
        display(*image, image, magnification);
}

void PixelBufferRenderer::display(const CapturedImage& image,
                                  std::shared_ptr<const CapturedImage> shared, int magnification) {
    // The image's bytes, read in place where they are in memory.
    std::optional<ImageBytes> bytes = bytesOf(image);
    if (!bytes)
        return;

    // The context, current on this thread under its lock, with the program and the
    // picture's texture bound.
    OpenGLShaderFilter& shaderFilter = filter();
    DrawingScope scope(*context_, detached_);
    if (!scope.canDraw() || program_ == 0)
        return;
    bindProgramAndPicture(shaderFilter);

    // Keep the previous picture for what cannot be uploaded as it is, and for an image
    // that is the picture on screen already.
    if (!isDrawable(image, *bytes))
        return;
    // Another magnification is another drawing of the same pixels.
    if (magnification != shown_.magnification)
        redrawRequired = true;
    const std::optional<Update> update = updateFor(image, *bytes, magnification);
    if (!update)
        return;

    // The pixels go to OpenGL unchanged; the packed type does the unpacking.
    upload(image, *bytes, *update);
    const GLint sampling = mapsPixelForPixel(image) ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, sampling);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sampling);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    drawAndPresent(*update, shaderFilter, image.width(), image.height(), magnification);
    rememberShown(image, *bytes, *update, std::move(shared));
    shown_.magnification = magnification;
}

// The program in use (the finding one while the filter finds a colour and it could be
// built), reading the picture's texture from unit 0.
void PixelBufferRenderer::bindProgramAndPicture(OpenGLShaderFilter& shaderFilter) {
    drawn_ = {program_, frame_};
    if (shaderFilter.isFinding()) {
        if (!findingProgramTried_)
            buildFindingProgram(shaderFilter);
        if (findingProgram_ != 0)
            drawn_ = {findingProgram_, findingFrame_};
    }
    glDisable(GL_DEPTH_TEST);
    glUseProgram(drawn_.program);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glUniform1i(drawn_.frame, 0);
}

// The filter's per-draw constants and quad for a texture of width × height, the draw,
// the present.
void PixelBufferRenderer::drawAndPresent(const Update& update, OpenGLShaderFilter& shaderFilter,
                                         std::size_t width, std::size_t height, int magnification) {
    shaderFilter.setMagnification(magnification);
    shaderFilter.applyParametersForTextureOfWidth(width, height);
    draw(update, shaderFilter);
    present(update);
    collectGLErrors("drawing a frame");
    ++framesPresented_;
}

void PixelBufferRenderer::redrawShownPicture() {
    OpenGLShaderFilter& shaderFilter = filter();
    DrawingScope scope(*context_, detached_);
    if (!scope.canDraw() || program_ == 0 || !shown_.bytes)
        return;
    bindProgramAndPicture(shaderFilter);
    drawAndPresent(Update::everything(), shaderFilter, shown_.width, shown_.height,
                   shown_.magnification);
}

std::optional<Rgb> PixelBufferRenderer::capturedColourAt(std::size_t x, std::size_t y) {
    std::lock_guard lock(*context_);
    if (!shown_.bytes || x >= shown_.width || y >= shown_.height)
        return std::nullopt;
    return pixelOfRow(shown_.bytes + y * shown_.bytesPerRow, x, shown_.bitsPerPixel);
}

void PixelBufferRenderer::setFoundColour(std::optional<Rgb> colour) {
    OpenGLShaderFilter& shaderFilter = filter();
    std::lock_guard lock(*context_);
    shaderFilter.setFoundColour(colour);
    foundColour_ = colour;
    redrawRequired = true;
}

void PixelBufferRenderer::setLensSettings(const LensSettings& settings) {
    OpenGLShaderFilter& shaderFilter = filter();
    std::lock_guard lock(*context_);
    shaderFilter.setLensSettings(settings);
    lensSettings_ = settings;
    redrawRequired = true;
}

std::optional<Rgb> PixelBufferRenderer::foundColour() const {
    std::lock_guard lock(*context_);
    return foundColour_;
}

LensSettings PixelBufferRenderer::lensSettings() const {
    std::lock_guard lock(*context_);
    return lensSettings_;
}

void PixelBufferRenderer::reset() {
    std::lock_guard lock(*context_);
    const bool wasCurrent = context_->isCurrent();
    std::unique_ptr<CurrentBinding> previous = wasCurrent ? nullptr : context_->currentBinding();
    if (!wasCurrent && !context_->makeCurrent()) {
        // The drawable is gone; the program goes with the context.
        program_ = 0;
        plainProgram_ = 0;
        plainProgramTried_ = false;
        findingProgram_ = 0;
        findingProgramTried_ = false;
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
    shown_ = {};
    context_->detach();
}

void PixelBufferRenderer::collectGLErrors(const char* after) {
    // Each error flag is reported once and then cleared; a handful at most are set.
    for (int i = 0; i < 16; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            break;
        ++glErrors_;
        logFirstOfKind(error, after);
    }
}

void PixelBufferRenderer::deleteProgram() {
    if (program_ != 0)
        glDeleteProgram(program_);
    program_ = 0;
    if (plainProgram_ != 0)
        glDeleteProgram(plainProgram_);
    plainProgram_ = 0;
    plainProgramTried_ = false;
    if (findingProgram_ != 0)
        glDeleteProgram(findingProgram_);
    findingProgram_ = 0;
    findingProgramTried_ = false;
}

}  // namespace talvex
