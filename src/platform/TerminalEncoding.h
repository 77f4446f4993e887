#pragma once

#include "text/PrintableText.h"

namespace morvane {

// The character set of the user's locale (LC_ALL, then LC_CTYPE, then LANG), looked up once.
TerminalEncoding UserTerminalEncoding();

} // namespace morvane
