#include "platform/DirectoryListing.h"

#include "platform/WideText_win32.h"

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

DirectoryListing::DirectoryListing(const std::string &folder, std::string mask,
                                   std::uint32_t attributeValue)
    : mask_(std::move(mask))
    , exclusion_(~attributeValue & kFaExcludable)
{
    std::wstring pattern = WideFromUtf8(folder.empty() ? "." : folder);
    if (pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':')
        pattern += L'\\';
    // Every entry is fetched and matched against the mask here, with the same rule on every
    // system, rather than by Windows' own matching, which also matches the short 8.3 names.
    pattern += L'*';
    WIN32_FIND_DATAW found {};
    const HANDLE handle = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE)
        return;
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
            if (!::FindNextFileW(asHandle(handle_), &found))
                return std::nullopt;
            entry = DirectoryEntry {Utf8FromWide(found.cFileName), attributesOf(found)};
        }
        if (MaskMatches(mask_, entry->name) && (entry->attributes & exclusion_) == 0)
            return entry;
    }
    return std::nullopt;
}

} // namespace morvane
