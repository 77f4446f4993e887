#pragma once

#include <string>

namespace morvane {

// Whether the path names an existing folder (a link to a folder counts).
bool IsExistingFolder(const std::string &path);

} // namespace morvane
