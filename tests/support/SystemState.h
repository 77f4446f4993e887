#pragma once

#include <cstddef>
#include <string>

namespace morvane::test {

// How many files, folders and other system handles the process holds open.
std::size_t OpenHandleCount();

// Makes a file or folder hidden. On POSIX a name starting with '.' already is, and this checks it.
void MarkHidden(const std::string &path);

} // namespace morvane::test
