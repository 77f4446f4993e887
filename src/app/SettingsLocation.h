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
    // The program runs from where it was installed (/usr/bin, Program Files).
    bool installed = false;
};

// Morvane/Morvane.ini in the user's configuration folder for an installed program, whoever runs
// it (root or an administrator could write beside it, and every later user would share, or be
// refused, that file). Otherwise Morvane.ini beside the program when that file is there or the
// program's folder is writable (a build folder, an unpacked copy), and the user's file when not.
QString ChooseSettingsPath(const SettingsPlaces &places);

// The places as this system has them for a program in programFolder.
SettingsPlaces FindSettingsPlaces(const QString &programFolder);

// ChooseSettingsPath of FindSettingsPlaces.
QString SettingsFilePath(const QString &programFolder);

// Creates the missing folders above the settings file, readable by the user alone as the XDG
// rules ask. A folder that cannot be made is left for the write to report.
void CreateSettingsFolder(const QString &settingsPath);

} // namespace morvane
