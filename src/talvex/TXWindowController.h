#pragma once

// Owns the panel: loads it from the "Main" interface, lifts it above other windows,
// keeps it on screen while another application is active, disables its zoom button
// and attaches the title-bar accessory ("WindowControls") at the right end of its
// title bar. When the panel closes, the application ends in a later pass of the main
// loop, after the close has completed.
#include <QObject>
#include <QPointer>
#include <memory>

#include "app/Window.h"
#include "talvex/FilterSettingsController.h"

namespace talvex {

class FilteredView;
class MenuActionTarget;
class TXViewController;

class TXWindowController : public QObject {
    Q_OBJECT

public:
    static constexpr const char* accessorySceneIdentifier = "WindowControls";

    // Menus of the panel and its accessory send their commands to `target`.
    explicit TXWindowController(MenuActionTarget& target, QObject* parent = nullptr);
    ~TXWindowController() override;

    // The panel, loaded on first use; none once it has closed.
    Window* window();
    // The panel if it has been loaded and not closed; never loads it.
    Window* existingWindow() const { return window_.data(); }
    TXViewController* contentViewController() const { return viewController_.get(); }
    FilterSettingsController* accessory() const { return accessory_; }

    // Loads the panel if needed, shows it and brings it forward.
    void showWindow();

    // Whether the application ends when the panel closes (on by default; tests turn it
    // off and watch terminationRequested instead).
    void setTerminatesOnClose(bool terminates) { terminatesOnClose_ = terminates; }

signals:
    // The panel closed and the application was asked to end.
    void terminationRequested();

private:
    void loadWindow();
    void windowDidLoad();
    void setPanelLevel();
    void windowWillClose();

    MenuActionTarget& target_;
    QPointer<Window> window_;
    std::unique_ptr<TXViewController> viewController_;
    QPointer<FilterSettingsController> accessory_;
    bool loaded_ = false;
    bool terminatesOnClose_ = true;
};

}  // namespace talvex
