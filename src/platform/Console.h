#pragma once

#include <string>
#include <vector>

namespace morvane {

// The program's arguments in UTF-8, the program's name first. On Windows they come from the
// wide command line, since argv holds them in the ANSI code page, where most names do not fit.
std::vector<std::string> CommandLineArguments(int argc, char **argv);

// Standard input, output and error pass bytes unchanged: a CR LF written stays CR LF.
void UseBinaryStandardStreams();

enum class StandardStream { Output, Error };

// Whether the stream goes to a terminal (a console window on Windows) rather than a file or pipe.
bool IsTerminal(StandardStream stream);

} // namespace morvane
