#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Which characters end a folder name. Windows: '\', '/' and the drive colon; Posix: '/'.
// The rules are pure string functions so that both styles are tested on any host.
enum class PathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

bool IsPathDelimiter(char c, PathStyle style);
// '\' or '/': the two characters Windows takes as separators between names.
bool IsWindowsSeparator(char c);
// Whether the text starts with a Windows drive: a letter A to Z in either case and a colon.
bool StartsWithDrive(std::string_view path);
char PathSeparator(PathStyle style);

// The text from the last '.' to the end, when no folder delimiter follows that dot; else empty.
std::string_view ExtractFileExt(std::string_view path, PathStyle style = kNativePathStyle);

// The path with its extension replaced by newExt (appended when the file name has no '.').
std::string ChangeFileExt(std::string_view path, std::string_view newExt, PathStyle style = kNativePathStyle);

// The folder that holds a file: the path up to its last delimiter, without that delimiter when it
// is a separator that does not directly follow a drive colon or another separator.
// C:\DATA\LIST.TXT gives C:\DATA, C:\LIST.TXT gives C:\, C:LIST.TXT gives C:.
std::string ExtractFileFolder(std::string_view path, PathStyle style = kNativePathStyle);

// The file name: the text after the last folder delimiter (all of it when there is none).
std::string_view ExtractFileName(std::string_view path, PathStyle style = kNativePathStyle);

// Upper-cases the ASCII letters a to z of an extension-like text; other bytes stay as they are.
std::string AsciiUpper(std::string_view text);

// A stored, backslash-separated relative name turned into the host's separators.
std::string NativeRelativePath(std::string_view storedName, PathStyle style = kNativePathStyle);

} // namespace morvane
