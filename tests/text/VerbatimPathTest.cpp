#include "text/VerbatimPath.h"
#include "CaseName.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct StartCase
{
    const char *name;
    const char *path;
    WindowsPathStart start;
};

class PathStart : public testing::TestWithParam<StartCase>
{
};

TEST_P(PathStart, TellsWhatThePathIsRelativeTo)
{
    EXPECT_EQ(WindowsPathStartOf(GetParam().path), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathStart,
    testing::Values(StartCase {"Verbatim", "\\\\?\\C:\\a", WindowsPathStart::Verbatim},
                    StartCase {"DeviceNamespace", "\\\\.\\pipe\\x", WindowsPathStart::Verbatim},
                    StartCase {"NtNamespace", "\\??\\C:\\a", WindowsPathStart::Verbatim},
                    StartCase {"Drive", "C:\\a", WindowsPathStart::DriveAbsolute},
                    StartCase {"DriveSlash", "d:/a", WindowsPathStart::DriveAbsolute},
                    StartCase {"DriveRoot", "C:\\", WindowsPathStart::DriveAbsolute},
                    StartCase {"DriveAlone", "C:", WindowsPathStart::DriveRelative},
                    StartCase {"DriveRelative", "C:a\\b", WindowsPathStart::DriveRelative},
                    StartCase {"Share", "\\\\server\\share\\a", WindowsPathStart::Unc},
                    StartCase {"ShareSlashes", "//server/share", WindowsPathStart::Unc},
                    StartCase {"Root", "\\a", WindowsPathStart::RootRelative},
                    StartCase {"RootSlash", "/tmp/a", WindowsPathStart::RootRelative},
                    StartCase {"Relative", "a\\b", WindowsPathStart::Relative},
                    StartCase {"Dot", ".", WindowsPathStart::Relative},
                    StartCase {"Empty", "", WindowsPathStart::Relative}),
    [](const auto &info) { return std::string(info.param.name); });

struct VerbatimCase
{
    const char *name;
    const char *absolute;
    const char *verbatim; // nullptr: none
};

class Verbatim : public testing::TestWithParam<VerbatimCase>
{
};

TEST_P(Verbatim, KeepsEveryNameAsWritten)
{
    const auto verbatim = VerbatimWindowsPath(GetParam().absolute);
    if (GetParam().verbatim == nullptr)
        EXPECT_FALSE(verbatim) << *verbatim;
    else
        EXPECT_EQ(verbatim, std::optional<std::string>(GetParam().verbatim));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Verbatim,
    testing::Values(VerbatimCase {"Drive", "C:\\Data\\list.txt", "\\\\?\\C:\\Data\\list.txt"},
                    VerbatimCase {"Slashes", "C:/Data//sub/list.txt", "\\\\?\\C:\\Data\\sub\\list.txt"},
                    VerbatimCase {"DriveRoot", "C:\\", "\\\\?\\C:\\"},
                    VerbatimCase {"DriveRootSlash", "C:/", "\\\\?\\C:\\"},
                    VerbatimCase {"FolderWithSeparator", "C:\\Data\\", "\\\\?\\C:\\Data\\"},
                    VerbatimCase {"Dots", "C:\\a\\.\\b\\..\\c", "\\\\?\\C:\\a\\c"},
                    VerbatimCase {"DotDotStopsAtTheRoot", "C:\\..\\..\\a", "\\\\?\\C:\\a"},
                    VerbatimCase {"TrailingDotKept", "C:\\w\\readme.txt.", "\\\\?\\C:\\w\\readme.txt."},
                    VerbatimCase {"TrailingSpaceKept", "C:\\w\\readme.txt ", "\\\\?\\C:\\w\\readme.txt "},
                    VerbatimCase {"FolderEndingInDotKept", "C:\\w.\\a", "\\\\?\\C:\\w.\\a"},
                    VerbatimCase {"ThreeDotsAreAName", "C:\\w\\...", "\\\\?\\C:\\w\\..."},
                    VerbatimCase {"NonAscii",
                                  "C:\\Travail \xC3\x89t\xC3\xA9\\pi\xC3\xA8"
                                  "ce.txt",
                                  "\\\\?\\C:\\Travail \xC3\x89t\xC3\xA9\\pi\xC3\xA8"
                                  "ce.txt"},
                    VerbatimCase {"Share", "\\\\server\\share\\a\\b", "\\\\?\\UNC\\server\\share\\a\\b"},
                    VerbatimCase {"ShareSlashes", "//server/share/a", "\\\\?\\UNC\\server\\share\\a"},
                    VerbatimCase {"ShareRoot", "\\\\server\\share", "\\\\?\\UNC\\server\\share\\"},
                    VerbatimCase {"ShareDotDotStaysOnTheShare", "\\\\server\\share\\..\\x",
                                  "\\\\?\\UNC\\server\\share\\x"},
                    VerbatimCase {"ServerWithoutShare", "\\\\server", nullptr},
                    VerbatimCase {"ServerWithEmptyShare", "\\\\server\\\\a", nullptr},
                    VerbatimCase {"Relative", "a\\b", nullptr}, VerbatimCase {"RootRelative", "\\a", nullptr},
                    VerbatimCase {"DriveRelative", "C:a", nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

struct DeviceCase
{
    const char *name;
    const char *path;
    bool device;
};

class DeviceName : public testing::TestWithParam<DeviceCase>
{
};

TEST_P(DeviceName, IsTheLastPartBeforeAnyDot)
{
    EXPECT_EQ(NamesWindowsDevice(GetParam().path), GetParam().device) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DeviceName,
    testing::Values(DeviceCase {"Nul", "NUL", true}, DeviceCase {"LowerCase", "nul", true},
                    DeviceCase {"InAFolder", "C:\\work\\con", true},
                    DeviceCase {"WithAnExtension", "a/aux.txt", true}, DeviceCase {"Com1", "COM1", true},
                    DeviceCase {"Lpt9WithAnExtension", "lpt9.log", true},
                    DeviceCase {"AfterADrive", "C:prn", true},
                    DeviceCase {"BlankBeforeTheExtension", "nul .txt", true},
                    DeviceCase {"Com0", "COM0", false}, DeviceCase {"Com10", "COM10", false},
                    DeviceCase {"DeviceAsAFolder", "nul\\a.txt", false}, DeviceCase {"Longer", "null", false},
                    DeviceCase {"Prefix", "console.txt", false}, DeviceCase {"Empty", "", false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
