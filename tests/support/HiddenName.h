#pragma once

#include <string>
#include <string_view>

namespace morvane::test {

// The name to give an entry that a test then hides with MarkHidden. On POSIX only a leading '.'
// hides a name, so it gets one; on Windows the hidden attribute does, so the name is kept as given
// and nothing depends on how a dot at its start is treated.
inline std::string HiddenName(std::string_view name)
{
#ifdef _WIN32
    return std::string(name);
#else
    return "." + std::string(name);
#endif
}

} // namespace morvane::test
