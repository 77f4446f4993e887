#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// A name folded for comparison without regard to letter case, as Windows compares file names:
// the upper- and lower-case letters of Windows-1252 (A-Z, À-Þ, Š, Œ, Ž, Ÿ and their small forms)
// compare equal. The name is read as UTF-8; bytes that are not well-formed UTF-8 are compared as
// they are, with only A-Z folded.
std::string FoldCase(std::string_view name);

// What looking a path up without regard to letter case found.
struct CaseLookup
{
    enum class Outcome {
        Found,     // path names the one entry that matches
        Missing,   // some component matches no entry of its folder
        Ambiguous, // some component matches two or more entries of its folder
    };
    Outcome outcome = Outcome::Missing;
    std::string path;
};

// Finds the file that a relative path names below folder, matching each component against its
// folder's entries without regard to letter case. spellings holds one or more ways of writing the
// same relative path ('/' between components, every spelling with the same components); an entry
// matches a component when it matches that component in any spelling. "", "." and ".." components
// are kept as they are. Two matching entries for one component are never resolved by a guess.
CaseLookup FindIgnoringCase(const std::string &folder, const std::vector<std::string> &spellings);

// Whether anything (a file, a folder, even a dangling symbolic link) exists at path.
bool PathEntryExists(const std::string &path);

// The names in a folder, "." and ".." left out; nullopt when it cannot be read.
std::optional<std::vector<std::string>> FolderEntryNames(const std::string &folder);

} // namespace morvane
