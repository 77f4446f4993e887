#pragma once

// Made with the *at() calls of POSIX.
#ifndef _WIN32

#include <climits>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::test {

// A chain of folders below a base folder that ends where the system's longest path does, made
// and removed through folder handles, since neither works by a path that long:
//   base/<chain>/Last/            whose path, with its separator, is lastLength bytes long
//   base/<chain>/Last/<files>     added with AddFile
//   base/<chain>/Last/<200 x 'd'>/ a folder whose path is longer than the system opens
class DeepFolders
{
public:
    static constexpr std::size_t kMaxPath = PATH_MAX - 1;

    DeepFolders(const std::filesystem::path &base, std::string_view top, std::size_t lastLength)
        : base_(base)
        , top_(top)
    {
        std::string path = base.string() + '/';
        int folder = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        std::string name(top);
        for (;;) {
            if (folder < 0 || ::mkdirat(folder, name.c_str(), 0755) != 0)
                throw std::runtime_error("cannot make the deep folders");
            const int inner = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(folder);
            folder = inner;
            path += name + '/';
            if (path.size() == lastLength)
                break;
            if (path.size() + 2 > lastLength)
                throw std::runtime_error("the deep folders cannot end at that length");
            const std::size_t left = lastLength - path.size() - 1;
            name.assign(left > 250 ? 200 : left, 'n');
        }
        last_ = folder;
        lastPath_ = path;
        tooDeep_ = path + std::string(200, 'd');
        if (::mkdirat(last_, std::string(200, 'd').c_str(), 0755) != 0)
            throw std::runtime_error("cannot make the deepest folder");
    }

    ~DeepFolders()
    {
        if (last_ >= 0)
            ::close(last_);
        const int base = ::open(base_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (base >= 0) {
            removeTree(base, top_);
            ::close(base);
        }
    }

    DeepFolders(const DeepFolders &) = delete;
    DeepFolders &operator=(const DeepFolders &) = delete;

    // The last folder's path, ending in its separator.
    const std::string &LastPath() const { return lastPath_; }
    // The path of the folder below it that is too long to open.
    const std::string &TooDeep() const { return tooDeep_; }

    void AddFile(const std::string &name)
    {
        const int file = ::openat(last_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (file < 0 || ::write(file, "x", 1) != 1)
            throw std::runtime_error("cannot make a file in the deep folders");
        ::close(file);
    }

private:
    static void removeTree(int parent, const std::string &name)
    {
        const int folder = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder >= 0) {
            DIR *listing = ::fdopendir(folder);
            std::vector<std::string> children;
            while (const dirent *entry = listing != nullptr ? ::readdir(listing) : nullptr)
                if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
                    children.emplace_back(entry->d_name);
            for (const std::string &child : children)
                if (::unlinkat(::dirfd(listing), child.c_str(), 0) != 0)
                    removeTree(::dirfd(listing), child);
            if (listing != nullptr)
                ::closedir(listing);
            else
                ::close(folder);
        }
        ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
    }

    std::filesystem::path base_;
    std::string top_;
    int last_ = -1;
    std::string lastPath_;
    std::string tooDeep_;
};

} // namespace morvane::test
#endif
