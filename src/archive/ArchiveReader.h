#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvane {

class FileStream;
struct TPODHeader;

// The archive layouts the reader knows: the family's seven members. Only POD3 is written.
enum class ArchiveLayout : std::uint8_t { POD3, POD1, POD2, POD4, POD5, POD6, EPD };

// How an archive's entry times are encoded; decided once per archive from all its entries.
enum class TimeEncoding : std::uint8_t {
    DosPlusBias, // this program's: an MS-DOS local date and time plus 0x102A5543
    UnixSeconds, // other writers': seconds since 1970-01-01 UTC
    None, // the layout stores no times
};

// A checksum as stored and, once the bytes it covers were read, whether it matches them.
enum class ChecksumState : std::uint8_t {
    Absent, // stored as 0: nothing to check
    NotChecked,
    Matches,
    DoesNotMatch,
    NotJudged, // stored by a layout whose checksum algorithm is not known for sure: shown only
};

enum class Compression : std::uint8_t {
    None,
    Deflate, // raw or in the zlib wrapper; inflated to OriginalSize
};

// Which bytes an entry's checksum was found to cover: writers of compressed layouts disagree.
enum class EntryChecksumCover : std::uint8_t { Unknown, StoredBytes, OriginalBytes };

// One stored file as the directory and the names block describe it. 48 bytes, so that a million
// entries cost 48 MB beside the names.
struct ArchiveEntry
{
    std::string_view name; // the stored bytes (Windows-1252, backslash-separated), kept by the reader
    std::uint32_t index = 0; // position in the directory, from 0
    std::uint32_t dataOffset = 0;
    std::uint32_t storedSize = 0; // bytes in the archive
    std::uint32_t originalSize = 0; // bytes once extracted; the stored size when not compressed
    std::uint32_t time = 0; // as stored; its meaning is the archive's TimeEncoding
    std::uint32_t checksum = 0; // as stored, of the stored bytes
    ChecksumState check = ChecksumState::Absent;
    Compression compressed = Compression::None;
    EntryChecksumCover cover = EntryChecksumCover::Unknown; // once checked and matching
};

// Which bytes the directory checksum was found to cover: writers disagree whether it takes the
// names block too, and either is accepted.
enum class DirectoryChecksumCover : std::uint8_t { Unknown, Directory, DirectoryAndNames };

// The header as a layout has it: the texts and numbers it holds (those it lacks stay empty), and
// what the reader learnt of the archive as a whole.
struct ArchiveHeader
{
    ArchiveLayout layout = ArchiveLayout::POD3;
    std::string description; // stored bytes (Windows-1252)
    std::string author;
    std::string copyright;
    std::optional<std::string> nextArchive;
    std::optional<std::int32_t> version;
    std::optional<std::int32_t> priority;
    std::uint32_t entryCount = 0;
    std::uint64_t totalSize = 0; // the entries' original sizes added up (readable archives only)
    TimeEncoding times = TimeEncoding::DosPlusBias;
    std::uint32_t dependencyRecords = 0;
    std::uint32_t auditRecords = 0;
    ChecksumState headerCheck = ChecksumState::Absent;
    ChecksumState directoryCheck = ChecksumState::Absent;
    DirectoryChecksumCover directoryCover = DirectoryChecksumCover::Unknown;
    ChecksumState dependencyCheck = ChecksumState::Absent;
    ChecksumState auditCheck = ChecksumState::Absent;
    // The stored header checksum of a layout whose algorithm is not known for sure (EPD), shown
    // with HeaderCheck NotJudged.
    std::uint32_t unjudgedHeaderChecksum = 0;
    // Whether the layout has author and copyright texts (POD3, POD4, POD5).
    bool hasAuthorAndCopyright = true;
    bool hasDescription = true; // all but POD6
    std::uint64_t compressedEntries = 0;
};

// How far the reader looks into a damaged archive.
enum class ArchiveCheck {
    Complete, // every problem is counted, as a verification needs
    UntilUnreadable, // reading stops at the first problem that keeps the entries from being read
};

