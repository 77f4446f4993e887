#pragma once

#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace morvane {

class MappedWindow;

// How a file is opened and who else may use it while it is open. Linux has no share modes,
// so sharing is expressed with advisory flock() locks that cooperating programs respect; a lock
// that cannot be had at once is a refusal, never a wait. Every mode opens regular files only.
enum class OpenMode {
    CreateExclusive, // create or truncate, read and write; nobody else may hold it
    UpdateShared, // existing file, read and write; others may read and write, not hold it
                  // exclusively
    ReadShared, // existing file, read only; others may read but not hold it exclusively
    // Existing file, read only; others may read it and update it in place, as a header edit
    // does, but not hold it exclusively. What reads an archive opens it this way, so that an
    // archive can be looked into while its header is edited, on every system.
    ReadBesideEdits,
    ReadExclusive, // existing regular file, read only; fails when anybody else holds it
    // Existing regular file, opened read-only and left as it is, held so that nobody else may
    // open it (a build holds the archive it will replace this way). On Windows others may still
    // delete or replace it, so that the holder itself can put the new file in its place.
    HoldExclusive,
};

// A file that could not be opened; what() is "Cannot open file <path>" (or "Cannot create file
// <path>"), and Cause() says why in words a user can act on: "not found", "in use by another
// program", "permission denied", "it is a folder", "not a regular file", or the system's own.
class FileOpenError : public Error
{
public:
    FileOpenError(const std::string &message, std::string cause)
        : Error(message)
        , cause_(std::move(cause))
    {
    }
    const std::string &Cause() const { return cause_; }

private:
    std::string cause_;
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
    // Throws FileOpenError("Cannot open file <path>") or, for CreateExclusive, "Cannot create file
    // <path>".
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
    // Up to n bytes; fewer on an error.
    std::size_t Write(const void *buffer, std::size_t n);
    // Why the last read or write that failed did, in lower-case words ("no space left on
    // device", "input/output error"); "unknown cause" when none failed.
    std::string LastErrorText() const;
    // The same for a system error code (errno on POSIX, a Windows error code on Windows).
    static std::string ErrorText(int error);

    // A read-only view of part of the file (see FileMapping.h). Virtual so that tests can make
    // part of a mapped file unreadable, as a failing disk does.
    virtual std::unique_ptr<MappedWindow> Map(std::uint64_t offset, std::size_t length) const;
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

    // Takes over a handle opened elsewhere in the platform layer; it is closed with the stream.
    static std::unique_ptr<FileStream> Adopt(std::intptr_t handle, const std::string &path);

protected:
    // Records the system's error of a failed read or write, for LastErrorText().
    void RecordLastError(int error) { lastError_ = error; }

private:
    enum class Opening { Opened, Absent, Refused };

    explicit FileStream(const std::string &path);
    // Opens path_ in the system's way; on a refusal sets refusal_ to why.
    Opening open(OpenMode mode);
    FileOpenError openError(OpenMode mode) const;

    std::string path_;
    std::intptr_t handle_ = -1;
    FileStatus opened_;
    bool readFailed_ = false;
    int lastError_ = 0;
    std::string refusal_;
};

// Reads a whole file opened with the given mode.
std::string ReadWholeFile(const std::string &path, OpenMode mode = OpenMode::ReadShared);

} // namespace morvane
