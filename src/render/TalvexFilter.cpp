#include "render/TalvexFilter.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>

#include "platform/UserDefaults.h"
#include "render/StripeShaderSources.h"
#include "settings/Settings.h"

namespace talvex {

namespace {

enum Attribute : std::int32_t { position = 0, texturecoordinate, scale, showred, showgreen };

constexpr std::int32_t attributeLocationTable[] = {position, texturecoordinate, scale, showred,
                                                   showgreen};
constexpr const char* attributeNameTable[] = {"position", "texturecoordinate", "scale", "showred",
                                              "showgreen"};

bool isPositive(double v) {
    return std::isfinite(v) && v > 0;
}

// Points × scale in whole drawable pixels, as the viewport has them.
int drawablePixels(double points, double scale) {
    const double pixels = std::trunc(points * scale);
    return pixels > 0 && pixels < 1e9 ? static_cast<int>(pixels) : 0;
}

// The centred fraction of the texture's width (e) and height (f) that the view shows
// when the picture is scaled to cover the view with its aspect ratio kept.
struct VisibleFraction {
    double e = 1;
    double f = 1;
};

VisibleFraction visibleFraction(double W, double H, std::uint64_t width, std::uint64_t height) {
    if (!isPositive(W) || !isPositive(H) || width == 0 || height == 0)
        return {};
    const double w = static_cast<double>(width);
    const double h = static_cast<double>(height);
    const double rw = W / w;
    const double rh = H / h;
    if (rh > rw)
        return {W / (rh * w), 1};  // fill the height, crop the width
    return {1, H / (rw * h)};      // fill the width, crop the height
}

}  // namespace

void TalvexFilter::registerDefaults() {
    UserDefaults::standard().registerDefaults(
        {{keys::redStripesEnabled, true}, {keys::greenStripesEnabled, true}});
}

void TalvexFilter::prepareForView(const ShaderFilterView& view) {
    viewBounds_ = view.bounds();
    scale_ = view.backingScaleFactor();
}

void TalvexFilter::applyParametersForTextureOfWidth(std::uint64_t width, std::uint64_t height) {
    // 1-2. Per-draw constants: the switches as last handed over, and the scale.
    glVertexAttrib1f(showred, static_cast<float>(redSetting()));
    glVertexAttrib1f(showgreen, static_cast<float>(greenSetting()));
    glVertexAttrib1f(scale, patternScale(scale_));

    // 3. The quad.
    glVertexAttribPointer(position, 2, GL_FLOAT, GL_FALSE, 0, quadVertices().data());
    glEnableVertexAttribArray(position);

    // 4-7. The visible part of the texture, read in place by the draw; a magnified one
    // sampled without smoothing, so that its pixels stay sharp squares (otherwise the
    // caller's sampling stays: nearest where it draws texel for pixel).
    if (magnification_ > 1) {
        passThroughTextureVertices_ = magnifiedTextureVertices(
            drawablePixels(viewBounds_.width(), scale_),
            drawablePixels(viewBounds_.height(), scale_), width, height, magnification_);
    } else {
        passThroughTextureVertices_ =
            textureVertices(viewBounds_.width(), viewBounds_.height(), width, height);
    }
    if (magnification_ > 1)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    applyFinding();
    glVertexAttribPointer(texturecoordinate, 2, GL_FLOAT, GL_FALSE, 0,
                          passThroughTextureVertices_.data());
    glEnableVertexAttribArray(texturecoordinate);
}

std::array<float, 8> TalvexFilter::textureVertices(double viewWidth, double viewHeight,
                                                   std::uint64_t width, std::uint64_t height) {
    const VisibleFraction v = visibleFraction(viewWidth, viewHeight, width, height);
    const float left = static_cast<float>((1 - v.e) / 2);
    const float right = static_cast<float>((1 + v.e) / 2);
    const float top = static_cast<float>((1 - v.f) / 2);
    const float bottom = static_cast<float>((1 + v.f) / 2);
    // Lower left, lower right, upper left, upper right.
    return {left, bottom, right, bottom, left, top, right, top};
}

int TalvexFilter::magnifiedOffset(int viewPixels, std::uint64_t texturePixels, int factor) {
    const double excess = static_cast<double>(texturePixels) * factor - viewPixels;
    return static_cast<int>(std::floor(excess / 2));
}

std::array<float, 8> TalvexFilter::magnifiedTextureVertices(int viewWidth, int viewHeight,
                                                            std::uint64_t width,
                                                            std::uint64_t height, int factor) {
    if (viewWidth <= 0 || viewHeight <= 0 || width == 0 || height == 0 || factor < 1)
        return textureVertices(0, 0, width, height);
    const double spanX = static_cast<double>(width) * factor;
    const double spanY = static_cast<double>(height) * factor;
    const int offsetX = magnifiedOffset(viewWidth, width, factor);
    const int offsetY = magnifiedOffset(viewHeight, height, factor);
    const float left = static_cast<float>(offsetX / spanX);
    const float right = static_cast<float>((offsetX + viewWidth) / spanX);
    const float top = static_cast<float>(offsetY / spanY);
    const float bottom = static_cast<float>((offsetY + viewHeight) / spanY);
    return {left, bottom, right, bottom, left, top, right, top};
}

// The finding program's uniforms, set on the program in use (the renderer has it in
// use while a colour is found).
void TalvexFilter::applyFinding() const {
    if (!overrides_.find)
        return;
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    if (program == 0)
        return;
    glUniform1f(glGetUniformLocation(program, "finding"), 1.0f);
    const std::array<float, 3> lab = cielab(*overrides_.find);
    glUniform3f(glGetUniformLocation(program, "findLab"), lab[0], lab[1], lab[2]);
    const FindNear near = overrides_.near ? *overrides_.near : settings_.findNear;
    glUniform1f(glGetUniformLocation(program, "findRange"), static_cast<float>(findRange(near)));
}

std::array<float, 3> TalvexFilter::cielab(Rgb colour) {
    const auto linear = [](std::uint8_t v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const auto curve = [](double t) {
        return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
    };
    const double r = linear(colour.red), g = linear(colour.green), b = linear(colour.blue);
    const double fx = curve((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047);
    const double fy = curve(0.2126 * r + 0.7152 * g + 0.0722 * b);
    const double fz = curve((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
    return {static_cast<float>(116 * fy - 16), static_cast<float>(500 * (fx - fy)),
            static_cast<float>(200 * (fy - fz))};
}

float TalvexFilter::patternScale(double backingScaleFactor) {
    return isPositive(backingScaleFactor) ? static_cast<float>(backingScaleFactor) : 1.0f;
}

const std::array<float, 8>& TalvexFilter::quadVertices() {
    static constexpr std::array<float, 8> quad = {-1, -1, 1, -1, -1, 1, 1, 1};
    return quad;
}

const char* TalvexFilter::vertexSource() const {
    return stripeVertexSource;
}
const char* TalvexFilter::fragmentSource() const {
    return stripeFragmentSource;
}
const char* TalvexFilter::findingFragmentSource() const {
    return stripeFindingFragmentSource;
}
std::int32_t TalvexFilter::attributeCount() const {
    return 5;
}
const std::int32_t* TalvexFilter::attributeLocations() const {
    return attributeLocationTable;
}
const char* const* TalvexFilter::attributeNames() const {
    return attributeNameTable;
}

double TalvexFilter::strength() const {
    const int percent = overrides_.strength && isStripeStrength(*overrides_.strength)
                            ? *overrides_.strength
                            : settings_.strength;
    return percent / 100.0;
}

std::int64_t TalvexFilter::redSetting() const {
    if (overrides_.red)
        return *overrides_.red;
    return settings_.redStripes;
}

std::int64_t TalvexFilter::greenSetting() const {
    if (overrides_.green)
        return *overrides_.green;
    return settings_.greenStripes;
}

}  // namespace talvex
