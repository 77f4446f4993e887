#pragma once

// What the POSIX folder listing shares with its tests. Not part of the platform's interface.

#include <cstdint>
#include <optional>

namespace morvane {

// The attribute word of an entry as Windows would report it, derived from the Linux file type:
// folder for a directory (or a link to one), archive for a regular file, system for anything
// else (device, FIFO, socket, dangling link), hidden for a name starting with '.' (not "." and
// ".."), read-only when the owner may not write. nullopt when the entry cannot be examined.
std::optional<std::uint32_t> EntryAttributes(int folderHandle, const char *name);

} // namespace morvane
