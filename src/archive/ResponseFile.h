#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Splits a response file's text into its lines. The text ends at its first zero byte; CR LF, a
// lone CR and a lone LF each end a line; a last line without a break still counts, a final break
// adds no empty line. Lines are kept byte for byte, empty ones included.
std::vector<std::string> SplitResponseText(std::string_view text);

// Reads a whole response file (others may read it meanwhile, not write it) and splits it.
// Throws Error("Cannot open file <path>") when it cannot be opened.
std::vector<std::string> LoadResponseFile(const std::string &path);

} // namespace morvane
