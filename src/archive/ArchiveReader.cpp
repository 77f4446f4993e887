#include "archive/ArchiveReader.h"

#include "archive/ArchiveLayouts.h"
#include "archive/BoundedInflater.h"
#include "archive/Crc32Mpeg2.h"
#include "archive/LittleEndian.h"
#include "archive/PodRecords.h"
#include "archive/PodTimestamp.h"
#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "text/Cp1252.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace morvane {
namespace {

std::string hexBytes(const unsigned char *p, std::size_t n)
{
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", p[i]);
        text += byte;
    }
    return text;
}

std::string str(std::uint64_t value)
{
    return std::to_string(value);
}

} // namespace

// Where the regions after the data lie: the directory, the names right after it, then the
// dependency and the audit records.
struct ArchiveReader::Layout
{
    std::uint32_t dirOffset = 0;
    std::uint32_t namesSize = 0;
    std::uint64_t namesStart = 0;
    std::uint64_t dependencyStart = 0;
    std::uint64_t dependencyBytes = 0;
    std::uint64_t auditStart = 0;
    std::uint64_t auditBytes = 0;
    bool recordsInside = false;
    // What checkEntries learnt for collectEntries.
    TimeEncoding times = TimeEncoding::DosPlusBias;
    bool anyChecksum = false;
};

// Walks the directory a record at a time, reading it in chunks, so that a directory of any
// length costs one chunk of memory.
class ArchiveReader::DirectoryCursor
{
public:
    DirectoryCursor(FileStream &file, std::uint32_t dirOffset, std::uint32_t count)
        : file_(file)
        , next_(dirOffset)
        , left_(count)
    {
    }

    // The next record's 20 bytes, or nullptr after the last one.
    const std::uint8_t *Next()
    {
        if (at_ == chunk_.size()) {
            if (left_ == 0)
                return nullptr;
            const std::uint32_t records = std::min<std::uint32_t>(left_, kRecordsPerChunk);
            chunk_.resize(std::size_t {records} * TPODEntry::kSize);
            file_.Seek(next_);
            file_.ReadBuffer(chunk_.data(), chunk_.size());
            crc_ = Crc32Mpeg2(crc_, chunk_.data(), chunk_.size());
            next_ += chunk_.size();
            left_ -= records;
            at_ = 0;
        }
        const std::uint8_t *record = chunk_.data() + at_;
        at_ += TPODEntry::kSize;
        return record;
    }

    // The checksum of the records read so far.
    std::uint32_t Crc() const { return crc_; }

private:
    static constexpr std::uint32_t kRecordsPerChunk = 4096;

    FileStream &file_;
    std::int64_t next_ = 0;
    std::uint32_t left_ = 0;
    std::vector<std::uint8_t> chunk_;
    std::size_t at_ = 0;
    std::uint32_t crc_ = kCrc32Mpeg2Start;
};

ArchiveReader::ArchiveReader(const std::string &path, ArchiveCheck check)
    : ArchiveReader(std::make_unique<FileStream>(path, OpenMode::ReadBesideEdits), check)
{
}

ArchiveReader::ArchiveReader(std::unique_ptr<FileStream> file, ArchiveCheck check)
    : path_(file->Path())
    , file_(std::move(file))
{
    try {
        read(check);
    } catch (const Error &error) {
        // The file changed under us between taking its length and reading it.
        throw Error(path_ + ": " + error.what());
    }
}

ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::add(const ArchiveProblem &problem)
{
    const auto severity = static_cast<std::size_t>(problem.severity);
    const std::uint64_t order = ProblemCount();
    ++counts_[severity];
    if (kept_[severity].size() < kKeptProblems)
        kept_[severity].emplace_back(order, problem);
    if (problem.severity == ProblemSeverity::Difference) {
        const auto kind = static_cast<std::size_t>(problem.what);
        if (countOfKind_[kind]++ == 0)
            firstOfKind_[kind] = problem;
    }
    if (problem.blocking && !firstBlocking_)
        firstBlocking_ = problem;
}

std::vector<std::string> ArchiveReader::Problems() const
{
    // Both lists are in the order found: merged, the first kKeptProblems of all are kept.
    std::vector<std::string> messages;
    const auto &damage = kept_[0];
    const auto &differences = kept_[1];
    std::size_t d = 0, n = 0;
    while (messages.size() < kKeptProblems && (d < damage.size() || n < differences.size())) {
        const bool takeDamage
            = n == differences.size() || (d < damage.size() && damage[d].first < differences[n].first);
        messages.push_back(describe(takeDamage ? damage[d++].second : differences[n++].second));
    }
    return messages;
}

std::vector<std::string> ArchiveReader::Damage() const
{
    std::vector<std::string> messages;
    messages.reserve(kept_[0].size());
    for (const auto &[order, problem] : kept_[0])
        messages.push_back(describe(problem));
    return messages;
}

std::vector<std::string> ArchiveReader::Notes() const
{
    std::vector<std::string> notes;
    for (std::size_t kind = 0; kind < ArchiveProblem::kKinds; ++kind) {
        if (!firstOfKind_[kind])
            continue;
        std::string note = describe(*firstOfKind_[kind]);
        if (const std::uint64_t more = countOfKind_[kind] - 1; more > 0)
            note += " (and " + str(more) + " more like it)";
        notes.push_back(std::move(note));
    }
    return notes;
}

std::string ArchiveReader::ProblemTotal() const
{
    const std::uint64_t count = ProblemCount();
    return str(count) + (count == 1 ? " problem" : " problems") + " found";
}

std::string ArchiveReader::DamageTotal() const
{
    const std::uint64_t count = DamageCount();
    return str(count) + (count == 1 ? " problem" : " problems") + " found";
}

const std::vector<ArchiveEntry> &ArchiveReader::Entries() const
{
    if (firstBlocking_)
        throw Error(describe(*firstBlocking_));
    return entries_;
}

std::optional<std::string_view> ArchiveReader::nameAt(std::uint32_t offset) const
{
    const auto end = std::lower_bound(nameEnds_.begin(), nameEnds_.end(), offset);
    if (end == nameEnds_.end())
        return std::nullopt;
    return std::string_view(names_.data() + offset, *end - offset);
}

namespace {

std::string labelOf(std::uint32_t index, std::optional<std::string_view> name)
{
    std::string label = "entry " + str(std::uint64_t {index} + 1);
    if (name) {
        // A label repeats in many messages; a name of any length must not make them huge.
        constexpr std::size_t kLongName = 120, kShownOfLongName = 100;
        if (name->size() > kLongName)
            label += " (" + Cp1252ToUtf8(name->substr(0, kShownOfLongName)) + "... " + str(name->size())
                + " bytes)";
        else
            label += " (" + Cp1252ToUtf8(*name) + ")";
    }
    return label;
}

const char *recordsName(std::uint64_t which)
{
    return which == 0 ? "dependency records" : "audit records";
}

} // namespace

