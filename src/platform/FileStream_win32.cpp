#include "platform/FileStream.h"

#include "DosTime_win32.h"
#include "WideText_win32.h"
#include "platform/Errors.h"

#include <windows.h>

#include <algorithm>

namespace morvane {
namespace {

// Who else may open the file while it is open: the build's archive admits nobody, a header edit
// admits readers and writers, a response file or a reader admits readers, a source nobody.
struct Access
{
    DWORD desired;
    DWORD share;
    DWORD disposition;
};

Access accessFor(OpenMode mode)
{
    switch (mode) {
    case OpenMode::CreateExclusive:
        // Not CREATE_ALWAYS: the file is truncated below only when it is not empty, and an
        // existing hidden or system file would be refused by it.
        return {GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS};
    case OpenMode::UpdateShared:
        return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING};
    case OpenMode::ReadShared:
        return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
    case OpenMode::ReadExclusive:
        break;
    }
    return {GENERIC_READ, 0, OPEN_EXISTING};
}

HANDLE asHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::optional<FileStatus> statusOf(HANDLE file)
{
    FILE_STANDARD_INFO standard {};
    FILE_BASIC_INFO basic {};
    if (!::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)
        || !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return std::nullopt;
    FILETIME written {};
    written.dwLowDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart);
    written.dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart >> 32);
    return FileStatus {standard.EndOfFile.QuadPart, standard.AllocationSize.QuadPart,
                       TimeFromFileTime(written)};
}

bool setUp(HANDLE file, OpenMode mode, FileStatus &status)
{
    // Only files on a disk hold contents with a known size; devices (CON, NUL, COM1) and pipes
    // are refused.
    if (::GetFileType(file) != FILE_TYPE_DISK)
        return false;
    const auto known = statusOf(file);
    if (!known)
        return false;
    status = *known;
    if (mode == OpenMode::CreateExclusive && status.size != 0) {
        if (!::SetEndOfFile(file))
            return false;
        status.size = 0;
    }
    return true;
}

} // namespace

FileStream::Opening FileStream::open(OpenMode mode)
{
    const Access access = accessFor(mode);
    // Folders cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, so they are refused here.
    const HANDLE file = ::CreateFileW(WidePathFromUtf8(path_).c_str(), access.desired, access.share, nullptr,
                                      access.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Opening::Absent
                                                                              : Opening::Refused;
    }
    if (!setUp(file, mode, opened_)) {
        ::CloseHandle(file);
        return Opening::Refused;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Opening::Opened;
}

FileStream::~FileStream()
{
    if (handle_ != -1)
        ::CloseHandle(asHandle(handle_));
}

std::size_t FileStream::Read(void *buffer, std::size_t n)
{
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    if (!::ReadFile(asHandle(handle_), buffer, want, &got, nullptr)) {
        readFailed_ = true;
        return 0;
    }
    return got;
}

std::size_t FileStream::Write(const void *buffer, std::size_t n)
{
    const auto *bytes = static_cast<const char *>(buffer);
    std::size_t done = 0;
    while (done < n) {
        DWORD put = 0;
        const auto part = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
        if (!::WriteFile(asHandle(handle_), bytes + done, part, &put, nullptr) || put == 0)
            break;
        done += put;
    }
    return done;
}

void FileStream::Seek(std::int64_t offset)
{
    LARGE_INTEGER distance {};
    distance.QuadPart = offset;
    if (offset < 0 || !::SetFilePointerEx(asHandle(handle_), distance, nullptr, FILE_BEGIN))
        throw Error("Stream seek error in " + path_);
}

std::int64_t FileStream::Position() const
{
    LARGE_INTEGER zero {};
    LARGE_INTEGER position {};
    if (!::SetFilePointerEx(asHandle(handle_), zero, &position, FILE_CURRENT))
        return -1;
    return position.QuadPart;
}

std::int64_t FileStream::Size() const
{
    LARGE_INTEGER size {};
    if (!::GetFileSizeEx(asHandle(handle_), &size))
        return -1;
    return size.QuadPart;
}

std::optional<FileStatus> FileStream::Status() const
{
    return statusOf(asHandle(handle_));
}

} // namespace morvane
