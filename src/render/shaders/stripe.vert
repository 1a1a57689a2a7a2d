
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
