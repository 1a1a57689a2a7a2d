#pragma once

// The preferences window: the four settings as groups of radio buttons, and a check
// box that starts Talvex at login. Each button takes the tag and action of its row
// of the items table (see ItemTable, QtMenuItem), writes
// through the same MenuActionTarget and takes its checked state from the same
// validation, redone on every change of the store. The colour names are a check box of
// the same kind; the panel's shortcut is a key field with the key's state below it.
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "app/MenuActionTarget.h"

class QAbstractButton;
class QKeySequence;

namespace Ui {
class PreferenceWindowController;
}

namespace talvex {

class PanelShortcut;
class UserDefaults;

class PreferenceWindowController : public QWidget {
    Q_OBJECT

public:
    // A top-level window even when given a parent. The choices show the values in
    // force again after every change of `defaults` (the standard store by default),
    // the store the target reads.
    explicit PreferenceWindowController(QWidget* parent = nullptr);
    explicit PreferenceWindowController(UserDefaults& defaults, QWidget* parent = nullptr);
    ~PreferenceWindowController() override;

    // Where the choices send their actions; not owned, may be nullptr.
    void setMenuActionTarget(MenuActionTarget* target);
    MenuActionTarget* menuActionTarget() const { return target_; }

    // Every radio button that stands for a setting value.
    QList<QAbstractButton*> choices() const;
    // Every button that sends a command: the choices and the start-at-login box.
    QList<QAbstractButton*> controls() const;

    // The panel's shortcut, whose key and state the window shows (not owned, may be
    // nullptr). A key typed in the window is sent through the target, unless Talvex
    // uses it itself: then the field says so and keeps the key in force.
    void setPanelShortcut(PanelShortcut* shortcut);

    // Puts the check marks on the values in force (asks the target).
    void refresh();

protected:
    // Refreshes on activation: the start-at-login entry may have changed meanwhile
    // (from the menu), and that change emits no signal.
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureControls();
    void choose(QAbstractButton* choice);
    void observeDefaults(UserDefaults& defaults);
    void sendPanelShortcut(const QKeySequence& keys);
    void showPanelShortcut();

    std::unique_ptr<Ui::PreferenceWindowController> ui_;
    MenuActionTarget* target_ = nullptr;
    QPointer<PanelShortcut> shortcut_;
    QString refusal_;            // why the key typed last was refused; "" when it was not
    bool recordingKey_ = false;  // a key is being typed in the field
};

}  // namespace talvex
