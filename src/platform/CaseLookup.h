#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// What looking a path up without regard to letter case found.
struct CaseLookup
{
    enum class Outcome {
        Found, // path names the one entry that matches
        Missing, // some component matches no entry of its folder
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

} // namespace morvane
