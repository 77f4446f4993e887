// The settings file as it behaves on every system: the edit rule, reading, writing and refusals.
#include "platform/IniFile.h"
#include "CaseName.h"
#include "platform/Errors.h"
#include "platform/SettingsFileAccess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

#ifdef _WIN32
#include "WideText_win32.h"

#include <windows.h>
#else
#include <sys/stat.h>
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

// Which file is at path: a replace puts a new file there, a rewrite in place keeps the old one.
std::tuple<unsigned long long, unsigned long long> fileIdentity(const std::string &path)
{
#ifdef _WIN32
    const HANDLE file
        = ::CreateFileW(WideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info {};
    const bool known = file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    EXPECT_TRUE(known) << path;
    return {info.dwVolumeSerialNumber,
            (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
    struct stat status
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return {status.st_dev, status.st_ino};
#endif
}

std::ptrdiff_t filesIn(const std::filesystem::path &folder)
{
    return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
}

// Something that keeps a write from going ahead for now, as another program would, until
// Release.
class Hold
{
public:
    virtual ~Hold() = default;
    virtual bool Held() const = 0;
    virtual void Release() = 0;
};

// Holds a writer's turn at the settings file on a thread of its own, as another program writing
// it would.
class OtherWritersTurn : public Hold
{
public:
    explicit OtherWritersTurn(const std::string &path)
    {
        std::future<bool> tookIt = tookTurn_.get_future();
        holder_ = std::thread([this, path] {
            SettingsFileAccess access(path, true);
            tookTurn_.set_value(access.State() == SettingsFileAccess::Opened::File
                                && access.TryLockExclusive() == SettingsFileAccess::Lock::Taken);
            release_.get_future().wait();
        });
        taken_ = tookIt.get();
    }
    ~OtherWritersTurn() override { Release(); }

    bool Held() const override { return taken_; }
    void Release() override
    {
        if (!holder_.joinable())
            return;
        release_.set_value();
        holder_.join();
    }

private:
    std::promise<bool> tookTurn_;
    std::promise<void> release_;
    std::thread holder_;
    bool taken_ = false;
};

#ifdef _WIN32
// A program that opened the settings file letting others only read it, as many Windows programs
// do: it shuts out every writer while it has the file open.
class ReadOnlySharer : public Hold
{
public:
    explicit ReadOnlySharer(const std::string &path)
        : handle_(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~ReadOnlySharer() override { Release(); }

    bool Held() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() override
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};
#endif

// A wait that never sleeps: the test runs its own steps in the pauses, in a known order.
IniWriteWait waitOf(int attempts, std::function<void()> pause)
{
    return IniWriteWait {attempts, std::move(pause)};
}

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
        EditCase {"NewFile", "",
                  std::string("[dir]") + kSystemLineEnd + "workdir=/home/me/data" + kSystemLineEnd},
        EditCase {"KeyReplacedInPlace", "; mine\r\n[other]\r\na = 1\r\n[dir]\r\nworkdir=/old\r\nlast=x\r\n",
                  "; mine\r\n[other]\r\na = 1\r\n[dir]\r\nworkdir=/home/me/data\r\nlast=x\r\n"},
        EditCase {"NamesMatchWithoutCase", "[DIR]\nWorkDir = /old\n", "[DIR]\nworkdir=/home/me/data\n"},
        EditCase {"KeyAddedAfterSectionsLastEntry", "[dir]\nother=1\n\n[next]\nk=v\n",
                  "[dir]\nother=1\nworkdir=/home/me/data\n\n[next]\nk=v\n"},
        EditCase {"SectionAppendedWithFilesLineEnd", "[other]\r\nk=v",
                  "[other]\r\nk=v\r\n[dir]\r\nworkdir=/home/me/data\r\n"},
        EditCase {"LastLineWithoutEnd", "[dir]\nk=v", "[dir]\nk=v\nworkdir=/home/me/data\n"},
        EditCase {"OnlyFirstMatchingSection", "[dir]\nworkdir=a\n[dir]\nworkdir=b\n",
                  "[dir]\nworkdir=/home/me/data\n[dir]\nworkdir=b\n"},
        EditCase {"KeyOfAnotherSectionUntouched", "[other]\nworkdir=a\n",
                  "[other]\nworkdir=a\n[dir]\nworkdir=/home/me/data\n"},
        EditCase {"CommentedKeyIgnored", "[dir]\n;workdir=a\n",
                  "[dir]\n;workdir=a\nworkdir=/home/me/data\n"}),
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
    testing::Values(
        ReadCase {"Plain", "[dir]\nworkdir=/data\n", "/data"},
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
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
        1)
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
        EXPECT_EQ(std::string(failure.what()),
                  "Cannot store workdir in " + file.Path() + ": " + GetParam().reason);
    }
    EXPECT_EQ(ReadFile(file.Path()), "[dir]\nworkdir=/old\n");
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniUnstorableValue,
    testing::Values(
        UnstorableCase {"LineFeed", "/data\n[dir]",
                        "it holds a line break, and the settings file keeps each value on one line"},
        UnstorableCase {"CarriageReturn", "/da\rta",
                        "it holds a line break, and the settings file keeps each value on one line"},
        UnstorableCase {"LeadingBlank", " /data",
                        "it starts or ends with a blank, which reading the settings file drops"},
        UnstorableCase {"TrailingTab", "/data\t",
                        "it starts or ends with a blank, which reading the settings file drops"},
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

TEST(IniFile, AFolderAtTheNameIsNeitherReadNorReplaced)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    std::filesystem::create_directory(test::PathOf(file.Path()));
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(file.ReadString("dir", "workdir", "default"), "default");
    try {
        file.WriteString("dir", "workdir", "/x");
        FAIL() << "no failure";
    } catch (const Error &failure) {
        EXPECT_EQ(std::string(failure.what()), "Unable to write to " + file.Path());
    }
    EXPECT_TRUE(std::filesystem::is_directory(test::PathOf(file.Path())));
}

TEST(IniFile, APathOutsideTheAnsiCodePageIsReadAndWritten)
{
    TempDir dir;
    std::filesystem::create_directory(test::PathOf(dir / "\xE4\xB8\xAD\xE6\x96\x87"));
    const IniFile file(test::Utf8Of(dir.Path() / test::PathOf("\xE4\xB8\xAD\xE6\x96\x87") / "Morvane.ini"));
    file.WriteString("dir", "workdir", "C:\\\xE4\xB8\xAD");
    file.WriteString("ui", "colour", "blue");
    EXPECT_TRUE(file.Exists());
    EXPECT_EQ(file.ReadString("dir", "workdir", ""), "C:\\\xE4\xB8\xAD");
    EXPECT_EQ(ReadFile(file.Path()),
              std::string("[dir]") + kSystemLineEnd + "workdir=C:\\\xE4\xB8\xAD" + kSystemLineEnd + "[ui]"
                  + kSystemLineEnd + "colour=blue" + kSystemLineEnd);
}

// The new text goes to a new file that takes the settings file's name: the file is never
// rewritten where it stands (where a crash could leave it cut short), and nothing else is left.
TEST(IniFile, AWriteReplacesTheFileWithANewOne)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    WriteFile(file.Path(), "[ui]\r\nk=v\r\n[dir]\r\nworkdir=/old\r\n");
    const auto before = fileIdentity(file.Path());
    file.WriteString("dir", "workdir", "/new");
    EXPECT_EQ(ReadFile(file.Path()), "[ui]\r\nk=v\r\n[dir]\r\nworkdir=/new\r\n");
    EXPECT_NE(fileIdentity(file.Path()), before) << "the file was rewritten in place";
    EXPECT_EQ(filesIn(dir.Path()), 1) << "nothing but the settings file is left in its folder";
}

// Another program reading the settings file while it is written holds the write up at most for
// as long as it keeps the file open, and reads the old text whole meanwhile.
TEST(IniFile, AWriteSucceedsWhileAnotherProgramHasTheFileOpen)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    const std::string before = "[ui]\nk=v\n[dir]\nworkdir=/old\n";
    const std::string after = "[ui]\nk=v\n[dir]\nworkdir=/a/longer/new/value\n";
    WriteFile(file.Path(), before);
    const auto identity = fileIdentity(file.Path());
    std::optional<SettingsFileAccess> reader;
    reader.emplace(file.Path(), false);
    ASSERT_EQ(reader->State(), SettingsFileAccess::Opened::File);
    std::string failure;
    std::thread writer([&] {
        try {
            file.WriteString("dir", "workdir", "/a/longer/new/value");
        } catch (const std::exception &error) {
            failure = error.what();
        }
    });
    EXPECT_EQ(reader->ReadAll(), std::optional<std::string>(before));
    reader.reset();
    writer.join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(ReadFile(file.Path()), after);
    EXPECT_NE(fileIdentity(file.Path()), identity) << "the file was rewritten in place";
    EXPECT_EQ(filesIn(dir.Path()), 1) << "nothing but the settings file is left in its folder";
}

