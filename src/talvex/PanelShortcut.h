#pragma once

// The key that shows and hides the panel from anywhere: follows the PanelShortcut
// setting, grabs that key on the X server (GlobalShortcut) and says so when another
// application holds it already (one log line; the preferences show it). A key that
// Talvex uses itself (a file edited by hand) is not grabbed: the grab would take it
// from Talvex's own windows. The grab is given up when the setting changes and when
// this goes.
//
// Threading: main thread. The store's signal may come from any thread; it is
// answered on the main thread (a queued connection).
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/x11/GlobalShortcut.h"

namespace talvex {

class UserDefaults;

// "Talvex uses Ctrl+R for Toggle Red Stripes": why `keys` cannot be the panel's key.
QString ownKeyText(const QKeySequence& keys, const std::string& command);

class PanelShortcut : public QObject {
    Q_OBJECT

public:
    // `displayName`: the X display (nullptr: $DISPLAY).
    explicit PanelShortcut(UserDefaults& defaults, const char* displayName = nullptr,
                           QObject* parent = nullptr);
    ~PanelShortcut() override;

    // The key set in the store; empty when none is.
    QKeySequence keySequence() const;
    // unavailable also for one of Talvex's own keys.
    GlobalShortcut::State state() const;
    // What the preferences say beside the key: "" while it works.
    QString statusText() const;

signals:
    // The key was pressed, whichever application has the keyboard.
    void pressed();
    // The key or its state changed.
    void changed();

private:
    void grabStoredKey();

    UserDefaults& defaults_;
    GlobalShortcut shortcut_;
    std::int64_t combination_ = -1;  // the key grabbed for; -1 before the first
    std::string ownUse_;             // what Talvex does with that key; "" for nothing
};

}  // namespace talvex
