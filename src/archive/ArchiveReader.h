#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class FileStream;

// One stored file as the directory and the names block describe it.
struct ArchiveEntry
{
    std::string_view Name; // the stored bytes (Windows-1252, backslash-separated), kept by the reader
    std::uint32_t Index = 0; // position in the directory, from 0
    std::uint32_t NameOffset = 0;
    std::uint32_t Size = 0;
    std::uint32_t DataOffset = 0;
    std::uint32_t Timestamp = 0; // as stored
};

// How far the reader looks into a damaged archive.
enum class ArchiveCheck {
    Complete, // every problem is counted, as a verification needs
    UntilUnreadable, // reading stops at the first problem that keeps the entries from being read
};

// One problem found in an archive, kept as numbers and turned into a message only when shown, so
// that many problems about one long name cost no more than the name.
struct ArchiveProblem
{
    enum class Kind : std::uint8_t {
        BadSignature,
        EmptyFile,
        ShortHeader,
        LeftByFailedBuild,
        BadMarker,
        DirectoryInHeader,
        DirectoryPastEnd,
        DirectoryRunsPastEnd,
        NamesRunPastEnd,
        NamesEndBeforeFileEnd,
        NameOffsetOutside,
        NameWithoutZero,
        NameNotInOrder,
        DataOutside,
        DataNotInOrder,
        BadTimestamp,
        NamesEndBeforeBlockEnd,
        DataEndsBeforeDirectory,
    };
    Kind What = Kind::BadSignature;
    bool Blocking = false;
    std::optional<std::uint32_t> Entry; // the entry it concerns, from 0
    std::uint32_t NameOffset = 0; // that entry's
    std::uint64_t Values[3] = {};
};

// Reads a POD3 archive without trusting it: every count, offset and size is checked against the
// file's real length before it is used, and every problem is recorded with the archive's path
// and, where it concerns one, the entry. Memory stays within a small multiple of the file's size:
// one copy of the names block, a compact record per entry (only for a readable archive) and at
// most kKeptProblems problems; time grows linearly with the file's size.
class ArchiveReader
{
public:
    // Problems beyond this number are counted but not kept.
    static constexpr std::size_t kKeptProblems = 100;

    // Opens the file read-only (others may read and edit it meanwhile; a build holding it is
    // refused) and reads its header, directory and names. Throws Error only when it cannot be
    // opened; a damaged archive is described by Problems().
    explicit ArchiveReader(const std::string &path, ArchiveCheck check = ArchiveCheck::Complete);
    // The same on a file already open (its Path() names it in messages).
    explicit ArchiveReader(std::unique_ptr<FileStream> file, ArchiveCheck check = ArchiveCheck::Complete);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    const std::string &Path() const { return path_; }
    std::int64_t FileSize() const { return fileSize_; }
    // As the header states it; 0 when there is no readable header.
    std::uint32_t EntryCount() const { return entryCount_; }

    // The first kKeptProblems problems found, one message each ("<archive>: <what>"), in the order
    // found. Empty for a sound archive. Like every message of the reader they are UTF-8: stored
    // names are decoded from Windows-1252, and nothing is left out or replaced, so whoever shows
    // them makes them printable for where they go.
    std::vector<std::string> Problems() const;
    // Every problem found, kept or not.
    std::uint64_t ProblemCount() const { return problemCount_; }
    // "3 problems found".
    std::string ProblemTotal() const;
    // Whether every entry's name and data can be found safely (other problems may remain).
    bool Readable() const { return !firstBlocking_.has_value(); }

    // The entries in directory order. Throws Error with the first problem that keeps them from
    // being read when the archive is not Readable().
    const std::vector<ArchiveEntry> &Entries() const;

    // Passes the entry's stored bytes to sink, in order, a chunk at a time. Throws
    // Error("Stream read error") when they cannot all be read (the message names neither the
    // archive nor the entry; the caller knows both).
    void ReadData(const ArchiveEntry &entry, const std::function<void(const char *, std::size_t)> &sink);

    // "entry 3 (SUB\FILE.BIN)", the name decoded and shortened when long, for messages.
    std::string EntryLabel(const ArchiveEntry &entry) const;

private:
    struct Layout;
    class DirectoryCursor;

    void read(ArchiveCheck check);
    void checkEntries(const Layout &layout, ArchiveCheck check);
    void collectEntries(const Layout &layout);
    std::optional<std::string_view> nameAt(std::uint32_t offset) const;
    void add(const ArchiveProblem &problem);
    std::string describe(const ArchiveProblem &problem) const;
    std::string entryLabel(std::uint32_t index, std::uint32_t nameOffset) const;
    // Reads a block from at; returns whether it holds the wanted bytes (or a block's worth).
    bool fillReadAhead(std::int64_t at, std::uint32_t wanted);
    void readAlone(std::int64_t at, std::uint32_t left,
                   const std::function<void(const char *, std::size_t)> &sink);

    std::string path_;
    std::unique_ptr<FileStream> file_;
    std::int64_t fileSize_ = 0;
    std::uint32_t entryCount_ = 0;
    std::vector<char> names_;
    // Where each zero byte of the names block lies, so that finding where a name ends never
    // scans the block again.
    std::vector<std::uint32_t> nameEnds_;
    std::vector<ArchiveEntry> entries_;
    std::vector<ArchiveProblem> problems_;
    std::uint64_t problemCount_ = 0;
    std::optional<ArchiveProblem> firstBlocking_;
    // The data of a sound archive lies in entry order, so reading it in large blocks serves many
    // small entries per system call; an entry elsewhere refills the block from its own offset.
    static constexpr std::size_t kReadAhead = 256 * 1024;
    std::vector<char> readAhead_;
    std::int64_t readAheadStart_ = 0;
    std::size_t readAheadSize_ = 0;
    // The part of the last block that could not be read: entries there are read one by one.
    std::int64_t unreadableStart_ = 0;
    std::int64_t unreadableEnd_ = 0;
};

} // namespace morvane
