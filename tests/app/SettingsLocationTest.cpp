#include "CaseName.h"
#include "MainWindowDriver.h"
#include "QtText.h"
#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include "app/InstallFolder.h"
#include "app/SettingsLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace morvane {
namespace {

using test::PrintTo;

using test::Click;
using test::Q;
using test::ReadFile;
using test::ScriptedInteraction;
using test::TempDir;
using test::WriteFile;

namespace fs = std::filesystem;

// Sets an environment variable, or removes it for nullopt, restoring it afterwards.
class ScopedVariable
{
public:
    ScopedVariable(const char *name, std::optional<std::string> value)
        : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = old;
        if (value)
            qputenv(name, QByteArray::fromStdString(*value));
        else
            qunsetenv(name);
    }
    ~ScopedVariable()
    {
        if (old_)
            qputenv(name_, QByteArray::fromStdString(*old_));
        else
            qunsetenv(name_);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const char *name_;
    std::optional<std::string> old_;
};

struct ChoiceCase
{
    const char *name;
    bool fileBesideProgram;
    bool programFolderWritable;
    const char *userConfigFolder;
    const char *expected;
    bool installed = false;
};

class SettingsChoice : public testing::TestWithParam<ChoiceCase>
{
};

TEST_P(SettingsChoice, PicksTheProgramFolderOnlyWhenItCanHoldTheFile)
{
    const ChoiceCase &row = GetParam();
    const SettingsPlaces places {QStringLiteral("/opt/morvane/bin"), row.fileBesideProgram,
                                 row.programFolderWritable, QString::fromUtf8(row.userConfigFolder), row.installed};
    EXPECT_EQ(ChooseSettingsPath(places), QString::fromUtf8(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Places, SettingsChoice,
    testing::Values(
        ChoiceCase {"WritableProgramFolder", false, true, "/home/u/.config", "/opt/morvane/bin/Morvane.ini"},
        ChoiceCase {"FileBesideReadOnlyProgram", true, false, "/home/u/.config",
                    "/opt/morvane/bin/Morvane.ini"},
        ChoiceCase {"FileBesideWritableProgram", true, true, "/home/u/.config",
                    "/opt/morvane/bin/Morvane.ini"},
        ChoiceCase {"InstalledReadOnly", false, false, "/home/u/.config",
                    "/home/u/.config/Morvane/Morvane.ini"},
        ChoiceCase {"InstalledWithOtherConfigHome", false, false, "/srv/cfg", "/srv/cfg/Morvane/Morvane.ini"},
        // Without any configuration folder the program's folder stays, and its write reports why.
        ChoiceCase {"NoUserConfigFolder", false, false, "", "/opt/morvane/bin/Morvane.ini"},
        // Installed: root may write beside the program, and a file left there by an earlier run
        // as root is not shared with every later user.
        ChoiceCase {"InstalledRunByRoot", false, true, "/root/.config", "/root/.config/Morvane/Morvane.ini", true},
        ChoiceCase {"InstalledWithAFileLeftBeside", true, true, "/home/u/.config",
                    "/home/u/.config/Morvane/Morvane.ini", true}),
    [](const auto &info) { return std::string(info.param.name); });

// The same decision with Windows' places, the program's folder as the probe found it: the
// portable copy in a writable folder keeps its file beside it, an installed program sends it to
// the roaming application data.
class WindowsSettingsChoice : public testing::TestWithParam<ChoiceCase>
{
};

TEST_P(WindowsSettingsChoice, PicksTheProgramFolderOnlyWhenItTookAFile)
{
    const ChoiceCase &row = GetParam();
    const SettingsPlaces places {QStringLiteral("C:/Program Files/Morvane"), row.fileBesideProgram,
                                 row.programFolderWritable, QString::fromUtf8(row.userConfigFolder), row.installed};
    EXPECT_EQ(ChooseSettingsPath(places), QString::fromUtf8(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Places, WindowsSettingsChoice,
    testing::Values(ChoiceCase {"PortableInAWritableFolder", false, true, "C:/Users/u/AppData/Roaming",
                                "C:/Program Files/Morvane/Morvane.ini"},
                    ChoiceCase {"InstalledFolderRefusedTheProbe", false, false, "C:/Users/u/AppData/Roaming",
                                "C:/Users/u/AppData/Roaming/Morvane/Morvane.ini"},
                    ChoiceCase {"FileBesideAnInstalledProgram", true, false, "C:/Users/u/AppData/Roaming",
                                "C:/Program Files/Morvane/Morvane.ini"},
                    ChoiceCase {"InstalledRunAsAdministrator", false, true, "C:/Users/u/AppData/Roaming",
                                "C:/Users/u/AppData/Roaming/Morvane/Morvane.ini", true}),
    [](const auto &info) { return std::string(info.param.name); });

class SettingsPlacesOnDisk : public testing::Test
{
protected:
    SettingsPlacesOnDisk() { fs::create_directories(program); }

    TempDir dir;
    const fs::path program = dir.Path() / "bin";
    const ScopedVariable home {"HOME", dir / "home"};
};

TEST_F(SettingsPlacesOnDisk, SeesTheFileAndTheFolderAsTheyAre)
{
    SettingsPlaces places = FindSettingsPlaces(Q(program.string()));
    EXPECT_FALSE(places.fileBesideProgram);
    EXPECT_TRUE(places.programFolderWritable);

    WriteFile((program / "Morvane.ini").string(), "[dir]\n");
    places = FindSettingsPlaces(Q(program.string()));
    EXPECT_TRUE(places.fileBesideProgram);
    EXPECT_EQ(SettingsFilePath(Q(program.string())), test::QtForm(Q((program / "Morvane.ini").string())));
}

TEST_F(SettingsPlacesOnDisk, ReadOnlyProgramFolderSendsTheFileToTheUsersConfiguration)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs POSIX folder permissions; Windows folders have ACLs, which Wine does not apply";
#else
    const ScopedVariable configHome("XDG_CONFIG_HOME", dir / "config");
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
    const bool stillWritable = access(program.c_str(), W_OK) == 0;
    if (!stillWritable) {
        EXPECT_EQ(SettingsFilePath(Q(program.string())), Q(dir / "config/Morvane/Morvane.ini"));
        // A file already beside the program keeps its place.
        fs::permissions(program, fs::perms::owner_all);
        WriteFile((program / "Morvane.ini").string(), "");
        fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(SettingsFilePath(Q(program.string())), test::QtForm(Q((program / "Morvane.ini").string())));
    }
    fs::permissions(program, fs::perms::owner_all);
    if (stillWritable)
        GTEST_SKIP() << "this user can write to a read-only folder";
#endif
}

TEST_F(SettingsPlacesOnDisk, ABuildOrAnUnpackedCopyIsNotInstalled)
{
    EXPECT_FALSE(FindSettingsPlaces(Q(program.string())).installed);
    EXPECT_FALSE(IsInstalledProgramFolder(Q(dir.Path().string())));
}

TEST_F(SettingsPlacesOnDisk, TheInstallFolderIsKnownHoweverItIsWritten)
{
#ifdef _WIN32
    fs::create_directories(dir.Path() / "Program Files" / "Morvane");
    fs::create_directories(dir.Path() / "Program Files Extra");
    const ScopedVariable programFiles("ProgramFiles", (dir.Path() / "Program Files").string());
    EXPECT_TRUE(IsInstalledProgramFolder(Q((dir.Path() / "Program Files" / "Morvane").string())));
    EXPECT_TRUE(IsInstalledProgramFolder(Q((dir.Path() / "PROGRAM FILES" / "Morvane").string())));
    EXPECT_FALSE(IsInstalledProgramFolder(Q((dir.Path() / "Program Files Extra").string())));
#else
    // The Debian package installs to /usr/bin whatever this build was configured with.
    EXPECT_TRUE(IsInstalledProgramFolder(QStringLiteral("/usr/bin")));
    EXPECT_TRUE(IsInstalledProgramFolder(QStringLiteral("/usr/lib/../bin/")));
    EXPECT_FALSE(IsInstalledProgramFolder(QStringLiteral("/usr/lib")));
#endif
}

TEST_F(SettingsPlacesOnDisk, OnWindowsTheUsersFolderIsTheRoamingApplicationData)
{
#ifdef _WIN32
    const QString appData = qEnvironmentVariable("APPDATA");
    ASSERT_FALSE(appData.isEmpty()) << "Windows names the roaming application data in APPDATA";
    EXPECT_EQ(FindSettingsPlaces(Q(program.string())).userConfigFolder, test::QtForm(appData));
#else
    GTEST_SKIP() << "the roaming application data folder is Windows'";
#endif
}

struct ConfigHomeCase
{
    const char *name;
    std::optional<std::string> xdgConfigHome; // relative to the test folder when it starts with '@'
    std::string expected; // relative to the test folder
};

class UserConfigFolder : public SettingsPlacesOnDisk, public testing::WithParamInterface<ConfigHomeCase>
{
};

TEST_P(UserConfigFolder, FollowsTheXdgRules)
{
#ifdef _WIN32
    GTEST_SKIP() << "the XDG configuration folder is a POSIX convention";
#else
    std::optional<std::string> value = GetParam().xdgConfigHome;
    if (value && value->starts_with('@'))
        value = dir / value->substr(1);
    const ScopedVariable configHome("XDG_CONFIG_HOME", value);
    EXPECT_EQ(FindSettingsPlaces(Q(program.string())).userConfigFolder, Q(dir / GetParam().expected));
#endif
}

INSTANTIATE_TEST_SUITE_P(Variables, UserConfigFolder,
                         testing::Values(ConfigHomeCase {"Unset", std::nullopt, "home/.config"},
                                         ConfigHomeCase {"Empty", "", "home/.config"},
                                         ConfigHomeCase {"Absolute", "@xdg", "xdg"},
                                         // A relative value is invalid and ignored.
                                         ConfigHomeCase {"Relative", "xdg", "home/.config"}),
                         [](const auto &info) { return std::string(info.param.name); });

class SettingsFolder : public testing::Test
{
protected:
    TempDir dir;
};

TEST_F(SettingsFolder, MissingFoldersAreCreatedForTheUserAlone)
{
#ifdef _WIN32
    GTEST_SKIP() << "checks POSIX permission bits, which Windows folders have not";
#else
    CreateSettingsFolder(Q(dir / "config/Morvane/Morvane.ini"));
    for (const char *folder : {"config", "config/Morvane"}) {
        ASSERT_TRUE(fs::is_directory(dir.Path() / folder)) << folder;
        EXPECT_EQ(fs::status(dir.Path() / folder).permissions(), fs::perms::owner_all) << folder;
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "config/Morvane/Morvane.ini"));
#endif
}

TEST_F(SettingsFolder, AnExistingFolderIsLeftAsItIs)
{
#ifdef _WIN32
    GTEST_SKIP() << "checks POSIX permission bits, which Windows folders have not";
#else
    fs::create_directory(dir.Path() / "config");
    fs::permissions(dir.Path() / "config",
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    CreateSettingsFolder(Q(dir / "config/Morvane.ini"));
    EXPECT_EQ(fs::status(dir.Path() / "config").permissions(),
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
#endif
}

class InstalledSettings : public testing::Test
{
protected:
    InstalledSettings() { windows.Form_main.show(); }

    TempDir dir;
    ScriptedInteraction user;
    MorvaneWindows windows;
};

TEST_F(InstalledSettings, InitialisationCreatesTheConfigurationFolderAndStoresTheWorkingFolder)
{
    fs::create_directories(dir.Path() / "work");
    windows.Form_main.settingsPath = Q(dir / "home/.config/Morvane/Morvane.ini");
    user.ChooseFolder(Q(dir / "work"));
    Click(windows.Form_main, "btnInit");

    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(ReadFile(dir / "home/.config/Morvane/Morvane.ini"),
              test::NewFileLines("[dir]\nworkdir=" + (dir / "work") + "\n"));
    EXPECT_EQ(windows.Form_main.workDir, Q(dir / "work"));
}

TEST_F(InstalledSettings, AFolderThatCannotBeMadeEndsInTheWriteFailure)
{
    WriteFile(dir / "home", "a file where the home folder should be");
    const QString settings = Q(dir / "home/.config/Morvane/Morvane.ini");
    windows.Form_main.settingsPath = settings;
    user.ChooseFolder(Q(dir.Path().string()));
    Click(windows.Form_main, "btnInit");

    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, "Morvane");
    EXPECT_TRUE(user.messages[0].text.contains("Unable to write to " + test::Shown(settings)))
        << user.messages[0].text.toStdString();
    EXPECT_EQ(windows.Form_main.workDir, "");
    EXPECT_EQ(ReadFile(dir / "home"), "a file where the home folder should be");
}

} // namespace
} // namespace morvane
