#include "platform/SettingsFileAccess.h"

#include "WideText_win32.h"
#include "platform/PathQueries.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace morvane {

namespace {

bool IsPlainFile(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0
        && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
}

// Other programs may read and write the file, and remove it, while we have it open: nothing here
// shuts anybody out. A rename over the file is still refused until every handle on it is closed.
HANDLE OpenShared(const std::string &path, bool forWriting)
{
    const DWORD access = GENERIC_READ | (forWriting ? GENERIC_WRITE : 0);
    return ::CreateFileW(WidePathFromUtf8(path).c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The name of the mutex writers of the file at path take turns on. A lock on the file itself
// would keep the file from being replaced while it is held, and Windows enforces byte-range
// locks on readers too; a named mutex does neither. The name comes from the full path in
// capitals, since two spellings of a name differing only in case are the same file here.
std::wstring TurnName(const std::string &path)
{
    std::error_code error;
    const std::string absolute = AbsolutePath(path, error);
    std::wstring full = WideFromUtf8(error ? path : absolute);
    if (!full.empty())
        ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    // FNV-1a over the UTF-16 code units: the full path could be longer than a mutex name may be.
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t unit : full)
        for (const unsigned byte : {unsigned(unit) & 0xFFu, (unsigned(unit) >> 8) & 0xFFu}) {
            hash ^= byte;
            hash *= 1099511628211ull;
        }
    std::wstring name = L"Local\\Morvane.settings.";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name;
}

} // namespace

struct SettingsFileAccess::Handle
{
    std::string path;
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE turn = nullptr;
    bool turnTaken = false;

    void CloseFile()
    {
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }

    ~Handle()
    {
        // The file is let go before the turn, so that the next writer finds it free to replace.
        CloseFile();
        if (turnTaken)
            ::ReleaseMutex(turn);
        if (turn != nullptr)
            ::CloseHandle(turn);
    }
};

SettingsFileAccess::SettingsFileAccess(const std::string &path, bool forWriting)
    : handle_(std::make_unique<Handle>())
{
    handle_->path = path;
    handle_->file = OpenShared(path, forWriting);
    if (handle_->file == INVALID_HANDLE_VALUE) {
        switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
            state_ = Opened::Missing;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            state_ = Opened::Busy;
            break;
        default:
            state_ = Opened::Failed;
        }
        return;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (!::GetFileInformationByHandle(handle_->file, &info)
        || ::GetFileType(handle_->file) != FILE_TYPE_DISK) {
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
    if (handle_->turnTaken)
        return Lock::Taken;
    if (handle_->turn == nullptr) {
        handle_->turn = ::CreateMutexW(nullptr, FALSE, TurnName(handle_->path).c_str());
        if (handle_->turn == nullptr)
            return Lock::Failed;
    }
    switch (::WaitForSingleObject(handle_->turn, 0)) {
    case WAIT_OBJECT_0:
    // The writer before us ended without giving the turn back. Its write replaced the file in
    // one step or not at all, so the file is whole either way.
    case WAIT_ABANDONED:
        handle_->turnTaken = true;
        return Lock::Taken;
    case WAIT_TIMEOUT:
        return Lock::Busy;
    default:
        return Lock::Failed;
    }
}

bool SettingsFileAccess::IsStillAt(const std::string &path) const
{
    BY_HANDLE_FILE_INFORMATION open {};
    if (handle_->file == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle_->file, &open))
        return false;
    const SettingsFileAccess named(path, false);
    BY_HANDLE_FILE_INFORMATION current {};
    return named.State() == Opened::File && ::GetFileInformationByHandle(named.handle_->file, &current)
        && open.dwVolumeSerialNumber == current.dwVolumeSerialNumber
        && open.nFileIndexHigh == current.nFileIndexHigh && open.nFileIndexLow == current.nFileIndexLow;
}

std::optional<std::string> SettingsFileAccess::ReadAll() const
{
    if (handle_->file == INVALID_HANDLE_VALUE)
        return std::nullopt;
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

// A file with a handle open on it, ours included, cannot be renamed over.
void SettingsFileAccess::LetGoForReplace()
{
    handle_->CloseFile();
}

bool SettingsFileAccess::RewriteInPlace(std::string_view text)
{
    if (handle_->file == INVALID_HANDLE_VALUE) {
        handle_->file = OpenShared(handle_->path, true);
        BY_HANDLE_FILE_INFORMATION info {};
        if (handle_->file == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle_->file, &info)
            || ::GetFileType(handle_->file) != FILE_TYPE_DISK || !IsPlainFile(info.dwFileAttributes))
            return false;
    }
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

bool SettingsFileAccess::ReplaceCanMeetOpenFile()
{
    return true;
}

bool SettingsFileAccess::RegularFileExists(const std::string &path)
{
    return IsPlainFile(::GetFileAttributesW(WidePathFromUtf8(path).c_str()));
}

} // namespace morvane
