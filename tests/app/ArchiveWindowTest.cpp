#include "ArchiveFixture.h"
#include "CaseName.h"
#include "CraftedArchive.h"
#include "FamilyArchive.h"
#include "ForeignArchive.h"
#include "QtText.h"

#include "app/ArchiveEntryModel.h"
#include "app/ArchiveReportDialog.h"
#include "app/ExistingFileDialog.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <filesystem>

namespace morvane {
namespace {

using test::ArchiveCommandFixture;
using test::PathOf;
using test::PrintTo;
using test::Q;
using test::ReadFile;
using test::Shown;
using test::WriteFile;

class ArchiveWindowTest : public ArchiveCommandFixture
{
protected:
    ArchiveWindowTest()
    {
        response = WriteResponseFile("list.txt");
        CreateArchive(response, archive, {"Mon add-on", "3", "1200", "Ren\xE9", "(c) 2026"});
        ArchiveWindow::LastExtractionFolder().clear();
    }

    ArchiveWindow &OpenWindow(const std::string &path)
    {
        ArchiveWindow *window = ArchiveWindow::Open(Q(path), &windows.form_Dialog, nullptr);
        EXPECT_NE(window, nullptr);
        if (window == nullptr)
            throw std::runtime_error("not opened");
        return *window;
    }

    // Another writer's archive whose second entry's data no longer gives its checksum.
    std::string ForeignWithADamagedEntry()
    {
        test::ForeignOffsets offsets;
        std::string bytes = test::MakeForeignArchive(test::ThreeForeignFiles(), {}, &offsets);
        bytes[offsets.data[1]] ^= 1;
        const std::string path = dir / "foreign.pod";
        WriteFile(path, bytes);
        return path;
    }

    // Shortcuts reach the active window only.
    static void Activate(QWidget &window)
    {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    static QString Text(const ArchiveWindow &window, const char *label)
    {
        return window.findChild<QLabel *>(label)->text();
    }

    // Runs the command and waits until the work it started on its thread has been reported.
    template <typename Command>
    static void RunAndWait(ArchiveWindow &window, Command command)
    {
        QSignalSpy finished(&window, &ArchiveWindow::workFinished);
        (window.*command)();
        if (window.Working()) {
            ASSERT_TRUE(finished.wait(20000));
        }
        EXPECT_FALSE(window.Working());
    }

    // Answers the next report with nothing and keeps its text.
    void KeepReport(QString &text)
    {
        user.AnswerDialog([&text](QDialog &dialog) {
            auto *report = qobject_cast<ArchiveReportDialog *>(&dialog);
            EXPECT_NE(report, nullptr) << dialog.objectName().toStdString();
            if (report != nullptr)
                text = report->Text();
            return 1;
        });
    }

    std::string response;
    const std::string archive = dir / "data/list.POD";
    const std::string out = dir / "out";
};

TEST_F(ArchiveWindowTest, ShowsTheHeaderTheEntriesAndWhatIsShown)
{
    ArchiveWindow &window = OpenWindow(archive);
    EXPECT_EQ(window.windowTitle(), "list.POD - Morvane");
    EXPECT_EQ(Text(window, "valLayout"), "POD3");
    EXPECT_EQ(Text(window, "valDescription"), "Mon add-on");
    EXPECT_EQ(Text(window, "valVersion"), "3");
    EXPECT_EQ(Text(window, "valPriority"), "1200");
    EXPECT_EQ(Text(window, "valAuthor"), "René");
    EXPECT_EQ(Text(window, "valCopyright"), "(c) 2026");
    EXPECT_EQ(Text(window, "valEntries"), "2 entries, 5,010 bytes");
    EXPECT_FALSE(window.findChild<QPlainTextEdit *>("edProblems")->isVisibleTo(&window));
    EXPECT_EQ(Text(window, "lblStatus"), "Shown: 2 entries, 5,010 bytes");

    QTreeView &view = window.View();
    view.selectionModel()->select(view.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(Text(window, "lblStatus"), "Shown: 2 entries, 5,010 bytes   Selected: 1 entry, 10 bytes");
    // Every control can be told apart by assistive technologies.
    for (QWidget *control : window.findChildren<QWidget *>()) {
        if (control->focusPolicy() != Qt::NoFocus && control->isVisibleTo(&window) && control->parent() != &view
            && qobject_cast<QLineEdit *>(control) != nullptr) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
        }
    }
    EXPECT_FALSE(view.accessibleName().isEmpty());
}

TEST_F(ArchiveWindowTest, TheFilterAndTheFlatViewTakeOneKeystrokeEach)
{
    ArchiveWindow &window = OpenWindow(archive);
    Activate(window);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    auto *filter = window.findChild<QLineEdit *>("edFilter");
    QTest::keyClicks(filter, "B.B");
    QTest::keyClick(filter, Qt::Key_Return);
    EXPECT_EQ(window.Model().Filter(), "B.B");
    EXPECT_EQ(window.Model().Shown().count, 1u);
    QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(window.Model().Flat());
    EXPECT_EQ(window.Model().index(0, 0).data().toString(), "sub\\b.bin");
}

TEST_F(ArchiveWindowTest, ExtractAllWritesEveryEntryAndSumsUp)
{
    ArchiveWindow &window = OpenWindow(archive);
    QString report;
    user.ChooseFolder(Q(out));
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::ExtractAll);

