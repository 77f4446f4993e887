#include "app/UserConfigFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace morvane {

QString UserConfigFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored, which Qt does not do.
    const QString xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdgConfigHome.isEmpty() && !QDir::isAbsolutePath(xdgConfigHome))
        return QDir(QDir::homePath()).filePath(QStringLiteral(".config"));
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace morvane
