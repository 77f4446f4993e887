#include "platform/TerminalEncoding.h"

#include <langinfo.h>
#include <locale.h>
#include <strings.h>

namespace morvane {
namespace {

TerminalEncoding lookUp()
{
    // A locale object of its own, so that the program's global locale stays "C" for everything else.
    const locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return TerminalEncoding::Ascii;
    const char *codeset = ::nl_langinfo_l(CODESET, locale);
    const bool utf8
        = codeset != nullptr && (::strcasecmp(codeset, "UTF-8") == 0 || ::strcasecmp(codeset, "UTF8") == 0);
    ::freelocale(locale);
    return utf8 ? TerminalEncoding::Utf8 : TerminalEncoding::Ascii;
}

} // namespace

TerminalEncoding UserTerminalEncoding()
{
    static const TerminalEncoding kEncoding = lookUp();
    return kEncoding;
}

} // namespace morvane
