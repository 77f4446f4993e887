#include "text/ConsoleText.h"

#include "text/Cp1252.h"
#include "text/Utf8.h"

namespace morvane {
namespace {

void appendUtf16(std::u16string &text, char32_t code)
{
    if (code < 0x10000) {
        text += static_cast<char16_t>(code);
        return;
    }
    code -= 0x10000;
    text += static_cast<char16_t>(0xD800 + (code >> 10));
    text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
}

// Whether the bytes could start a UTF-8 sequence that more bytes would complete.
bool couldContinue(std::string_view bytes)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2
        : lead >= 0xE0 && lead <= 0xEF                      ? 3
        : lead >= 0xF0 && lead <= 0xF4                      ? 4
                                                            : 0;
    if (bytes.size() >= length)
        return false;
    for (std::size_t i = 1; i < bytes.size(); ++i)
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80)
            return false;
    return true;
}

} // namespace

std::u16string ConsoleText::Take(std::string_view bytes)
{
    std::string pending = std::move(waiting_);
    waiting_.clear();
    pending.append(bytes);
    std::u16string text;
    text.reserve(pending.size());
    std::string_view rest = pending;
    while (!rest.empty()) {
        char32_t code = 0;
        if (const std::size_t length = DecodeUtf8(rest, code); length != 0) {
            appendUtf16(text, code);
            rest.remove_prefix(length);
        } else if (rest.size() < 4 && couldContinue(rest)) {
            waiting_.assign(rest);
            break;
        } else {
            appendUtf16(text, Cp1252CodePoint(static_cast<unsigned char>(rest.front())));
            rest.remove_prefix(1);
        }
    }
    return text;
}

std::u16string ConsoleText::Finish()
{
    std::u16string text;
    for (const char byte : waiting_)
        appendUtf16(text, Cp1252CodePoint(static_cast<unsigned char>(byte)));
    waiting_.clear();
    return text;
}

} // namespace morvane
