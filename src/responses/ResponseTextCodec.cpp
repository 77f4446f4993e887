#include "responses/ResponseTextCodec.h"

#include "text/Cp1252.h"
#include "text/Utf8.h"

namespace morvane {

namespace {

constexpr char16_t kEscapeBase = 0xF700;
constexpr char32_t kLineSeparator = 0x2028;
constexpr char32_t kParagraphSeparator = 0x2029;

// The bytes Windows-1252 leaves undefined; the core's conversion gives them as the C1 control of
// the same value, which a text area would show as nothing at all.
bool isUndefinedByte(char32_t code)
{
    return code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D;
}

bool isEscape(char16_t unit)
{
    return unit >= kEscapeBase && isUndefinedByte(unit - kEscapeBase);
}

bool isSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// The Windows-1252 byte of one character, when it has one.
std::optional<char> byteOf(char32_t code)
{
    if (isSurrogate(code))
        return std::nullopt;
    std::string utf8;
    AppendUtf8(utf8, code);
    const std::string cp1252 = Utf8ToCp1252(utf8);
    if (cp1252.size() != 1 || Cp1252ToUtf8(cp1252) != utf8)
        return std::nullopt;
    return cp1252.front();
}

} // namespace

std::u16string DecodeResponseLine(std::string_view bytes)
{
    const std::string utf8 = Cp1252ToUtf8(bytes);
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t code = 0;
        // Every character Windows-1252 has lies in the basic plane.
        i += DecodeUtf8(std::string_view(utf8).substr(i), code);
        text.push_back(static_cast<char16_t>(isUndefinedByte(code) ? kEscapeBase + code : code));
    }
    return text;
}

std::optional<std::string> EncodeResponseLine(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    std::string run;
    // Runs of ordinary characters go through the core's conversion in one piece; a run that does
    // not come back unchanged held a character Windows-1252 cannot represent.
    const auto flush = [&bytes, &run] {
        const std::string converted = Utf8ToCp1252(run);
        if (Cp1252ToUtf8(converted) != run)
            return false;
        bytes += converted;
        run.clear();
        return true;
    };
    for (const char16_t unit : text) {
        if (isSurrogate(unit))
            return std::nullopt;
        if (!isEscape(unit) && unit != kLineSeparator && unit != kParagraphSeparator) {
            AppendUtf8(run, unit);
            continue;
        }
        if (!flush())
            return std::nullopt;
        if (isEscape(unit))
            bytes.push_back(static_cast<char>(unit - kEscapeBase));
        else
            bytes += "\r\n";
    }
    if (!flush())
        return std::nullopt;
    return bytes;
}

std::size_t FirstUnencodableCharacter(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (!isEscape(unit) && unit != kLineSeparator && unit != kParagraphSeparator && !byteOf(unit))
            return i;
    }
    return std::u16string_view::npos;
}

} // namespace morvane
