#include "text/Cp1252.h"

#include "text/Utf8.h"

#include <array>
#include <cstdint>

namespace morvane {
namespace {

// Code points of the bytes 0x80 to 0x9F. The five bytes Windows-1252 leaves undefined map to the
// C1 control of the same value, as Windows' own conversion does, so every byte survives a round trip.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t codePointOf(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

std::optional<char> byteOf(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    return std::nullopt;
}

} // namespace

char32_t Cp1252CodePoint(unsigned char byte)
{
    return codePointOf(byte);
}

std::string Utf8ToCp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8.substr(i), cp);
        out += length == 0 ? '?' : byteOf(cp).value_or('?');
        i += length == 0 ? 1 : length;
    }
    return out;
}

std::optional<std::string> Utf8ToCp1252Exact(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        // ASCII, by far the commonest, needs no decoding.
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out += utf8[i++];
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8.substr(i), cp);
        const std::optional<char> byte = length == 0 ? std::nullopt : byteOf(cp);
        if (!byte)
            return std::nullopt;
        out += *byte;
        i += length;
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252)
{
    std::string out;
    out.reserve(cp1252.size() * 2);
    for (const char c : cp1252)
        AppendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
}

} // namespace morvane
