#include "platform/WholeFile.h"

namespace morvane {

bool IsWholeFileTemporaryName(std::string_view name)
{
    constexpr std::string_view kPrefix = ".morvane-";
    if (name.size() != kPrefix.size() + 10 || name.substr(0, kPrefix.size()) != kPrefix)
        return false;
    for (const char c : name.substr(kPrefix.size()))
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

void WriteWholeFile(const std::string &path, std::string_view contents, const WholeFileOptions &options)
{
    WriteWholeFile(
        path, [contents](const ChunkSink &sink) { sink(contents.data(), contents.size()); }, options);
}

} // namespace morvane
