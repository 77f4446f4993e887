#pragma once

#include <string>

namespace morvane {

// Whether a new file can be made in the folder, found by trying: a file of a new name is created
// there and removed at once. The system itself answers, so that whatever decides it (permission
// bits, access-control lists, a read-only mount) counts; a look at the folder's attributes would
// miss the access-control lists of Windows. False for a path that is not a folder.
bool FolderTakesNewFiles(const std::string &folder);

} // namespace morvane
