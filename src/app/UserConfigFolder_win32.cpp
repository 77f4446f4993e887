#include "app/UserConfigFolder.h"

#include <QDir>

#include <windows.h>

#include <shlobj.h>

namespace morvane {

// The roaming folder, as Windows programs keep settings that follow a user from machine to
// machine; Qt's configuration location is the local one.
QString UserConfigFolder()
{
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    ::CoTaskMemFree(path);
    return folder;
}

} // namespace morvane
