#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QWindow>
#include <algorithm>

#include "about/ClearPlacement.h"
#include "about/KPAboutBox.h"
#include "about/KPAboutBoxBackground.h"
#include "about/KPAboutBoxController.h"
#include "about/KPAboutBoxIconView.h"
#include "about/KPAboutBoxScrollView.h"
#include "about/ScopedMainBundle.h"
#include "about/TextAreaFit.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace talvex {
namespace {

using about_internal::ClearPlacement;
using about_internal::KPAboutBoxBackground;
using about_internal::KPAboutBoxScrollView;
using about_internal::TextAreaFit;
using test::ScopedMainBundle;
using test::waitUntil;

// A bundle whose credits are long enough to scroll.
QString bundleFolderWithLongCredits() {
    const auto dir = test::makeTempDir("talvex-about");
    QFile file(QString::fromStdString((dir / "Credits.html").string()));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 80; ++i)
        file.write("<p>A line of credits.</p>\n");
    return QString::fromStdString(dir.string());
}

// Whether a running window manager offers interactive moves (_NET_WM_MOVERESIZE); then
// it, not the view, moves the window on a drag.
bool windowManagerMovesWindows() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    const Atom moveResize = XInternAtom(display, "_NET_WM_MOVERESIZE", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 4096, False, XA_ATOM,
                           &type, &format, &count, &after, &data) == Success &&
        data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        found = std::find(atoms, atoms + count, moveResize) != atoms + count;
        XFree(data);
    }
    XCloseDisplay(display);
    return found;
}

TEST(AboutBoxWindow, TextAreaFitWidensByTheRightGapAndInsetsByBothGaps) {
    const TextAreaFit fit =
        TextAreaFit::compute(Rect(24, 124, 292, 272), Rect(0, 0, 340, 420), Size{4, 4});
    EXPECT_EQ(fit.scrollFrame, Rect(0, 0, 340, 420));
    EXPECT_EQ(fit.textInset, (Size{28, 128}));
    // A scroll area off centre keeps its left gap less the right one.
    const TextAreaFit offCentre =
        TextAreaFit::compute(Rect(30, 50, 300, 200), Rect(0, 0, 340, 300), Size{0, 2});
    EXPECT_EQ(offCentre.scrollFrame, Rect(20, 0, 320, 300));
    EXPECT_EQ(offCentre.textInset, (Size{10, 52}));
}

// Centred, unless a window that stays above it (the panel, centred too) covers it there:
// then beside that window, within the screen, where it is covered least.
TEST(AboutBoxWindow, ClearPlacementCentresOrGoesBesideAWindowAboveWithinTheScreen) {
    const PixelRect screen{0, 0, 1920, 1080};
    EXPECT_EQ(ClearPlacement::compute(340, 420, screen, {}), (PixelRect{790, 330, 340, 420}));
    EXPECT_EQ(ClearPlacement::compute(340, 420, screen, {{760, 440, 400, 200}}),
              (PixelRect{1176, 330, 340, 420}))
        << "on its right";
    EXPECT_EQ(ClearPlacement::compute(340, 420, screen, {{800, 300, 1000, 500}}),
              (PixelRect{444, 330, 340, 420}))
        << "no room on its right: on its left";
    EXPECT_EQ(ClearPlacement::compute(340, 420, {0, 0, 800, 600}, {{100, 100, 600, 400}}),
              (PixelRect{460, 90, 340, 420}))
        << "no clear place: covered least, within the screen";
}

TEST(AboutBoxWindow, TextKeepsItsPlaceAfterTheScrollAreaFillsTheWindow) {
    TALVEX_REQUIRE_DISPLAY();
    ScopedMainBundle bundle({{Bundle::nameKey, "Lens"}});
    KPAboutBoxController controller;
    QWidget* window = controller.window();
    window->show();
    KPAboutBoxScrollView* text = controller.textView();
    ASSERT_TRUE(waitUntil([&] { return text->viewport()->height() == window->height(); }));
    EXPECT_EQ(text->mapTo(window, QPoint(0, 0)), QPoint(0, 0));
    EXPECT_EQ(text->size(), window->size());
    // Where the form put the text: its view at (24, 124) with a 4-point document margin.
    const QTextDocument* document = text->document();
    const QRectF first = document->documentLayout()->blockBoundingRect(document->begin());
    EXPECT_EQ(text->viewport()->mapTo(window, first.topLeft().toPoint()), QPoint(28, 128));
    window->close();
}

