#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

namespace morvane {

// How a file is opened and who else may use it while it is open. Linux has no share modes,
// so sharing is expressed with advisory flock() locks that cooperating programs respect; a lock
// that cannot be had at once is a refusal, never a wait. Every mode opens regular files only.
enum class OpenMode {
    CreateExclusive, // create or truncate, read and write; nobody else may hold it
    UpdateShared, // existing file, read and write; others may read and write, not hold it
                  // exclusively
    ReadShared, // existing file, read only; others may read but not hold it exclusively
    ReadExclusive, // existing regular file, read only; fails when anybody else holds it
};

// What the system knows of an open file.
struct FileStatus
{
    std::int64_t size = 0;
    // Bytes of storage the file occupies, which may exceed its size while blocks are reserved.
    std::int64_t allocated = 0;
    // Last write, in seconds since 1970-01-01 00:00 UTC.
    std::time_t modified = 0;
};

// An open file. Closed when destroyed.
class FileStream
{
public:
    // Throws Error("Cannot open file <path>") or, for CreateExclusive, "Cannot create file <path>".
    FileStream(const std::string &path, OpenMode mode);
    // The same, except that nothing to open at path (no entry, or a link to nothing) gives
    // nullptr, not a failure: looking for a file in several places costs no exception per place.
    static std::unique_ptr<FileStream> OpenIfPresent(const std::string &path, OpenMode mode);
    virtual ~FileStream();
    FileStream(const FileStream &) = delete;
    FileStream &operator=(const FileStream &) = delete;

    // Up to n bytes; 0 at the end of the file or on an error (then ReadFailed() is true).
    // Virtual so that tests can make part of a file unreadable, as a failing disk does.
    virtual std::size_t Read(void *buffer, std::size_t n);
    bool ReadFailed() const { return readFailed_; }
    // Up to n bytes; 0 on an error.
    std::size_t Write(const void *buffer, std::size_t n);
    // Exactly n bytes, or Error("Stream read error") / Error("Stream write error").
    void ReadBuffer(void *buffer, std::size_t n);
    void WriteBuffer(const void *buffer, std::size_t n);

    void Seek(std::int64_t offset);
    std::int64_t Position() const;
    std::int64_t Size() const;

    // Status of the open file (size, times); nullopt when it cannot be read.
    std::optional<FileStatus> Status() const;
    // The status read while the file was opened, after its lock was taken; costs no system call.
    const FileStatus &StatusWhenOpened() const { return opened_; }

    // The system's handle (a descriptor on POSIX, a HANDLE on Windows), for the platform layer.
    std::intptr_t NativeHandle() const { return handle_; }
    const std::string &Path() const { return path_; }

private:
    enum class Opening { Opened, Absent, Refused };

    explicit FileStream(const std::string &path);
    // Opens path_ in the system's way.
    Opening open(OpenMode mode);

    std::string path_;
    std::intptr_t handle_ = -1;
    FileStatus opened_;
    bool readFailed_ = false;
};

// Reads a whole file opened with the given mode.
std::string ReadWholeFile(const std::string &path, OpenMode mode = OpenMode::ReadShared);

} // namespace morvane
