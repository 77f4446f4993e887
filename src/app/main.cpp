#include "app/MorvaneApplication.h"
#include "app/MorvaneWindows.h"

#include <QScreen>
#include <QStyle>

int main(int argc, char *argv[])
{
    morvane::MorvaneApplication application(argc, argv);
    morvane::MorvaneWindows windows;

    morvane::TForm_main &mainWindow = windows.Form_main;
    mainWindow.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, mainWindow.size(),
                                               application.primaryScreen()->availableGeometry()));
    mainWindow.show();
    return application.exec();
}
