#include "responses/ResponseTextCodec.h"

#include "platform/Utf8.h"

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

} // namespace

std::u16string DecodeResponseLine(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(bytes.substr(i), code);
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
            AppendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF)
            AppendUtf8(bytes, kReplacement);
        else
            AppendUtf8(bytes, unit);
    }
    return bytes;
}

} // namespace morvane
