// Bounds on memory and time checked in a child process under setrlimit, which Windows lacks.
#include "CaseName.h"
#include "CliFiles.h"
#include "CraftedArchive.h"
#include "LimitedProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::PrintTo;
using test::TempDir;

// Archives whose names are thousands of folders deep, each entry in folders of its own, so that
// a writer that keeps every folder's whole path, once per folder, needs gigabytes.
struct DeepNamesCase
{
    const char *name;
    int entries;
    int depth;
    bool blockedByAFile; // every name starts with the name of a file already in the folder
    std::string said; // each entry's line on standard error ends with it
};

void PrintTo(const DeepNamesCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliExtractDeepNames : public testing::TestWithParam<DeepNamesCase>
{
};

TEST_P(CliExtractDeepNames, StayWithinMemoryInProportionToTheArchive)
{
    const DeepNamesCase &c = GetParam();
    TempDir dir;
    const fs::path out = dir.Path() / "out";
    std::vector<test::CraftedEntry> entries;
    for (int i = 0; i < c.entries; ++i) {
        std::string name = c.blockedByAFile ? "blocker\\" : "";
        name += "e" + std::to_string(i);
        for (int level = 0; level < c.depth; ++level)
            name += "\\a";
        entries.push_back({name + "\\f", "x"});
    }
    test::WriteFile(dir / "deep.POD", test::CraftArchive(entries));
    fs::create_directories(out);
    if (c.blockedByAFile)
        test::WriteFile((out / "blocker").string(), "a file");

    const auto result
        = test::RunLimited(MORVANE_CLI, {"extract", dir / "deep.POD", out.string()}, {256u << 20, 60});
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, 1) << result.err.substr(0, 2000);
    const auto lines = test::Lines(result.err);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.entries) + 1) << result.err.substr(0, 2000);
    for (int i = 0; i < c.entries; ++i)
        EXPECT_TRUE(lines[static_cast<std::size_t>(i)].ends_with(c.said))
            << lines[static_cast<std::size_t>(i)].substr(0, 300);
    EXPECT_EQ(lines.back(),
              "morvane-cli: " + std::to_string(c.entries) + " of " + std::to_string(c.entries)
                  + " entries of " + dir / "deep.POD" + " were not extracted (see above)");
}

INSTANTIATE_TEST_SUITE_P(Archives, CliExtractDeepNames,
                         testing::Values(
                             // 64 names of 10,000 folders: 1.3 MB.
                             DeepNamesCase {
                                 "LongerThanTheSystemOpens", 64, 10'000, false,
                                 "and this system opens paths of at most 4095; nothing written for it"},
                             // 128 names of 1,900 folders (each path still one the system opens): 0.5 MB.
                             DeepNamesCase {"BelowAFile", 128, 1'900, true, "/out/blocker: Not a directory"}),
                         [](const auto &info) { return std::string(info.param.name); });

// Lines whose files are found without regard to case look each folder up once, not once a line:
// a build of 8,000 such lines from one folder took 11.6 s when every line read the folder again.
TEST(CliBuildIgnoringCase, LooksEachFolderUpOnce)
{
    TempDir dir;
    std::ofstream list(dir / "list.txt", std::ios::binary);
    fs::create_directories(dir.Path() / "sub");
    for (int i = 0; i < 8000; ++i) {
        test::WriteFile(dir / ("sub/file" + std::to_string(i) + ".bin"), "x");
        list << "SUB\\FILE" << i << ".BIN\r\n";
    }
    list.close();
    const auto result
        = test::RunLimited(MORVANE_CLI, {"build", dir / "list.txt", "--quiet"}, {256u << 20, 5});
    EXPECT_EQ(result.signal, 0) << "stopped by its CPU-time limit";
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::Cli({"verify", dir / "list.POD"}).out, "OK: 8000 entries\n");
}

// Under a file size limit (ulimit -f counts blocks of 512 bytes: 8 is 4 KiB) a write that would
// pass it fails as a full disk does, with a message and the command's summary, instead of the
// signal killing the command half-way.
struct SizeLimitCase
{
    const char *name;
    std::function<std::vector<std::string>(const TempDir &)> prepare; // the command's arguments
    std::vector<std::string> said; // parts of standard error
    std::string out; // how standard output starts
    std::vector<std::string> absent; // in the test's folder
};

void PrintTo(const SizeLimitCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliFileSizeLimit : public testing::TestWithParam<SizeLimitCase>
{
};

TEST_P(CliFileSizeLimit, IsAWriteErrorWithItsSummary)
{
    TempDir dir;
    std::vector<std::string> args = GetParam().prepare(dir);
    args.insert(args.begin(), {"-c", "ulimit -f 8; exec \"$0\" \"$@\"", MORVANE_CLI});
    const auto result = test::RunProcess("/bin/sh", args);
    EXPECT_EQ(result.exitCode, 1) << "153 is the signal's: " << result.err;
    for (const std::string &part : GetParam().said)
        EXPECT_NE(result.err.find(part), std::string::npos) << part << " in " << result.err;
    EXPECT_EQ(result.out.substr(0, GetParam().out.size()), GetParam().out);
    EXPECT_EQ(result.out.empty(), GetParam().out.empty()) << result.out;
    for (const std::string &name : GetParam().absent)
        EXPECT_FALSE(fs::exists(dir.Path() / name)) << name;
    for (const auto &entry : fs::recursive_directory_iterator(dir.Path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".morvane-")) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliFileSizeLimit,
    testing::Values(
        SizeLimitCase {"Extract",
                       [](const TempDir &dir) {
                           test::WriteFile(dir / "a.POD", test::CraftArchive({{"small.txt", "s"},
                                                                              {"big.bin", std::string(65536, 'b')},
                                                                              {"after.txt", "a"}}));
                           return std::vector<std::string> {"extract", dir / "a.POD", dir / "out"};
                       },
                       {"entry 2 (big.bin) not extracted: ", "File too large",
                        "1 of 3 entries of "},
                       "2 of 3 files extracted to ",
                       {"out/big.bin"}},
        SizeLimitCase {"MklistOutput",
                       [](const TempDir &dir) {
                           fs::create_directory(dir.Path() / "tree");
                           for (int i = 0; i < 300; ++i)
                               test::WriteFile(dir / ("tree/a file with a long name " + std::to_string(i)), "");
                           return std::vector<std::string> {"mklist", dir / "tree", "-o", dir / "list.txt"};
                       },
                       {"File too large"},
                       "",
                       {"list.txt"}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
