#include "archive/ArchiveWriter.h"
#include "CaseName.h"

#include "TestFiles.h"
#include "platform/Errors.h"
#include "platform/FileMapping.h"
#include "platform/FileStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <filesystem>
#include <vector>

namespace morvane {
namespace {

using test::PrintTo;

using test::PatternBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

// Copies sources of the given sizes, one after the other, into an archive whose first `start`
// bytes were written before the writer took over, as the header is in a build.
struct CopyCase
{
    const char *name;
    std::size_t start;
    std::vector<std::size_t> sizes;
};

class ArchiveWriterCopy : public testing::TestWithParam<CopyCase>
{
protected:
    TempDir dir;
};

TEST_P(ArchiveWriterCopy, StoresEveryByteInOrder)
{
    const CopyCase &c = GetParam();
    std::string expected = PatternBytes(c.start, 99);
    {
        FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
        archive.WriteBuffer(expected.data(), expected.size());
        ArchiveWriter writer(archive, static_cast<std::int64_t>(c.start));
        unsigned seed = 1;
        for (const std::size_t size : c.sizes) {
            const std::string bytes = PatternBytes(size, seed++);
            WriteFile(dir / "source", bytes);
            FileStream source(dir / "source", OpenMode::ReadExclusive);
            EXPECT_EQ(writer.CopyFrom(source, size, nullptr), size);
            expected += bytes;
            writer.Append("|", 1);
            expected += '|';
            EXPECT_EQ(writer.Position(), static_cast<std::int64_t>(expected.size()));
        }
        writer.Flush();
    }
    EXPECT_EQ(ReadFile(dir / "out.POD"), expected);
}

// Around the 256 KiB buffer, the 1 MiB from which sources are mapped and the 4 MiB window.
INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveWriterCopy,
    testing::Values(CopyCase {"small_after_a_header", 288, {0, 1, 4096, 4097, 256 * kKiB - 288 - 3}},
                    CopyCase {"across_buffer_boundaries", 288, {256 * kKiB, 256 * kKiB + 1, 600 * kKiB}},
                    CopyCase {"just_below_and_at_the_mapped_size", 288, {kMiB - 1, kMiB, 100}},
                    CopyCase {"mapped_across_windows", 288, {4 * kMiB + 4097, 3, 9 * kMiB + 123}},
                    CopyCase {"mapped_from_an_aligned_start", 0, {kMiB, 2 * kMiB}},
                    CopyCase {"mapped_after_buffered_bytes", 256 * kKiB - 1, {10, kMiB + 5, 7}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ArchiveWriter, AppendsBlocksLargerThanItsBuffer)
{
    TempDir dir;
    const std::string block = PatternBytes(700 * kKiB, 5);
    {
        FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
        archive.WriteBuffer("head", 4);
        ArchiveWriter writer(archive, 4);
        writer.Append(block);
        writer.Append(block.data(), 3);
        EXPECT_EQ(writer.Position(), static_cast<std::int64_t>(4 + block.size() + 3));
        writer.Flush();
    }
    EXPECT_EQ(ReadFile(dir / "out.POD"), "head" + block + block.substr(0, 3));
}

// A source that is shorter than the size taken when it was opened, as when another program cuts
// it while it is copied: the copy fails naming it, whichever way it is copied.
struct ShrinkCase
{
    const char *name;
    std::size_t size;
    std::size_t actual;
};

class ArchiveWriterShrunkSource : public testing::TestWithParam<ShrinkCase>
{
};

TEST_P(ArchiveWriterShrunkSource, FailsNamingTheSourceAndKeepsOnlyItsRealBytes)
{
#ifdef _WIN32
    GTEST_SKIP() << "a source is open to nobody else during the build on Windows, so it cannot shrink";
#endif
    const ShrinkCase &c = GetParam();
    TempDir dir;
    WriteFile(dir / "source", PatternBytes(c.actual));
    FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
    FileStream source(dir / "source", OpenMode::ReadExclusive);
    ArchiveWriter writer(archive, 0);
    try {
        writer.CopyFrom(source, c.size, nullptr);
        FAIL() << "the copy of a source shorter than its size succeeded";
    } catch (const Error &error) {
        const std::string message = error.what();
        EXPECT_EQ(message,
                  "Stream read error: " + (dir / "source")
                      + " ended before its size was reached (it changed while it was copied)");
    }
    // No filler from the pages past the source's end: the archive holds its bytes and no more.
    writer.FlushQuietly();
    EXPECT_EQ(writer.Position(), static_cast<std::int64_t>(c.actual));
    EXPECT_TRUE(ReadFile(dir / "out.POD") == PatternBytes(c.actual))
        << "archive of " << std::filesystem::file_size(dir / "out.POD") << " bytes";
}

// A source cut short while it is copied, between two windows of its mapping.
TEST(ArchiveWriterCutShortSource, LeavesExactlyTheBytesCopiedBeforeTheFailure)
{
#ifdef _WIN32
    GTEST_SKIP() << "a source is open to nobody else during the build on Windows, so it cannot shrink";
#endif
    TempDir dir;
    const std::string sourcePath = dir / "source";
    WriteFile(sourcePath, PatternBytes(12 * kMiB));
    const std::size_t remaining = 4 * kMiB + 1000;
    FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
    FileStream source(sourcePath, OpenMode::ReadExclusive);
    ArchiveWriter writer(archive, 0);
    bool cut = false;
    EXPECT_THROW(writer.CopyFrom(source, 12 * kMiB,
                                 [&](std::int64_t) {
                                     if (!cut)
                                         std::filesystem::resize_file(sourcePath, remaining);
                                     cut = true;
                                 }),
                 Error);
    writer.FlushQuietly();
    EXPECT_TRUE(ReadFile(dir / "out.POD") == PatternBytes(12 * kMiB).substr(0, remaining))
        << "archive of " << std::filesystem::file_size(dir / "out.POD") << " bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveWriterShrunkSource,
    testing::Values(ShrinkCase {"buffered", 10000, 5000}, ShrinkCase {"buffered_empty", 700 * kKiB, 0},
                    ShrinkCase {"mapped_by_half", 3 * kMiB, 3 * kMiB / 2},
                    ShrinkCase {"mapped_within_its_last_page", 2 * kMiB + 100, 2 * kMiB + 50},
                    ShrinkCase {"mapped_in_a_later_window", 9 * kMiB, 4 * kMiB + 1}),
    [](const auto &info) { return std::string(info.param.name); });

// An archive that refuses writes (here: opened read-only) fails as a full disk does.
class ArchiveWriterRefusedWrite : public testing::TestWithParam<std::size_t>
{
};

TEST_P(ArchiveWriterRefusedWrite, IsAStreamWriteError)
{
    TempDir dir;
    WriteFile(dir / "out.POD", "");
    WriteFile(dir / "source", PatternBytes(GetParam()));
    FileStream archive(dir / "out.POD", OpenMode::ReadShared);
    FileStream source(dir / "source", OpenMode::ReadExclusive);
    ArchiveWriter writer(archive, 0);
    try {
        writer.CopyFrom(source, GetParam(), nullptr);
        writer.Flush();
        FAIL() << "a write to a read-only archive succeeded";
    } catch (const Error &error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind(std::string(kStreamWriteError) + ": cannot write " + (dir / "out.POD") + ": ", 0), 0u)
            << message;
    }
}

// Through the buffer, and from a mapping.
INSTANTIATE_TEST_SUITE_P(Sizes, ArchiveWriterRefusedWrite, testing::Values(1000, 3 * kMiB));

// Blocks reserved ahead of the writes must not outlive the writer, whether the copy succeeded or
// its source turned out shorter than its size.
struct ReservationCase
{
    const char *name;
    std::size_t size;
    std::size_t actual;
};

class ArchiveWriterReservation : public testing::TestWithParam<ReservationCase>
{
};

TEST_P(ArchiveWriterReservation, EndsAtTheArchivesEnd)
{
    const ReservationCase &c = GetParam();
    TempDir dir;
    WriteFile(dir / "source", PatternBytes(c.actual));
    FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
    {
        FileStream source(dir / "source", OpenMode::ReadExclusive);
        ArchiveWriter writer(archive, 0);
        try {
            writer.CopyFrom(source, c.size, nullptr);
            writer.Flush();
        } catch (const Error &) {
            writer.FlushQuietly();
        }
    }
    const auto status = archive.Status();
    ASSERT_TRUE(status);
    // A block or two of file-system bookkeeping may come on top, never the reservation itself.
    EXPECT_LE(status->allocated, status->size + static_cast<std::int64_t>(64 * kKiB))
        << "size " << status->size;
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveWriterReservation,
                         testing::Values(ReservationCase {"buffered", 300 * kKiB, 300 * kKiB},
                                         ReservationCase {"mapped", 3 * kMiB, 3 * kMiB},
                                         ReservationCase {"shrunk_source", 3 * kMiB, kMiB / 2}),
                         [](const auto &info) { return std::string(info.param.name); });

// A build killed by a signal keeps what was reserved: the reservation stays a few MiB ahead of
// the writes, even for a large source.
TEST(ArchiveWriterReservationAhead, StaysCloseToWhatWasWritten)
{
    TempDir dir;
    WriteFile(dir / "source", PatternBytes(40 * kMiB));
    FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
    FileStream source(dir / "source", OpenMode::ReadExclusive);
    ArchiveWriter writer(archive, 288);
    std::uint64_t worstAhead = 0;
    writer.CopyFrom(source, 40 * kMiB, [&](std::int64_t position) {
        const auto status = archive.Status();
        ASSERT_TRUE(status);
        const auto allocated = static_cast<std::uint64_t>(status->allocated);
        const auto written = static_cast<std::uint64_t>(position);
        worstAhead = std::max(worstAhead, allocated > written ? allocated - written : 0);
    });
    EXPECT_LE(worstAhead, 9 * kMiB);
}

struct ProgressCase
{
    const char *name;
    std::size_t size;
    bool reported;
};

class ArchiveWriterProgress : public testing::TestWithParam<ProgressCase>
{
};

TEST_P(ArchiveWriterProgress, IsReportedWhileLargeSourcesAreCopied)
{
    const ProgressCase &c = GetParam();
    TempDir dir;
    WriteFile(dir / "source", PatternBytes(c.size));
    FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
    FileStream source(dir / "source", OpenMode::ReadExclusive);
    ArchiveWriter writer(archive, 288);
    std::vector<std::int64_t> positions;
    writer.CopyFrom(source, c.size, [&](std::int64_t position) { positions.push_back(position); });
    if (!c.reported) {
        EXPECT_TRUE(positions.empty());
        return;
    }
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions.front(), 288);
    EXPECT_LE(positions.back(), writer.Position());
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveWriterProgress,
                         testing::Values(ProgressCase {"small", 200 * kKiB, false},
                                         ProgressCase {"buffered", 700 * kKiB, true},
                                         ProgressCase {"mapped", 9 * kMiB, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// A source whose pages from a given offset on cannot be read, as a failing disk gives them to a
// mapping (EIO): the copy stops with the file named and the cause, never retries for ever.
class UnreadableFromSource : public FileStream
{
public:
    UnreadableFromSource(const std::string &path, std::uint64_t unreadableFrom)
        : FileStream(path, OpenMode::ReadExclusive)
        , unreadableFrom_(unreadableFrom)
    {
    }
    std::unique_ptr<MappedWindow> Map(std::uint64_t offset, std::size_t length) const override
    {
        ++maps;
        if (offset + length > unreadableFrom_)
            return std::make_unique<MappedWindow>(EIO);
        return FileStream::Map(offset, length);
    }
    mutable int maps = 0;

private:
    std::uint64_t unreadableFrom_;
};

class ArchiveWriterUnreadableSource : public testing::TestWithParam<std::size_t>
{
};

TEST_P(ArchiveWriterUnreadableSource, FailsWithAStreamReadErrorNamingTheFile)
{
    TempDir dir;
    WriteFile(dir / "source", PatternBytes(10 * kMiB));
    FileStream archive(dir / "out.POD", OpenMode::CreateExclusive);
    UnreadableFromSource source(dir / "source", GetParam());
    ArchiveWriter writer(archive, 0);
    try {
        writer.CopyFrom(source, 10 * kMiB, nullptr);
        FAIL() << "a source the disk cannot read was copied";
    } catch (const Error &error) {
        EXPECT_EQ(std::string(error.what()),
                  "Stream read error: cannot read " + (dir / "source") + ": " + FileStream::ErrorText(EIO));
    }
    // One failed window ends it.
    EXPECT_LE(source.maps, 3);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ArchiveWriterUnreadableSource, testing::Values(0u, 5 * kMiB),
                         [](const auto &info) { return info.param == 0 ? std::string("FirstBlock") : std::string("Later"); });

} // namespace
} // namespace morvane