std::string ArchiveReader::entryLabel(std::uint32_t index, std::uint32_t nameOffset) const
{
    return labelOf(index, nameAt(nameOffset));
}

std::string ArchiveReader::EntryLabel(const ArchiveEntry &entry) const
{
    return labelOf(entry.index, entry.name);
}

std::optional<std::int64_t> ArchiveReader::FileTimeOf(const ArchiveEntry &entry) const
{
    if (header_.times == TimeEncoding::None)
        return std::nullopt;
    if (header_.times == TimeEncoding::UnixSeconds)
        return IsUnixTimestamp(entry.time) ? std::optional<std::int64_t>(entry.time) : std::nullopt;
    return FileTimeOfTimestamp(entry.time);
}

std::string ArchiveReader::FormatTime(const ArchiveEntry &entry) const
{
    if (header_.times == TimeEncoding::None)
        return "-";
    if (header_.times == TimeEncoding::UnixSeconds)
        return FormatUnixTimestamp(entry.time);
    return FormatTimestamp(entry.time);
}

std::string ArchiveReader::describe(const ArchiveProblem &p) const
{
    using Kind = ArchiveProblem::Kind;
    const std::uint64_t a = p.values[0], b = p.values[1], c = p.values[2];
    const std::string label = p.entry ? entryLabel(*p.entry, p.nameOffset) : std::string();
    const bool first = p.entry == 0u;
    const auto hex = [](std::uint64_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
        return std::string(text);
    };
    const auto checksum = [&](const std::string &what) {
        return "the checksum of " + what + " is wrong: " + hex(a) + " is stored, the bytes give " + hex(b);
    };
    std::string what;
    switch (p.what) {
    case Kind::BadSignature: {
        unsigned char bytes[4];
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<unsigned char>(a >> (8 * i));
        what = "not an archive of the POD family: it starts with the bytes "
            + hexBytes(bytes, static_cast<std::size_t>(std::min<std::uint64_t>(b, 4)))
            + ", the signature of none of POD2 to POD6 or EPD, and it is not laid out as a POD1 archive";
        break;
    }
    case Kind::EmptyFile:
        what = "not an archive of the POD family: the file is empty";
        break;
    case Kind::ShortHeader:
        what = "too short for a " + std::string(LayoutName(header_.layout)) + " header: " + str(a)
            + " bytes, " + str(b) + " needed";
        break;
    case Kind::LeftByFailedBuild:
        what = "left incomplete by a failed build: its directory offset is still 0 (" + str(a)
            + " bytes of contents follow the header, no directory and no names)";
        break;
    case Kind::BadMarker:
        what = "the field at offset 280 holds " + str(a) + ", not -1";
        break;
    case Kind::DirectoryInHeader:
        what = "the directory offset " + str(a) + " lies inside the "
            + str(DescriptionOf(header_.layout).headerSize) + "-byte header";
        break;
    case Kind::DirectoryPastEnd:
        what = "the directory offset " + str(a) + " lies past the end of the file (" + str(b) + " bytes)";
        break;
    case Kind::DirectoryRunsPastEnd:
        what = "the directory of " + str(header_.entryCount) + " entries (" + str(a) + " bytes at offset "
            + str(b) + ") runs past the end of the file (" + str(c) + " bytes)";
        break;
    case Kind::NamesRunPastEnd:
        what = "the names block (" + str(a) + " bytes at offset " + str(b)
            + ") runs past the end of the file (" + str(c) + " bytes)";
        break;
    case Kind::NamesEndBeforeFileEnd:
        what = "the file is " + str(a) + " bytes long but its names block ends at " + str(b)
            + " (directory offset + 20 x entry count + names size)";
        break;
    case Kind::NameOffsetOutside:
        what = label + ": its name offset " + str(a) + " lies outside the names block (" + str(b) + " bytes)";
        break;
    case Kind::NameWithoutZero:
        what = label + ": its name at offset " + str(a)
            + " has no zero byte before the end of the names block";
        break;
    case Kind::NameNotInOrder:
        what = label + ": its name starts at offset " + str(a) + " of the names block, not at " + str(b)
            + (first ? "" : ", right after the previous name");
        break;
    case Kind::DataOutside:
        what = label + ": its data (" + str(a) + " bytes at offset " + str(b)
            + ") lies outside the contents, which run from " + str(TPODHeader::kSize)
            + " to the directory at " + str(c);
        break;
    case Kind::DataNotInOrder:
        what = label + ": its data starts at offset " + str(a) + ", not at " + str(b)
            + (first ? ", right after the header" : ", right after the previous entry's data");
        break;
    case Kind::BadTimestamp:
        what = label + ": its timestamp " + FormatTimestamp(static_cast<std::uint32_t>(a))
            + " is not a date and time";
        break;
    case Kind::NamesEndBeforeBlockEnd:
        what = "the names block is " + str(a) + " bytes long but its names end at " + str(b);
        break;
    case Kind::DataEndsBeforeDirectory:
        what = "the stored data ends at offset " + str(a) + " but the directory starts at " + str(b);
        break;
    case Kind::RecordsRunPastEnd:
        what = "the " + str(b) + " " + recordsName(a) + " (up to offset " + str(c)
            + ") run past the end of the file (" + str(fileSize_) + " bytes)";
        break;
    case Kind::DataOverlaps:
        what = label + ": its data (" + str(a) + " bytes at offset " + str(b) + ") overlaps the data of "
            + (c < entries_.size() ? EntryLabel(entries_[c]) : "entry " + str(c + 1));
        break;
    case Kind::HeaderChecksumWrong:
        what = checksum("the header (offset 4)");
        break;
    case Kind::DirectoryChecksumWrong:
        what = checksum("the directory (offset 268)") + " (nor with the names block, " + hex(c) + ")";
        break;
    case Kind::DependencyChecksumWrong:
        what = checksum("the dependency records (offset 280)");
        break;
    case Kind::AuditChecksumWrong:
        what = checksum("the audit records (offset 284)");
        break;
    case Kind::EntryChecksumWrong:
        what = label + ": " + checksum("its data");
        break;
    case Kind::UnixTimes:
        what = "its times are Unix seconds, not this program's encoding (DOS date and time)";
        break;
    case Kind::TimeInNeitherEncoding:
        what = label + ": its time " + hex(a) + " is unknown: it decodes as neither a DOS date and time nor "
            + "Unix seconds";
        break;
    case Kind::EntriesWithoutChecksum:
        what = str(a) + " of " + str(b) + " entries carry no checksum (0): their data is not checked";
        break;
    case Kind::DependencyRecordsPresent:
        what = "it holds " + str(a) + " dependency records after the names";
        break;
    case Kind::AuditRecordsPresent:
        what = "it holds " + str(a) + " audit records after the names";
        break;
    case Kind::RecordsEndBeforeFileEnd:
        what = "the file is " + str(a) + " bytes long but its " + recordsName(c) + " end at " + str(b);
        break;
    case Kind::OtherLayout:
        what = std::string(header_.layout == ArchiveLayout::EPD ? "it is an " : "it is a ")
            + std::string(LayoutName(header_.layout))
            + " archive, read but not written by this program (it writes POD3)";
        break;
    case Kind::DataOutsideFile:
        what = label + ": its data (" + str(a) + " bytes at offset " + str(b)
            + ") lies outside the contents, which run from " + str(c) + " to the end of the file ("
            + str(fileSize_) + " bytes)";
        break;
    case Kind::DataOverlapsRegion:
        what = label + ": its data (" + str(a) + " bytes at offset " + str(b) + ") overlaps the "
            + (c == 0       ? "header"
                   : c == 1 ? "directory"
                   : c == 2 ? "names block"
                            : recordsName(c - 3));
        break;
    case Kind::SizesDisagree:
        what = label + ": it is not compressed, yet its stored size " + str(a)
            + " differs from its original size " + str(b);
        break;
    case Kind::StreamCorrupt:
        what = label + ": " + InflateError(InflateError::Kind::Corrupt, a, b).what();
        break;
    case Kind::StreamTooLong:
        what = label + ": " + InflateError(InflateError::Kind::TooLong, 0, a).what();
        break;
    case Kind::StreamTooShort:
        what = label + ": " + InflateError(InflateError::Kind::TooShort, a, b).what();
        break;
    }
    return path_ + ": " + what;
}