TEST(AboutBoxWindow, OneSharedControllerLoadsAndFillsItsWindowOnce) {
    TALVEX_REQUIRE_DISPLAY();
    KPAboutBoxController* controller = KPAboutBoxShow();
    QWidget* window = controller->window();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
    controller->textView()->setPlainText("not refilled");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(KPAboutBoxShow(), controller);
        EXPECT_EQ(controller->window(), window);
    }
    EXPECT_EQ(controller->textView()->toPlainText(), "not refilled");
    window->close();
}

TEST(AboutBoxWindow, ShowingRecentresAndScrollsToTopOnlyAfterAClose) {
    TALVEX_REQUIRE_DISPLAY();
    ScopedMainBundle bundle({{Bundle::nameKey, "Lens"}}, bundleFolderWithLongCredits());
    KPAboutBoxController controller;
    controller.showWindow();
    QWidget* window = controller.window();
    QScrollBar* scroll = controller.textView()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && scroll->maximum() > 100; }));
    EXPECT_EQ(scroll->value(), 0);
    const QPoint centred = window->pos();

    window->move(centred + QPoint(60, 40));
    scroll->setValue(100);
    controller.showWindow();
    EXPECT_EQ(window->pos(), centred + QPoint(60, 40));
    EXPECT_EQ(scroll->value(), 100);

    window->close();
    controller.showWindow();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
    EXPECT_EQ(window->pos(), centred);
    EXPECT_EQ(scroll->value(), 0);
    window->close();
}

TEST(AboutBoxWindow, StyleChangeKeepsTheScrollPosition) {
    TALVEX_REQUIRE_DISPLAY();
    KPAboutBoxScrollView view;
    QString text;
    for (int i = 0; i < 100; ++i)
        text += QStringLiteral("<p>Line %1</p>").arg(i);
    view.setHtml(text);
    view.resize(300, 200);
    view.show();
    QScrollBar* scroll = view.verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return scroll->maximum() > 300; }));
    scroll->setValue(300);
    std::unique_ptr<QStyle> windows(QStyleFactory::create("Windows"));
    std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    ASSERT_TRUE(windows && fusion);
    view.setStyle(windows.get());
    QApplication::processEvents();
    EXPECT_EQ(scroll->value(), 300);
    view.setStyle(fusion.get());
    QApplication::processEvents();
    EXPECT_EQ(scroll->value(), 300);
    view.setStyle(nullptr);
}

TEST(AboutBoxWindow, DraggingTheBackgroundMovesTheWindow) {
    TALVEX_REQUIRE_DISPLAY();
    if (windowManagerMovesWindows())
        GTEST_SKIP() << "the window manager moves the window";
    QWidget window;
    window.resize(200, 200);
    KPAboutBoxBackground background(&window);
    background.resize(200, 200);
    window.move(100, 100);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
    const QPoint start = window.pos();
    const QPointF local(50, 50);
    const QPointF global = background.mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&background, &press);
    QMouseEvent move(QEvent::MouseMove, local, global + QPointF(30, 20), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&background, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global + QPointF(30, 20), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&background, &release);
    EXPECT_EQ(window.pos(), start + QPoint(30, 20));
}

// In the about window itself: the band around the icon, above the text, is background
// (a press there drags the window) and the text, however far it is scrolled, never
// shows in it.
TEST(AboutBoxWindow, TheBandAroundTheIconIsDraggableBackgroundAndHoldsNoText) {
    TALVEX_REQUIRE_DISPLAY();
    ScopedMainBundle bundle({{Bundle::nameKey, "Lens"}}, bundleFolderWithLongCredits());
    KPAboutBoxController controller;
    QWidget* window = controller.window();
    window->show();
    ASSERT_TRUE(waitUntil([&] { return window->windowHandle()->isExposed(); }));
    KPAboutBoxScrollView* text = controller.textView();
    text->scrollToPoint({0, 300});
    const QRect icon(controller.iconView()->mapTo(window, QPoint(0, 0)),
                     controller.iconView()->size());
    const QRegion shown = text->mask().isEmpty() ? QRegion(text->rect()) : text->mask();
    EXPECT_FALSE(shown.translated(text->mapTo(window, QPoint(0, 0))).intersects(icon));

    const QPoint beside(icon.left() - 40, icon.center().y());
    EXPECT_TRUE(qobject_cast<KPAboutBoxBackground*>(window->childAt(beside)));
    if (windowManagerMovesWindows())
        return;
    const QPoint start = window->pos();
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, beside);
    QTest::mouseMove(window->windowHandle(), beside + QPoint(30, 20));
    // The window came along: the pointer is over the same point of it again.
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, beside);
    EXPECT_EQ(window->pos(), start + QPoint(30, 20));
    window->close();
}

}  // namespace
}  // namespace talvex
