// The application shell in process: launch order and the panel's configuration, the
// menus' check marks and routing through the responder chain, the help items' addresses
// (also from a compiled "URLs" translation), and the close of the panel.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>
#include <QTranslator>
#include <QWindow>
#include <algorithm>
#include <set>

#include "about/KPAboutBox.h"
#include "about/KPAboutBoxController.h"
#include "about/KPAboutBoxScrollView.h"
#include "app/MenuButton.h"
#include "app/QtMenuItem.h"
#include "app/TitleBar.h"
#include "app/TitleBarButton.h"
#include "app/Window.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "support/TestEnvironment.h"
#include "talvex/ActionTable.h"
#include "talvex/FilterSettingsController.h"
#include "talvex/MainMenu.h"
#include "talvex/PreferenceWindowController.h"
#include "talvex/ResponderChain.h"
#include "talvex/TXAppDelegate.h"
#include "talvex/TXApplication.h"
#include "talvex/TXViewController.h"
#include "talvex/TXWindowController.h"

namespace talvex {
namespace {

using test::waitUntil;
using Tags = std::set<std::int64_t>;

void clearSettings() {
    for (const char* key :
         {keys::redStripesEnabled, keys::greenStripesEnabled, keys::refreshSpeed, keys::viewArea}) {
        UserDefaults::standard().removeObjectForKey(key);
    }
}

// Opens the menu's validation as showing it does; the tags of `action` that are checked.
Tags checkedTags(QMenu* menu, MenuAction action) {
    emit menu->aboutToShow();
    Tags tags;
    for (QAction* a : menu->actions()) {
        QtMenuItem item(a);
        if (item.action() == action && a->isChecked())
            tags.insert(item.tag());
    }
    return tags;
}

QAction* itemOf(QMenu* menu, MenuAction action, std::int64_t tag) {
    for (QAction* a : menu->actions()) {
        QtMenuItem item(a);
        if (item.action() == action && item.tag() == tag)
            return a;
    }
    return nullptr;
}

// Chooses an item of an open pop-up menu with the mouse.
void clickItem(QMenu* menu, QAction* item) {
    ASSERT_TRUE(waitUntil([menu] { return menu->isVisible(); }, 3000)) << "menu not open";
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    ASSERT_TRUE(waitUntil([menu] { return !menu->isVisible(); }, 3000)) << "menu still open";
}

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        TALVEX_REQUIRE_DISPLAY();
        clearSettings();
        app_ = std::make_unique<TXApplication>();
        app_->windowController().setTerminatesOnClose(false);
        app_->finishLaunching();
        ASSERT_NE(panel(), nullptr);
        ASSERT_TRUE(waitUntil([this] { return panel()->isVisible(); }));
    }

    void TearDown() override {
        app_.reset();
        Workspace::setOpener({});
        clearSettings();
    }

    Window* panel() const { return app_->windowController().existingWindow(); }
    FilterSettingsController* accessory() const { return app_->windowController().accessory(); }
    MainMenu& menus() const { return app_->mainMenu(); }
    ResponderChain& chain() const { return app_->responderChain(); }

    std::unique_ptr<TXApplication> app_;
};

TEST_F(Shell, LaunchRegistersDefaultsTintsTheAboutBoxAndConfiguresThePanel) {
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::redStripesEnabled), 1);
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::greenStripesEnabled), 1);
    const QColor tint = KPAboutBoxBackgroundColor();
    EXPECT_NEAR(tint.redF(), 0.85, 0.005);
    EXPECT_NEAR(tint.greenF(), 0.90, 0.005);
    EXPECT_NEAR(tint.blueF(), 0.90, 0.005);
    EXPECT_NEAR(tint.alphaF(), 1.0, 0.005);

    EXPECT_TRUE(panel()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(panel()->isZoomButtonEnabled());
    EXPECT_DOUBLE_EQ(panel()->windowOpacity(), 1.0);
    EXPECT_NE(qobject_cast<FilteredView*>(panel()->contentWidget()), nullptr);
    EXPECT_EQ(app_->windowController().contentViewController()->filteredView(),
              panel()->contentWidget());

    // The accessory at the right end of the title bar, the menu button at the left.
    TitleBar* bar = panel()->titleBar();
    ASSERT_EQ(panel()->titlebarAccessory(), accessory());
    EXPECT_EQ(accessory()->objectName(), QStringLiteral("WindowControls"));
    EXPECT_EQ(accessory()->menuActionTarget(), &chain());
    const QRect controls = accessory()->geometry();
    EXPECT_GT(controls.left(), bar->width() / 2);
    EXPECT_LE(bar->width() - 1 - controls.right(), 8) << "not at the right end";
    ASSERT_NE(app_->menuButton(), nullptr);
    EXPECT_EQ(app_->menuButton()->menu(), menus().menu());
    EXPECT_LT(app_->menuButton()->geometry().right(), bar->width() / 2);
}

