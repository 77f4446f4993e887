#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace morvane {

// How long a write waits for its turn, when another writer has it or another program's hold on
// the file keeps it from being replaced: at most `attempts` tries, with `pause` between two of
// them. By default a pause sleeps 10 ms, so a write gives up after about 2 s.
struct IniWriteWait
{
    int attempts = 200;
    std::function<void()> pause; // when empty, sleeps 10 ms
};

// A Windows-style INI file, read and edited in place. Section and key names match without regard
// to ASCII letter case; a value is the text after the first '=' with surrounding blanks removed.
// Values are UTF-8 in the program. In the file, a value that is valid UTF-8 is read as UTF-8 and
// any other as Windows-1252 (the ANSI code page Windows programs write INI files in); on Windows
// a value is written in Windows-1252 when it holds it, elsewhere in UTF-8.
// Writing changes only the line of the key (or adds the key, or the section and the key) and
// leaves every other byte of the file as it was. The settings file is the regular file at its
// path: a symbolic link there is neither read nor written through, and a write replaces it.
class IniFile
{
public:
    // A longer value is cut to this many bytes of the file when it is read.
    static constexpr std::size_t kMaxValueLength = 2047;

    explicit IniFile(std::string path, IniWriteWait wait = {});

    const std::string &Path() const { return path_; }
    bool Exists() const;

    // The key's value, or defaultValue when the file, the section or the key is missing or the
    // file cannot be read.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // Sets the key's value, creating the file, the section or the key as needed. The complete new
    // text replaces the file in one step, so a reader sees the old file or the new one, never a
    // part; programs writing at once take turns, so no key is lost. Only where the folder lets
    // no file be created or the file may not be replaced (but the file itself may be written) is
    // the file rewritten in place.
    // Throws Error("Unable to write to <path>") when the file cannot be written (or the wait for
    // the turn ran out), and Error
    // naming the reason when the value could not be read back as given (a line break, a blank at
    // either end, more than kMaxValueLength bytes in the file, text that is not valid UTF-8).
    void WriteString(std::string_view section, std::string_view key, std::string_view value) const;

private:
    std::string path_;
    IniWriteWait wait_;
};

// The edit WriteString makes, on the file's text: exposed so that the rule can be checked on texts.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

} // namespace morvane
