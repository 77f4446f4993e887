#include "platform/Console.h"

#include <unistd.h>

namespace morvane {

std::vector<std::string> CommandLineArguments(int argc, char **argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void UseBinaryStandardStreams()
{
    // POSIX streams have no text mode.
}

void ShowTextOnConsoles()
{
    // A POSIX terminal takes the bytes in the locale's encoding, which the printing chose.
}

bool IsTerminal(StandardStream stream)
{
    return ::isatty(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO) != 0;
}

} // namespace morvane
