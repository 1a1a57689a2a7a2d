#pragma once

// The two programs of the stripe filter, in the OpenGL Shading Language 1.10 (no
// version line): a pass-through vertex program and the fragment program that lays
// diagonal stripes over reddish and greenish colours.
//
// Vertex inputs (bound by name): position, texturecoordinate, scale (backing scale
// factor), showred, showgreen (the stripe switches). Fragment uniform: videoframe,
// the captured picture on texture unit 0.
//
// The texts are the files render/shaders/stripe.vert and stripe.frag, embedded by the
// build; the GNOME Shell extension's shader is generated from the same files.
namespace talvex {

extern const char* const stripeVertexSource;
extern const char* const stripeFragmentSource;
// The fragment program with Find a Colour built in, drawn only while a colour is found.
extern const char* const stripeFindingFragmentSource;

}  // namespace talvex
