#pragma once

#include "archive/ArchiveReader.h"

#include <cstddef>
#include <string>

namespace morvane::test {

// An entry's contents as the reader gives them (inflated where the layout compresses them).
inline std::string ContentsOf(ArchiveReader &reader, const ArchiveEntry &entry)
{
    std::string data;
    reader.ReadData(entry, [&](const char *bytes, std::size_t n) { data.append(bytes, n); });
    return data;
}

} // namespace morvane::test
