#include "CaseName.h"
#include "archive/Varnel_utility.h"

#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace morvane {
namespace {

using test::PrintTo;

using test::LE32At;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// 2010-03-15 08:30:00 UTC; read in UTC it is stored as 0x4C999903.
constexpr std::int64_t kMarch2010 = 1268641800;
constexpr std::uint32_t kMarch2010Stored = 0x4C999903;

struct Source
{
    std::string line; // as written in the response file
    std::string contents; // written to the file the line names
};

// A response file and its sources in a fresh folder, all dated kMarch2010.
class BuildFixture : public testing::Test
{
protected:
    std::string Response() const { return dir / "list.txt"; }
    std::string Archive() const { return dir / "list.POD"; }

    void WriteSources(const std::vector<Source> &sources, const std::string &extraResponseText = "")
    {
        std::string text;
        for (const Source &source : sources) {
            text += source.line + "\r\n";
            const std::filesystem::path path = dir.Path() / NativeName(source.line);
            std::filesystem::create_directories(path.parent_path());
            // A name the line holds exactly, a trailing blank included.
            WriteFile(test::Verbatim(path.string()), source.contents);
            test::SetModificationTime(test::Verbatim(path.string()), kMarch2010);
        }
        WriteFile(Response(), text + extraResponseText);
    }

    static std::string NativeName(std::string line)
    {
        for (char &c : line)
            if (c == '\\')
                c = '/';
        return line;
    }

    std::unique_ptr<TPOD> NewArchive() const
    {
        auto pod = std::make_unique<TPOD>(Archive(), true);
        pod->Header.SetDescription("Test archive");
        pod->Header.SetVersion(7);
        pod->Header.SetPriority(-3);
        pod->Header.SetAuthor("Me");
        pod->Header.SetCopyright("(c)");
        return pod;
    }

    // Builds and returns the error message, or "" on success.
    std::string Build(BuildObserver *observer = nullptr) const
    {
        try {
            TPOD::BuildFromList(NewArchive(), Response(), observer);
        } catch (const Error &error) {
            return error.what();
        }
        return {};
    }

    // After a failed build: the file at the archive's name is exactly what it was (absent when
    // previous is empty), and nothing of the failed build is left in the folder.
    void ExpectNothingChanged(const std::string &previous) const
    {
        if (previous.empty())
            EXPECT_FALSE(std::filesystem::exists(Archive()));
        else
            EXPECT_TRUE(ReadFile(Archive()) == previous) << "the previous archive was changed";
        for (const std::string &name : test::NamesIn(dir.Path()))
            EXPECT_NE(name.rfind(".morvane-", 0), 0u) << "left behind: " << name;
    }

    static constexpr const char *kPrevious = "POD3 the previous archive";

    // The header as the build writes it, before the directory is known (DirOffset, NamesSize and
    // the field at 280 still zero).
    static std::string ProvisionalHeader(std::uint32_t entryCount)
    {
        std::string h(288, '\0');
        h.replace(0, 4, "POD3");
        h.replace(8, 13, std::string("Test archive\0", 13));
        PutLE32(h, 88, entryCount);
        PutLE32(h, 96, 7);
        PutLE32(h, 100, static_cast<std::uint32_t>(-3));
        h.replace(104, 3, std::string("Me\0", 3));
        h.replace(184, 4, std::string("(c)\0", 4));
        return h;
    }

    // The whole archive as the format lays it out, computed independently of the writer.
    static std::string ExpectedArchive(const std::vector<Source> &sources)
    {
        std::string header = ProvisionalHeader(static_cast<std::uint32_t>(sources.size()));
        std::string contents, directory, names;
        std::uint32_t offset = 288;
        for (const Source &source : sources) {
            std::string entry(20, '\0');
            PutLE32(entry, 0, static_cast<std::uint32_t>(names.size()));
            PutLE32(entry, 4, static_cast<std::uint32_t>(source.contents.size()));
            PutLE32(entry, 8, offset);
            PutLE32(entry, 12, kMarch2010Stored);
            directory += entry;
            contents += source.contents;
            names += source.line + '\0';
            offset += static_cast<std::uint32_t>(source.contents.size());
        }
        PutLE32(header, 264, offset);
        PutLE32(header, 272, static_cast<std::uint32_t>(names.size()));
        PutLE32(header, 280, 0xFFFFFFFF);
        return header + contents + directory + names;
    }

