#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane {

// Decodes the well-formed UTF-8 sequence at the start of bytes (no overlong forms, no surrogates,
// nothing above U+10FFFF). Returns its length, or 0 when the bytes there are not well-formed.
std::size_t DecodeUtf8(std::string_view bytes, char32_t &code);

// Whether the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// The length of the longest start of valid UTF-8 bytes that holds at most limit bytes and ends
// after a whole character.
std::size_t WholeCharactersWithin(std::string_view utf8, std::size_t limit);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string &bytes, char32_t code);

} // namespace morvane
