#pragma once

// The about box: a window with the application's icon, name, version, copyright line
// and credits, filled from the main bundle (platform/Bundle). Main thread only.
#include <QColor>
#include <QString>

namespace talvex {

class KPAboutBoxController;

// Shows the about box and returns its controller. The first call creates the one
// controller of the process; it lives until the application object is destroyed.
KPAboutBoxController* KPAboutBoxShow();

// The tint of the about box's background. Until one is set (or after an invalid colour
// was set) the first read stores and returns a grey of 0.9.
QColor KPAboutBoxBackgroundColor();
void KPAboutBoxSetBackgroundColor(const QColor& color);

// The bundle name; when it is missing or not a string, the executable's file name.
QString KPAboutBoxApplicationName();
// The short version, followed by the build version in parentheses when the two differ
// ("2.1 (210)"). A missing one leaves the other alone; both missing give "".
QString KPAboutBoxVersionString();
// The copyright line, or "" when it is missing or not a string.
QString KPAboutBoxCopyrightString();

}  // namespace talvex
