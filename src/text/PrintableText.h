#pragma once

#include <string>
#include <string_view>

namespace morvane {

// The character set text is printed in: UTF-8 when the user's locale uses it, plain ASCII for any
// other locale (or none), so that nothing the terminal might misread reaches it.
enum class TerminalEncoding { Utf8, Ascii };

// Every text that comes from data (an archive, a response file, a file name) goes through one of
// these two before it is printed or put into a message. The result is valid text in the given
// encoding in which every control character (C0, DEL, C1 U+0080 to U+009F, the line and paragraph
// separators U+2028 and U+2029, the bidirectional embeddings, overrides and isolates), every byte
// that is not valid UTF-8 and every character the encoding cannot show is one '?'. Everything else
// is kept, so a printable text goes through unchanged.

// For Windows-1252 texts: header texts and stored names (also response-file lines).
std::string PrintableCp1252(std::string_view cp1252, TerminalEncoding to);

// For names from the file system and the command line: raw bytes, meant as UTF-8 but perhaps not.
std::string PrintableFileName(std::string_view bytes, TerminalEncoding to);

} // namespace morvane
