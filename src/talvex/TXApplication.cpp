#include "talvex/TXApplication.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QWindow>

#include "app/FilteredView.h"
#include "app/LensSource.h"
#include "app/SelectionCopyKey.h"
#include "app/TitleBar.h"
#include "app/Window.h"
#include "platform/UserDefaults.h"
#include "talvex/ColourNameTitle.h"
#include "talvex/MainMenu.h"
#include "talvex/PanelShortcut.h"
#include "talvex/PreferenceWindowController.h"
#include "talvex/ResponderChain.h"
#include "talvex/SingleInstance.h"
#include "talvex/TXAppDelegate.h"
#include "talvex/TXViewController.h"
#include "talvex/TXWindowController.h"

namespace talvex {

namespace {
constexpr char menuButtonName[] = "applicationMenuButton";
}

TXApplication::TXApplication()
    : delegate_(std::make_unique<TXAppDelegate>()),
      chain_(std::make_unique<ResponderChain>(*delegate_)),
      mainMenu_(std::make_unique<MainMenu>(*chain_)),
      windowController_(std::make_unique<TXWindowController>(*chain_)),
      selectionCopyKey_(std::make_unique<SelectionCopyKey>()) {
    chain_->setApplication(this);
    // Ctrl+C is Copy Colour Name in every window, except where text is selected.
    QApplication::instance()->installEventFilter(selectionCopyKey_.get());
}

TXApplication::~TXApplication() {
    chain_->setViewController(nullptr);
    chain_->setApplication(nullptr);
}

bool TXApplication::claimSingleInstance(const QString& key) {
    singleInstance_ = std::make_unique<SingleInstance>(key);
    if (!singleInstance_->claim())
        return false;
    connect(singleInstance_.get(), &SingleInstance::activationRequested, this,
            &TXApplication::bringPanelForward);
    return true;
}

// The stripe defaults are registered before the panel (and with it the filter that
// reads them) exists.
void TXApplication::finishLaunching() {
    delegate_->applicationWillFinishLaunching();
    windowController_->window();
    chain_->setViewController(windowController_->contentViewController());
    attachMenusToPanel();
    installTrayIcon();
    installPanelShortcut();
    installLensSource();
    windowController_->showWindow();
}

// The key grabbed on the X server shows and hides the panel; the colour names follow
// the pointer over its picture.
void TXApplication::installPanelShortcut() {
    panelShortcut_ = std::make_unique<PanelShortcut>(UserDefaults::standard());
    connect(panelShortcut_.get(), &PanelShortcut::pressed, this,
            &TXApplication::togglePanelQuietly);
    Window* panel = windowController_->window();
    TXViewController* content = windowController_->contentViewController();
    if (panel && content && content->filteredView()) {
        colourNames_ = std::make_unique<ColourNameTitle>(*panel, *content->filteredView(),
                                                         UserDefaults::standard());
    }
}

// On a Wayland session the compositor draws the picture; its show/hide key does what
// the X11 grab's does.
void TXApplication::installLensSource() {
    Window* panel = windowController_->window();
    TXViewController* content = windowController_->contentViewController();
    if (!panel || !content || !content->filteredView())
        return;
    lensSource_ = LensSource::forSession(*panel, *content->filteredView());
    connect(lensSource_.get(), &LensSource::shortcutActivated, this,
            &TXApplication::togglePanelQuietly);
}

// The menus open from a button at the left of the title bar and from a right-click
// anywhere on the title bar; their shortcuts work while the panel is active.
void TXApplication::attachMenusToPanel() {
    Window* panel = windowController_->window();
    if (!panel)
        return;
    auto* button = new QToolButton;
    button->setObjectName(QLatin1String(menuButtonName));
    button->setText(QStringLiteral("☰"));
    button->setToolTip(QStringLiteral("Talvex menu"));
    button->setAccessibleName(QStringLiteral("Talvex menu"));
    button->setAccessibleDescription(QStringLiteral(
        "Opens the menus: Talvex, Stripes, Refresh Speed, View Area and Help (F10)"));
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(mainMenu_->menu());
    button->setStyleSheet(
        QStringLiteral("QToolButton { color: white; border: none; padding: 0 4px; }"
                       "QToolButton::menu-indicator { image: none; }"));
    panel->setMenuButton(button);

    TitleBar* bar = panel->titleBar();
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bar, &QWidget::customContextMenuRequested, bar,
            [this, bar](const QPoint& at) { mainMenu_->menu()->popup(bar->mapToGlobal(at)); });
    connect(mainMenu_->openMenusAction(), &QAction::triggered, button,
            [this, button] { openMenusFromKeyboard(button); });
    mainMenu_->installShortcuts(panel);
}

