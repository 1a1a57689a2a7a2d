#pragma once

// What a pixel buffer view needs from the filter it draws through: the two program
// texts, the attribute table (bound by name before linking), per-view parameters
// taken at each reshape, and per-frame parameters set right before the quad is drawn.
#include <cstdint>

#include <optional>

#include "platform/Geometry.h"
#include "platform/Rgb.h"
#include "settings/LensSettings.h"

namespace talvex {

// The view state a filter reads at reshape time.
class ShaderFilterView {
public:
    virtual ~ShaderFilterView() = default;
    // Bounds of the view in points (only width and height matter to filters).
    virtual Rect bounds() const = 0;
    // Backing scale factor of the view's window (device pixels per point); 0 without window.
    virtual double backingScaleFactor() const = 0;
};

class OpenGLShaderFilter {
public:
    virtual ~OpenGLShaderFilter() = default;

    // Copies bounds and backing scale; touches no GL state.
    virtual void prepareForView(const ShaderFilterView& view) = 0;
    // Sets the vertex inputs for one draw of a texture of width × height pixels.
    // Needs the program in use and a current context.
    virtual void applyParametersForTextureOfWidth(std::uint64_t width, std::uint64_t height) = 0;

    virtual const char* vertexSource() const = 0;
    virtual const char* fragmentSource() const = 0;
    // The fragment program for the draws while a colour is found (see isFinding), built
    // with the same vertex program and attributes; none: the one program serves.
    virtual const char* findingFragmentSource() const { return nullptr; }
    virtual std::int32_t attributeCount() const = 0;
    virtual const std::int32_t* attributeLocations() const = 0;
    virtual const char* const* attributeNames() const = 0;

    // How strongly the filtered picture shows, from 0 (not at all) to 1 (fully, the
    // default). Below 1 the renderer draws the plain picture first and blends the
    // filtered one over it at this constant; read once per frame.
    virtual double strength() const { return 1.0; }

    // How many times the picture about to be drawn was enlarged: each texel of it covers
    // factor × factor drawable pixels, the texture centred in the view. Set before each
    // draw; 1 (the default) leaves the picture at its own size.
    virtual void setMagnification(int /*factor*/) {}
    // The colour being found (none: nothing is), for the draws from now on.
    virtual void setFoundColour(std::optional<Rgb> /*colour*/) {}
    // The settings the draws from now on follow (stripe switches, strength, find range).
    virtual void setLensSettings(const LensSettings& /*settings*/) {}
    // Whether the draws from now on find a colour (and need the finding program).
    virtual bool isFinding() const { return false; }
};

}  // namespace talvex
