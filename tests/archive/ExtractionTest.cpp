#include "archive/Extraction.h"
#include "CaseName.h"

#include "CraftedArchive.h"
#include "EntryContents.h"
#include "FolderContents.h"
#include "TestFiles.h"
#include "UnreadableBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::CraftArchive;
using test::CraftedEntry;
using test::PrintTo;
using test::TempDir;

// Records what the engine tells it, and checks that it is told on the thread that runs the
// extraction.
class Recorder : public ExtractionObserver
{
public:
    void Progress(const ExtractionProgress &progress) override
    {
        onCaller();
        told.push_back(progress);
    }
    bool Cancelled() override
    {
        onCaller();
        return cancelWhen && cancelWhen(*this);
    }
    ExistingFileAnswer ExistingFile(const ArchiveEntry &entry, const std::string &shownPath) override
    {
        onCaller();
        asked.emplace_back(entry.index, shownPath);
        return answer;
    }
    void EntryDone(const ArchiveEntry &entry, const EntryOutcome &outcome) override
    {
        onCaller();
        done.emplace_back(entry.index, outcome);
    }

    // The outcome of the entry at index, which must have been told once.
    const EntryOutcome &OutcomeOf(std::uint32_t index) const
    {
        static const EntryOutcome kNone {EntryOutcome::Kind::Failed, "no outcome told"};
        const EntryOutcome *found = &kNone;
        int times = 0;
        for (const auto &[at, outcome] : done)
            if (at == index && ++times == 1)
                found = &outcome;
        EXPECT_EQ(times, 1) << "entry " << index;
        return *found;
    }

    std::function<bool(const Recorder &)> cancelWhen;
    ExistingFileAnswer answer = ExistingFileAnswer::Skip;
    std::vector<std::pair<std::uint32_t, std::string>> asked;
    std::vector<std::pair<std::uint32_t, EntryOutcome>> done;
    std::vector<ExtractionProgress> told;
    bool calledOnAnotherThread = false;

private:
    void onCaller()
    {
        if (std::this_thread::get_id() != caller_)
            calledOnAnotherThread = true;
    }

    const std::thread::id caller_ = std::this_thread::get_id();
};

// Entries named "f<i>" in folders "d<i % 7>", each holding bytes of its own; enough of them
// (kMany) to be written by the helper threads.
constexpr int kFew = 10;
constexpr int kMany = 300;

std::vector<CraftedEntry> numberedEntries(int count)
{
    std::vector<CraftedEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back(
            {"d" + std::to_string(i % 7) + "\\f" + std::to_string(i),
             test::PatternBytes(static_cast<std::size_t>(1 + i * 37 % 3000), static_cast<unsigned>(i))});
    return entries;
}

