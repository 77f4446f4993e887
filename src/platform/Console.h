#pragma once

#include <string>
#include <vector>

namespace morvane {

// The program's arguments in UTF-8, the program's name first. On Windows they come from the
// wide command line, since argv holds them in the ANSI code page, where most names do not fit.
std::vector<std::string> CommandLineArguments(int argc, char **argv);

// Standard input, output and error pass bytes unchanged: a CR LF written stays CR LF.
void UseBinaryStandardStreams();

// What the program writes to std::cout and std::cerr is UTF-8 (and response lists, Windows-1252).
// Where either goes to a console on Windows, it is shown through the console's wide-character
// interface, so that every character shows whatever the console's code page; everywhere else (a
// file, a pipe, a POSIX terminal) the bytes go out unchanged.
void ShowTextOnConsoles();

enum class StandardStream { Output, Error };

// From the first call on, an interrupt (Ctrl+C or SIGINT, SIGTERM; on Windows the console's
// Ctrl+C and Ctrl+Break events) no longer ends the program at once: it is only recorded, for the
// program to stop at its next safe point. The second call does nothing more.
void DeferInterrupts();
// Whether an interrupt arrived since DeferInterrupts().
bool InterruptRequested();

// Whether the stream goes to a terminal (a console window on Windows) rather than a file or pipe.
bool IsTerminal(StandardStream stream);

} // namespace morvane