void ArchiveReader::read(ArchiveCheck check)
{
    using Kind = ArchiveProblem::Kind;
    const auto damage
        = [&](Kind what, bool isBlocking, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
              add({what, ProblemSeverity::Damage, isBlocking, std::nullopt, 0, {a, b, c}});
          };

    fileSize_ = file_->Size();
    const auto size = static_cast<std::uint64_t>(fileSize_);
    // Enough for every layout's signature and for POD1's header.
    std::vector<std::uint8_t> start(
        static_cast<std::size_t>(std::min<std::uint64_t>(size, TPODHeader::kSize)));
    file_->Seek(0);
    file_->ReadBuffer(start.data(), start.size());
    if (size == 0)
        return damage(Kind::EmptyFile, true);
    const std::optional<ArchiveLayout> signed_ = LayoutBySignature(start.data(), start.size());
    if (signed_ && *signed_ != ArchiveLayout::POD3)
        return readOtherLayout(*signed_, check);
    if (!signed_) {
        if (isPod1(start))
            return readOtherLayout(ArchiveLayout::POD1, check);
        std::uint8_t first[4] = {};
        std::copy_n(start.begin(), std::min<std::size_t>(4, start.size()), first);
        return damage(Kind::BadSignature, true, LoadLE32(first), start.size());
    }
    readPod3(check, start);
}

bool ArchiveReader::isPod1(const std::vector<std::uint8_t> &start)
{
    const LayoutDescription &pod1 = DescriptionOf(ArchiveLayout::POD1);
    if (start.size() < pod1.headerSize)
        return false;
    const std::uint64_t directoryEnd = Pod1DirectoryEnd(Pod1EntryCount(start));
    if (directoryEnd > static_cast<std::uint64_t>(fileSize_))
        return false;
    // Bounded by the file's length, checked just above.
    std::vector<std::uint8_t> directory(static_cast<std::size_t>(directoryEnd - pod1.headerSize));
    file_->Seek(pod1.headerSize);
    file_->ReadBuffer(directory.data(), directory.size());
    return LooksLikePod1(std::span(start).first(pod1.headerSize), directory,
                         static_cast<std::uint64_t>(fileSize_));
}

void ArchiveReader::readPod3(ArchiveCheck check, const std::vector<std::uint8_t> &start)
{
    using Kind = ArchiveProblem::Kind;
    const auto damage
        = [&](Kind what, bool isBlocking, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
              add({what, ProblemSeverity::Damage, isBlocking, std::nullopt, 0, {a, b, c}});
          };
    const auto difference = [&](Kind what, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
        add({what, ProblemSeverity::Difference, false, std::nullopt, 0, {a, b, c}});
    };
    const auto size = static_cast<std::uint64_t>(fileSize_);
    TPODHeader header;
    std::copy(start.begin(), start.end(), header.bytes.begin());
    if (start.size() < TPODHeader::kSize)
        return damage(Kind::ShortHeader, true, size, TPODHeader::kSize);

    header_.description = header.Description();
    header_.author = header.Author();
    header_.copyright = header.Copyright();
    header_.version = header.Version();
    header_.priority = header.Priority();
    header_.entryCount = header.EntryCount();
    header_.auditRecords = header.U32(TPODHeader::AuditCountAt);
    header_.dependencyRecords = header.U32(TPODHeader::DependencyCountAt);

    if (const std::uint32_t stored = header.U32(TPODHeader::HeaderCrcAt); stored != 0) {
        const std::uint32_t computed = header.ComputedChecksum();
        header_.headerCheck = stored == computed ? ChecksumState::Matches : ChecksumState::DoesNotMatch;
        if (stored != computed)
            damage(Kind::HeaderChecksumWrong, false, stored, computed);
    }

    Layout layout;
    layout.dirOffset = header.DirOffset();
    layout.namesSize = header.NamesSize();
    const std::uint32_t dirOffset = layout.dirOffset;
    const std::uint32_t namesSize = layout.namesSize;

    if (dirOffset == 0)
        return damage(Kind::LeftByFailedBuild, true, size - TPODHeader::kSize);
    // Without dependency records the field holds their checksum of no bytes, -1.
    const std::uint32_t marker = header.U32(TPODHeader::MarkerAt);
    if (header_.dependencyRecords == 0 && marker != static_cast<std::uint32_t>(TPODHeader::kMarkerOfCompleteBuild))
        difference(Kind::BadMarker, marker);
    if (dirOffset < TPODHeader::kSize)
        return damage(Kind::DirectoryInHeader, true, dirOffset);
    if (dirOffset > size)
        return damage(Kind::DirectoryPastEnd, true, dirOffset, size);
    const std::uint64_t directoryBytes = std::uint64_t {TPODEntry::kSize} * header_.entryCount;
    if (directoryBytes > size - dirOffset)
        return damage(Kind::DirectoryRunsPastEnd, true, directoryBytes, dirOffset, size);
    layout.namesStart = dirOffset + directoryBytes;
    if (namesSize > size - layout.namesStart)
        return damage(Kind::NamesRunPastEnd, true, namesSize, layout.namesStart, size);

    // The names block was checked against the file's length, so this is bounded by it.
    names_.resize(namesSize);
    file_->Seek(static_cast<std::int64_t>(layout.namesStart));
    file_->ReadBuffer(names_.data(), names_.size());
    nameEnds_.reserve(static_cast<std::size_t>(std::count(names_.begin(), names_.end(), '\0')));
    for (std::uint32_t i = 0; i < namesSize; ++i)
        if (names_[i] == '\0')
            nameEnds_.push_back(i);

    checkRecords(layout, header);
    checkEntries(layout, check, header.U32(TPODHeader::DirectoryCrcAt));
    if (Readable()) {
        collectEntries(layout);
        std::vector<FixedRegion> fixed
            = {{0, TPODHeader::kSize, 0},
               {layout.dirOffset, std::uint64_t {TPODEntry::kSize} * header_.entryCount, 1},
               {layout.namesStart, layout.namesSize, 2}};
        if (layout.recordsInside) {
            fixed.push_back({layout.dependencyStart, layout.dependencyBytes, 3});
            fixed.push_back({layout.auditStart, layout.auditBytes, 4});
        }
        // Data can only meet these by lying outside the contents, reported already.
        checkOverlaps(fixed, false);
    }
}

