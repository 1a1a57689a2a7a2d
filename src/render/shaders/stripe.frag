
uniform sampler2D videoframe;

varying vec2 coordinate;
varying float patternscale;
varying float showRed;
varying float showGreen;

const float noBand = 0.0;
const float whiteBand = 1.0;
const float blackBand = -1.0;

// Colours are weighed in linear light (the sampled value to the power 1.8). A software
// rasteriser runs every instruction for every fragment of a block, where a pow costs
// several square roots. The weights need the linear values exactly (their clamped
// factors nearly cancel for some colours, so a 0.1 % error there moves the drawn colour
// by several levels), but the way back only has to land within a level: it is one
// square root and a polynomial.

// x^(1/1.8) for linear values x in [0, 1]: root * root^(1/9) with root = sqrt(x), the
// last factor fitted to within 0.16 of an 8-bit level of the result.
vec3 fromLinear(vec3 x)
{
    vec3 root = sqrt(x);
    vec3 p = 0.6447031 + root * (1.6192732 + root * (-4.5247726
             + root * (7.2695591 + root * (-5.8195395 + root * 1.8113993))));
    return root * p;
}

// The weight of one band of the linear colour c:
//   red white    redPrimaryMix   = makePrimary(mixture(c, showRed)^1.0)
//   red black    redMix          = mixture(c, showRed)^1.8
//   green white  greenPrimaryMix = clamp(1.4 * mixture2(greenValues(c), showGreen, 1.3)^0.4)
//   green black  greenMix        = mixture2(greenValues(c), showGreen, 2.0)^0.4
// where, for values v = (x, y, z) (c itself for red, sqrt(c).grb for green, green
// first), lead = (x - y) / |v.xy|, L = (max + min) / 2 and
//   mixture  = clamp(showRed * lead) * clamp((x - 0.2 z) / |v|) * clamp(3 sqrt(L (1 - L)))
//   mixture2 = clamp(showGreen) * clamp(lead) * clamp(threshold - 2 z / |v|)
//              * clamp(4 (L * clamp(5 (saturation - 0.02)))^2),  saturation = (max - min) / max
// with clamp to [0, 1]. Colours with x = y = 0 (black among them) weigh 0. Both families
// share the measures of v and one division.
float bandWeight(vec3 c, bool red, bool white)
{
    vec3 v = red ? c : sqrt(c).grb;
    float xy2 = dot(v.xy, v.xy);
    float xyLength = sqrt(xy2);
    float length3 = sqrt(xy2 + v.z * v.z);
    float cmax = max(max(v.x, v.y), v.z);
    float cmin = min(min(v.x, v.y), v.z);
    float inverse = 1.0 / (xyLength * length3 * cmax);
    float lead = (v.x - v.y) * length3 * cmax * inverse;
    float zShare = v.z * xyLength * cmax * inverse;
    float L = (cmax + cmin) * 0.5;

    float redM = clamp(showRed * lead, 0.0, 1.0)
                 * clamp((v.x - 0.2 * v.z) * xyLength * cmax * inverse, 0.0, 1.0)
                 * sqrt(clamp(9.0 * L * (1.0 - L), 0.0, 1.0));
    float saturation = (cmax - cmin) * xyLength * length3 * inverse;
    float light = L * clamp(5.0 * saturation - 0.1, 0.0, 1.0);
    float greenM = clamp(showGreen, 0.0, 1.0) * clamp(lead, 0.0, 1.0)
                   * clamp((white ? 1.3 : 2.0) - 2.0 * zShare, 0.0, 1.0)
                   * min(4.0 * light * light, 1.0);

    float m = red ? redM : greenM;
    float weight = pow(m, red ? (white ? 1.0 : 1.8) : 0.4);
    if (white) {
        weight = red ? clamp(weight * 1.3 - 0.3, 0.0, 1.0) : min(1.4 * weight, 1.0);
    }
    // Tiny values would underflow the shared division; they weigh nothing anyway.
    return xy2 > 1e-20 ? weight : 0.0;
}

