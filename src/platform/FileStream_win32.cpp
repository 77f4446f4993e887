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
    case OpenMode::ReadBesideEdits:
        return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING};
    case OpenMode::HoldExclusive:
        // Delete shared, so that the holder can replace the file while it holds it.
        return {GENERIC_READ, FILE_SHARE_DELETE, OPEN_EXISTING};
    case OpenMode::ReadExclusive:
        break;
    }
    return {GENERIC_READ, 0, OPEN_EXISTING};
}

std::string lowerCaseSystemText(DWORD error)
{
    std::string text = SystemErrorText(error);
    if (text.size() > 1 && text[0] >= 'A' && text[0] <= 'Z' && (text[1] < 'A' || text[1] > 'Z'))
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
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

// Why an open failed with the given error, in words a user can act on.
std::string refusalText(DWORD error, const std::string &path)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "not found";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return "in use by another program";
    case ERROR_ACCESS_DENIED: {
        // Folders are refused as access denied when opened as files.
        const DWORD attributes = ::GetFileAttributesW(WidePathFromUtf8(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return "it is a folder";
        return "permission denied";
    }
    default:
        return lowerCaseSystemText(error);
    }
}

// Empty on success, else why the open file cannot serve.
std::string setUp(HANDLE file, OpenMode mode, FileStatus &status)
{
    // Only files on a disk hold contents with a known size; devices (CON, NUL, COM1) and pipes
    // are refused.
    if (::GetFileType(file) != FILE_TYPE_DISK)
        return "not a regular file";
    const auto known = statusOf(file);
    if (!known)
        return lowerCaseSystemText(::GetLastError());
    status = *known;
    if (mode == OpenMode::CreateExclusive && status.size != 0) {
        if (!::SetEndOfFile(file))
            return lowerCaseSystemText(::GetLastError());
        status.size = 0;
    }
    return {};
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
        refusal_ = refusalText(error, path_);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Opening::Absent
                                                                              : Opening::Refused;
    }
    refusal_ = setUp(file, mode, opened_);
    if (!refusal_.empty()) {
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
        RecordLastError(static_cast<int>(::GetLastError()));
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
        if (!::WriteFile(asHandle(handle_), bytes + done, part, &put, nullptr) || put == 0) {
            RecordLastError(put == 0 && ::GetLastError() == ERROR_SUCCESS ? static_cast<int>(ERROR_DISK_FULL)
                                                                        : static_cast<int>(::GetLastError()));
            break;
        }
        done += put;
    }
    return done;
}

std::string FileStream::ErrorText(int error)
{
    return lowerCaseSystemText(static_cast<DWORD>(error));
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
