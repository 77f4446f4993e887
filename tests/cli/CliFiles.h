#pragma once

#include "FolderContents.h"
#include "RunProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace morvane::test {

inline ProcessResult Cli(const std::vector<std::string> &args)
{
    return RunProcess(MORVANE_CLI, args);
}

// The lines of a text whose every line ends in CR LF; empty when it does not.
inline std::vector<std::string> CrLfLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            return {};
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The same lines sorted, for lists whose order depends on the file system; a line without CR LF
// fails the test.
inline std::vector<std::string> SortedCrLfLines(const std::string &text)
{
    std::vector<std::string> lines = CrLfLines(text);
    EXPECT_FALSE(lines.empty() && !text.empty()) << "a line without CR LF in: " << text;
    std::sort(lines.begin(), lines.end());
    return lines;
}

inline std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The entry rows of `list -l` or `list -v`: the lines after the header block and its empty line.
inline std::vector<std::string> EntryRows(const std::string &text)
{
    const std::size_t rows = text.find("\n\n");
    return rows == std::string::npos ? std::vector<std::string> {} : Lines(text.substr(rows + 2));
}

} // namespace morvane::test
