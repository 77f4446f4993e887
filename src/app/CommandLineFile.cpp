#include "app/CommandLineFile.h"

#include "app/Morvane_main.h"
#include "gui/FailureReport.h"
#include "gui/FileSystemNames.h"
#include "gui/ModalInteraction.h"
#include "text/PrintableText.h"

#include <QDir>
#include <QFileInfo>

namespace morvane {

namespace {

void refuse(TForm_main &mainWindow, const QString &text, const QString &file)
{
    const QString shown = PrintableText(ToFileSystemPath(QDir::toNativeSeparators(file)));
    Interaction().ShowMessage(&mainWindow, MessageKind::Warning, kWarningTitle,
                              shown + QStringLiteral("\n\n") + text);
}

} // namespace

CommandLineFileKind KindOfCommandLineFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("pod"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("epd"), Qt::CaseInsensitive) == 0)
        return CommandLineFileKind::Archive;
    if (suffix.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
        return CommandLineFileKind::ResponseList;
    return CommandLineFileKind::Unknown;
}

void OpenCommandLineFiles(TForm_main &mainWindow, const QStringList &files)
{
    if (files.isEmpty())
        return;
    const QString file = QFileInfo(files.front()).absoluteFilePath();
    switch (KindOfCommandLineFile(file)) {
    case CommandLineFileKind::Archive:
        RunCommand(&mainWindow, [&] { mainWindow.OpenArchive(file); });
        break;
    case CommandLineFileKind::ResponseList:
        RunCommand(&mainWindow, [&] { mainWindow.OpenResponseList(file); });
        break;
    case CommandLineFileKind::Unknown:
        refuse(
            mainWindow,
            QStringLiteral(
                "Morvane ouvre les archives .POD ou .EPD et les listes .txt : ce fichier n'en est pas une.\n"
                "Morvane opens .POD or .EPD archives and .txt response lists; this file is neither."),
            file);
        break;
    }
    for (const QString &extra : files.mid(1))
        refuse(mainWindow,
               QStringLiteral("Morvane n'ouvre qu'un fichier à la fois : celui-ci est ignoré.\n"
                              "Morvane opens one file at a time; this one is left alone."),
               QFileInfo(extra).absoluteFilePath());
}

} // namespace morvane
