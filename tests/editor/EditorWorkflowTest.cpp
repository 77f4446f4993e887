#include "CraftedArchive.h"
#include "MainWindowDriver.h"
#include "QtText.h"
#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include <QAbstractButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScriptedInteraction;
using test::TempDir;
using test::WriteFile;

using test::Q;

// The names an archive stores.
std::set<std::string> storedNames(const std::string &archive)
{
    std::set<std::string> names;
    for (const test::CraftedEntry &entry : test::ArchiveEntries(archive))
        names.insert(entry.name);
    return names;
}

// A new user's first session: choose the working folder, fill the list with Create Dir, save it,
// close the editor and build the archive from the saved list.
TEST(EditorWorkflow, FirstSessionFromWorkingFolderToArchive)
{
    TempDir dir;
    const std::string work = dir / "Addon";
    fs::create_directories(fs::path(work) / "data" / "textures");
    WriteFile(work + "/readme.txt", "r");
    WriteFile(work + "/data/sound.wav", "s");
    WriteFile(work + "/data/textures/Hull.raw", "h");

    ScriptedInteraction user;
    MorvaneWindows windows;
    windows.Form_main.settingsPath = Q(dir / "Morvane.ini");
    windows.Form_main.show();

    user.ChooseFolder(Q(work));
    user.AnswerDialog([&](QDialog &editor) {
        const auto click = [&](const char *name) { editor.findChild<QAbstractButton *>(name)->click(); };
        user.ChooseFolder(Q(work));
        click("tbCreerDir");
        user.ChooseFiles({Q(work + "/list.txt")});
        click("tbEnregistrer");
        click("btnFermer");
        return editor.result();
    });
    test::Click(windows.Form_main, "CreateResponse");

    user.ChooseFiles({Q(work + "/list.txt")});
    user.CloseDialog(1);
    test::Click(windows.Form_main, "CreatePOD");

    EXPECT_TRUE(user.messages.empty());
    EXPECT_TRUE(user.AllAnswersUsed());
    EXPECT_EQ(storedNames(ReadFile(work + "/list.POD")),
              (std::set<std::string> {"readme.txt", "data\\sound.wav", "data\\textures\\Hull.raw"}));
}

// Each stored name with the bytes stored for it.
std::map<std::string, std::string> storedFiles(const std::string &archive)
{
    std::map<std::string, std::string> files;
    for (const test::CraftedEntry &entry : test::ArchiveEntries(archive))
        files[entry.name] = entry.data;
    return files;
}

// Create File upper-cases the names it adds, as on the archives' own platform, and writes them in
// Windows-1252; the build then finds the files whatever their case, and stores the lines as names.
TEST(EditorWorkflow, CreateFileSaveAndCreatePodOnLowerCaseAndAccentedNames)
{
    TempDir dir;
    const std::string work = dir / "Addon";
    fs::create_directories(fs::path(work) / "Sub");
    WriteFile(work + "/a.txt", "first");
    WriteFile(work + "/Sub/b.Bin", "second");
    WriteFile(work
                  + "/Liste des pi\xc3\xa8"
                    "ces.txt",
              "third");
    WriteFile(dir / "Morvane.ini", "[dir]\r\nworkdir=" + work + "\r\n");

    ScriptedInteraction user;
    MorvaneWindows windows;
    windows.Form_main.settingsPath = Q(dir / "Morvane.ini");
    windows.Form_main.show();

    user.AnswerDialog([&](QDialog &editor) {
        const auto click = [&](const char *name) { editor.findChild<QAbstractButton *>(name)->click(); };
        user.ChooseFiles({Q(work + "/a.txt"), Q(work + "/Sub/b.Bin"),
                          Q(work
                            + "/Liste des pi\xc3\xa8"
                              "ces.txt")});
        click("tbCreer");
        user.ChooseFiles({Q(work + "/list.txt")});
        click("tbEnregistrer");
        click("btnFermer");
        return editor.result();
    });
    test::Click(windows.Form_main, "CreateResponse");
    EXPECT_EQ(ReadFile(work + "/list.txt"),
              "A.TXT\r\nSUB\\B.BIN\r\nLISTE DES PI\xe8"
              "CES.TXT\r\n");

    user.ChooseFiles({Q(work + "/list.txt")});
    user.CloseDialog(1);
    test::Click(windows.Form_main, "CreatePOD");

    ASSERT_TRUE(user.messages.empty())
        << (user.messages.empty() ? "" : user.messages[0].details.toStdString());
    EXPECT_TRUE(user.AllAnswersUsed());
    EXPECT_EQ(storedFiles(ReadFile(work + "/list.POD")),
              (std::map<std::string, std::string> {{"A.TXT", "first"},
                                                   {"SUB\\B.BIN", "second"},
                                                   {"LISTE DES PI\xe8"
                                                    "CES.TXT",
                                                    "third"}}));
}

} // namespace
} // namespace morvane
