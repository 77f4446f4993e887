#pragma once

// Shared by the POSIX services of this folder that write files durably. Not part of the
// platform's interface.

#include <unistd.h>

namespace morvane::posix {

// Flushes an open file's data, or a folder's entries, to the disk (fsync). Every durable write
// flushes through this, so that a test can see what is flushed and when, and make the disk fail.
inline int (*FlushToDisk)(int descriptor) = ::fsync;

} // namespace morvane::posix