std::uint32_t ArchiveReader::crcOfFileBytes(std::uint64_t at, std::uint64_t size)
{
    // Bounded by the file's length by the caller; read a chunk at a time.
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, 64 * 1024)));
    std::uint32_t crc = kCrc32Mpeg2Start;
    file_->Seek(static_cast<std::int64_t>(at));
    while (size > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, chunk.size()));
        file_->ReadBuffer(chunk.data(), n);
        crc = Crc32Mpeg2(crc, chunk.data(), n);
        size -= n;
    }
    return crc;
}

void ArchiveReader::checkRecords(Layout &layout, const TPODHeader &header)
{
    using Kind = ArchiveProblem::Kind;
    const auto size = static_cast<std::uint64_t>(fileSize_);
    layout.dependencyStart = layout.namesStart + layout.namesSize;
    layout.dependencyBytes = std::uint64_t {TPODHeader::kDependencyRecordSize} * header_.dependencyRecords;
    layout.auditStart = layout.dependencyStart + layout.dependencyBytes;
    layout.auditBytes = std::uint64_t {TPODHeader::kAuditRecordSize} * header_.auditRecords;
    const std::uint64_t end = layout.auditStart + layout.auditBytes;

    if (header_.dependencyRecords != 0)
        add({Kind::DependencyRecordsPresent, ProblemSeverity::Difference, false, std::nullopt, 0,
             {header_.dependencyRecords, 0, 0}});
    if (header_.auditRecords != 0)
        add({Kind::AuditRecordsPresent, ProblemSeverity::Difference, false, std::nullopt, 0,
             {header_.auditRecords, 0, 0}});
    if (layout.auditStart > size) {
        layout.recordsInside = false;
        return add({Kind::RecordsRunPastEnd, ProblemSeverity::Damage, false, std::nullopt, 0,
                    {0, header_.dependencyRecords, layout.auditStart}});
    }
    if (end > size) {
        layout.recordsInside = false;
        return add({Kind::RecordsRunPastEnd, ProblemSeverity::Damage, false, std::nullopt, 0,
                    {1, header_.auditRecords, end}});
    }
    layout.recordsInside = true;
    if (end != size) {
        if (header_.dependencyRecords == 0 && header_.auditRecords == 0)
            add({Kind::NamesEndBeforeFileEnd, ProblemSeverity::Difference, false, std::nullopt, 0, {size, end, 0}});
        else
            add({Kind::RecordsEndBeforeFileEnd, ProblemSeverity::Difference, false, std::nullopt, 0,
                 {size, end, header_.auditRecords != 0 ? 1u : 0u}});
    }

    // A stored 0 is no checksum. Without records, -1 (the checksum of nothing) or 0 is what is
    // found; the dependency field's other values are a difference noted with the header.
    const std::uint32_t dependencyCrc = header.U32(TPODHeader::MarkerAt);
    if (header_.dependencyRecords != 0 && dependencyCrc != 0) {
        const std::uint32_t computed = crcOfFileBytes(layout.dependencyStart, layout.dependencyBytes);
        header_.dependencyCheck = computed == dependencyCrc ? ChecksumState::Matches : ChecksumState::DoesNotMatch;
        if (computed != dependencyCrc)
            add({Kind::DependencyChecksumWrong, ProblemSeverity::Damage, false, std::nullopt, 0,
                 {dependencyCrc, computed, 0}});
    } else if (header_.dependencyRecords == 0 && dependencyCrc == kCrc32Mpeg2Start) {
        header_.dependencyCheck = ChecksumState::Matches;
    }
    if (const std::uint32_t auditCrc = header.U32(TPODHeader::AuditCrcAt); auditCrc != 0) {
        const std::uint32_t computed = crcOfFileBytes(layout.auditStart, layout.auditBytes);
        header_.auditCheck = computed == auditCrc ? ChecksumState::Matches : ChecksumState::DoesNotMatch;
        if (computed != auditCrc)
            add({Kind::AuditChecksumWrong, ProblemSeverity::Damage, false, std::nullopt, 0, {auditCrc, computed, 0}});
    }
}

namespace {

// A value of this program's encoding: a real date and time, or the one for "unknown".
bool isDosTimestamp(std::uint32_t stored)
{
    return stored == kStoredTimeUnknown || DecodeTimestamp(stored).has_value();
}

} // namespace

