#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Texts are UTF-8 inside the program and UTF-16 only where they meet the Windows API.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The system's text for an error code (GetLastError), in UTF-8, without its final full stop.
std::string SystemErrorText(unsigned long error);

} // namespace morvane
