// The colour names in the panel's title, in process on the test display: two colour
// patches beneath the panel and the real pointer moved over them.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLayout>
#include <QMenu>
#include <memory>
#include <string>
#include <vector>

#include "app/FilteredView.h"
#include "app/TitleBar.h"
#include "app/Window.h"
#include "platform/UserDefaults.h"
#include "render/ColourNamer.h"
#include "settings/Settings.h"
#include "support/TestEnvironment.h"
#include "talvex/ColourNameTitle.h"
#include "talvex/MainMenu.h"
#include "talvex/TXApplication.h"
#include "talvex/TXViewController.h"
#include "talvex/TXWindowController.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace talvex {
namespace {

using test::waitUntil;

// A connection of the test's own: windows of one colour, and the pointer.
class Desk {
public:
    Desk() : display_(XOpenDisplay(nullptr), &XCloseDisplay) {}
    ~Desk() {
        for (::Window window : windows_)
            XDestroyWindow(display_.get(), window);
        XSync(display_.get(), False);
    }

    // Mapped at once, no window manager: a child of `parent` (0: the root).
    void addPatch(QRect area, Rgb colour, ::Window parent = 0) {
        Display* d = display_.get();
        const unsigned long pixel = colour.red << 16 | colour.green << 8 | colour.blue;
        const ::Window window =
            XCreateSimpleWindow(d, parent ? parent : DefaultRootWindow(d), area.x(), area.y(),
                                area.width(), area.height(), 0, pixel, pixel);
        XMapRaised(d, window);
        XSync(d, False);
        if (!parent)
            windows_.push_back(window);
        last_ = window;
    }
    ::Window last() const { return last_; }
    // As a pointing device moves it.
    void movePointer(QPoint root) {
        XTestFakeMotionEvent(display_.get(), -1, root.x(), root.y(), CurrentTime);
        XSync(display_.get(), False);
    }

private:
    std::unique_ptr<Display, int (*)(Display*)> display_;
    std::vector<::Window> windows_;
    ::Window last_ = 0;
};

void clearSettings() {
    for (const char* key : {keys::nameColours, keys::viewArea})
        UserDefaults::standard().removeObjectForKey(key);
}

TEST(ColourNameTitle, NamesTheCapturedColourUnderThePointerAndCopiesIt) {
    TALVEX_REQUIRE_DISPLAY();
    clearSettings();
    UserDefaults::standard().setIntegerForKey(1, keys::nameColours);
    TXApplication app;
    app.windowController().setTerminatesOnClose(false);
    app.finishLaunching();
    Window* panel = app.windowController().existingWindow();
    FilteredView* view = app.windowController().contentViewController()->filteredView();
    ASSERT_TRUE(panel && view);
    ASSERT_TRUE(waitUntil([&] { return panel->isVisible(); }));

    // Beneath the view: a red patch that the stripes mark, teal over its bottom right
    // quarter and on beyond the panel (a picture mirrored or upside down reads red).
    const Point origin = view->viewOriginInRootPixels();
    const QRect area(int(origin.x), int(origin.y), view->width(), view->height());
    const Rgb red{0xA5, 0x1C, 0x24}, teal{0x00, 0x96, 0x88};
    Desk desk;
    desk.addPatch(area.adjusted(0, 0, 300, 0), red);
    desk.addPatch(
        QRect(area.width() / 2, area.height() / 2, area.width() / 2 + 300, area.height() / 2), teal,
        desk.last());
    panel->raise();
    const auto titleBecomes = [&](Rgb colour) {
        const QString name = QString::fromStdString(ColourNamer::standard().describe(colour));
        return waitUntil([&] { return panel->titleBar()->title() == name; }, 10000);
    };
    const QPoint middle(area.x(), area.y() + area.height() * 3 / 4);
    desk.movePointer(middle + QPoint(area.width() / 4, 0));
    EXPECT_TRUE(titleBecomes(red)) << panel->titleBar()->title().toStdString();
    const QPoint onTeal = middle + QPoint(area.width() * 3 / 4, 0);
    desk.movePointer(onTeal);
    EXPECT_TRUE(titleBecomes(teal)) << panel->titleBar()->title().toStdString();
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Talvex")) << "the window's name changed";
    const auto titleIsThePanels = [&] {
        return waitUntil([&] { return panel->titleBar()->title() == QStringLiteral("Talvex"); });
    };

    // A menu open over the picture hides it there: the pointer on the menu names nothing.
    QMenu* menu = app.mainMenu().menu();
    menu->popup(onTeal - QPoint(8, 8));
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    ASSERT_TRUE(menu->geometry().contains(onTeal + QPoint(1, 1)));
    desk.movePointer(onTeal + QPoint(1, 1));
    EXPECT_TRUE(titleIsThePanels());
    menu->hide();

    // Off the picture: the panel's title again; Ctrl+C copies the last name, and nothing
    // once the names are off.
    const auto copyByShortcut = [&] {
        QApplication::clipboard()->setText(QStringLiteral("before"));
        for (QAction* action : app.mainMenu().shortcutActions()) {
            if (action->shortcut() == QKeySequence(QStringLiteral("Ctrl+C")))
                action->trigger();
        }
        return QApplication::clipboard()->text().toStdString();
    };
    const QPoint beyond = middle + QPoint(area.width() + 150, 0);
    desk.movePointer(beyond);
    EXPECT_TRUE(titleIsThePanels());
    EXPECT_EQ(copyByShortcut(), ColourNamer::standard().describe(teal));

    // Around the pointer, the pointer is always over what the picture shows.
    UserDefaults::standard().setIntegerForKey(1, keys::viewArea);
    EXPECT_TRUE(titleBecomes(teal)) << panel->titleBar()->title().toStdString();
    // Names off: the title is the panel's own again.
    UserDefaults::standard().setIntegerForKey(0, keys::nameColours);
    EXPECT_TRUE(titleIsThePanels());
    EXPECT_EQ(copyByShortcut(), "before") << "a stale name copied";
    clearSettings();
}

// A narrow title bar keeps the value in sight: the name loses its leading words first,
// then goes; the value alone is drawn lighter and smaller before it is elided.
TEST(ColourNameTitle, ANarrowTitleShortensTheNameAndKeepsTheValue) {
    TALVEX_REQUIRE_DISPLAY();
    using Forms = std::vector<std::string>;
    const Forms forms = ColourNameTitle::titleForms("light yellowish green", "#C2FF89");
    EXPECT_EQ(forms, (Forms{"light yellowish green \u00b7 #C2FF89",
                            "yellowish green \u00b7 #C2FF89", "green \u00b7 #C2FF89", "#C2FF89"}));
    EXPECT_EQ(ColourNameTitle::titleForms("", "#000000"), Forms{"#000000"});

    QStringList all;
    for (const std::string& form : forms)
        all << QString::fromStdString(form);
    TitleBar bar;
    bar.setTitle(all.first(), all.mid(1));
    QStringList shown;
    bool lighterValue = false;
    for (int width = 600; bar.titleArea().width() > 0; width -= 5) {
        bar.resize(width, TitleBar::barHeight);
        bar.layout()->activate();
        if (!shown.contains(bar.shownTitle()))
            shown << bar.shownTitle();
        lighterValue |= bar.shownTitle() == all.last() && !bar.shownTitleFont().bold();
    }
    EXPECT_EQ(shown.mid(0, 4), all);
    EXPECT_TRUE(lighterValue) << "the value alone elided as soon as it did not fit in bold";
}

}  // namespace
}  // namespace talvex
