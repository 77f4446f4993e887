#include "app/SettingsLocation.h"

#include "app/InstallFolder.h"
#include "app/UserConfigFolder.h"
#include "gui/FileSystemNames.h"
#include "platform/FolderProbe.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace morvane {

namespace {

const QString kFileName = QStringLiteral("Morvane.ini");
const QString kFolderName = QStringLiteral("Morvane");

} // namespace

QString ChooseSettingsPath(const SettingsPlaces &places)
{
    const bool besideProgram
        = !places.installed && (places.fileBesideProgram || places.programFolderWritable);
    if (besideProgram || places.userConfigFolder.isEmpty())
        return QDir(places.programFolder).filePath(kFileName);
    return QDir(QDir(places.userConfigFolder).filePath(kFolderName)).filePath(kFileName);
}

SettingsPlaces FindSettingsPlaces(const QString &programFolder)
{
    SettingsPlaces places;
    places.programFolder = programFolder;
    places.fileBesideProgram = QFileInfo::exists(QDir(programFolder).filePath(kFileName));
    places.installed = IsInstalledProgramFolder(programFolder);
    // Tried rather than looked up: a folder's attributes do not show Windows' access-control
    // lists, so Program Files would look writable to a user who may not write there. An
    // installed program's folder is not tried at all: nothing of ours is written there.
    places.programFolderWritable = !places.installed && FolderTakesNewFiles(ToFileSystemPath(programFolder));
    places.userConfigFolder = UserConfigFolder();
    return places;
}

QString SettingsFilePath(const QString &programFolder)
{
    return ChooseSettingsPath(FindSettingsPlaces(programFolder));
}

void CreateSettingsFolder(const QString &settingsPath)
{
    QStringList missing;
    for (QString folder = QFileInfo(settingsPath).absolutePath(); !QFileInfo::exists(folder);) {
        missing.prepend(folder);
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    for (const QString &folder : missing) {
        if (!QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return;
    }
}

} // namespace morvane
