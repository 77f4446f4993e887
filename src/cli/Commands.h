#pragma once

#include "archive/ArchiveCommands.h"
#include "cli/Arguments.h"

#include <set>
#include <string>
#include <vector>

namespace morvane {
class ArchiveReader;
}

namespace morvane::cli {

// Each command takes the arguments after its name and returns the exit status. Failures are
// thrown: morvane::Error (status 1) or UsageError (status 2). A build stopped by Ctrl+C returns
// kInterruptedStatus, as a shell reports a program that SIGINT ended.
constexpr int kInterruptedStatus = 130;
int RunBuild(const std::vector<std::string> &args);
int RunHeader(const std::vector<std::string> &args);
int RunList(const std::vector<std::string> &args);
int RunVerify(const std::vector<std::string> &args);
int RunExtract(const std::vector<std::string> &args);
int RunMklist(const std::vector<std::string> &args);

// What is said of a damaged archive before refusing it: each damage problem kept, then how many
// more there were.
std::vector<std::string> DescribeDamage(const ArchiveReader &reader);

// The header texts a command line may set, and their option names.
inline const std::set<std::string> kHeaderOptions
    = {"--description", "--version", "--priority", "--author", "--copyright"};

// Copies the header options given on the command line (UTF-8) into texts (Windows-1252).
// Returns whether any was given.
bool ApplyHeaderOptions(const Arguments &arguments, HeaderTexts &texts);
// Warns on standard error for each header text given that Windows-1252 cannot hold (it is stored
// with '?' for what it lacks).
void WarnUnencodableTexts(const Arguments &arguments);

} // namespace morvane::cli
