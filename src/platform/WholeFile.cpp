#include "platform/WholeFile.h"

namespace morvane {

void WriteWholeFile(const std::string &path, std::string_view contents, const WholeFileOptions &options)
{
    WriteWholeFile(
        path, [contents](const ChunkSink &sink) { sink(contents.data(), contents.size()); }, options);
}

} // namespace morvane
