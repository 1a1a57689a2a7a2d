#pragma once

// The OpenGL core of a pixel buffer view: builds the filter's program, keeps the
// viewport and the filter's view parameters in step with the view's size and backing
// scale, and draws each captured image through the filter as one full-view quad. It
// knows no toolkit: an on-screen view hands it a context bound to its window, the
// still-image mode one bound to an offscreen drawable.
//
// Partial updates: when the context keeps its picture after presenting (see
// GLContext::keepsPicture) and the image maps onto the drawable pixel for pixel (or,
// magnified, each pixel onto a square of drawable pixels), a
// capture is compared with the picture on screen tile by tile (ChangedArea) and only
// the changed tiles are uploaded, drawn (with a scissor, a small margin around them
// for the texture's filtering) and presented. The stripes' phase comes from window
// coordinates, so the result is the same, pixel for pixel, as drawing everything.
// Everything is drawn after a reshape, a settings change or an expose
// (redrawRequired), when the size changes, and when most of the picture changed.
//
// Threading contract:
// - prepareOpenGL(), reshape(), reset() and detach(): the owner's thread (the main
//   thread for a view); the destructor: see the last point. displayImage(): any one thread at a
//   time (the capture thread).
// - The context lock (GLContext::lock) guards every GL call and the fields program_,
//   frame_, viewBounds_, backingScale_, detached_, the filter's state and what was
//   handed to it (lensSettings_, foundColour_). Every
//   operation above takes it for itself: never call them with the lock held.
//   program_, frame_ and detached_ are also atomics so that any thread may read them,
//   and so are the frame and error counters.
// - capturedColourAt(): any thread that does not hold the context lock; it takes it.
// - filter() creates the filter on first use, once, from whichever thread asks first.
// - The flags are atomics, read and written from any thread without the lock.
// - After detach() nothing draws again: a capture still in flight when the view goes
//   away returns without touching the drawable.
// - The destructor runs on whichever thread lets go of the last reference: a capture
//   thread, when the view replaced the renderer during its frame. No other thread can
//   reach the renderer then. It detaches as detach() does, under the context lock
//   (nothing is left to do when the owner detached it, as a view does before its
//   window goes), and frees the context, current on no thread: every operation
//   releases it before giving up the lock.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/CapturedImage.h"
#include "platform/Geometry.h"
#include "platform/Rgb.h"
#include "platform/gl/GLContext.h"
#include "render/OpenGLShaderFilter.h"

namespace talvex {

class PixelBufferRenderer {
public:
    using FilterFactory = std::function<std::unique_ptr<OpenGLShaderFilter>()>;

    // The texture object that holds the picture, used by name without generating it.
    static constexpr unsigned textureName = 13;

    PixelBufferRenderer(std::unique_ptr<GLContext> context, FilterFactory makeFilter);
    // Detaches and deletes the program; on any thread (see above).
    ~PixelBufferRenderer();
    PixelBufferRenderer(const PixelBufferRenderer&) = delete;
    PixelBufferRenderer& operator=(const PixelBufferRenderer&) = delete;

    // Builds the filter's program and finds its "videoframe" sampler. Logs "Error
    // creating the program" when the build fails; the renderer then draws nothing.
    void prepareOpenGL();
    // Records the view's bounds (points) and backing scale, hands them to the filter and
    // sets the viewport to the bounds in device pixels (truncated).
    void reshape(Rect bounds, double backingScale);
    // Uploads the image unchanged as a texture and draws it through the filter, then
    // presents the frame (only what changed, where the context allows; see above). 32-bit BGRA
    // images are drawn; any other pixel size, an image whose bytes do not cover its
    // rows, a missing program or a detached renderer draw nothing and leave the previous picture.
    void displayImage(const CapturedImage& image);
    // The same for an image the renderer may keep: the picture on screen is then
    // compared with the next one in place, without a copy of its bytes. A picture
    // captured for a lens that magnifies `magnification` times is drawn that many times
    // larger, centred (see OpenGLShaderFilter::setMagnification).
    void displayImage(std::shared_ptr<const CapturedImage> image, int magnification = 1);
    // Draws the picture on screen again from its texture, whole, and presents it (a
    // held picture after an expose, a reshape or a change of the filter's settings).
    // Nothing when no picture has been shown.
    void redrawShownPicture();
    // The colour the filter finds from the next draw on (none: nothing); the next image
    // is drawn even when it equals the last one.
    void setFoundColour(std::optional<Rgb> colour);
    // The settings the filter draws by from the next draw on; the next image is drawn
    // even when it equals the last one.
    void setLensSettings(const LensSettings& settings);
    // What was last handed over (a renderer that replaces this one starts from them).
    std::optional<Rgb> foundColour() const;
    LensSettings lensSettings() const;
    // Deletes the program (its handle becomes 0). Restores whatever context was current
    // on this thread before, or leaves none current.
    void reset();
    // Stops drawing for good: deletes the program, then detaches the context from its
    // drawable (GLContext::detach). Call before the drawable goes away.
    void detach();

    // The colour at device pixel (x, y), rows top first, of the last image drawn, as it
    // was captured (before the filter); none outside it or before the first picture.
    std::optional<Rgb> capturedColourAt(std::size_t x, std::size_t y);

