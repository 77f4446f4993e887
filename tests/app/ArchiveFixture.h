#pragma once

#include "MainWindowDriver.h"
#include "QtText.h"
#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include "app/ArchiveWindow.h"
#include "archive/ArchiveCommands.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace morvane::test {

// The three windows in a fresh folder, with the user's answers scripted.
class ArchiveCommandFixture : public testing::Test
{
protected:
    ArchiveCommandFixture()
    {
        windows.Form_main.settingsPath = Q(dir / "Morvane.ini");
        windows.Form_main.show();
    }

    ~ArchiveCommandFixture() override
    {
        for (ArchiveWindow *window : ArchiveWindows())
            delete window;
    }

    // The archive windows open now, in the order they were made.
    static std::vector<ArchiveWindow *> ArchiveWindows()
    {
        std::vector<ArchiveWindow *> found;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<ArchiveWindow *>(widget))
                found.push_back(window);
        }
        return found;
    }

    // A response file listing two sources beside it, one in a subfolder.
    std::string WriteResponseFile(const std::string &name)
    {
        std::filesystem::create_directories(dir.Path() / "data" / "sub");
        WriteFile(dir / "data/a.bin", PatternBytes(5000, 1));
        WriteFile(dir / "data/sub/b.bin", PatternBytes(10, 2));
        const std::string path = dir / ("data/" + name);
        WriteFile(path, "a.bin\r\nsub\\b.bin\r\n");
        return path;
    }

    // The header of an archive, read the way the header edit reads it.
    static TPODHeader HeaderOf(const std::string &path)
    {
        TPOD pod(path, false);
        pod.ReadHeader();
        return pod.Header;
    }

    static bool Busy()
    {
        const QCursor *cursor = QApplication::overrideCursor();
        return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    }

    TempDir dir;
    ScriptedInteraction user;
    MorvaneWindows windows;
};

} // namespace morvane::test
