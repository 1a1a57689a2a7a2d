#include "app/LensSource.h"

#include "app/CompositorLens.h"
#include "app/FilteredView.h"
#include "app/SelfCapturedLens.h"
#include "platform/LensBus.h"

namespace talvex {

std::unique_ptr<LensSource> LensSource::forSession(Window& panel, FilteredView& view) {
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<LensSource> source;
    if (isWaylandSession(environment))
        source = std::make_unique<CompositorLens>(panel, view, desktopOf(environment));
    else
        source = std::make_unique<SelfCapturedLens>();
    view.setLensSource(source.get());
    return source;
}

bool LensSource::isWaylandSession(const QProcessEnvironment& environment) {
    return !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
           environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
}

LensSource::Desktop LensSource::desktopOf(const QProcessEnvironment& environment) {
    const auto desktops = environment.value(QStringLiteral("XDG_CURRENT_DESKTOP"))
                              .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive))
        return Desktop::gnome;
    if (desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive))
        return Desktop::plasma;
    return Desktop::other;
}

}  // namespace talvex