// Below the menu button, its first item highlighted so that the arrow keys go on
// from there; where the panel is hidden, at the active window.
void TXApplication::openMenusFromKeyboard(QWidget* button) {
    QWidget* anchor = button->isVisible() ? button : QApplication::activeWindow();
    if (!anchor)
        return;
    QMenu* menu = mainMenu_->menu();
    menu->popup(anchor->mapToGlobal(QPoint(0, anchor == button ? button->height() : 0)));
    menu->setActiveAction(menu->actions().value(0));
}

QToolButton* TXApplication::menuButton() const {
    Window* panel = windowController_->existingWindow();
    return panel ? panel->findChild<QToolButton*>(QLatin1String(menuButtonName)) : nullptr;
}

void TXApplication::installTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray_ = std::make_unique<QSystemTrayIcon>(QApplication::windowIcon());
    tray_->setToolTip(QStringLiteral("Talvex"));
    tray_->setContextMenu(mainMenu_->menu());
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    togglePanel();
            });
    tray_->show();
}

void TXApplication::bringPanelForward() {
    windowController_->showWindow();
}

void TXApplication::togglePanel() {
    Window* panel = windowController_->existingWindow();
    if (panel && panel->isVisible() && !panel->isMinimized())
        panel->hide();
    else
        bringPanelForward();
}

// Pressed while another application has the keyboard: the panel comes back where it
// was, without taking the keyboard from that application.
void TXApplication::togglePanelQuietly() {
    Window* panel = windowController_->window();
    if (!panel)
        return;
    if (panel->isVisible() && !panel->isMinimized()) {
        panel->hide();
        return;
    }
    // A window manager places a window mapped again anew unless it asks for its place;
    // once the native window exists, the X11 platform reads WA_ShowWithoutActivating from
    // this property of it, at the show.
    QWindow* handle = panel->windowHandle();
    if (handle) {
        handle->setPosition(handle->position());
        handle->setProperty("_q_showWithoutActivating", true);
    }
    panel->showNormal();
    panel->raise();
    if (handle)
        handle->setProperty("_q_showWithoutActivating", QVariant());
}

void TXApplication::copyColourName() {
    if (colourNames_ && !colourNames_->lastName().isEmpty())
        QApplication::clipboard()->setText(colourNames_->lastName());
}

void TXApplication::findNamedColour() {
    TXViewController* content = windowController_->contentViewController();
    if (colourNames_ && content) {
        if (const std::optional<Rgb> colour = colourNames_->lastColour())
            content->findColour(*colour);
    }
}

PreferenceWindowController* TXApplication::showPreferences() {
    if (!preferences_) {
        preferences_ = std::make_unique<PreferenceWindowController>();
        preferences_->setMenuActionTarget(chain_.get());
        preferences_->setPanelShortcut(panelShortcut_.get());
        preferences_->refresh();
        mainMenu_->installShortcuts(preferences_.get());
    }
    preferences_->show();
    preferences_->raise();
    preferences_->activateWindow();
    return preferences_.get();
}

}  // namespace talvex
