#include "QtText.h"
#include "editor/Morvane_response.h"

#include "CraftedArchive.h"
#include "DeepFolders.h"
#include "FileSizeLimit.h"
#include "ScriptedInteraction.h"
#include "TestFiles.h"
#include "archive/ArchiveCommands.h"
#include "editor/ResponseListText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScriptedInteraction;
using test::TempDir;
using test::WriteFile;

using test::Q;

class Editor : public testing::Test
{
protected:
    Editor()
    {
        fs::create_directories(dir.Path() / "work" / "sub");
        WriteFile(At("a.txt"), "a");
        WriteFile(At("sub/b.bin"), "b");
    }

    void Click(const char *control)
    {
        auto *button = editor.findChild<QAbstractButton *>(control);
        ASSERT_NE(button, nullptr) << control;
        button->click();
    }

    QPlainTextEdit &List() { return *editor.findChild<QPlainTextEdit *>("Response"); }
    std::string ListBytes() { return ResponseListBytes(List()); }
    std::multiset<std::string> ListLines()
    {
        std::multiset<std::string> lines;
        std::string bytes = ListBytes();
        for (std::size_t start = 0; start < bytes.size();) {
            const std::size_t end = bytes.find("\r\n", start);
            lines.insert(bytes.substr(start, end - start));
            start = end == std::string::npos ? bytes.size() : end + 2;
        }
        return lines;
    }
    std::string At(const std::string &name) const { return work + "/" + name; }
    QString Status() { return editor.findChild<QStatusBar *>("StatusBar")->currentMessage(); }

    void Load(const std::string &path)
    {
        user.ChooseFiles({Q(path)});
        Click("tbCharger");
    }
    void Save(const std::string &path)
    {
        user.ChooseFiles({Q(path)});
        Click("tbEnregistrer");
    }

    TempDir dir;
    const std::string work = dir / "work";
    QString workDir = Q(work);
    ScriptedInteraction user;
    Tform_response editor {nullptr, [this] { return workDir; }};
};

TEST_F(Editor, CreateFileTwiceAppendsThenCreateDirReplaces)
{
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "A.TXT\r\n");
    EXPECT_EQ(Status(), "1 lignes/lines");
    ASSERT_EQ(user.fileRequests.size(), 1u);
    EXPECT_EQ(user.fileRequests[0].filter, "Tous fichiers (*)");
    EXPECT_EQ(user.fileRequests[0].defaultSuffix, "");
    EXPECT_EQ(user.fileRequests[0].directory, Q(work));
    EXPECT_TRUE(user.fileRequests[0].multiSelect);

    user.ChooseFiles({Q(At("sub/b.bin")), Q(At("a.txt"))});
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "A.TXT\r\nSUB\\B.BIN\r\nA.TXT\r\n");
    EXPECT_EQ(Status(), "3 lignes/lines");

    user.ChooseFolder(Q(work));
    Click("tbCreerDir");
    ASSERT_EQ(user.folderRequests.size(), 1u);
    EXPECT_EQ(user.folderRequests[0].caption, "Select a directory");
    EXPECT_EQ(user.folderRequests[0].root, test::QtForm(Q(work)));
    EXPECT_EQ(user.folderRequests[0].startFolder, "");
    // The folder's own files come before those of its sub-folders.
    EXPECT_EQ(ListBytes(), "a.txt\r\nsub\\b.bin\r\n");
    EXPECT_EQ(Status(), "3 lignes/lines");
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Editor, CreateFileAfterALastLineWithoutBreak)
{
    List().setPlainText("typed");
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "typed\r\nA.TXT");
    user.ChooseFiles({Q(At("sub/b.bin"))});
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "typed\r\nA.TXT\r\nSUB\\B.BIN");
    EXPECT_EQ(Status(), "3 lignes/lines");
}

