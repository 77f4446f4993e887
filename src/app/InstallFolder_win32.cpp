#include "app/InstallFolder.h"

#include <QDir>

#include <initializer_list>

namespace morvane {

bool IsInstalledProgramFolder(const QString &programFolder)
{
    const QString program = QDir::cleanPath(QDir(programFolder).absolutePath()) + QLatin1Char('/');
    // The 64-bit folder, and the 32-bit one that a 64-bit Windows has beside it.
    for (const char *name : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"}) {
        const QString root = qEnvironmentVariable(name);
        if (root.isEmpty())
            continue;
        const QString prefix = QDir::cleanPath(QDir::fromNativeSeparators(root)) + QLatin1Char('/');
        if (program.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace morvane
