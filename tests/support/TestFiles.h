#pragma once

#include <cstdint>
#include <filesystem>
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

    const std::filesystem::path &path() const { return path_; }
    // The full path of a name inside the folder, as a string.
    std::string operator/(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::string &path, std::string_view bytes);
std::string ReadFile(const std::string &path);
// Bytes with a recognisable pattern, so that a misplaced copy shows.
std::string PatternBytes(std::size_t size, unsigned seed = 1);
std::uint32_t LE32At(std::string_view bytes, std::size_t offset);
// Sets a file's last-write time (seconds since the epoch).
void SetModificationTime(const std::string &path, std::int64_t seconds);

// Runs code with the TZ environment variable set, restoring the old value afterwards.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char *zone);
    ~ScopedTimeZone();

private:
    std::string old_;
    bool hadOld_ = false;
};

} // namespace morvane::test