TEST_F(Shell, CheckMarksFollowTheStoreWhereverItChangesAndOutOfRangeValuesReadAsDefaults) {
    EXPECT_EQ(checkedTags(menus().stripesMenu(), MenuAction::adoptRedStripeSetting), Tags{1});
    EXPECT_EQ(checkedTags(menus().stripesMenu(), MenuAction::adoptGreenStripeSetting), Tags{1});
    EXPECT_EQ(checkedTags(menus().speedMenu(), MenuAction::adoptSpeedSetting), Tags{0});
    EXPECT_EQ(checkedTags(menus().areaMenu(), MenuAction::adoptViewAreaSetting), Tags{0});

    UserDefaults::standard().setIntegerForKey(7, keys::refreshSpeed);
    UserDefaults::standard().setIntegerForKey(-3, keys::viewArea);
    UserDefaults::standard().setIntegerForKey(3, keys::redStripesEnabled);
    EXPECT_EQ(checkedTags(menus().speedMenu(), MenuAction::adoptSpeedSetting), Tags{0});
    EXPECT_EQ(checkedTags(menus().areaMenu(), MenuAction::adoptViewAreaSetting), Tags{0});
    EXPECT_EQ(checkedTags(menus().stripesMenu(), MenuAction::adoptRedStripeSetting), Tags{});
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::refreshSpeed), 7) << "overwritten";

    // Chosen in the title-bar pop-up: the store, the button's image and the menu bar's
    // check marks follow.
    MenuButton* speedButton = accessory()->refreshSpeedButton();
    QTest::mousePress(speedButton, Qt::LeftButton);
    clickItem(accessory()->speedMenu(),
              itemOf(accessory()->speedMenu(), MenuAction::adoptSpeedSetting, 1));
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::refreshSpeed), 1);
    EXPECT_EQ(speedButton->imageName(), QStringLiteral("FastFrameRateTemplate.png"));
    EXPECT_EQ(checkedTags(menus().speedMenu(), MenuAction::adoptSpeedSetting), Tags{1});

    // And the other way round: chosen from the application menu.
    menus().areaMenu()->popup(panel()->mapToGlobal(QPoint(20, 30)));
    clickItem(menus().areaMenu(), itemOf(menus().areaMenu(), MenuAction::adoptViewAreaSetting, 1));
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::viewArea), 1);
    EXPECT_EQ(accessory()->viewAreaButton()->imageName(),
              QStringLiteral("FilteredMouseAreaTemplate.png"));
    EXPECT_EQ(checkedTags(accessory()->areaMenu(), MenuAction::adoptViewAreaSetting), Tags{1});
}

TEST_F(Shell, TheChainRoutesEachCommandToItsResponderAndIgnoresOutOfRangeTags) {
    int changes = 0;
    const QMetaObject::Connection counting = QObject::connect(
        &UserDefaults::standard(), &UserDefaults::valueChanged, [&] { ++changes; });
    chain().sendAction(PlainMenuItem(MenuAction::adoptSpeedSetting, 2));
    chain().sendAction(PlainMenuItem(MenuAction::adoptViewAreaSetting, 5));
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(UserDefaults::standard().persistentValueForKey(keys::refreshSpeed));
    EXPECT_FALSE(UserDefaults::standard().persistentValueForKey(keys::viewArea));

    chain().sendAction(PlainMenuItem(MenuAction::adoptSpeedSetting, -1));
    chain().sendAction(PlainMenuItem(MenuAction::adoptGreenStripeSetting, 0));
    EXPECT_EQ(changes, 2);
    QObject::disconnect(counting);
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::refreshSpeed), -1);
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::greenStripesEnabled), 0);

    // Enabled: what some responder answers; disabled: what none does.
    for (MenuAction answered :
         {MenuAction::sendFeedback, MenuAction::openWebsite, MenuAction::orderFrontAboutBox,
          MenuAction::showPreferences, MenuAction::terminate, MenuAction::adoptRedStripeSetting}) {
        PlainMenuItem item(answered, 0);
        EXPECT_TRUE(chain().validateMenuItem(item)) << actionName(answered);
    }
    PlainMenuItem nothing(MenuAction::none, 0);
    EXPECT_FALSE(chain().validateMenuItem(nothing));

    // The preferences item opens one window, which writes through the same chain.
    chain().sendAction(PlainMenuItem(MenuAction::showPreferences, 0));
    PreferenceWindowController* preferences = app_->showPreferences();
    EXPECT_TRUE(preferences->isVisible());
    EXPECT_EQ(preferences->menuActionTarget(), &chain());
    EXPECT_EQ(app_->showPreferences(), preferences);
}