    EXPECT_EQ(ReadFile(out + "/a.bin"), ReadFile(dir / "data/a.bin"));
    EXPECT_EQ(ReadFile(out + "/sub/b.bin"), ReadFile(dir / "data/sub/b.bin"));
    EXPECT_TRUE(report.startsWith("2 of 2 files extracted to " + Shown(Q(out)) + ": 2 written, 0 kept"))
        << report.toStdString();
    // The next extraction starts from the folder chosen last.
    user.CancelFolder();
    window.ExtractAll();
    ASSERT_EQ(user.folderRequests.size(), 2u);
    EXPECT_EQ(user.folderRequests[1].startFolder, Q(out));
}

TEST_F(ArchiveWindowTest, ASelectedFolderMeansEverythingBelowIt)
{
    ArchiveWindow &window = OpenWindow(archive);
    QTreeView &view = window.View();
    ASSERT_EQ(view.model()->index(0, 0).data().toString(), "sub");
    view.selectionModel()->select(view.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QString report;
    user.ChooseFolder(Q(out));
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::ExtractSelected);

    EXPECT_EQ(test::NamesIn(PathOf(out)), (std::set<std::string> {"sub"}));
    EXPECT_EQ(ReadFile(out + "/sub/b.bin"), ReadFile(dir / "data/sub/b.bin"));
}

struct ExistingCase
{
    const char *name;
    std::vector<int> answers;
    bool firstReplaced;
    bool secondReplaced;
    const char *summary;
};

class ExistingFiles : public ArchiveWindowTest, public testing::WithParamInterface<ExistingCase>
{
};

TEST_P(ExistingFiles, AreReplacedOrKeptAsAnswered)
{
    std::filesystem::create_directories(PathOf(out + "/sub"));
    WriteFile(out + "/a.bin", "old a");
    WriteFile(out + "/sub/b.bin", "old b");
    ArchiveWindow &window = OpenWindow(archive);
    user.ChooseFolder(Q(out));
    for (const int answer : GetParam().answers) {
        user.AnswerDialog([answer](QDialog &dialog) {
            EXPECT_NE(qobject_cast<ExistingFileDialog *>(&dialog), nullptr);
            return answer;
        });
    }
    QString report;
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::ExtractAll);

