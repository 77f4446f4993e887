#pragma once

#include "platform/PathRules.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The response-file line naming a file: its path relative to the working folder, with the
// working folder and the separator after it dropped and the names joined by '\'. Both paths are
// first normalised lexically ("a//b", "a/./b" and "a/x/../b" all become "a/b"). With Windows
// paths, '\' and '/' both separate names, a drive or a network path roots them, and the working
// folder is found without regard to letter case (the file's own names keep theirs).
// nullopt when there is no working folder or the file does not lie inside it, since a line made
// from such a path would name some other file.
std::optional<std::string> ResponseLineFor(std::string_view fullPath, std::string_view workDir,
                                           PathStyle style = kNativePathStyle);

// Whether a folder is the working folder itself or lies inside it, compared as ResponseLineFor
// compares. Never true without a working folder.
bool FolderIsWithin(std::string_view folder, std::string_view workDir, PathStyle style = kNativePathStyle);

} // namespace morvane
