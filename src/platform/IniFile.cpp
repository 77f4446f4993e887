#include "platform/IniFile.h"

#include "platform/Errors.h"
#include "platform/SettingsFileAccess.h"
#include "platform/WholeFile.h"
#include "text/Cp1252.h"
#include "text/Utf8.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace morvane {

namespace {

#ifdef _WIN32
constexpr std::string_view kNewFileLineEnd = "\r\n";
// Windows programs write INI files in the ANSI code page, as the profile-string functions do.
constexpr bool kStoreInWindows1252 = true;
#else
constexpr std::string_view kNewFileLineEnd = "\n";
constexpr bool kStoreInWindows1252 = false;
#endif

struct Line
{
    std::string_view content; // without its line end
    std::string_view end; // "\r\n", "\n" or empty for a last line without one
};

std::vector<Line> splitLines(std::string_view text)
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

std::string_view trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::string_view> sectionName(std::string_view content)
{
    const std::string_view trimmed = trim(content);
    if (trimmed.empty() || trimmed.front() != '[')
        return std::nullopt;
    const std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(trimmed.substr(1, close - 1));
}

struct KeyLine
{
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> parseKeyLine(std::string_view content)
{
    const std::string_view trimmed = trim(content);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return KeyLine {trim(trimmed.substr(0, equals)), trim(trimmed.substr(equals + 1))};
}

// Where a key stands in the file's lines: the section's header line, the key's line, and the
// last non-blank line of the section (where a new key goes).
struct KeyPlace
{
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::size_t lastEntry = 0;
};

KeyPlace findKey(const std::vector<Line> &lines, std::string_view section, std::string_view key)
{
    KeyPlace place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i].content)) {
            if (place.section)
                break;
            if (sameName(*name, section)) {
                place.section = i;
                place.lastEntry = i;
            }
            continue;
        }
        if (!place.section)
            continue;
        if (!trim(lines[i].content).empty())
            place.lastEntry = i;
        const auto parsed = parseKeyLine(lines[i].content);
        if (parsed && sameName(parsed->key, key)) {
            place.key = i;
            break;
        }
    }
    return place;
}

std::optional<std::string> readText(const std::string &path)
{
    const SettingsFileAccess file(path, false);
    if (file.State() != SettingsFileAccess::Opened::File)
        return std::nullopt;
    return file.ReadAll();
}

// A value as the file holds it, in UTF-8: valid UTF-8 is taken as such, anything else as
// Windows-1252, which is what a file written by Windows' profile-string functions (or an older
// tool) holds. At most kMaxValueLength bytes of the file are kept, a character never cut in two.
std::string readValue(std::string_view stored)
{
    if (IsValidUtf8(stored))
        return std::string(stored.substr(0, WholeCharactersWithin(stored, IniFile::kMaxValueLength)));
    return Cp1252ToUtf8(stored.substr(0, IniFile::kMaxValueLength));
}

// The bytes that stand for a value in the file. Where Windows-1252 is written, a value that it
// holds is stored in it, unless those bytes would read as UTF-8 (as "\xC3\xA9" would): reading
// takes valid UTF-8 as UTF-8, so such a value, like one Windows-1252 lacks, is stored in UTF-8.
std::string storedValue(std::string_view value)
{
    if (kStoreInWindows1252)
        if (const auto cp1252 = Utf8ToCp1252Exact(value); cp1252 && !IsValidUtf8(*cp1252))
            return *cp1252;
    return std::string(value);
}

// Why a value cannot be stored so that it reads back unchanged, or nothing when it can.
std::optional<std::string> unstorableValue(std::string_view value)
{
    if (!IsValidUtf8(value))
        return "it is not valid UTF-8, and the settings file would read it back as other characters";
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return "it holds a line break, and the settings file keeps each value on one line";
    if (!value.empty() && (trim(value.substr(0, 1)).empty() || trim(value.substr(value.size() - 1)).empty()))
        return "it starts or ends with a blank, which reading the settings file drops";
    if (storedValue(value).size() > IniFile::kMaxValueLength)
        return "it is longer than the " + std::to_string(IniFile::kMaxValueLength)
            + " bytes that reading the settings file keeps";
    return std::nullopt;
}

struct SetValueIn
{
    std::string_view section;
    std::string_view key;
    std::string_view value;
    std::string On(std::string_view text) const { return SetIniValue(text, section, key, value); }
};

enum class WriteAttempt {
    Done,
    Again, // the file changed under us: try again at once
    AgainLater, // somebody else holds the file up for now: try again after a pause
    Failed,
};

