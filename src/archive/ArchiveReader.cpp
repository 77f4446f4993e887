#include "archive/ArchiveReader.h"

#include "archive/Crc32Mpeg2.h"
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
    const std::uint8_t *next()
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
    std::uint32_t crc() const { return crc_; }

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
    : ArchiveReader(std::make_unique<FileStream>(path, OpenMode::ReadShared), check)
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
    const auto severity = static_cast<std::size_t>(problem.Severity);
    const std::uint64_t order = ProblemCount();
    ++counts_[severity];
    if (kept_[severity].size() < kKeptProblems)
        kept_[severity].emplace_back(order, problem);
    if (problem.Severity == ProblemSeverity::Difference) {
        const auto kind = static_cast<std::size_t>(problem.What);
        if (countOfKind_[kind]++ == 0)
            firstOfKind_[kind] = problem;
    }
    if (problem.Blocking && !firstBlocking_)
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
    return labelOf(entry.Index, entry.Name);
}

std::optional<std::int64_t> ArchiveReader::FileTimeOf(const ArchiveEntry &entry) const
{
    if (header_.Times == TimeEncoding::UnixSeconds)
        return IsUnixTimestamp(entry.Time) ? std::optional<std::int64_t>(entry.Time) : std::nullopt;
    return FileTimeOfTimestamp(entry.Time);
}

std::string ArchiveReader::FormatTime(const ArchiveEntry &entry) const
{
    if (header_.Times == TimeEncoding::UnixSeconds)
        return FormatUnixTimestamp(entry.Time);
    return FormatTimestamp(entry.Time);
}