struct HeldWriteCase
{
    const char *name;
    std::function<std::unique_ptr<Hold>(const std::string &path)> take;
    bool endsDuringTheWait;
};

class IniHeldWrite : public testing::TestWithParam<HeldWriteCase>
{
};

// A write that something holds up waits within its bound, trying again after each pause: it
// lands once the hold ends, and otherwise gives up after its last attempt, leaving the file as it
// was. Readers are not held up meanwhile.
TEST_P(IniHeldWrite, WaitsWithinItsBound)
{
    const HeldWriteCase &held = GetParam();
    TempDir dir;
    const std::string path = dir / "Morvane.ini";
    const std::string before = std::string("[dir]") + kSystemLineEnd + "workdir=/old" + kSystemLineEnd;
    const std::string after = std::string("[dir]") + kSystemLineEnd + "workdir=/new" + kSystemLineEnd;
    WriteFile(path, before);
    const std::unique_ptr<Hold> hold = held.take(path);
    ASSERT_TRUE(hold->Held());

    constexpr int kAttempts = 4;
    int pauses = 0;
    std::string readMeanwhile;
    const IniFile file(path, waitOf(kAttempts, [&] {
                           if (++pauses == 1)
                               readMeanwhile = IniFile(path).ReadString("dir", "workdir", "unreadable");
                           if (held.endsDuringTheWait)
                               hold->Release();
                       }));
    std::string failure;
    try {
        file.WriteString("dir", "workdir", "/new");
    } catch (const Error &error) {
        failure = error.what();
    }
    hold->Release();

    EXPECT_EQ(readMeanwhile, "/old");
    if (held.endsDuringTheWait) {
        EXPECT_EQ(failure, "");
        EXPECT_EQ(pauses, 1) << "the write goes ahead at the first attempt after the hold ends";
        EXPECT_EQ(ReadFile(path), after);
    } else {
        EXPECT_EQ(failure, "Unable to write to " + path);
        EXPECT_EQ(pauses, kAttempts - 1) << "one pause between two attempts, and no attempt beyond the bound";
        EXPECT_EQ(ReadFile(path), before);
    }
    EXPECT_EQ(filesIn(dir.Path()), 1) << "nothing but the settings file is left in its folder";
}