TEST_F(Editor, CreateFileUpperCasesOnlyAsciiLettersOfTheWindows1252Line)
{
    const std::string name = "caf\xc3\xa9-\xc3\xa0.txt";
    WriteFile(At(name), "c");
    user.ChooseFiles({Q(At(name))});
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "CAF\xe9-\xe0.TXT\r\n");
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(Editor, CreateFileLeavesOutNamesNoLineCanHoldAndSaysWhy)
{
#ifdef _WIN32
    GTEST_SKIP() << "a backslash separates folders in Windows file names, so no file can hold one";
#endif
    const std::string cjk = "\xe4\xb8\xad.txt";
    WriteFile(At(cjk), "c");
    WriteFile(At("back\\slash"), "b");
    user.ChooseFiles({Q(At(cjk)), Q(At("a.txt")), Q(At("back\\slash"))});
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "A.TXT\r\n");
    EXPECT_EQ(Status(), "1 lignes/lines");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(user.messages[0].details,
              Q(At(cjk)) + ": its name holds a character that Windows-1252 cannot hold\n"
                  + Q(At("back\\slash"))
                  + ": its name holds a backslash, which a response file reads as a folder separator");
}

TEST_F(Editor, CreateFileCancelledChangesNothing)
{
    List().setPlainText("kept");
    user.CancelFiles();
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "kept");
    EXPECT_EQ(Status(), "");
}

TEST_F(Editor, CreateDirCancelledLeavesTheListAsItWas)
{
    List().setPlainText("one\ntwo\n");
    user.CancelFolder();
    Click("tbCreerDir");
    EXPECT_EQ(ListBytes(), "one\r\ntwo\r\n");
    EXPECT_FALSE(List().isHidden());
}

TEST_F(Editor, CreateDirOnTheWorkingFolderGivesRelativeNamesInTheirCase)
{
    fs::create_directories(fs::path(work) / "sub" / "Deep");
    fs::create_directories(fs::path(work) / ".hiddensub");
    WriteFile(At("Mixed.Bin"), "m");
    WriteFile(At(".hidden"), "h");
    WriteFile(At("sub/Deep/z.DAT"), "z");
    WriteFile(At(".hiddensub/w"), "w");
    user.ChooseFolder(Q(work));
    Click("tbCreerDir");
    EXPECT_EQ(
        ListLines(),
        (std::multiset<std::string> {"a.txt", "Mixed.Bin", ".hidden", "sub\\b.bin", "sub\\Deep\\z.DAT"}));
    EXPECT_TRUE(ListBytes().ends_with("\r\n"));
    EXPECT_FALSE(List().isHidden());
}

// Lines are Windows-1252; what a build could not open is left out and named in one warning.
TEST_F(Editor, CreateDirListsWhatABuildCanOpenAndNamesTheRest)
{
#ifdef _WIN32
    GTEST_SKIP() << "makes a FIFO and a symbolic link, which Windows has not";
#else
    fs::create_directories(fs::path(work) / "\xc3\xa9t\xc3\xa9");
    WriteFile(At("\xc3\xa9t\xc3\xa9/\xc5\x92uvre.bin"), "o");
    WriteFile(At("\xe2\x82\xac.dat"), "e");
    WriteFile(At("two\nlines"), "t");
    WriteFile(At("sub/back\\slash.bin"), "b");
    WriteFile(At("\xe4\xb8\xad.txt"), "c");
    WriteFile(At("caf\xe9.txt"), "n");
    WriteFile(At("sub/.morvane-a1b2c3d4e5"), "left by a killed write");
    ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0644), 0);
    fs::create_symlink("missing", At("dangling"));
    List().setPlainText("old");
    user.ChooseFolder(Q(work));
    Click("tbCreerDir");

    EXPECT_EQ(ListLines(),
              (std::multiset<std::string> {"a.txt", "sub\\b.bin", "\xe9t\xe9\\\x8cuvre.bin", "\x80.dat",
                                           "caf\xe9.txt"}));
    EXPECT_TRUE(ListBytes().ends_with("\r\n"));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(user.messages[0].title, "Warning");
    const QStringList named = user.messages[0].details.split('\n');
    EXPECT_EQ(std::set<QString>(named.begin(), named.end()),
              (std::set<QString> {
                  Q(At("two?lines")) + ": its name holds a line break, which a response file cannot hold",
                  Q(At("sub/back\\slash.bin"))
                      + ": its name holds a backslash, which a response file reads as a "
                        "folder separator",
                  Q(At("\xe4\xb8\xad.txt")) + ": its name holds a character that Windows-1252 cannot hold",
                  Q(At("fifo")) + ": it is not a regular file",
                  Q(At("dangling")) + ": it is not a regular file",
              }));
    EXPECT_FALSE(List().isHidden());
