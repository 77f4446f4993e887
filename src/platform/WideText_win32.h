#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Texts are UTF-8 inside the program and UTF-16 only where they meet the Windows API.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

} // namespace morvane
