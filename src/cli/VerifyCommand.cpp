#include "cli/Commands.h"

#include "archive/ArchiveReader.h"
#include "platform/TerminalEncoding.h"
#include "text/PrintableText.h"

#include <iostream>

namespace morvane::cli {

int RunVerify(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {}, {});
    if (arguments.operands.size() != 1)
        throw UsageError("verify takes exactly one archive");

    const ArchiveReader reader(arguments.operands.front());
    if (reader.ProblemCount() == 0) {
        const std::uint32_t count = reader.EntryCount();
        std::cout << "OK: " << count << (count == 1 ? " entry" : " entries") << '\n';
        return 0;
    }
    for (const std::string &line : DescribeProblems(reader))
        std::cout << PrintableFileName(line, UserTerminalEncoding()) << '\n';
    return 1;
}

std::vector<std::string> DescribeProblems(const ArchiveReader &reader)
{
    std::vector<std::string> lines = reader.Problems();
    const std::uint64_t count = reader.ProblemCount();
    if (count > lines.size()) {
        const std::uint64_t more = count - lines.size();
        lines.push_back("... and " + std::to_string(more) + (more == 1 ? " more problem" : " more problems"));
    }
    lines.push_back(reader.ProblemTotal());
    return lines;
}

} // namespace morvane::cli