#endif
}

TEST_F(Editor, CreateDirNamesTheFoldersItCouldNotRead)
{
#ifdef _WIN32
    GTEST_SKIP() << "the deep folders are made with the *at() calls of POSIX";
#else
    test::DeepFolders deep(work, "long", 4000);
    deep.AddFile("near");
    user.ChooseFolder(Q(work));
    Click("tbCreerDir");
    EXPECT_EQ(ListLines().count("a.txt"), 1u);
    EXPECT_EQ(ListLines().size(), 3u);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].details,
              Q(deep.TooDeep() + "/") + ": the folder could not be read (File name too long)");
#endif
}

TEST_F(Editor, CreateDirOnASubFolderStaysRelativeToTheWorkingFolder)
{
    user.ChooseFolder(Q(At("sub")));
    Click("tbCreerDir");
    EXPECT_EQ(ListBytes(), "sub\\b.bin\r\n");
}

TEST_F(Editor, CreateDirOnAnEmptyFolderEmptiesTheList)
{
    fs::create_directory(fs::path(work) / "empty");
    List().setPlainText("old");
    user.ChooseFolder(Q(At("empty")));
    Click("tbCreerDir");
    EXPECT_EQ(ListBytes(), "");
}

TEST_F(Editor, CreateDirOnAVanishedFolderReportsItAndKeepsTheList)
{
    List().setPlainText("old");
    user.ChooseFolder(Q(At("gone")));
    Click("tbCreerDir");
    EXPECT_EQ(ListBytes(), "old");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, "Morvane");
    EXPECT_EQ(user.messages[0].text, "Cannot open folder " + test::Shown(Q(At("gone"))) + ".");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(List().isHidden());
}

// Each row: the folder chosen below the test folder (made before), and the message's title.
struct CreateDirMessageCase
{
    const char *name;
    const char *folder;
    const char *title;
};

void PrintTo(const CreateDirMessageCase &c, std::ostream *out)
{
    *out << c.name;
}

class EditorCreateDirMessage : public Editor, public testing::WithParamInterface<CreateDirMessageCase>
{
};

// The text area is hidden while the folder is chosen and searched; a message about the outcome is
// read over the list shown again.
TEST_P(EditorCreateDirMessage, ComesWithTheListShownAgain)
{
    WriteFile(At("\xe4\xb8\xad.txt"), "c");
    fs::create_directory(dir.Path() / "elsewhere");
    List().setPlainText("old");
    std::vector<bool> listHidden;
    user.whileAsked = [&] { listHidden.push_back(List().isHidden()); };
    user.ChooseFolder(Q(dir / GetParam().folder));
    Click("tbCreerDir");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, GetParam().title);
    EXPECT_EQ(listHidden, (std::vector<bool> {true, false}));
}