void ArchiveReader::checkEntries(Layout &layout, ArchiveCheck check, std::uint32_t directoryCrc)
{
    using Kind = ArchiveProblem::Kind;
    DirectoryCursor directory(*file_, layout.dirOffset, header_.entryCount);
    std::uint64_t nextName = 0;
    bool namesInOrder = true;
    // Where the next entry's data should start; unknown after an entry whose data lies outside
    // the contents, so that one bad entry is not reported again as a gap at the next.
    std::uint64_t nextData = TPODHeader::kSize;
    bool nextDataKnown = true;
    std::uint64_t dosTimes = 0, unixTimes = 0, withChecksum = 0;
    for (std::uint32_t i = 0; i < header_.entryCount; ++i) {
        if (check == ArchiveCheck::UntilUnreadable && !Readable())
            return;
        const TPODEntry record = TPODEntry::Load(directory.Next());
        const std::uint32_t nameOffset = record.NameOffset;
        const std::uint32_t size = record.Size;
        const std::uint32_t dataOffset = record.DataOffset;
        const auto fault = [&](Kind what, ProblemSeverity severity, bool isBlocking, std::uint64_t a = 0,
                               std::uint64_t b = 0, std::uint64_t c = 0) {
            add({what, severity, isBlocking, i, nameOffset, {a, b, c}});
        };
        constexpr auto kDamage = ProblemSeverity::Damage;
        constexpr auto kDifference = ProblemSeverity::Difference;

        std::optional<std::string_view> name;
        if (nameOffset >= layout.namesSize) {
            fault(Kind::NameOffsetOutside, kDamage, true, nameOffset, layout.namesSize);
        } else {
            name = nameAt(nameOffset);
            if (!name)
                fault(Kind::NameWithoutZero, kDamage, true, nameOffset);
        }

        if (namesInOrder && name) {
            if (nameOffset != nextName)
                fault(Kind::NameNotInOrder, kDifference, false, nameOffset, nextName);
            nextName = std::uint64_t {nameOffset} + name->size() + 1;
        } else {
            namesInOrder = false;
        }

        const bool dataInside = dataOffset >= TPODHeader::kSize && dataOffset <= layout.dirOffset
            && size <= layout.dirOffset - dataOffset;
        if (!dataInside) {
            fault(Kind::DataOutside, kDamage, true, size, dataOffset, layout.dirOffset);
            nextDataKnown = false;
        } else {
            if (nextDataKnown && dataOffset != nextData)
                fault(Kind::DataNotInOrder, kDifference, false, dataOffset, nextData);
            nextData = std::uint64_t {dataOffset} + size;
            nextDataKnown = true;
        }

        dosTimes += isDosTimestamp(record.Timestamp) ? 1 : 0;
        unixTimes += IsUnixTimestamp(record.Timestamp) ? 1 : 0;
        withChecksum += record.Checksum != 0 ? 1 : 0;
    }
    if (check == ArchiveCheck::UntilUnreadable && !Readable())
        return;
    if (namesInOrder && nextName != layout.namesSize)
        add({Kind::NamesEndBeforeBlockEnd, ProblemSeverity::Difference, false, std::nullopt, 0,
             {layout.namesSize, nextName, 0}});
    if (nextDataKnown && nextData != layout.dirOffset)
        add({Kind::DataEndsBeforeDirectory, ProblemSeverity::Difference, false, std::nullopt, 0,
             {nextData, layout.dirOffset, 0}});

    // One encoding for the whole archive: this program's when every value is one of its own,
    // else the one more values make sense in.
    const std::uint64_t count = header_.entryCount;
    layout.times = dosTimes == count || dosTimes >= unixTimes ? TimeEncoding::DosPlusBias : TimeEncoding::UnixSeconds;
    header_.times = layout.times;
    if (layout.times == TimeEncoding::UnixSeconds)
        add({Kind::UnixTimes, ProblemSeverity::Difference, false, std::nullopt, 0, {}});

    checkDirectoryChecksum(directoryCrc, directory.Crc());
    const bool anyHeaderChecksum = header_.headerCheck != ChecksumState::Absent || directoryCrc != 0;
    layout.anyChecksum = withChecksum != 0;
    if (withChecksum < count && (withChecksum != 0 || anyHeaderChecksum))
        add({Kind::EntriesWithoutChecksum, ProblemSeverity::Difference, false, std::nullopt, 0,
             {count - withChecksum, count, 0}});
}

void ArchiveReader::checkDirectoryChecksum(std::uint32_t stored, std::uint32_t directoryAlone)
{
    if (stored == 0)
        return;
    // Writers disagree whether the names block is covered too: either is accepted.
    const std::uint32_t withNames = Crc32Mpeg2(directoryAlone, names_.data(), names_.size());
    if (stored == directoryAlone || stored == withNames) {
        header_.directoryCheck = ChecksumState::Matches;
        header_.directoryCover = stored == directoryAlone ? DirectoryChecksumCover::Directory
                                                          : DirectoryChecksumCover::DirectoryAndNames;
    } else {
        header_.directoryCheck = ChecksumState::DoesNotMatch;
        add({ArchiveProblem::Kind::DirectoryChecksumWrong, ProblemSeverity::Damage, false, std::nullopt, 0,
             {stored, directoryAlone, withNames}});
    }
}

void ArchiveReader::collectEntries(const Layout &layout)
{
    using Kind = ArchiveProblem::Kind;
    // Every entry was found sound, so the directory's length (checked against the file's) bounds this.
    entries_.reserve(header_.entryCount);
    DirectoryCursor directory(*file_, layout.dirOffset, header_.entryCount);
    for (std::uint32_t i = 0; i < header_.entryCount; ++i) {
        const TPODEntry record = TPODEntry::Load(directory.Next());
        ArchiveEntry entry;
        entry.index = i;
        entry.storedSize = record.Size;
        entry.originalSize = record.Size;
        entry.dataOffset = record.DataOffset;
        entry.time = record.Timestamp;
        entry.checksum = record.Checksum;
        entry.check = record.Checksum != 0 ? ChecksumState::NotChecked : ChecksumState::Absent;
        entry.name = *nameAt(record.NameOffset);
        entries_.push_back(entry);
        header_.totalSize += entry.originalSize;

        const auto timeProblem = [&](Kind what) {
            add({what, ProblemSeverity::Difference, false, i, record.NameOffset, {record.Timestamp, 0, 0}});
        };
        if (layout.times == TimeEncoding::DosPlusBias) {
            if (!isDosTimestamp(record.Timestamp))
                timeProblem(Kind::BadTimestamp);
        } else if (!IsUnixTimestamp(record.Timestamp)) {
            timeProblem(Kind::TimeInNeitherEncoding);
        }
    }
}

void ArchiveReader::checkOverlaps(const std::vector<FixedRegion> &fixedRegions, bool dataMayMeetThem)
{
    // Every region the archive describes, checked for overlap in this one place: the fixed ones
    // (header, directory, names, records) and each entry's data. Empty regions overlap nothing.
    struct Region
    {
        std::uint64_t start;
        std::uint64_t end;
        std::uint32_t entry; // kFixed + which for the archive's own regions
    };
    constexpr std::uint32_t kFixed = 0xFFFFFF00;
    std::vector<Region> regions;
    regions.reserve(entries_.size() + fixedRegions.size());
    for (const FixedRegion &fixed : fixedRegions)
        if (fixed.size != 0)
            regions.push_back({fixed.start, fixed.start + fixed.size, kFixed + fixed.what});
    for (const ArchiveEntry &entry : entries_)
        if (entry.storedSize != 0)
            regions.push_back({entry.dataOffset, std::uint64_t {entry.dataOffset} + entry.storedSize, entry.index});
    const auto byStart = [](const Region &a, const Region &b) {
        return a.start != b.start ? a.start < b.start : a.entry < b.entry;
    };
    // Data in directory order is the common case: sorted already, it costs one pass.
    if (!std::is_sorted(regions.begin(), regions.end(), byStart))
        std::sort(regions.begin(), regions.end(), byStart);

    const Region *reaching = nullptr; // of the regions so far, the one that ends last
    for (const Region &region : regions) {
        if (reaching && region.start < reaching->end) {
            const Region &later = region.entry >= kFixed ? *reaching : region;
            const Region &other = region.entry >= kFixed ? region : *reaching;
            if (later.entry < kFixed) {
                const ArchiveEntry &entry = entries_[later.entry];
                const auto nameOffset = static_cast<std::uint32_t>(entry.name.data() - names_.data());
                if (other.entry < kFixed)
                    add({ArchiveProblem::Kind::DataOverlaps,
                         ProblemSeverity::Damage,
                         false,
                         entry.index,
                         nameOffset,
                         {entry.storedSize, entry.dataOffset, other.entry}});
                else if (dataMayMeetThem)
                    add({ArchiveProblem::Kind::DataOverlapsRegion,
                         ProblemSeverity::Damage,
                         false,
                         entry.index,
                         nameOffset,
                         {entry.storedSize, entry.dataOffset, other.entry - kFixed}});
            }
        }
        if (!reaching || region.end > reaching->end)
            reaching = &region;
    }
}

