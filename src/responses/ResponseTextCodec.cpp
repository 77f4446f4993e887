#include "responses/ResponseTextCodec.h"

#include <cstdint>

namespace morvane {

namespace {

constexpr char32_t kEscapeBase = 0xF700;
constexpr char32_t kFirstEscape = kEscapeBase + 0x80;
constexpr char32_t kLastEscape = kEscapeBase + 0xFF;
constexpr char32_t kLineSeparator = 0x2028;
constexpr char32_t kParagraphSeparator = 0x2029;
constexpr char32_t kReplacement = 0xFFFD;
// Qt's text document takes these two noncharacters as frame boundaries and splits the text there,
// and drops a byte-order mark at the start of a text and every reversed one.
constexpr char32_t kFrameStart = 0xFDD0;
constexpr char32_t kFrameEnd = 0xFDD1;
constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr char32_t kReversedByteOrderMark = 0xFFFE;

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

bool mustEscape(char32_t code)
{
    return (code >= kFirstEscape && code <= kLastEscape) || code == kLineSeparator || code == kParagraphSeparator
        || code == kFrameStart || code == kFrameEnd || code == kByteOrderMark || code == kReversedByteOrderMark;
}

void appendUtf16(std::u16string &text, char32_t code)
{
    if (code < 0x10000) {
        text.push_back(static_cast<char16_t>(code));
        return;
    }
    code -= 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

void appendUtf8(std::string &bytes, char32_t code)
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

} // namespace

std::u16string DecodeResponseLine(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = validSequenceLength(bytes.substr(i));
        const char32_t code = length == 0 ? 0 : decodeSequence(bytes.substr(i), length);
        if (length != 0 && !mustEscape(code)) {
            appendUtf16(text, code);
            i += length;
            continue;
        }
        for (std::size_t end = i + (length == 0 ? 1 : length); i < end; ++i)
            text.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i])));
    }
    return text;
}

std::string EncodeResponseLine(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (unit >= kFirstEscape && unit <= kLastEscape)
            bytes.push_back(static_cast<char>(unit - kEscapeBase));
        else if (unit == kLineSeparator || unit == kParagraphSeparator)
            bytes += "\r\n";
        else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
                 && text[i + 1] <= 0xDFFF) {
            appendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF)
            appendUtf8(bytes, kReplacement);
        else
            appendUtf8(bytes, unit);
    }
    return bytes;
}

} // namespace morvane
