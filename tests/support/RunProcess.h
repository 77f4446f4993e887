#pragma once

#include <string>
#include <vector>

namespace morvane::test {

struct ProcessResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), standard input empty, and collects its output.
ProcessResult RunProcess(const std::string &program, const std::vector<std::string> &args);

} // namespace morvane::test