TEST_F(Shell, HoldPictureMarksThePanelHeldUntilChosenAgain) {
    Window* panel = app_->windowController().window();
    FilteredView* view = app_->windowController().contentViewController()->filteredView();
    ASSERT_TRUE(panel && view);
    const auto hold = [&] { chain().sendAction(PlainMenuItem(MenuAction::toggleHoldPicture, 0)); };
    const auto checked = [&] {
        PlainMenuItem item(MenuAction::toggleHoldPicture, 0);
        EXPECT_TRUE(chain().validateMenuItem(item));
        return item.state() == ControlState::on;
    };
    hold();
    EXPECT_TRUE(view->scheduler().held());
    EXPECT_TRUE(checked());
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Talvex (held)"));
    hold();
    EXPECT_FALSE(view->scheduler().held());
    EXPECT_FALSE(checked());
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Talvex"));
}

// A copy of the shipped "URLs" table whose web page entry is translated to `website`,
// compiled with lrelease; empty when lrelease is not available.
QString compiledURLsTranslation(const QString& website) {
    const QString lrelease = QStringLiteral("/usr/lib/qt6/bin/lrelease");
    if (!QFile::exists(lrelease))
        return {};
    QFile source(QStringLiteral(TALVEX_SOURCE_DIR "/resources/translations/URLs.ts"));
    if (!source.open(QIODevice::ReadOnly))
        return {};
    QString table = QString::fromUtf8(source.readAll());
    const QString entry = QStringLiteral("<source>https://talvex.org/</source>");
    const qsizetype at = table.indexOf(entry);
    const qsizetype translation = table.indexOf(QStringLiteral("<translation"), at);
    const qsizetype end = table.indexOf(QStringLiteral("</translation>"), translation);
    if (at < 0 || translation < 0 || end < 0)
        return {};
    table.replace(translation, end - translation, QStringLiteral("<translation>%1").arg(website));
    const auto dir = test::makeTempDir("talvex-urls");
    const QString ts = QString::fromStdString(dir / "URLs_xx.ts");
    const QString qm = QString::fromStdString(dir / "URLs_xx.qm");
    QFile out(ts);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(table.toUtf8());
    out.close();
    QProcess::execute(lrelease, {QStringLiteral("-silent"), ts, QStringLiteral("-qm"), qm});
    return QFile::exists(qm) ? qm : QString();
}

TEST_F(Shell, HelpItemsOpenTheTableAddressesAndOnlyMailOrWebAddresses) {
    std::vector<QUrl> opened;
    Workspace::setOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    QMenu* help = menus().helpMenu();
    itemOf(help, MenuAction::sendFeedback, 0)->trigger();
    itemOf(help, MenuAction::openWebsite, 0)->trigger();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("mailto:feedback@talvex.org")));
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("https://talvex.org/")));

    // A localisation replaces the web page; one that names a file is refused.
    for (const auto& [website, expected] :
         {std::pair{QStringLiteral("https://talvex.example/de/"), 3u},
          std::pair{QStringLiteral("file:///etc/passwd"), 3u}}) {
        const QString qm = compiledURLsTranslation(website);
        if (qm.isEmpty())
            GTEST_SKIP() << "lrelease not available";
        QTranslator translator;
        ASSERT_TRUE(translator.load(qm));
        QCoreApplication::installTranslator(&translator);
        EXPECT_EQ(TXAppDelegate::websiteURL(), website);
        itemOf(help, MenuAction::openWebsite, 0)->trigger();
        QCoreApplication::removeTranslator(&translator);
        ASSERT_EQ(opened.size(), expected) << website.toStdString();
    }
    EXPECT_EQ(opened[2], QUrl(QStringLiteral("https://talvex.example/de/")));
    for (const char* refused : {"mailto:", "https:///path", "http://talvex.org/", "talvex.org",
                                "file:///bin/sh", "javascript:alert(1)"}) {
        EXPECT_FALSE(Workspace::openURL(QUrl(QString::fromLatin1(refused)))) << refused;
    }
    EXPECT_EQ(opened.size(), 3u);
    EXPECT_EQ(TXAppDelegate::websiteURL(), QStringLiteral("https://talvex.org/"));
}