    OpenGLShaderFilter& filter();
    GLContext& context() { return *context_; }
    unsigned program() const;
    int frameUniform() const;
    bool isDetached() const;
    // How many frames displayImage() has drawn and presented.
    std::uint64_t framesPresented() const { return framesPresented_; }
    // Of the frames presented, how many redrew only part of the picture, and how many
    // device pixels all frames drew through the filter.
    std::uint64_t partialFrames() const { return partialFrames_; }
    std::uint64_t pixelsDrawn() const { return pixelsDrawn_; }
    // How many errors OpenGL reported after reshapes and presented frames. The first of
    // each kind in the process is also logged.
    std::uint64_t glErrors() const { return glErrors_; }

    std::atomic<bool> unhideOnNextDisplay{false};
    std::atomic<bool> capturingDisabled{false};
    std::atomic<bool> capturing{false};
    // Set by whatever changes the drawing but not the capture (a reshape, the filter's
    // settings, the view shown again): the next image is drawn even when its pixels
    // equal the last one's.
    std::atomic<bool> redrawRequired{true};
    // How many pauses have begun (capturingDisabled set); a capture asked for before
    // the latest one began is stale and never shown.
    std::atomic<std::uint64_t> pausesBegun{0};

    // Drawable pixels around a changed tile that are drawn again too: linear filtering
    // may reach one texel beyond.
    static constexpr int drawMargin = 2;
    // A change larger than this share of the picture draws everything.
    static constexpr double mostOfThePicture = 0.5;

private:
    class ViewState;
    // The image's bytes for one draw: in place when the image keeps them in memory,
    // otherwise a copy.
    struct ImageBytes {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
        std::optional<std::vector<std::uint8_t>> copy;
    };
    // What one frame draws: everything (whole) or these rectangles of the image.
    struct Update {
        bool whole = true;
        std::vector<PixelRect> imageRects;
        std::vector<PixelRect> drawableRects;
        static Update everything() { return {}; }
    };

    std::unique_ptr<GLContext> context_;
    FilterFactory makeFilter_;
    std::once_flag filterMade_;
    std::unique_ptr<OpenGLShaderFilter> filter_;
    std::optional<Rgb> foundColour_;
    LensSettings lensSettings_;
    std::unique_ptr<ViewState> view_;
    std::atomic<unsigned> program_{0};
    std::atomic<int> frame_{-1};
    // The plain picture's program and sampler, for strengths below full (under the
    // context lock).
    unsigned plainProgram_ = 0;
    int plainFrame_ = -1;
    bool plainProgramTried_ = false;
    // The program that finds a colour and its sampler, built on the first draw that
    // finds (under the context lock).
    unsigned findingProgram_ = 0;
    int findingFrame_ = -1;
    bool findingProgramTried_ = false;
    // The program the current draw uses and its sampler (under the context lock).
    struct DrawnProgram {
        unsigned program = 0;
        int frame = -1;
    } drawn_;
    std::atomic<bool> detached_{false};
    int maxTextureSize_ = 0;
    std::atomic<std::uint64_t> framesPresented_{0};
    std::atomic<std::uint64_t> partialFrames_{0};
    std::atomic<std::uint64_t> pixelsDrawn_{0};
    // The viewport in drawable pixels (under the context lock).
    int viewportWidth_ = 0;
    int viewportHeight_ = 0;
    // The pixels of the picture on screen (capture thread, under the context lock): the
    // image itself when it was shared with the renderer (its bytes stay where they are),
    // otherwise a copy of its bytes.
    struct Picture {
        std::size_t width = 0, height = 0, bytesPerRow = 0, bitsPerPixel = 0;
        int magnification = 1;
        std::shared_ptr<const CapturedImage> image;
        std::vector<std::uint8_t> copy;
        const std::uint8_t* bytes = nullptr;
    } shown_;
    std::atomic<std::uint64_t> glErrors_{0};

    static std::optional<ImageBytes> bytesOf(const CapturedImage& image);
    bool isDrawable(const CapturedImage& image, const ImageBytes& bytes) const;
    bool hasShownGeometry(const CapturedImage& image) const;
    // Nothing to draw (none), everything, or the changed part.
    std::optional<Update> updateFor(const CapturedImage& image, const ImageBytes& bytes,
                                    int magnification);
    bool mapsPixelForPixel(const CapturedImage& image) const;
    bool canUpdatePart(const CapturedImage& image, int magnification) const;
    PixelRect drawableRectOf(const PixelRect& imageRect, const CapturedImage& image,
                             int magnification) const;
    void upload(const CapturedImage& image, const ImageBytes& bytes, const Update& update);
    void buildPlainProgram(OpenGLShaderFilter& shaderFilter);
    void buildFindingProgram(OpenGLShaderFilter& shaderFilter);
    void bindProgramAndPicture(OpenGLShaderFilter& shaderFilter);
    void drawAndPresent(const Update& update, OpenGLShaderFilter& shaderFilter, std::size_t width,
                        std::size_t height, int magnification);
    void draw(const Update& update, OpenGLShaderFilter& shaderFilter);
    void drawQuads(const Update& update);
    void present(const Update& update);
    void display(const CapturedImage& image, std::shared_ptr<const CapturedImage> shared,
                 int magnification);
    void rememberShown(const CapturedImage& image, const ImageBytes& bytes, const Update& update,
                       std::shared_ptr<const CapturedImage> shared);
    void deleteProgram();
    // Collects (and counts) the errors the current context has recorded; `after` says
    // what was done before, for the log.
    void collectGLErrors(const char* after);
};

}  // namespace talvex
