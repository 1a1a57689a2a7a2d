#include "LensEffect.h"

#include "StripeShaderBody.h"

#include <QVector2D>
#include <QVector3D>
#include <cmath>

#ifdef TALVEX_KWIN6
#include <core/rendertarget.h>
#include <core/renderviewport.h>
#endif

namespace talvex::kwin {

using namespace KWin;

namespace {

// The fragment programs of the windows the lens draws, one per role, each with only the
// code its role runs (a software renderer runs every branch of a program, taken or not):
// a window beneath gets the program's stripes over the picture; the panel shows nothing
// there (hole 1: what is beneath shows) or a kept picture (hole 2: the held one, or the
// striped one while nothing in it changed), or a copied area (around the pointer, or
// magnified) enlarged and then striped, so that the stripes keep their size; a
// window beneath while the kept striped picture is shown is drawn plain. Elsewhere the
// texel is drawn as it is.
// lensRect is the picture in the render target's device pixels, y from the top; probe is
// the pixel under the pointer, drawn unstriped for Name Colours ((-1, -1): none).
enum class Role { Beneath, Panel, Around, Plain };

QByteArray roleSource(Role role) {
    switch (role) {
        case Role::Beneath:
            return R"glsl(    if (inside && floor(lens) != probe) {
        talvexSampled = texel;
        talvexFragCoord = vec4(lens, 0.0, 1.0);
        talvexStripes();
        texel = mix(texel, talvexStriped, strength);
    }
)glsl";
        case Role::Panel:
            return R"glsl(    if (inside && hole > 1.5) {
        texel = TEXTURE(heldPicture, lens / lensRect.zw);
    } else if (inside) {
        discard;
    }
)glsl";
        case Role::Around:
            return R"glsl(    if (inside) {
        // Pixel p (from the picture's top-left) shows texel floor((p + offset) / m) of the
        // copy (from its top-left; its rows lie from the bottom).
        vec2 p = vec2(floor(lens.x), lensRect.w - 1.0 - floor(lens.y));
        vec2 copied = floor((p + magnifyOffset) / magnify);
        copied.y = copySize.y - 1.0 - copied.y;
        talvexSampled = TEXTURE(heldPicture, (copied + 0.5) / copySize);
        talvexFragCoord = vec4(lens, 0.0, 1.0);
        talvexStripes();
        texel = mix(talvexSampled, talvexStriped, strength);
    }
)glsl";
        case Role::Plain:
            return {};
    }
    return {};
}

QByteArray fragmentSource(bool core, Role role) {
    QByteArray source = core ? "#version 140\nin vec2 texcoord0;\nout vec4 fragColor;\n"
                             : "varying vec2 texcoord0;\n";
    source += R"glsl(uniform sampler2D sampler;
uniform vec4 lensRect;
uniform float targetHeight;
uniform float topDown;
uniform float hole;
uniform vec2 probe;
uniform sampler2D heldPicture;
uniform float patternscale;
uniform float showRed;
uniform float showGreen;
uniform float strength;
uniform vec2 copySize;
uniform float magnify;
uniform vec2 magnifyOffset;
vec4 talvexSampled;
vec4 talvexFragCoord;
vec4 talvexStriped;
)glsl";
    if (role == Role::Beneath || role == Role::Around) {
        source += talvexStripeBody;
    }
    source += R"glsl(
void main()
{
    vec4 texel = TEXTURE(sampler, texcoord0);
    float fromTop = topDown > 0.5 ? gl_FragCoord.y : targetHeight - gl_FragCoord.y;
    // The program's own drawable counts from the picture's lower-left corner.
    vec2 lens = vec2(gl_FragCoord.x - lensRect.x, lensRect.w - (fromTop - lensRect.y));
    bool inside = lens.x >= 0.0 && lens.y >= 0.0 && lens.x < lensRect.z && lens.y < lensRect.w;
)glsl";
    source += roleSource(role);
    source += "    OUTPUT = texel;\n}\n";
    source.replace("TEXTURE", core ? "texture" : "texture2D");
    source.replace("OUTPUT", core ? "fragColor" : "gl_FragColor");
    return source;
}

constexpr int heldTextureUnit = 1;