namespace {

// A text field: the bytes up to the first zero, or the whole field.
std::string textField(const std::vector<std::uint8_t> &header, FieldPlace place)
{
    const auto *field = reinterpret_cast<const char *>(header.data() + place.at);
    const auto *end = static_cast<const char *>(std::memchr(field, 0, place.size));
    return std::string(field, end ? static_cast<std::size_t>(end - field) : place.size);
}

std::uint32_t field32(const std::uint8_t *record, FieldPlace place)
{
    return place.Present() ? LoadLE32(record + place.at) : 0;
}

} // namespace

void ArchiveReader::readOtherLayout(ArchiveLayout which, ArchiveCheck check)
{
    using Kind = ArchiveProblem::Kind;
    using D = LayoutDescription;
    const D &d = DescriptionOf(which);
    const auto damage
        = [&](Kind what, bool isBlocking, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
              add({what, ProblemSeverity::Damage, isBlocking, std::nullopt, 0, {a, b, c}});
          };
    const auto size = static_cast<std::uint64_t>(fileSize_);
    header_.layout = which;
    header_.hasAuthorAndCopyright = d.author.Present();
    header_.hasDescription = d.description.Present();
    header_.version.reset();
    header_.priority.reset();
    if (size < d.headerSize)
        return damage(Kind::ShortHeader, true, size, d.headerSize);
    add({Kind::OtherLayout, ProblemSeverity::Difference, false, std::nullopt, 0, {}});

    std::vector<std::uint8_t> header(d.headerSize);
    file_->Seek(0);
    file_->ReadBuffer(header.data(), header.size());
    if (d.description.Present())
        header_.description = textField(header, d.description);
    if (d.author.Present()) {
        header_.author = textField(header, d.author);
        header_.copyright = textField(header, d.copyright);
    }
    if (d.version.Present())
        header_.version = static_cast<std::int32_t>(field32(header.data(), d.version));
    if (d.priority.Present())
        header_.priority = static_cast<std::int32_t>(field32(header.data(), d.priority));
    if (d.nextArchive.Present())
        header_.nextArchive = textField(header, d.nextArchive);
    header_.entryCount = LoadLE32(header.data() + d.countAt);
    header_.auditRecords = field32(header.data(), d.auditCount);
    header_.times = d.time.Present() ? TimeEncoding::UnixSeconds : TimeEncoding::None;

    constexpr std::uint32_t kChecksumAt = 4;
    const std::uint32_t storedHeaderChecksum = LoadLE32(header.data() + kChecksumAt);
    if (d.headerChecksum == D::HeaderChecksum::ToFileEnd && check == ArchiveCheck::UntilUnreadable
        && storedHeaderChecksum != 0) {
        // It covers the whole file: reading all of it is a verification's work, not a listing's.
        header_.headerCheck = ChecksumState::NotChecked;
    } else if (d.headerChecksum != D::HeaderChecksum::None) {
        if (const std::uint32_t stored = storedHeaderChecksum; stored != 0) {
            // Bytes 8 to 287 as in POD3; a longer header may be covered to its end instead.
            const std::uint64_t end
                = d.headerChecksum == D::HeaderChecksum::ToFileEnd ? size : TPODHeader::kSize;
            const std::uint32_t computed = crcOfFileBytes(8, end - 8);
            bool matches = computed == stored;
            if (!matches && d.headerChecksum == D::HeaderChecksum::ToHeaderEnd
                && d.headerSize > TPODHeader::kSize)
                matches = Crc32Mpeg2(kCrc32Mpeg2Start, header.data() + 8, d.headerSize - 8) == stored;
            header_.headerCheck = matches ? ChecksumState::Matches : ChecksumState::DoesNotMatch;
            if (!matches)
                damage(Kind::HeaderChecksumWrong, false, stored, computed);
        }
    } else if (d.entryChecksum == D::EntryChecksum::Unjudged) {
        // The header's own checksum, just before the directory; shown, never judged.
        header_.unjudgedHeaderChecksum = LoadLE32(header.data() + d.headerSize - 4);
        header_.headerCheck = ChecksumState::NotJudged;
    }

    const std::uint32_t dirOffset
        = d.dirOffset.Present() ? field32(header.data(), d.dirOffset) : d.headerSize;
    if (dirOffset < d.headerSize)
        return damage(Kind::DirectoryInHeader, true, dirOffset);
    if (dirOffset > size)
        return damage(Kind::DirectoryPastEnd, true, dirOffset, size);
    const std::uint64_t directoryBytes = std::uint64_t {d.entrySize} * header_.entryCount;
    if (directoryBytes > size - dirOffset)
        return damage(Kind::DirectoryRunsPastEnd, true, directoryBytes, dirOffset, size);
    // Bounded by the file's length, checked just above.
    std::vector<std::uint8_t> directory(static_cast<std::size_t>(directoryBytes));
    file_->Seek(dirOffset);
    file_->ReadBuffer(directory.data(), directory.size());
    const auto record = [&](std::uint32_t i) { return directory.data() + std::size_t {i} * d.entrySize; };
    const std::uint64_t directoryEnd = dirOffset + directoryBytes;

    // The names: one block read once, or the names inside the entries gathered into one, so
    // that every entry's name is found the same way. A name field without its zero stays out.
    std::vector<std::uint32_t> inEntryName;
    constexpr std::uint32_t kNoName = 0xFFFFFFFF;
    std::uint64_t namesStart = directoryEnd;
    std::uint64_t namesSize = 0;
    if (d.names == D::Names::InEntry) {
        inEntryName.resize(header_.entryCount);
        for (std::uint32_t i = 0; i < header_.entryCount; ++i) {
            const auto *field = reinterpret_cast<const char *>(record(i) + d.entryName.at);
            const auto *end = static_cast<const char *>(std::memchr(field, 0, d.entryName.size));
            inEntryName[i] = end ? static_cast<std::uint32_t>(names_.size()) : kNoName;
            if (end)
                names_.insert(names_.end(), field, end + 1);
        }
        namesSize = 0; // no region of their own: they lie in the directory
    } else {
        if (d.names == D::Names::SizedBlock) {
            namesSize = field32(header.data(), d.namesSize);
            if (namesSize > size - namesStart)
                return damage(Kind::NamesRunPastEnd, true, namesSize, namesStart, size);
        } else {
            // Not stored: the block ends where the first data starts, or before the records
            // that close a file without data.
            std::uint64_t end = size;
            bool anyData = false;
            for (std::uint32_t i = 0; i < header_.entryCount; ++i) {
                const std::uint32_t offset = field32(record(i), d.dataOffset);
                if (field32(record(i), d.storedSize) != 0 && offset >= namesStart) {
                    end = std::min<std::uint64_t>(end, offset);
                    anyData = true;
                }
            }
            const std::uint64_t records = std::uint64_t {TPODHeader::kAuditRecordSize} * header_.auditRecords;
            if (!anyData && records <= size - namesStart)
                end = size - records;
            namesSize = end - namesStart;
        }
        names_.resize(static_cast<std::size_t>(namesSize));
        file_->Seek(static_cast<std::int64_t>(namesStart));
        file_->ReadBuffer(names_.data(), names_.size());
    }
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == '\0')
            nameEnds_.push_back(static_cast<std::uint32_t>(i));

    std::uint64_t dataEnd = namesStart + namesSize;
    std::vector<ArchiveEntry> entries;
    // The directory's length was checked against the file's, so this is bounded by it.
    entries.reserve(header_.entryCount);
    for (std::uint32_t i = 0; i < header_.entryCount; ++i) {
        if (check == ArchiveCheck::UntilUnreadable && !Readable())
            return;
        const std::uint8_t *r = record(i);
        const std::uint32_t nameOffset
            = d.names == D::Names::InEntry ? inEntryName[i] : field32(r, d.entryName);
        const auto fault
            = [&](Kind what, bool isBlocking, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
                  add({what, ProblemSeverity::Damage, isBlocking, i, nameOffset, {a, b, c}});
              };
        std::optional<std::string_view> name;
        if (d.names == D::Names::InEntry) {
            if (nameOffset != kNoName)
                name = nameAt(nameOffset);
            if (!name)
                fault(Kind::NameWithoutZero, true, d.entryName.size);
        } else if (nameOffset >= namesSize) {
            fault(Kind::NameOffsetOutside, true, nameOffset, namesSize);
        } else if (name = nameAt(nameOffset); !name) {
            fault(Kind::NameWithoutZero, true, nameOffset);
        }

        ArchiveEntry entry;
        entry.index = i;
        entry.storedSize = field32(r, d.storedSize);
        entry.dataOffset = field32(r, d.dataOffset);
        entry.originalSize = d.originalSize.Present() ? field32(r, d.originalSize) : entry.storedSize;
        const std::uint32_t compression = field32(r, d.compression);
        const bool compressed = (d.compressed == D::Compressed::WhenLevelNotZero && compression != 0)
            || (d.compressed == D::Compressed::WhenFlag8 && (compression & 8) != 0);
        entry.compressed = compressed ? Compression::Deflate : Compression::None;
        entry.time = field32(r, d.time);
        entry.checksum = field32(r, d.checksum);
        if (d.entryChecksum == D::EntryChecksum::Unjudged)
            entry.check = ChecksumState::NotJudged;
        else if (d.entryChecksum != D::EntryChecksum::None && entry.checksum != 0)
            entry.check = ChecksumState::NotChecked;

        const std::uint64_t offset = entry.dataOffset;
        if (offset < d.headerSize || offset > size || entry.storedSize > size - offset) {
            fault(Kind::DataOutsideFile, true, entry.storedSize, offset, d.headerSize);
        } else {
            dataEnd = std::max(dataEnd, offset + entry.storedSize);
        }
        if (!compressed && entry.originalSize != entry.storedSize)
            fault(Kind::SizesDisagree, false, entry.storedSize, entry.originalSize);
        if (Readable()) {
            entry.name = *name;
            entries.push_back(entry);
        }
    }
    if (!Readable())
        return;
    entries_ = std::move(entries);
    for (const ArchiveEntry &entry : entries_) {
        header_.totalSize += entry.originalSize;
        header_.compressedEntries += entry.compressed != Compression::None ? 1 : 0;
    }

    std::vector<FixedRegion> fixed
        = {{0, d.headerSize, 0}, {dirOffset, directoryBytes, 1}, {namesStart, namesSize, 2}};
    if (d.pod3Records) {
        TPODHeader pod3;
        std::copy_n(header.begin(), TPODHeader::kSize, pod3.bytes.begin());
        header_.dependencyRecords = pod3.U32(TPODHeader::DependencyCountAt);
        Layout layout;
        layout.dirOffset = dirOffset;
        layout.namesStart = namesStart;
        layout.namesSize = static_cast<std::uint32_t>(namesSize);
        checkRecords(layout, pod3);
        if (layout.recordsInside) {
            fixed.push_back({layout.dependencyStart, layout.dependencyBytes, 3});
            fixed.push_back({layout.auditStart, layout.auditBytes, 4});
        }
        checkDirectoryChecksum(pod3.U32(TPODHeader::DirectoryCrcAt),
                               Crc32Mpeg2(kCrc32Mpeg2Start, directory.data(), directory.size()));
    } else if (header_.auditRecords != 0) {
        // After the last data.
        const std::uint64_t bytes = std::uint64_t {TPODHeader::kAuditRecordSize} * header_.auditRecords;
        if (bytes > size - dataEnd)
            damage(Kind::RecordsRunPastEnd, false, 1, header_.auditRecords, dataEnd + bytes);
        else
            fixed.push_back({dataEnd, bytes, 4});
    }
    inEntryName = {};
    directory = {};
    checkOverlaps(fixed, true);
}

