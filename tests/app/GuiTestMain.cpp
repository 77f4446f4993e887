#include "app/MorvaneApplication.h"

#include <gtest/gtest.h>

// The GUI tests run inside the program's own application object, on the platform CTest chooses
// (offscreen), so that windows, dialogs and the busy cursor behave as in the program.
int main(int argc, char *argv[])
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time happens without CTest's environment, and maybe without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    morvane::MorvaneApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
