#include "text/Utf8.h"

#include <cstdint>

namespace morvane {
namespace {

bool isContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF)
{
    return byte >= low && byte <= high;
}

// Length of the well-formed UTF-8 sequence at the start of bytes (the Unicode standard's table of
// well-formed byte sequences: no overlong forms, no surrogates, nothing above U+10FFFF), or 0.
std::size_t validSequenceLength(std::string_view bytes)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (bytes.size() < length || !isContinuation(at(1), low, high))
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!isContinuation(at(i)))
            return 0;
    return length;
}

char32_t decodeSequence(std::string_view bytes, std::size_t length)
{
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t code = static_cast<unsigned char>(bytes[0]) & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i)
        code = (code << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3F);
    return code;
}

} // namespace

std::size_t DecodeUtf8(std::string_view bytes, char32_t &code)
{
    if (bytes.empty())
        return 0;
    const std::size_t length = validSequenceLength(bytes);
    if (length != 0)
        code = decodeSequence(bytes, length);
    return length;
}

bool IsValidUtf8(std::string_view bytes)
{
    char32_t code = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = DecodeUtf8(bytes.substr(at), code);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::size_t WholeCharactersWithin(std::string_view utf8, std::size_t limit)
{
    std::size_t taken = 0;
    while (taken < utf8.size()) {
        const std::size_t length = validSequenceLength(utf8.substr(taken));
        if (length == 0 || taken + length > limit)
            break;
        taken += length;
    }
    return taken;
}

void AppendUtf8(std::string &bytes, char32_t code)
{
    const auto put = [&](std::uint32_t value) { bytes.push_back(static_cast<char>(value)); };
    if (code < 0x80)
        put(code);
    else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

} // namespace morvane