bool ArchiveReader::CheckData(DataCheckObserver *observer)
{
    if (dataChecked_)
        return true;
    Entries();
    const auto needsReading = [](const ArchiveEntry &entry) {
        return entry.check == ChecksumState::NotChecked || entry.compressed != Compression::None;
    };
    std::uint64_t total = 0;
    for (const ArchiveEntry &entry : entries_)
        if (needsReading(entry))
            total += entry.storedSize;
    std::uint64_t done = 0;
    // The results are applied only once every entry is read, so that a cancelled check leaves
    // nothing behind.
    struct Result
    {
        std::uint32_t index;
        ChecksumState check;
        EntryChecksumCover cover;
        std::uint32_t computed;
        std::optional<InflateError> stream;
        std::string kept;
    };
    std::vector<Result> results;
    std::uint64_t keptBytes = 0;
    for (const ArchiveEntry &entry : entries_) {
        if (!needsReading(entry))
            continue;
        if (observer && observer->Cancelled())
            return false;
        std::uint32_t stored = kCrc32Mpeg2Start;
        std::uint32_t original = kCrc32Mpeg2Start;
        std::optional<BoundedInflater> inflater;
        if (entry.compressed != Compression::None)
            inflater.emplace(entry.originalSize);
        Result result {entry.index, entry.check, EntryChecksumCover::Unknown, 0, std::nullopt, {}};
        const bool keep = inflater && entry.index < keepWanted_.size() && keepWanted_[entry.index]
            && entry.originalSize <= keepBudget_ - keptBytes;
        if (keep)
            result.kept.reserve(entry.originalSize);
        try {
            ReadData(entry, [&](const char *bytes, std::size_t n) {
                stored = Crc32Mpeg2(stored, bytes, n);
                if (inflater)
                    inflater->Feed(bytes, n, [&](const char *out, std::size_t m) {
                        if (entry.check == ChecksumState::NotChecked)
                            original = Crc32Mpeg2(original, out, m);
                        if (keep)
                            result.kept.append(out, m);
                    });
                done += n;
                if (observer && n >= 64 * 1024)
                    observer->Progress(done, total);
            });
            if (inflater)
                inflater->Finish();
        } catch (const InflateError &error) {
            result.stream = error;
            result.kept = {};
        } catch (const Error &error) {
            throw Error(path_ + ": " + EntryLabel(entry) + ": " + error.what());
        }
        if (entry.check == ChecksumState::NotChecked) {
            // Writers of compressed layouts disagree which bytes the checksum covers: either is
            // accepted, and which one matched is kept.
            const bool ofOriginal = inflater && !result.stream && original == entry.checksum;
            result.check = stored == entry.checksum || ofOriginal ? ChecksumState::Matches
                                                                  : ChecksumState::DoesNotMatch;
            result.cover = stored == entry.checksum ? EntryChecksumCover::StoredBytes
                : ofOriginal                        ? EntryChecksumCover::OriginalBytes
                                                    : EntryChecksumCover::Unknown;
            result.computed = stored;
        }
        keptBytes += result.kept.size();
        results.push_back(std::move(result));
        if (observer)
            observer->Progress(done, total);
    }
    for (Result &result : results) {
        ArchiveEntry &entry = entries_[result.index];
        if (!result.kept.empty())
            keptContents_.emplace(result.index, std::move(result.kept));
        entry.check = result.check;
        entry.cover = result.cover;
        const auto nameOffset = static_cast<std::uint32_t>(entry.name.data() - names_.data());
        const auto damage = [&](ArchiveProblem::Kind what, std::uint64_t a, std::uint64_t b) {
            add({what, ProblemSeverity::Damage, false, result.index, nameOffset, {a, b, 0}});
        };
        if (result.stream) {
            switch (result.stream->What()) {
            case InflateError::Kind::Corrupt:
                damage(ArchiveProblem::Kind::StreamCorrupt, result.stream->Produced(), entry.originalSize);
                break;
            case InflateError::Kind::TooLong:
                damage(ArchiveProblem::Kind::StreamTooLong, entry.originalSize, 0);
                break;
            case InflateError::Kind::TooShort:
                damage(ArchiveProblem::Kind::StreamTooShort, result.stream->Produced(), entry.originalSize);
                break;
            }
        }
        if (result.check == ChecksumState::DoesNotMatch)
            damage(ArchiveProblem::Kind::EntryChecksumWrong, entry.checksum, result.computed);
    }
    keepWanted_ = {};
    dataChecked_ = true;
    return true;
}

