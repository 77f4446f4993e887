#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// How a Windows path starts, which says what it is relative to.
enum class WindowsPathStart {
    Verbatim, // \\?\..., \\.\... or \??\...: handed to the system as it is
    DriveAbsolute, // C:\...
    Unc, // \\server\share\...
    DriveRelative, // C:name, relative to that drive's current folder
    RootRelative, // \name, relative to the current drive's root
    Relative, // name, relative to the current folder
};

WindowsPathStart WindowsPathStartOf(std::string_view path);

// Whether the path's last part is one that Windows reads as a device when it reads the path
// itself (NUL, CON, PRN, AUX, COM1 to COM9, LPT1 to LPT9, also with an extension: "nul.txt").
bool NamesWindowsDevice(std::string_view path);

// An absolute path (DriveAbsolute or Unc) in the form that the wide file calls take past
// MAX_PATH and read exactly as written: "\\?\C:\..." or "\\?\UNC\server\share\...". Either
// separator is taken, runs of separators count as one, and "." and ".." parts are taken out by
// the text, as Windows does for an ordinary path; unlike Windows, nothing else is changed, so a
// part ending in a dot or a space keeps it. A separator at the end is kept. Nothing for a path
// that does not start at a drive or a share.
std::optional<std::string> VerbatimWindowsPath(std::string_view absolute);

} // namespace morvane
