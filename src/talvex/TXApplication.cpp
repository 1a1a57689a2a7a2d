#include "talvex/TXApplication.h"

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QToolButton>

#include "about/KPAboutBox.h"
#include "app/TitleBar.h"
#include "app/Window.h"
#include "talvex/MainMenu.h"
#include "talvex/PreferenceWindowController.h"
#include "talvex/ResponderChain.h"
#include "talvex/SingleInstance.h"
#include "talvex/TXAppDelegate.h"
#include "talvex/TXViewController.h"
#include "talvex/TXWindowController.h"

namespace talvex {

TXApplication::TXApplication()
    : delegate_(std::make_unique<TXAppDelegate>()),
      chain_(std::make_unique<ResponderChain>(*delegate_)),
      mainMenu_(std::make_unique<MainMenu>(*chain_)),
      windowController_(std::make_unique<TXWindowController>(*chain_)) {
    connectApplicationActions();
}

TXApplication::~TXApplication() {
    chain_->setViewController(nullptr);
    if (preferences_) delete preferences_.data();
}

bool TXApplication::claimSingleInstance() {
    singleInstance_ = std::make_unique<SingleInstance>();
    if (!singleInstance_->claim()) return false;
    connect(singleInstance_.get(), &SingleInstance::activationRequested, this,
            &TXApplication::bringPanelForward);
    return true;
}

void TXApplication::connectApplicationActions() {
    chain_->setApplicationAction(MenuAction::orderFrontAboutBox, [] { KPAboutBoxShow(); });
    chain_->setApplicationAction(MenuAction::showPreferences, [this] { showPreferences(); });
    chain_->setApplicationAction(MenuAction::terminate, [] { QApplication::quit(); });
}

void TXApplication::finishLaunching() {
    delegate_->applicationWillFinishLaunching();
    Window* panel = windowController_->window();
    chain_->setViewController(windowController_->contentViewController());
    attachMenusToPanel();
    installTrayIcon();
    windowController_->showWindow();
    (void)panel;
}

// The menus open from a button at the left of the title bar and from a right-click
// anywhere on the title bar; their shortcuts work while the panel is active.
void TXApplication::attachMenusToPanel() {
    Window* panel = windowController_->window();
    if (!panel) return;
    auto* button = new QToolButton;
    button->setObjectName(QStringLiteral("applicationMenuButton"));
    button->setText(QStringLiteral("☰"));
    button->setToolTip(QStringLiteral("Talvex menu"));
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(mainMenu_->menu());
    button->setStyleSheet(QStringLiteral(
        "QToolButton { color: white; border: none; padding: 0 4px; }"
        "QToolButton::menu-indicator { image: none; }"));
    panel->setMenuButton(button);

    TitleBar* bar = panel->titleBar();
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bar, &QWidget::customContextMenuRequested, bar, [this, bar](const QPoint& at) {
        mainMenu_->menu()->popup(bar->mapToGlobal(at));
    });
    mainMenu_->installShortcuts(panel);
}

void TXApplication::installTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/AppIcon.png")), this);
    tray_->setToolTip(QStringLiteral("Talvex"));
    tray_->setContextMenu(mainMenu_->menu());
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) bringPanelForward();
    });
    tray_->show();
}

void TXApplication::bringPanelForward() { windowController_->showWindow(); }

PreferenceWindowController* TXApplication::showPreferences() {
    if (!preferences_) {
        preferences_ = new PreferenceWindowController;
        preferences_->setMenuActionTarget(chain_.get());
        preferences_->refresh();
    }
    preferences_->show();
    preferences_->raise();
    preferences_->activateWindow();
    return preferences_.data();
}

}  // namespace talvex
