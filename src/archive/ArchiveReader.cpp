#include "archive/ArchiveReader.h"

#include "platform/Errors.h"
#include "platform/FileStream.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace morvane {
namespace {

// The layout is spelled out here again, on purpose apart from the writer's records, so that a
// mistake in one is caught by the other.
constexpr std::uint32_t kHeaderSize = 288;
constexpr std::size_t kEntryCountAt = 88;
constexpr std::size_t kDirOffsetAt = 264;
constexpr std::size_t kNamesSizeAt = 272;
constexpr std::size_t kMarkerAt = 280;
constexpr std::uint32_t kDirectoryEntrySize = 20;
constexpr std::uint32_t kTimestampOffset = 0x102A5543;
constexpr std::size_t kDataChunk = 64 * 1024;

std::uint32_t le32(const unsigned char *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
        | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

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

std::optional<StoredTime> DecodeTimestamp(std::uint32_t stored)
{
    if (stored == kStoredTimeUnknown)
        return std::nullopt;
    const std::uint32_t dos = stored - kTimestampOffset;
    const std::uint32_t date = dos >> 16;
    const std::uint32_t time = dos & 0xFFFF;
    StoredTime t;
    t.Year = 1980 + static_cast<int>(date >> 9);
    t.Month = static_cast<int>((date >> 5) & 15);
    t.Day = static_cast<int>(date & 31);
    t.Hour = static_cast<int>(time >> 11);
    t.Minute = static_cast<int>((time >> 5) & 63);
    t.Second = static_cast<int>(time & 31) * 2;
    const std::chrono::year_month_day day {std::chrono::year(t.Year),
                                           std::chrono::month(static_cast<unsigned>(t.Month)),
                                           std::chrono::day(static_cast<unsigned>(t.Day))};
    if (!day.ok() || t.Hour > 23 || t.Minute > 59 || t.Second > 59)
        return std::nullopt;
    return t;
}

std::string FormatTimestamp(std::uint32_t stored)
{
    char text[32];
    if (stored == kStoredTimeUnknown)
        return "unknown";
    if (const auto t = DecodeTimestamp(stored)) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->Year, t->Month, t->Day,
                      t->Hour, t->Minute, t->Second);
        return text;
    }
    std::snprintf(text, sizeof text, "invalid (0x%08X)", static_cast<unsigned>(stored));
    return text;
}

