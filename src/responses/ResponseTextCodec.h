#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// Response-file lines are Windows-1252 text; the editor shows them as UTF-16 text. Decoding maps
// each byte to its Windows-1252 character, and each of the five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the private-use character U+F700 + byte, so that encoding
// gives the very same bytes back.
std::u16string DecodeResponseLine(std::string_view bytes);

// The inverse of DecodeResponseLine, for text the user may also have typed. A line or paragraph
// separator, which the user types as a soft line break, is written as CR LF. Nullopt when the text
// holds a character Windows-1252 cannot represent (never written as '?').
std::optional<std::string> EncodeResponseLine(std::u16string_view text);

// The position of the first character (UTF-16 unit) of text that Windows-1252 cannot represent,
// or npos when it has none.
std::size_t FirstUnencodableCharacter(std::u16string_view text);

} // namespace morvane
