#include "ArchiveFixture.h"
#include "CaseName.h"
#include "QtText.h"

#include <QLineEdit>

namespace morvane {
namespace {

using test::PrintTo;

using test::ArchiveCommandFixture;
using test::Click;
using test::LineEditTexts;
using test::Q;
using test::ReadFile;
using test::WriteFile;

class HeaderEdit : public ArchiveCommandFixture
{
protected:
    HeaderEdit()
    {
        const std::string response = WriteResponseFile("list.txt");
        CreateArchive(response, archive, {"Ancienne description", "7", "1200", "Ren\xE9", "(c) 2025"});
        before = ReadFile(archive);
    }

    const std::string archive = dir / "data/list.POD";
    std::string before;
};

TEST_F(HeaderEdit, ShowsTheArchivesValuesAndRewritesOnlyTheHeader)
{
    std::map<QString, QString> shown;
    user.ChooseFiles({Q(archive)});
    user.AnswerDialog([&shown](QDialog &dialog) {
        shown = LineEditTexts(dialog);
        dialog.findChild<QLineEdit *>("edDescription")->setText("Neuve");
        dialog.findChild<QLineEdit *>("edPriorite")->setText("0x10");
        return 1;
    });
    Click(windows.Form_main, "Button1");

    EXPECT_EQ(shown,
              (std::map<QString, QString> {{"edDescription", "Ancienne description"},
                                           {"edVersion", "7"},
                                           {"edPriorite", "1200"},
                                           {"edAuthor", "René"},
                                           {"edCopyright", "(c) 2025"}}));
    EXPECT_TRUE(user.messages.empty());
    const std::string after = ReadFile(archive);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(288), before.substr(288));
    const TPODHeader header = HeaderOf(archive);
    EXPECT_EQ(header.Description(), "Neuve");
    EXPECT_EQ(header.Priority(), 16);
    EXPECT_EQ(header.Version(), 7);
    // The old description's bytes after the new text's zero byte stay as they were.
    EXPECT_EQ(after.substr(8 + 6, 14), before.substr(8 + 6, 14));
}

// The header of a damaged archive is still edited, with the damage in the dialog's title; a
// sound archive's dialog has the form's own title.
TEST_F(HeaderEdit, TheDialogsTitleSaysTheArchiveIsDamaged)
{
    auto &properties = windows.form_Dialog;
    const QString formTitle = properties.windowTitle();
    std::vector<QString> titles;
    const auto edit = [&](const std::string &path, const char *priority) {
        user.ChooseFiles({Q(path)});
        user.AnswerDialog([&titles, priority](QDialog &dialog) {
            titles.push_back(dialog.windowTitle());
            dialog.findChild<QLineEdit *>("edPriorite")->setText(priority);
            return 1;
        });
        Click(windows.Form_main, "Button1");
    };
    edit(archive, "5");
    // Cut short: the names block runs past the end of the file.
    WriteFile(archive, ReadFile(archive).substr(0, ReadFile(archive).size() - 3));
    edit(archive, "6");

    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], formTitle);
    EXPECT_TRUE(titles[1].startsWith(formTitle + QStringLiteral(" \u2014 archive damaged: 1 problem found; the first: ")))
        << titles[1].toStdString();
    EXPECT_EQ(HeaderOf(archive).Priority(), 6);
    EXPECT_EQ(properties.windowTitle(), formTitle) << "the next use of the dialog has its own title";
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(HeaderEdit, NextArchiveCreationShowsTheEditedArchivesValues)
{
    user.ChooseFiles({Q(archive)}).CloseDialog(1);
    Click(windows.Form_main, "Button1");

    std::map<QString, QString> shown;
    user.ChooseFiles({Q(dir / "data/list.txt")}).AnswerDialog([&shown](QDialog &dialog) {
        shown = LineEditTexts(dialog);
        return 2;
    });
    Click(windows.Form_main, "CreatePOD");
    EXPECT_EQ(shown.at("edDescription"), "Ancienne description");
    EXPECT_EQ(shown.at("edPriorite"), "1200");
    ASSERT_EQ(user.fileRequests.size(), 2u);
    EXPECT_EQ(user.fileRequests[1].selectedFile, Q(archive)) << "the open dialog keeps its last file";
}