// What the tray icon's left click does; the icon itself exists only where a tray does.
TEST_F(Shell, TheTrayClickHidesThePanelOnScreenAndShowsAHiddenOne) {
    EXPECT_EQ(app_->trayIcon() != nullptr, QSystemTrayIcon::isSystemTrayAvailable());
    app_->togglePanel();
    ASSERT_NE(panel(), nullptr) << "hiding closed the panel";
    EXPECT_TRUE(waitUntil([this] { return !panel()->isVisible(); }));
    app_->togglePanel();
    EXPECT_TRUE(waitUntil([this] { return panel()->isVisible(); }));
}

// The entry's presence is the setting: both controls show it and flip it.
TEST_F(Shell, StartAtLoginAddsAndRemovesTheAutostartEntryFromTheMenuAndThePreferences) {
    const auto entry = test::isolateUserDefaults() / "autostart" / "org.talvex.Talvex.desktop";
    QMenu* menu = menus().applicationMenu();
    QAction* item = itemOf(menu, MenuAction::toggleStartAtLogin, 0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(checkedTags(menu, MenuAction::toggleStartAtLogin), Tags{});
    item->trigger();
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_EQ(checkedTags(menu, MenuAction::toggleStartAtLogin), Tags{0});

    auto* box =
        app_->showPreferences()->findChild<QAbstractButton*>(QStringLiteral("startAtLoginChoice"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));  // the box
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(checkedTags(menu, MenuAction::toggleStartAtLogin), Tags{});

    // Changed from the menu meanwhile: the window shows it once it is active again.
    item->trigger();
    QEvent activation(QEvent::WindowActivate);
    QCoreApplication::sendEvent(box->window(), &activation);
    EXPECT_TRUE(box->isChecked());
}

// What an assistive technology reads for each control; every name differs.
void expectNamedAndDescribed(const QList<QWidget*>& controls) {
    std::set<QString> names;
    for (QWidget* control : controls) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(face, nullptr) << control->objectName().toStdString();
        const QString name = face->text(QAccessible::Name);
        EXPECT_TRUE(names.insert(name).second) << "name taken twice: " << name.toStdString();
        EXPECT_FALSE(name.isEmpty()) << control->objectName().toStdString();
        EXPECT_FALSE(face->text(QAccessible::Description).isEmpty()) << name.toStdString();
    }
}

TEST_F(Shell, ControlsCarryAccessibleNamesTheTabOrderFollowsTheLayoutAndF10OpensTheMenus) {
    TitleBar* bar = panel()->titleBar();
    expectNamedAndDescribed({bar->closeButton(), bar->zoomButton(), app_->menuButton(),
                             accessory()->visionButton(), accessory()->refreshSpeedButton(),
                             accessory()->viewAreaButton()});

    PreferenceWindowController* preferences = app_->showPreferences();
    const QList<QAbstractButton*> controls = preferences->controls();
    expectNamedAndDescribed({controls.begin(), controls.end()});
    // Tab walks the controls top to bottom, as they are laid out.
    QList<QWidget*> tabOrder;
    for (QWidget* at = controls.front(); tabOrder.size() < controls.size();
         at = at->nextInFocusChain()) {
        if (controls.contains(at) && !tabOrder.contains(at))
            tabOrder.append(at);
    }
    std::vector<int> tops;
    for (QWidget* control : tabOrder)
        tops.push_back(control->mapTo(preferences, QPoint()).y());
    EXPECT_TRUE(std::is_sorted(tops.begin(), tops.end()));

    QAction* openMenus = menus().openMenusAction();
    EXPECT_EQ(openMenus->shortcut(), QKeySequence(Qt::Key_F10));
    EXPECT_TRUE(panel()->actions().contains(openMenus));
    openMenus->trigger();
    QMenu* menu = menus().menu();
    ASSERT_TRUE(waitUntil([menu] { return menu->isVisible(); }, 3000));
    EXPECT_EQ(menu->activeAction(), menu->actions().value(0));
    QTest::keyClick(menu, Qt::Key_Down);
    EXPECT_EQ(menu->activeAction(), menu->actions().value(1));
    menu->close();
}