    static void PutLE32(std::string &bytes, std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(v >> (8 * i));
    }

    TempDir dir;
    test::ScopedTimeZone utc {"UTC0"};
};

TEST_F(BuildFixture, AnEmptyListGivesA288ByteArchive)
{
    WriteSources({});
    ASSERT_EQ(Build(), "");
    const std::string bytes = ReadFile(Archive());
    EXPECT_EQ(bytes, ExpectedArchive({}));
    EXPECT_EQ(bytes.size(), 288u);
    EXPECT_EQ(LE32At(bytes, 264), 288u);
}

TEST_F(BuildFixture, OneEmptyFileUnderAFiveCharacterName)
{
    const std::vector<Source> sources = {{"E.BIN", ""}};
    WriteSources(sources);
    ASSERT_EQ(Build(), "");
    const std::string bytes = ReadFile(Archive());
    EXPECT_EQ(bytes, ExpectedArchive(sources));
    EXPECT_EQ(bytes.size(), 314u);
    EXPECT_EQ(LE32At(bytes, 288 + 8), 288u) << "DataOffset";
    EXPECT_EQ(LE32At(bytes, 272), 6u) << "NamesSize";
    EXPECT_EQ(bytes.substr(308), std::string("E.BIN\0", 6));
}

TEST_F(BuildFixture, TwoFilesOfFiveAndTenBytes)
{
    const std::vector<Source> sources = {{"A.BIN", "12345"}, {"SUB\\B.BIN", "abcdefghij"}};
    WriteSources(sources);
    ASSERT_EQ(Build(), "");
    const std::string bytes = ReadFile(Archive());
    EXPECT_EQ(bytes, ExpectedArchive(sources));
    EXPECT_EQ(bytes.size(), 359u);
    EXPECT_EQ(LE32At(bytes, 264), 303u) << "DirOffset";
    EXPECT_EQ(LE32At(bytes, 303 + 8), 288u);
    EXPECT_EQ(LE32At(bytes, 323 + 8), 293u);
    EXPECT_EQ(LE32At(bytes, 323 + 0), 6u) << "second NameOffset";
    EXPECT_EQ(bytes.substr(343), std::string("A.BIN\0SUB\\B.BIN\0", 16));
}

TEST_F(BuildFixture, ContentsOfEverySizeArriveWhole)
{
    // Around the 4096-byte chunk, across the write buffer, and large enough to be mapped.
    std::vector<Source> sources = {{"C4096", test::PatternBytes(4096, 1)},
                                   {"C4097", test::PatternBytes(4097, 2)},
                                   {"EMPTY", ""},
                                   {"LARGE\\K300", test::PatternBytes(300000, 3)},
                                   {"LARGE\\M3", test::PatternBytes(3 << 20, 4)}};
    for (int i = 0; i < 300; ++i)
        sources.push_back({"SMALL\\F" + std::to_string(i), test::PatternBytes(5000 + i, 100 + i)});
    sources.push_back({"C4096", test::PatternBytes(4096, 1)}); // a repeated line is stored twice
    WriteSources(sources);
    ASSERT_EQ(Build(), "");
    EXPECT_EQ(ReadFile(Archive()), ExpectedArchive(sources));
}

TEST_F(BuildFixture, NamesAreStoredByteForByte)
{
    const std::vector<Source> sources = {{"d\xE9j\xE0 vu.bin", "x"}, {"trailing blank ", "y"}};
    WriteSources(sources);
    ASSERT_EQ(Build(), "");
    EXPECT_EQ(ReadFile(Archive()), ExpectedArchive(sources));
}

TEST_F(BuildFixture, ATimeThatCannotBeEncodedIsStoredAsUnknown)
{
    WriteSources({{"OLD.BIN", "old"}});
    test::SetModificationTime(dir / "OLD.BIN", 86400 * 365); // 1971, before DOS time begins
    ASSERT_EQ(Build(), "");
    EXPECT_EQ(LE32At(ReadFile(Archive()), 291 + 12), 271209794u);
}

TEST_F(BuildFixture, ARelativeResponsePathResolvesAgainstItsOwnFolder)
{
    const std::vector<Source> sources = {{"A.BIN", "abc"}};
    WriteSources(sources);
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    std::string error;
    try {
        TPOD::BuildFromList(NewArchive(), "list.txt");
    } catch (const Error &e) {
        error = e.what();
    }
    std::filesystem::current_path(oldCwd);
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadFile(Archive()), ExpectedArchive(sources));
}

