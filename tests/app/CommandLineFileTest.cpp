#include "ArchiveFixture.h"
#include "CaseName.h"
#include "QtText.h"

#include "app/CommandLineFile.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>

namespace morvane {
namespace {

using test::PrintTo;

using test::ArchiveCommandFixture;
using test::PathOf;
using test::Q;
using test::Shown;
using test::ReadFile;
using test::WriteFile;

struct KindCase
{
    const char *name;
    const char *path;
    CommandLineFileKind kind;
};

class CommandLineKind : public testing::TestWithParam<KindCase>
{
};

TEST_P(CommandLineKind, IsTakenFromTheExtensionInAnyLetterCase)
{
    EXPECT_EQ(KindOfCommandLineFile(QString::fromUtf8(GetParam().path)), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CommandLineKind,
    testing::Values(KindCase {"UpperPod", "/data/list.POD", CommandLineFileKind::Archive},
                    KindCase {"LowerPod", "list.pod", CommandLineFileKind::Archive},
                    KindCase {"MixedEpd", "/data/old.Epd", CommandLineFileKind::Archive},
                    KindCase {"Text", "/data/list.txt", CommandLineFileKind::ResponseList},
                    KindCase {"UpperText", "LIST.TXT", CommandLineFileKind::ResponseList},
                    KindCase {"OnlyTheLastSuffixCounts", "/data/list.pod.txt",
                              CommandLineFileKind::ResponseList},
                    KindCase {"FolderNameIsNotAnExtension", "/data.pod/list", CommandLineFileKind::Unknown},
                    KindCase {"OtherExtension", "/data/list.bin", CommandLineFileKind::Unknown},
                    KindCase {"NoExtension", "/data/list", CommandLineFileKind::Unknown},
                    KindCase {"SuffixInsideTheName", "/data/podcast", CommandLineFileKind::Unknown}),
    [](const auto &info) { return std::string(info.param.name); });

class OpenedFromTheDesktop : public ArchiveCommandFixture
{
protected:
    OpenedFromTheDesktop()
    {
        response = WriteResponseFile("list.txt");
        CreateArchive(response, archive, {"Description", "7", "1200", "Auteur", "(c) 2026"});
        before = ReadFile(archive);
    }

    void Open(const std::vector<std::string> &files)
    {
        QStringList arguments;
        for (const std::string &file : files)
            arguments << Q(file);
        OpenCommandLineFiles(windows.Form_main, arguments);
    }

    std::string response;
    const std::string archive = dir / "data/list.POD";
    std::string before;
};

TEST_F(OpenedFromTheDesktop, AnArchiveOpensInAnArchiveWindowOneClickFromItsHeader)
{
    Open({archive});

    EXPECT_TRUE(user.fileRequests.empty());
    EXPECT_TRUE(user.dialogsShown.empty());
    EXPECT_TRUE(user.messages.empty());
    const std::vector<ArchiveWindow *> opened = ArchiveWindows();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]->windowTitle(), "list.POD - Morvane");
    EXPECT_TRUE(opened[0]->isVisible());

    user.CloseDialog(Tform_Dialog::kModalOk, {{"edPriorite", "1300"}});
    opened[0]->Properties();
    EXPECT_EQ(user.dialogsShown, std::vector<QString> {"form_Dialog"});
    // Read as the window reads, which it holds open meanwhile.
    EXPECT_EQ(ReadArchiveHeader(archive).priority, "1300");
    EXPECT_EQ(ReadFile(archive).substr(288), before.substr(288));
}

TEST_F(OpenedFromTheDesktop, ARelativeArchiveNameIsTakenFromTheCurrentFolder)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Q(dir / "data")));
    Open({"list.POD"});
    QDir::setCurrent(previous);

    EXPECT_TRUE(user.messages.empty());
    ASSERT_EQ(ArchiveWindows().size(), 1u);
    EXPECT_EQ(PathOf(ArchiveWindows()[0]->Reader().Path()), PathOf(archive));
}

struct RefusedCase
{
    const char *name;
    const char *file;
    std::optional<std::string> bytes; // nullopt: no such file
    const char *why; // found in the message's text or details
};

class OpenedFromTheDesktopRefused : public OpenedFromTheDesktop, public testing::WithParamInterface<RefusedCase>
{
};

