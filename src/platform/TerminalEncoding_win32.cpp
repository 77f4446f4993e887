#include "platform/TerminalEncoding.h"

namespace morvane {

// Standard output and error carry UTF-8 whatever the console's code page: a console is written
// through its wide-character interface (ShowTextOnConsoles), and a file or a pipe gets UTF-8.
TerminalEncoding UserTerminalEncoding()
{
    return TerminalEncoding::Utf8;
}

} // namespace morvane