    EXPECT_EQ(ReadFile(out + "/a.bin"), GetParam().firstReplaced ? ReadFile(dir / "data/a.bin") : "old a");
    EXPECT_EQ(ReadFile(out + "/sub/b.bin"), GetParam().secondReplaced ? ReadFile(dir / "data/sub/b.bin") : "old b");
    EXPECT_TRUE(report.contains(GetParam().summary)) << report.toStdString();
    EXPECT_TRUE(user.AllAnswersUsed());
    // Nothing but the two files: no temporary file is left behind.
    EXPECT_EQ(test::NamesIn(PathOf(out)), (std::set<std::string> {"a.bin", "sub"}));
    EXPECT_EQ(test::NamesIn(PathOf(out + "/sub")), (std::set<std::string> {"b.bin"}));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExistingFiles,
    testing::Values(
        ExistingCase {"OverwriteEach", {ExistingFileDialog::Overwrite, ExistingFileDialog::Overwrite}, true, true,
                      "2 written, 0 kept"},
        ExistingCase {"SkipThenOverwrite", {ExistingFileDialog::Skip, ExistingFileDialog::Overwrite}, false, true,
                      "1 written, 1 kept"},
        ExistingCase {"OverwriteAllAsksOnce", {ExistingFileDialog::OverwriteAll}, true, true, "2 written, 0 kept"},
        ExistingCase {"SkipAllAsksOnce", {ExistingFileDialog::SkipAll}, false, false, "0 written, 2 kept"},
        ExistingCase {"CancelStops", {ExistingFileDialog::Cancel}, false, false, "Cancelled"}),
    [](const auto &info) { return std::string(info.param.name); });

// Cancel in the progress window (not Enter), pressed while the job waits for the question about
// the first file: the job stops before writing anything more, and what is left is whole.
TEST_F(ArchiveWindowTest, CancelInTheProgressWindowStopsTheExtractionLeavingOnlyWholeFiles)
{
    std::filesystem::create_directories(PathOf(out));
    WriteFile(out + "/a.bin", "old a");
    ArchiveWindow &window = OpenWindow(archive);
    user.ChooseFolder(Q(out));
    user.AnswerDialog([&window](QDialog &dialog) {
        EXPECT_NE(qobject_cast<ExistingFileDialog *>(&dialog), nullptr);
        auto *progress = window.findChild<QDialog *>("ArchiveProgressWindow");
        EXPECT_NE(progress, nullptr);
        if (progress != nullptr) {
            EXPECT_TRUE(progress->isVisible());
            auto *cancel = progress->findChild<QPushButton *>("btnCancel");
            // Enter, even on the focused button, is not Cancel.
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
            EXPECT_TRUE(cancel->isEnabled()) << "Enter cancelled the extraction";
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
        return int(ExistingFileDialog::Overwrite);
    });
    QString report;
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::ExtractAll);

    EXPECT_TRUE(report.contains("Cancelled")) << report.toStdString();
    EXPECT_TRUE(user.AllAnswersUsed());
    // The first file is either kept or replaced whole; the second was never started.
    const std::string first = ReadFile(out + "/a.bin");
    EXPECT_TRUE(first == "old a" || first == ReadFile(dir / "data/a.bin"));
    EXPECT_EQ(test::NamesIn(PathOf(out)), (std::set<std::string> {"a.bin"}));
}

TEST_F(ArchiveWindowTest, RefusedNamesAreListedWithTheirReasons)
{
    const std::string crafted = dir / "crafted.pod";
    WriteFile(crafted, test::CraftArchive({{"..\\evil.txt", "x"}, {"good.txt", "y"}}));
    ArchiveWindow &window = OpenWindow(crafted);
    QString report;
    user.ChooseFolder(Q(out + "/inner"));
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::ExtractAll);

    EXPECT_TRUE(report.contains("1 written, 0 kept, 1 refused")) << report.toStdString();
    EXPECT_TRUE(report.contains("..\\evil.txt")) << report.toStdString();
    EXPECT_FALSE(std::filesystem::exists(PathOf(out + "/evil.txt")));
    EXPECT_EQ(ReadFile(out + "/inner/good.txt"), "y");
}

TEST_F(ArchiveWindowTest, ADamagedArchiveOpensWithItsProblemsAndNothingIsExtracted)
{
    std::string bytes = ReadFile(archive);
    test::PutLE32(bytes, 264, 0x7FFFFFF0); // the directory past the end
    const std::string damaged = dir / "damaged.pod";
    WriteFile(damaged, bytes);
    ArchiveWindow &window = OpenWindow(damaged);
    auto *problems = window.findChild<QPlainTextEdit *>("edProblems");
    EXPECT_TRUE(problems->isVisibleTo(&window));
    EXPECT_TRUE(problems->toPlainText().startsWith("Damage")) << problems->toPlainText().toStdString();
    EXPECT_EQ(window.Model().rowCount(), 0);

    QString report;
    KeepReport(report);
    window.ExtractAll();
    EXPECT_TRUE(report.contains("is damaged; nothing is extracted")) << report.toStdString();
    EXPECT_TRUE(user.folderRequests.empty());
}

