#pragma once

// The running application: the delegate, the responder chain every menu sends to,
// the panel's window controller, the application menus (title-bar button, right-click
// on the title bar, system tray, keyboard shortcuts), the preferences window and the
// single-instance guard. Made once, after the QApplication, on the main thread.
#include <QObject>
#include <memory>

class QSystemTrayIcon;
class QToolButton;
class QWidget;

namespace talvex {

class ColourNameTitle;
class LensSource;
class MainMenu;
class PanelShortcut;
class PreferenceWindowController;
class ResponderChain;
class SelectionCopyKey;
class SingleInstance;
class TXAppDelegate;
class TXWindowController;

class TXApplication : public QObject {
    Q_OBJECT

public:
    TXApplication();
    ~TXApplication() override;

    // Claims the single-instance lock; false when another instance runs (it has been
    // asked to come forward and this one should end). `key` separates independent
    // sets of instances (tests).
    bool claimSingleInstance(const QString& key = QString());
    // Launch: defaults registered, about box tinted, panel loaded, menus attached, the
    // panel shown.
    void finishLaunching();

    TXAppDelegate& delegate() const { return *delegate_; }
    ResponderChain& responderChain() const { return *chain_; }
    TXWindowController& windowController() const { return *windowController_; }
    MainMenu& mainMenu() const { return *mainMenu_; }
    // The title-bar button that opens the application menu; none before launch.
    QToolButton* menuButton() const;
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }
    // The tray icon's left click: hides the panel when it is on screen, else shows it
    // and brings it forward.
    void togglePanel();
    // The preferences window, made on first use, shown and brought forward.
    PreferenceWindowController* showPreferences();
    // The key that shows and hides the panel from anywhere; none before launch.
    PanelShortcut* panelShortcut() const { return panelShortcut_.get(); }
    // Puts the name of the colour last under the pointer on the clipboard, if any.
    void copyColourName();
    // Finds the colour last named in the title (Name Colours on).
    void findNamedColour();

private:
    void attachMenusToPanel();
    void installTrayIcon();
    void bringPanelForward();
    void openMenusFromKeyboard(QWidget* button);
    void installPanelShortcut();
    void togglePanelQuietly();
    void installLensSource();

    // Declared in the order of their dependencies: each may refer to those above it,
    // and they are destroyed in reverse.
    std::unique_ptr<TXAppDelegate> delegate_;
    std::unique_ptr<ResponderChain> chain_;
    std::unique_ptr<MainMenu> mainMenu_;
    std::unique_ptr<TXWindowController> windowController_;
    std::unique_ptr<PreferenceWindowController> preferences_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<SingleInstance> singleInstance_;
    std::unique_ptr<PanelShortcut> panelShortcut_;
    std::unique_ptr<ColourNameTitle> colourNames_;
    std::unique_ptr<SelectionCopyKey> selectionCopyKey_;
    std::unique_ptr<LensSource> lensSource_;
};

}  // namespace talvex
