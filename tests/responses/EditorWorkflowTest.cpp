#include "../app/MainWindowDriver.h"
#include "QtText.h"
#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include <QAbstractButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScriptedInteraction;
using test::TempDir;
using test::WriteFile;

using test::Q;

std::set<std::string> StoredNames(const std::string &archive)
{
    const std::uint32_t count = test::LE32At(archive, 88);
    std::set<std::string> names;
    for (std::size_t at = test::LE32At(archive, 264) + 20 * count; at < archive.size();) {
        const std::size_t end = archive.find('\0', at);
        names.insert(archive.substr(at, end - at));
        at = end + 1;
    }
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
    windows.Form_main.SettingsPath = Q(dir / "Morvane.ini");
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
    EXPECT_EQ(StoredNames(ReadFile(work + "/list.POD")),
              (std::set<std::string>{"readme.txt", "data\\sound.wav", "data\\textures\\Hull.raw"}));
}

} // namespace
} // namespace morvane
