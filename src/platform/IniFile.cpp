#include "platform/IniFile.h"

#include "platform/Errors.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

namespace morvane {

namespace {

#ifdef _WIN32
constexpr std::string_view kNewFileLineEnd = "\r\n";
#else
constexpr std::string_view kNewFileLineEnd = "\n";
#endif

struct Line
{
    std::string_view content; // without its line end
    std::string_view end;     // "\r\n", "\n" or empty for a last line without one
};

std::vector<Line> SplitLines(std::string_view text)
{
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view content = text.substr(0, newline);
        std::string_view end;
        if (newline != std::string_view::npos) {
            const bool crlf = !content.empty() && content.back() == '\r';
            if (crlf)
                content.remove_suffix(1);
            end = text.substr(content.size(), crlf ? 2 : 1);
        }
        lines.push_back({content, end});
        text.remove_prefix(content.size() + end.size());
    }
    return lines;
}

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::string_view> SectionName(std::string_view content)
{
    const std::string_view trimmed = Trim(content);
    if (trimmed.empty() || trimmed.front() != '[')
        return std::nullopt;
    const std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(trimmed.substr(1, close - 1));
}

struct KeyLine
{
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view content)
{
    const std::string_view trimmed = Trim(content);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return KeyLine {Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

// Where a key stands in the file's lines: the section's header line, the key's line, and the
// last non-blank line of the section (where a new key goes).
struct KeyPlace
{
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::size_t lastEntry = 0;
};

KeyPlace FindKey(const std::vector<Line> &lines, std::string_view section, std::string_view key)
{
    KeyPlace place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionName(lines[i].content)) {
            if (place.section)
                break;
            if (SameName(*name, section)) {
                place.section = i;
                place.lastEntry = i;
            }
            continue;
        }
        if (!place.section)
            continue;
        if (!Trim(lines[i].content).empty())
            place.lastEntry = i;
        const auto parsed = ParseKeyLine(lines[i].content);
        if (parsed && SameName(parsed->key, key)) {
            place.key = i;
            break;
        }
    }
    return place;
}

std::optional<std::string> ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

bool WriteText(const std::string &path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

} // namespace

IniFile::IniFile(std::string path)
    : path_(std::move(path))
{
}

bool IniFile::Exists() const
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path_, ignored);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    const std::optional<std::string> text = ReadText(path_);
    if (!text)
        return std::string(defaultValue);
    const std::vector<Line> lines = SplitLines(*text);
    const KeyPlace place = FindKey(lines, section, key);
    if (!place.key)
        return std::string(defaultValue);
    const std::string_view value = ParseKeyLine(lines[*place.key].content)->value;
    return std::string(value.substr(0, kMaxValueLength));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) const
{
    const auto failure = [this] { return Error("Unable to write to " + path_); };
    std::string old;
    if (Exists()) {
        // A read-only settings file stays read-only, even where its folder would let us replace it.
        if (!std::ofstream(path_, std::ios::binary | std::ios::app))
            throw failure();
        const std::optional<std::string> text = ReadText(path_);
        if (!text)
            throw failure();
        old = *text;
    }
    const std::string updated = SetIniValue(old, section, key, value);

    // Write beside the file and rename, so that a failed write never leaves half a file.
    const std::string temporary = path_ + ".tmp";
    std::error_code error;
    if (WriteText(temporary, updated)) {
        if (Exists())
            std::filesystem::permissions(temporary, std::filesystem::status(path_, error).permissions(), error);
        std::filesystem::rename(temporary, path_, error);
        if (!error)
            return;
    }
    std::filesystem::remove(temporary, error);
    // A folder we may not create files in can still hold a settings file we may write.
    if (!Exists() || !WriteText(path_, updated))
        throw failure();
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value)
{
    const std::vector<Line> lines = SplitLines(text);
    std::string_view lineEnd = kNewFileLineEnd;
    const auto withEnd = std::find_if(lines.begin(), lines.end(), [](const Line &l) { return !l.end.empty(); });
    if (withEnd != lines.end())
        lineEnd = withEnd->end;

    const std::string entry = std::string(key) + "=" + std::string(value);
    const KeyPlace place = FindKey(lines, section, key);

    std::string result;
    const auto append = [&result](std::string_view part) { result.append(part); };
    if (!place.section) {
        append(text);
        if (!text.empty() && text.back() != '\n')
            append(lineEnd);
        append("[");
        append(section);
        append("]");
        append(lineEnd);
        append(entry);
        append(lineEnd);
        return result;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (place.key && i == *place.key) {
            append(entry);
            append(lines[i].end);
            continue;
        }
        append(lines[i].content);
        append(lines[i].end);
        if (!place.key && i == place.lastEntry) {
            if (lines[i].end.empty())
                append(lineEnd);
            append(entry);
            append(lineEnd);
        }
    }
    return result;
}

} // namespace morvane