TEST_P(OpenedFromTheDesktopRefused, WithAMessageNamingTheFileAndWhy)
{
    const std::string file = dir / GetParam().file;
    if (GetParam().bytes)
        WriteFile(file, *GetParam().bytes);
    Open({file});

    ASSERT_EQ(user.messages.size(), 1u);
    const auto &message = user.messages[0];
    EXPECT_TRUE(message.text.contains(Shown(Q(file)))) << message.text.toStdString();
    EXPECT_TRUE((message.text + message.details).contains(GetParam().why))
        << (message.text + message.details).toStdString();
    EXPECT_TRUE(ArchiveWindows().empty());
    if (GetParam().bytes)
        EXPECT_EQ(ReadFile(file), *GetParam().bytes);
    else
        EXPECT_FALSE(std::filesystem::exists(PathOf(file)));
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenedFromTheDesktopRefused,
    testing::Values(RefusedCase {"OtherSignature", "other.pod", "pod3" + std::string(300, '\0'), "not an archive"},
                    RefusedCase {"Empty", "empty.POD", std::string(), "not an archive"},
                    RefusedCase {"Missing", "missing.POD", std::nullopt, "missing.POD"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(OpenedFromTheDesktop, AListOpensInTheEditorWithTheStoredWorkingFolder)
{
    WriteFile(dir / "Morvane.ini", "[dir]\nworkdir=" + (dir / "data") + "\n");
    QString shownText;
    QString shownStatus;
    user.AnswerDialog([&](QDialog &dialog) {
        shownText = dialog.findChild<QPlainTextEdit *>("Response")->toPlainText();
        shownStatus = dialog.findChild<QStatusBar *>("StatusBar")->currentMessage();
        return 0;
    });
    Open({response});

    EXPECT_EQ(user.dialogsShown, std::vector<QString> {"form_response"});
    EXPECT_TRUE(user.fileRequests.empty());
    EXPECT_TRUE(user.folderRequests.empty());
    EXPECT_EQ(shownText, "a.bin\nsub\\b.bin\n");
    EXPECT_EQ(shownStatus, test::Shown(Q(response)) + " - 2 lignes/lines");
    EXPECT_EQ(windows.Form_main.workDir, Q(dir / "data"));
}

TEST_F(OpenedFromTheDesktop, AListOpensWithoutAskingForAWorkingFolderOnTheFirstRun)
{
    user.CloseDialog(0);
    Open({response});

    EXPECT_EQ(user.dialogsShown, std::vector<QString> {"form_response"});
    EXPECT_TRUE(user.folderRequests.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Morvane.ini"));
    EXPECT_EQ(windows.Form_main.workDir, "");
}

TEST_F(OpenedFromTheDesktop, AMissingListEndsInTheFailureReportWithoutTheEditor)
{
    Open({dir / "missing.txt"});

    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, "Morvane");
    EXPECT_TRUE(user.dialogsShown.empty());
}

TEST_F(OpenedFromTheDesktop, AnyOtherFileIsRefusedWithItsName)
{
    const std::string other = dir / "data/a.bin";
    Open({other});

    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Warning);
    EXPECT_TRUE(user.messages[0].text.startsWith(test::Shown(Q(other)) + "\n"))
        << user.messages[0].text.toStdString();
    EXPECT_TRUE(user.messages[0].text.contains(".POD")) << user.messages[0].text.toStdString();
    EXPECT_TRUE(user.dialogsShown.empty());
    EXPECT_TRUE(user.fileRequests.empty());
}

TEST_F(OpenedFromTheDesktop, ControlCharactersOfARefusedNameShowAsQuestionMarks)
{
    Open({dir / "data/two\nlines\x1b.bin"});

    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_TRUE(user.messages[0].text.startsWith(test::Shown(Q(dir / "data/two?lines?.bin")) + "\n"))
        << user.messages[0].text.toStdString();
}

TEST_F(OpenedFromTheDesktop, OnlyTheFirstOfSeveralFilesIsOpened)
{
    Open({archive, response});

    EXPECT_EQ(ArchiveWindows().size(), 1u);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Warning);
    EXPECT_TRUE(user.messages[0].text.startsWith(test::Shown(Q(response)) + "\n"))
        << user.messages[0].text.toStdString();
}

TEST_F(OpenedFromTheDesktop, NoFileLeavesTheMainWindowAlone)
{
    Open({});

    EXPECT_TRUE(user.dialogsShown.empty());
    EXPECT_TRUE(user.messages.empty());
    EXPECT_TRUE(windows.Form_main.isVisible());
}

} // namespace
} // namespace morvane
