#pragma once

#include <QString>

namespace morvane {

// What decides where the settings file lives.
struct SettingsPlaces
{
    // The folder of the running executable.
    QString programFolder;
    bool fileBesideProgram = false;
    // Whether the program's folder took a new file when one was tried there.
    bool programFolderWritable = false;
    // The user's own folder for settings: $XDG_CONFIG_HOME, or ~/.config; on Windows %APPDATA%.
    QString userConfigFolder;
};

// Morvane.ini beside the program when that file is there or the program's folder is writable
// (a build folder, an unpacked copy); otherwise Morvane/Morvane.ini in the user's configuration
// folder, for a program installed where users cannot write (/usr/bin, Program Files).
QString ChooseSettingsPath(const SettingsPlaces &places);

// The places as this system has them for a program in programFolder.
SettingsPlaces FindSettingsPlaces(const QString &programFolder);

// ChooseSettingsPath of FindSettingsPlaces.
QString SettingsFilePath(const QString &programFolder);

// Creates the missing folders above the settings file, readable by the user alone as the XDG
// rules ask. A folder that cannot be made is left for the write to report.
void CreateSettingsFolder(const QString &settingsPath);

} // namespace morvane
