#include "WideText_win32.h"

#include "text/VerbatimPath.h"

#include <windows.h>

#include <climits>
#include <optional>

namespace morvane {
namespace {

// What GetFullPathNameW makes of a short start of a path ("C:", "\\"): the folder it stands for.
std::optional<std::wstring> fullPathOf(const wchar_t *start)
{
    const DWORD needed = ::GetFullPathNameW(start, 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD length = needed == 0 ? 0 : ::GetFullPathNameW(start, needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return std::nullopt;
    full.resize(length);
    return full;
}

std::optional<std::wstring> currentFolder()
{
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring current(needed, L'\0');
    const DWORD length = needed == 0 ? 0 : ::GetCurrentDirectoryW(needed, current.data());
    if (length == 0 || length >= needed)
        return std::nullopt;
    current.resize(length);
    return current;
}

} // namespace

std::wstring WideFromUtf8(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(std::wstring_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring WidePathFromUtf8(std::string_view path)
{
    std::wstring wide = WideFromUtf8(path);
    if (wide.empty() || NamesWindowsDevice(path))
        return wide;
    // Separators are ASCII, so the path's start can be worked out on either form.
    std::optional<std::wstring> base;
    std::size_t skipped = 0;
    switch (WindowsPathStartOf(path)) {
    case WindowsPathStart::Verbatim:
        return wide;
    case WindowsPathStart::DriveAbsolute:
    case WindowsPathStart::Unc:
        base = std::wstring();
        break;
    case WindowsPathStart::DriveRelative:
        base = fullPathOf(wide.substr(0, 2).c_str());
        skipped = 2;
        break;
    case WindowsPathStart::RootRelative:
        base = fullPathOf(L"\\");
        break;
    case WindowsPathStart::Relative:
        base = currentFolder();
        break;
    }
    if (!base)
        return wide;
    if (!base->empty())
        *base += L'\\';
    const std::optional<std::string> verbatim
        = VerbatimWindowsPath(Utf8FromWide(*base + wide.substr(skipped)));
    return verbatim ? WideFromUtf8(*verbatim) : wide;
}

std::string SystemErrorText(unsigned long error)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                              | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : Utf8FromWide(message);
}

} // namespace morvane
