#include "platform/CaseLookup.h"

#include "platform/WideText_win32.h"

#include <windows.h>

namespace morvane {

bool PathEntryExists(const std::string &path)
{
    return ::GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::vector<std::string>> FolderEntryNames(const std::string &folder)
{
    std::wstring pattern = WideFromUtf8(folder);
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
