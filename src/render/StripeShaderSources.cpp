#include "render/StripeShaderSources.h"

namespace talvex {

// Hands the quad through and the three per-draw constants on to the fragment program.
const char* const stripeVertexSource = R"glsl(
attribute vec4 position;
attribute vec4 texturecoordinate;
attribute float scale;
attribute float showred;
attribute float showgreen;

varying vec2 coordinate;
varying float patternscale;
varying float showRed;
varying float showGreen;

void main()
{
    gl_Position = position;
    coordinate = texturecoordinate.xy;
    patternscale = scale;
    showRed = showred;
    showGreen = showgreen;
}
)glsl";

// Stripes over reddish colours along lines of constant x + y and over greenish
// colours along lines of constant y - x, laid out in drawable pixels with a period of
// 8 points: a white band of 1 point, then 5 points of picture, then a black band of
// 2 points. Each band pulls the colour toward white or black by a weight that says
// how red (or green) the colour is; colours are weighed in linear light.
//
// Where a weight's formula has no direction to work with (red and green both 0, which
// includes black) the weight is 0 and the pixel stays as it is.
//
// Most pixels lie in no band; they are written as sampled, without the trip into
// linear light and back (which would return the same value up to rounding). Inside a
// band only the weight of that band is computed.
const char* const stripeFragmentSource = R"glsl(
uniform sampler2D videoframe;

varying vec2 coordinate;
varying float patternscale;
varying float showRed;
varying float showGreen;

const float gamma_value = 1.8;
const float factor = 1.3;

const float noBand = 0.0;
const float whiteBand = 1.0;
const float blackBand = -1.0;

// Lightness as the conversion to rg-saturation-lightness defines it: the mean of the
// largest and smallest component, and 0 for a colour without chroma.
float rgb2rgsl(vec3 c)
{
    float cmax = max(max(c.r, c.g), c.b);
    float cmin = min(min(c.r, c.g), c.b);
    if (cmax - cmin == 0.0) {
        return 0.0;
    }
    return (cmax + cmin) * 0.5;
}

float lightness(vec3 v)
{
    return (max(max(v.x, v.y), v.z) + min(min(v.x, v.y), v.z)) * 0.5;
}

float hsvsaturation(vec3 v)
{
    float cmax = max(max(v.x, v.y), v.z);
    if (cmax <= 0.0) {
        return 0.0;
    }
    return (cmax - min(min(v.x, v.y), v.z)) / cmax;
}

float makePrimary(float v)
{
    return clamp(v * factor - (factor - 1.0), 0.0, 1.0);
}

// How red the linear colour c is, in [0, 1], raised to mixPower.
float mixture(vec3 c, float redGreenMix, float mixPower)
{
    float redGreenLength = length(c.rg);
    if (redGreenLength <= 0.0) {
        return 0.0;
    }
    float redGreenFactor = (c.r - c.g) / redGreenLength;
    float blueFactor = clamp((c.r - 0.2 * c.b) / length(c), 0.0, 1.0);
    float L = rgb2rgsl(c);
    float halfIntensity = sqrt(L) * sqrt(1.0 - L) * 2.0;
    float m = clamp(redGreenMix * redGreenFactor, 0.0, 1.0) * blueFactor
              * clamp(halfIntensity * 1.5, 0.0, 1.0);
    return pow(m, mixPower);
}

// How much x dominates y in values = (x, y, z) while z stays below zThreshold,
// damped for dark and unsaturated values, raised to power.
float mixture2(vec3 values, float xyMix, float power, float zThreshold)
{
    float xyLength = length(values.xy);
    if (xyLength <= 0.0) {
        return 0.0;
    }
    float xyFactor = clamp((values.x - values.y) / xyLength, 0.0, 1.0);
    float zFactor = clamp(zThreshold - 2.0 * values.z / length(values), 0.0, 1.0);
    float light = lightness(values) * clamp(5.0 * (-0.02 + hsvsaturation(values)), 0.0, 1.0);
    float m = clamp(xyMix, 0.0, 1.0) * xyFactor * zFactor * clamp(4.0 * light * light, 0.0, 1.0);
    return pow(clamp(m, 0.0, 1.0), power);
}

// Weight of the black red band.
float redMix(vec3 c)
{
    return mixture(c, showRed, 1.8);
}

// Weight of the white red band.
float redPrimaryMix(vec3 c)
{
    return makePrimary(mixture(c, showRed, 1.0));
}

// Green is weighed on the square roots of the linear colour, green first.
vec3 greenValues(vec3 c)
{
    return sqrt(c).grb;
}

// Weight of the black green band.
float greenMix(vec3 c)
{
    return mixture2(greenValues(c), showGreen, 0.4, 2.0);
}

// Weight of the white green band.
float greenPrimaryMix(vec3 c)
{
    return clamp(1.4 * mixture2(greenValues(c), showGreen, 0.4, 1.3), 0.0, 1.0);
}

// The band a diagonal coordinate (already reduced to one period) falls in.
float bandAt(float step, float s, float stepBound)
{
    if (step < s) {
        return whiteBand;
    }
    if (step >= 6.0 * s && step < stepBound) {
        return blackBand;
    }
    return noBand;
}

// The red band (x) and the green band (y) of this fragment. Red has priority: green
// bands lie only between the places where red bands can lie. A red white band with a
// switch of 0 has weight 0 and counts as no band.
vec2 stripeBands()
{
    float s = patternscale;
    float stepBound = 8.0 * s;
    float fx = gl_FragCoord.x;
    float fy = gl_FragCoord.y;
    float stepRed = mod(showRed * (fy + fx), stepBound);
    float stepNonGreen = mod(showGreen * (fy + fx), stepBound);
    float stepGreen = mod(showGreen * (fy - fx), stepBound);

    float red = showRed == 0.0 ? noBand : bandAt(stepRed, s, stepBound);
    float green = noBand;
    if (bandAt(stepNonGreen, s, stepBound) == noBand) {
        green = bandAt(stepGreen, s, stepBound);
    }
    return vec2(red, green);
}

// Applies the bands to the linear colour c; the alpha stays.
vec4 talvex(vec4 c, vec2 bands)
{
    if (bands.x == whiteBand) {
        c.rgb = mix(c.rgb, vec3(1.0), redPrimaryMix(c.rgb));
    } else if (bands.x == blackBand) {
        c.rgb = mix(c.rgb, vec3(0.0), redMix(c.rgb));
    }
    if (bands.y == whiteBand) {
        c.rgb = mix(c.rgb, vec3(1.0), greenPrimaryMix(c.rgb));
    } else if (bands.y == blackBand) {
        c.rgb = mix(c.rgb, vec3(0.0), greenMix(c.rgb));
    }
    return c;
}

void main()
{
    vec4 c = texture2D(videoframe, coordinate);
    vec2 bands = stripeBands();
    if (bands.x != noBand || bands.y != noBand) {
        c.rgb = pow(c.rgb, vec3(gamma_value));
        c = talvex(c, bands);
        c.rgb = pow(c.rgb, vec3(1.0 / gamma_value));
    }
    gl_FragColor = c;
}
)glsl";

}  // namespace talvex
