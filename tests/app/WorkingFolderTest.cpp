#include "CaseName.h"
#include "MainWindowDriver.h"
#include "QtText.h"
#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include <QDir>
#include <QLabel>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace morvane {
namespace {

using test::PrintTo;

using test::Click;
using test::NewFileLines;
using test::ReadFile;
using test::ScriptedInteraction;
using test::TempDir;
using test::WriteFile;

using test::Q;

class WorkingFolder : public testing::Test
{
protected:
    WorkingFolder()
    {
        std::filesystem::create_directories(dir.Path() / "work");
        windows.Form_main.settingsPath = Q(settings);
        windows.Form_main.show();
    }

    // The editor records the working folder it would read, and closes.
    void ExpectEditor()
    {
        user.AnswerDialog([this](QDialog &) {
            editorSawWorkDir = windows.Form_main.workDir;
            return 0;
        });
    }

    TempDir dir;
    const std::string settings = dir / "Morvane.ini";
    const QString work = Q(dir / "work");
    ScriptedInteraction user;
    MorvaneWindows windows;
    std::optional<QString> editorSawWorkDir;
};

TEST_F(WorkingFolder, FirstRunAsksStoresAndOpensTheEditor)
{
    user.ChooseFolder(work);
    ExpectEditor();
    Click(windows.Form_main, "CreateResponse");

    ASSERT_EQ(user.folderRequests.size(), 1u);
    EXPECT_EQ(user.folderRequests[0].caption, "Select a directory");
    EXPECT_EQ(user.folderRequests[0].root, "");
    EXPECT_EQ(user.folderRequests[0].startFolder, "");
    EXPECT_EQ(ReadFile(settings), NewFileLines("[dir]\nworkdir=" + work.toStdString() + "\n"));
    EXPECT_EQ(editorSawWorkDir, work);
    EXPECT_EQ(user.dialogsShown, std::vector<QString> {"form_response"});
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(WorkingFolder, FirstRunCancelledStoresAnEmptyFolderAndNeverAsksAgain)
{
    user.CancelFolder();
    ExpectEditor();
    Click(windows.Form_main, "CreateResponse");
    EXPECT_EQ(ReadFile(settings), NewFileLines("[dir]\nworkdir=\n"));
    EXPECT_EQ(editorSawWorkDir, "");

    ExpectEditor();
    Click(windows.Form_main, "CreateResponse");
    EXPECT_EQ(user.folderRequests.size(), 1u);
    EXPECT_EQ(user.dialogsShown.size(), 2u);
    EXPECT_TRUE(user.AllAnswersUsed());
}

struct StoredCase
{
    const char *name;
    std::string settingsText;
    const char *workDirBefore;
    QString workDirAfter;
};

class StoredSettings : public WorkingFolder, public testing::WithParamInterface<StoredCase>
{
};

TEST_P(StoredSettings, ResponseCommandTakesTheStoredFolderWithoutAsking)
{
    WriteFile(settings, GetParam().settingsText);
    windows.Form_main.workDir = GetParam().workDirBefore;
    ExpectEditor();
    Click(windows.Form_main, "CreateResponse");

    EXPECT_TRUE(user.folderRequests.empty());
    EXPECT_EQ(editorSawWorkDir, GetParam().workDirAfter);
    EXPECT_EQ(ReadFile(settings), GetParam().settingsText);
}

INSTANTIATE_TEST_SUITE_P(
    States, StoredSettings,
    testing::Values(StoredCase {"Stored", "[dir]\r\nworkdir=/stored\r\n", "/current", "/stored"},
                    StoredCase {"StoredEmpty", "[dir]\nworkdir=\n", "/current", ""},
                    StoredCase {"NoSection", "[other]\nk=v\n", "", ""},
                    StoredCase {"NoSectionKeepsCurrent", "[other]\nk=v\n", "/current",
                                test::Shown("/current")},
                    StoredCase {"NoKey", "[dir]\nother=1\n", "/current", test::Shown("/current")},
                    StoredCase {"Malformed", "\x01\x02 garbage", "/current", test::Shown("/current")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(WorkingFolder, InitialisationCancelledClearsTheStoredFolder)
{
    WriteFile(settings, "[ui]\nsize=2\n[dir]\nworkdir=/stored\n");
    windows.Form_main.workDir = "/stored";
    user.CancelFolder();
    Click(windows.Form_main, "btnInit");
    EXPECT_EQ(ReadFile(settings), "[ui]\nsize=2\n[dir]\nworkdir=\n");
    EXPECT_EQ(windows.Form_main.workDir, "");
    EXPECT_TRUE(user.dialogsShown.empty());
}

TEST_F(WorkingFolder, InitialisationStoresTheChosenFolder)
{
    user.ChooseFolder(work);
    Click(windows.Form_main, "btnInit");
    EXPECT_EQ(windows.Form_main.workDir, work);
    EXPECT_EQ(ReadFile(settings), NewFileLines("[dir]\nworkdir=" + work.toStdString() + "\n"));
}

enum class Unwritable { FolderIsAFile, ReadOnlyFolder };

void PrintTo(Unwritable place, std::ostream *out)
{
    *out << (place == Unwritable::FolderIsAFile ? "FolderIsAFile" : "ReadOnlyFolder");
}

class UnwritableSettings : public WorkingFolder, public testing::WithParamInterface<Unwritable>
{
protected:
    void SetUp() override
    {
        const auto folder = dir.Path() / "program";
        if (GetParam() == Unwritable::FolderIsAFile) {
            WriteFile(folder.string(), "not a folder");
        } else {
#ifdef _WIN32
            GTEST_SKIP()
                << "needs POSIX folder permissions; Windows folders have ACLs, which Wine does not apply";
#else
            if (geteuid() == 0)
                GTEST_SKIP() << "permissions do not bind the superuser";
#endif
            std::filesystem::create_directories(folder);
            std::filesystem::permissions(
                folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        }
        path = (folder / "Morvane.ini").string();
        windows.Form_main.settingsPath = Q(path);
        windows.Form_main.workDir = "/previous";
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::permissions(dir.Path() / "program", std::filesystem::perms::owner_all, ignored);
    }

    void ExpectOneReport()
    {
        ASSERT_EQ(user.messages.size(), 1u);
        const auto &report = user.messages[0];
        EXPECT_EQ(report.kind, MessageKind::Error);
        EXPECT_EQ(report.title, "Morvane");
        EXPECT_EQ(report.text, Q("Unable to write to " + path + "."));
        EXPECT_EQ(windows.Form_main.workDir, "/previous");
    }

    std::string path;
};

TEST_P(UnwritableSettings, ResponseCommandReportsAndNeverOpensTheEditor)
{
    user.ChooseFolder(work);
    Click(windows.Form_main, "CreateResponse");
    ExpectOneReport();
    EXPECT_TRUE(user.dialogsShown.empty());
}

TEST_P(UnwritableSettings, InitialisationReportsAndKeepsTheFolder)
{
    user.ChooseFolder(work);
    Click(windows.Form_main, "btnInit");
    ExpectOneReport();
}

INSTANTIATE_TEST_SUITE_P(Places, UnwritableSettings,
                         testing::Values(Unwritable::FolderIsAFile, Unwritable::ReadOnlyFolder),
                         [](const auto &info) {
                             return info.param == Unwritable::FolderIsAFile ? "FolderIsAFile"
                                                                            : "ReadOnlyFolder";
                         });

QLabel &secondInformationLabel(TForm_main &window)
{
    return *window.findChild<QLabel *>("Label4");
}

TEST_F(WorkingFolder, TheSecondInformationLabelShowsTheFolderElidedInTheMiddle)
{
    QLabel &label = secondInformationLabel(windows.Form_main);
    const QString caption = label.text();
    EXPECT_FALSE(caption.isEmpty());
    EXPECT_TRUE(label.toolTip().isEmpty());

    const std::filesystem::path deep = dir.Path() / "work" / "a folder with a long name" / "and another one" / "end";
    std::filesystem::create_directories(deep);
    user.ChooseFolder(Q(deep.string()));
    Click(windows.Form_main, "btnInit");
    const QString full = QDir::toNativeSeparators(Q(deep.string()));
    EXPECT_EQ(label.toolTip(), full);
    EXPECT_EQ(label.text(), label.fontMetrics().elidedText(full, Qt::ElideMiddle, label.width()));
    ASSERT_NE(label.text(), full) << "the folder's path should not fit in the label";
    // The end of the path, the folder itself, stays in view.
    EXPECT_TRUE(label.text().endsWith(QStringLiteral("end"))) << label.text().toStdString();

    // Cancelling the picker clears the folder, and the label shows its caption again.
    user.CancelFolder();
    Click(windows.Form_main, "btnInit");
    EXPECT_EQ(label.text(), caption);
    EXPECT_TRUE(label.toolTip().isEmpty());
}

TEST_F(WorkingFolder, TheStoredFolderIsShownWhenTheWindowOpens)
{
    WriteFile(settings, "[dir]\r\nworkdir=" + dir / "work" + "\r\n");
    MorvaneWindows another;
    another.Form_main.settingsPath = Q(settings);
    another.Form_main.show();
    EXPECT_EQ(secondInformationLabel(another.Form_main).toolTip(), QDir::toNativeSeparators(work));
    EXPECT_TRUE(user.folderRequests.empty());
}

} // namespace
} // namespace morvane
