#include "platform/PathQueries.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace morvane {
namespace {

bool statOf(const std::string &path, struct stat &status)
{
    return !path.empty() && ::stat(path.c_str(), &status) == 0;
}

} // namespace

PathKind KindOfPath(const std::string &path)
{
    struct stat status
    {
    };
    if (!statOf(path, status))
        return PathKind::Missing;
    if (S_ISREG(status.st_mode))
        return PathKind::RegularFile;
    if (S_ISDIR(status.st_mode))
        return PathKind::Folder;
    return PathKind::Other;
}

std::optional<FileIdentity> IdentifyFile(const std::string &path)
{
    struct stat status
    {
    };
    if (!statOf(path, status))
        return std::nullopt;
    return FileIdentity {static_cast<std::uint64_t>(status.st_dev),
                         static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<std::uint64_t> SizeOfFile(const std::string &path)
{
    struct stat status
    {
    };
    if (!statOf(path, status) || !S_ISREG(status.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

// Narrow strings are the system's own bytes on POSIX, so std::filesystem takes them as they are.
std::string AbsolutePath(const std::string &path, std::error_code &error)
{
    error.clear();
    const std::filesystem::path whole = std::filesystem::absolute(path, error);
    return error ? std::string() : whole.string();
}

std::string NormalAbsolutePath(const std::string &path, std::error_code &error)
{
    error.clear();
    const std::filesystem::path whole = std::filesystem::absolute(path, error);
    return error ? std::string() : whole.lexically_normal().string();
}

std::string CurrentFolder(std::error_code &error)
{
    error.clear();
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : current.string();
}

bool PathEntryExists(const std::string &path)
{
    struct stat status
    {
    };
    return ::lstat(path.c_str(), &status) == 0;
}

std::string FileSystemNameKey(std::string_view name)
{
    return std::string(name);
}

} // namespace morvane
