#pragma once

#include <QString>

#include <string>

namespace morvane {

// Paths cross between Qt and the core library as the core names files on this system: the file
// system's own bytes on POSIX, UTF-8 with backslashes on Windows (so messages naming a path show it
// as Windows writes it).
std::string ToFileSystemPath(const QString &path);
QString FromFileSystemPath(const std::string &path);

// A path as the windows show it: with the system's own separators.
QString ShownPath(const QString &path);

// A file name or path from the file system (or a message quoting one) as the windows show it: a
// control character, such as a line break inside a name, shows as '?'.
QString PrintableText(const std::string &fileSystemText);

} // namespace morvane
