#include "archive/ArchiveReader.h"

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

struct ArchiveReader::Layout
{
    std::uint32_t dirOffset = 0;
    std::uint32_t namesSize = 0;
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
            next_ += chunk_.size();
            left_ -= records;
            at_ = 0;
        }
        const std::uint8_t *record = chunk_.data() + at_;
        at_ += TPODEntry::kSize;
        return record;
    }

private:
    static constexpr std::uint32_t kRecordsPerChunk = 4096;

    FileStream &file_;
    std::int64_t next_ = 0;
    std::uint32_t left_ = 0;
    std::vector<std::uint8_t> chunk_;
    std::size_t at_ = 0;
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
    ++problemCount_;
    if (problems_.size() < kKeptProblems)
        problems_.push_back(problem);
    if (problem.Blocking && !firstBlocking_)
        firstBlocking_ = problem;
}

std::vector<std::string> ArchiveReader::Problems() const
{
    std::vector<std::string> messages;
    messages.reserve(problems_.size());
    for (const ArchiveProblem &problem : problems_)
        messages.push_back(describe(problem));
    return messages;
}

std::string ArchiveReader::ProblemTotal() const
{
    return str(problemCount_) + (problemCount_ == 1 ? " problem" : " problems") + " found";
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

std::string ArchiveReader::entryLabel(std::uint32_t index, std::uint32_t nameOffset) const
{
    std::string label = "entry " + str(std::uint64_t {index} + 1);
    if (const auto name = nameAt(nameOffset)) {
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

std::string ArchiveReader::EntryLabel(const ArchiveEntry &entry) const
{
    return entryLabel(entry.Index, entry.NameOffset);
}

std::string ArchiveReader::describe(const ArchiveProblem &p) const
{
    using Kind = ArchiveProblem::Kind;
    const std::uint64_t a = p.Values[0], b = p.Values[1], c = p.Values[2];
    const std::string label = p.Entry ? entryLabel(*p.Entry, p.NameOffset) : std::string();
    const bool first = p.Entry == 0u;
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
        what = "the directory of " + str(entryCount_) + " entries (" + str(a) + " bytes at offset " + str(b)
            + ") runs past the end of the file (" + str(c) + " bytes)";
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
    }
    return path_ + ": " + what;
}

void ArchiveReader::read(ArchiveCheck check)
{
    using Kind = ArchiveProblem::Kind;
    const auto fault
        = [&](Kind what, bool isBlocking, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
              add({what, isBlocking, std::nullopt, 0, {a, b, c}});
          };

    fileSize_ = file_->Size();
    const auto size = static_cast<std::uint64_t>(fileSize_);
    TPODHeader header;
    const std::size_t got = size < TPODHeader::kSize ? static_cast<std::size_t>(size) : TPODHeader::kSize;
    file_->Seek(0);
    file_->ReadBuffer(header.Bytes.data(), got);

    const std::string_view magic = TPODHeader::kPod3Magic;
    if (got >= magic.size() && std::memcmp(header.Bytes.data(), magic.data(), magic.size()) != 0)
        return fault(Kind::BadSignature, true, header.U32(TPODHeader::MagicAt));
    if (size == 0)
        return fault(Kind::EmptyFile, true);
    if (got < TPODHeader::kSize)
        return fault(Kind::ShortHeader, true, size);

    entryCount_ = header.EntryCount();
    Layout layout;
    layout.dirOffset = header.DirOffset();
    layout.namesSize = header.NamesSize();
    const std::int32_t marker = header.Marker();
    const std::uint32_t dirOffset = layout.dirOffset;
    const std::uint32_t namesSize = layout.namesSize;

    if (dirOffset == 0)
        return fault(Kind::LeftByFailedBuild, true, size - TPODHeader::kSize);
    if (marker != TPODHeader::kMarkerOfCompleteBuild)
        fault(Kind::BadMarker, false, static_cast<std::uint32_t>(marker));
    if (dirOffset < TPODHeader::kSize)
        return fault(Kind::DirectoryInHeader, true, dirOffset);
    if (dirOffset > size)
        return fault(Kind::DirectoryPastEnd, true, dirOffset, size);
    const std::uint64_t directoryBytes = std::uint64_t {TPODEntry::kSize} * entryCount_;
    if (directoryBytes > size - dirOffset)
        return fault(Kind::DirectoryRunsPastEnd, true, directoryBytes, dirOffset, size);
    const std::uint64_t namesStart = dirOffset + directoryBytes;
    if (namesSize > size - namesStart)
        return fault(Kind::NamesRunPastEnd, true, namesSize, namesStart, size);
    if (namesStart + namesSize != size)
        fault(Kind::NamesEndBeforeFileEnd, false, size, namesStart + namesSize);

    // The names block was checked against the file's length, so this is bounded by it.
    names_.resize(namesSize);
    file_->Seek(static_cast<std::int64_t>(namesStart));
    file_->ReadBuffer(names_.data(), names_.size());
    nameEnds_.reserve(static_cast<std::size_t>(std::count(names_.begin(), names_.end(), '\0')));
    for (std::uint32_t i = 0; i < namesSize; ++i)
        if (names_[i] == '\0')
            nameEnds_.push_back(i);

    checkEntries(layout, check);
    if (Readable())
        collectEntries(layout);
}

void ArchiveReader::checkEntries(const Layout &layout, ArchiveCheck check)
{
    using Kind = ArchiveProblem::Kind;
    DirectoryCursor directory(*file_, layout.dirOffset, entryCount_);
    std::uint64_t nextName = 0;
    bool namesInOrder = true;
    // Where the next entry's data should start; unknown after an entry whose data lies outside
    // the contents, so that one bad entry is not reported again as a gap at the next.
    std::uint64_t nextData = TPODHeader::kSize;
    bool nextDataKnown = true;
    for (std::uint32_t i = 0; i < entryCount_; ++i) {
        if (check == ArchiveCheck::UntilUnreadable && !Readable())
            return;
        const TPODEntry record = TPODEntry::Load(directory.next());
        const std::uint32_t nameOffset = record.NameOffset;
        const std::uint32_t size = record.Size;
        const std::uint32_t dataOffset = record.DataOffset;
        const std::uint32_t timestamp = record.Timestamp;
        const auto fault
            = [&](Kind what, bool isBlocking, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
                  add({what, isBlocking, i, nameOffset, {a, b, c}});
              };

        std::optional<std::string_view> name;
        if (nameOffset >= layout.namesSize) {
            fault(Kind::NameOffsetOutside, true, nameOffset, layout.namesSize);
        } else {
            name = nameAt(nameOffset);
            if (!name)
                fault(Kind::NameWithoutZero, true, nameOffset);
        }

        if (namesInOrder && name) {
            if (nameOffset != nextName)
                fault(Kind::NameNotInOrder, false, nameOffset, nextName);
            nextName = std::uint64_t {nameOffset} + name->size() + 1;
        } else {
            namesInOrder = false;
        }

        const bool dataInside = dataOffset >= TPODHeader::kSize && dataOffset <= layout.dirOffset
            && size <= layout.dirOffset - dataOffset;
        if (!dataInside) {
            fault(Kind::DataOutside, true, size, dataOffset, layout.dirOffset);
            nextDataKnown = false;
        } else {
            if (nextDataKnown && dataOffset != nextData)
                fault(Kind::DataNotInOrder, false, dataOffset, nextData);
            nextData = std::uint64_t {dataOffset} + size;
            nextDataKnown = true;
        }

        if (timestamp != kStoredTimeUnknown && !DecodeTimestamp(timestamp))
            fault(Kind::BadTimestamp, false, timestamp);
    }
    if (check == ArchiveCheck::UntilUnreadable && !Readable())
        return;
    if (namesInOrder && nextName != layout.namesSize)
        add({Kind::NamesEndBeforeBlockEnd, false, std::nullopt, 0, {layout.namesSize, nextName, 0}});
    if (nextDataKnown && nextData != layout.dirOffset)
        add({Kind::DataEndsBeforeDirectory, false, std::nullopt, 0, {nextData, layout.dirOffset, 0}});
}

void ArchiveReader::collectEntries(const Layout &layout)
{
    // Every entry was found sound, so the directory's length (checked against the file's) bounds this.
    entries_.reserve(entryCount_);
    DirectoryCursor directory(*file_, layout.dirOffset, entryCount_);
    for (std::uint32_t i = 0; i < entryCount_; ++i) {
        const TPODEntry record = TPODEntry::Load(directory.next());
        ArchiveEntry entry;
        entry.Index = i;
        entry.NameOffset = record.NameOffset;
        entry.Size = record.Size;
        entry.DataOffset = record.DataOffset;
        entry.Timestamp = record.Timestamp;
        entry.Name = *nameAt(entry.NameOffset);
        entries_.push_back(entry);
    }
}

void ArchiveReader::ReadData(const ArchiveEntry &entry,
                             const std::function<void(const char *, std::size_t)> &sink)
{
    Entries();
    std::int64_t at = entry.DataOffset;
    for (std::uint32_t left = entry.Size; left > 0;) {
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
