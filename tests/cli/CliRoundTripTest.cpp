#include "CliFiles.h"
#include "CraftedArchive.h"
#include "platform/TerminalEncoding.h"
#include "text/Cp1252.h"
#include "text/PrintableText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::TempDir;
using test::WriteFile;

constexpr std::int64_t kMarch15th2010At0830 = 1268641800; // UTC

// A tree as a user would pack it: nested folders, an empty file, a file over one copy chunk,
// spaces, a non-ASCII name and a hidden file.
class CliRoundTrip : public testing::Test
{
protected:
    CliRoundTrip()
    {
        fs::create_directories(tree / "Sub" / "Deeper");
        const std::map<std::string, std::string> files = {
            {"a.txt", "alpha\n"},
            {"Sub/b.bin", test::PatternBytes(4097, 7)},
            {"Sub/Deeper/empty", ""},
            {"Sub/with space.dat", test::PatternBytes(100000, 8)},
            {"Sub/\xC3\xA9t\xC3\xA9.txt", "summer"},
            {".hidden", "listed too"},
        };
        for (const auto &[name, data] : files) {
            const std::string path = test::Utf8Of(tree / test::PathOf(name));
            WriteFile(path, data);
            test::SetModificationTime(path, kMarch15th2010At0830);
        }
    }

    test::ScopedTimeZone utc {"UTC0"};
    TempDir dir;
    const fs::path tree = dir.Path() / "tree";
    const std::string list = (tree / "list.txt").string();
    const std::string archive = (tree / "list.POD").string();
};

TEST_F(CliRoundTrip, MklistBuildVerifyListAndExtractGiveBackTheTree)
{
    const auto original = test::FilesBelow(tree);

    const auto made = Cli({"mklist", tree.string(), "-o", list});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::vector<std::string> lines = test::CrLfLines(test::ReadFile(list));
    std::vector<std::string> sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted,
              (std::vector<std::string> {".hidden", "Sub\\Deeper\\empty", "Sub\\b.bin", "Sub\\with space.dat",
                                         "Sub\\\xE9t\xE9.txt", "a.txt"}));

    const auto built = Cli({"build", list});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_EQ(built.err, "") << "progress is shown only on a terminal";

    const auto verified = Cli({"verify", archive});
    EXPECT_EQ(verified.exitCode, 0);
    EXPECT_EQ(verified.out, "OK: 6 entries\n");

    // Stored names are shown, and extracted, decoded from Windows-1252.
    // They are printed in the terminal's encoding (UTF-8 on Windows).
    std::vector<std::string> shown, printed;
    for (const std::string &line : lines) {
        shown.push_back(Cp1252ToUtf8(line));
        printed.push_back(PrintableCp1252(line, UserTerminalEncoding()));
    }
    const auto listed = Cli({"list", archive});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(test::Lines(listed.out), printed) << "directory order is the list's order";

    const auto detailed = Cli({"list", "-l", archive});
    ASSERT_EQ(detailed.exitCode, 0) << detailed.err;
    const auto rows = test::EntryRows(detailed.out);
    ASSERT_EQ(rows.size(), lines.size());
    std::uint64_t expectedOffset = 288;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i]);
        std::istringstream row(rows[i]);
        std::uint64_t size = 0, original = 0, offset = 0;
        std::string date, time;
        row >> size >> original >> offset >> date >> time;
        std::string name;
        std::getline(row >> std::ws, name);
        std::string path = shown[i]; // the tree's names are UTF-8
        std::replace(path.begin(), path.end(), '\\', '/');
        EXPECT_EQ(name, printed[i]);
        EXPECT_EQ(size, fs::file_size(tree / test::PathOf(path)));
        EXPECT_EQ(original, size);
        EXPECT_EQ(offset, expectedOffset);
        EXPECT_EQ(date + " " + time, "2010-03-15 08:30:00");
        expectedOffset += size;
    }
    // Columns line up: every name starts at the same place.
    const std::size_t nameColumn = rows[0].size() - printed[0].size();
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].size() - printed[i].size(), nameColumn) << rows[i];

    const fs::path out = dir.Path() / "out";
    const auto extracted = Cli({"extract", archive, out.string()});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(extracted.out, "6 of 6 files extracted to " + out.string() + "\n");
    // Each file comes back under its line decoded from Windows-1252; a line names its source by
    // its raw bytes or by that decoded text, as the build finds it.
    std::map<std::string, std::string> expected;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string raw = lines[i], decoded = shown[i];
        std::replace(raw.begin(), raw.end(), '\\', '/');
        std::replace(decoded.begin(), decoded.end(), '\\', '/');
        expected[decoded] = original.count(raw) != 0 ? original.at(raw) : original.at(decoded);
    }
    EXPECT_EQ(test::FilesBelow(out), expected);
    EXPECT_EQ(test::ModificationTime((out / "Sub/with space.dat").string()), kMarch15th2010At0830);
}