// What a problem means for whoever uses the archive.
enum class ProblemSeverity : std::uint8_t {
    // Reading is unsafe or ambiguous, or the bytes are not what was stored: nothing is extracted
    // from such an archive, and verify fails.
    Damage,
    // A sound archive laid out otherwise than this program writes it: a note, unless verify is
    // asked for this program's exact layout (--strict).
    Difference,
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
        // Found in archives of other writers.
        RecordsRunPastEnd, // Values: which records (0 dependency, 1 audit), count, end, file size
        DataOverlaps, // Values: size, offset, the other entry's index
        HeaderChecksumWrong,
        DirectoryChecksumWrong,
        DependencyChecksumWrong,
        AuditChecksumWrong,
        EntryChecksumWrong,
        UnixTimes,
        TimeInNeitherEncoding,
        EntriesWithoutChecksum, // Values: how many, out of how many
        DependencyRecordsPresent,
        AuditRecordsPresent,
        RecordsEndBeforeFileEnd,
        // Found in the family's other layouts.
        OtherLayout, // a layout this program reads but does not write
        DataOutsideFile, // Values: size, offset, where the contents may start
        DataOverlapsRegion, // Values: size, offset, which region (see regionName)
        SizesDisagree, // Values: stored size, original size (not compressed)
        StreamCorrupt, // Values: bytes given before, original size
        StreamTooLong, // Values: original size
        StreamTooShort, // Values: bytes given, original size
    };
    static constexpr std::size_t kKinds = static_cast<std::size_t>(Kind::StreamTooShort) + 1;

    Kind what = Kind::BadSignature;
    ProblemSeverity severity = ProblemSeverity::Damage;
    bool blocking = false; // the entries cannot be read at all
    std::optional<std::uint32_t> entry; // the entry it concerns, from 0
    std::uint32_t nameOffset = 0; // that entry's
    std::uint64_t values[3] = {};
};

// Follows a pass over every entry's data (the checksum check): progress and cancellation.
class DataCheckObserver
{
public:
    virtual ~DataCheckObserver() = default;
    // Now and then: the stored bytes read so far, out of all those that carry a checksum.
    virtual void Progress(std::uint64_t /*bytesDone*/, std::uint64_t /*bytesTotal*/) { }
    // Asked between chunks; true stops the check, which then counts as not done.
    virtual bool Cancelled() { return false; }
};

// Reads an archive of any layout of the family (POD3 as this program or any other writer lays it
// out; POD1, POD2, POD4, POD5, POD6 and EPD as their descriptions in ArchiveLayouts say), told by
// its signature, without trusting it. The archive is seen as regions (header, entries' data, directory, names,
// dependency and audit records), each checked against the file's real length before it is read
// and all checked for overlap in one place. Every problem is recorded with the archive's path
// and, where it concerns one, the entry, and with its severity: damage, or a difference from the
// way this program writes. Memory stays within a small multiple of the file's size: one copy of
// the names block, a compact record per entry (only for a readable archive) and at most
// kKeptProblems problems of each severity; time grows linearly with the file's size (n log n for
// data stored out of directory order).
class ArchiveReader
{
public:
    // Problems beyond this number are counted but not kept.
    static constexpr std::size_t kKeptProblems = 100;

    // Opens the file read-only (others may read and edit it meanwhile; a build holding it is
    // refused) and reads its header, directory, names and records, checking every checksum but
    // the entries' (see CheckData()). Throws Error only when it cannot be opened; a damaged
    // archive is described by Problems().
    explicit ArchiveReader(const std::string &path, ArchiveCheck check = ArchiveCheck::Complete);
    // The same on a file already open (its Path() names it in messages).
    explicit ArchiveReader(std::unique_ptr<FileStream> file, ArchiveCheck check = ArchiveCheck::Complete);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    const std::string &Path() const { return path_; }
    std::int64_t FileSize() const { return fileSize_; }
    // As the header states it; 0 when there is no readable header.
    std::uint32_t EntryCount() const { return header_.entryCount; }
    const ArchiveHeader &Header() const { return header_; }

    // The first kKeptProblems problems found, one message each ("<archive>: <what>"), in the order
    // found, damage and differences alike: what a check of this program's exact layout reports.
    // Empty for an archive exactly as this program writes it. Like every message of the reader
    // they are UTF-8: stored names are decoded from Windows-1252, and nothing is left out or
    // replaced, so whoever shows them makes them printable for where they go.
    std::vector<std::string> Problems() const;
    // Every problem found, kept or not.
    std::uint64_t ProblemCount() const { return counts_[0] + counts_[1]; }
    // "3 problems found".
    std::string ProblemTotal() const;

    // The damage alone, as Problems() gives it, and its count. An archive without damage is
    // sound: it is listed, verified and extracted whoever wrote it.
    std::vector<std::string> Damage() const;
    std::uint64_t DamageCount() const { return counts_[0]; }
    std::string DamageTotal() const;
    // The differences, one message per kind ("<archive>: <what>", then " (and N more like it)").
    std::vector<std::string> Notes() const;
    std::uint64_t DifferenceCount() const { return counts_[1]; }

    // Whether every entry's name and data can be found safely (other problems may remain).
    bool Readable() const { return !firstBlocking_.has_value(); }
    // What keeps the entries from being read, when something does: a window tells "this is no
    // archive at all" (a foreign signature, an empty file) from a damaged archive by it.
    std::optional<ArchiveProblem::Kind> BlockingKind() const
    {
        return firstBlocking_ ? std::optional(firstBlocking_->what) : std::nullopt;
    }

    // The entries in directory order. Throws Error with the first problem that keeps them from
    // being read when the archive is not Readable().
    const std::vector<ArchiveEntry> &Entries() const;

