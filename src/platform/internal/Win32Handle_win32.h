#pragma once

#include <windows.h>

namespace morvane {

// A Windows handle closed when it goes out of scope.
class Win32Handle
{
public:
    explicit Win32Handle(HANDLE handle = INVALID_HANDLE_VALUE)
        : handle_(handle)
    {
    }
    ~Win32Handle() { close(); }
    Win32Handle(const Win32Handle &) = delete;
    Win32Handle &operator=(const Win32Handle &) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes the handle held (false when that close failed) and holds another.
    bool reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        const bool closed = !valid() || ::CloseHandle(handle_);
        handle_ = handle;
        return closed;
    }
    bool close() { return reset(); }

private:
    HANDLE handle_;
};

} // namespace morvane
