#pragma once

#include <memory>

// The parts of KWin's effect API that moved between 5.27 and 6: the effect builds for
// the KWin it is configured against (TALVEX_KWIN6 for 6.x) from this one source.
#ifdef TALVEX_KWIN6
#include <effect/effecthandler.h>
#include <effect/effectwindow.h>
#include <effect/offscreeneffect.h>
#include <opengl/glshader.h>
#include <opengl/glshadermanager.h>
#include <opengl/gltexture.h>
#include <opengl/openglcontext.h>
#else
#include <kwineffects.h>
#include <kwinglplatform.h>
#include <kwingltexture.h>
#include <kwinglutils.h>
#include <kwinoffscreeneffect.h>
#endif

namespace talvex::kwin {

// The pointer's position as KWin reports it (mouseChanged).
#ifdef TALVEX_KWIN6
using PointerPosition = QPointF;
#else
using PointerPosition = QPoint;
#endif

// True when KWin's shaders are GLSL 1.40 or later ("core"): a custom fragment program
// must then speak the same dialect as the vertex program KWin generates for it.
inline bool coreShaders() {
#ifdef TALVEX_KWIN6
    const auto* context = KWin::OpenGlContext::currentContext();
    return context && !context->isOpenGLES() && context->glslVersion() >= KWin::Version(1, 40);
#else
    const auto* platform = KWin::GLPlatform::instance();
    return !platform->isGLES() && platform->glslVersion() >= KWin::kVersionNumber(1, 40);
#endif
}

inline std::unique_ptr<KWin::GLTexture> allocateTexture(const QSize& size) {
#ifdef TALVEX_KWIN6
    return KWin::GLTexture::allocate(GL_RGBA8, size);
#else
    return std::make_unique<KWin::GLTexture>(GL_RGBA8, size);
#endif
}

// The uniform of a program's model-view-projection matrix.
#ifdef TALVEX_KWIN6
constexpr auto modelViewProjection = KWin::GLShader::Mat4Uniform::ModelViewProjectionMatrix;
#else
constexpr auto modelViewProjection = KWin::GLShader::ModelViewProjectionMatrix;
#endif

// Draws the bound program over a quad of `deviceSize` at the origin of its matrix.
inline void renderTexture(KWin::GLTexture& texture, const QSizeF& deviceSize) {
#ifdef TALVEX_KWIN6
    texture.render(deviceSize);
#else
    const QRect rect(QPoint(0, 0), deviceSize.toSize());
    texture.render(QRegion(rect), rect, 1.0);
#endif
}

}  // namespace talvex::kwin
