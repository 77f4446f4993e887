#pragma once

#include <QString>

namespace morvane {

// Whether the program in programFolder is an installed copy: the folder this build installs its
// programs to (or the Debian package's), on Windows any folder below Program Files. Such a folder
// belongs to the system, not to whoever ran the program first, even when they may write there.
bool IsInstalledProgramFolder(const QString &programFolder);

} // namespace morvane
