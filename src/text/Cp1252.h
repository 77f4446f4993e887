#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// Header texts are stored in Windows-1252, the code page the archives' readers expect.
// A character that Windows-1252 cannot hold, or an invalid UTF-8 byte, becomes '?'.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

// The same conversion for texts that must survive whole, such as file names made into response
// lines: nullopt when a character has no Windows-1252 byte or the text is not valid UTF-8.
std::optional<std::string> Utf8ToCp1252Exact(std::string_view utf8);

// The character a Windows-1252 byte stands for.
char32_t Cp1252CodePoint(unsigned char byte);

} // namespace morvane