TEST_F(HeaderEdit, FilterIsPodFilesAndTheDefaultExtensionIsLeftAsItWas)
{
    user.CancelFiles();
    Click(windows.Form_main, "Button1");
    user.CancelFiles().CancelFiles();
    Click(windows.Form_main, "CreatePOD");
    Click(windows.Form_main, "Button1");

    ASSERT_EQ(user.fileRequests.size(), 3u);
    EXPECT_EQ(user.fileRequests[0].filter, "POD Files (*.POD)");
    EXPECT_EQ(user.fileRequests[0].defaultSuffix, "");
    EXPECT_EQ(user.fileRequests[2].filter, "POD Files (*.POD)");
    EXPECT_EQ(user.fileRequests[2].defaultSuffix, "txt");
    EXPECT_TRUE(user.dialogsShown.empty());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(HeaderEdit, CancelledPropertiesLeaveTheFileAndKeepTheTypedTexts)
{
    user.ChooseFiles({Q(archive)}).CloseDialog(2, {{"edAuthor", "Quelqu'un"}});
    Click(windows.Form_main, "Button1");
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(LineEditTexts(windows.form_Dialog).at("edAuthor"), "Quelqu'un");
}

struct RefusalCase
{
    const char *name;
    bool builtArchive; // edit the archive the fixture built, else a file of these bytes
    std::string fileBytes; // empty: the file does not exist
    const char *priority;
    MessageKind kind;
    const char *title;
    QString text; // empty: any text that names the file
    bool dialogShown;
};

class HeaderEditRefusal : public HeaderEdit, public testing::WithParamInterface<RefusalCase>
{
};

TEST_P(HeaderEditRefusal, ReportsAndLeavesTheFileByteForByte)
{
    std::string path = archive;
    if (!GetParam().builtArchive) {
        path = dir / "data/other.POD";
        if (!GetParam().fileBytes.empty())
            WriteFile(path, GetParam().fileBytes);
    }
    const std::string original = std::filesystem::exists(path) ? ReadFile(path) : "";

    user.ChooseFiles({Q(path)});
    if (GetParam().dialogShown)
        user.CloseDialog(1, {{"edPriorite", GetParam().priority}});
    Click(windows.Form_main, "Button1");

    ASSERT_EQ(user.messages.size(), 1u);
    const auto &box = user.messages[0];
    EXPECT_EQ(box.kind, GetParam().kind);
    EXPECT_EQ(box.title, GetParam().title);
    if (!GetParam().text.isEmpty()) {
        EXPECT_EQ(box.text, GetParam().text);
    } else {
        EXPECT_TRUE(box.text.contains(test::Shown(Q(path)))) << box.text.toStdString();
    }
    EXPECT_FALSE(box.busyCursor);
    EXPECT_EQ(user.dialogsShown.size(), GetParam().dialogShown ? 1u : 0u);
    EXPECT_TRUE(user.AllAnswersUsed());
    if (std::filesystem::exists(path)) {
        EXPECT_EQ(ReadFile(path), original);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderEditRefusal,
    testing::Values(RefusalCase {"PriorityNotANumber", true, "", "abc", MessageKind::Error, "Morvane",
                                 "'abc' is not a valid integer value.", true},
                    RefusalCase {"LowerCaseSignature", false, "pod3" + std::string(400, '\0'), "",
                                 MessageKind::Error, "Error",
                                 QStringLiteral("Ce n'est pas un fichier POD3.\r\nThis is not a POD3 file."),
                                 false},
                    RefusalCase {"ShorterThanTheHeader", false, "POD3" + std::string(150, '\0'), "",
                                 MessageKind::Error, "Morvane", "Stream read error.", false},
                    RefusalCase {"ShorterThanTheFirstHalf", false, "POD3", "", MessageKind::Error, "Morvane",
                                 "Stream read error.", false},
                    RefusalCase {"Missing", false, "", "", MessageKind::Error, "Morvane", "", false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