// Failures: the message names the file, the cause and the line, and the previous archive stays.
struct FailureCase
{
    const char *name;
    std::vector<Source> sources;
    std::string extraResponseText; // lines naming files that are not written
    std::string expectedMessageSuffix; // the message is "<prefix><dir>/<suffix>: <cause> (<line>)"
    const char *expectedMessagePrefix;
    std::string expectedCause;
    std::string expectedLine; // "line <n> of list.txt: <text>"
};

class BuildFailure : public BuildFixture, public testing::WithParamInterface<FailureCase>
{
};

TEST_P(BuildFailure, ReportsTheSourceAndKeepsWhatWasWritten)
{
    const FailureCase &c = GetParam();
    WriteSources(c.sources, c.extraResponseText);
    for (const std::string &previous : {std::string(kPrevious), std::string()}) {
        SCOPED_TRACE(previous.empty() ? "no previous archive" : "over a previous archive");
        if (!previous.empty())
            WriteFile(Archive(), previous);
        EXPECT_EQ(Build(), c.expectedMessagePrefix + (dir / c.expectedMessageSuffix) + ": " + c.expectedCause
                      + " (" + c.expectedLine + ")");
        ExpectNothingChanged(previous);
        std::filesystem::remove(Archive());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildFailure,
    testing::Values(
        FailureCase {"missing_source",
                     {{"A.BIN", "12345"}},
                     "MISSING.BIN\r\n",
                     "MISSING.BIN",
                     "Cannot open file ",
                     "not found",
                     "line 2 of list.txt: MISSING.BIN"},
        FailureCase {"empty_line_names_the_folder",
                     {{"A.BIN", "12345"}},
                     "\r\n",
                     "",
                     "Cannot open file ",
                     "it is a folder",
                     "line 2 of list.txt: "},
        FailureCase {"line_naming_a_folder",
                     {{"A.BIN", "12345"}, {"SUB\\X", "x"}},
                     "SUB\r\n",
                     "SUB",
                     "Cannot open file ",
                     "it is a folder",
                     "line 3 of list.txt: SUB"},
        FailureCase {"line_naming_the_archive_itself",
                     {{"A.BIN", "12345"}},
                     "list.POD\r\n",
                     "list.POD",
                     "Cannot open file ",
                     "the list names the archive it builds; remove that line",
                     "line 2 of list.txt: list.POD"},
        FailureCase {"line_naming_the_archive_in_another_case",
                     {{"A.BIN", "12345"}},
                     "LIST.pod\r\n",
                     "list.POD",
                     "Cannot open file ",
                     "the list names the archive it builds; remove that line",
                     "line 2 of list.txt: LIST.pod"}),
    [](const auto &info) { return std::string(info.param.name); });

// A line finds its file as Windows would: by its bytes, by its Windows-1252 text, or without
// regard to letter case; the stored name stays the line.
struct LookupCase
{
    const char *name;
    std::vector<std::pair<std::string, std::string>> files; // name on disk (UTF-8), contents
    std::string line;
    std::string expectedContents; // empty: refused with "Cannot open file <dir>/<line>: <cause> ..."
    std::string expectedCause = {}; // "{dir}" stands for the folder
};

class BuildLookup : public BuildFixture, public testing::WithParamInterface<LookupCase>
{
};

TEST_P(BuildLookup, FindsTheOneFileTheLineNames)
{
#ifdef _WIN32
    GTEST_SKIP() << "names as bytes and names differing only by case: Windows has neither, and finds "
                    "names without regard to case itself";
#endif
    const LookupCase &c = GetParam();
    for (const auto &[name, contents] : c.files) {
        const std::filesystem::path path = dir.Path() / name;
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path.string(), contents);
        test::SetModificationTime(path.string(), kMarch2010);
    }
    WriteFile(Response(), c.line + "\r\n");
    if (c.expectedContents.empty()) {
        std::string cause = c.expectedCause;
        for (std::size_t at; (at = cause.find("{dir}")) != std::string::npos;)
            cause.replace(at, 5, dir.Path().string());
        EXPECT_EQ(Build(), "Cannot open file " + (dir / NativeName(c.line)) + ": " + cause + " (line 1 of list.txt: "
                      + c.line + ")");
        ExpectNothingChanged("");
        return;
    }
    ASSERT_EQ(Build(), "");
    EXPECT_EQ(ReadFile(Archive()), ExpectedArchive({{c.line, c.expectedContents}}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildLookup,
    testing::Values(
        LookupCase {"upper_case_line", {{"a.txt", "a"}}, "A.TXT", "a"},
        LookupCase {"every_component", {{"Sub/Deep/b.Bin", "b"}}, "SUB\\DEEP\\B.BIN", "b"},
        LookupCase {"windows1252_line",
                    {{"pi\xC3\xA8"
                      "ce.txt",
                      "p"}},
                    "pi\xE8"
                    "ce.txt",
                    "p"},
        LookupCase {"windows1252_upper_case_line",
                    {{"Liste des pi\xC3\xA8"
                      "ces.txt",
                      "l"}},
                    "LISTE DES PI\xC8"
                    "CES.TXT",
                    "l"},
        LookupCase {"oe_and_euro",
                    {{"\xC5\x92uvre/\xE2\x82\xAC.dat", "e"}},
                    "\x9C"
                    "UVRE\\\x80.DAT",
                    "e"},
        LookupCase {"utf8_line_from_another_tool",
                    {{"pi\xC3\xA8"
                      "ce.txt",
                      "u"}},
                    "pi\xC3\xA8"
                    "ce.txt",
                    "u"},
        LookupCase {"exact_name_wins", {{"a.txt", "lower"}, {"A.TXT", "upper"}}, "a.txt", "lower"},
        LookupCase {"two_candidates",
                    {{"a.txt", "1"}, {"A.txt", "2"}},
                    "A.TXT",
                    "",
                    "found twice when letter case is ignored: {dir}/A.txt and {dir}/a.txt"},
        LookupCase {"two_candidate_folders",
                    {{"sub/b.bin", "1"}, {"SUB/c.bin", "2"}},
                    "Sub\\B.BIN",
                    "",
                    "found twice when letter case is ignored: {dir}/SUB and {dir}/sub"},
        LookupCase {"no_candidate", {{"a.txt", "1"}}, "B.TXT", "", "not found"}),
    [](const auto &info) { return std::string(info.param.name); });

// Builds of many small sources read them ahead of the writer; a failure among them must still
// stop the build at that source, with exactly the sources before it in the archive.
enum class Fault {
    Missing,
    Held,
    Folder,
};

struct ManySourcesFailureCase
{
    const char *name;
    std::size_t before; // sources listed before the faulty one
    std::size_t after; // and after it
    Fault fault;
};

class BuildFailureAmongMany : public BuildFixture, public testing::WithParamInterface<ManySourcesFailureCase>
{
};

TEST_P(BuildFailureAmongMany, StopsAtTheFaultySourceWithWhatCameBefore)
{
    const ManySourcesFailureCase &c = GetParam();
    std::vector<Source> sources;
    for (std::size_t i = 0; i < c.before + 1 + c.after; ++i)
        sources.push_back({"D" + std::to_string(i % 7) + "\\F" + std::to_string(i) + ".BIN",
                           test::PatternBytes(1 + i * 53 % 3000, static_cast<unsigned>(i))});
    const std::string faulty = "FAULTY.BIN";
    sources[c.before] = {faulty, "held"};
    WriteSources(sources);
    std::unique_ptr<FileStream> holder;
    switch (c.fault) {
    case Fault::Missing:
        std::filesystem::remove(dir.Path() / faulty);
        break;
    case Fault::Held:
        holder = std::make_unique<FileStream>(dir / faulty, OpenMode::ReadExclusive);
        break;
    case Fault::Folder:
        std::filesystem::remove(dir.Path() / faulty);
        std::filesystem::create_directory(dir.Path() / faulty);
        break;
    }
    WriteFile(Archive(), kPrevious);
    const char *cause = c.fault == Fault::Missing ? "not found"
        : c.fault == Fault::Held                  ? "in use by another program"
                                                  : "it is a folder";
    EXPECT_EQ(Build(), "Cannot open file " + (dir / faulty) + ": " + cause + " (line " + std::to_string(c.before + 1)
                  + " of list.txt: " + faulty + ")");
    ExpectNothingChanged(kPrevious);
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildFailureAmongMany,
                         testing::Values(ManySourcesFailureCase {"missing_first", 0, 300, Fault::Missing},
                                         ManySourcesFailureCase {"missing_in_the_middle", 150, 300,
                                                                 Fault::Missing},
                                         ManySourcesFailureCase {"held_in_the_middle", 201, 300, Fault::Held},
                                         ManySourcesFailureCase {"folder_last", 400, 0, Fault::Folder}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(BuildFixture, OneFileNamedByManyLinesIsStoredForEachLine)
{
    // Sources are opened exclusively: lines naming one file must not make the build's own
    // openings of it refuse each other. Small and large (not read ahead) ones.
    std::vector<Source> sources;
    const std::string small = test::PatternBytes(700, 1);
    const std::string large = test::PatternBytes(200000, 2);
    for (int i = 0; i < 400; ++i) {
        if (i % 3 == 0)
            sources.push_back({"SAME.BIN", small});
        else if (i % 10 == 1)
            sources.push_back({"BIG.BIN", large});
        else
            sources.push_back(
                {"F" + std::to_string(i), test::PatternBytes(10 + i, static_cast<unsigned>(i))});
    }
    WriteSources(sources);
    ASSERT_EQ(Build(), "");
    EXPECT_TRUE(ReadFile(Archive()) == ExpectedArchive(sources));
}

TEST_F(BuildFixture, ManySourcesFoundWithoutRegardToCaseAreStoredUnderTheirLines)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows finds names without regard to case itself";
#endif
    std::vector<Source> sources;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "sub" + std::to_string(i % 3) + "/file" + std::to_string(i) + ".bin";
        const std::string contents = test::PatternBytes(10 + i, static_cast<unsigned>(i));
        std::filesystem::create_directories((dir.Path() / name).parent_path());
        WriteFile(dir / name, contents);
        test::SetModificationTime(dir / name, kMarch2010);
        sources.push_back({"SUB" + std::to_string(i % 3) + "\\FILE" + std::to_string(i) + ".BIN", contents});
    }
    std::string text;
    for (const Source &source : sources)
        text += source.line + "\r\n";
    WriteFile(Response(), text);
    ASSERT_EQ(Build(), "");
    EXPECT_TRUE(ReadFile(Archive()) == ExpectedArchive(sources));
}

TEST_F(BuildFixture, AFileFoundUnderAnotherCaseThatIsHeldIsRefusedUnderItsOwnName)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows opens the file under the line's own spelling, which names it as well";
#endif
    WriteFile(dir / "a.txt", "a");
    WriteFile(Response(), "A.TXT\r\n");
    FileStream holder(dir / "a.txt", OpenMode::ReadExclusive);
    EXPECT_EQ(Build(), "Cannot open file " + (dir / "a.txt") + ": in use by another program (line 1 of list.txt: A.TXT)");
}

TEST_F(BuildFixture, AnAbsoluteLineIsStillAppendedToTheFolder)
{
    WriteSources({{"A.BIN", "1"}});
    const std::string absolute = dir / "A.BIN";
    WriteFile(Response(), absolute + "\r\n");
    EXPECT_EQ(Build(), "Cannot open file " + (dir / "") + absolute + ": not found (line 1 of list.txt: " + absolute + ")");
}

TEST_F(BuildFixture, AMissingResponseFileLeavesThePreviousArchive)
{
    WriteFile(Archive(), kPrevious);
    EXPECT_EQ(Build(), "Cannot open file " + Response());
    ExpectNothingChanged(kPrevious);
}

TEST_F(BuildFixture, AnArchiveThatCouldNotBeOpenedFailsNamingIt)
{
    WriteSources({{"A.BIN", "1"}});
    auto pod = std::make_unique<TPOD>(dir / "list.txt.bak", true);
    try {
        TPOD::BuildFromList(std::move(pod), Response());
        FAIL();
    } catch (const Error &error) {
        EXPECT_NE(std::string(error.what()).find(dir / "list.txt.bak"), std::string::npos) << error.what();
    }
}

// Records what a build tells an observer that wants the total, in order.
class PlanningObserver : public BuildObserver
{
public:
    bool WantsTotal() const override { return true; }
    void Planned(std::size_t count, std::uint64_t totalBytes) override
    {
        events.push_back("planned " + std::to_string(count) + " " + std::to_string(totalBytes));
    }
    void SourceStarted(std::size_t index, std::size_t, const std::string &, std::uint64_t size) override
    {
        events.push_back("source " + std::to_string(index) + " " + std::to_string(size));
    }

    std::vector<std::string> events;
};

// The sources are found once, before the first is copied, and their total told first; the count
// stops at a line whose file is not found, where the build stops.
TEST_F(BuildFixture, AnObserverThatWantsTheTotalIsToldItFirst)
{
    WriteSources({{"A.BIN", "12345"}, {"SUB\\B.BIN", "abcdefghij"}});
    PlanningObserver planned;
    EXPECT_EQ(Build(&planned), "");
    EXPECT_EQ(planned.events, (std::vector<std::string> {"planned 2 15", "source 0 5", "source 1 10"}));
    EXPECT_EQ(ReadFile(Archive()), ExpectedArchive({{"A.BIN", "12345"}, {"SUB\\B.BIN", "abcdefghij"}}));

    WriteSources({{"A.BIN", "12345"}}, "MISSING.BIN\r\nA.BIN\r\n");
    PlanningObserver stopped;
    EXPECT_EQ(Build(&stopped),
              "Cannot open file " + dir / "MISSING.BIN" + ": not found (line 2 of list.txt: MISSING.BIN)");
    EXPECT_EQ(stopped.events, (std::vector<std::string> {"planned 3 5", "source 0 5"}));
}

// Shrinks the given source right after the build has opened it and taken its size.
class ShrinkingObserver : public BuildObserver
{
public:
    explicit ShrinkingObserver(std::size_t index)
        : index_(index)
    {
    }
    void SourceStarted(std::size_t index, std::size_t, const std::string &path, std::uint64_t size) override
    {
        if (index == index_)
            std::filesystem::resize_file(path, size / 2);
    }

private:
    std::size_t index_;
};

class ShrinkingSource : public BuildFixture, public testing::WithParamInterface<std::size_t>
{
};

TEST_P(ShrinkingSource, EndsTheBuildNamingTheSource)
{
#ifdef _WIN32
    GTEST_SKIP() << "a source is open to nobody else during the build on Windows, so it cannot shrink";
#endif
    WriteSources({{"A.BIN", "12345"}, {"B.BIN", test::PatternBytes(GetParam())}});
    ShrinkingObserver observer(1);
    const std::string message = Build(&observer);
    EXPECT_NE(message.find(dir / "B.BIN"), std::string::npos) << message;
    EXPECT_NE(message.find("Stream read error"), std::string::npos) << message;
}

// Through the write buffer, and from a mapping of the source (1 MiB and more).
INSTANTIATE_TEST_SUITE_P(Sizes, ShrinkingSource, testing::Values(10000, 600000, 3 << 20));

TEST_F(BuildFixture, ContentsReaching2GiBAreRefusedBeforeTheSourceIsCopied)
{
    WriteSources({{"A.BIN", "0123456789"}, {"HUGE.BIN", ""}, {"C.BIN", "c"}});
    // Sparse: 288 + 10 + this size ends exactly at 2^31.
    std::filesystem::resize_file(dir / "HUGE.BIN", (std::uint64_t {1} << 31) - 298);
    const std::string message = Build();
    EXPECT_NE(message.find(dir / "HUGE.BIN"), std::string::npos) << message;
    ExpectNothingChanged("");
}

class WriteFailure : public BuildFixture, public testing::WithParamInterface<std::size_t>
{
};

TEST_P(WriteFailure, IsReportedAsStreamWriteError)
{
    WriteSources({{"A.BIN", test::PatternBytes(GetParam())}});
#ifdef _WIN32
    GTEST_SKIP() << "a full disk is simulated with a file size limit (RLIMIT_FSIZE), which Windows lacks";
#else
    WriteFile(Archive(), kPrevious);
    std::string message;
    {
        const test::FileSizeLimit limit(100000);
        message = Build();
    }
    EXPECT_EQ(message, "Stream write error: cannot write " + Archive() + ": file too large");
    ExpectNothingChanged(kPrevious);
#endif
}

// Through the write buffer, and from a mapping of the source (1 MiB and more).
INSTANTIATE_TEST_SUITE_P(Sizes, WriteFailure, testing::Values(150000, 600000, 3 << 20));

} // namespace
} // namespace morvane