// A colour in CIELAB (L*, a*, b*; D65 white), worked out as the program's stripe program
// and its filter do, so that both find the same colours.
QVector3D cielab(const QColor& colour) {
    const auto linear = [](int v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const auto curve = [](double t) {
        return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
    };
    const double r = linear(colour.red()), g = linear(colour.green()), b = linear(colour.blue());
    const double fx = curve((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047);
    const double fy = curve(0.2126 * r + 0.7152 * g + 0.0722 * b);
    const double fz = curve((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
    return QVector3D(float(116 * fy - 16), float(500 * (fx - fy)), float(200 * (fy - fz)));
}

std::unique_ptr<GLShader> makeShader(Role role) {
    auto shader = ShaderManager::instance()->generateCustomShader(
        ShaderTrait::MapTexture, QByteArray(), fragmentSource(coreShaders(), role));
    if (!shader || !shader->isValid()) {
        qWarning("talvex_lens: the stripe program does not build here");
        return nullptr;
    }
    ShaderManager::instance()->pushShader(shader.get());
    shader->setUniform("heldPicture", heldTextureUnit);
    ShaderManager::instance()->popShader();
    return shader;
}

}  // namespace

LensEffect::LensEffect()
    : m_stripeShader(makeShader(Role::Beneath)),
      m_holeShader(makeShader(Role::Panel)),
      m_aroundShader(makeShader(Role::Around)),
      m_plainShader(makeShader(Role::Plain)) {
    connect(&m_service, &LensService::requestChanged, this, &LensEffect::refreshAndRepaint);
    connect(effects, &EffectsHandler::windowAdded, this, [this](EffectWindow* w) {
        watch(w);
        refresh();
    });
    connect(effects, &EffectsHandler::windowClosed, this, &LensEffect::forget);
    connect(effects, &EffectsHandler::stackingOrderChanged, this, &LensEffect::refresh);
    connect(effects, &EffectsHandler::mouseChanged, this, &LensEffect::pointerMoved);
#ifdef TALVEX_KWIN6
    connect(effects, &EffectsHandler::desktopChanged, this, &LensEffect::refresh);
#else
    connect(effects, qOverload<int, int, EffectWindow*>(&EffectsHandler::desktopChanged), this,
            &LensEffect::refresh);
    connect(effects, &EffectsHandler::windowMinimized, this, &LensEffect::refresh);
    connect(effects, &EffectsHandler::windowUnminimized, this, &LensEffect::refresh);
    connect(effects, &EffectsHandler::windowFrameGeometryChanged, this, &LensEffect::refresh);
    connect(effects, &EffectsHandler::windowDamaged, this, &LensEffect::damaged);
#endif
    const auto windows = effects->stackingOrder();
    for (EffectWindow* w : windows) {
        watch(w);
    }
}

// KWin 6 tells a window's changes through the window itself.
void LensEffect::watch([[maybe_unused]] EffectWindow* w) {
#ifdef TALVEX_KWIN6
    connect(w, &EffectWindow::minimizedChanged, this, &LensEffect::refresh);
    connect(w, &EffectWindow::windowFrameGeometryChanged, this, &LensEffect::refresh);
    connect(w, &EffectWindow::windowDesktopsChanged, this, &LensEffect::refresh);
    connect(w, &EffectWindow::windowDamaged, this, &LensEffect::damaged);
#endif
}

// A window beneath changed: the striped picture is drawn again.
void LensEffect::damaged(EffectWindow* w) {
    if (m_beneath.contains(w)) {
        m_striped.reset();
    }
}

// A closing window leaves the lens at once (its closing animation drawn plain).
void LensEffect::forget(EffectWindow* w) {
    if (m_beneath.remove(w) || w == m_panel) {
        unredirect(w);
    }
    if (w == m_panel) {
        m_panel = nullptr;
    }
    refresh();
}

LensEffect::~LensEffect() {
    setMousePolling(false);
}

void LensEffect::setMousePolling([[maybe_unused]] bool on) {
#ifndef TALVEX_KWIN6
    if (on != m_mousePolling) {
        on ? effects->startMousePolling() : effects->stopMousePolling();
    }
#endif
    m_mousePolling = on;
}

bool LensEffect::supported() {
    return effects->isOpenGLCompositing();
}

bool LensEffect::isActive() const {
    return !m_lens.isEmpty() && m_stripeShader && m_holeShader && m_aroundShader && m_plainShader;
}

EffectWindow* LensEffect::panel() const {
    const LensRequest& request = m_service.request();
    return request.attached ? effects->findWindow(WId(request.window)) : nullptr;
}

bool LensEffect::shown(EffectWindow* w) const {
    return w && !w->isDeleted() && !w->isMinimized() && w->isOnCurrentDesktop() &&
           w->isOnCurrentActivity();
}

// Steps: 1. find the panel and the picture on the screen; 2. the shown windows below
// the panel that meet it are drawn through the stripes, the panel with its hole;
// 3. the old and the new lens are drawn again.
// What the program asked changed (or the held picture was kept): the lens is drawn again
// even where the windows in it stay the same.
void LensEffect::refreshAndRepaint() {
    m_repaintPending = true;
    refresh();
}

void LensEffect::refresh() {
    const LensRequest& request = m_service.request();
    m_pointer = QPointF(effects->cursorPos()).toPoint();
    EffectWindow* panel = this->panel();
    QRect lens;
    QSet<EffectWindow*> beneath;
    if (!request.held) {
        m_held.reset();
        m_holdPending = false;
    } else if (!m_held && !m_holdPending) {
        m_holdPending = true;  // the next paint of the lens is kept
    }
    if (shown(panel) && m_stripeShader && m_holeShader && m_aroundShader && m_plainShader) {
        lens = request.picture.translated(panel->clientGeometry().topLeft().toPoint());
        const bool nothingBeneath = m_held || !copiedArea(lens).isEmpty();
        const auto order =
            nothingBeneath ? decltype(effects->stackingOrder())() : effects->stackingOrder();
        for (EffectWindow* w : order) {
            if (w == panel) {
                break;
            }
            if (shown(w) && w->expandedGeometry().toAlignedRect().intersects(lens)) {
                beneath.insert(w);
            }
        }
    } else {
        panel = nullptr;
    }
    // A change elsewhere on the screen leaves the lens as it is: no stripe draw for it.
    const bool changed =
        m_repaintPending || lens != m_lens || beneath != m_beneath || panel != m_panel;
    m_repaintPending = false;
    setRedirected(beneath, panel);
    const QRect around = copiedArea(lens);
    if (around.isEmpty()) {
        m_around.reset();
        m_aroundKept = QRect();
    }
    if (changed) {
        m_striped.reset();
        effects->addRepaint(m_lens.united(lens).united(around));
    }
    m_lens = lens;
    m_service.setDrawing(!lens.isEmpty());
    setMousePolling(request.nameColours || request.area == QLatin1String("pointer"));
    if (request.nameColours && !probing()) {
        m_service.reportColour(std::nullopt);
    }
}

// Name Colours: the pixel under the pointer is drawn beneath without the stripes and read
// back once painted (the pointer's hot spot hides it); around the pointer the pixel is
// read as it is (nothing is striped there); held, nothing is read.
bool LensEffect::probing() const {
    const LensRequest& request = m_service.request();
    return isActive() && request.nameColours && !request.held &&
           (m_lens.contains(m_pointer) || !aroundPointer(m_lens).isEmpty());
}

// Magnify: how many times the picture enlarges what it shows (1 once held).
int LensEffect::magnification() const {
    return m_held ? 1 : int(m_service.request().magnification);
}

// The size of the area a picture of `size` shows: 1/m of it, whole pixels rounded up.
QSize LensEffect::shownSize(const QSize& size) const {
    const int m = magnification();
    return QSize((size.width() + m - 1) / m, (size.height() + m - 1) / m);
}

// Around the Pointer: the area the picture shows centred on the pointer (kept on the
// screen), while the pointer is not over the picture; else empty.
QRect LensEffect::aroundPointer(const QRect& lens) const {
    const LensRequest& request = m_service.request();
    if (lens.isEmpty() || m_held || request.area != QLatin1String("pointer") ||
        lens.contains(m_pointer)) {
        return {};
    }
    const QSize size = shownSize(lens.size());
    QRect around(m_pointer - QPoint(size.width() / 2, size.height() / 2), size);
    const QRect screen = effects->virtualScreenGeometry();
    around.moveLeft(qBound(screen.left(), around.left(), screen.right() + 1 - around.width()));
    around.moveTop(qBound(screen.top(), around.top(), screen.bottom() + 1 - around.height()));
    return around;
}

// The area the picture shows copied and enlarged: around the pointer, or, magnified, the
// middle of what lies beneath it (the odd pixel left over to the right and below, as the
// program's own lens does); else empty (what is beneath shows through the panel).
QRect LensEffect::copiedArea(const QRect& lens) const {
    const QRect around = aroundPointer(lens);
    if (!around.isEmpty() || lens.isEmpty() || magnification() < 2) {
        return around;
    }
    const QSize size = shownSize(lens.size());
    return QRect(lens.topLeft() +
                     QPoint((lens.width() - size.width()) / 2, (lens.height() - size.height()) / 2),
                 size);
}

// The pixels the picture leaves out at the left and top of its copied area enlarged:
// picture pixel p shows copied pixel floor((p + offset) / m).
QPoint LensEffect::magnifyOffset(const QSize& copied, const QSize& picture) const {
    const int m = magnification();
    return QPoint((copied.width() * m - picture.width()) / 2,
                  (copied.height() * m - picture.height()) / 2);
}

// The point of the screen the picture shows under the pointer, magnified.
QPoint LensEffect::shownPoint(const QRect& copied) const {
    const int m = magnification();
    const QPoint p = m_pointer - m_lens.topLeft() + magnifyOffset(copied.size(), m_lens.size());
    return copied.topLeft() + QPoint(p.x() / m, p.y() / m);
}

void LensEffect::pointerMoved(const PointerPosition& position) {
    if (probing()) {
        repaintProbe();
    }
    const QRect aroundBefore = aroundPointer(m_lens);
    m_pointer = QPointF(position).toPoint();
    const QRect around = aroundPointer(m_lens);
    if (around.isEmpty() != aroundBefore.isEmpty()) {
        refreshAndRepaint();  // the pointer came onto the picture or left it
    } else if (!around.isEmpty() && around != aroundBefore) {
        effects->addRepaint(around);  // copied once painted; the lens follows
    }
    if (probing()) {
        repaintProbe();
    } else if (m_service.request().nameColours) {
        m_service.reportColour(std::nullopt);
    }
}

// Name Colours: the pixel under the pointer is painted again, and on a magnified picture
// the pixel it shows there too (where it is read).
void LensEffect::repaintProbe() {
    effects->addRepaint(QRect(m_pointer, QSize(1, 1)));
    const QRect copied = copiedArea(m_lens);
    if (!copied.isEmpty() && m_lens.contains(m_pointer)) {
        effects->addRepaint(QRect(shownPoint(copied), QSize(1, 1)));
    }
}

void LensEffect::setRedirected(const QSet<EffectWindow*>& beneath, EffectWindow* panel) {
    for (EffectWindow* w : std::as_const(m_beneath)) {
        if (!beneath.contains(w) && w != panel) {
            unredirect(w);
        }
    }
    if (m_panel && m_panel != panel && !beneath.contains(m_panel)) {
        unredirect(m_panel);
    }
    for (EffectWindow* w : beneath) {
        if (!m_beneath.contains(w) || w == m_panel) {
            redirect(w);
        }
        setShader(w, m_stripeShader.get());
    }
    if (panel) {
        if (panel != m_panel || m_beneath.contains(panel)) {
            redirect(panel);
        }
        setShader(panel, m_holeShader.get());
    }
    m_beneath = beneath;
    m_panel = panel;
}

// The area copied (around the pointer, or magnified): a paint that meets it paints the
// panel's picture too (from the fresh copy), and the whole area when it moved (copied
// whole).
void LensEffect::prePaintScreen(ScreenPrePaintData& data, std::chrono::milliseconds presentTime) {
    const QRect around = copiedArea(m_lens);
    if (isActive() && !around.isEmpty()) {
        if (around != m_aroundKept) {
            data.paint += around;
        }
        if (data.paint.intersects(around)) {
            data.paint += m_lens;
        }
    }
    OffscreenEffect::prePaintScreen(data, presentTime);
}

// The windows beneath must not be left out as hidden by the panel: its picture is a
// hole now; in the area copied (around the pointer, magnified) nothing hides what lies
// beneath the panel, copied before the panel is drawn.
void LensEffect::prePaintWindow(EffectWindow* w, WindowPrePaintData& data,
                                std::chrono::milliseconds presentTime) {
    if (w == m_panel && !m_lens.isEmpty()) {
        data.opaque -= m_lens;
        if (pictureOutsidePanel()) {
            data.paint += m_lens;  // the kept picture beside it is drawn with the panel
        }
    }
    const QRect around = copiedArea(m_lens);
    if (isActive() && !around.isEmpty()) {
        data.opaque -= around;
    }
    OffscreenEffect::prePaintWindow(w, data, presentTime);
}

void LensEffect::setUniforms(const QRectF& deviceLens, double targetHeight, bool topDown,
                             const QPoint& probe) {
    const LensRequest& request = m_service.request();
    for (GLShader* shader :
         {m_stripeShader.get(), m_holeShader.get(), m_aroundShader.get(), m_plainShader.get()}) {
        ShaderManager::instance()->pushShader(shader);
        shader->setUniform("lensRect", QVector4D(deviceLens.x(), deviceLens.y(), deviceLens.width(),
                                                 deviceLens.height()));
        shader->setUniform("targetHeight", float(targetHeight));
        shader->setUniform("topDown", topDown ? 1.0f : 0.0f);
        shader->setUniform("probe", QVector2D(probe));
        shader->setUniform("patternscale", float(request.scale));
        shader->setUniform("showRed", request.redStripes ? 1.0f : 0.0f);
        shader->setUniform("showGreen", request.greenStripes ? 1.0f : 0.0f);
        shader->setUniform("strength", float(request.strength));
        shader->setUniform("finding", request.find ? 1.0f : 0.0f);
        shader->setUniform("findLab", request.find ? cielab(*request.find) : QVector3D());
        shader->setUniform("findRange", float(request.findRange));
        ShaderManager::instance()->popShader();
    }
}

// Hold Picture: the lens as just painted (striped, from the bound framebuffer, rows from
// the bottom as the held picture is read) is kept in a texture the panel then shows.
void LensEffect::keepHeldPicture(const QRectF& deviceLens, double targetHeight,
                                 const QRegion& region, const QRect& lens) {
    if (!m_holdPending || !region.contains(lens)) {
        return;
    }
    const QRect source = deviceLens.toAlignedRect();
    if (source.isEmpty()) {
        return;
    }
    m_held = allocateTexture(source.size());
    m_held->bind();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, source.x(),
                        int(targetHeight) - source.y() - source.height(), source.width(),
                        source.height());
    m_held->unbind();
    m_holdPending = false;
    QMetaObject::invokeMethod(this, &LensEffect::refreshAndRepaint, Qt::QueuedConnection);
}

// Around the Pointer: the area around the pointer as painted so far, before the panel
// (what lies beneath it, nothing striped), is copied where this frame paints it, rows
// from the bottom; whole when the area moved. The panel stripes the copy.
void LensEffect::keepAround(const Frame& frame, const QRect& around) {
    const QRect device = frame.toDevice(around).toAlignedRect();
    if (around.isEmpty() || device.isEmpty()) {
        return;
    }
    const bool whole = around != m_aroundKept || !m_around || m_around->size() != device.size();
    if (whole && !frame.region.contains(around)) {
        return;
    }
    if (!m_around || m_around->size() != device.size()) {
        m_around = allocateTexture(device.size());
    }
    m_around->bind();
    const QRegion parts = whole ? QRegion(around) : frame.region.intersected(around);
    for (const QRect& part : parts) {
        const QRect source = frame.toDevice(part).toAlignedRect().intersected(device);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, source.x() - device.x(),
                            device.bottom() - source.bottom(), source.x(),
                            int(frame.targetHeight) - source.y() - source.height(), source.width(),
                            source.height());
    }
    m_around->unbind();
    m_aroundKept = around;
}

void LensEffect::bindHeldPicture(bool bind) {
    GLTexture* picture = m_held ? m_held.get() : m_fromStriped ? m_striped.get() : m_around.get();
    if (!picture) {
        return;
    }
    glActiveTexture(GL_TEXTURE0 + heldTextureUnit);
    if (bind) {
        picture->bind();
    } else {
        picture->unbind();
    }
    glActiveTexture(GL_TEXTURE0);
}

// The pixel of the bound framebuffer at `point` (logical), as painted so far.
QColor LensEffect::pixelAt(const Frame& frame, const QPoint& point) const {
    const QPointF device = frame.toDevice(QRectF(point, QSizeF(1, 1))).topLeft();
    GLubyte rgba[4] = {0, 0, 0, 0};
    glReadPixels(int(std::floor(device.x())),
                 int(frame.targetHeight) - 1 - int(std::floor(device.y())), 1, 1, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba);
    return QColor(rgba[0], rgba[1], rgba[2]);
}

// The striped picture is kept while the lens shows what is beneath as it is: not held,
// nothing copied (around the pointer, magnified), no colour probed in it.
bool LensEffect::stripedKept() const {
    return isActive() && !m_held && !m_holdPending && copiedArea(m_lens).isEmpty() && !probing();
}

// The lens as painted so far, before the panel (the windows beneath striped), rows from
// the bottom.
void LensEffect::keepStriped(const Frame& frame) {
    const QRect source = frame.toDevice(m_lens).toAlignedRect();
    if (source.isEmpty()) {
        return;
    }
    if (!m_striped || m_striped->size() != source.size()) {
        m_striped = allocateTexture(source.size());
    }
    m_striped->bind();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, source.x(),
                        int(frame.targetHeight) - source.y() - source.height(), source.width(),
                        source.height());
    m_striped->unbind();
    m_stripedAt = source;
}

