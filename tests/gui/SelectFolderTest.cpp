#include "gui/SelectFolder.h"
#include "CaseName.h"
#include "QtText.h"
#include "gui/FolderChooserDialog.h"

#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

using test::PrintTo;

using test::ScriptedInteraction;
using test::TempDir;

using test::Q;

class SelectFolderTest : public testing::Test
{
protected:
    SelectFolderTest()
    {
        std::filesystem::create_directories(dir.Path() / "work" / "sub");
        test::WriteFile(dir / "file.txt", "x");
    }

    TempDir dir;
    ScriptedInteraction user;
};

struct EntryCase
{
    const char *name;
    const char *directory; // inside the test folder; empty for none
    bool kept;
};

class DirectoryOnEntry : public SelectFolderTest, public testing::WithParamInterface<EntryCase>
{
};

TEST_P(DirectoryOnEntry, IsKeptOnlyWhenItNamesAFolder)
{
    const QString given = *GetParam().directory ? Q(dir / GetParam().directory) : QString();
    QString directory = given;
    user.CancelFolder();

    EXPECT_FALSE(SelectFolder("Select a directory", QString(), directory));
    EXPECT_EQ(directory, GetParam().kept ? given : QString());
    ASSERT_EQ(user.folderRequests.size(), 1u);
    EXPECT_EQ(user.folderRequests[0].startFolder, directory);
    EXPECT_EQ(user.folderRequests[0].caption, "Select a directory");
}

INSTANTIATE_TEST_SUITE_P(Entries, DirectoryOnEntry,
                         testing::Values(EntryCase {"Folder", "work", true},
                                         EntryCase {"File", "file.txt", false},
                                         EntryCase {"Missing", "gone", false},
                                         EntryCase {"Empty", "", false}),
                         [](const auto &info) { return std::string(info.param.name); });

struct RootCase
{
    const char *name;
    const char *root; // inside the test folder; empty for none
    bool rooted;
};

class RootOfTheChooser : public SelectFolderTest, public testing::WithParamInterface<RootCase>
{
};

TEST_P(RootOfTheChooser, IsUsedOnlyWhenItNamesAFolder)
{
    QString directory;
    user.CancelFolder();
    SelectFolder("Select a directory", *GetParam().root ? Q(dir / GetParam().root) + "/" : QString(),
                 directory);
    ASSERT_EQ(user.folderRequests.size(), 1u);
    EXPECT_EQ(user.folderRequests[0].root,
              GetParam().rooted ? test::QtForm(Q(dir / GetParam().root)) : QString());
}

INSTANTIATE_TEST_SUITE_P(Roots, RootOfTheChooser,
                         testing::Values(RootCase {"Folder", "work", true},
                                         RootCase {"Missing", "gone", false},
                                         RootCase {"File", "file.txt", false}, RootCase {"None", "", false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SelectFolderTest, ConfirmedFolderIsReturnedWithoutTrailingSeparator)
{
    QString directory = Q(dir / "work");
    user.ChooseFolder(Q(dir / "work/sub/"));
    EXPECT_TRUE(SelectFolder("Select a directory", QString(), directory));
    EXPECT_EQ(directory, test::Shown(Q(dir / "work/sub")));
}

TEST_F(SelectFolderTest, RootFolderKeepsItsSeparator)
{
    QString directory;
    user.ChooseFolder("/");
    EXPECT_TRUE(SelectFolder("Select a directory", QString(), directory));
    EXPECT_EQ(directory, test::Shown("/"));
}

// Drives the real folder dialog: the user tries to leave the root, then picks a subfolder.
TEST_F(SelectFolderTest, RealDialogKeepsTheUserInsideTheRoot)
{
    QtInteraction qt;
    const ScopedInteraction real(qt);
    const QString root = Q(dir / "work");
    QString instruction, afterBrowsingUp, afterConfirmingOutside;
    test::WhenModalShows([&](QWidget &modal) {
        auto &dialog = dynamic_cast<FolderChooserDialog &>(modal);
        if (const auto *label = dialog.findChild<QLabel *>("instruction"))
            instruction = label->text();
        Q_EMIT dialog.directoryEntered(Q(dir.Path().string()));
        afterBrowsingUp = dialog.directory().absolutePath();
        dialog.setDirectory(Q(dir.Path().string()));
        dialog.accept();
        afterConfirmingOutside = dialog.directory().absolutePath();
        dialog.setDirectory(root + "/sub");
        dialog.accept();
    });

    QString directory;
    EXPECT_TRUE(SelectFolder("Select a directory", root, directory));
    EXPECT_EQ(instruction, "Select a directory");
    EXPECT_EQ(afterBrowsingUp, test::QtForm(root));
    EXPECT_EQ(afterConfirmingOutside, test::QtForm(root));
    EXPECT_EQ(directory, test::Shown(root + "/sub"));
}

} // namespace
} // namespace morvane