    // Reads the data of every entry that carries a checksum or is compressed: compares the
    // checksums, setting each entry's Check (and Cover), and inflates the compressed ones,
    // bounded by their original size; records a damage problem for each checksum that does not
    // match and each stream that does not inflate to its original size. Done once;
    // returns false when cancelled (nothing is then recorded, and it may be asked again).
    // Throws Error as Entries() does, and Error("Stream read error") naming the archive and the
    // entry when the bytes cannot be read.
    bool CheckData(DataCheckObserver *observer = nullptr);
    bool DataChecked() const { return dataChecked_; }
    // Asks the next CheckData() to keep what it inflates of the compressed entries that wanted
    // marks (by index), as long as they fit in budget bytes together, so that ReadContents()
    // passes them on from memory instead of inflating them a second time. Each kept copy is
    // given up as it is read.
    void KeepInflated(std::vector<bool> wanted, std::uint64_t budget);
    // Gives up what was kept and asks nothing more to be kept, so that a reader that lives on
    // (in a window) holds no copy that was not read.
    void DropKeptContents();

    // Passes the entry's stored bytes to sink, in order, a chunk at a time. Throws
    // Error("Stream read error") when they cannot all be read (the message names neither the
    // archive nor the entry; the caller knows both).
    void ReadData(const ArchiveEntry &entry, const std::function<void(const char *, std::size_t)> &sink);
    // Passes the entry's contents as extracted: its stored bytes, or for a compressed entry the
    // bytes they inflate to, never more than its OriginalSize. Throws InflateError when the
    // stream is corrupt or does not give exactly OriginalSize, and Error as ReadData does.
    void ReadContents(const ArchiveEntry &entry, const std::function<void(const char *, std::size_t)> &sink);

    // The entry's time as a file time (seconds since the epoch) in the archive's encoding; nullopt
    // when its value decodes to none.
    std::optional<std::int64_t> FileTimeOf(const ArchiveEntry &entry) const;
    // "2010-03-15 08:30:00" in local time; "unknown", or for this program's encoding the value
    // that is not a date ("invalid (0x........)").
    std::string FormatTime(const ArchiveEntry &entry) const;

    // "entry 3 (SUB\FILE.BIN)", the name decoded and shortened when long, for messages.
    std::string EntryLabel(const ArchiveEntry &entry) const;

private:
    struct Layout;
    class DirectoryCursor;
    struct FixedRegion
    {
        std::uint64_t start;
        std::uint64_t size;
        std::uint32_t what; // 0 header, 1 directory, 2 names, 3 dependency, 4 audit records
    };

    void read(ArchiveCheck check);
    void readPod3(ArchiveCheck check, const std::vector<std::uint8_t> &start);
    void readOtherLayout(ArchiveLayout layout, ArchiveCheck check);
    bool isPod1(const std::vector<std::uint8_t> &start);
    void checkEntries(Layout &layout, ArchiveCheck check, std::uint32_t directoryCrc);
    void collectEntries(const Layout &layout);
    // The checksum at 268 of POD3, POD4 and POD5, given the directory's own.
    void checkDirectoryChecksum(std::uint32_t stored, std::uint32_t directoryAlone);
    void checkRecords(Layout &layout, const TPODHeader &header);
    void checkOverlaps(const std::vector<FixedRegion> &fixed, bool dataMayMeetThem);
    std::optional<std::string_view> nameAt(std::uint32_t offset) const;
    void add(const ArchiveProblem &problem);
    std::string describe(const ArchiveProblem &problem) const;
    std::string entryLabel(std::uint32_t index, std::uint32_t nameOffset) const;
    std::uint32_t crcOfFileBytes(std::uint64_t at, std::uint64_t size);
    // Reads a block from at; returns whether it holds the wanted bytes (or a block's worth).
    bool fillReadAhead(std::int64_t at, std::uint32_t wanted);
    void readAlone(std::int64_t at, std::uint32_t left,
                   const std::function<void(const char *, std::size_t)> &sink);

    std::string path_;
    std::unique_ptr<FileStream> file_;
    std::int64_t fileSize_ = 0;
    ArchiveHeader header_;
    std::vector<char> names_;
    // Where each zero byte of the names block lies, so that finding where a name ends never
    // scans the block again.
    std::vector<std::uint32_t> nameEnds_;
    std::vector<ArchiveEntry> entries_;
    // Kept problems with the order they were found in, per severity.
    std::vector<std::pair<std::uint64_t, ArchiveProblem>> kept_[2];
    std::uint64_t counts_[2] = {};
    // The first difference of each kind and how many there were, for the notes.
    std::array<std::optional<ArchiveProblem>, ArchiveProblem::kKinds> firstOfKind_;
    std::array<std::uint64_t, ArchiveProblem::kKinds> countOfKind_ {};
    std::optional<ArchiveProblem> firstBlocking_;
    bool dataChecked_ = false;
    std::vector<bool> keepWanted_;
    std::uint64_t keepBudget_ = 0;
    std::unordered_map<std::uint32_t, std::string> keptContents_;
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