// Steps: 1. the area the picture shows (around the pointer, or magnified), what lies
// beneath the panel painted so far, is kept and the colour the pointer shows read there;
// 2. the lens just striped is kept; 3. the panel drawn with its hole showing nothing
// (what is beneath), the held or kept striped picture, or the kept area enlarged and
// striped.
void LensEffect::paintPanel(const Frame& frame, const std::function<void()>& paint) {
    const QRect around = aroundPointer(m_lens);
    const QRect copied = copiedArea(m_lens);
    keepAround(frame, copied);
    const QPoint shown = around.isEmpty() ? shownPoint(copied) : m_pointer;
    if (!copied.isEmpty() && probing() && frame.region.contains(shown)) {
        m_service.reportColour(pixelAt(frame, shown));
    }
    if (!m_fromStriped && stripedKept() && frame.region.contains(m_lens)) {
        keepStriped(frame);
    }
    setPanelUniforms(frame);
    setShader(m_panel, m_around && !m_held ? m_aroundShader.get() : m_holeShader.get());
    bindHeldPicture(true);
    paint();
    bindHeldPicture(false);
    drawPictureOutsidePanel(frame);
    m_panelPainted = true;
}

// The panel's programs: the kept picture shown or a hole; the copied area's enlarging.
void LensEffect::setPanelUniforms(const Frame& frame) {
    if (m_around && !m_held) {
        const QSize picture = frame.toDevice(m_lens).toAlignedRect().size();
        ShaderManager::instance()->pushShader(m_aroundShader.get());
        m_aroundShader->setUniform("copySize", QVector2D(m_around->width(), m_around->height()));
        m_aroundShader->setUniform("magnify", float(magnification()));
        m_aroundShader->setUniform("magnifyOffset",
                                   QVector2D(magnifyOffset(m_around->size(), picture)));
        ShaderManager::instance()->popShader();
    }
    ShaderManager::instance()->pushShader(m_holeShader.get());
    m_holeShader->setUniform("hole", m_held || m_fromStriped ? 2.0f : 1.0f);
    ShaderManager::instance()->popShader();
}

