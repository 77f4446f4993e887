#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Header texts are stored in Windows-1252, the code page the archives' readers expect.
// A character that Windows-1252 cannot hold, or an invalid UTF-8 byte, becomes '?'.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

} // namespace morvane