// An archive of another layout with damage lists both, and the differences do not call it sound.
TEST_F(ArchiveWindowTest, DamageAndDifferencesAreShownApart)
{
    std::string bytes = test::MakeFamilyArchive(test::FamilyLayout::POD2, {{"a.txt", "abc"}});
    bytes[4] ^= 1; // the header's checksum
    const std::string path = dir / "pod2.pod";
    WriteFile(path, bytes);
    ArchiveWindow &window = OpenWindow(path);
    const QString text = window.findChild<QPlainTextEdit *>("edProblems")->toPlainText();
    const qsizetype damage = text.indexOf("Damage (nothing is extracted from this archive):\n");
    const qsizetype differences = text.indexOf("Differences from Morvane's own layout (not damage):\n");
    EXPECT_EQ(damage, 0) << text.toStdString();
    EXPECT_GT(differences, damage) << text.toStdString();
    EXPECT_TRUE(text.indexOf("checksum of the header") > damage && text.indexOf("checksum of the header") < differences)
        << text.toStdString();
    EXPECT_TRUE(text.indexOf("POD2 archive") > differences) << text.toStdString();
    EXPECT_EQ(window.Model().rowCount(), 1);
}

TEST_F(ArchiveWindowTest, DataThatDoesNotMatchItsChecksumStopsTheExtractionBeforeAnythingIsWritten)
{
    ArchiveWindow &window = OpenWindow(ForeignWithADamagedEntry());
    QString report;
    user.ChooseFolder(Q(out));
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::ExtractAll);

    EXPECT_TRUE(report.contains("is damaged; nothing was extracted")) << report.toStdString();
    EXPECT_FALSE(std::filesystem::exists(PathOf(out)) && !test::NamesIn(PathOf(out)).empty());
}

TEST(ArchiveReport, EnterClosesItAndCopyTakesTheWholeText)
{
    ArchiveReportDialog report(nullptr, "Verify", "a.pod: 1 problem found", "a.pod: entry 1 (x) is damaged");
    report.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&report));
    QTest::mouseClick(report.findChild<QPushButton *>("btnCopy"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "a.pod: 1 problem found\na.pod: entry 1 (x) is damaged");
    EXPECT_TRUE(report.isVisible());
    QTest::keyClick(QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &report, Qt::Key_Return);
    EXPECT_FALSE(report.isVisible());
    EXPECT_EQ(report.result(), QDialog::Accepted);
}

TEST_F(ArchiveWindowTest, VerifyReportsASoundArchive)
{
    ArchiveWindow &window = OpenWindow(archive);
    QString report;
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::Verify);
    EXPECT_EQ(report, "list.POD: OK: 2 entries");
}

TEST_F(ArchiveWindowTest, VerifyReportsDamageAndDifferencesApartAndMarksTheEntry)
{
    ArchiveWindow &window = OpenWindow(ForeignWithADamagedEntry());
    QString report;
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::Verify);

    const qsizetype damage = report.indexOf("Damage:\n");
    const qsizetype differences = report.indexOf("Differences (not damage):\n");
    ASSERT_GE(damage, 0) << report.toStdString();
    ASSERT_GT(differences, damage) << report.toStdString();
    EXPECT_TRUE(report.mid(damage, differences - damage).contains("checksum")) << report.toStdString();
    window.Model().SetFlat(true);
    EXPECT_EQ(window.Model().index(1, ArchiveEntryModel::ChecksumColumn).data().toString(), "DOES NOT MATCH");
    EXPECT_EQ(window.Model().index(0, ArchiveEntryModel::ChecksumColumn).data().toString(), "matches");
}

TEST_F(ArchiveWindowTest, PropertiesEditsAPod3HeaderInPlaceAndTheWindowFollows)
{
    ArchiveWindow &window = OpenWindow(archive);
    const std::string before = ReadFile(archive);
    std::map<QString, QString> shown;
    user.AnswerDialog([&shown](QDialog &dialog) {
        shown = test::LineEditTexts(dialog);
        dialog.findChild<QLineEdit *>("edDescription")->setText("Nouvelle");
        return Tform_Dialog::kModalOk;
    });
    Activate(window);
    QTest::keyClick(&window, Qt::Key_Return, Qt::AltModifier);

    EXPECT_EQ(user.dialogsShown, std::vector<QString> {"form_Dialog"});
    EXPECT_EQ(shown.at("edDescription"), "Mon add-on");
    EXPECT_EQ(shown.at("edPriorite"), "1200");
    EXPECT_EQ(ReadArchiveHeader(archive).description, "Nouvelle");
    EXPECT_EQ(ReadFile(archive).substr(288), before.substr(288));
    EXPECT_EQ(Text(window, "valDescription"), "Nouvelle");

    // A number that does not convert leaves the file as it was, with the header edit's message.
    const std::string edited = ReadFile(archive);
    user.CloseDialog(Tform_Dialog::kModalOk, {{"edVersion", "abc"}});
    QTest::keyClick(&window, Qt::Key_Return, Qt::AltModifier);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_TRUE(user.messages[0].text.contains("'abc' is not a valid integer value"));
    EXPECT_EQ(ReadFile(archive), edited);
}