// A refusal to replace the file that only lasts while another program has it open.
bool refusedForNow(const WholeFileError &error)
{
    return error.What() == WholeFileError::Cause::Other && SettingsFileAccess::ReplaceCanMeetOpenFile();
}

// One attempt at setting the value in the settings file at path.
WriteAttempt tryWrite(const std::string &path, const SetValueIn &edit)
{
    SettingsFileAccess file(path, true);
    const SettingsFileAccess::Opened state = file.State();
    if (state == SettingsFileAccess::Opened::Busy)
        return WriteAttempt::AgainLater;
    if (state != SettingsFileAccess::Opened::File) {
        if (state == SettingsFileAccess::Opened::Failed)
            return WriteAttempt::Failed;
        file.LetGoForReplace();
        WholeFileOptions options;
        options.durable = true;
        // A file that another program creates meanwhile is edited on the next attempt instead.
        options.ifExists
            = state == SettingsFileAccess::Opened::Missing ? IfTargetExists::Keep : IfTargetExists::Replace;
        try {
            WriteWholeFile(path, edit.On(""), options);
            return WriteAttempt::Done;
        } catch (const WholeFileError &error) {
            if (error.What() == WholeFileError::Cause::TargetExists)
                return WriteAttempt::Again;
            return refusedForNow(error) ? WriteAttempt::AgainLater : WriteAttempt::Failed;
        }
    }
    switch (file.TryLockExclusive()) {
    case SettingsFileAccess::Lock::Taken:
        break;
    case SettingsFileAccess::Lock::Busy:
        return WriteAttempt::AgainLater;
    case SettingsFileAccess::Lock::Failed:
        return WriteAttempt::Failed;
    }
    // The file opened may have been replaced by the writer before us while we waited.
    if (!file.IsStillAt(path))
        return WriteAttempt::Again;
    const std::optional<std::string> old = file.ReadAll();
    if (!old)
        return WriteAttempt::Failed;
    const std::string updated = edit.On(*old);
    file.LetGoForReplace();
    WholeFileOptions options;
    options.keepPermissions = true;
    options.durable = true;
    try {
        WriteWholeFile(path, updated, options);
        return WriteAttempt::Done;
    } catch (const WholeFileError &error) {
        if (refusedForNow(error))
            return WriteAttempt::AgainLater;
        // A folder we may not create files in can still hold a settings file we may write;
        // there it can only be rewritten in place.
        if (error.What() == WholeFileError::Cause::FolderRefused && file.RewriteInPlace(updated))
            return WriteAttempt::Done;
        return WriteAttempt::Failed;
    }
}

} // namespace

IniFile::IniFile(std::string path, IniWriteWait wait)
    : path_(std::move(path))
    , wait_(std::move(wait))
{
}

bool IniFile::Exists() const
{
    return SettingsFileAccess::RegularFileExists(path_);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    const std::optional<std::string> text = readText(path_);
    if (!text)
        return std::string(defaultValue);
    const std::vector<Line> lines = splitLines(*text);
    const KeyPlace place = findKey(lines, section, key);
    if (!place.key)
        return std::string(defaultValue);
    return readValue(parseKeyLine(lines[*place.key].content)->value);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) const
{
    if (const auto why = unstorableValue(value))
        throw Error("Cannot store " + std::string(key) + " in " + path_ + ": " + *why);
    const std::string stored = storedValue(value);

    // Programs writing at once take turns, each editing the text the one before it left, so
    // that no line is lost; the turn is waited for a bounded time only. Where another program
    // having the file open can hold up its replacement, that too is waited out within the bound.
    // Nothing of ours is held open between attempts, so that the others can go on meanwhile.
    for (int attempt = 1;; ++attempt) {
        const WriteAttempt result = tryWrite(path_, SetValueIn {section, key, stored});
        if (result == WriteAttempt::Done)
            return;
        if (result == WriteAttempt::Failed || attempt >= wait_.attempts)
            throw Error("Unable to write to " + path_);
        if (result == WriteAttempt::AgainLater) {
            if (wait_.pause)
                wait_.pause();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value)
{
    const std::vector<Line> lines = splitLines(text);
    std::string_view lineEnd = kNewFileLineEnd;
    const auto withEnd
        = std::find_if(lines.begin(), lines.end(), [](const Line &l) { return !l.end.empty(); });
    if (withEnd != lines.end())
        lineEnd = withEnd->end;

    const std::string entry = std::string(key) + "=" + std::string(value);
    const KeyPlace place = findKey(lines, section, key);

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
