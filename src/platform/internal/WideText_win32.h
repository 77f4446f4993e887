#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Texts are UTF-8 inside the program and UTF-16 only where they meet the Windows API.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// A path as the wide file calls are to take it: absolute, in the \\?\ form, so that it may be
// as long as the file system allows and reaches each name exactly as written (Windows trims no
// dot or space from the end of a name given this way). "." and ".." are taken out first, as
// Windows would. A path that names a device (NUL, CON) or is in a \\?\ or \\.\ form already
// is passed as it is, as is one whose current folder cannot be read.
std::wstring WidePathFromUtf8(std::string_view path);

// The system's text for an error code (GetLastError), in UTF-8, without its final full stop.
std::string SystemErrorText(unsigned long error);

} // namespace morvane
