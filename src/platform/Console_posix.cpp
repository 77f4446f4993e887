#include "platform/Console.h"

#include <csignal>
#include <unistd.h>

namespace morvane {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void RecordInterrupt(int)
{
    interrupted = 1;
}

} // namespace

void DeferInterrupts()
{
    struct sigaction action
    {
    };
    action.sa_handler = RecordInterrupt;
    sigemptyset(&action.sa_mask);
    // Interrupted calls resume: the build notices the request between two chunks it copies.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested()
{
    return interrupted != 0;
}

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
