#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace morvane {

// Questions about a path, asked of the system with the path as the program holds it (UTF-8 on
// Windows). Links are followed.

enum class PathKind {
    Missing,
    RegularFile,
    Folder,
    // A device, pipe, socket or anything else that is neither a file nor a folder.
    Other,
};

PathKind KindOfPath(const std::string &path);

// What tells one file from every other on the machine, whatever name reaches it.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity &other) const { return device == other.device && file == other.file; }
};

std::optional<FileIdentity> IdentifyFile(const std::string &path);

// Whether both paths reach the same existing file.
bool AreSameFile(const std::string &first, const std::string &second);

// The size of a regular file, or nothing when it cannot be read.
std::optional<std::uint64_t> SizeOfFile(const std::string &path);

// The path made whole against the current folder, without resolving links or checking that it
// exists. Empty, with error set, when the current folder cannot be read.
std::string AbsolutePath(const std::string &path, std::error_code &error);

// The same with "." and ".." taken out by the text alone, as the folder listing shows it.
std::string NormalAbsolutePath(const std::string &path, std::error_code &error);

// The current folder, or empty with error set.
std::string CurrentFolder(std::error_code &error);

// A file name as this system compares names: two names with the same key name one file. Windows
// finds names without regard to letter case; POSIX systems tell every byte apart.
std::string FileSystemNameKey(std::string_view name);

// Whether anything (a file, a folder, even a dangling symbolic link) exists at path.
bool PathEntryExists(const std::string &path);

} // namespace morvane