// The panel's window need not cover its picture: where the picture lies beside it (the
// panel left out of the picture, so that a compositor that reads no X input shape still
// passes clicks there to the window beneath), nothing of the panel shows the kept
// picture; the lens then draws it itself, in the panel's place in the stacking order.
bool LensEffect::pictureOutsidePanel() const {
    return m_panel && !m_panel->frameGeometry().toAlignedRect().contains(m_lens);
}

// Steps: 1. the picture kept this frame (held, striped while nothing changed, or the
// copied area); none: the windows beneath show striped already; 2. a quad over the
// picture drawn with the panel's program, the kept picture its texture.
void LensEffect::drawPictureOutsidePanel(const Frame& frame) {
    const bool around = m_around && !m_held;
    GLTexture* picture = m_held ? m_held.get() : m_fromStriped ? m_striped.get() : m_around.get();
    if (!pictureOutsidePanel() || !picture || !(m_held || m_fromStriped || around)) {
        return;
    }
    const QRectF device = frame.toDevice(m_lens);
    QMatrix4x4 mvp = frame.projection;
    mvp.translate(float(device.x()), float(device.y()));
    GLShader* shader = around ? m_aroundShader.get() : m_holeShader.get();
    ShaderManager::instance()->pushShader(shader);
    shader->setUniform(modelViewProjection, mvp);
    bindHeldPicture(true);
    picture->bind();
    renderTexture(*picture, device.size());
    picture->unbind();
    bindHeldPicture(false);
    ShaderManager::instance()->popShader();
}

