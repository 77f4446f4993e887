#include "ArchiveFixture.h"
#include "CaseName.h"
#include "QtText.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include <functional>

namespace morvane {
namespace {

using test::PrintTo;

using test::ArchiveCommandFixture;
using test::Click;
using test::LineEditTexts;
using test::Q;
using test::ReadFile;
using test::WriteFile;

const QString kCancelled = QStringLiteral("Génération POD annulée.\r\nPOD buld cancel.");
const QString kFailed = QStringLiteral("Erreur durant la génération du fichier POD");

class CreatePod : public ArchiveCommandFixture
{
protected:
    void ConfirmProperties(std::map<QString, QString> texts = {})
    {
        user.AnswerDialog([this, texts](QDialog &dialog) {
            shownTexts = LineEditTexts(dialog);
            busyWhileAsking = Busy();
            for (const auto &[name, text] : texts)
                dialog.findChild<QLineEdit *>(name)->setText(text);
            return 1;
        });
    }

    std::map<QString, QString> shownTexts;
    bool busyWhileAsking = false;
};

TEST_F(CreatePod, CancelledFileDialogDoesNothing)
{
    user.CancelFiles();
    Click(windows.Form_main, "CreatePOD");
    ASSERT_EQ(user.fileRequests.size(), 1u);
    EXPECT_EQ(user.fileRequests[0].filter, "Fichiers textes (*.txt);;Tous fichiers (*)");
    EXPECT_EQ(user.fileRequests[0].defaultSuffix, "txt");
    EXPECT_FALSE(user.fileRequests[0].fileMustExist);
    EXPECT_TRUE(user.dialogsShown.empty());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(CreatePod, CancelledPropertiesWarnAndCreateNoFile)
{
    const std::string response = WriteResponseFile("list.txt");
    user.ChooseFiles({Q(response)}).CloseDialog(2);
    Click(windows.Form_main, "CreatePOD");

    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(user.messages[0].title, "Warning");
    EXPECT_EQ(user.messages[0].text, kCancelled);
    EXPECT_FALSE(user.messages[0].busyCursor);
    EXPECT_FALSE(std::filesystem::exists(dir / "data/list.POD"));
}

TEST_F(CreatePod, BuildsTheArchiveBesideTheResponseFileWithTheDialogsValues)
{
    const std::string response = WriteResponseFile("my.list.txt");
    WriteFile(dir / "data/my.list.POD", std::string(10000, 'x'));
    user.ChooseFiles({Q(response)});
    ConfirmProperties({{"edDescription", "Décor"},
                       {"edVersion", " $1F"},
                       {"edPriorite", "-5"},
                       {"edAuthor", "René"},
                       {"edCopyright", "© 2026"}});
    // Its size before the build depends on the system's font; the success text must not change it.
    const QRect labelBefore = windows.Form_main.findChild<QLabel *>("Label3")->geometry();
    Click(windows.Form_main, "CreatePOD");

    EXPECT_EQ(user.dialogsShown, std::vector<QString> {"form_Dialog"});
    EXPECT_FALSE(busyWhileAsking);
    EXPECT_TRUE(user.messages.empty());
    EXPECT_FALSE(Busy());
    const std::string archive = dir / "data/my.list.POD";
    const TPODHeader header = HeaderOf(archive);
    EXPECT_EQ(HeaderToTexts(header),
              (HeaderTexts {"D\xE9"
                            "cor",
                            "31", "-5", "Ren\xE9", "\xA9 2026"}));
    EXPECT_EQ(header.EntryCount(), 2u);
    const std::string bytes = ReadFile(archive);
    EXPECT_EQ(bytes.substr(288, 5000), test::PatternBytes(5000, 1));
    EXPECT_EQ(bytes.size(), header.DirOffset() + 2 * TPODEntry::kSize + header.NamesSize());
    // Said in the first information label, never in a box.
    const auto *label = windows.Form_main.findChild<QLabel *>("Label3");
    EXPECT_EQ(
        label->toolTip(),
        QString("my.list.POD built: 2 entries, %1 bytes").arg(QLocale().toString(qulonglong(bytes.size()))));
    EXPECT_EQ(label->geometry(), labelBefore) << "the label keeps its place and size";
}

TEST_F(CreatePod, FirstUseShowsTheInitialTextsAndLongDescriptionIsCut)
{
    const std::string response = WriteResponseFile("list.txt");
    user.ChooseFiles({Q(response)});
    ConfirmProperties({{"edDescription", QString(100, QChar('d'))}});
    Click(windows.Form_main, "CreatePOD");

    EXPECT_EQ(shownTexts,
              (std::map<QString, QString> {{"edDescription", "Description du fichier"},
                                           {"edVersion", "1000"},
                                           {"edPriorite", "1000"},
                                           {"edAuthor", ""},
                                           {"edCopyright", ""}}));
    const TPODHeader header = HeaderOf(dir / "data/list.POD");
    EXPECT_EQ(header.Description(), std::string(80, 'd'));
    EXPECT_EQ(header.Version(), 1000);
}

TEST_F(CreatePod, ResponseFileNamedLikeTheArchiveIsRefusedUntouched)
{
    WriteResponseFile("list.txt");
    const std::string response = dir / "data/LIST.pod";
    WriteFile(response, "a.bin\r\n");
    user.ChooseFiles({Q(response)});
    Click(windows.Form_main, "CreatePOD");

    EXPECT_TRUE(user.dialogsShown.empty());
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Warning);
    EXPECT_TRUE(user.messages[0].text.contains("POD build cancelled"));
    EXPECT_TRUE(user.messages[0].details.contains(test::Shown(Q(response))));
    EXPECT_EQ(ReadFile(response), "a.bin\r\n");
}

struct FailureCase
{
    const char *name;
    std::function<std::string(test::TempDir &)> prepare; // returns the chosen response file
    const char *version;
    const char *cause; // part of the details shown behind the warning
    bool previousArchive; // an archive is at the name before the build, and must stay as it was
};

class CreatePodFailure : public CreatePod, public testing::WithParamInterface<FailureCase>
{
};

TEST_P(CreatePodFailure, ShowsTheOneWarningUnderTheHourglassThenRestoresTheCursor)
{
    const std::string response = GetParam().prepare(dir);
    const std::string archive = dir / "data/list.POD";
    if (GetParam().previousArchive)
        WriteFile(archive, "the previous archive");
    const auto namesBefore = test::NamesIn(dir.Path() / "data");
    user.ChooseFiles({Q(response)});
    ConfirmProperties({{"edVersion", GetParam().version}});
    Click(windows.Form_main, "CreatePOD");

    ASSERT_EQ(user.messages.size(), 1u);
    const auto &warning = user.messages[0];
    EXPECT_EQ(warning.kind, MessageKind::Warning);
    EXPECT_EQ(warning.title, "Warning");
    EXPECT_EQ(warning.text, kFailed);
    EXPECT_TRUE(warning.busyCursor);
    EXPECT_TRUE(warning.details.contains(GetParam().cause)) << warning.details.toStdString();
    EXPECT_FALSE(Busy());

    EXPECT_EQ(test::NamesIn(dir.Path() / "data"), namesBefore) << "a failed build leaves no file behind";
    if (GetParam().previousArchive) {
        EXPECT_EQ(ReadFile(archive), "the previous archive");
        EXPECT_TRUE(warning.details.endsWith("\nThe previous archive was left unchanged."))
            << warning.details.toStdString();
    } else {
        EXPECT_FALSE(warning.details.contains("previous archive")) << warning.details.toStdString();
    }
}

std::string twoSources(test::TempDir &dir)
{
    std::filesystem::create_directories(dir.Path() / "data");
    test::WriteFile(dir / "data/a.bin", test::PatternBytes(100));
    test::WriteFile(dir / "data/list.txt", "a.bin\r\nmissing.bin\r\n");
    return dir / "data/list.txt";
}

INSTANTIATE_TEST_SUITE_P(
    Causes, CreatePodFailure,
    testing::Values(
        FailureCase {"VersionNotANumber", twoSources, "abc", "'abc' is not a valid integer value", true},
        FailureCase {"VersionWithTrailingSpace", twoSources, "12 ", "'12 ' is not a valid integer value",
                     false},
        FailureCase {"ListedFileMissing", twoSources, "1",
                     "missing.bin: not found (line 2 of list.txt: missing.bin)", true},
        FailureCase {"ListedFileMissingWithoutArchive", twoSources, "1", "missing.bin: not found", false},
        FailureCase {"ListedNameWithControlCharacters",
                     [](test::TempDir &dir) {
                         std::filesystem::create_directories(dir.Path() / "data");
                         test::WriteFile(dir / "data/list.txt", "bad\x1B[2J\x07.bin\r\n");
                         return dir / "data/list.txt";
                     },
                     "1", "bad?[2J?.bin", true},
        FailureCase {"ResponseFileMissing",
                     [](test::TempDir &dir) {
                         std::filesystem::create_directories(dir.Path() / "data");
                         return dir / "data/list.txt";
                     },
                     "1", "list.txt", true},
        FailureCase {"ArchiveCannotBeCreated",
                     [](test::TempDir &dir) {
                         const std::string response = twoSources(dir);
                         std::filesystem::create_directories(dir.Path() / "data" / "list.POD");
                         return response;
                     },
                     "1", "list.POD: it is a folder", false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