TEST_F(CliRoundTrip, AFileWithoutAKnownTimeIsListedAsUnknownAndExtractedWithTheCurrentTime)
{
    test::WriteFile(list, "a.txt\r\n");
    ASSERT_EQ(Cli({"build", list}).exitCode, 0);
    std::string bytes = test::ReadFile(archive);
    ASSERT_EQ(bytes.size(), 288u + 6 + 20 + 6);
    test::PutLE32(bytes, 288 + 6 + 12, 271209794);
    test::WriteFile(archive, bytes);

    const auto detailed = Cli({"list", "-l", archive});
    EXPECT_EQ(test::EntryRows(detailed.out), std::vector<std::string> {"6 6 288 unknown             a.txt"});
    const fs::path out = dir.Path() / "out";
    ASSERT_EQ(Cli({"extract", archive, out.string()}).exitCode, 0);
    EXPECT_GT(test::ModificationTime((out / "a.txt").string()), kMarch15th2010At0830 + 365 * 24 * 3600);
}

// Extract, list the names, change one file, build with the old header: only that entry's data
// differ (its time too, since the file was written again).
TEST_F(CliRoundTrip, TheSavedListAndTheOldHeaderRebuildTheSameArchive)
{
    ASSERT_EQ(Cli({"mklist", tree.string(), "-o", list}).exitCode, 0);
    ASSERT_EQ(Cli({"build", list, "--description", "Mon add-on", "--version", "3", "--priority", "-7", "--author",
                   "Ren\xC3\xA9", "--copyright", "(c) 2026"})
                  .exitCode,
              0);
    const std::string copy = (dir.Path() / "copy").string();
    ASSERT_EQ(Cli({"extract", archive, copy}).exitCode, 0);
    const std::string copyList = copy + "/again.txt";
    const auto listed = Cli({"list", archive, "-o", copyList});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "");
    std::string expectedList;
    for (const std::string &name : test::Lines(Cli({"list", archive}).out))
        expectedList += Utf8ToCp1252(name) + "\r\n"; // listed decoded, stored in Windows-1252
    EXPECT_EQ(test::ReadFile(copyList), expectedList) << "the stored names, CR LF, in directory order";

    const auto rebuilt = Cli({"build", copyList, "--header-from", archive});
    ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
    EXPECT_EQ(test::ReadFile(copy + "/again.POD"), test::ReadFile(archive));

    // An option given beside --header-from wins over the old archive's value.
    const auto overridden = Cli({"build", copyList, "--header-from", archive, "--priority", "9", "-o", copy + "/p.POD"});
    ASSERT_EQ(overridden.exitCode, 0) << overridden.err;
    const auto header = Cli({"header", copy + "/p.POD"});
    EXPECT_NE(header.out.find("priority: 9\n"), std::string::npos) << header.out;
    EXPECT_NE(header.out.find("author: Ren\xC3\xA9\n"), std::string::npos) << header.out;
    EXPECT_NE(header.out.find("version: 3\n"), std::string::npos) << header.out;
}

struct CliListUsageCase
{
    const char *name;
    std::vector<std::string> extra;
};

class CliListToFileRefuses : public CliRoundTrip, public testing::WithParamInterface<CliListUsageCase>
{
};

TEST_P(CliListToFileRefuses, WithAUsageErrorAndNoFile)
{
    ASSERT_EQ(Cli({"mklist", tree.string(), "-o", list}).exitCode, 0);
    ASSERT_EQ(Cli({"build", list}).exitCode, 0);
    std::vector<std::string> args = {"list", archive};
    for (const std::string &arg : GetParam().extra)
        args.push_back(arg == "OUT" ? (dir.Path() / "out.txt").string() : arg);
    const auto result = Cli(args);
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "out.txt"));
}

INSTANTIATE_TEST_SUITE_P(Options, CliListToFileRefuses,
                         testing::Values(CliListUsageCase {"WithLong", {"-l", "-o", "OUT"}},
                                         CliListUsageCase {"WithVerbose", {"-v", "-o", "OUT"}},
                                         CliListUsageCase {"EmptyName", {"-o", ""}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CliRoundTrip, HeaderFromAFileThatIsNoArchiveFailsBeforeAnythingIsWritten)
{
    ASSERT_EQ(Cli({"mklist", tree.string(), "-o", list}).exitCode, 0);
    const auto result = Cli({"build", list, "--header-from", (tree / "a.txt").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("a.txt"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(archive));
}

} // namespace
} // namespace morvane
