#pragma once

// Shared by the POSIX services of this folder that write files. Not part of the platform's
// interface.

#include <csignal>
#include <mutex>

namespace morvane::posix {

// A file size limit (ulimit -f) would otherwise kill the process at the write that crosses it;
// ignored, the write fails with EFBIG and is reported like any other failed write.
inline void IgnoreFileSizeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

} // namespace morvane::posix
