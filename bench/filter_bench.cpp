// Still-image filter throughput on a headless context, split into its three stages:
// texture upload, draw and read-back. The stripe draw runs beside a pass-through draw
// of the same quad and texture, with the same sampling, so that the cost of the stripe
// program shows as a ratio of the two. The draws sample the texture linearly (as for a
// scaled picture) and, the third argument 1, at the nearest texel (as the lens draws a
// picture texel for pixel). A second stripe draw uses unequal switches (red 3, green 1), for
// which some pixels lie in both a red and a green band and are weighed twice. Counter
// "MP/s": megapixels per second.
//
//   filter_bench [--benchmark_filter=1200x800]
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gl/EGLHeadlessContext.h"
#include "render/PixelBufferRenderer.h"
#include "render/ShaderProgramBuilder.h"
#include "render/TalvexFilter.h"

namespace talvex {
namespace {

const char* const passThroughFragmentSource = R"glsl(
uniform sampler2D videoframe;
varying vec2 coordinate;
void main()
{
    gl_FragColor = texture2D(videoframe, coordinate);
}
)glsl";

// The least a program that weighs colours in linear light costs: the sampled colour
// taken into linear light, moved halfway to white (as a band moves it) and brought back
// with a square root, which is cheaper than the stripe program's way back. No bands and
// no weights: what it costs above a pass-through draw, every stripe draw pays too.
const char* const linearLightTripFragmentSource = R"glsl(
uniform sampler2D videoframe;
varying vec2 coordinate;
void main()
{
    vec4 sampled = texture2D(videoframe, coordinate);
    vec3 linear = mix(pow(sampled.rgb, vec3(1.8)), vec3(1.0), 0.5);
    gl_FragColor = vec4(sqrt(linear), sampled.a);
}
)glsl";

// A hue sweep across and a brightness ramp down: every band meets reds, greens and
// everything between.
std::vector<std::uint8_t> sweepImage(int width, int height) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double hue = 6.0 * x / width;
            const double value = 1.0 - 0.6 * y / height;
            auto channel = [&](double offset) {
                const double d = std::fabs(std::fmod(hue + offset, 6.0) - 3.0);
                return static_cast<std::uint8_t>(255 * value * std::clamp(d - 1.0, 0.0, 1.0));
            };
            std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = channel(2);  // blue
            p[1] = channel(4);  // green
            p[2] = channel(0);  // red
            p[3] = 255;
        }
    }
    return bytes;
}

std::vector<std::uint8_t> solidImage(int width, int height, Rgb colour) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t p = 0; p < bytes.size(); p += 4) {
        bytes[p] = colour.blue;
        bytes[p + 1] = colour.green;
        bytes[p + 2] = colour.red;
        bytes[p + 3] = 255;
    }
    return bytes;
}

// One drawable, the two programs and the uploaded picture.
class Stage {
public:
    Stage(int width, int height, bool nearest, TalvexFilter::SwitchOverrides switches,
          std::optional<Rgb> fill = std::nullopt)
        : width_(width),
          height_(height),
          bytes_(fill ? solidImage(width, height, *fill) : sweepImage(width, height)),
          filter_(switches) {
        context_ = EGLHeadlessContext::create(width, height);
        if (!context_)
            return;
        lock_ = std::make_unique<ContextLock>(*context_);
        stripe_ =
            build(filter_.isFinding() ? filter_.findingFragmentSource() : filter_.fragmentSource());
        passThrough_ = build(passThroughFragmentSource);
        linearLightTrip_ = build(linearLightTripFragmentSource);
        FixedView view(width, height);
        filter_.prepareForView(view);
        glViewport(0, 0, width, height);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, PixelBufferRenderer::textureName);
        upload();
        const GLint sampling = nearest ? GL_NEAREST : GL_LINEAR;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, sampling);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sampling);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    ~Stage() {
        if (!lock_)
            return;
        glDeleteProgram(stripe_);
        glDeleteProgram(passThrough_);
        glDeleteProgram(linearLightTrip_);
    }

    bool ready() const { return stripe_ != 0 && passThrough_ != 0 && linearLightTrip_ != 0; }

    void upload() {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, width_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width_, height_, 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, bytes_.data());
        glFinish();
    }

    void draw(GLuint program) {
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, "videoframe"), 0);
        filter_.applyParametersForTextureOfWidth(width_, height_);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glFinish();
    }

    void readBack() {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels_.data());
    }

    GLuint stripe() const { return stripe_; }
    GLuint passThrough() const { return passThrough_; }
    GLuint linearLightTrip() const { return linearLightTrip_; }
    double megapixels() const { return width_ * static_cast<double>(height_) / 1e6; }