std::string PrintableName(std::string_view name)
{
    std::string shown(name);
    for (char &c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return shown;
}

ArchiveReader::ArchiveReader(const std::string &path)
    : path_(path)
    , file_(std::make_unique<FileStream>(path, OpenMode::ReadShared))
{
    try {
        read();
    } catch (const Error &error) {
        // The file changed under us between taking its length and reading it.
        throw Error(path_ + ": " + error.what());
    }
}

ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::problem(const std::string &what)
{
    problems_.push_back(path_ + ": " + what);
}

void ArchiveReader::blocking(const std::string &what)
{
    problem(what);
    if (firstBlocking_.empty())
        firstBlocking_ = problems_.back();
}

std::string ArchiveReader::entryLabel(std::size_t index, const std::optional<std::string> &name) const
{
    std::string label = "entry " + str(index + 1);
    if (name)
        label += " (" + PrintableName(*name) + ")";
    return label;
}

const std::vector<ArchiveEntry> &ArchiveReader::Entries() const
{
    if (!Readable())
        throw Error(firstBlocking_);
    return entries_;
}

void ArchiveReader::read()
{
    fileSize_ = file_->Size();
    const auto size = static_cast<std::uint64_t>(fileSize_);
    unsigned char header[kHeaderSize];
    const std::size_t got = size < kHeaderSize ? static_cast<std::size_t>(size) : kHeaderSize;
    file_->Seek(0);
    file_->ReadBuffer(header, got);

    if (got >= 4 && std::memcmp(header, "POD3", 4) != 0)
        return blocking("not a POD3 archive: it starts with the bytes " + hexBytes(header, 4)
                        + ", not \"POD3\"");
    if (size == 0)
        return blocking("not a POD3 archive: the file is empty");
    if (got < kHeaderSize)
        return blocking("too short for a POD3 header: " + str(size) + " bytes, "
                        + str(kHeaderSize) + " needed");

    entryCount_ = le32(header + kEntryCountAt);
    const std::uint32_t dirOffset = le32(header + kDirOffsetAt);
    const std::uint32_t namesSize = le32(header + kNamesSizeAt);
    const std::uint32_t marker = le32(header + kMarkerAt);

    if (dirOffset == 0)
        return blocking("left incomplete by a failed build: its directory offset is still 0 ("
                        + str(size - kHeaderSize) + " bytes of contents follow the header, "
                        + "no directory and no names)");
    if (marker != 0xFFFFFFFF)
        problem("the field at offset 280 holds " + str(marker) + ", not -1");
    if (dirOffset < kHeaderSize)
        return blocking("the directory offset " + str(dirOffset) + " lies inside the "
                        + str(kHeaderSize) + "-byte header");
    if (dirOffset > size)
        return blocking("the directory offset " + str(dirOffset) + " lies past the end of the file ("
                        + str(size) + " bytes)");
    const std::uint64_t directoryBytes = std::uint64_t {kDirectoryEntrySize} * entryCount_;
    if (directoryBytes > size - dirOffset)
        return blocking("the directory of " + str(entryCount_) + " entries (" + str(directoryBytes)
                        + " bytes at offset " + str(dirOffset) + ") runs past the end of the file ("
                        + str(size) + " bytes)");
    const std::uint64_t namesStart = dirOffset + directoryBytes;
    if (namesSize > size - namesStart)
        return blocking("the names block (" + str(namesSize) + " bytes at offset " + str(namesStart)
                        + ") runs past the end of the file (" + str(size) + " bytes)");
    if (namesStart + namesSize != size)
        problem("the file is " + str(size) + " bytes long but its names block ends at "
                + str(namesStart + namesSize) + " (directory offset + 20 x entry count + names size)");

    readEntries(dirOffset, namesSize);
}

void ArchiveReader::readEntries(std::uint32_t dirOffset, std::uint32_t namesSize)
{
    // Both sizes were checked against the file's length, so these allocations are bounded by it.
    std::vector<unsigned char> directory(std::size_t {kDirectoryEntrySize} * entryCount_);
    std::vector<char> names(namesSize);
    file_->Seek(dirOffset);
    file_->ReadBuffer(directory.data(), directory.size());
    file_->ReadBuffer(names.data(), names.size());

    entries_.reserve(entryCount_);
    std::uint64_t nextName = 0;
    bool namesInOrder = true;
    // Where the next entry's data should start; unknown after an entry whose data lies outside
    // the contents, so that one bad entry is not reported again as a gap at the next.
    std::uint64_t nextData = kHeaderSize;
    bool nextDataKnown = true;
    for (std::size_t i = 0; i < entryCount_; ++i) {
        const unsigned char *record = directory.data() + i * kDirectoryEntrySize;
        ArchiveEntry entry;
        entry.Index = i;
        entry.NameOffset = le32(record);
        entry.Size = le32(record + 4);
        entry.DataOffset = le32(record + 8);
        entry.Timestamp = le32(record + 12);

        std::optional<std::string> name;
        if (entry.NameOffset >= namesSize) {
            blocking(entryLabel(i, name) + ": its name offset " + str(entry.NameOffset)
                     + " lies outside the names block (" + str(namesSize) + " bytes)");
        } else {
            const char *start = names.data() + entry.NameOffset;
            const void *end = std::memchr(start, 0, namesSize - entry.NameOffset);
            if (end == nullptr)
                blocking(entryLabel(i, name) + ": its name at offset " + str(entry.NameOffset)
                         + " has no zero byte before the end of the names block");
            else
                name.emplace(start, static_cast<const char *>(end));
        }
        const std::string label = entryLabel(i, name);

        if (namesInOrder && name) {
            if (entry.NameOffset != nextName)
                problem(label + ": its name starts at offset " + str(entry.NameOffset)
                        + " of the names block, not at " + str(nextName)
                        + (i == 0 ? "" : ", right after the previous name"));
            nextName = entry.NameOffset + name->size() + 1;
        } else {
            namesInOrder = false;
        }

        const bool dataInside = entry.DataOffset >= kHeaderSize && entry.DataOffset <= dirOffset
            && entry.Size <= dirOffset - entry.DataOffset;
        if (!dataInside) {
            blocking(label + ": its data (" + str(entry.Size) + " bytes at offset "
                     + str(entry.DataOffset) + ") lies outside the contents, which run from "
                     + str(kHeaderSize) + " to the directory at " + str(dirOffset));
            nextDataKnown = false;
        } else {
            if (nextDataKnown && entry.DataOffset != nextData)
                problem(label + ": its data starts at offset " + str(entry.DataOffset) + ", not at "
                        + str(nextData) + (i == 0 ? ", right after the header"
                                                   : ", right after the previous entry's data"));
            nextData = std::uint64_t {entry.DataOffset} + entry.Size;
            nextDataKnown = true;
        }

        if (entry.Timestamp != kStoredTimeUnknown && !DecodeTimestamp(entry.Timestamp))
            problem(label + ": its timestamp " + FormatTimestamp(entry.Timestamp)
                    + " is not a date and time");

        if (name)
            entry.Name = std::move(*name);
        entries_.push_back(std::move(entry));
    }
    if (namesInOrder && nextName != namesSize)
        problem("the names block is " + str(namesSize) + " bytes long but its names end at "
                + str(nextName));
    if (nextDataKnown && nextData != dirOffset)
        problem("the stored data ends at offset " + str(nextData) + " but the directory starts at "
                + str(dirOffset));
}

void ArchiveReader::ReadData(const ArchiveEntry &entry,
                             const std::function<void(const char *, std::size_t)> &sink)
{
    Entries();
    std::vector<char> buffer(entry.Size < kDataChunk ? entry.Size : kDataChunk);
    file_->Seek(entry.DataOffset);
    for (std::uint32_t left = entry.Size; left > 0;) {
        const std::size_t n = left < buffer.size() ? left : buffer.size();
        try {
            file_->ReadBuffer(buffer.data(), n);
        } catch (const Error &error) {
            throw Error(path_ + ": " + entryLabel(entry.Index, entry.Name) + ": " + error.what());
        }
        sink(buffer.data(), n);
        left -= static_cast<std::uint32_t>(n);
    }
}

} // namespace morvane
