#include "app/LensConfiguration.h"

#include <QKeyCombination>
#include <QKeySequence>

namespace talvex::lens {

QVariantMap settingsFor(const LensSettings& settings, bool held, double scale,
                        std::optional<Rgb> found, bool picking) {
    return {
        {QStringLiteral("red-stripes"), settings.redStripes != 0},
        {QStringLiteral("green-stripes"), settings.greenStripes != 0},
        {QStringLiteral("strength"), settings.strength / 100.0},
        {QStringLiteral("area"), settings.area == ViewArea::mousePointer
                                     ? QStringLiteral("pointer")
                                     : QStringLiteral("beneath")},
        {QStringLiteral("held"), held},
        {QStringLiteral("name-colours"), picking || settings.nameColours},
        {QStringLiteral("shortcut"), accelerator(settings.panelShortcut)},
        {QStringLiteral("scale"), scale > 0 ? scale : 1.0},
        {QStringLiteral("magnification"), static_cast<uint>(settings.magnification)},
        {QStringLiteral("find-colour"),
         found ? QString::fromStdString(hexString(*found)) : QString()},
        {QStringLiteral("find-range"), findRange(settings.findNear)},
        {QStringLiteral("picking"), picking},
    };
}

QString accelerator(std::int64_t combined) {
    if (combined <= 0 || combined > 0x7fffffff)
        return {};
    const QKeyCombination key = QKeyCombination::fromCombined(static_cast<int>(combined));
    const Qt::Key code = key.key();
    QString name;
    if ((code >= Qt::Key_A && code <= Qt::Key_Z) || (code >= Qt::Key_0 && code <= Qt::Key_9))
        name = QChar(code).toLower();
    else if (code >= Qt::Key_F1 && code <= Qt::Key_F35)
        name = QStringLiteral("F%1").arg(code - Qt::Key_F1 + 1);
    else
        return {};
    QString text;
    const Qt::KeyboardModifiers mods = key.keyboardModifiers();
    if (mods & Qt::ControlModifier)
        text += QStringLiteral("<Control>");
    if (mods & Qt::AltModifier)
        text += QStringLiteral("<Alt>");
    if (mods & Qt::ShiftModifier)
        text += QStringLiteral("<Shift>");
    if (mods & Qt::MetaModifier)
        text += QStringLiteral("<Super>");
    return text + name;
}

}  // namespace talvex::lens
