#include "platform/SettingsFileAccess.h"

#include "platform/WideText_win32.h"

#include <windows.h>

#include <algorithm>

namespace morvane {

namespace {

bool IsPlainFile(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0
        && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
}

} // namespace

struct SettingsFileAccess::Handle
{
    HANDLE file = INVALID_HANDLE_VALUE;
    ~Handle()
    {
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    }
};

SettingsFileAccess::SettingsFileAccess(const std::string &path, bool forWriting)
    : handle_(std::make_unique<Handle>())
{
    // Other programs may read, write and replace the file while it is open, as they may on POSIX;
    // writers take turns on the lock.
    const DWORD access = GENERIC_READ | (forWriting ? GENERIC_WRITE : 0);
    handle_->file = ::CreateFileW(WideFromUtf8(path).c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle_->file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        state_ = error == ERROR_FILE_NOT_FOUND ? Opened::Missing : Opened::Failed;
        return;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (!::GetFileInformationByHandle(handle_->file, &info) || ::GetFileType(handle_->file) != FILE_TYPE_DISK) {
        state_ = Opened::Failed;
        return;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        state_ = Opened::Link;
        return;
    }
    state_ = IsPlainFile(info.dwFileAttributes) ? Opened::File : Opened::Failed;
}

SettingsFileAccess::~SettingsFileAccess() = default;

SettingsFileAccess::Lock SettingsFileAccess::TryLockExclusive()
{
    OVERLAPPED whole {};
    if (::LockFileEx(handle_->file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                     &whole))
        return Lock::Taken;
    return ::GetLastError() == ERROR_LOCK_VIOLATION ? Lock::Busy : Lock::Failed;
}

bool SettingsFileAccess::IsStillAt(const std::string &path) const
{
    BY_HANDLE_FILE_INFORMATION open {};
    if (!::GetFileInformationByHandle(handle_->file, &open))
        return false;
    const SettingsFileAccess named(path, false);
    BY_HANDLE_FILE_INFORMATION current {};
    return named.State() == Opened::File && ::GetFileInformationByHandle(named.handle_->file, &current)
        && open.dwVolumeSerialNumber == current.dwVolumeSerialNumber && open.nFileIndexHigh == current.nFileIndexHigh
        && open.nFileIndexLow == current.nFileIndexLow;
}

std::optional<std::string> SettingsFileAccess::ReadAll() const
{
    std::string text;
    char buffer[8192];
    for (ULONGLONG offset = 0;;) {
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!::ReadFile(handle_->file, buffer, sizeof buffer, &got, &at))
            return ::GetLastError() == ERROR_HANDLE_EOF ? std::optional<std::string>(text) : std::nullopt;
        if (got == 0)
            return text;
        text.append(buffer, got);
        offset += got;
    }
}

bool SettingsFileAccess::RewriteInPlace(std::string_view text)
{
    for (std::size_t done = 0; done < text.size();) {
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>(done);
        at.OffsetHigh = static_cast<DWORD>(static_cast<ULONGLONG>(done) >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
        DWORD put = 0;
        if (!::WriteFile(handle_->file, text.data() + done, chunk, &put, &at) || put == 0)
            return false;
        done += put;
    }
    LARGE_INTEGER end {};
    end.QuadPart = static_cast<LONGLONG>(text.size());
    return ::SetFilePointerEx(handle_->file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle_->file)
        && ::FlushFileBuffers(handle_->file);
}

bool SettingsFileAccess::RegularFileExists(const std::string &path)
{
    return IsPlainFile(::GetFileAttributesW(WideFromUtf8(path).c_str()));
}

} // namespace morvane
