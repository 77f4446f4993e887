#include "text/PrintableText.h"

#include "text/Cp1252.h"
#include "text/Utf8.h"

namespace morvane {
namespace {

// Characters that move the cursor, change the terminal's state, break a line or reorder what
// follows them on the screen.
bool isControl(char32_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029
        || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) || code == 0x200E
        || code == 0x200F || code == 0x061C;
}

bool isPrintableAscii(char c)
{
    return c >= 0x20 && c < 0x7F;
}

// Length of the run of printable ASCII at the start of text, which goes through unchanged.
std::size_t plainRun(std::string_view text)
{
    std::size_t n = 0;
    while (n < text.size() && isPrintableAscii(text[n]))
        ++n;
    return n;
}

} // namespace

std::string PrintableFileName(std::string_view bytes, TerminalEncoding to)
{
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t run = plainRun(bytes.substr(i))) {
            shown.append(bytes.substr(i, run));
            i += run;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(bytes.substr(i), code);
        if (length == 0) {
            shown += '?';
            ++i;
            continue;
        }
        if (isControl(code) || (to == TerminalEncoding::Ascii && code >= 0x80))
            shown += '?';
        else
            shown.append(bytes.substr(i, length));
        i += length;
    }
    return shown;
}

std::string PrintableCp1252(std::string_view cp1252, TerminalEncoding to)
{
    std::string shown;
    shown.reserve(cp1252.size());
    for (std::size_t i = 0; i < cp1252.size();) {
        const std::size_t run = plainRun(cp1252.substr(i));
        shown.append(cp1252.substr(i, run));
        i += run;
        if (i < cp1252.size())
            shown += PrintableFileName(Cp1252ToUtf8(cp1252.substr(i++, 1)), to);
    }
    return shown;
}

} // namespace morvane
