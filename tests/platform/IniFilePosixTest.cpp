// The settings file with what only POSIX systems hold: symbolic links and FIFOs at its name,
// writers in separate processes, and folder and file permissions.
#include "platform/Errors.h"
#include "platform/IniFile.h"

#include "ChildProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace {

using test::Child;
using test::ExitedWith;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(IniFilePosix, ALinkAtTheNameIsNeitherReadNorWrittenThroughButReplaced)
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

TEST(IniFilePosix, ALinkPlantedAtAnyTemporaryNameIsNotFollowed)
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

TEST(IniFilePosix, SettingsThatAreNotARegularFileAreNotWaitedOn)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    ASSERT_EQ(::mkfifo(file.Path().c_str(), 0600), 0);
    EXPECT_EQ(file.ReadString("dir", "workdir", "default"), "default");
    EXPECT_THROW(file.WriteString("dir", "workdir", "/x"), Error);
}

// Two programs setting keys at once: each change lands, and a reader finds the whole file at
// every moment, never an empty or partial one.
TEST(IniFilePosix, WritersAtOnceLoseNoKeyAndReadersSeeWholeFiles)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    file.WriteString("start", "k", "v");
    constexpr int kKeys = 15;
    std::vector<std::unique_ptr<Child>> writers;
    for (const char *prefix : {"a", "b"})
        writers.push_back(std::make_unique<Child>([&file, prefix] {
            for (int i = 0; i < kKeys; ++i)
                file.WriteString("keys", prefix + std::to_string(i), "value" + std::to_string(i));
            return 0;
        }));
    bool running = true;
    int partial = 0;
    while (running) {
        running = false;
        for (const std::unique_ptr<Child> &writer : writers)
            running |= writer->Running();
        if (file.ReadString("start", "k", "") != "v")
            ++partial;
    }
    for (const std::unique_ptr<Child> &writer : writers)
        EXPECT_EQ(writer->Wait(), ExitedWith(0)) << "a writer failed";
    EXPECT_EQ(partial, 0);
    for (const char *prefix : {"a", "b"})
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(file.ReadString("keys", prefix + std::to_string(i), "lost"),
                      "value" + std::to_string(i))
                << prefix << i;
}

// Runs check in a child process as an ordinary user, since permissions do not bind the superuser.
// The child exits with 0 when check returned true, 1 when it returned false, 2 when it could not
// become an ordinary user.
test::ChildEnd asOrdinaryUser(const std::function<bool()> &check)
{
    return test::RunInChild([&check] {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            return 2;
        return check() ? 0 : 1;
    });
}

class ReadOnlyFolder : public testing::Test
{
protected:
    ReadOnlyFolder()
    {
        namespace fs = std::filesystem;
        fs::create_directories(folder);
        fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    }

    ~ReadOnlyFolder() override { std::filesystem::permissions(folder, std::filesystem::perms::owner_all); }

    void MakeReadOnly()
    {
        namespace fs = std::filesystem;
        fs::permissions(folder,
                        fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read
                            | fs::perms::others_exec);
    }

    TempDir dir;
    const std::filesystem::path folder = dir.Path() / "program";
    const std::string path = (folder / "Morvane.ini").string();
};

TEST_F(ReadOnlyFolder, NewSettingsFileCannotBeWritten)
{
    MakeReadOnly();
    const auto check = [this] {
        try {
            IniFile(path).WriteString("dir", "workdir", "/x");
        } catch (const Error &failure) {
            return std::string(failure.what()) == "Unable to write to " + path;
        }
        return false;
    };
    EXPECT_EQ(asOrdinaryUser(check), ExitedWith(0));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ReadOnlyFolder, WritableSettingsFileIsStillUpdated)
{
    WriteFile(path, "[ui]\nk=v\n[dir]\nworkdir=/old\n");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    }
    MakeReadOnly();
    const auto check = [this] {
        IniFile(path).WriteString("dir", "workdir", "/new");
        return true;
    };
    EXPECT_EQ(asOrdinaryUser(check), ExitedWith(0));
    EXPECT_EQ(ReadFile(path), "[ui]\nk=v\n[dir]\nworkdir=/new\n");
}

TEST_F(ReadOnlyFolder, ReadOnlySettingsFileIsNotReplaced)
{
    // A folder anybody may write in, where the file could be replaced by renaming over it.
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    WriteFile(path, "[dir]\nworkdir=/old\n");
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
    const auto check = [this] {
        try {
            IniFile(path).WriteString("dir", "workdir", "/new");
        } catch (const Error &) {
            return true;
        }
        return false;
    };
    EXPECT_EQ(asOrdinaryUser(check), ExitedWith(0));
    EXPECT_EQ(ReadFile(path), "[dir]\nworkdir=/old\n");
}

} // namespace
} // namespace morvane
