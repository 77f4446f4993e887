#pragma once

#include <cstdint>
#include <string_view>

namespace morvane {

// Converts the version or priority text of an archive header to its value: leading spaces
// skipped, then decimal with an optional sign, or hexadecimal after "$", "x", "X", "0x" or "0X"
// (32 bits taken as signed), and nothing after the digits.
// Throws Error("'<text>' is not a valid integer value") for anything else, the text (Windows-1252,
// as header texts are) quoted in UTF-8 like every message.
std::int32_t StrToInt(std::string_view text);

} // namespace morvane
