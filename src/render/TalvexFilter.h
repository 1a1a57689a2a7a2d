#pragma once

// The stripe filter: supplies the stripe programs and their attribute table, and per
// frame the stripe switches (as last handed over with setLensSettings, so a changed
// setting shows on the next frame), the backing scale factor and texture coordinates
// that make the picture cover the view, centred, aspect kept, the excess cut off
// equally on both sides. A magnified picture is sampled nearest, each texel a square of
// drawable pixels; while a colour is found, the finding program's uniforms are set too.
// The filter never reads the store.
//
// prepareForView(), setLensSettings() (main thread) and
// applyParametersForTextureOfWidth() (capture thread) all run under the view's context
// lock; the filter has no lock of its own.
#include <array>
#include <cstdint>
#include <optional>

#include "platform/Geometry.h"
#include "render/OpenGLShaderFilter.h"
#include "settings/Settings.h"

namespace talvex {

class TalvexFilter final : public OpenGLShaderFilter {
public:
    // Fixed values that win over the settings handed over (the still-image mode's
    // command-line options); an empty value takes the settings'.
    struct SwitchOverrides {
        std::optional<std::int64_t> red{};
        std::optional<std::int64_t> green{};
        std::optional<int> strength{};  // percent, as the stored setting
        std::optional<Rgb> find{};      // a colour to find (the lens: setFoundColour)
        std::optional<FindNear> near{};
    };

    // Registers TalvexsEnabled = YES and GreenStripesEnabled = YES with the standard store.
    static void registerDefaults();

    TalvexFilter() = default;
    explicit TalvexFilter(SwitchOverrides overrides) : overrides_(overrides) {}

    void prepareForView(const ShaderFilterView& view) override;
    void applyParametersForTextureOfWidth(std::uint64_t width, std::uint64_t height) override;

    const char* vertexSource() const override;
    const char* fragmentSource() const override;
    const char* findingFragmentSource() const override;
    std::int32_t attributeCount() const override;
    const std::int32_t* attributeLocations() const override;
    const char* const* attributeNames() const override;
    // The stripe strength (the override, else the settings') as a fraction.
    double strength() const override;
    void setMagnification(int factor) override { magnification_ = factor; }
    void setFoundColour(std::optional<Rgb> colour) override { overrides_.find = colour; }
    void setLensSettings(const LensSettings& settings) override { settings_ = settings; }
    bool isFinding() const override { return overrides_.find.has_value(); }
    // A colour in CIELAB (L*, a*, b*; D65 white), as the stripe program works it out.
    static std::array<float, 3> cielab(Rgb colour);

    // Clip-space corners of the quad, drawn as a 4-vertex triangle strip: lower left,
    // lower right, upper left, upper right.
    static const std::array<float, 8>& quadVertices();

    // The (s, t) pair of each quad corner for a view of viewWidth × viewHeight points
    // and a texture of width × height pixels (t = 0 is the picture's top row). A view
    // or texture without area shows the whole texture.
    static std::array<float, 8> textureVertices(double viewWidth, double viewHeight,
                                                std::uint64_t width, std::uint64_t height);
    // The same for a picture magnified `factor` times: each texel covers factor × factor
    // of the view's viewWidth × viewHeight drawable pixels, the texture centred (see
    // magnifiedOffset).
    static std::array<float, 8> magnifiedTextureVertices(int viewWidth, int viewHeight,
                                                         std::uint64_t width, std::uint64_t height,
                                                         int factor);
    // The drawable pixels of a texture of `texturePixels` magnified `factor` times that
    // lie before the view's first pixel of `viewPixels` (left or top; negative when the
    // texture falls short): half the excess, rounded down to a whole pixel, so that
    // every texel covers exactly `factor` pixels. View pixel p shows texel
    // floor((p + offset) / factor).
    static int magnifiedOffset(int viewPixels, std::uint64_t texturePixels, int factor);
    // The stripe scale for a backing scale factor: the factor itself, or 1 where it is
    // not a positive number (a view not yet in a window), which keeps the stripe period
    // positive.
    static float patternScale(double backingScaleFactor);

    // The coordinates of the last frame; the draw reads them from here.
    const std::array<float, 8>& passThroughTextureVertices() const {
        return passThroughTextureVertices_;
    }

private:
    Rect viewBounds_;
    double scale_ = 0;
    int magnification_ = 1;
    std::array<float, 8> passThroughTextureVertices_{};
    SwitchOverrides overrides_;
    LensSettings settings_;

    std::int64_t redSetting() const;
    std::int64_t greenSetting() const;
    void applyFinding() const;
};

}  // namespace talvex