void ArchiveReader::KeepInflated(std::vector<bool> wanted, std::uint64_t budget)
{
    keepWanted_ = std::move(wanted);
    keepBudget_ = budget;
}

void ArchiveReader::DropKeptContents()
{
    keepWanted_ = {};
    keptContents_.clear();
}

void ArchiveReader::ReadContents(const ArchiveEntry &entry,
                                 const std::function<void(const char *, std::size_t)> &sink)
{
    if (entry.compressed == Compression::None)
        return ReadData(entry, sink);
    if (const auto kept = keptContents_.extract(entry.index))
        return sink(kept.mapped().data(), kept.mapped().size());
    BoundedInflater inflater(entry.originalSize);
    ReadData(entry, [&](const char *bytes, std::size_t n) { inflater.Feed(bytes, n, sink); });
    inflater.Finish();
}

void ArchiveReader::ReadData(const ArchiveEntry &entry,
                             const std::function<void(const char *, std::size_t)> &sink)
{
    Entries();
    std::int64_t at = entry.dataOffset;
    for (std::uint32_t left = entry.storedSize; left > 0;) {
        const std::int64_t end = readAheadStart_ + static_cast<std::int64_t>(readAheadSize_);
        // An entry that a block can hold is passed on in one piece, never split across two.
        if (at < readAheadStart_ || at >= end || (at + left > end && left <= kReadAhead)) {
            // Where a block could not be read whole, the bytes at fault may be another entry's:
            // this entry's own bytes are read alone, so that only an entry whose bytes cannot
            // be read fails.
            if ((at >= unreadableStart_ && at < unreadableEnd_) || !fillReadAhead(at, left))
                return readAlone(at, left, sink);
        }
        const std::size_t offset = static_cast<std::size_t>(at - readAheadStart_);
        const std::size_t n = std::min<std::size_t>(left, readAheadSize_ - offset);
        sink(readAhead_.data() + offset, n);
        at += static_cast<std::int64_t>(n);
        left -= static_cast<std::uint32_t>(n);
    }
}

bool ArchiveReader::fillReadAhead(std::int64_t at, std::uint32_t wanted)
{
    // No larger than the archive, so that a small archive costs no more memory than its size.
    readAhead_.resize(static_cast<std::size_t>(std::min<std::int64_t>(kReadAhead, fileSize_)));
    const std::size_t block = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(readAhead_.size()), fileSize_ - at));
    readAheadStart_ = at;
    readAheadSize_ = 0;
    file_->Seek(at);
    while (readAheadSize_ < block) {
        const std::size_t got = file_->Read(readAhead_.data() + readAheadSize_, block - readAheadSize_);
        if (got == 0)
            break;
        readAheadSize_ += got;
    }
    if (readAheadSize_ < block) {
        unreadableStart_ = at + static_cast<std::int64_t>(readAheadSize_);
        unreadableEnd_ = at + static_cast<std::int64_t>(block);
    }
    return readAheadSize_ >= std::min<std::size_t>(wanted, block) && readAheadSize_ > 0;
}

void ArchiveReader::readAlone(std::int64_t at, std::uint32_t left,
                              const std::function<void(const char *, std::size_t)> &sink)
{
    readAheadSize_ = 0;
    readAhead_.resize(static_cast<std::size_t>(std::min<std::int64_t>(kReadAhead, fileSize_)));
    file_->Seek(at);
    while (left > 0) {
        const std::size_t n = std::min<std::size_t>(left, readAhead_.size());
        file_->ReadBuffer(readAhead_.data(), n);
        sink(readAhead_.data(), n);
        left -= static_cast<std::uint32_t>(n);
    }
}

} // namespace morvane
