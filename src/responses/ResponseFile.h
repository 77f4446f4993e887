#pragma once

#include "platform/CaseLookup.h"

#include <functional>
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

// Tells whether a candidate is the line's file: by default, whether anything at all is there.
using SourceProbe = std::function<bool(const std::string &path)>;

// Where the file a response line names lies below folder (the response file's folder), as the
// build looks for it: the line's own bytes first (lists written by other tools), then the line
// read as Windows-1252 and written in UTF-8, then either of them matched component by component
// without regard to letter case (through index, one per build). Each candidate in turn is put to
// probe, and the first it accepts is the answer. nullopt when none is, or when a component matches
// two entries of its folder (never a guess).
std::optional<std::string> LocateSource(const std::string &folder, std::string_view line,
                                        CaseLookupIndex &index, const SourceProbe &probe = {});

// The path that a message names for a line whose file is not found: the line as its own bytes,
// or, when those are not UTF-8, as read in Windows-1252, so that every message is UTF-8.
std::string MissingSourcePath(const std::string &folder, std::string_view line);

// For a line whose file was not found: the entries that one component of it matches when letter
// case is ignored, when there are two or more (the first such component, folders listed afresh),
// as paths below folder; empty when nothing is found twice.
std::vector<std::string> SourcesFoundTwice(const std::string &folder, std::string_view line);

// The text of a line that names the same file as an earlier one once letter case is ignored
// (their bytes differing), for each such pair: the games find names that way, so one entry would
// shadow the other. Lines are numbered from 1.
struct CaseTwin
{
    std::size_t firstLine = 0;
    std::size_t secondLine = 0;
};
std::vector<CaseTwin> LinesEqualIgnoringCase(const std::vector<std::string> &lines);

} // namespace morvane