// Other layouts are shown, not edited: whatever the dialog answers, the file stays as it was.
TEST_F(ArchiveWindowTest, PropertiesOfAnotherLayoutAreShownReadOnly)
{
    test::FamilyOptions options;
    options.description = "Pack";
    const std::string path = dir / "five.pod";
    WriteFile(path, test::MakeFamilyArchive(test::FamilyLayout::POD5, {{"a.txt", "abc"}}, options));
    const std::string before = ReadFile(path);
    ArchiveWindow &window = OpenWindow(path);
    std::map<QString, QString> shown;
    QString title;
    bool readOnly = false;
    user.AnswerDialog([&](QDialog &dialog) {
        shown = test::LineEditTexts(dialog);
        title = dialog.windowTitle();
        readOnly = dialog.findChild<QLineEdit *>("edDescription")->isReadOnly();
        dialog.findChild<QLineEdit *>("edDescription")->setText("Changed");
        return Tform_Dialog::kModalOk;
    });
    window.Properties();

    EXPECT_EQ(title, "five.pod (read-only)");
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(shown.at("edDescription"), "Pack");
    EXPECT_EQ(shown.at("edAuthor"), "Tester");
    EXPECT_EQ(shown.at("edPriorite"), "1000");
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(Text(window, "valDescription"), "Pack");
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(ArchiveWindowTest, ExtractingAndBuildingTheSavedListGivesBackTheSameArchive)
{
    ArchiveWindow &window = OpenWindow(archive);
    QString report;
    user.ChooseFolder(Q(out));
    KeepReport(report);
    RunAndWait(window, &ArchiveWindow::ExtractAll);
    user.ChooseFiles({Q(out + "/list.txt")});
    window.SaveResponseList();
    ASSERT_EQ(user.fileRequests.size(), 1u);
    EXPECT_TRUE(user.fileRequests[0].save);
    EXPECT_EQ(ReadFile(out + "/list.txt"), "a.bin\r\nsub\\b.bin\r\n");

    morvane::CreateArchive(out + "/list.txt", out + "/list.POD", {"Mon add-on", "3", "1200", "Ren\xE9", "(c) 2026"});
    EXPECT_EQ(ReadFile(out + "/list.POD"), ReadFile(archive));
}

TEST_F(ArchiveWindowTest, DraggedEntriesAreFilesOfAPrivateFolderRemovedWithTheWindow)
{
    ArchiveWindow *window = &OpenWindow(archive);
    const QList<QUrl> urls = window->DragFiles({0, 1}, {"sub", "a.bin"});
    ASSERT_EQ(urls.size(), 2);
    const std::string folder = urls[0].toLocalFile().toStdString();
    EXPECT_TRUE(folder.ends_with("/sub"));
    EXPECT_EQ(ReadFile(folder + "/b.bin"), ReadFile(dir / "data/sub/b.bin"));
    EXPECT_EQ(ReadFile(urls[1].toLocalFile().toStdString()), ReadFile(dir / "data/a.bin"));
    const std::filesystem::path dragRoot = PathOf(folder).parent_path().parent_path();
#ifndef _WIN32
    // Windows keeps a user's temporary folder to that user by its own access rights.
    EXPECT_EQ(std::filesystem::status(dragRoot).permissions() & std::filesystem::perms::others_all,
              std::filesystem::perms::none);
#endif
    delete window;
    EXPECT_FALSE(std::filesystem::exists(dragRoot));
}

TEST_F(ArchiveWindowTest, ControlOAndADropOnTheMainWindowOpenArchiveWindows)
{
    user.ChooseFiles({Q(archive)});
    Activate(windows.Form_main);
    QTest::keyClick(&windows.Form_main, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(ArchiveWindows().size(), 1u);

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(archive))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // As the window system hands a drop to the window, past the drag manager.
    static_cast<QObject &>(windows.Form_main).event(&drop);
    QCoreApplication::processEvents();
    // Each archive window is a window of its own, beside the other.
    EXPECT_EQ(ArchiveWindows().size(), 2u);
    EXPECT_TRUE(user.messages.empty());
}

} // namespace
} // namespace morvane
