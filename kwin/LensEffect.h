#pragma once

#include "KWinApi.h"
#include "LensService.h"

#include <QMatrix4x4>
#include <QRect>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

namespace talvex::kwin {

// Draws the Talvex lens: the windows beneath the program's panel, where the panel's
// picture lies, through the program's stripe program. The windows beneath are drawn
// through it (plain outside the picture) and the panel with a hole over the picture, so
// that what lies beneath shows there; windows above the panel stay on top.
class LensEffect : public KWin::OffscreenEffect {
    Q_OBJECT

public:
    LensEffect();
    ~LensEffect() override;

    static bool supported();
    bool isActive() const override;
    int requestedEffectChainPosition() const override { return 90; }

    void prePaintScreen(KWin::ScreenPrePaintData& data,
                        std::chrono::milliseconds presentTime) override;
    void prePaintWindow(KWin::EffectWindow* w, KWin::WindowPrePaintData& data,
                        std::chrono::milliseconds presentTime) override;
#ifdef TALVEX_KWIN6
    void paintScreen(const KWin::RenderTarget& renderTarget, const KWin::RenderViewport& viewport,
                     int mask, const QRegion& region, KWin::Output* screen) override;
    void paintWindow(const KWin::RenderTarget& renderTarget, const KWin::RenderViewport& viewport,
                     KWin::EffectWindow* w, int mask, QRegion region,
                     KWin::WindowPaintData& data) override;
#else
    void paintScreen(int mask, const QRegion& region, KWin::ScreenPaintData& data) override;
    void paintWindow(KWin::EffectWindow* w, int mask, QRegion region,
                     KWin::WindowPaintData& data) override;
#endif

private:
    void watch(KWin::EffectWindow* w);
    void forget(KWin::EffectWindow* w);
    KWin::EffectWindow* panel() const;
    bool shown(KWin::EffectWindow* w) const;
    void refresh();
    void refreshAndRepaint();
    void setRedirected(const QSet<KWin::EffectWindow*>& beneath, KWin::EffectWindow* panel);
    void setUniforms(const QRectF& deviceLens, double targetHeight, bool topDown,
                     const QPoint& probe);
    bool probing() const;
    void pointerMoved(const PointerPosition& position);
    void repaintProbe();
    void setMousePolling(bool on);
    QRect aroundPointer(const QRect& lens) const;
    int magnification() const;
    QSize shownSize(const QSize& size) const;
    QRect copiedArea(const QRect& lens) const;
    QPoint magnifyOffset(const QSize& copied, const QSize& picture) const;
    QPoint shownPoint(const QRect& copied) const;
    // The frame being painted: logical to device pixels, the target's height, the region.
    struct Frame {
        std::function<QRectF(const QRectF&)> toDevice;
        double targetHeight = 0;
        QRegion region;
        QMatrix4x4 projection;  // device pixels to clip space
    };
    void keepAround(const Frame& frame, const QRect& around);
    QColor pixelAt(const Frame& frame, const QPoint& point) const;
    void damaged(KWin::EffectWindow* w);
    bool stripedKept() const;
    void keepStriped(const Frame& frame);
    void paintPanel(const Frame& frame, const std::function<void()>& paint);
    void setPanelUniforms(const Frame& frame);
    bool pictureOutsidePanel() const;
    void drawPictureOutsidePanel(const Frame& frame);
    void paintLens(const Frame& frame, const std::function<void()>& paint);

    LensService m_service;
    std::unique_ptr<KWin::GLShader> m_stripeShader;
    std::unique_ptr<KWin::GLShader> m_holeShader;    // the panel: what is beneath or held
    std::unique_ptr<KWin::GLShader> m_aroundShader;  // the panel: the area around the pointer
    std::unique_ptr<KWin::GLShader> m_plainShader;   // a window beneath, the lens kept
    QSet<KWin::EffectWindow*> m_beneath;
    KWin::EffectWindow* m_panel = nullptr;
    void keepHeldPicture(const QRectF& deviceLens, double targetHeight, const QRegion& region,
                         const QRect& lens);
    void bindHeldPicture(bool bind);

    std::unique_ptr<KWin::GLTexture> m_around;   // the area shown (around the pointer or
                                                 // magnified), beneath the panel
    QRect m_aroundKept;                          // where m_around was copied from; empty: nowhere
    std::unique_ptr<KWin::GLTexture> m_striped;  // the lens as last striped; none: draw again
    QRect m_stripedAt;                           // where m_striped was copied from, device pixels
    bool m_fromStriped = false;                  // this frame's panel shows m_striped
    bool m_panelPainted = false;                 // this frame painted the panel
    std::optional<Frame> m_frame;                // while a frame is painted
    std::unique_ptr<KWin::GLTexture> m_held;     // Hold Picture's picture, once kept
    bool m_repaintPending = false;               // the next refresh draws the lens again
    bool m_holdPending = false;                  // held, the picture not kept yet
    QPoint m_pointer;                            // in logical pixels
    bool m_mousePolling = false;  // KWin 5.27 on X11 tells the pointer's moves only so
    QRect m_lens;                 // the picture on the screen, in logical pixels; empty: no lens
};

}  // namespace talvex::kwin
