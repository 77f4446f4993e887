#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

// Finds the files that relative paths name below a folder, matching each component against its
// folder's entries without regard to letter case. spellings holds one or more ways of writing the
// same relative path ('/' between components, every spelling with the same components); an entry
// matches a component when it matches that component in any spelling. "", "." and ".." components
// are kept as they are. Two matching entries for one component are never resolved by a guess.
//
// Each folder is listed once and its names kept in an index folded to one case, so that looking up
// many names in one folder costs one listing, not one per name: a folder is taken as it was when
// first needed. Only an answer that finds nothing or two names is given after listing the folder
// again, and Find(..., Listing::Fresh) lists every folder on the way again, for an answer that
// named an entry which has gone meanwhile. So files that appear or vanish while a build runs are
// seen as the user would expect. Answers can be given to several threads at once.
class CaseLookupIndex
{
public:
    enum class Listing { Kept, Fresh };

    CaseLookupIndex();
    ~CaseLookupIndex();
    CaseLookupIndex(const CaseLookupIndex &) = delete;
    CaseLookupIndex &operator=(const CaseLookupIndex &) = delete;

    CaseLookup Find(const std::string &folder, const std::vector<std::string> &spellings,
                    Listing listing = Listing::Kept);

private:
    struct Folder;
    std::shared_ptr<const Folder> folderAt(const std::string &path, Listing listing);
    CaseLookup find(const std::string &folder, const std::vector<std::vector<std::string_view>> &parts,
                    Listing listing);

    std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<const Folder>> folders_;
};

// One lookup with a listing of its own.
CaseLookup FindIgnoringCase(const std::string &folder, const std::vector<std::string> &spellings);

} // namespace morvane
