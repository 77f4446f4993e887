// mklist with what only POSIX systems hold: FIFOs, sockets, symbolic links, names with line
// breaks, backslashes or bytes that are not UTF-8, and paths longer than the system opens.
#include "CaseName.h"
#include "CliFiles.h"
#include "DeepFolders.h"
#include "platform/TerminalEncoding.h"
#include "text/PrintableText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::TempDir;
using test::WriteFile;

// One entry a build could not open, beside a file it can: the list holds the file, the entry is
// named on standard error with the reason, and the exit status says the list is incomplete.
struct LeftOutCase
{
    const char *name;
    std::string entry; // its name in the folder
    std::function<void(const std::string &path)> make; // makes it at path
    std::string reason;
};

using test::PrintTo;

void makeFile(const std::string &path)
{
    WriteFile(path, "x");
}

void makeFifo(const std::string &path)
{
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
}

void makeSocket(const std::string &path)
{
    const int handle = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(handle, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    EXPECT_EQ(::bind(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ::close(handle);
}

void makeDanglingLink(const std::string &path)
{
    fs::create_symlink("missing target", path);
}

const std::string kNotRegular = "it is not a regular file";
const std::string kNot1252 = "its name holds a character that Windows-1252 cannot hold";

class CliMklistLeftOut : public testing::TestWithParam<LeftOutCase>
{
};

TEST_P(CliMklistLeftOut, WritesTheRestAndNamesWhatItLeftOut)
{
    TempDir dir;
    const fs::path tree = dir.Path() / "tree";
    fs::create_directory(tree);
    WriteFile((tree / "good.txt").string(), "g");
    GetParam().make((tree / GetParam().entry).string());

    const auto result = Cli({"mklist", tree.string(), "-o", dir / "list.txt"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(test::ReadFile(dir / "list.txt"), "good.txt\r\n");
    EXPECT_EQ(result.err,
              "morvane-cli: left out "
                  + PrintableFileName((tree / GetParam().entry).string(), UserTerminalEncoding()) + ": "
                  + GetParam().reason
                  + "\nmorvane-cli: the list is incomplete: 1 entry left out, "
                    "0 folders not read\n");
    EXPECT_EQ(std::count_if(result.err.begin(), result.err.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\n'; }),
              0)
        << "no control character of a name reaches the terminal";
}

INSTANTIATE_TEST_SUITE_P(
    Entries, CliMklistLeftOut,
    testing::Values(
        LeftOutCase {"Fifo", "fifo", makeFifo, kNotRegular},
        LeftOutCase {"Socket", "socket", makeSocket, kNotRegular},
        LeftOutCase {"DanglingLink", "dangling", makeDanglingLink, kNotRegular},
        LeftOutCase {"LineBreak", "two\nlines", makeFile,
                     "its name holds a line break, which a response file cannot hold"},
        LeftOutCase {"CarriageReturn", "cr\rname", makeFile,
                     "its name holds a carriage return, which a response file reads as a line break"},
        LeftOutCase {"Backslash", "back\\slash.bin", makeFile,
                     "its name holds a backslash, which a response file reads as a folder separator"},
        LeftOutCase {"NeitherUtf8NorWindows1252", "caf\x81", makeFile, kNot1252},
        LeftOutCase {"TerminalControlsInAFifoName",
                     "\x1b]0;title\x07\xC2\x9B"
                     "2J",
                     makeFifo, kNotRegular}),
    [](const auto &info) { return std::string(info.param.name); });

// A name written by a Windows-1252 system is not UTF-8; the build finds it by its bytes, so the
// list holds them.
TEST(CliMklistPosix, ANameThatIsNotUtf8IsListedByItsBytesAndBuilds)
{
    TempDir dir;
    const fs::path tree = dir.Path() / "tree";
    fs::create_directories(tree / "sub");
    WriteFile((tree / "caf\xE9.txt").string(), "coffee");
    WriteFile((tree / "sub" / "\xC9T\xC9.bin").string(), "summer");

    const auto listed = Cli({"mklist", tree.string(), "-o", (tree / "list.txt").string()});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(test::SortedCrLfLines(test::ReadFile((tree / "list.txt").string())),
              (std::vector<std::string> {"caf\xE9.txt", "sub\\\xC9T\xC9.bin"}));

    const auto built = Cli({"build", (tree / "list.txt").string()});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    const auto extracted = Cli({"extract", (tree / "list.POD").string(), dir / "out"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(test::ReadFile(dir / "out/caf\xC3\xA9.txt"), "coffee");
    EXPECT_EQ(test::ReadFile(dir / "out/sub/\xC3\x89T\xC3\x89.bin"), "summer");
}

TEST(CliMklistPosix, ALinkToAFileIsListedButNotALinkToItsOwnList)
{
    TempDir dir;
    WriteFile(dir / "list.txt", "an old list");
    WriteFile(dir / "data.bin", "d");
    fs::create_symlink(dir / "data.bin", dir / "data link");
    fs::create_symlink(dir / "list.txt", dir / "list link");
    fs::create_directory_symlink(dir.Path(), dir / "folder link");
    const auto result = Cli({"mklist", dir.Path().string(), "-o", dir / "list.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::SortedCrLfLines(test::ReadFile(dir / "list.txt")),
              (std::vector<std::string> {"data link", "data.bin"}));
}

// Folders too long to open and files whose path is too long are named; the list, here on
// standard output, holds everything else.
TEST(CliMklistPosix, PathsLongerThanTheSystemAllowsAreNamed)
{
    TempDir dir;
    WriteFile(dir / "top.txt", "t");
    test::DeepFolders deep(dir.Path(), "long", 4000);
    deep.AddFile("near");
    const std::string tooLong(200, 'f');
    deep.AddFile(tooLong);

    const auto result = Cli({"mklist", dir.Path().string()});
    EXPECT_EQ(result.exitCode, 1);
    std::string nearLine = (deep.LastPath() + "near").substr(dir.Path().string().size() + 1);
    std::replace(nearLine.begin(), nearLine.end(), '/', '\\');
    EXPECT_EQ(test::SortedCrLfLines(result.out), (std::vector<std::string> {nearLine, "top.txt"}));
    EXPECT_EQ(test::Lines(result.err),
              (std::vector<std::string> {
                  "morvane-cli: left out " + deep.LastPath() + tooLong
                      + ": its path is longer than the system allows",
                  "morvane-cli: cannot read folder " + deep.TooDeep() + "/: File name too long",
                  "morvane-cli: the list is incomplete: 1 entry left out, 1 folder not read"}));
}

TEST(CliMklistPosix, AnOutputThatIsALinkIsReplacedAndItsTargetLeftAlone)
{
    TempDir dir;
    fs::create_directory(dir / "tree");
    WriteFile(dir / "tree/a.txt", "a");
    WriteFile(dir / "victim", "victim");
    fs::create_symlink(dir / "victim", dir / "list.txt");
    const auto result = Cli({"mklist", dir / "tree", "-o", dir / "list.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::is_symlink(dir / "list.txt"));
    EXPECT_EQ(test::ReadFile(dir / "list.txt"), "a.txt\r\n");
    EXPECT_EQ(test::ReadFile(dir / "victim"), "victim");
    EXPECT_EQ(test::PathsBelow(dir.Path()),
              (std::set<std::string> {"tree", "tree/a.txt", "victim", "list.txt"}));
}

} // namespace
} // namespace morvane
