#include "CaseName.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

using test::PrintTo;

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

#ifdef _WIN32
constexpr const char *kSystemLineEnd = "\r\n";
#else
constexpr const char *kSystemLineEnd = "\n";
#endif

struct EditCase
{
    const char *name;
    std::string before;
    std::string after;
};

class IniEdit : public testing::TestWithParam<EditCase>
{
};

TEST_P(IniEdit, ChangesOnlyTheKeysLine)
{
    EXPECT_EQ(SetIniValue(GetParam().before, "dir", "workdir", "/home/me/data"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IniEdit,
    testing::Values(
        // A new file takes the system's line end.
        EditCase {"NewFile", "", std::string("[dir]") + kSystemLineEnd + "workdir=/home/me/data" + kSystemLineEnd},
        EditCase {"KeyReplacedInPlace", "; mine\r\n[other]\r\na = 1\r\n[dir]\r\nworkdir=/old\r\nlast=x\r\n",
                  "; mine\r\n[other]\r\na = 1\r\n[dir]\r\nworkdir=/home/me/data\r\nlast=x\r\n"},
        EditCase {"NamesMatchWithoutCase", "[DIR]\nWorkDir = /old\n", "[DIR]\nworkdir=/home/me/data\n"},
        EditCase {"KeyAddedAfterSectionsLastEntry", "[dir]\nother=1\n\n[next]\nk=v\n",
                  "[dir]\nother=1\nworkdir=/home/me/data\n\n[next]\nk=v\n"},
        EditCase {"SectionAppendedWithFilesLineEnd", "[other]\r\nk=v", "[other]\r\nk=v\r\n[dir]\r\nworkdir=/home/me/data\r\n"},
        EditCase {"LastLineWithoutEnd", "[dir]\nk=v", "[dir]\nk=v\nworkdir=/home/me/data\n"},
        EditCase {"OnlyFirstMatchingSection", "[dir]\nworkdir=a\n[dir]\nworkdir=b\n",
                  "[dir]\nworkdir=/home/me/data\n[dir]\nworkdir=b\n"},
        EditCase {"KeyOfAnotherSectionUntouched", "[other]\nworkdir=a\n", "[other]\nworkdir=a\n[dir]\nworkdir=/home/me/data\n"},
        EditCase {"CommentedKeyIgnored", "[dir]\n;workdir=a\n", "[dir]\n;workdir=a\nworkdir=/home/me/data\n"}),
    [](const auto &info) { return std::string(info.param.name); });

struct ReadCase
{
    const char *name;
    std::string text;
    std::string expected;
};

class IniRead : public testing::TestWithParam<ReadCase>
{
};

TEST_P(IniRead, FindsTheValueOrTheDefault)
{
    TempDir dir;
    WriteFile(dir / "Morvane.ini", GetParam().text);
    EXPECT_EQ(IniFile(dir / "Morvane.ini").ReadString("dir", "workdir", "default"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IniRead,
    testing::Values(ReadCase {"Plain", "[dir]\nworkdir=/data\n", "/data"},
                    ReadCase {"BlanksAroundTrimmed", "  [ Dir ]  \r\n  WORKDIR \t=  /my data  \r\n", "/my data"},
                    ReadCase {"EqualsInValue", "[dir]\nworkdir=a=b\n", "a=b"},
                    ReadCase {"EmptyValue", "[dir]\nworkdir=\n", ""},
                    ReadCase {"MissingSection", "[other]\nworkdir=/x\n", "default"},
                    ReadCase {"MissingKey", "[dir]\nother=/x\n", "default"},
                    ReadCase {"KeyAfterSectionEnds", "[dir]\n[next]\nworkdir=/x\n", "default"},
                    ReadCase {"LongValueCut", "[dir]\nworkdir=" + std::string(3000, 'a') + "\n", std::string(2047, 'a')}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(IniFile, MissingFileGivesTheDefault)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(file.ReadString("dir", "workdir", "/current"), "/current");
}

TEST(IniFile, FirstWriteCreatesTheFileAndRewritesKeepOtherBytes)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    file.WriteString("dir", "workdir", "/first");
    EXPECT_TRUE(file.Exists());
    EXPECT_EQ(file.ReadString("dir", "workdir", ""), "/first");

    WriteFile(file.Path(), "[ui]\r\ncolour=blue\r\n[dir]\r\nworkdir=/first\r\n; note\r\n");
    file.WriteString("dir", "workdir", "");
    EXPECT_EQ(ReadFile(file.Path()), "[ui]\r\ncolour=blue\r\n[dir]\r\nworkdir=\r\n; note\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1)
        << "nothing but the settings file is left in its folder";
}

TEST(IniFile, UnwritablePlaceFailsNamingTheFile)
{
    TempDir dir;
    WriteFile(dir / "notafolder", "x");
    const IniFile file(dir / "notafolder/Morvane.ini");
    try {
        file.WriteString("dir", "workdir", "/x");
        FAIL() << "no failure";
    } catch (const Error &failure) {
        EXPECT_EQ(std::string(failure.what()), "Unable to write to " + file.Path());
    }
}

struct UnstorableCase
{
    const char *name;
    std::string value;
    std::string reason;
};

class IniUnstorableValue : public testing::TestWithParam<UnstorableCase>
{
};

TEST_P(IniUnstorableValue, IsRefusedWithItsReasonAndTheFileIsUnchanged)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    WriteFile(file.Path(), "[dir]\nworkdir=/old\n");
    try {
        file.WriteString("dir", "workdir", GetParam().value);
        FAIL() << "stored";
    } catch (const Error &failure) {
        EXPECT_EQ(std::string(failure.what()), "Cannot store workdir in " + file.Path() + ": " + GetParam().reason);
    }
    EXPECT_EQ(ReadFile(file.Path()), "[dir]\nworkdir=/old\n");
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniUnstorableValue,
    testing::Values(
        UnstorableCase {"LineFeed", "/data\n[dir]", "it holds a line break, and the settings file keeps each value on one line"},
        UnstorableCase {"CarriageReturn", "/da\rta", "it holds a line break, and the settings file keeps each value on one line"},
        UnstorableCase {"LeadingBlank", " /data", "it starts or ends with a blank, which reading the settings file drops"},
        UnstorableCase {"TrailingTab", "/data\t", "it starts or ends with a blank, which reading the settings file drops"},
        UnstorableCase {"LongerThanReadKeeps", "/" + std::string(2047, 'a'),
                        "it is longer than the 2047 bytes that reading the settings file keeps"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(IniFile, TheLongestValueThatReadsBackIsStored)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    const std::string value = "/" + std::string(2046, 'a');
    file.WriteString("dir", "workdir", value);
    EXPECT_EQ(file.ReadString("dir", "workdir", ""), value);
}

TEST(IniFile, ALinkAtTheNameIsNeitherReadNorWrittenThroughButReplaced)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    WriteFile(dir / "elsewhere", "[dir]\nworkdir=/secret\nother=1\n");
    std::filesystem::create_symlink(dir / "elsewhere", file.Path());
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(file.ReadString("dir", "workdir", "default"), "default");

    file.WriteString("dir", "workdir", "/mine");
    EXPECT_FALSE(std::filesystem::is_symlink(file.Path()));
    EXPECT_EQ(ReadFile(file.Path()), "[dir]\nworkdir=/mine\n");
    EXPECT_EQ(ReadFile(dir / "elsewhere"), "[dir]\nworkdir=/secret\nother=1\n");
}

TEST(IniFile, ALinkPlantedAtAnyTemporaryNameIsNotFollowed)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    WriteFile(dir / "victim", "victim");
    WriteFile(file.Path(), "[dir]\nworkdir=/old\n");
    std::filesystem::create_symlink(dir / "victim", file.Path() + ".tmp");
    file.WriteString("dir", "workdir", "/new");
    EXPECT_EQ(ReadFile(file.Path()), "[dir]\nworkdir=/new\n");
    EXPECT_EQ(ReadFile(dir / "victim"), "victim");
}

TEST(IniFile, SettingsThatAreNotARegularFileAreNotWaitedOn)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    ASSERT_EQ(::mkfifo(file.Path().c_str(), 0600), 0);
    EXPECT_EQ(file.ReadString("dir", "workdir", "default"), "default");
    EXPECT_THROW(file.WriteString("dir", "workdir", "/x"), Error);
}

// Two programs setting keys at once: each change lands, and a reader finds the whole file at
// every moment, never an empty or partial one.
TEST(IniFile, WritersAtOnceLoseNoKeyAndReadersSeeWholeFiles)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    file.WriteString("start", "k", "v");
    constexpr int kKeys = 15;
    std::vector<pid_t> writers;
    for (const char *prefix : {"a", "b"}) {
        const pid_t child = fork();
        if (child == 0) {
            for (int i = 0; i < kKeys; ++i)
                file.WriteString("keys", prefix + std::to_string(i), "value" + std::to_string(i));
            _exit(0);
        }
        writers.push_back(child);
    }
    bool running = true;
    int partial = 0;
    while (running) {
        running = false;
        for (const pid_t writer : writers)
            running |= waitpid(writer, nullptr, WNOHANG) == 0;
        if (file.ReadString("start", "k", "") != "v")
            ++partial;
    }
    EXPECT_EQ(partial, 0);
    for (const char *prefix : {"a", "b"})
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(file.ReadString("keys", prefix + std::to_string(i), "lost"), "value" + std::to_string(i))
                << prefix << i;
}

// Runs check in a child process as an ordinary user, since permissions do not bind the superuser.
// Returns whether check returned true there.
bool AsOrdinaryUser(const std::function<bool()> &check)
{
#ifdef _WIN32
    return check();
#else
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

class ReadOnlyFolder : public testing::Test
{
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "needs POSIX folder permissions and a child process under another user (fork, setuid)";
#endif
    }

    ReadOnlyFolder()
    {
        namespace fs = std::filesystem;
        fs::create_directories(folder);
        fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    }

    ~ReadOnlyFolder() override { std::filesystem::permissions(folder, std::filesystem::perms::owner_all); }

    void MakeReadOnly()
    {
        namespace fs = std::filesystem;
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec);
    }

    TempDir dir;
    const std::filesystem::path folder = dir.path() / "program";
    const std::string path = (folder / "Morvane.ini").string();
};

TEST_F(ReadOnlyFolder, NewSettingsFileCannotBeWritten)
{
    MakeReadOnly();
    EXPECT_TRUE(AsOrdinaryUser([this] {
        try {
            IniFile(path).WriteString("dir", "workdir", "/x");
        } catch (const Error &failure) {
            return std::string(failure.what()) == "Unable to write to " + path;
        }
        return false;
    }));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ReadOnlyFolder, WritableSettingsFileIsStillUpdated)
{
    WriteFile(path, "[ui]\nk=v\n[dir]\nworkdir=/old\n");
#ifndef _WIN32
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    }
#endif
    MakeReadOnly();
    EXPECT_TRUE(AsOrdinaryUser([this] {
        IniFile(path).WriteString("dir", "workdir", "/new");
        return true;
    }));
    EXPECT_EQ(ReadFile(path), "[ui]\nk=v\n[dir]\nworkdir=/new\n");
}

TEST_F(ReadOnlyFolder, ReadOnlySettingsFileIsNotReplaced)
{
    // A folder anybody may write in, where the file could be replaced by renaming over it.
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    WriteFile(path, "[dir]\nworkdir=/old\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
    EXPECT_TRUE(AsOrdinaryUser([this] {
        try {
            IniFile(path).WriteString("dir", "workdir", "/new");
        } catch (const Error &) {
            return true;
        }
        return false;
    }));
    EXPECT_EQ(ReadFile(path), "[dir]\nworkdir=/old\n");
}

} // namespace
} // namespace morvane
