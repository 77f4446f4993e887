#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane::test {

// A chain of folders below base whose deepest path is longer than the 260 characters of
// Windows' MAX_PATH, made, read and removed by the test with the system's own calls in the form
// that reaches such a path (\\?\ on Windows), so that only the code under test meets the path
// in its ordinary form.
class LongFolderTree
{
public:
    // base is absolute; the deepest folder's path is at least length characters long.
    LongFolderTree(const std::string &base, std::size_t length);
    ~LongFolderTree();
    LongFolderTree(const LongFolderTree &) = delete;
    LongFolderTree &operator=(const LongFolderTree &) = delete;

    // The deepest folder as a user would write it, with the system's separator and no prefix.
    const std::string &Deepest() const { return deepest_; }
    // Joins a name relative to the deepest folder ('/' between names) to it.
    std::string Below(std::string_view relative) const;

    void MakeFolder(std::string_view relative) const;
    void WriteFile(std::string_view relative, std::string_view bytes) const;
    // Reads the file's bytes; false when it cannot be read.
    bool ReadFile(std::string_view relative, std::string &bytes) const;

private:
    std::string top_;
    std::string deepest_;
};

} // namespace morvane::test
