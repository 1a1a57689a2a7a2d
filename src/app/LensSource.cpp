#include "app/LensSource.h"

#include "app/CompositorLens.h"
#include "app/SelfCapturedLens.h"
#include "platform/LensBus.h"

namespace talvex {

std::unique_ptr<LensSource> LensSource::forSession(Window& panel, FilteredView& view) {
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!isWaylandSession(environment))
        return std::make_unique<SelfCapturedLens>();
    return std::make_unique<CompositorLens>(panel, view, isGnomeSession(environment));
}

bool LensSource::isWaylandSession(const QProcessEnvironment& environment) {
    return !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
           environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
}

bool LensSource::isGnomeSession(const QProcessEnvironment& environment) {
    const auto desktops = environment.value(QStringLiteral("XDG_CURRENT_DESKTOP"))
                              .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}

}  // namespace talvex
