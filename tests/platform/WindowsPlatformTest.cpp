// Behaviour only Windows has: share modes, attribute words set by the user, drive paths, and the
// zone rules applied to file times.
#include "CaseName.h"
#include "DosTime_win32.h"
#include "WideText_win32.h"
#include "platform/DirectoryListing.h"
#include "platform/DosTime.h"
#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "platform/PathQueries.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>

namespace morvane {
namespace {

using test::PrintTo;
using test::TempDir;
using test::WriteFile;

bool opens(const std::string &path, OpenMode mode)
{
    try {
        FileStream stream(path, mode);
        return true;
    } catch (const Error &) {
        return false;
    }
}

struct ShareCase
{
    const char *name;
    OpenMode held;
    OpenMode second;
    bool admitted;
};

class ShareModes : public testing::TestWithParam<ShareCase>
{
};

// The open modes' sharing: the archive being built admits nobody, a header edit admits readers
// and writers that admit it back, a reader admits readers, a source nobody.
TEST_P(ShareModes, DecideWhoElseMayOpenTheFile)
{
    TempDir dir;
    const std::string path = dir / "file.POD";
    WriteFile(path, "contents");
    FileStream held(path, GetParam().held);
    EXPECT_EQ(opens(path, GetParam().second), GetParam().admitted);
    EXPECT_EQ(held.Size(), GetParam().held == OpenMode::CreateExclusive ? 0 : 8)
        << "a refused opener changed the file";
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ShareModes,
    testing::Values(
        ShareCase {"create_then_read", OpenMode::CreateExclusive, OpenMode::ReadShared, false},
        ShareCase {"create_then_update", OpenMode::CreateExclusive, OpenMode::UpdateShared, false},
        ShareCase {"create_then_create", OpenMode::CreateExclusive, OpenMode::CreateExclusive, false},
        ShareCase {"update_then_update", OpenMode::UpdateShared, OpenMode::UpdateShared, true},
        ShareCase {"update_then_create", OpenMode::UpdateShared, OpenMode::CreateExclusive, false},
        ShareCase {"update_then_source", OpenMode::UpdateShared, OpenMode::ReadExclusive, false},
        // A reader admits only readers, and the edit writes.
        ShareCase {"update_then_reader", OpenMode::UpdateShared, OpenMode::ReadShared, false},
        ShareCase {"reader_then_reader", OpenMode::ReadShared, OpenMode::ReadShared, true},
        ShareCase {"reader_then_update", OpenMode::ReadShared, OpenMode::UpdateShared, false},
        ShareCase {"reader_then_create", OpenMode::ReadShared, OpenMode::CreateExclusive, false},
        ShareCase {"reader_then_source", OpenMode::ReadShared, OpenMode::ReadExclusive, false},
        ShareCase {"source_then_reader", OpenMode::ReadExclusive, OpenMode::ReadShared, false},
        // An archive's reader admits the header edit, and the edit admits it back.
        ShareCase {"archive_reader_then_update", OpenMode::ReadBesideEdits, OpenMode::UpdateShared, true},
        ShareCase {"update_then_archive_reader", OpenMode::UpdateShared, OpenMode::ReadBesideEdits, true},
        ShareCase {"archive_reader_then_hold", OpenMode::ReadBesideEdits, OpenMode::HoldExclusive, false},
        ShareCase {"hold_then_archive_reader", OpenMode::HoldExclusive, OpenMode::ReadBesideEdits, false},
        ShareCase {"archive_reader_then_create", OpenMode::ReadBesideEdits, OpenMode::CreateExclusive, false},
        ShareCase {"source_then_source", OpenMode::ReadExclusive, OpenMode::ReadExclusive, false},
        ShareCase {"source_then_create", OpenMode::ReadExclusive, OpenMode::CreateExclusive, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WindowsFileStream, DevicesAreRefused)
{
    for (const char *device : {"NUL", "CON", "\\\\.\\NUL"})
        EXPECT_FALSE(opens(device, OpenMode::ReadShared)) << device;
}

void setAttributes(const std::string &path, DWORD attributes)
{
    ASSERT_TRUE(::SetFileAttributesW(WideFromUtf8(path).c_str(), attributes)) << path;
}

std::map<std::string, std::uint32_t> listed(const std::string &folder, std::uint32_t attributeValue)
{
    std::map<std::string, std::uint32_t> entries;
    DirectoryListing listing(folder, "*.*", attributeValue);
    while (auto entry = listing.Next())
        if (entry->name != "." && entry->name != "..")
            entries[entry->name] = entry->attributes;
    return entries;
}

class WindowsAttributes : public testing::Test
{
protected:
    void SetUp() override
    {
        // One flag a call: each is set on its own file.
        WriteFile(dir / "plain.txt", "p");
        WriteFile(dir / "hidden.txt", "h");
        setAttributes(dir / "hidden.txt", FILE_ATTRIBUTE_HIDDEN);
        WriteFile(dir / "system.txt", "s");
        setAttributes(dir / "system.txt", FILE_ATTRIBUTE_SYSTEM);
        WriteFile(dir / "readonly.txt", "r");
        setAttributes(dir / "readonly.txt", FILE_ATTRIBUTE_READONLY);
        std::filesystem::create_directory(dir.Path() / "folder");
    }

    void TearDown() override { setAttributes(dir / "readonly.txt", FILE_ATTRIBUTE_NORMAL); }

    TempDir dir;
};

TEST_F(WindowsAttributes, AreTheWordsTheSystemKeeps)
{
    constexpr std::uint32_t kTold = kFaReadOnly | kFaHidden | kFaSysFile | kFaDirectory;
    auto entries = listed(dir.Path().string(), kFaExcludable);
    for (auto &[name, attributes] : entries)
        attributes &= kTold;
    EXPECT_EQ(entries,
              (std::map<std::string, std::uint32_t> {{"plain.txt", 0},
                                                     {"hidden.txt", kFaHidden},
                                                     {"system.txt", kFaSysFile},
                                                     {"readonly.txt", kFaReadOnly},
                                                     {"folder", kFaDirectory}}));
}

TEST_F(WindowsAttributes, KeepHiddenSystemAndFoldersOutUnlessAsked)
{
    auto entries = listed(dir.Path().string(), 0);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count("plain.txt"), 1u);
    EXPECT_EQ(entries.count("readonly.txt"), 1u);
    entries = listed(dir.Path().string(), kFaHidden);
    EXPECT_EQ(entries.count("hidden.txt"), 1u);
    EXPECT_EQ(entries.count("system.txt"), 0u);
}

TEST(WindowsPaths, DrivePathsWorkWithEitherSeparator)
{
    TempDir dir;
    WriteFile(dir / "data.bin", "0123");
    std::string forward = dir / "data.bin";
    ASSERT_EQ(forward[1], ':') << "the temporary folder lies on a drive";
    std::replace(forward.begin(), forward.end(), '\\', '/');
    EXPECT_EQ(ReadWholeFile(forward), "0123");

    std::string folder = dir.Path().string();
    std::replace(folder.begin(), folder.end(), '\\', '/');
    EXPECT_EQ(listed(folder + "/", kFaExcludable).count("data.bin"), 1u);
    EXPECT_EQ(listed(folder, kFaExcludable).count("data.bin"), 1u);
}

TEST(WindowsPaths, NamesAreFoundWithoutRegardToCase)
{
    TempDir dir;
    WriteFile(dir / "Data.Bin", "x");
    EXPECT_EQ(ReadWholeFile(dir / "DATA.BIN"), "x");
}

TEST(WindowsPaths, NamesOutsideTheAnsiCodePageSurvive)
{
    TempDir dir;
    const std::string name = "\xE2\x82\xAC \xCE\xB1\xCE\xB2.bin"; // "€ αβ.bin" in UTF-8
    {
        FileStream created(dir / name, OpenMode::CreateExclusive);
        created.WriteBuffer("w", 1);
    }
    EXPECT_EQ(listed(dir.Path().string(), kFaExcludable).count(name), 1u);
    EXPECT_EQ(ReadWholeFile(dir / name), "w");
}

std::wstring currentFolder()
{
    wchar_t current[MAX_PATH + 1] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH + 1, current);
    return std::wstring(current, length);
}

TEST(WindowsPaths, ReachTheWideCallsAbsoluteAndVerbatim)
{
    const std::wstring current = currentFolder();
    ASSERT_EQ(current.substr(1, 2), L":\\") << "the current folder lies on a drive";
    const std::wstring below = current.back() == L'\\' ? current : current + L'\\';
    const std::wstring drive = current.substr(0, 2);
    const std::map<std::string, std::wstring> expected = {
        {"a\\b.txt", L"\\\\?\\" + below + L"a\\b.txt"},
        {"./a/../b.txt.", L"\\\\?\\" + below + L"b.txt."},
        {"\\x\\y ", L"\\\\?\\" + drive + L"\\x\\y "},
        {"C:/x//y", L"\\\\?\\C:\\x\\y"},
        {"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
        // Left to the system: a device, and a path already in a \\?\ or \\.\ form.
        {"NUL", L"NUL"},
        {"sub\\con.txt", L"sub\\con.txt"},
        {"\\\\.\\pipe\\p", L"\\\\.\\pipe\\p"},
        {"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b"},
    };
    for (const auto &[path, wide] : expected)
        EXPECT_EQ(WidePathFromUtf8(path), wide) << path;
}

// Windows drops a trailing dot or space from a name it is given in the ordinary form; the
// program's paths reach the name as written, as on every other system.
TEST(WindowsPaths, ATrailingDotOrSpaceIsPartOfTheName)
{
    TempDir dir;
    WriteFile(dir / "readme.txt", "r");
    for (const char *name : {"readme.txt.", "readme.txt ", "readme.txt. ."}) {
        EXPECT_FALSE(opens(dir / name, OpenMode::ReadShared)) << name;
        EXPECT_EQ(KindOfPath(dir / name), PathKind::Missing) << name;
    }
    EXPECT_TRUE(opens(dir / "readme.txt", OpenMode::ReadShared));
}

// Central European time: UTC+1, and UTC+2 from the last Sunday of March, 02:00, to the last
// Sunday of October, 03:00.
TIME_ZONE_INFORMATION centralEurope()
{
    TIME_ZONE_INFORMATION zone {};
    zone.Bias = -60;
    zone.StandardDate = SYSTEMTIME {0, 10, 0, 5, 3, 0, 0, 0};
    zone.DaylightDate = SYSTEMTIME {0, 3, 0, 5, 2, 0, 0, 0};
    zone.DaylightBias = -60;
    return zone;
}

struct ZoneCase
{
    const char *name;
    std::time_t moment;
    std::int32_t stored;
};

// Turns file times into local times in the zone of these tests for the length of each test.
class TimeRule : public testing::TestWithParam<ZoneCase>
{
protected:
    void SetUp() override { SetFileTimeZone(centralEurope()); }
    void TearDown() override { SetFileTimeZone(std::nullopt); }
};

// The local time of a file is the one its zone's rules gave at that moment, whatever the season
// today: winter files an hour ahead of UTC, summer files two.
TEST_P(TimeRule, FollowsTheRulesInForceAtTheFilesMoment)
{
    EXPECT_EQ(DosDateTimeOf(GetParam().moment), GetParam().stored);
    std::tm local {};
    const auto stored = static_cast<std::uint32_t>(GetParam().stored);
    local.tm_year = static_cast<int>(stored >> 25) + 80;
    local.tm_mon = static_cast<int>((stored >> 21) & 15) - 1;
    local.tm_mday = static_cast<int>((stored >> 16) & 31);
    local.tm_hour = static_cast<int>((stored >> 11) & 31);
    local.tm_min = static_cast<int>((stored >> 5) & 63);
    local.tm_sec = static_cast<int>(stored & 31) * 2;
    EXPECT_EQ(FileTimeOfLocalTime(local), GetParam().moment) << "the way back, as extraction sets times";
}

INSTANTIATE_TEST_SUITE_P(Moments, TimeRule,
                         // 2010-01-15 12:00 UTC is 13:00 local; 2010-07-15 12:00 UTC is 14:00 local.
                         testing::Values(ZoneCase {"winter", 1263556800, 0x3C2F6800},
                                         ZoneCase {"summer", 1279195200, 0x3CEF7000}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
