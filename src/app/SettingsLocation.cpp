#include "app/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace morvane {

namespace {

const QString kFileName = QStringLiteral("Morvane.ini");
const QString kFolderName = QStringLiteral("Morvane");

QString UserConfigFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored, which Qt does not do.
    const QString xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdgConfigHome.isEmpty() && !QDir::isAbsolutePath(xdgConfigHome))
        return QDir(QDir::homePath()).filePath(QStringLiteral(".config"));
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

QString ChooseSettingsPath(const SettingsPlaces &places)
{
    if (places.fileBesideProgram || places.programFolderWritable || places.userConfigFolder.isEmpty())
        return QDir(places.programFolder).filePath(kFileName);
    return QDir(QDir(places.userConfigFolder).filePath(kFolderName)).filePath(kFileName);
}

SettingsPlaces FindSettingsPlaces(const QString &programFolder)
{
    SettingsPlaces places;
    places.programFolder = programFolder;
    places.fileBesideProgram = QFileInfo::exists(QDir(programFolder).filePath(kFileName));
    places.programFolderWritable = QFileInfo(programFolder).isWritable();
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