std::unique_ptr<Hold> takeOtherWritersTurn(const std::string &path)
{
    return std::make_unique<OtherWritersTurn>(path);
}

#ifdef _WIN32
std::unique_ptr<Hold> OpenSharingOnlyForReading(const std::string &path)
{
    return std::make_unique<ReadOnlySharer>(path);
}
#endif

std::vector<HeldWriteCase> heldWriteCases()
{
    std::vector<HeldWriteCase> cases {
        {"OtherWritersTurnEnds", takeOtherWritersTurn, true},
        {"OtherWritersTurnLasts", takeOtherWritersTurn, false},
    };
#ifdef _WIN32
    cases.push_back({"ReadOnlySharerClosesTheFile", OpenSharingOnlyForReading, true});
    cases.push_back({"ReadOnlySharerKeepsTheFileOpen", OpenSharingOnlyForReading, false});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(
    Holds, IniHeldWrite, testing::ValuesIn(heldWriteCases()),
    [](const testing::TestParamInfo<HeldWriteCase> &info) { return std::string(info.param.name); });

// Two writers setting keys at once, each with its own handle on the file as two programs would
// have: each change lands, and a reader finds the whole file at every moment, never an empty or
// partial one, and is never refused. The reader reads again and again with a short pause
// between reads, as a program would; one that kept the file open all the time would keep it
// from being replaced on Windows, where a file held open cannot be renamed over.
TEST(IniFile, WritersTakingTurnsLoseNoKeyAndReadersSeeWholeFiles)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    file.WriteString("start", "k", "v");
    constexpr int kKeys = 15;
    std::atomic<int> running {2};
    std::vector<std::string> failures(2);
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 2; ++writer)
        writers.emplace_back([&, writer] {
            const std::string prefix = writer == 0 ? "a" : "b";
            try {
                for (int i = 0; i < kKeys; ++i)
                    file.WriteString("keys", prefix + std::to_string(i), "value" + std::to_string(i));
            } catch (const std::exception &failure) {
                failures[writer] = failure.what();
            }
            --running;
        });
    int partial = 0;
    while (running > 0) {
        if (file.ReadString("start", "k", "") != "v")
            ++partial;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (std::thread &writer : writers)
        writer.join();
    EXPECT_EQ(failures, (std::vector<std::string> {"", ""}));
    EXPECT_EQ(partial, 0);
    for (const char *prefix : {"a", "b"})
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(file.ReadString("keys", prefix + std::to_string(i), "lost"),
                      "value" + std::to_string(i))
                << prefix << i;
    EXPECT_EQ(filesIn(dir.Path()), 1) << "nothing but the settings file is left in its folder";
}

#ifdef _WIN32
// Writers of one file take turns whatever the case its name is spelled in, since it is one file.
TEST(IniFileWindows, WritersTakeTurnsWhateverTheCaseOfTheName)
{
    TempDir dir;
    WriteFile(dir / "Morvane.ini", "[dir]\r\nworkdir=/old\r\n");
    OtherWritersTurn other(dir / "MORVANE.INI");
    ASSERT_TRUE(other.Held());
    EXPECT_THROW(IniFile(dir / "morvane.ini", waitOf(2, [] {})).WriteString("dir", "workdir", "/new"), Error);
    other.Release();
    EXPECT_EQ(ReadFile(dir / "Morvane.ini"), "[dir]\r\nworkdir=/old\r\n");
}
#endif

} // namespace
} // namespace morvane
