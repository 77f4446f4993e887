#pragma once

#include <string>

namespace morvane {

class ArchiveReader;

// The response file that names an archive's entries, one stored name a line in directory order,
// each line ending in CR LF: the names are already Windows-1252, so their bytes are the lines.
// Building this list in a folder that holds the extracted entries gives back the same entries in
// the same order. Throws Error, naming the entry, for a name no line can hold (empty, or holding
// a line break), and as ArchiveReader::Entries() does for an archive whose entries cannot be read.
std::string ResponseListOf(const ArchiveReader &reader);

} // namespace morvane
