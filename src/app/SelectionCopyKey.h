#pragma once

// The copy key (Ctrl+C) copies the text selected in a window of the application, ahead
// of an application-wide shortcut on the same key (Copy Colour Name): read-only text
// views and labels copy on the key press but claim no shortcut, so without this the
// shortcut takes the key from them. Installed as an event filter on the application, it
// claims the key for the focused widget while that widget has text selected.
//
// Threading: main thread.
#include <QObject>

namespace talvex {

class SelectionCopyKey : public QObject {
    Q_OBJECT

public:
    explicit SelectionCopyKey(QObject* parent = nullptr);

    // Whether `object` is a widget with selected text: a label, or a widget that reports
    // its selection to input methods (text views and fields, read-only or not).
    static bool hasSelectedText(const QObject* object);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace talvex
