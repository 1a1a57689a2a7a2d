#include "talvex/PanelShortcut.h"

#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "settings/Settings.h"
#include "talvex/ItemTable.h"

namespace talvex {

static_assert(defaultPanelShortcut ==
              QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_L).toCombined());

namespace {

QKeyCombination combinationOf(std::int64_t stored) {
    return QKeyCombination::fromCombined(static_cast<int>(stored));
}

}  // namespace

QString ownKeyText(const QKeySequence& keys, const std::string& command) {
    return QStringLiteral("Talvex uses %1 for %2")
        .arg(keys.toString(QKeySequence::NativeText), QString::fromStdString(command));
}

PanelShortcut::PanelShortcut(UserDefaults& defaults, const char* displayName, QObject* parent)
    : QObject(parent), defaults_(defaults), shortcut_([this] { emit pressed(); }, displayName) {
    grabStoredKey();
    // A write on another thread reaches the grab queued: it belongs to this thread.
    connect(&defaults_, &UserDefaults::valueChanged, this, &PanelShortcut::grabStoredKey);
}

PanelShortcut::~PanelShortcut() = default;

QKeySequence PanelShortcut::keySequence() const {
    return combination_ > 0 ? QKeySequence(combinationOf(combination_)) : QKeySequence();
}

// A stored key without an X keysym is unavailable as well.
GlobalShortcut::State PanelShortcut::state() const {
    if (combination_ != 0 && !shortcut_.key())
        return GlobalShortcut::State::unavailable;
    return shortcut_.state();
}

QString PanelShortcut::statusText() const {
    if (!ownUse_.empty())
        return ownKeyText(keySequence(), ownUse_);
    switch (state()) {
        case GlobalShortcut::State::inUse:
            return QStringLiteral("In use by another application");
        case GlobalShortcut::State::unavailable:
            return QStringLiteral("Not available on this keyboard");
        case GlobalShortcut::State::off:
        case GlobalShortcut::State::active:
            break;
    }
    return {};
}

// Every write of any setting is signalled: the key is grabbed again only when it changed.
void PanelShortcut::grabStoredKey() {
    const std::int64_t stored = currentPanelShortcut(defaults_);
    if (stored == combination_)
        return;
    combination_ = stored;
    ownUse_ = stored > 0 ? commandUsingKey(stored) : std::string();
    const bool grabbable = stored > 0 && stored <= INT32_MAX && ownUse_.empty();
    shortcut_.setKey(grabbable ? ShortcutKey::fromQt(combinationOf(stored)) : std::nullopt);
    const std::string keys = keySequence().toString().toStdString();
    if (!ownUse_.empty())
        systemLog(ownKeyText(keySequence(), ownUse_).toStdString() + ": the panel's key is off.");
    else if (state() == GlobalShortcut::State::inUse)
        systemLog("The panel's shortcut " + keys + " is in use by another application.");
    else if (state() == GlobalShortcut::State::unavailable)
        systemLog("The panel's shortcut " + keys + " is not available on this keyboard.");
    emit changed();
}

}  // namespace talvex
