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
    std::size_t Index = 0; // position in the directory, from 0
    std::string Name;      // the stored bytes, backslash-separated
    std::uint32_t NameOffset = 0;
    std::uint32_t Size = 0;
    std::uint32_t DataOffset = 0;
    std::uint32_t Timestamp = 0; // as stored
};

// The local date and time a stored timestamp encodes.
struct StoredTime
{
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

// The value stored for a file whose time could not be obtained.
inline constexpr std::uint32_t kStoredTimeUnknown = 271209794;

// The date and time, or nullopt when the value is the "unknown" one or encodes no real date.
std::optional<StoredTime> DecodeTimestamp(std::uint32_t stored);
// "2010-03-15 08:30:00", "unknown", or "invalid (0x........)".
std::string FormatTimestamp(std::uint32_t stored);

// A name with its control characters shown as '?', so that it cannot disturb a terminal or
// split a line of output.
std::string PrintableName(std::string_view name);

// Reads a POD3 archive without trusting it: every count, offset and size is checked against the
// file's real length before it is used, and every problem is recorded with the archive's path
// and, where it concerns one, the entry.
class ArchiveReader
{
public:
    // Opens the file read-only (others may read and edit it meanwhile; a build holding it is
    // refused) and reads its header, directory and names. Throws Error only when it cannot be
    // opened; a damaged archive is described by Problems().
    explicit ArchiveReader(const std::string &path);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    const std::string &Path() const { return path_; }
    std::int64_t FileSize() const { return fileSize_; }
    // As the header states it; 0 when there is no readable header.
    std::uint32_t EntryCount() const { return entryCount_; }

    // Every problem found, one message each, in the order found. Empty for a sound archive.
    const std::vector<std::string> &Problems() const { return problems_; }
    // Whether every entry's name and data can be found safely (other problems may remain).
    bool Readable() const { return firstBlocking_.empty(); }

    // The entries in directory order. Throws Error with the first problem that keeps them from
    // being read when the archive is not Readable().
    const std::vector<ArchiveEntry> &Entries() const;

    // Passes the entry's stored bytes to sink, in order, a chunk at a time.
    void ReadData(const ArchiveEntry &entry,
                  const std::function<void(const char *, std::size_t)> &sink);

private:
    void read();
    void readEntries(std::uint32_t dirOffset, std::uint32_t namesSize);
    void problem(const std::string &what);
    void blocking(const std::string &what);
    std::string entryLabel(std::size_t index, const std::optional<std::string> &name) const;

    std::string path_;
    std::unique_ptr<FileStream> file_;
    std::int64_t fileSize_ = 0;
    std::uint32_t entryCount_ = 0;
    std::vector<ArchiveEntry> entries_;
    std::vector<std::string> problems_;
    std::string firstBlocking_;
};

} // namespace morvane
