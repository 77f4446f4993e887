#include "app/CommandLineFile.h"
#include "app/MorvaneApplication.h"
#include "app/MorvaneWindows.h"

#include <QScreen>
#include <QStyle>
#include <QTimer>

int main(int argc, char *argv[])
{
    morvane::MorvaneApplication application(argc, argv);
    morvane::MorvaneWindows windows;

    morvane::TForm_main &mainWindow = windows.Form_main;
    mainWindow.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, mainWindow.size(),
                                               application.primaryScreen()->availableGeometry()));
    mainWindow.show();
    // A file the program was opened with is handled once the main window is on screen.
    const QStringList files = application.arguments().mid(1);
    QTimer::singleShot(0, &mainWindow,
                       [&mainWindow, files] { morvane::OpenCommandLineFiles(mainWindow, files); });
    return application.exec();
}
