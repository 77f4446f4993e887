#include "archive/NumberConversion.h"

#include "platform/Errors.h"
#include "text/Cp1252.h"

#include <algorithm>
#include <string>

namespace morvane {
namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Length of a hexadecimal prefix at the start of text, or 0 when there is none.
std::size_t hexPrefixLength(std::string_view text)
{
    if (text.starts_with("0x") || text.starts_with("0X"))
        return 2;
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X'))
        return 1;
    return 0;
}

bool parseHex(std::string_view digits, std::int32_t &value)
{
    if (digits.empty())
        return false;
    std::uint64_t total = 0;
    for (const char c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        total = total * 16 + static_cast<std::uint64_t>(d);
        if (total > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(total));
    return true;
}

bool parseDecimal(std::string_view text, std::int32_t &value)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t total = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        total = total * 10 + (c - '0');
        if (total > limit)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -total : total);
    return true;
}

} // namespace

std::int32_t StrToInt(std::string_view text)
{
    std::string_view rest = text;
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    std::int32_t value = 0;
    const std::size_t prefix = hexPrefixLength(rest);
    const bool ok = prefix > 0 ? parseHex(rest.substr(prefix), value) : parseDecimal(rest, value);
    if (!ok)
        throw Error("'" + Cp1252ToUtf8(text) + "' is not a valid integer value");
    return value;
}

} // namespace morvane