// Steps: 1. the uniforms, with the device pixel under the pointer (from the top) as the
// probe in the picture's own coordinates; 2. the screen painted; 3. the held picture
// kept and the probe over the picture read back.
void LensEffect::paintLens(const Frame& frame, const std::function<void()>& paint) {
    const QRectF deviceLens = frame.toDevice(m_lens);
    const QPointF devicePointer = frame.toDevice(QRectF(m_pointer, QSizeF(1, 1))).topLeft();
    const bool copying = !copiedArea(m_lens).isEmpty();
    if (!copying) {
        m_around.reset();
        m_aroundKept = QRect();
    }
    const bool probe =
        probing() && !copying && m_lens.contains(m_pointer) && frame.region.contains(m_pointer);
    const QPoint pixel(int(std::floor(devicePointer.x())), int(std::floor(devicePointer.y())));
    if (isActive()) {
        const QPoint inLens =
            probe ? QPoint(pixel.x() - int(deviceLens.x()),
                           int(deviceLens.height()) - 1 - (pixel.y() - int(deviceLens.y())))
                  : QPoint(-1, -1);
        setUniforms(deviceLens, frame.targetHeight, false, inLens);
    }
    // Nothing in the lens changed since its striped picture was kept: the panel shows
    // that, and the windows beneath are drawn plain (hidden there).
    m_fromStriped = m_striped && stripedKept() && m_stripedAt == deviceLens.toAlignedRect();
    for (EffectWindow* w : std::as_const(m_beneath)) {
        setShader(w, m_fromStriped ? m_plainShader.get() : m_stripeShader.get());
    }
    m_frame = frame;
    m_panelPainted = false;
    paint();
    m_frame.reset();
    // KWin 6 leaves out a window that does not meet the area painted, whatever the effect
    // adds to it: the picture beside the panel is then drawn over the screen as painted.
    if (isActive() && !m_panelPainted && pictureOutsidePanel()) {
        setPanelUniforms(frame);
        drawPictureOutsidePanel(frame);
    }
    m_fromStriped = false;
    if (!isActive()) {
        return;
    }
    keepHeldPicture(deviceLens, frame.targetHeight, frame.region, m_lens);
    if (probe) {
        m_service.reportColour(pixelAt(frame, m_pointer));
    }
}

