#include "app/MorvaneApplication.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

// The GUI tests run inside the program's own application object, on the platform CTest chooses
// (offscreen), so that windows, dialogs and the busy cursor behave as in the program.
int main(int argc, char *argv[])
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time happens without CTest's environment, and maybe without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's user settings (QtProject.conf) live in a folder of the run's own, never the user's.
    const morvane::test::TempDir userConfig;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(userConfig.Path().string()));
    morvane::MorvaneApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
