#include "platform/DirectoryListing.h"

#include "WideText_win32.h"

#include <windows.h>

namespace morvane {
namespace {

HANDLE asHandle(void *handle)
{
    return static_cast<HANDLE>(handle);
}

// The finder's attribute word from the entry's own: the bits share their values with Windows'
// FILE_ATTRIBUTE_* flags, except the reparse point, which is the finder's symbolic-link bit.
std::uint32_t attributesOf(const WIN32_FIND_DATAW &found)
{
    const DWORD own = found.dwFileAttributes;
    std::uint32_t attributes = own & (kFaReadOnly | kFaHidden | kFaSysFile | kFaDirectory | kFaArchive);
    if (own & FILE_ATTRIBUTE_REPARSE_POINT)
        attributes |= kFaSymLink;
    return attributes;
}

} // namespace

// The longest path the wide calls take, less its \\?\ prefix, in UTF-16 units of at most three
// bytes of UTF-8 each.
const std::size_t kMaxPathBytes = 3 * (UNICODE_STRING_MAX_CHARS - 1 - 4);

DirectoryListing::DirectoryListing(const std::string &folder, std::string mask, std::uint32_t attributeValue)
    : filter_(std::move(mask), attributeValue)
{
    std::wstring pattern = WidePathFromUtf8(folder.empty() ? "." : folder);
    if (pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':')
        pattern += L'\\';
    // Every entry is fetched and matched against the mask here, with the same rule on every
    // system, rather than by Windows' own matching, which also matches the short 8.3 names.
    pattern += L'*';
    WIN32_FIND_DATAW found {};
    const HANDLE handle = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE) {
        // A drive's root may hold no entry at all; anything else is a folder that cannot be read.
        if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND)
            error_ = std::error_code(static_cast<int>(error), std::system_category());
        return;
    }
    handle_ = handle;
    pending_ = DirectoryEntry {Utf8FromWide(found.cFileName), attributesOf(found)};
}

DirectoryListing::~DirectoryListing()
{
    if (handle_ != nullptr)
        ::FindClose(asHandle(handle_));
}

std::optional<DirectoryEntry> DirectoryListing::Next()
{
    while (handle_ != nullptr) {
        std::optional<DirectoryEntry> entry = std::move(pending_);
        pending_.reset();
        if (!entry) {
            WIN32_FIND_DATAW found {};
            if (!::FindNextFileW(asHandle(handle_), &found)) {
                if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES)
                    error_ = std::error_code(static_cast<int>(error), std::system_category());
                ::FindClose(asHandle(handle_));
                handle_ = nullptr;
                return std::nullopt;
            }
            entry = DirectoryEntry {Utf8FromWide(found.cFileName), attributesOf(found)};
        }
        if (filter_.Passes(*entry))
            return entry;
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> FolderEntryNames(const std::string &folder)
{
    std::wstring pattern = WidePathFromUtf8(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found {};
    const HANDLE handle = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<std::string> names;
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Utf8FromWide(name));
    } while (::FindNextFileW(handle, &found));
    ::FindClose(handle);
    return names;
}

} // namespace morvane
