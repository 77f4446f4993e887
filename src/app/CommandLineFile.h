#pragma once

#include <QString>
#include <QStringList>

namespace morvane {

class TForm_main;

// What a file named on the command line is taken for, by its extension in any letter case: an
// archive (.POD, .EPD), a response list (.txt), or something the program does not open.
enum class CommandLineFileKind { Archive, ResponseList, Unknown };

CommandLineFileKind KindOfCommandLineFile(const QString &path);

// Opens the files the program was started with, as a desktop passes them: an archive opens in an
// archive window, a list to the editor; anything else, and every file after the first, is
// refused with a message. Failures end in the failure report; the main window carries on.
void OpenCommandLineFiles(TForm_main &mainWindow, const QStringList &files);

} // namespace morvane