#ifdef TALVEX_KWIN6
void LensEffect::paintScreen(const RenderTarget& renderTarget, const RenderViewport& viewport,
                             int mask, const QRegion& region, Output* screen) {
    paintLens({[&](const QRectF& r) { return viewport.mapToRenderTarget(r); },
               double(renderTarget.size().height()), region, viewport.projectionMatrix()},
              [&] { effects->paintScreen(renderTarget, viewport, mask, region, screen); });
}

void LensEffect::paintWindow(const RenderTarget& renderTarget, const RenderViewport& viewport,
                             EffectWindow* w, int mask, QRegion region, WindowPaintData& data) {
    const auto paint = [&] {
        OffscreenEffect::paintWindow(renderTarget, viewport, w, mask, region, data);
    };
    if (w == m_panel && m_frame) {
        paintPanel(*m_frame, paint);
    } else {
        paint();
    }
}
#else
void LensEffect::paintScreen(int mask, const QRegion& region, ScreenPaintData& data) {
    const QRectF target = effects->renderTargetRect();
    const qreal scale = effects->renderTargetScale();
    const auto device = [&](const QRectF& r) {
        return QRectF((r.x() - target.x()) * scale, (r.y() - target.y()) * scale, r.width() * scale,
                      r.height() * scale);
    };
    paintLens({device, target.height() * scale, region, data.projectionMatrix()},
              [&] { effects->paintScreen(mask, region, data); });
}

void LensEffect::paintWindow(EffectWindow* w, int mask, QRegion region, WindowPaintData& data) {
    const auto paint = [&] { OffscreenEffect::paintWindow(w, mask, region, data); };
    if (w == m_panel && m_frame) {
        paintPanel(*m_frame, paint);
    } else {
        paint();
    }
}
#endif

}  // namespace talvex::kwin
