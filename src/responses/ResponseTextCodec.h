#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Response-file lines are file-system bytes; the editor shows them as UTF-16 text. Decoding takes
// valid UTF-8 as it is and turns every other byte b into the private-use character U+F700 + b, so
// that encoding gives the very same bytes back. A line that validly holds one of those private-use
// characters (U+F780 to U+F7FF), a line or paragraph separator, a byte-order mark or one of the
// noncharacters U+FDD0, U+FDD1 and U+FFFE, has that sequence's bytes escaped the same way: it
// still round-trips, and a text document holding it neither splits the line nor drops it.
std::u16string DecodeResponseLine(std::string_view bytes);

// The inverse of DecodeResponseLine. A line or paragraph separator, which the user types as a
// soft line break, is written as CR LF; an unpaired surrogate as the replacement character.
std::string EncodeResponseLine(std::u16string_view text);

} // namespace morvane