TEST_F(Shell, TitleBarRightClickOpensTheMenusAndTheCloseButtonAsksToTerminate) {
    TitleBar* bar = panel()->titleBar();
    const QPoint at(bar->width() / 2, 10);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
    QCoreApplication::sendEvent(bar, &rightClick);
    EXPECT_TRUE(waitUntil([this] { return menus().menu()->isVisible(); }, 3000));
    menus().menu()->close();

    bool terminationRequested = false;
    QObject::connect(&app_->windowController(), &TXWindowController::terminationRequested,
                     [&] { terminationRequested = true; });
    QTest::mouseClick(bar->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(terminationRequested);
    EXPECT_TRUE(waitUntil([this] { return panel() == nullptr; }, 3000)) << "panel not closed";
    EXPECT_EQ(app_->windowController().contentViewController()->filteredView(), nullptr);
}

// A right press on a pop-up button, delivered as the window system delivers it (the
// press, then the context-menu request that it triggers), opens the application menu
// only: the buttons pop up on the left button alone.
TEST_F(Shell, RightPressOnAPopUpButtonOpensOnlyTheApplicationMenu) {
    QWindow* handle = panel()->windowHandle();
    for (MenuButton* button : {accessory()->visionButton(), accessory()->refreshSpeedButton(),
                               accessory()->viewAreaButton()}) {
        const QPoint at = button->mapTo(panel(), button->rect().center());
        QTest::mousePress(handle, Qt::RightButton, {}, at);
        QTest::mouseRelease(handle, Qt::RightButton, {}, at);
        EXPECT_TRUE(waitUntil([this] { return menus().menu()->isVisible(); }, 3000))
            << button->objectName().toStdString();
        EXPECT_FALSE(button->menu()->isVisible()) << button->objectName().toStdString();
        button->menu()->close();
        menus().menu()->close();
        ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget() == nullptr; }));
    }
}

// The shortcuts work wherever Talvex has the keyboard (but for Ctrl+C over selected
// text), and the stripe toggles sit in
// the Stripes menu beside their shortcuts: chosen there, a toggle flips its switch once.
TEST_F(Shell, ShortcutsWorkInTheAboutAndPreferencesWindowsAndTogglesShowInTheMenu) {
    auto stored = [](const char* key) { return UserDefaults::standard().integerForKey(key); };
    QWidget* about = KPAboutBoxShow()->window();
    for (QWidget* window : {about, static_cast<QWidget*>(app_->showPreferences())}) {
        ASSERT_TRUE(waitUntil([&] { return window->windowHandle()->isExposed(); }));
        window->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }));
        QTest::keyClick(window, Qt::Key_3, Qt::ControlModifier);
        EXPECT_EQ(stored(keys::refreshSpeed), 1);
        QTest::keyClick(window, Qt::Key_M, Qt::ControlModifier);
        EXPECT_EQ(stored(keys::viewArea), 1);
        QTest::keyClick(window, Qt::Key_G, Qt::ControlModifier);
        EXPECT_EQ(stored(keys::greenStripesEnabled), 0);
        QTest::keyClick(window, Qt::Key_G, Qt::ControlModifier);
        EXPECT_EQ(stored(keys::greenStripesEnabled), 1);
        clearSettings();
    }
    // The about box opens clear of the panel above it (both centred, the panel would
    // cover it); Ctrl+C there copies the selected text, not the colour name.
    QRect centred = panel()->frameGeometry();
    centred.moveCenter(about->screen()->availableGeometry().center());
    panel()->move(centred.topLeft());
    about->close();
    KPAboutBoxShow();
    EXPECT_FALSE(about->frameGeometry().intersects(panel()->frameGeometry()));
    UserDefaults::standard().setIntegerForKey(1, keys::nameColours);
    about->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == about; }));
    QTextEdit* text = KPAboutBoxShow()->textView();
    text->setFocus();
    text->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              text->textCursor().selection().toPlainText().toStdString());
    UserDefaults::standard().removeObjectForKey(keys::nameColours);
    about->close();

    QStringList shortcuts;
    for (QAction* item : menus().stripesMenu()->actions())
        shortcuts << item->shortcut().toString();
    EXPECT_TRUE(shortcuts.contains("Ctrl+R") && shortcuts.contains("Ctrl+G"));
    QAction* toggle = menus().stripesMenu()->actions().last();
    EXPECT_EQ(checkedTags(menus().stripesMenu(), MenuAction::adoptGreenStripeSetting), Tags{1});
    EXPECT_TRUE(toggle->isEnabled());
    toggle->trigger();
    EXPECT_EQ(stored(keys::greenStripesEnabled), 0);
    EXPECT_EQ(checkedTags(menus().stripesMenu(), MenuAction::adoptGreenStripeSetting), Tags{0});
}

}  // namespace
}  // namespace talvex
