#pragma once

#include "TestFiles.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace morvane::test {

// A path relative to folder, in UTF-8 with '/' between its names.
inline std::string GenericRelative(const std::filesystem::path &path, const std::filesystem::path &folder)
{
    const std::u8string relative = path.lexically_relative(folder).generic_u8string();
    return std::string(relative.begin(), relative.end());
}

// Every regular file below folder, by its path relative to folder, with its contents.
inline std::map<std::string, std::string> FilesBelow(const std::filesystem::path &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[GenericRelative(entry.path(), folder)] = ReadFile(Utf8Of(entry.path()));
    return files;
}

// Every path below folder (files, folders and links), relative to it.
inline std::set<std::string> PathsBelow(const std::filesystem::path &folder)
{
    std::set<std::string> paths;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
        paths.insert(GenericRelative(entry.path(), folder));
    return paths;
}

} // namespace morvane::test
