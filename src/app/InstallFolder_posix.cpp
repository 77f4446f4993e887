#include "app/InstallFolder.h"

#include <QDir>
#include <QFileInfo>

#include <initializer_list>

namespace morvane {

namespace {

// The folder as the system resolves it, so that a link to it or a path with ".." compares equal.
QString resolved(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

} // namespace

bool IsInstalledProgramFolder(const QString &programFolder)
{
    const QString program = resolved(programFolder);
    // The configured install folder, and the package's, wherever the build itself was configured
    // to install.
    for (const char *folder : {MORVANE_INSTALL_BINDIR, MORVANE_PACKAGE_BINDIR})
        if (*folder != '\0' && resolved(QString::fromUtf8(folder)) == program)
            return true;
    return false;
}

} // namespace morvane
