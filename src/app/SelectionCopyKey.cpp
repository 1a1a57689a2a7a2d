#include "app/SelectionCopyKey.h"

#include <QKeyEvent>
#include <QLabel>

namespace talvex {

SelectionCopyKey::SelectionCopyKey(QObject* parent) : QObject(parent) {}

bool SelectionCopyKey::hasSelectedText(const QObject* object) {
    if (const auto* label = qobject_cast<const QLabel*>(object))
        return label->hasSelectedText();
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && !widget->inputMethodQuery(Qt::ImCurrentSelection).toString().isEmpty();
}

// Before a shortcut fires, its key is offered to the focused widget as a shortcut
// override; accepting it there sends the key to the widget instead.
bool SelectionCopyKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->matches(QKeySequence::Copy) || !hasSelectedText(watched))
        return false;
    key->accept();
    return true;
}

}  // namespace talvex