private:
    class FixedView : public ShaderFilterView {
    public:
        FixedView(int width, int height) : bounds_(0, 0, width, height) {}
        Rect bounds() const override { return bounds_; }
        double backingScaleFactor() const override { return 1; }

    private:
        Rect bounds_;
    };

    GLuint build(const char* fragmentSource) {
        GLuint program = 0;
        buildProgram(filter_.vertexSource(), fragmentSource, filter_.attributeCount(),
                     filter_.attributeNames(), filter_.attributeLocations(), &program);
        return program;
    }

    int width_, height_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint8_t> pixels_ = std::vector<std::uint8_t>(bytes_.size());
    TalvexFilter filter_;
    std::unique_ptr<EGLHeadlessContext> context_;
    std::unique_ptr<ContextLock> lock_;
    GLuint stripe_ = 0, passThrough_ = 0, linearLightTrip_ = 0;
};

enum class Step { upload, stripeDraw, passThroughDraw, linearLightTripDraw, readBack };

void run(benchmark::State& state, Step step,
         TalvexFilter::SwitchOverrides switches = TalvexFilter::SwitchOverrides{1, 1},
         std::optional<Rgb> fill = std::nullopt) {
    Stage stage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                state.range(2) != 0, switches, fill);
    if (!stage.ready()) {
        state.SkipWithError("no headless OpenGL");
        return;
    }
    for (auto _ : state) {
        switch (step) {
            case Step::upload:
                stage.upload();
                break;
            case Step::stripeDraw:
                stage.draw(stage.stripe());
                break;
            case Step::passThroughDraw:
                stage.draw(stage.passThrough());
                break;
            case Step::linearLightTripDraw:
                stage.draw(stage.linearLightTrip());
                break;
            case Step::readBack:
                stage.readBack();
                break;
        }
    }
    state.counters["MP/s"] =
        benchmark::Counter(stage.megapixels() * state.iterations(), benchmark::Counter::kIsRate);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({400, 300, 0})->Args({1200, 800, 0})->Args({1920, 1080, 0});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void sizesAndSamplings(benchmark::internal::Benchmark* b) {
    sizes(b);
    b->Args({400, 300, 1})->Args({1200, 800, 1})->Args({1920, 1080, 1});
}

void Upload(benchmark::State& state) {
    run(state, Step::upload);
}
void StripeDraw(benchmark::State& state) {
    run(state, Step::stripeDraw);
}
void StripeDrawUnequalSwitches(benchmark::State& state) {
    run(state, Step::stripeDraw, TalvexFilter::SwitchOverrides{3, 1});
}
// Finding teal: every pixel also works out its CIELAB distance; in the sweep most turn
// grey (and skip the stripes), in a picture all of teal every pixel is found and striped.
constexpr TalvexFilter::SwitchOverrides findingTeal{1, 1, std::nullopt, Rgb{0, 128, 128},
                                                    FindNear::medium};
void StripeDrawFinding(benchmark::State& state) {
    run(state, Step::stripeDraw, findingTeal);
}
void StripeDrawAllTeal(benchmark::State& state) {
    run(state, Step::stripeDraw, TalvexFilter::SwitchOverrides{1, 1}, Rgb{0, 128, 128});
}
void StripeDrawFindingAllTeal(benchmark::State& state) {
    run(state, Step::stripeDraw, findingTeal, Rgb{0, 128, 128});
}
void PassThroughDraw(benchmark::State& state) {
    run(state, Step::passThroughDraw);
}
void LinearLightTripDraw(benchmark::State& state) {
    run(state, Step::linearLightTripDraw);
}
void ReadBack(benchmark::State& state) {
    run(state, Step::readBack);
}

BENCHMARK(Upload)->Apply(sizes);
BENCHMARK(StripeDraw)->Apply(sizesAndSamplings);
BENCHMARK(StripeDrawUnequalSwitches)->Apply(sizesAndSamplings);
BENCHMARK(StripeDrawFinding)->Apply(sizes);
BENCHMARK(StripeDrawAllTeal)->Apply(sizes);
BENCHMARK(StripeDrawFindingAllTeal)->Apply(sizes);
BENCHMARK(PassThroughDraw)->Apply(sizesAndSamplings);
BENCHMARK(LinearLightTripDraw)->Apply(sizesAndSamplings);
BENCHMARK(ReadBack)->Apply(sizes);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
