#pragma once

#include "text/PrintableText.h"

namespace morvane {

// The character set printed text is written in. POSIX: the user's locale's (LC_ALL, then
// LC_CTYPE, then LANG), looked up once. Windows: UTF-8, which a console is shown through its
// wide-character interface (ShowTextOnConsoles).
TerminalEncoding UserTerminalEncoding();

} // namespace morvane
