
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
float rgb2rgsl(float cmax, float cmin)
{
    if (cmax - cmin == 0.0) {
        return 0.0;
    }
    return (cmax + cmin) * 0.5;
}

float lightness(float cmax, float cmin)
{
    return (cmax + cmin) * 0.5;
}

float hsvsaturation(float cmax, float cmin)
{
    if (cmax <= 0.0) {
        return 0.0;
    }
    return (cmax - cmin) / cmax;
}

float makePrimary(float v)
{
    return clamp(v * factor - (factor - 1.0), 0.0, 1.0);
}

// The measures of a colour v = (x, y, z) that both weight formulas use.
struct ColourShape {
    bool defined;        // x and y not both 0: the x-y direction exists
    float xyLead;        // dot(normalize(v.xy), (1, -1))
    float inverseLength; // 1 / |v|
    float cmax;
    float cmin;
};

ColourShape colourShape(vec3 v)
{
    ColourShape shape;
    float xyLength = length(v.xy);
    shape.defined = xyLength > 0.0;
    shape.xyLead = shape.defined ? (v.x - v.y) / xyLength : 0.0;
    shape.inverseLength = shape.defined ? 1.0 / length(v) : 0.0;
    shape.cmax = max(max(v.x, v.y), v.z);
    shape.cmin = min(min(v.x, v.y), v.z);
    return shape;
}

// How red the linear colour c is, before the power: the red-green lead, damped by
// blue and by very dark or very light colours.
float mixture(vec3 c, ColourShape shape, float redGreenMix)
{
    float redGreenFactor = shape.xyLead;
    float blueFactor = clamp((c.r - 0.2 * c.b) * shape.inverseLength, 0.0, 1.0);
    float L = rgb2rgsl(shape.cmax, shape.cmin);
    float halfIntensity = sqrt(L) * sqrt(1.0 - L) * 2.0;
    return clamp(redGreenMix * redGreenFactor, 0.0, 1.0) * blueFactor
           * clamp(halfIntensity * 1.5, 0.0, 1.0);
}

// How much x leads y in values = (x, y, z) while z stays below zThreshold, damped for
// dark and unsaturated values, before the power.
float mixture2(vec3 values, ColourShape shape, float xyMix, float zThreshold)
{
    float xyFactor = clamp(shape.xyLead, 0.0, 1.0);
    float zFactor = clamp(zThreshold - 2.0 * values.z * shape.inverseLength, 0.0, 1.0);
    float light = lightness(shape.cmax, shape.cmin)
                  * clamp(5.0 * (-0.02 + hsvsaturation(shape.cmax, shape.cmin)), 0.0, 1.0);
    float m = clamp(xyMix, 0.0, 1.0) * xyFactor * zFactor * clamp(4.0 * light * light, 0.0, 1.0);
    return clamp(m, 0.0, 1.0);
}

// Green is weighed on the square roots of the linear colour, green first.
vec3 greenValues(vec3 c)
{
    return sqrt(c).grb;
}

// The weight of one band of the linear colour c:
//   red white    redPrimaryMix   = makePrimary(mixture(c, showRed)^1.0)
//   red black    redMix          = mixture(c, showRed)^1.8
//   green white  greenPrimaryMix = clamp(1.4 * mixture2(greenValues(c), showGreen, 1.3)^0.4)
//   green black  greenMix        = mixture2(greenValues(c), showGreen, 2.0)^0.4
float bandWeight(vec3 c, bool red, bool white)
{
    vec3 values = red ? c : greenValues(c);
    ColourShape shape = colourShape(values);
    if (!shape.defined) {
        return 0.0;
    }
    float m = red ? mixture(values, shape, showRed)
                  : mixture2(values, shape, showGreen, white ? 1.3 : 2.0);
    float power = red ? (white ? 1.0 : 1.8) : 0.4;
    float weight = pow(m, power);
    if (white) {
        weight = red ? makePrimary(weight) : clamp(1.4 * weight, 0.0, 1.0);
    }
    return weight;
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

// Applies the bands of this fragment to the linear colour c, one after the other: the
// red band first, then the green band weighed on the colour the red band left. The
// alpha stays.
//
// Only switches that differ with neither of them 0 can put both bands on one fragment;
// with the values the settings menus store a fragment lies in at most one band. The
// second pass therefore sits in a loop rather than behind an if: a software rasteriser
// runs both sides of an if for every block of fragments, but repeats a loop only while
// some fragment of the block still needs it.
vec4 talvex(vec4 c, vec2 bands)
{
    do {
        bool red = bands.x != noBand;
        float band = red ? bands.x : bands.y;
        bool white = band == whiteBand;
        c.rgb = mix(c.rgb, vec3(white ? 1.0 : 0.0), bandWeight(c.rgb, red, white));
        bands = red ? vec2(noBand, bands.y) : vec2(noBand);
    } while (bands.y != noBand);
    return c;
}

// Find a Colour: while finding is 1, colours within findRange (CIELAB distance) of
// the colour findLab (L*, a*, b*) keep their colour and stripes; every other colour
// is drawn grey at a dimmed lightness. Uniforms, so that a caller that never sets them
// finds nothing.
uniform float finding;
uniform vec3 findLab;
uniform float findRange;

float labCurve(float t)
{
    return t > 0.008856 ? pow(t, 1.0 / 3.0) : 7.787 * t + 16.0 / 116.0;
}

// An sRGB colour in CIELAB (D65 white).
vec3 cielab(vec3 c)
{
    vec3 lin = mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(0.04045, c));
    float fx = labCurve(dot(lin, vec3(0.4124, 0.3576, 0.1805)) / 0.95047);
    float fy = labCurve(dot(lin, vec3(0.2126, 0.7152, 0.0722)));
    float fz = labCurve(dot(lin, vec3(0.0193, 0.1192, 0.9505)) / 1.08883);
    return vec3(116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz));
}

// The colour c as finding draws it when it lies outside the range: grey, dimmed; a
// negative alpha when it is found (drawn as usual).
vec4 foundOrDimmed(vec4 c)
{
    vec3 lab = cielab(c.rgb);
    if (distance(lab, findLab) <= findRange) {
        return vec4(-1.0);
    }
    return vec4(vec3(0.12 + 0.4 * clamp(lab.x / 100.0, 0.0, 1.0)), c.a);
}

void main()
{
    vec4 c = texture2D(videoframe, coordinate);
    if (finding > 0.5) {
        vec4 dimmed = foundOrDimmed(c);
        if (dimmed.a >= 0.0) {
            gl_FragColor = dimmed;
            return;
        }
    }
    vec2 bands = stripeBands();
    if (bands.x != noBand || bands.y != noBand) {
        c.rgb = pow(c.rgb, vec3(gamma_value));
        c = talvex(c, bands);
        c.rgb = pow(c.rgb, vec3(1.0 / gamma_value));
    }
    gl_FragColor = c;
}
