#include "platform/TerminalEncoding.h"

#include <windows.h>

namespace morvane {

TerminalEncoding UserTerminalEncoding()
{
    // Output that is not a console (a file, a pipe) is read back as the console would show it.
    static const TerminalEncoding encoding
        = ::GetConsoleOutputCP() == CP_UTF8 ? TerminalEncoding::Utf8 : TerminalEncoding::Ascii;
    return encoding;
}

} // namespace morvane
