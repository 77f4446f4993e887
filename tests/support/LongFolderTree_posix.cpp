#include "LongFolderTree.h"

#include "TestFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace morvane::test {

// The paths stay well below PATH_MAX, so the ordinary calls reach them.
LongFolderTree::LongFolderTree(const std::string &base, std::size_t length)
    : top_(base + "/long")
    , deepest_(top_)
{
    for (char part = 'a'; deepest_.size() < length; ++part)
        deepest_ += "/" + std::string(100, part);
    std::filesystem::create_directories(deepest_);
}

LongFolderTree::~LongFolderTree()
{
    std::error_code ignored;
    std::filesystem::remove_all(top_, ignored);
}

std::string LongFolderTree::Below(std::string_view relative) const
{
    return deepest_ + "/" + std::string(relative);
}

void LongFolderTree::MakeFolder(std::string_view relative) const
{
    std::filesystem::create_directory(Below(relative));
}

void LongFolderTree::WriteFile(std::string_view relative, std::string_view bytes) const
{
    test::WriteFile(Below(relative), bytes);
}

bool LongFolderTree::ReadFile(std::string_view relative, std::string &bytes) const
{
    std::ifstream in(Below(relative), std::ios::binary);
    std::ostringstream read;
    read << in.rdbuf();
    bytes = read.str();
    return static_cast<bool>(in);
}

} // namespace morvane::test