std::string relativeName(const CraftedEntry &entry)
{
    std::string name = entry.name;
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

class Extraction : public testing::Test
{
protected:
    // Writes the archive; the reader sees the bytes from begin to end as unreadable.
    std::unique_ptr<ArchiveReader> Open(const std::vector<CraftedEntry> &entries, std::uint64_t begin = 0,
                                        std::uint64_t end = 0)
    {
        entries_ = entries;
        test::WriteFile(archive, CraftArchive(entries));
        return std::make_unique<ArchiveReader>(
            std::make_unique<test::FileWithUnreadableBytes>(archive, begin, end));
    }

    ExtractionSummary Extract(ArchiveReader &reader, Recorder &recorder, bool overwrite = false)
    {
        ExtractionOptions options;
        options.overwrite = overwrite;
        const ExtractionSummary summary
            = ExtractEntries(reader, out.string(), AllEntries(reader), options, recorder);
        EXPECT_FALSE(recorder.calledOnAnotherThread) << "the observer was called on a writer thread";
        return summary;
    }

    // Every file below the output folder with its contents; a file left half-written, or a
    // temporary one, shows here.
    std::map<std::string, std::string> Files() const
    {
        return fs::exists(out) ? test::FilesBelow(out) : std::map<std::string, std::string> {};
    }

    // The files the entries told as written must have, and nothing else.
    std::map<std::string, std::string> WrittenAsTold(const Recorder &recorder) const
    {
        std::map<std::string, std::string> expected;
        for (const auto &[index, outcome] : recorder.done)
            if (outcome.what == EntryOutcome::Kind::Written)
                expected[relativeName(entries_[index])] = entries_[index].data;
        return expected;
    }

    // Where entry index's data starts in the archive.
    std::uint64_t DataOffsetOf(std::size_t index) const
    {
        std::uint64_t offset = 288;
        for (std::size_t i = 0; i < index; ++i)
            offset += entries_[i].data.size();
        return offset;
    }

    TempDir dir;
    const std::string archive = dir / "a.POD";
    const fs::path out = dir.Path() / "out";
    std::vector<CraftedEntry> entries_;
};

class ExtractionOfCount : public Extraction, public testing::WithParamInterface<int>
{
};

// Each kind of outcome, told once per entry and in the archive's order, whether the files are
// written on this thread or by the helpers; the progress ends at the totals.
TEST_P(ExtractionOfCount, TellsEachEntrysOutcomeInOrder)
{
    std::vector<CraftedEntry> entries = numberedEntries(GetParam());
    entries[2] = {"..\\evil", "no"};
    entries[4] = {"kept.txt", "new"};
    fs::create_directories(out);
    test::WriteFile((out / "kept.txt").string(), "old");
    Open(entries); // for the offsets
    // The bytes of entry 6 cannot be read, its neighbours' can.
    const auto reader = Open(entries, DataOffsetOf(6) + 1, DataOffsetOf(7) - 1);
    Recorder recorder;
    const ExtractionSummary summary = Extract(*reader, recorder);

    ASSERT_EQ(recorder.done.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(recorder.done[i].first, i) << "told out of order";
    EXPECT_EQ(recorder.OutcomeOf(2).what, EntryOutcome::Kind::Refused);
    EXPECT_EQ(recorder.OutcomeOf(2).reason, "its name has a '..' component");
    EXPECT_EQ(recorder.OutcomeOf(4).what, EntryOutcome::Kind::Kept);
    EXPECT_EQ(recorder.OutcomeOf(4).reason, test::Utf8Of(out / "kept.txt") + " exists and was kept");
    EXPECT_EQ(recorder.OutcomeOf(6).what, EntryOutcome::Kind::Failed);
    EXPECT_EQ(recorder.OutcomeOf(6).reason, "Stream read error");
    EXPECT_EQ(summary.written, entries.size() - 3);
    EXPECT_EQ(summary.refused, 1u);
    EXPECT_EQ(summary.kept, 1u);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_FALSE(summary.cancelled);

    std::map<std::string, std::string> expected = WrittenAsTold(recorder);
    expected["kept.txt"] = "old";
    EXPECT_EQ(Files(), expected);

    ASSERT_FALSE(recorder.told.empty());
    std::uint64_t total = 0;
    for (const CraftedEntry &entry : entries)
        total += entry.data.size();
    for (std::size_t i = 1; i < recorder.told.size(); ++i)
        EXPECT_GE(recorder.told[i].bytesDone, recorder.told[i - 1].bytesDone);
    const ExtractionProgress &last = recorder.told.back();
    EXPECT_EQ(last.filesDone, entries.size());
    EXPECT_EQ(last.filesTotal, entries.size());
    EXPECT_EQ(last.bytesDone, total);
    EXPECT_EQ(last.bytesTotal, total);
}

INSTANTIATE_TEST_SUITE_P(Counts, ExtractionOfCount, testing::Values(kFew, kMany),
                         [](const auto &info) { return info.param == kFew ? "Few" : "Many"; });

// Read in blocks of 256 KiB, many small entries share one block; a block that cannot be read
// whole is no reason to fail entries whose own bytes can be read.
TEST_F(Extraction, AnUnreadableBlockFailsOnlyTheEntriesWhoseBytesCannotBeRead)
{
    const std::vector<CraftedEntry> entries = numberedEntries(40);
    Open(entries);
    const auto reader = Open(entries, DataOffsetOf(25), DataOffsetOf(26) + 1);
    std::set<std::uint32_t> failed;
    for (const ArchiveEntry &entry : reader->Entries()) {
        try {
            EXPECT_EQ(test::ContentsOf(*reader, entry), entries[entry.index].data) << entry.index;
        } catch (const Error &error) {
            EXPECT_STREQ(error.what(), "Stream read error");
            failed.insert(entry.index);
        }
    }
    EXPECT_EQ(failed, (std::set<std::uint32_t> {25, 26}));
}

// Stopped between entries, the extraction leaves the files it told as written, each whole, and
// nothing else.
TEST_P(ExtractionOfCount, ACancellationLeavesOnlyCompleteFiles)
{
    const auto reader = Open(numberedEntries(GetParam()));
    Recorder recorder;
    const std::size_t stopAfter = static_cast<std::size_t>(GetParam()) / 3;
    recorder.cancelWhen = [&](const Recorder &r) { return r.done.size() >= stopAfter; };
    const ExtractionSummary summary = Extract(*reader, recorder);

    EXPECT_TRUE(summary.cancelled);
    EXPECT_GE(recorder.done.size(), stopAfter);
    EXPECT_LT(recorder.done.size(), static_cast<std::size_t>(GetParam()));
    EXPECT_EQ(summary.written, recorder.done.size());
    EXPECT_EQ(Files(), WrittenAsTold(recorder));
}

TEST_F(Extraction, ACancellationWithinALargeFileLeavesNoPartOfIt)
{
    const auto reader = Open({{"small.txt", "small"}, {"large.bin", test::PatternBytes(3 << 20)}});
    Recorder recorder;
    recorder.cancelWhen = [](const Recorder &r) {
        return !r.told.empty() && r.told.back().bytesDone > 5 && r.told.back().filesDone == 1;
    };
    const ExtractionSummary summary = Extract(*reader, recorder);
    EXPECT_TRUE(summary.cancelled);
    EXPECT_GT(recorder.told.back().bytesDone, 5u) << "cancelled before the large file was begun";
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(Files(), (std::map<std::string, std::string> {{"small.txt", "small"}}));
}

struct AnswerCase
{
    const char *name;
    ExistingFileAnswer answer;
    int count;
    std::string left; // what the existing file holds afterwards
    EntryOutcome::Kind outcome;
};

void PrintTo(const AnswerCase &c, std::ostream *os)
{
    *os << c.name;
}

class ExtractionAnswer : public Extraction, public testing::WithParamInterface<AnswerCase>
{
};

// The user is asked about an existing file on the extraction's own thread, in its turn, also when
// a helper met the file.
TEST_P(ExtractionAnswer, DecidesWhatBecomesOfAnExistingFile)
{
    const AnswerCase &c = GetParam();
    std::vector<CraftedEntry> entries = numberedEntries(c.count);
    entries[5] = {"x.txt", "new"};
    fs::create_directories(out);
    test::WriteFile((out / "x.txt").string(), "old");
    const auto reader = Open(entries);
    Recorder recorder;
    recorder.answer = c.answer;
    const ExtractionSummary summary = Extract(*reader, recorder);

    ASSERT_EQ(recorder.asked.size(), 1u);
    EXPECT_EQ(recorder.asked[0], std::make_pair(std::uint32_t {5}, test::Utf8Of(out / "x.txt")));
    EXPECT_EQ(recorder.OutcomeOf(5).what, c.outcome);
    EXPECT_EQ(test::ReadFile((out / "x.txt").string()), c.left);
    EXPECT_EQ(summary.cancelled, c.answer == ExistingFileAnswer::Cancel);
    if (c.answer != ExistingFileAnswer::Cancel) {
        EXPECT_EQ(recorder.done.size(), entries.size());
    }
    std::map<std::string, std::string> expected = WrittenAsTold(recorder);
    expected["x.txt"] = c.left;
    EXPECT_EQ(Files(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExtractionAnswer,
    testing::Values(
        AnswerCase {"OverwriteFew", ExistingFileAnswer::Overwrite, kFew, "new", EntryOutcome::Kind::Written},
        AnswerCase {"OverwriteMany", ExistingFileAnswer::Overwrite, kMany, "new",
                    EntryOutcome::Kind::Written},
        AnswerCase {"SkipFew", ExistingFileAnswer::Skip, kFew, "old", EntryOutcome::Kind::Kept},
        AnswerCase {"SkipMany", ExistingFileAnswer::Skip, kMany, "old", EntryOutcome::Kind::Kept},
        AnswerCase {"CancelFew", ExistingFileAnswer::Cancel, kFew, "old", EntryOutcome::Kind::Kept},
        AnswerCase {"CancelMany", ExistingFileAnswer::Cancel, kMany, "old", EntryOutcome::Kind::Kept}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Extraction, WithOverwriteNobodyIsAsked)
{
    fs::create_directories(out);
    test::WriteFile((out / "x.txt").string(), "old");
    const auto reader = Open({{"x.txt", "new"}});
    Recorder recorder;
    Extract(*reader, recorder, true);
    EXPECT_TRUE(recorder.asked.empty());
    EXPECT_EQ(Files(), (std::map<std::string, std::string> {{"x.txt", "new"}}));
}

// The file is written under a short name of its own before it takes its real name, so a name as
// long as the file system allows is written (a path past the 260 characters of Windows included).
TEST_F(Extraction, ANameOf240CharactersIsWritten)
{
    const std::string name(240, 'n');
    const auto reader = Open({{"sub\\" + name, "long"}});
    Recorder recorder;
    const ExtractionSummary summary = Extract(*reader, recorder);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].second.reason, "");
    EXPECT_EQ(summary.written, 1u);
    EXPECT_EQ(test::NamesIn(out / "sub"), std::set<std::string> {name});
#ifdef _WIN32
    // A path this long is reached, and removed, only in its long form.
    std::filesystem::remove(L"\\\\?\\" + std::filesystem::absolute(out / "sub" / name).wstring());
#else
    EXPECT_EQ(test::ReadFile(test::Utf8Of(out / "sub" / name)), "long");
#endif
}

TEST_F(Extraction, ADamagedArchiveIsRefusedBeforeAnythingIsWritten)
{
    // The only damage is a checksum that the entry's bytes do not give: found only by reading
    // them, before the first file is written.
    std::string bytes = CraftArchive({{"a.txt", "A"}});
    test::PutLE32(bytes, 289 + 16, 0x12345678);
    test::WriteFile(archive, bytes);
    ArchiveReader reader(archive);
    const std::vector<const ArchiveEntry *> selection = AllEntries(reader);
    Recorder recorder;
    try {
        ExtractEntries(reader, out.string(), selection, {}, recorder);
        FAIL() << "extracted";
    } catch (const DamagedArchive &error) {
        EXPECT_EQ(std::string(error.what()),
                  archive + " is damaged (1 problem found); nothing was extracted");
    }
    EXPECT_THROW(AllEntries(reader), DamagedArchive);
    EXPECT_FALSE(fs::exists(out));
}

} // namespace
} // namespace morvane
