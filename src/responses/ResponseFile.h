#pragma once

#include <optional>
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

// Where the file a response line names lies below folder (the response file's folder), as the
// build looks for it: the line's own bytes first (lists written by other tools), then the line
// read as Windows-1252 and written in UTF-8, then either of them matched component by component
// without regard to letter case. nullopt when no file matches, or when a component matches two
// entries of its folder (never a guess). Each try stops at the first path where something exists.
std::optional<std::string> FindSourceFile(const std::string &folder, std::string_view line);

// The paths to try, in order, before the search without regard to case: the line's bytes and,
// when it differs, its Windows-1252 reading in UTF-8; both with the host's separators.
std::vector<std::string> SourceSpellings(std::string_view line);

} // namespace morvane