INSTANTIATE_TEST_SUITE_P(Outcomes, EditorCreateDirMessage,
                         testing::Values(CreateDirMessageCase {"FilesLeftOut", "work", "Warning"},
                                         CreateDirMessageCase {"FolderOutside", "elsewhere", "Warning"},
                                         CreateDirMessageCase {"FolderGone", "work/gone", "Morvane"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Editor, ToolBarAndStatusBarStayInPlaceWhileTheListIsHidden)
{
    editor.show();
    QApplication::processEvents();
    auto *toolBar = editor.findChild<QWidget *>("ToolBar1");
    auto *statusBar = editor.findChild<QWidget *>("StatusBar");
    const QRect toolBarShown = toolBar->geometry();
    const QRect statusBarShown = statusBar->geometry();
    QRect toolBarHidden;
    QRect statusBarHidden;
    user.whileAsked = [&] {
        QApplication::processEvents();
        toolBarHidden = toolBar->geometry();
        statusBarHidden = statusBar->geometry();
    };
    user.CancelFolder();
    Click("tbCreerDir");
    EXPECT_EQ(toolBarHidden, toolBarShown);
    EXPECT_EQ(statusBarHidden, statusBarShown);
    editor.hide();
}

// Each row: file bytes, the line count shown, the bytes Save writes back.
struct LoadCase
{
    const char *name;
    std::string bytes;
    int count;
    std::string saved;
};

void PrintTo(const LoadCase &c, std::ostream *out)
{
    *out << c.name;
}

class EditorLoad : public Editor, public testing::WithParamInterface<LoadCase>
{
};

TEST_P(EditorLoad, ShowsTheLinesAndSavesThemWithCrLf)
{
    const std::string file = At("list.txt");
    WriteFile(file, GetParam().bytes);
    Load(file);
    EXPECT_EQ(Status(), test::Shown(Q(file)) + Q(" - " + std::to_string(GetParam().count) + " lignes/lines"));
    EXPECT_EQ(ListBytes(), GetParam().saved);

    Save(At("saved.txt"));
    EXPECT_EQ(ReadFile(At("saved.txt")), GetParam().saved);
    EXPECT_EQ(Status(), test::Shown(Q(file)) + Q(" - " + std::to_string(GetParam().count) + " lignes/lines"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, EditorLoad,
    testing::Values(LoadCase {"CrLf", "A\r\nB\r\n", 2, "A\r\nB\r\n"},
                    LoadCase {"LfOnly", "A\nB\n", 2, "A\r\nB\r\n"},
                    LoadCase {"CrOnly", "A\rB\r", 2, "A\r\nB\r\n"},
                    LoadCase {"Mixed", "A\r\nB\nC\rD", 4, "A\r\nB\r\nC\r\nD"},
                    LoadCase {"LfThenCrIsTwoBreaks", "A\n\rB", 3, "A\r\n\r\nB"},
                    LoadCase {"LastLineWithoutBreak", "A\r\nB", 2, "A\r\nB"},
                    LoadCase {"EmptyLastLine", "A\r\n\r\n", 2, "A\r\n\r\n"},
                    LoadCase {"JustABreak", "\r\n", 1, "\r\n"}, LoadCase {"Empty", "", 0, ""},
                    LoadCase {"EndsAtZeroByte", std::string("A\r\nB\0C\r\n", 8), 2, "A\r\nB"},
                    LoadCase {"TrailingBlanksKept", "A \r\n\tB\r\n", 2, "A \r\n\tB\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Editor, LoadStatusShowsControlCharactersOfTheFileNameAsQuestionMarks)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold control characters";
#endif
    const std::string file = At("two\nlines\x1b.txt");
    WriteFile(file, "A\r\n");
    Load(file);
    EXPECT_EQ(Status(), Q(At("two?lines?.txt - 1 lignes/lines")));
}

TEST_F(Editor, LoadThenSaveKeepsEveryByte)
{
    const std::string bytes = "CAF\xc9.TXT\r\n" // Windows-1252
                              "caf\xc3\xa9\\\xe6\x97\xa5.bin\r\n" // UTF-8
                              "bad\x80\xff\xc3(\xed\xa0\x80\r\n" // not UTF-8
                              "nb\xc2\xa0sp\xef\xbb\xbf\xe2\x80\xa8\r\n"
                              "\xef\x9e\x80\xef\x9f\xbf private\r\n"
                              "\xef\xbb\xbflast";
    WriteFile(At("list.txt"), bytes);
    Load(At("list.txt"));
    EXPECT_EQ(Status(), test::Shown(Q(At("list.txt"))) + " - 6 lignes/lines");
    Save(At("copy.txt"));
    EXPECT_EQ(ReadFile(At("copy.txt")), bytes);
}

TEST_F(Editor, ShowsLinesAsWindows1252)
{
    const std::string bytes = "PI\xc8"
                              "CE.TXT\r\n"
                              "\x80.dat\r\n"
                              "\x8c"
                              "uvre\\\x81\x90.bin\r\n"
                              "utf8 caf\xc3\xa9";
    WriteFile(At("list.txt"), bytes);
    Load(At("list.txt"));
    EXPECT_EQ(List().toPlainText(),
              QString::fromUtf16(u"PI\u00c8CE.TXT\n\u20ac.dat\n\u0152uvre\\\uf781\uf790.bin\n"
                                 u"utf8 caf\u00c3\u00a9"));
    Save(At("copy.txt"));
    EXPECT_EQ(ReadFile(At("copy.txt")), bytes);
}

TEST_F(Editor, TypedCharactersAreSavedInWindows1252)
{
    List().setPlainText(QString::fromUtf16(u"\u00c9T\u00c9.TXT\n\u20ac.DAT\n\u0153"));
    Save(At("out.txt"));
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(ReadFile(At("out.txt")), "\xc9T\xc9.TXT\r\n\x80.DAT\r\n\x9c");
}

TEST_F(Editor, CharacterWindows1252CannotHoldStopsTheSaveAndKeepsTheFile)
{
    WriteFile(At("out.txt"), "old\r\n");
    List().setPlainText(QString::fromUtf16(u"A.TXT\nB\u2028\u00e9\u4e2d.txt\n"));
    Save(At("out.txt"));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, "Morvane");
    EXPECT_TRUE(user.messages[0].text.startsWith(
        QString::fromUtf16(u"Line 3 holds the character \u201c\u4e2d\u201d (U+4E2D)")))
        << user.messages[0].text.toStdString();
    EXPECT_EQ(ReadFile(At("out.txt")), "old\r\n");
}

// Each row: what the user types (Shift+Return is a soft line break), the status count after
// Create File adds a.txt, and the bytes Save then writes.
struct SoftBreakCase
{
    const char *name;
    std::vector<std::pair<QString, bool>> typed; // text, then a soft break when true
    int count;
    std::string saved;
};

void PrintTo(const SoftBreakCase &c, std::ostream *out)
{
    *out << c.name;
}

class EditorSoftBreak : public Editor, public testing::WithParamInterface<SoftBreakCase>
{
};

TEST_P(EditorSoftBreak, CountsWhatSaveWrites)
{
    for (const auto &[text, softBreak] : GetParam().typed) {
        QTest::keyClicks(&List(), text);
        if (softBreak)
            QTest::keyClick(&List(), Qt::Key_Return, Qt::ShiftModifier);
    }
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    Save(At("out.txt"));
    const std::string saved = ReadFile(At("out.txt"));
    EXPECT_EQ(saved, GetParam().saved);
    EXPECT_EQ(Status(), Q(std::to_string(GetParam().count) + " lignes/lines"));
}

INSTANTIATE_TEST_SUITE_P(
    Typed, EditorSoftBreak,
    testing::Values(SoftBreakCase {"BetweenTwoNames", {{"X", true}, {"Y", false}}, 3, "X\r\nY\r\nA.TXT"},
                    SoftBreakCase {"AfterTheLastName", {{"X", true}}, 2, "X\r\nA.TXT\r\n"},
                    SoftBreakCase {"Twice", {{"X", true}, {"", true}}, 3, "X\r\n\r\nA.TXT\r\n"},
                    SoftBreakCase {"None", {{"X", false}}, 2, "X\r\nA.TXT"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Editor, OpensWhereItsFormPlacesIt)
{
    QWidget mainWindow;
    mainWindow.setGeometry(40, 40, 160, 271);
    mainWindow.show();
    Tform_response shown(&mainWindow, [] { return QString(); });
    shown.show();
    EXPECT_EQ(shown.frameGeometry().topLeft(), QPoint(461, 181));
    // Outer 525 x 454 with the frame the forms were drawn in (4 pixels a side, a 19-pixel title
    // bar), as the main window and the properties dialog are sized.
    EXPECT_EQ(shown.size(), QSize(517, 427));
    shown.hide();
}

TEST_F(Editor, TypingGoesIntoTheListOnceTheWindowShows)
{
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), "TYPED.BIN");
    EXPECT_EQ(ListBytes(), "TYPED.BIN");
    editor.hide();
}

TEST_F(Editor, LoadOfAMissingFileReportsItAndKeepsListAndStatus)
{
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    Load(At("missing.txt"));
    EXPECT_EQ(ListBytes(), "A.TXT\r\n");
    EXPECT_EQ(Status(), "1 lignes/lines");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Cannot open file " + test::Shown(Q(At("missing.txt"))) + ".");
}

TEST_F(Editor, DialogSettingsOfLoadAndSave)
{
    WriteFile(At("list.txt"), "x");
    Load(At("list.txt"));
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    Load(At("list.txt"));
    Save(At("out.txt"));
    ASSERT_EQ(user.fileRequests.size(), 4u);
    const FileDialogRequest &firstLoad = user.fileRequests[0];
    EXPECT_EQ(firstLoad.filter, "Fichier texte (*.txt);;Tous fichiers (*)");
    EXPECT_EQ(firstLoad.defaultSuffix, "txt");
    EXPECT_EQ(firstLoad.directory, "");
    // Load keeps the folder Create File gave the shared dialog, with no file selected that Enter
    // would load.
    EXPECT_EQ(user.fileRequests[2].directory, Q(work));
    EXPECT_EQ(user.fileRequests[2].selectedFile, "");
    EXPECT_EQ(user.fileRequests[2].filter, firstLoad.filter);
    const FileDialogRequest &save = user.fileRequests[3];
    EXPECT_TRUE(save.save);
    EXPECT_TRUE(save.overwritePrompt);
    EXPECT_EQ(save.filter, "Fichiers textes (*.txt);;Tous fichiers (*)");
    EXPECT_EQ(save.defaultSuffix, "txt");
    EXPECT_EQ(save.directory, Q(work));
}

// Each step that replaces or extends the list is one step Ctrl+Z takes back, to what was typed.
struct UndoCase
{
    const char *label;
    const char *button;
    enum class Answer { None, File, Folder } answer;
    const char *chosen; // in the working folder
};

void PrintTo(const UndoCase &c, std::ostream *os)
{
    *os << c.label;
}

class EditorUndo : public Editor, public testing::WithParamInterface<UndoCase>
{
};

TEST_P(EditorUndo, CtrlZBringsBackWhatWasTyped)
{
    WriteFile(At("list.txt"), "FROM\r\nFILE\r\n");
    QTest::keyClicks(&List(), "typed one");
    QTest::keyClick(&List(), Qt::Key_Return);
    QTest::keyClicks(&List(), "typed two");
    const std::string typed = ListBytes();
    ASSERT_EQ(typed, "typed one\r\ntyped two");

    const UndoCase &step = GetParam();
    if (step.answer == UndoCase::Answer::File)
        user.ChooseFiles({Q(At(step.chosen))});
    else if (step.answer == UndoCase::Answer::Folder)
        user.ChooseFolder(Q(At(step.chosen)));
    Click(step.button);
    const std::string after = ListBytes();
    ASSERT_NE(after, typed);

    QTest::keyClick(&List(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ListBytes(), typed);
    QTest::keyClick(&List(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ListBytes(), after);
    EXPECT_TRUE(user.AllAnswersUsed());
    EXPECT_TRUE(user.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, EditorUndo,
                         testing::Values(UndoCase {"Clear", "tbEffacer", UndoCase::Answer::None, ""},
                                         UndoCase {"CreateFile", "tbCreer", UndoCase::Answer::File, "a.txt"},
                                         UndoCase {"CreateDir", "tbCreerDir", UndoCase::Answer::Folder, "sub"},
                                         UndoCase {"Load", "tbCharger", UndoCase::Answer::File, "list.txt"}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(Editor, AListIsUnsavedFromItsFirstChangeUntilSavedOrLoaded)
{
    WriteFile(At("list.txt"), "A.TXT\r\n");
    EXPECT_FALSE(editor.HoldsUnsavedList());
    QTest::keyClicks(&List(), "typed");
    EXPECT_TRUE(editor.HoldsUnsavedList());
    Save(At("out.txt"));
    EXPECT_FALSE(editor.HoldsUnsavedList());
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    EXPECT_TRUE(editor.HoldsUnsavedList());
    Load(At("list.txt"));
    EXPECT_FALSE(editor.HoldsUnsavedList());
    // Undoing the load brings back a list that was never saved.
    QTest::keyClick(&List(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(editor.HoldsUnsavedList());
    // An empty list holds nothing to lose.
    Click("tbEffacer");
    EXPECT_FALSE(editor.HoldsUnsavedList());
    EXPECT_TRUE(user.saveQuestions.empty());
}

// What a drop from a file manager carries, and what the list becomes.
struct DropCase
{
    const char *label;
    std::vector<std::string> files; // in the working folder; "/..." outside it
    QString text; // dropped as text when no files are given
    std::string remoteUrl; // dropped with the files
    bool taken;
    std::string list;
    QString leftOut; // part of the warning's details
};

void PrintTo(const DropCase &c, std::ostream *os)
{
    *os << c.label;
}

class EditorDrop : public Editor, public testing::WithParamInterface<DropCase>
{
};

TEST_P(EditorDrop, AddsFilesAndFoldersAsTheButtonsDo)
{
    WriteFile(dir / "outside.txt", "o");
    const DropCase &c = GetParam();
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string &file : c.files)
        urls << QUrl::fromLocalFile(file.starts_with('/') ? Q(dir / file.substr(1)) : Q(At(file)));
    if (!c.remoteUrl.empty())
        urls << QUrl(QString::fromStdString(c.remoteUrl));
    if (!urls.isEmpty())
        data.setUrls(urls);
    else
        data.setText(c.text);
    QWidget &target = *List().viewport();
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    EXPECT_EQ(enter.isAccepted(), c.taken);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    EXPECT_EQ(drop.isAccepted(), c.taken);

    EXPECT_EQ(ListBytes(), c.list);
    EXPECT_EQ(ListBytes().find("file:"), std::string::npos);
    if (c.leftOut.isEmpty()) {
        EXPECT_TRUE(user.messages.empty());
    } else {
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_TRUE(user.messages[0].details.contains(c.leftOut)) << user.messages[0].details.toStdString();
    }
    // A drop is one step Ctrl+Z takes back.
    QTest::keyClick(&List(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ListBytes(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Drops, EditorDrop,
    testing::Values(DropCase {"File", {"sub/b.bin"}, {}, {}, true, "SUB\\B.BIN\r\n", {}},
                    DropCase {"Folder", {"sub"}, {}, {}, true, "sub\\b.bin\r\n", {}},
                    DropCase {"FilesAndFolderInOrder", {"a.txt", "sub"}, {}, {}, true, "A.TXT\r\nsub\\b.bin\r\n", {}},
                    DropCase {"FileOutsideTheWorkingFolder",
                              {"/outside.txt", "a.txt"},
                              {},
                              {},
                              true,
                              "A.TXT\r\n",
                              "outside.txt: "},
                    DropCase {"FolderOutsideTheWorkingFolder", {"/"}, {}, {}, true, "", "does not lie inside the working folder"},
                    DropCase {"TextOfAUrl", {}, QStringLiteral("file:///etc/passwd"), {}, false, "", {}},
                    DropCase {"RemoteUrl", {"a.txt"}, {}, "https://example.org/a.txt", false, "", {}}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(Editor, SavingAnEmptyListWritesZeroBytes)
{
    WriteFile(At("out.txt"), "old contents");
    Save(At("out.txt"));
    EXPECT_EQ(ReadFile(At("out.txt")), "");
}

TEST_F(Editor, ClearAndSaveKeepTheStatusText)
{
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    Click("tbEffacer");
    EXPECT_EQ(ListBytes(), "");
    EXPECT_EQ(Status(), "1 lignes/lines");
    Save(At("out.txt"));
    EXPECT_EQ(Status(), "1 lignes/lines");
}

TEST_F(Editor, SaveThatCannotCreateTheFileSaysSo)
{
    Save(At("missing/out.txt"));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Cannot create file " + test::Shown(Q(At("missing/out.txt"))) + ".");
    EXPECT_FALSE(fs::exists(fs::path(work) / "missing"));
}

#ifndef _WIN32
TEST_F(Editor, FailedSaveKeepsTheOldFile)
{
    WriteFile(At("out.txt"), "old contents\r\n");
    List().setPlainText(QString(100000, QLatin1Char('x')));
    {
        const test::FileSizeLimit limit(4096);
        Save(At("out.txt"));
    }
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Cannot create file " + test::Shown(Q(At("out.txt"))) + ".");
    EXPECT_EQ(ReadFile(At("out.txt")), "old contents\r\n");
    std::set<std::string> left;
    for (const auto &entry : fs::directory_iterator(work))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string> {"a.txt", "sub", "out.txt"}));
}
#else
TEST_F(Editor, FailedSaveKeepsTheOldFile)
{
    GTEST_SKIP() << "needs a file-size limit to make the write fail, which Windows has not";
}
#endif

TEST_F(Editor, CloseEndsTheShowingWithResultOk)
{
    editor.show();
    Click("btnFermer");
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(editor.result(), 1);
}

TEST_F(Editor, FileOutsideTheWorkingFolderIsNotAdded)
{
    WriteFile(dir / "outside.txt", "o");
    fs::create_directory(dir.Path() / "work2");
    WriteFile(dir / "work2/sibling.txt", "s");
    user.ChooseFiles({Q(dir / "outside.txt"), Q(At("a.txt")), Q(dir / "work2/sibling.txt")});
    Click("tbCreer");
    EXPECT_EQ(ListBytes(), "A.TXT\r\n");
    EXPECT_EQ(Status(), "1 lignes/lines");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(user.messages[0].title, "Warning");
    EXPECT_TRUE(user.messages[0].text.contains("These files were not added to the list."));
    EXPECT_EQ(user.messages[0].details,
              test::Shown(Q(dir / "outside.txt")) + ": it does not lie inside the working folder\n"
                  + test::Shown(Q(dir / "work2/sibling.txt"))
                  + ": it does not lie inside the working folder");
}

TEST_F(Editor, CreateDirOutsideTheWorkingFolderLeavesTheList)
{
    fs::create_directory(dir.Path() / "elsewhere");
    WriteFile(dir / "elsewhere/e.txt", "e");
    List().setPlainText("old");
    user.ChooseFolder(Q(dir / "elsewhere"));
    Click("tbCreerDir");
    EXPECT_EQ(ListBytes(), "old");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_TRUE(user.messages[0].text.contains("The folder " + Q(dir / "elsewhere") + " lies outside"));
}

TEST_F(Editor, RootWorkingFolderGivesPathsBelowTheRoot)
{
    const fs::path workPath = test::PathOf(work);
    workDir = Q(test::Utf8Of(workPath.root_path()));
    user.ChooseFiles({Q(At("a.txt"))});
    Click("tbCreer");
    QString expected = Q(test::Utf8Of(workPath.relative_path()) + "/A.TXT").toUpper();
    expected.replace('/', '\\');
    EXPECT_EQ(Q(ListBytes()), expected + "\r\n");
}

class EditorWithoutWorkDir : public Editor, public testing::WithParamInterface<const char *>
{
};

TEST_P(EditorWithoutWorkDir, RefusesBeforeAskingAnything)
{
    workDir.clear();
    List().setPlainText("old");
    Click(GetParam());
    EXPECT_EQ(ListBytes(), "old");
    EXPECT_TRUE(user.fileRequests.empty());
    EXPECT_TRUE(user.folderRequests.empty());
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_TRUE(user.messages[0].text.contains("No working folder is set"));
}

INSTANTIATE_TEST_SUITE_P(Commands, EditorWithoutWorkDir, testing::Values("tbCreer", "tbCreerDir"));

// The names an archive stores.
std::multiset<std::string> archiveNames(const std::string &archive)
{
    std::multiset<std::string> stored;
    for (const test::CraftedEntry &entry : test::ArchiveEntries(archive))
        stored.insert(entry.name);
    return stored;
}

TEST_F(Editor, ListMadeWithCreateDirBuildsAnArchiveOfTheWholeTree)
{
    fs::create_directories(fs::path(work) / "sub" / "deep er");
    WriteFile(At("sub/deep er/c d.bin"), "cd");
    WriteFile(At(".hidden"), "h");
    user.ChooseFolder(Q(work));
    Click("tbCreerDir");
    Save(At("list.txt"));

    CreateArchive(At("list.txt"), ArchivePathFor(At("list.txt")), HeaderTexts {});
    EXPECT_EQ(archiveNames(ReadFile(At("list.POD"))),
              (std::multiset<std::string> {"a.txt", ".hidden", "sub\\b.bin", "sub\\deep er\\c d.bin"}));
}

} // namespace
} // namespace morvane
