#include "SystemState.h"

#include "WideText_win32.h"

#include <windows.h>

#include <stdexcept>

namespace morvane::test {

std::size_t OpenHandleCount()
{
    DWORD count = 0;
    if (!::GetProcessHandleCount(::GetCurrentProcess(), &count))
        throw std::runtime_error("cannot count the process's handles");
    return count;
}

void MarkHidden(const std::string &path)
{
    const std::wstring wide = WideFromUtf8(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES
        || !::SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN))
        throw std::runtime_error("cannot hide " + path);
}

} // namespace morvane::test
