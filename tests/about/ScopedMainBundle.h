#pragma once

// Installs a test bundle as the main bundle for the lifetime of the object.
#include <QString>
#include <QVariantMap>
#include <memory>

#include "platform/Bundle.h"

namespace talvex::test {

class ScopedMainBundle {
public:
    explicit ScopedMainBundle(QVariantMap info, QString resourceRoot = QStringLiteral(":/"),
                              QString executable = QStringLiteral("/opt/lens/bin/lens-tool"))
        : previous_(Bundle::replaceMain(std::make_unique<Bundle>(
              std::move(info), std::move(resourceRoot), std::move(executable)))) {}
    ~ScopedMainBundle() { Bundle::replaceMain(std::move(previous_)); }
    ScopedMainBundle(const ScopedMainBundle&) = delete;
    ScopedMainBundle& operator=(const ScopedMainBundle&) = delete;

private:
    std::unique_ptr<Bundle> previous_;
};

}  // namespace talvex::test
