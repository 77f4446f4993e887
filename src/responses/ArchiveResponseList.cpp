#include "responses/ArchiveResponseList.h"

#include "archive/ArchiveReader.h"
#include "platform/Errors.h"

namespace morvane {

std::string ResponseListOf(const ArchiveReader &reader)
{
    const std::vector<ArchiveEntry> &entries = reader.Entries();
    std::size_t size = 0;
    for (const ArchiveEntry &entry : entries)
        size += entry.name.size() + 2;
    std::string text;
    text.reserve(size);
    for (const ArchiveEntry &entry : entries) {
        if (entry.name.empty() || entry.name.find_first_of("\r\n") != std::string_view::npos)
            throw Error(reader.Path() + ": " + reader.EntryLabel(entry)
                        + (entry.name.empty() ? " has an empty name" : " has a line break in its name")
                        + ", which no line of a response file can hold; no list was written");
        text.append(entry.name);
        text.append("\r\n");
    }
    return text;
}

} // namespace morvane
