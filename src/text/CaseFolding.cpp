#include "text/CaseFolding.h"

#include "text/Utf8.h"

namespace morvane {
namespace {

// The small letter of a Windows-1252 capital; every other code point is its own fold.
char32_t foldCodePoint(char32_t cp)
{
    if (cp >= U'A' && cp <= U'Z')
        return cp + (U'a' - U'A');
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return cp + 0x20;
    switch (cp) {
    case 0x0160: // Š
    case 0x0152: // Œ
    case 0x017D: // Ž
        return cp + 1;
    case 0x0178: // Ÿ
        return 0x00FF;
    default:
        return cp;
    }
}

} // namespace

unsigned char FoldCp1252(unsigned char byte)
{
    switch (byte) {
    case 0x8A: // Š
    case 0x8C: // Œ
    case 0x8E: // Ž
        return byte + 0x10;
    case 0x9F: // Ÿ
        return 0xFF;
    default:
        break;
    }
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
        return byte + 0x20;
    return byte;
}

std::string FoldCase(std::string_view name)
{
    std::string folded;
    folded.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        char32_t cp = 0;
        if (const std::size_t length = DecodeUtf8(name.substr(i), cp); length > 0) {
            AppendUtf8(folded, foldCodePoint(cp));
            i += length;
        } else {
            folded += name[i++];
        }
    }
    return folded;
}

} // namespace morvane