// mod(x, period) with one shared division: the product with the inverse may round to
// the next or the previous period at an exact multiple, which the selects put right.
float reduced(float x, float period, float inversePeriod)
{
    float r = x - period * floor(x * inversePeriod);
    r = r >= period ? r - period : r;
    return r < 0.0 ? r + period : r;
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
    float inversePeriod = 1.0 / stepBound;
    float stepRed = reduced(showRed * (fy + fx), stepBound, inversePeriod);
    float stepNonGreen = reduced(showGreen * (fy + fx), stepBound, inversePeriod);
    float stepGreen = reduced(showGreen * (fy - fx), stepBound, inversePeriod);

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
        float weight = band == noBand ? 0.0 : bandWeight(c.rgb, red, white);
        c.rgb = mix(c.rgb, vec3(white ? 1.0 : 0.0), weight);
        bands = red ? vec2(noBand, bands.y) : vec2(noBand);
    } while (bands.y != noBand);
    return c;
}

// Find a Colour: while finding is 1, colours within findRange (CIELAB distance) of
// the colour findLab (L*, a*, b*) keep their colour and stripes; every other colour
// is drawn grey at a dimmed lightness. Uniforms, so that a caller that never sets them
// finds nothing. Built only into the program that finds (TALVEX_FINDING defined): a
// software rasteriser pays for the test on every pixel even while it is off.
#ifdef TALVEX_FINDING
uniform float finding;
uniform vec3 findLab;
uniform float findRange;

// CIELAB's curve, t^(1/3) above 0.008856 and a line below, for three values at once.
// The cube root is a polynomial in the square root (within 3 %) and one Newton step.
vec3 labCurve(vec3 t)
{
    vec3 above = max(t, 0.008856);
    vec3 u = sqrt(above);
    vec3 y = u * (2.6717408 + u * (-6.9402020 + u * (13.447001 + u * (-12.736422
             + u * 4.5691992))));
    y = (2.0 * y + above / (y * y)) / 3.0;
    return mix(7.787 * t + 16.0 / 116.0, y, step(0.008856, t));
}

// An sRGB colour in CIELAB (D65 white). A software rasteriser pays several square
// roots for each pow, so both curves are fitted: the way into linear light is a
// polynomial above the linear segment (within 0.6 %), the cube root as above. Over
// the colour cube the result lies within 0.2 of the exact CIELAB colour.
vec3 cielab(vec3 c)
{
    vec3 curve = 0.0010079 + c * (0.0297640 + c * (0.5492686 + c * (0.5531693
                 - c * 0.1349550)));
    vec3 lin = mix(c / 12.92, curve, step(0.04045, c));
    vec3 f = labCurve(vec3(dot(lin, vec3(0.4124, 0.3576, 0.1805)) / 0.95047,
                           dot(lin, vec3(0.2126, 0.7152, 0.0722)),
                           dot(lin, vec3(0.0193, 0.1192, 0.9505)) / 1.08883));
    return vec3(116.0 * f.y - 16.0, 500.0 * (f.x - f.y), 200.0 * (f.y - f.z));
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
#endif

// Pixels in no band, and pixels a band weighs 0, are written as sampled, without the
// trip into linear light and back.
void main()
{
    vec4 sampled = texture2D(videoframe, coordinate);
#ifdef TALVEX_FINDING
    if (finding > 0.5) {
        vec4 dimmed = foundOrDimmed(sampled);
        if (dimmed.a >= 0.0) {
            gl_FragColor = dimmed;
            return;
        }
    }
#endif
    vec2 bands = stripeBands();
    vec3 linear = pow(sampled.rgb, vec3(1.8));
    vec4 c = talvex(vec4(linear, sampled.a), bands);
    bool changed = any(notEqual(c.rgb, linear));
    gl_FragColor = vec4(changed ? fromLinear(c.rgb) : sampled.rgb, sampled.a);
}