std::string ArchiveReader::describe(const ArchiveProblem &p) const
{
    using Kind = ArchiveProblem::Kind;
    const std::uint64_t a = p.Values[0], b = p.Values[1], c = p.Values[2];
    const std::string label = p.Entry ? entryLabel(*p.Entry, p.NameOffset) : std::string();
    const bool first = p.Entry == 0u;
    const auto hex = [](std::uint64_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
        return std::string(text);
    };
    const auto checksum = [&](const std::string &what) {
        return "the checksum of " + what + " is wrong: " + hex(a) + " is stored, the bytes give " + hex(b);
    };
    std::string what;
    switch (p.What) {
    case Kind::BadSignature: {
        unsigned char bytes[4];
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<unsigned char>(a >> (8 * i));
        what = "not a POD3 archive: it starts with the bytes " + hexBytes(bytes, 4) + ", not \"POD3\"";
        break;
    }
    case Kind::EmptyFile:
        what = "not a POD3 archive: the file is empty";
        break;
    case Kind::ShortHeader:
        what = "too short for a POD3 header: " + str(a) + " bytes, " + str(TPODHeader::kSize) + " needed";
        break;
    case Kind::LeftByFailedBuild:
        what = "left incomplete by a failed build: its directory offset is still 0 (" + str(a)
            + " bytes of contents follow the header, no directory and no names)";
        break;
    case Kind::BadMarker:
        what = "the field at offset 280 holds " + str(a) + ", not -1";
        break;
    case Kind::DirectoryInHeader:
        what = "the directory offset " + str(a) + " lies inside the " + str(TPODHeader::kSize)
            + "-byte header";
        break;
    case Kind::DirectoryPastEnd:
        what = "the directory offset " + str(a) + " lies past the end of the file (" + str(b) + " bytes)";
        break;
    case Kind::DirectoryRunsPastEnd:
        what = "the directory of " + str(header_.EntryCount) + " entries (" + str(a) + " bytes at offset "
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
    const auto difference = [&](Kind what, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
        add({what, ProblemSeverity::Difference, false, std::nullopt, 0, {a, b, c}});
    };

    fileSize_ = file_->Size();
    const auto size = static_cast<std::uint64_t>(fileSize_);
    TPODHeader header;
    const std::size_t got = size < TPODHeader::kSize ? static_cast<std::size_t>(size) : TPODHeader::kSize;
    file_->Seek(0);
    file_->ReadBuffer(header.Bytes.data(), got);

    const std::string_view magic = TPODHeader::kPod3Magic;
    if (got >= magic.size() && std::memcmp(header.Bytes.data(), magic.data(), magic.size()) != 0)
        return damage(Kind::BadSignature, true, header.U32(TPODHeader::MagicAt));
    if (size == 0)
        return damage(Kind::EmptyFile, true);
    if (got < TPODHeader::kSize)
        return damage(Kind::ShortHeader, true, size);

    header_.Description = header.Description();
    header_.Author = header.Author();
    header_.Copyright = header.Copyright();
    header_.Version = header.Version();
    header_.Priority = header.Priority();
    header_.EntryCount = header.EntryCount();
    header_.AuditRecords = header.U32(TPODHeader::AuditCountAt);
    header_.DependencyRecords = header.U32(TPODHeader::DependencyCountAt);

    if (const std::uint32_t stored = header.U32(TPODHeader::HeaderCrcAt); stored != 0) {
        const std::uint32_t computed = header.ComputedChecksum();
        header_.HeaderCheck = stored == computed ? ChecksumState::Matches : ChecksumState::DoesNotMatch;
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
    if (header_.DependencyRecords == 0 && marker != static_cast<std::uint32_t>(TPODHeader::kMarkerOfCompleteBuild))
        difference(Kind::BadMarker, marker);
    if (dirOffset < TPODHeader::kSize)
        return damage(Kind::DirectoryInHeader, true, dirOffset);
    if (dirOffset > size)
        return damage(Kind::DirectoryPastEnd, true, dirOffset, size);
    const std::uint64_t directoryBytes = std::uint64_t {TPODEntry::kSize} * header_.EntryCount;
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
        checkOverlaps(layout);
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
    layout.dependencyBytes = std::uint64_t {TPODHeader::kDependencyRecordSize} * header_.DependencyRecords;
    layout.auditStart = layout.dependencyStart + layout.dependencyBytes;
    layout.auditBytes = std::uint64_t {TPODHeader::kAuditRecordSize} * header_.AuditRecords;
    const std::uint64_t end = layout.auditStart + layout.auditBytes;

    if (header_.DependencyRecords != 0)
        add({Kind::DependencyRecordsPresent, ProblemSeverity::Difference, false, std::nullopt, 0,
             {header_.DependencyRecords, 0, 0}});
    if (header_.AuditRecords != 0)
        add({Kind::AuditRecordsPresent, ProblemSeverity::Difference, false, std::nullopt, 0,
             {header_.AuditRecords, 0, 0}});
    if (layout.auditStart > size) {
        layout.recordsInside = false;
        return add({Kind::RecordsRunPastEnd, ProblemSeverity::Damage, false, std::nullopt, 0,
                    {0, header_.DependencyRecords, layout.auditStart}});
    }
    if (end > size) {
        layout.recordsInside = false;
        return add({Kind::RecordsRunPastEnd, ProblemSeverity::Damage, false, std::nullopt, 0,
                    {1, header_.AuditRecords, end}});
    }
    layout.recordsInside = true;
    if (end != size) {
        if (header_.DependencyRecords == 0 && header_.AuditRecords == 0)
            add({Kind::NamesEndBeforeFileEnd, ProblemSeverity::Difference, false, std::nullopt, 0, {size, end, 0}});
        else
            add({Kind::RecordsEndBeforeFileEnd, ProblemSeverity::Difference, false, std::nullopt, 0,
                 {size, end, header_.AuditRecords != 0 ? 1u : 0u}});
    }

    // A stored 0 is no checksum. Without records, -1 (the checksum of nothing) or 0 is what is
    // found; the dependency field's other values are a difference noted with the header.
    const std::uint32_t dependencyCrc = header.U32(TPODHeader::MarkerAt);
    if (header_.DependencyRecords != 0 && dependencyCrc != 0) {
        const std::uint32_t computed = crcOfFileBytes(layout.dependencyStart, layout.dependencyBytes);
        header_.DependencyCheck = computed == dependencyCrc ? ChecksumState::Matches : ChecksumState::DoesNotMatch;
        if (computed != dependencyCrc)
            add({Kind::DependencyChecksumWrong, ProblemSeverity::Damage, false, std::nullopt, 0,
                 {dependencyCrc, computed, 0}});
    } else if (header_.DependencyRecords == 0 && dependencyCrc == kCrc32Mpeg2Start) {
        header_.DependencyCheck = ChecksumState::Matches;
    }
    if (const std::uint32_t auditCrc = header.U32(TPODHeader::AuditCrcAt); auditCrc != 0) {
        const std::uint32_t computed = crcOfFileBytes(layout.auditStart, layout.auditBytes);
        header_.AuditCheck = computed == auditCrc ? ChecksumState::Matches : ChecksumState::DoesNotMatch;
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
    DirectoryCursor directory(*file_, layout.dirOffset, header_.EntryCount);
    std::uint64_t nextName = 0;
    bool namesInOrder = true;
    // Where the next entry's data should start; unknown after an entry whose data lies outside
    // the contents, so that one bad entry is not reported again as a gap at the next.
    std::uint64_t nextData = TPODHeader::kSize;
    bool nextDataKnown = true;
    std::uint64_t dosTimes = 0, unixTimes = 0, withChecksum = 0;
    for (std::uint32_t i = 0; i < header_.EntryCount; ++i) {
        if (check == ArchiveCheck::UntilUnreadable && !Readable())
            return;
        const TPODEntry record = TPODEntry::Load(directory.next());
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
    const std::uint64_t count = header_.EntryCount;
    layout.times = dosTimes == count || dosTimes >= unixTimes ? TimeEncoding::DosPlusBias : TimeEncoding::UnixSeconds;
    header_.Times = layout.times;
    if (layout.times == TimeEncoding::UnixSeconds)
        add({Kind::UnixTimes, ProblemSeverity::Difference, false, std::nullopt, 0, {}});

    if (directoryCrc != 0) {
        // Writers disagree whether the names block is covered too: either is accepted.
        const std::uint32_t directoryAlone = directory.crc();
        const std::uint32_t withNames = Crc32Mpeg2(directoryAlone, names_.data(), names_.size());
        if (directoryCrc == directoryAlone || directoryCrc == withNames) {
            header_.DirectoryCheck = ChecksumState::Matches;
            header_.DirectoryCover = directoryCrc == directoryAlone ? DirectoryChecksumCover::Directory
                                                                    : DirectoryChecksumCover::DirectoryAndNames;
        } else {
            header_.DirectoryCheck = ChecksumState::DoesNotMatch;
            add({Kind::DirectoryChecksumWrong, ProblemSeverity::Damage, false, std::nullopt, 0,
                 {directoryCrc, directoryAlone, withNames}});
        }
    }
    const bool anyHeaderChecksum = header_.HeaderCheck != ChecksumState::Absent || directoryCrc != 0;
    layout.anyChecksum = withChecksum != 0;
    if (withChecksum < count && (withChecksum != 0 || anyHeaderChecksum))
        add({Kind::EntriesWithoutChecksum, ProblemSeverity::Difference, false, std::nullopt, 0,
             {count - withChecksum, count, 0}});
}

void ArchiveReader::collectEntries(const Layout &layout)
{
    using Kind = ArchiveProblem::Kind;
    // Every entry was found sound, so the directory's length (checked against the file's) bounds this.
    entries_.reserve(header_.EntryCount);
    DirectoryCursor directory(*file_, layout.dirOffset, header_.EntryCount);
    for (std::uint32_t i = 0; i < header_.EntryCount; ++i) {
        const TPODEntry record = TPODEntry::Load(directory.next());
        ArchiveEntry entry;
        entry.Index = i;
        entry.StoredSize = record.Size;
        entry.OriginalSize = record.Size;
        entry.DataOffset = record.DataOffset;
        entry.Time = record.Timestamp;
        entry.Checksum = record.Checksum;
        entry.Check = record.Checksum != 0 ? ChecksumState::NotChecked : ChecksumState::Absent;
        entry.Name = *nameAt(record.NameOffset);
        entries_.push_back(entry);
        header_.TotalSize += entry.OriginalSize;

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

void ArchiveReader::checkOverlaps(const Layout &layout)
{
    // Every region the archive describes, checked for overlap in this one place: the fixed ones
    // (header, directory, names, records) and each entry's data. Empty regions overlap nothing.
    struct Region
    {
        std::uint64_t start;
        std::uint64_t end;
        std::uint32_t entry; // kFixed for the archive's own regions
    };
    constexpr std::uint32_t kFixed = 0xFFFFFFFF;
    std::vector<Region> regions;
    regions.reserve(entries_.size() + 5);
    const auto fixed = [&](std::uint64_t start, std::uint64_t size) {
        if (size != 0)
            regions.push_back({start, start + size, kFixed});
    };
    fixed(0, TPODHeader::kSize);
    fixed(layout.dirOffset, std::uint64_t {TPODEntry::kSize} * header_.EntryCount);
    fixed(layout.namesStart, layout.namesSize);
    if (layout.recordsInside) {
        fixed(layout.dependencyStart, layout.dependencyBytes);
        fixed(layout.auditStart, layout.auditBytes);
    }
    for (const ArchiveEntry &entry : entries_)
        if (entry.StoredSize != 0)
            regions.push_back({entry.DataOffset, std::uint64_t {entry.DataOffset} + entry.StoredSize, entry.Index});
    const auto byStart = [](const Region &a, const Region &b) {
        return a.start != b.start ? a.start < b.start : a.entry < b.entry;
    };
    // Data in directory order is the common case: sorted already, it costs one pass.
    if (!std::is_sorted(regions.begin(), regions.end(), byStart))
        std::sort(regions.begin(), regions.end(), byStart);

    const Region *reaching = nullptr; // of the regions so far, the one that ends last
    for (const Region &region : regions) {
        if (reaching && region.start < reaching->end) {
            // Data can only meet the fixed regions by lying outside the contents, reported
            // already; what is left is data shared by two entries.
            const Region &later = region.entry == kFixed ? *reaching : region;
            const Region &other = region.entry == kFixed ? region : *reaching;
            if (later.entry != kFixed && other.entry != kFixed) {
                const ArchiveEntry &entry = entries_[later.entry];
                add({ArchiveProblem::Kind::DataOverlaps, ProblemSeverity::Damage, false, entry.Index,
                     static_cast<std::uint32_t>(entry.Name.data() - names_.data()),
                     {entry.StoredSize, entry.DataOffset, other.entry}});
            }
        }
        if (!reaching || region.end > reaching->end)
            reaching = &region;
    }
}

bool ArchiveReader::CheckData(DataCheckObserver *observer)
{
    if (dataChecked_)
        return true;
    Entries();
    std::uint64_t total = 0;
    for (const ArchiveEntry &entry : entries_)
        if (entry.Check != ChecksumState::Absent)
            total += entry.StoredSize;
    std::uint64_t done = 0;
    // The results are applied only once every entry is read, so that a cancelled check leaves
    // nothing behind.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> results;
    for (const ArchiveEntry &entry : entries_) {
        if (entry.Check == ChecksumState::Absent)
            continue;
        if (observer && observer->Cancelled())
            return false;
        std::uint32_t crc = kCrc32Mpeg2Start;
        try {
            ReadData(entry, [&](const char *bytes, std::size_t n) {
                crc = Crc32Mpeg2(crc, bytes, n);
                done += n;
                if (observer && n >= 64 * 1024)
                    observer->Progress(done, total);
            });
        } catch (const Error &error) {
            throw Error(path_ + ": " + EntryLabel(entry) + ": " + error.what());
        }
        if (crc != entry.Checksum)
            results.emplace_back(entry.Index, crc);
        if (observer)
            observer->Progress(done, total);
    }
    for (ArchiveEntry &entry : entries_)
        if (entry.Check == ChecksumState::NotChecked)
            entry.Check = ChecksumState::Matches;
    for (const auto &[index, crc] : results) {
        ArchiveEntry &entry = entries_[index];
        entry.Check = ChecksumState::DoesNotMatch;
        add({ArchiveProblem::Kind::EntryChecksumWrong, ProblemSeverity::Damage, false, index,
             static_cast<std::uint32_t>(entry.Name.data() - names_.data()), {entry.Checksum, crc, 0}});
    }
    dataChecked_ = true;
    return true;
}

void ArchiveReader::ReadData(const ArchiveEntry &entry,
                             const std::function<void(const char *, std::size_t)> &sink)
{
    Entries();
    std::int64_t at = entry.DataOffset;
    for (std::uint32_t left = entry.StoredSize; left > 0;) {
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
