#include "talvex/PreferenceWindowController.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>

#include "app/QtMenuItem.h"
#include "platform/UserDefaults.h"
#include "talvex/ItemTable.h"
#include "talvex/PanelShortcut.h"
#include "ui_PreferenceWindowController.h"

namespace talvex {

PreferenceWindowController::PreferenceWindowController(QWidget* parent)
    : PreferenceWindowController(UserDefaults::standard(), parent) {}

PreferenceWindowController::PreferenceWindowController(UserDefaults& defaults, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::PreferenceWindowController>()) {
    ui_->setupUi(this);
    configureControls();
    for (QAbstractButton* choice : controls()) {
        // clicked, not toggled: only the user's choice writes, never a refresh.
        connect(choice, &QAbstractButton::clicked, this, [this, choice] { choose(choice); });
    }
    // One key combination: the first of what was typed, sent when the typing ends. The
    // clear button empties it; the field empties itself too at the first key typed,
    // which is no clear (see eventFilter).
    QKeySequenceEdit* field = ui_->panelShortcutEdit;
    field->installEventFilter(this);
    connect(field, &QKeySequenceEdit::editingFinished, this, [this, field] {
        recordingKey_ = false;
        sendPanelShortcut(field->keySequence());
    });
    connect(field, &QKeySequenceEdit::keySequenceChanged, this, [this](const QKeySequence& keys) {
        if (keys.isEmpty() && !recordingKey_)
            sendPanelShortcut(keys);
    });
    observeDefaults(defaults);
}

PreferenceWindowController::~PreferenceWindowController() = default;

void PreferenceWindowController::setMenuActionTarget(MenuActionTarget* target) {
    target_ = target;
    refresh();
}

void PreferenceWindowController::setPanelShortcut(PanelShortcut* shortcut) {
    if (shortcut_)
        disconnect(shortcut_, nullptr, this, nullptr);
    shortcut_ = shortcut;
    if (shortcut_) {
        connect(shortcut_, &PanelShortcut::changed, this,
                &PreferenceWindowController::showPanelShortcut);
    }
    showPanelShortcut();
}

// A key of Talvex's own is refused here, with the reason under the field, until
// another key is typed.
void PreferenceWindowController::sendPanelShortcut(const QKeySequence& keys) {
    const std::int64_t combination = keys.isEmpty() ? 0 : keys[0].toCombined();
    const std::string ownUse = combination ? commandUsingKey(combination) : std::string();
    refusal_ = ownUse.empty() ? QString() : ownKeyText(QKeySequence(keys[0]), ownUse);
    if (target_ && refusal_.isEmpty())
        target_->sendAction(PlainMenuItem(MenuAction::adoptPanelShortcutSetting, combination));
    showPanelShortcut();
}

// The key in force and what stands in its way, or why a typed key was refused; without
// a shortcut, what was typed.
void PreferenceWindowController::showPanelShortcut() {
    if (shortcut_) {
        const QSignalBlocker quiet(ui_->panelShortcutEdit);
        ui_->panelShortcutEdit->setKeySequence(shortcut_->keySequence());
    }
    const QString status =
        !refusal_.isEmpty() ? refusal_ : (shortcut_ ? shortcut_->statusText() : QString());
    ui_->panelShortcutStatus->setText(status);
    ui_->panelShortcutStatus->setVisible(!status.isEmpty());
}

// The interface file lays the controls out; the items table gives each, by its
// object name, the action and the value it sends.
void PreferenceWindowController::configureControls() {
    for (const ItemRow& row : itemRows()) {
        if (!row.control)
            continue;
        if (auto* button = findChild<QAbstractButton*>(QLatin1String(row.control)))
            QtMenuItem::configure(button, row.action, row.tag);
    }
}

QList<QAbstractButton*> PreferenceWindowController::controls() const {
    QList<QAbstractButton*> result;
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (button->property(QtMenuItem::actionProperty).isValid())
            result.append(button);
    }
    return result;
}

QList<QAbstractButton*> PreferenceWindowController::choices() const {
    QList<QAbstractButton*> result = controls();
    result.removeIf([](QAbstractButton* button) { return !qobject_cast<QRadioButton*>(button); });
    return result;
}

// The target writes the store and the store's signal refreshes the window; a
// choice that wrote nothing (no target, a value refused) is undone by the refresh too.
void PreferenceWindowController::choose(QAbstractButton* choice) {
    if (target_)
        target_->sendAction(QtMenuItem(choice));
    refresh();
}

void PreferenceWindowController::refresh() {
    if (!target_)
        return;
    for (QAbstractButton* choice : controls()) {
        QtMenuItem item(choice);
        choice->setEnabled(target_->validateMenuItem(item));
    }
    showPanelShortcut();
}

// The field records from the first key pressed in it (a lone modifier too) until the
// typing ends or the field loses the focus; a key left unfinished gives way to the
// key in force again.
bool PreferenceWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->panelShortcutEdit) {
        if (event->type() == QEvent::KeyPress) {
            recordingKey_ = true;
        } else if (event->type() == QEvent::FocusOut && recordingKey_) {
            recordingKey_ = false;
            QMetaObject::invokeMethod(this, &PreferenceWindowController::showPanelShortcut,
                                      Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool PreferenceWindowController::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        refresh();
    return QWidget::event(event);
}

// A write on another thread reaches the controls queued, on their own thread.
void PreferenceWindowController::observeDefaults(UserDefaults& defaults) {
    connect(&defaults, &UserDefaults::valueChanged, this, &PreferenceWindowController::refresh);
}

}  // namespace talvex
