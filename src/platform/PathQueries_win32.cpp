#include "platform/PathQueries.h"

#include "WideText_win32.h"
#include "Win32Handle_win32.h"
#include "text/CaseFolding.h"

#include <windows.h>

namespace morvane {
namespace {

// Opens the file or folder only to ask about it: no access to its data, every other opener
// admitted, links followed.
Win32Handle openToAsk(const std::string &path)
{
    if (path.empty())
        return Win32Handle();
    return Win32Handle(::CreateFileW(WidePathFromUtf8(path).c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

struct Information
{
    bool onDisk = false;
    BY_HANDLE_FILE_INFORMATION details {};
};

std::optional<Information> informationOf(const std::string &path)
{
    const Win32Handle handle = openToAsk(path);
    if (!handle.valid())
        return std::nullopt;
    Information information;
    information.onDisk = ::GetFileType(handle.get()) == FILE_TYPE_DISK;
    if (information.onDisk && !::GetFileInformationByHandle(handle.get(), &information.details))
        return std::nullopt;
    return information;
}

std::error_code lastError()
{
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

} // namespace

PathKind KindOfPath(const std::string &path)
{
    const auto information = informationOf(path);
    if (!information)
        return PathKind::Missing;
    if (!information->onDisk)
        return PathKind::Other;
    return (information->details.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder
                                                                                   : PathKind::RegularFile;
}

std::optional<FileIdentity> IdentifyFile(const std::string &path)
{
    const auto information = informationOf(path);
    if (!information || !information->onDisk)
        return std::nullopt;
    const BY_HANDLE_FILE_INFORMATION &details = information->details;
    return FileIdentity {details.dwVolumeSerialNumber,
                         (static_cast<std::uint64_t>(details.nFileIndexHigh) << 32) | details.nFileIndexLow};
}

std::optional<std::uint64_t> SizeOfFile(const std::string &path)
{
    const auto information = informationOf(path);
    if (!information || !information->onDisk
        || (information->details.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    return (static_cast<std::uint64_t>(information->details.nFileSizeHigh) << 32)
        | information->details.nFileSizeLow;
}

std::string AbsolutePath(const std::string &path, std::error_code &error)
{
    error.clear();
    const std::wstring wide = WideFromUtf8(path);
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        error = lastError();
        return {};
    }
    std::wstring whole(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, whole.data(), nullptr);
    if (length == 0 || length >= needed) {
        error = length == 0 ? lastError() : std::make_error_code(std::errc::filename_too_long);
        return {};
    }
    whole.resize(length);
    return Utf8FromWide(whole);
}

// GetFullPathNameW takes out "." and ".." itself.
std::string NormalAbsolutePath(const std::string &path, std::error_code &error)
{
    return AbsolutePath(path, error);
}

std::string CurrentFolder(std::error_code &error)
{
    error.clear();
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring current(needed, L'\0');
    const DWORD length = needed == 0 ? 0 : ::GetCurrentDirectoryW(needed, current.data());
    if (length == 0 || length >= needed) {
        error = length == 0 ? lastError() : std::make_error_code(std::errc::filename_too_long);
        return {};
    }
    current.resize(length);
    return Utf8FromWide(current);
}

bool PathEntryExists(const std::string &path)
{
    return ::GetFileAttributesW(WidePathFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileSystemNameKey(std::string_view name)
{
    return FoldCase(name);
}

} // namespace morvane
