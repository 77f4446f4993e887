#include "TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace morvane::test {

TempDir::TempDir()
{
    // create_directory fails on a name that exists, so nobody else's folder is ever taken.
    std::random_device seed;
    std::mt19937_64 generator(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "morvane-test-%016llx",
                      static_cast<unsigned long long>(generator()));
        const auto candidate = std::filesystem::temp_directory_path() / name;
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, error);
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Folders made read-only by a test must be writable again to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    // Through the verbatim form, which also reaches a name with a trailing blank or a path past
    // MAX_PATH on Windows (where the ordinary form meets such a name, remove_all never returns).
    std::filesystem::remove_all(PathOf(Verbatim(Utf8Of(path_))), ignored);
}

std::string Verbatim(std::string absolute)
{
#ifdef _WIN32
    std::replace(absolute.begin(), absolute.end(), '/', '\\');
    return "\\\\?\\" + absolute;
#else
    return absolute;
#endif
}

std::filesystem::path PathOf(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::set<std::string> NamesIn(const std::filesystem::path &folder)
{
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.insert(Utf8Of(entry.path().filename()));
    return names;
}

std::string Utf8Of(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string NewFileLines(std::string_view text)
{
    std::string lines;
    for (const char c : text) {
        if (c == '\n')
            lines += kNewFileLineEnd;
        else
            lines += c;
    }
    return lines;
}

std::string TempDir::operator/(std::string_view name) const
{
    return Utf8Of(path_ / PathOf(std::string(name)));
}

void WriteFile(const std::string &path, std::string_view bytes)
{
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ExtractedPath(const std::string &folder, std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return folder + "/" + name;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string PatternBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

std::uint32_t LE32At(std::string_view bytes, std::size_t offset)
{
    if (offset + 4 > bytes.size())
        throw std::out_of_range("LE32At past the end");
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data() + offset);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void SetModificationTime(const std::string &path, std::int64_t seconds)
{
    const std::chrono::sys_seconds moment {std::chrono::seconds(seconds)};
    std::error_code error;
    std::filesystem::last_write_time(PathOf(path), std::chrono::file_clock::from_sys(moment), error);
    if (error)
        throw std::runtime_error("cannot set the time of " + path);
}

std::int64_t ModificationTime(const std::string &path)
{
    const auto written = std::filesystem::last_write_time(PathOf(path));
    return std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(written))
        .time_since_epoch()
        .count();
}

} // namespace morvane::test
