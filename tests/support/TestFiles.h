#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    // The full path of a name inside the folder, as a string (both in UTF-8).
    std::string operator/(std::string_view name) const;

private:
    std::filesystem::path path_;
};

// A path given in UTF-8 (never decoded through the ANSI code page, as a narrow path would be on
// Windows).
std::filesystem::path PathOf(const std::string &utf8);
// An absolute path in the form that reaches the name exactly as written (a trailing dot or blank
// kept) whatever its length: on Windows its \\?\ form, elsewhere the path itself.
std::string Verbatim(std::string absolute);
std::string Utf8Of(const std::filesystem::path &path);
void WriteFile(const std::string &path, std::string_view bytes);
// The names (UTF-8) of what a folder holds, not looking inside its folders.
std::set<std::string> NamesIn(const std::filesystem::path &folder);
std::string ReadFile(const std::string &path);
// Where an entry stored as name (backslashes) lands when extracted into folder.
std::string ExtractedPath(const std::string &folder, std::string name);
// The line end the program writes in a text file it makes: CR LF on Windows, LF elsewhere.
#ifdef _WIN32
inline constexpr std::string_view kNewFileLineEnd = "\r\n";
#else
inline constexpr std::string_view kNewFileLineEnd = "\n";
#endif
// Text written with LF line ends, with each LF turned into the line end of a file the program makes.
std::string NewFileLines(std::string_view text);
// Bytes with a recognisable pattern, so that a misplaced copy shows.
std::string PatternBytes(std::size_t size, unsigned seed = 1);
std::uint32_t LE32At(std::string_view bytes, std::size_t offset);
// Sets or reads a file's last-write time (seconds since the epoch).
void SetModificationTime(const std::string &path, std::int64_t seconds);
std::int64_t ModificationTime(const std::string &path);

// Sets the zone file times are read in, restoring the old one afterwards: TZ on POSIX; on
// Windows, which reads its zone once per process, the platform's zone seam, given a zone of the
// fixed-offset POSIX form ("UTC0", "XXX-2").
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char *zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone &) = delete;
    ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

} // namespace morvane::test
